#pragma once

// What other local accounts can try against a service on this machine, for tests that show they
// get nowhere: read every process's command line and environment, and knock on its Unix sockets.
#include <QByteArray>
#include <QSet>
#include <atomic>
#include <functional>
#include <thread>

// Runs the check in a child process as the account nobody, as `setpriv --reuid=nobody
// --regid=nogroup --clear-groups` would, and returns its exit code (0 to 254), or -1 when the child
// could not become nobody; needs root. The child is a copy of a process that may have threads, so
// the check makes system calls only: no allocation, no Qt.
int AsNobody(const std::function<int()>& check);

// How one login with a wrong password fared on a VNC server's Unix socket.
enum class Login {
    Unreachable,  // no connection
    TurnedAway,   // connected, but the server would not ask for a password
    Rejected,     // asked, and turned down
    LetIn,        // asked, and let in all the same
};
Login WrongVncLogin(const char* socket);

// What an X server on a Unix socket answers a client's connection set-up.
enum class XAnswer { Failed, Success, Authenticate, Unreachable };
// The set-up a client sends, with the 16 bytes of an MIT-MAGIC-COOKIE-1, or with no cookie when
// it is empty; made before any fork, since it allocates.
QByteArray XSetupRequest(const QByteArray& cookie);
XAnswer XSetup(const char* socket, const QByteArray& request);

// Reads the command line and the environment of every process it may, over and over in the
// background until stopped, as a snooping account would while a secret passes by.
class ProcReader {
  public:
    ProcReader();
    ~ProcReader();
    ProcReader(const ProcReader&) = delete;
    ProcReader& operator=(const ProcReader&) = delete;

    // Stops reading; every distinct text read, its NUL separators turned into spaces.
    QSet<QByteArray> Stop();

  private:
    void Sweep();

    std::atomic<bool> stopping{false};
    QSet<QByteArray> seen;
    std::thread reader;  // last: it starts reading as soon as it is made
};
