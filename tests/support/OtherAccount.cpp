#include "tests/support/OtherAccount.h"

#include <QFile>
#include <QtEndian>
#include <chrono>
#include <cstring>

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A connection to a Unix socket, closed when it goes out of scope; reads and writes give up after a
// few seconds, so that a server that goes quiet fails a check instead of hanging it.
class UnixConnection {
  public:
    explicit UnixConnection(const char* path)
        : fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
        const timeval patience{5, 0};
        if (fd >= 0 &&
            (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience) != 0 ||
             ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)) {
            ::close(fd);
            fd = -1;
        }
    }
    ~UnixConnection() {
        if (fd >= 0)
            ::close(fd);
    }
    UnixConnection(const UnixConnection&) = delete;
    UnixConnection& operator=(const UnixConnection&) = delete;

    bool Connected() const { return fd >= 0; }
    bool Read(void* data, size_t size) const {
        for (size_t done = 0; done < size;) {
            const ssize_t got = ::recv(fd, static_cast<char*>(data) + done, size - done, 0);
            if (got <= 0)
                return false;
            done += size_t(got);
        }
        return true;
    }
    bool Write(const void* data, size_t size) const {
        return ::send(fd, data, size, MSG_NOSIGNAL) == ssize_t(size);
    }

  private:
    int fd;
};

}  // namespace

int AsNobody(const std::function<int()>& check) {
    const passwd* nobody = ::getpwnam("nobody");
    const group* nogroup = ::getgrnam("nogroup");
    if (nobody == nullptr || nogroup == nullptr)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nogroup->gr_gid;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(255);
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

Login WrongVncLogin(const char* socket) {
    const UnixConnection server(socket);
    if (!server.Connected())
        return Login::Unreachable;
    // RFB 3.8: the versions, then the security types offered (none when the server turns the
    // client away), then for VNC authentication a challenge, the answer and the result.
    static constexpr char version[] = "RFB 003.008\n";
    static constexpr unsigned char vncAuthentication = 2;
    char serverVersion[12];
    unsigned char typeCount = 0, types[255], challenge[16];
    const unsigned char wrongAnswer[16] = {};
    if (!server.Read(serverVersion, sizeof serverVersion) ||
        !server.Write(version, sizeof version - 1) || !server.Read(&typeCount, 1) ||
        typeCount == 0 || !server.Read(types, typeCount) ||
        std::memchr(types, vncAuthentication, typeCount) == nullptr ||
        !server.Write(&vncAuthentication, 1) || !server.Read(challenge, sizeof challenge) ||
        !server.Write(wrongAnswer, sizeof wrongAnswer))
        return Login::TurnedAway;
    quint32 result = 0;
    if (!server.Read(&result, sizeof result))
        return Login::TurnedAway;
    return result == 0 ? Login::LetIn : Login::Rejected;
}

QByteArray XSetupRequest(const QByteArray& cookie) {
    const QByteArray name = cookie.isEmpty() ? QByteArray() : QByteArray("MIT-MAGIC-COOKIE-1");
    // Little-endian byte order, protocol 11.0, the lengths of the name and the data; then both,
    // each padded to four bytes.
    QByteArray request("l\0", 2);
    for (const int value : {11, 0, int(name.size()), int(cookie.size()), 0}) {
        const quint16 field = qToLittleEndian(quint16(value));
        request.append(reinterpret_cast<const char*>(&field), sizeof field);
    }
    for (const QByteArray& part : {name, cookie})
        request += part + QByteArray((4 - part.size() % 4) % 4, '\0');
    return request;
}

XAnswer XSetup(const char* socket, const QByteArray& request) {
    const UnixConnection server(socket);
    unsigned char answer = 0;
    if (!server.Connected() || !server.Write(request.constData(), size_t(request.size())) ||
        !server.Read(&answer, 1) || answer > 2)
        return XAnswer::Unreachable;
    return XAnswer(answer);
}

ProcReader::ProcReader()
    : reader([this] {
          while (!stopping) {
              Sweep();
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
      }) {}

ProcReader::~ProcReader() {
    Stop();
}

QSet<QByteArray> ProcReader::Stop() {
    stopping = true;
    if (reader.joinable())
        reader.join();
    return seen;
}

void ProcReader::Sweep() {
    // readdir, not QDir: a sweep has to be quick to catch short-lived processes.
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        for (const char* part : {"/cmdline", "/environ"}) {
            QFile file(QByteArray("/proc/") + entry->d_name + part);
            const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (!text.isEmpty())
                seen.insert(QByteArray(text).replace('\0', ' '));
        }
    }
    ::closedir(proc);
}
