// How long a program takes from its start to its first picture on screen, and its peak memory:
// starts it, waits for its first drawing (the X server's DAMAGE extension watching the root
// window), lets it run on for a while, reads its peak resident memory (VmHWM) and stops it.
//
//   DISPLAY=:N startup_probe <settle ms> <program> [arguments...]
//
// Prints "<ms to the first picture> <peak memory in kB>". Run it on an X server of its own where
// nothing else draws (bench/startup.sh starts one), one program at a time.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto FIRST_PICTURE_TIMEOUT = std::chrono::seconds(30);
constexpr int POLL_MS = 100;
constexpr int CONNECT_ATTEMPTS = 50;

int Fail(const char* what) {
    std::fprintf(stderr, "startup_probe: %s\n", what);
    return 1;
}

long PeakMemoryKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// Waits for the first drawing into a window; false when the program ended or time is up. The
// extension reports the whole screen damaged once when the watch begins: not a window's picture.
bool AwaitFirstPicture(xcb_connection_t* connection, std::uint8_t damageNotify, pid_t program,
                       Clock::time_point start) {
    pollfd watched{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (Clock::now() - start < FIRST_PICTURE_TIMEOUT) {
        while (const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event{
            xcb_poll_for_event(connection), &std::free}) {
            const auto* damage = reinterpret_cast<const xcb_damage_notify_event_t*>(event.get());
            if ((event->response_type & 0x7f) == damageNotify &&
                damage->area.width < damage->geometry.width)
                return true;
        }
        if (xcb_connection_has_error(connection) != 0 || waitpid(program, nullptr, WNOHANG) != 0)
            return false;
        poll(&watched, 1, POLL_MS);
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3)
        return Fail("usage: startup_probe <settle ms> <program> [arguments...]");
    const int settleMs = std::atoi(argv[1]);

    // A server that has just told its display number may not take connections yet.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    for (int attempt = 1; attempt < CONNECT_ATTEMPTS && xcb_connection_has_error(connection) != 0;
         ++attempt) {
        xcb_disconnect(connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MS));
        connection = xcb_connect(nullptr, nullptr);
    }
    if (xcb_connection_has_error(connection) != 0)
        return Fail("no X server ($DISPLAY)");
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (damage == nullptr || damage->present == 0)
        return Fail("the X server has no DAMAGE extension");
    std::free(xcb_damage_query_version_reply(connection, xcb_damage_query_version(connection, 1, 1),
                                             nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_damage_create(connection, xcb_generate_id(connection), root,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    // A round trip: the watch is in place before the program starts.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    const Clock::time_point start = Clock::now();
    const pid_t program = fork();
    if (program == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    if (program < 0)
        return Fail("cannot start the program");
    const bool shown =
        AwaitFirstPicture(connection, damage->first_event + XCB_DAMAGE_NOTIFY, program, start);
    const double firstPictureMs =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (shown)
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const long peakKb = PeakMemoryKb(program);
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);
    xcb_disconnect(connection);
    if (!shown)
        return Fail("the program drew nothing");
    std::printf("%.1f %ld\n", firstPictureMs, peakKb);
    return 0;
}
