// Serves the build's own game without a display, as scripts/play.sh does, and looks at it through a
// real VNC viewer (vncsnapshot, bridged to the script's socket): true colours, no TCP port, nothing
// left running or lying about afterwards however the script ends. Then acts as other accounts on
// the machine would: reads every command line and environment during the start, knocks on the VNC
// socket and the X display, and tries to lock the player out with wrong passwords.
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/Pixels.h"

namespace {

constexpr int WAIT_MS = 10000, GONE_MS = 5000, WRONG_LOGINS = 8;

// What other accounts on this machine may try: the checks below knock on Unix sockets, as the
// account nobody or as this one.

// A connection to a Unix socket, -1 when refused. Reads give up after a few seconds, so that a
// server that goes quiet fails a check instead of hanging it.
int Connect(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    const timeval patience{5, 0};
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience) == 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}
bool Receive(int fd, void* data, size_t size) {
    return ::recv(fd, data, size, MSG_WAITALL) == ssize_t(size);
}
bool Send(int fd, const void* data, size_t size) {
    return ::send(fd, data, size, MSG_NOSIGNAL) == ssize_t(size);
}

// Runs the check in a child process as the account nobody, as `setpriv --reuid=nobody
// --regid=nogroup --clear-groups` would, and returns its exit code (0 to 254), or -1 when the child
// could not become nobody; needs root. The child is a copy of a process that may have threads, so
// the check makes system calls only: no allocation, no Qt but reading what was made before.
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
    const bool exited = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status);
    return exited && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

// How one login with a wrong password fared on a VNC server's Unix socket: no connection; connected
// but not asked for a password; asked and turned down; asked and let in all the same.
enum class Login { Unreachable, TurnedAway, Rejected, LetIn };
Login WrongVncLogin(const QByteArray& socket) {
    const int fd = Connect(socket);
    // RFB 3.8: the versions, then the security types offered (none when the server turns the
    // client away), then for VNC authentication a challenge, the answer and the result.
    static constexpr char version[] = "RFB 003.008\n";
    static constexpr unsigned char vncAuthentication = 2;
    unsigned char serverVersion[12], typeCount = 0, types[255], challenge[16];
    const unsigned char wrongAnswer[16] = {};
    quint32 result = 0;
    const bool asked =
        fd >= 0 && Receive(fd, serverVersion, sizeof serverVersion) &&
        Send(fd, version, sizeof version - 1) && Receive(fd, &typeCount, 1) && typeCount > 0 &&
        Receive(fd, types, typeCount) && std::memchr(types, vncAuthentication, typeCount) &&
        Send(fd, &vncAuthentication, 1) && Receive(fd, challenge, sizeof challenge) &&
        Send(fd, wrongAnswer, sizeof wrongAnswer) && Receive(fd, &result, sizeof result);
    ::close(fd);
    return fd < 0        ? Login::Unreachable
           : !asked      ? Login::TurnedAway
           : result == 0 ? Login::LetIn
                         : Login::Rejected;
}

// What an X server on a Unix socket answers a client's connection set-up with the 16 bytes of an
// MIT-MAGIC-COOKIE-1, or with none when the cookie is empty.
enum class XAnswer { Failed, Success, Authenticate, Unreachable };
XAnswer XSetup(const QByteArray& socket, const QByteArray& cookie) {
    // Little-endian byte order, protocol 11.0, the lengths of the name and the data; then both,
    // each padded to four bytes.
    static constexpr char name[] = "MIT-MAGIC-COOKIE-1";
    const bool withCookie = cookie.size() == 16;
    char request[12 + 20 + 16] = {
        'l', 0, 11, 0, 0, 0, char(withCookie ? 18 : 0), 0, char(withCookie ? 16 : 0)};
    std::memcpy(request + 12, name, sizeof name - 1);
    std::copy_n(cookie.constData(), withCookie ? 16 : 0, request + 32);
    const int fd = Connect(socket);
    unsigned char answer = 3;  // unreachable, unless the server answers
    if (fd >= 0 && Send(fd, request, withCookie ? sizeof request : 12))
        Receive(fd, &answer, 1);
    ::close(fd);
    return XAnswer(std::min<int>(answer, 3));
}

// When this test signals the script: so many ms after starting it, never, or once it serves: then
// to the script, or to the game, or to the script after snooping on the start as other accounts.
enum When { NEVER = -1, SERVED = -2, GAME = -3, SNOOPED = -4 };

// One run of the script. Stand-ins for its tools, "name:script" with "|" between them and %1 for
// the real tool in a script, come first on its PATH. The variable, "NAME=value", is set for it, %1
// being the stand-ins' folder. The script ends with the status (-1: any) saying what it says,
// within the time from its start, or from the signal if any.
struct Run {
    QString tools, variable;
    int signal, when, status;
    QString says;
    int atLeastMs, atMostMs;
    QString game;
};

}  // namespace

class HeadlessPlayTest : public QObject {
    Q_OBJECT

    // What the serving script started, read from what it prints and from its child processes.
    struct Served {
        int display = -1;
        QString socket, passwordFile, password;
        qint64 xvnc = 0, game = 0;
        QString Session() const { return QFileInfo(socket).path(); }
    };

    QProcess serve;
    QTemporaryDir configHome;
    // The scripts' TMPDIR, where their session folders go; open to all, like /tmp, so that only a
    // session folder's own rights keep other accounts out.
    QTemporaryDir tmp;

    static QByteArray Read(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    template <typename Pid>
    static QByteArray Proc(Pid pid, const char* part) {
        return Read(QString("/proc/%1/%2").arg(pid).arg(part));
    }
    static QStringList Pids() { return QDir("/proc").entryList({"[1-9]*"}, QDir::Dirs); }
    // True while the process runs; one that has ended but not been waited for yet no longer does.
    static bool Running(qint64 pid) {
        // pid (name) state ...; the name may hold anything.
        return pid > 0 &&
               QString(Proc(pid, "stat")).section(") ", -1).contains(QRegularExpression("^[^Z]"));
    }
    // The one child of the process of that name (the kernel keeps 15 characters of it); 0 when
    // there is none or more.
    static qint64 Child(qint64 parent, const QString& name) {
        QList<qint64> children;
        for (const QString& pid : Pids())  // stat: pid (name) state parent ...
            if (QString(Proc(pid, "stat")).section(") ", -1).section(' ', 1, 1) ==
                    QString::number(parent) &&
                Proc(pid, "comm") == name.left(15).toLocal8Bit() + '\n')
                children << pid.toLongLong();
        return children.size() == 1 ? children.first() : 0;
    }
    // Processes still running that a serving script of this test started, however it ended: they
    // all inherit its TMPDIR.
    QString Leftovers() const {
        QString left;
        for (const QString& pid : Pids())
            if (Proc(pid, "environ").split('\0').contains("TMPDIR=" + tmp.path().toLocal8Bit()) &&
                Running(pid.toLongLong()))
                left += pid + ": " + Proc(pid, "cmdline").replace('\0', ' ') + '\n';
        return left;
    }
    // What the scripts and the game left in their TMPDIR.
    QString LeftInTmp() const {
        return QDir(tmp.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .join(' ');
    }

    // What is left of something that should go away: nothing once it has, or what still is when
    // time is up.
    template <typename Read>
    static auto AfterAWhile(Read read) {
        auto left = read();
        (void)QTest::qWaitFor([&] { return (left = read()).isEmpty(); }, GONE_MS);
        return left;
    }

    // TCP sockets of the process, listening or not: the rows of the kernel's tables (no tcp6
    // without IPv6) with the inode of a socket it holds.
    static QStringList TcpSockets(qint64 pid) {
        QString held;
        for (const QFileInfo& fd : QDir(QString("/proc/%1/fd").arg(pid)).entryInfoList())
            held += fd.symLinkTarget() + ' ';
        QStringList tcp;
        for (const QString& row :
             QString(Read("/proc/net/tcp") + Read("/proc/net/tcp6")).split('\n'))
            if (held.contains("socket:[" + row.simplified().section(' ', 9, 9) + "]"))
                tcp << row.simplified();
        return tcp;
    }

    // What vncsnapshot sees; it cannot open a Unix socket, so its TCP connection is carried over.
    QImage Snapshot(const Served& served) {
        QTcpServer bridge;
        bridge.listen(QHostAddress::LocalHost);
        connect(&bridge, &QTcpServer::newConnection, &bridge, [&] {
            QTcpSocket* viewer = bridge.nextPendingConnection();
            auto* vnc = new QLocalSocket(viewer);
            connect(viewer, &QTcpSocket::readyRead, vnc, [=] { vnc->write(viewer->readAll()); });
            connect(vnc, &QLocalSocket::readyRead, viewer, [=] { viewer->write(vnc->readAll()); });
            connect(vnc, &QLocalSocket::disconnected, viewer, &QTcpSocket::disconnectFromHost);
            vnc->connectToServer(served.socket);
        });
        const QString file = configHome.filePath("menu.jpg");
        QFile::remove(file);
        QProcess viewer;
        // Its default encodings stall on Xvnc; raw is the natural one on this machine anyway.
        viewer.start("vncsnapshot", {"-quiet", "-encodings", "raw", "-passwd", served.passwordFile,
                                     "localhost::" + QString::number(bridge.serverPort()), file});
        // A viewer that hangs leaves no picture.
        (void)QTest::qWaitFor([&] { return viewer.state() == QProcess::NotRunning; }, WAIT_MS);
        return QImage(file);
    }

    // Waits for the script to serve; meanwhile collects every command line and environment it may
    // read in /proc, their NULs turned into spaces, as a snooping account would.
    Served WaitUntilServed(QSet<QByteArray>& seen) {
        const QRegularExpression instructions(
            "display :(\\d+),.*\\nPassword: (\\S+)\\n.*vncviewer -passwd (\\S+) (\\S+)\\)",
            QRegularExpression::DotMatchesEverythingOption);
        QString said;
        Served served;
        const bool started = QTest::qWaitFor(
            [&] {
                for (const QString& pid : Pids())
                    for (const char* part : {"cmdline", "environ"})
                        seen << Proc(pid, part).replace('\0', ' ');
                said += serve.readAllStandardOutput();
                const QRegularExpressionMatch match = instructions.match(said);
                if (!match.hasMatch())
                    return false;
                served = {match.captured(1).toInt(), match.captured(4), match.captured(3),
                          match.captured(2)};
                served.xvnc = Child(serve.processId(), "Xvnc");
                served.game = Child(serve.processId(), QFileInfo(VANTOR_GAME).fileName());
                return served.xvnc > 0 && served.game > 0;
            },
            WAIT_MS);
        if (!started)
            qWarning("the script said: %s", qPrintable(said + serve.readAllStandardError()));
        return served;
    }

  private slots:
    // A failed check leaves the script running: stopped like this, it takes the rest with it.
    void cleanup() {
        if (serve.state() != QProcess::NotRunning) {
            serve.terminate();
            serve.waitForFinished(WAIT_MS);
        }
    }

    void initTestCase() {
        for (const char* tool : {"Xvnc", "vncpasswd", "xauth", "vncsnapshot"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(
                    "Xvnc, vncpasswd, xauth and vncsnapshot are needed (Debian: "
                    "tigervnc-standalone-server, tigervnc-tools, vncsnapshot)");
        // The script must be able to trap Ctrl+C even when this suite runs in the background, where
        // the shell started it with interrupts ignored.
        std::signal(SIGINT, SIG_DFL);
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (configHome.path() + "/data").toLocal8Bit());
        QCOMPARE(::chmod(qPrintable(tmp.path()), 0705), 0);
    }

    void servesAndEndsLeavingNothing_data() {
        QTest::addColumn<Run>("run");
        const auto row = [](const QByteArray& name, const QString& tools, const QString& variable,
                            int signal, int when, int status = -1, const QString& says = {},
                            int atLeastMs = 0, int atMostMs = WAIT_MS,
                            const QString& game = VANTOR_GAME) {
            QTest::newRow(name.constData())
                << Run{tools, variable, signal, when, status, says, atLeastMs, atMostMs, game};
        };
        // Served, then ended by Ctrl+C, the game quitting, or a stop or a kill of the script. The
        // tools that take the secrets are slowed down for the snooper, so that it cannot miss them.
        const QString real = ":exec '%1' \"$@\"", slow = ":sleep 0.2\nexec '%1' \"$@\"";
        row("served, Ctrl+C", "xauth" + slow + "|vncpasswd" + slow, "", SIGINT, SNOOPED, 130);
        row("served at scale 2, game quits", "", "VANTOR_VNC_SCALE=2", SIGTERM, GAME, 143);
        row("served, script terminated", "", "", SIGTERM, SERVED, 143);
        row("served, script killed", "", "", SIGKILL, SERVED);
        // A stop at any moment of the start, the moment the session folder is made included (the
        // script is the parent of the tool it runs to make it); a kill while Xvnc gets ready.
        for (const int ms : {0, 5, 10, 20, 30, 40, 60, 80, 120, 200})
            row("TERM after " + QByteArray::number(ms) + " ms", "", "", SIGTERM, ms);
        row("TERM as the folder is made", "mktemp:'%1' \"$@\" && kill -TERM $PPID", "", 0, NEVER,
            143);
        row("KILL while Xvnc gets ready", "Xvnc:exec sleep 600", "", SIGKILL, 500);
        // A start that fails ends within its deadline, and the grace Xvnc then has to end, and
        // says why.
        row("never ready, deaf to TERM", "Xvnc:trap '' TERM\nexec sleep 600",
            "VANTOR_VNC_TIMEOUT=2", 0, NEVER, 1, "did not get ready within 2 s", 1000, 7000);
        row("fails at once", "Xvnc:echo 'no screens found' >&2\nexit 1", "", 0, NEVER, 1,
            "on any display from :0 to :99. Its last words:\nno screens found", 0, 20000);
        // What the script cannot serve, it says so before it makes anything.
        row("no game", "", "", 0, NEVER, 2, "usage: ", 0, WAIT_MS, "/nonexistent/vantor");
        row("xauth missing", "bash" + real + "|Xvnc" + real + "|vncpasswd" + real, "PATH=%1", 0,
            NEVER, 1, "xauth is missing: install the Debian package xauth.");
        row("scale 0", "", "VANTOR_VNC_SCALE=0", 0, NEVER, 2,
            "VANTOR_VNC_SCALE must be a whole number from 1 on, not '0'.");
        row("timeout 1.5", "", "VANTOR_VNC_TIMEOUT=1.5", 0, NEVER, 2,
            "VANTOR_VNC_TIMEOUT must be a whole number of seconds from 1 on, not '1.5'.");
    }
    // However the script ends, it ends everything it started and removes its session folder. While
    // it serves, the player sees the menu in true colours on its socket alone; other accounts see
    // neither the cookie nor the password, reach neither the socket nor the display, and cannot
    // lock the player out.
    void servesAndEndsLeavingNothing() {
        QFETCH(Run, run);
        QTemporaryDir tools;
        for (const QString& tool : run.tools.split('|', Qt::SkipEmptyParts)) {
            QFile script(tools.filePath(tool.section(':', 0, 0)));
            const QString real = QStandardPaths::findExecutable(tool.section(':', 0, 0));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\n" + tool.section(':', 1).replace("%1", real).toLocal8Bit());
            QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", tmp.path());
        environment.insert("PATH", tools.path() + ':' + environment.value("PATH"));
        if (!run.variable.isEmpty())
            environment.insert(run.variable.section('=', 0, 0),
                               run.variable.section('=', 1).replace("%1", tools.path()));
        serve.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        serve.start(SERVE_HEADLESS, {run.game});
        QVERIFY(serve.waitForStarted(WAIT_MS));
        QTest::qSleep(std::max(run.when, 0));
        QSet<QByteArray> seen;
        const Served served = run.when < NEVER ? WaitUntilServed(seen) : Served{};
        if (run.when < NEVER) {
            QVERIFY2(served.xvnc > 0 && served.game > 0, "the game was not served");
            QCOMPARE(TcpSockets(served.xvnc).join('\n'), QString());
            QCOMPARE(QFileInfo(served.Session()).path(), tmp.path());
            // Nothing for the group or others.
            QCOMPARE(QFileInfo(served.Session()).permissions() & QFile::Permissions(0x0077),
                     QFile::Permissions());
        }
        if (run.when == SNOOPED) {
            // The display's cookie ends the last entry of the authority file, as it does every one.
            const QByteArray cookie = Read(served.Session() + "/Xauthority").right(16).toHex(),
                             all = QByteArrayList(seen.begin(), seen.end()).join('\n').toLower();
            QCOMPARE(served.password.size(), 8);
            for (const QByteArray& secret : {cookie, served.password.toLatin1().toLower()}) {
                const qsizetype at = all.indexOf(secret);
                QVERIFY2(at < 0, all.mid(at - 150, 300).constData());
            }
            // The tools that take them, and the server, were seen at work all the same.
            for (const char* tool : {"/xauth ", "/vncpasswd ", "xvnc :"})
                QVERIFY2(all.contains(tool), tool);

            const QByteArray socket = served.socket.toLocal8Bit(),
                             display = "/tmp/.X11-unix/X" + QByteArray::number(served.display);
            if (::geteuid() != 0) {
                qWarning("not root: the checks as the account nobody are left out");
            } else {
                // The player's own programs get in, so that a refusal is the server's answer.
                QCOMPARE(XSetup(display, QByteArray::fromHex(cookie)), XAnswer::Success);
                QCOMPARE(AsNobody([&] { return int(XSetup(display, QByteArray())); }),
                         int(XAnswer::Failed));
                QCOMPARE(AsNobody([&] { return int(WrongVncLogin(socket)); }),
                         int(Login::Unreachable));
            }
            // Whoever reaches the socket through an SSH forward arrives from the same address as
            // everyone else there: their wrong passwords must not lock the player out below.
            QList<Login> logins(WRONG_LOGINS);
            std::generate(logins.begin(), logins.end(), [&] { return WrongVncLogin(socket); });
            QCOMPARE(logins, QList<Login>(WRONG_LOGINS, Login::Rejected));
        }
        if (run.when < NEVER) {
            // The grass, and the highlighted row of the menu; swapping red and blue would turn the
            // highlight to a cyan. The viewer saves JPEG pictures, whose flat colours stay this
            // close to the true ones.
            const auto count = [](const QImage& shot, QRgb colour) {
                return Find(shot, Near(colour, 12)).second;
            };
            QImage shot;
            const bool highlighted = QTest::qWaitFor(
                [&] { return count(shot = Snapshot(served), qRgb(255, 255, 80)) > 20; }, WAIT_MS);
            QCOMPARE(shot.size(),
                     QSize(240, 300) * environment.value("VANTOR_VNC_SCALE", "3").toInt());
            QVERIFY2(count(shot, qRgb(0, 128, 0)) > shot.width() * shot.height() / 2,
                     "too little grass");
            QCOMPARE(count(shot, qRgb(80, 255, 255)), 0);
            QVERIFY2(highlighted, "no highlighted row");
        }

        if (run.signal != 0) {
            clock.restart();
            ::kill(pid_t(run.when == GAME ? served.game : serve.processId()), run.signal);
        }
        QVERIFY2(serve.waitForFinished(run.atMostMs + WAIT_MS), "the serving script did not stop");
        const qint64 ms = clock.elapsed();
        QVERIFY2(ms >= run.atLeastMs && ms <= run.atMostMs,
                 qPrintable(QString("ended after %1 ms").arg(ms)));
        // The script ends with the game's status, or with its own answer to a signal.
        if (run.status >= 0)
            QCOMPARE(serve.exitCode(), run.status);
        const QString said = serve.readAllStandardError();
        QVERIFY2(said.contains(run.says), qPrintable(said));
        if (run.signal == SIGKILL) {
            // Nothing the script can notice: what it started has to go all the same, and soon.
            QCOMPARE(AfterAWhile([&] { return LeftInTmp(); }), QString());
        } else {
            // Otherwise the script ends only once the rest is gone.
            QCOMPARE(LeftInTmp(), QString());
            QVERIFY2(!Running(served.game) && !Running(served.xvnc), "the game or Xvnc was left");
        }
        QCOMPARE(AfterAWhile([&] { return Leftovers(); }), QString());
    }
};

QTEST_GUILESS_MAIN(HeadlessPlayTest)
#include "tst_headless_play.moc"
