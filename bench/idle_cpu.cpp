// The game's CPU use while it waits on the start menu, with no game controller and with one (SDL's
// virtual pad, attached once the pads are started, and listened to as in an active window): the
// share of one core used over a stretch of idle time, after the start-up has settled.
//
//   idle_cpu [seconds] [--pad]
//
// Runs the whole game in this process on Qt's platform of the environment (offscreen, or a real X
// server with QT_QPA_PLATFORM=xcb).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "app/Vantor.h"
#include "platform/Gamepads.h"
#include "tests/support/VirtualPad.h"

namespace {

constexpr int SETTLE_MS = 2000;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const int seconds = arguments.value(1, "20").toInt();
    const bool withPad = arguments.contains("--pad");

    Vantor game(VANTOR_BUILD_PICTURE_DIR "/");
    game.Start();
    std::unique_ptr<VirtualPad> pad;
    double cpuAtStart = 0;
    QElapsedTimer wall;
    QTimer::singleShot(SETTLE_MS, [&] {
        if (game.Pads() == nullptr) {
            std::fprintf(stderr, "idle_cpu: the pads were not started after the first frame\n");
            QApplication::exit(1);
            return;
        }
        if (withPad) {
            pad = std::make_unique<VirtualPad>();
            // Listened to, as when the game has the focus on a desktop: a virtual X server without
            // a window manager never makes its window active.
            qobject_cast<Gamepads*>(game.Pads())->SetActiveCheck([] { return true; });
        }
        cpuAtStart = CpuSeconds();
        wall.start();
        QTimer::singleShot(seconds * 1000, [&] {
            const double cpu = CpuSeconds() - cpuAtStart;
            std::printf(
                "idle on the menu %s: %.2f%% of one core (%.3f s CPU in %.1f s); pads "
                "connected %zu, polled every %d ms\n",
                withPad ? "with a pad" : "without a pad", 100 * cpu / (wall.elapsed() / 1e3), cpu,
                wall.elapsed() / 1e3, qobject_cast<Gamepads*>(game.Pads())->Slots().size(),
                qobject_cast<Gamepads*>(game.Pads())->PollInterval());
            QApplication::quit();
        });
    });
    return QApplication::exec();
}
