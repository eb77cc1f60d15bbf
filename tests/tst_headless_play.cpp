// Serves the build's own game without a display, as scripts/play.sh does, and looks at it through a
// real VNC viewer (vncsnapshot, bridged to the script's socket): true colours, no TCP port, nothing
// left running or lying about afterwards however the script ends. Then acts as other accounts on
// the machine would: reads every command line and environment during the start, knocks on the VNC
// socket and the X display, and tries to lock the player out with wrong passwords.
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

#include <unistd.h>

#include "tests/support/OtherAccount.h"
#include "tests/support/Pixels.h"

namespace {

// Carries a viewer's TCP connections to a Unix socket, for viewers that cannot open one.
class SocketBridge : public QObject {
  public:
    explicit SocketBridge(const QString& socket) {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this, socket] {
            QTcpSocket* viewer = server.nextPendingConnection();
            auto* served = new QLocalSocket(viewer);
            connect(viewer, &QTcpSocket::readyRead, served,
                    [viewer, served] { served->write(viewer->readAll()); });
            connect(served, &QLocalSocket::readyRead, viewer,
                    [viewer, served] { viewer->write(served->readAll()); });
            connect(served, &QLocalSocket::disconnected, viewer, &QTcpSocket::disconnectFromHost);
            connect(viewer, &QTcpSocket::disconnected, viewer, &QObject::deleteLater);
            served->connectToServer(socket);
        });
    }
    quint16 Port() const { return server.serverPort(); }

  private:
    QTcpServer server;
};

}  // namespace

class HeadlessPlayTest : public QObject {
    Q_OBJECT

    static constexpr int WAIT_MS = 10000, GONE_MS = 5000, WRONG_LOGINS = 8;
    // The viewer saves JPEG pictures, whose flat colours stay this close to the true ones.
    static int Count(const QImage& shot, QColor colour) {
        return Find(shot, Near(colour, 12)).second;
    }

    // What the serving script started, read from what it prints and from its child processes.
    struct Served {
        int display = -1;
        QString socket, session, passwordFile, password;
        qint64 xvnc = 0, game = 0;
    };

    QProcess serve;
    QTemporaryDir configHome;
    // The scripts' TMPDIR, where their session folders go; open to all, like /tmp, so that only a
    // session folder's own rights keep other accounts out.
    QTemporaryDir tmp;

    // True while the process runs; one that has ended but not been waited for yet no longer does.
    static bool Running(qint64 pid) {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        return pid > 0 && !line.isEmpty() && line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
    }

    // The one process of that name whose parent is the given one; 0 when there is none or more.
    static qint64 Child(qint64 parent, const QString& name) {
        QList<qint64> children;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            QFile stat("/proc/" + entry + "/stat");
            // pid (name) state ppid ...; the kernel keeps 15 characters of a name.
            const QString line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            if (line.mid(line.lastIndexOf(')') + 2).section(' ', 1, 1).toLongLong() == parent &&
                line.section('(', 1).section(')', 0, 0) == name.left(15))
                children << entry.toLongLong();
        }
        return children.size() == 1 ? children.first() : 0;
    }

    // Processes still running that a serving script of this test started, however it ended: they
    // all inherit its TMPDIR.
    QList<qint64> Leftovers() const {
        const QByteArray mark = "TMPDIR=" + tmp.path().toLocal8Bit();
        QList<qint64> left;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            QFile environ("/proc/" + entry + "/environ");
            if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark) &&
                Running(entry.toLongLong()))
                left << entry.toLongLong();
        }
        return left;
    }
    QStringList LeftInTmp() const { return QDir(tmp.path()).entryList(QDir::NoDotAndDotDot); }

    // What is left of something that should go away: nothing once it has, or what still is when
    // time is up.
    template <typename Read>
    static auto AfterAWhile(Read read) {
        auto left = read();
        for (QDeadlineTimer deadline(GONE_MS); !left.isEmpty() && !deadline.hasExpired();
             left = read())
            QTest::qWait(50);
        return left;
    }

    // TCP sockets of the process, listening or not.
    static QStringList TcpSockets(qint64 pid) {
        QStringList inodes;
        for (const QFileInfo& fd : QDir(QString("/proc/%1/fd").arg(pid)).entryInfoList()) {
            const QString target = fd.symLinkTarget().section('/', -1);
            if (target.startsWith("socket:["))
                inodes << target.mid(8).chopped(1);
        }
        QStringList tcp;
        for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile file(table);  // missing where there is no IPv6
            const QString rows = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            for (const QString& row : rows.split('\n').mid(1)) {
                if (inodes.contains(row.simplified().section(' ', 9, 9)))
                    tcp << row.simplified();
            }
        }
        return tcp;
    }

    QProcessEnvironment Environment(const QString& pathFirst = {}) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", tmp.path());
        if (!pathFirst.isEmpty())
            environment.insert("PATH", pathFirst + ':' + environment.value("PATH"));
        return environment;
    }

    // A program in its own folder, named like the tool it stands in for.
    static void WriteTool(const QString& folder, const QString& name, const QByteArray& script) {
        QFile tool(folder + '/' + name);
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\n" + script + '\n');
        tool.setPermissions(tool.permissions() | QFile::ExeOwner);
    }

    QImage Snapshot(const Served& served) {
        const QString file = QCoreApplication::applicationDirPath() + "/headless_menu.jpg";
        QFile::remove(file);
        const SocketBridge bridge(served.socket);
        QProcess viewer;
        // Its default encodings stall on Xvnc; raw is the natural one on this machine anyway.
        viewer.start("vncsnapshot", {"-quiet", "-encodings", "raw", "-passwd", served.passwordFile,
                                     "localhost::" + QString::number(bridge.Port()), file});
        if (!QTest::qWaitFor([&] { return viewer.state() == QProcess::NotRunning; }, WAIT_MS))
            return {};
        return QImage(file);
    }

    // The cookie of the served display, as xauth lists it: 32 hexadecimal digits.
    static QByteArray Cookie(const Served& served) {
        QProcess xauth;
        xauth.start("xauth", {"-f", served.session + "/Xauthority", "list"});
        xauth.waitForFinished(WAIT_MS);
        return xauth.readAllStandardOutput().simplified().split(' ').value(2);
    }

    Served Serve(const QString& pathFirst = {}) {
        serve.setProcessEnvironment(Environment(pathFirst));
        serve.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        serve.start(SERVE_HEADLESS, {VANTOR_GAME});
        const QRegularExpression instructions(
            "display :(\\d+),.*\\nPassword: (\\S+)\\n.*vncviewer -passwd (\\S+) (\\S+)\\)",
            QRegularExpression::DotMatchesEverythingOption);
        QString said;
        Served served;
        const bool started = QTest::qWaitFor(
            [&] {
                said += serve.readAllStandardOutput();
                const QRegularExpressionMatch match = instructions.match(said);
                if (!match.hasMatch())
                    return false;
                served.display = match.captured(1).toInt();
                served.password = match.captured(2);
                served.passwordFile = match.captured(3);
                served.socket = match.captured(4);
                served.session = QFileInfo(served.socket).path();
                served.xvnc = Child(serve.processId(), "Xvnc");
                served.game = Child(serve.processId(), QFileInfo(VANTOR_GAME).fileName());
                return served.xvnc > 0 && served.game > 0;
            },
            WAIT_MS);
        if (!started)
            qWarning("the serving script said: %s", qPrintable(said));
        return started ? served : Served{};
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
        for (const char* tool : {"Xvnc", "vncpasswd", "xauth", "vncsnapshot"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(
                    "Xvnc, vncpasswd, xauth and vncsnapshot are needed to serve and see headless "
                    "play (Debian: tigervnc-standalone-server, tigervnc-tools, vncsnapshot)");
        }
        // The script must be able to trap Ctrl+C even when this suite runs in the background, where
        // the shell started it with interrupts ignored.
        std::signal(SIGINT, SIG_DFL);
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (configHome.path() + "/data").toLocal8Bit());
        QVERIFY(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
    }

    // Ctrl+C, a stop or a kill of the script, or the game quitting, ends everything the script
    // started and removes its session folder.
    void servesTheMenuInTrueColoursOnItsSocketOnly_data() {
        QTest::addColumn<bool>("gameQuits");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("scale");
        QTest::newRow("Ctrl+C") << false << SIGINT << QByteArray();
        QTest::newRow("game quits, scale 2") << true << SIGTERM << QByteArray("2");
        QTest::newRow("script terminated") << false << SIGTERM << QByteArray();
        QTest::newRow("script killed") << false << SIGKILL << QByteArray();
    }
    void servesTheMenuInTrueColoursOnItsSocketOnly() {
        QFETCH(bool, gameQuits);
        QFETCH(int, signal);
        QFETCH(QByteArray, scale);
        if (!scale.isEmpty())
            qputenv("VANTOR_VNC_SCALE", scale);
        const Served served = Serve();
        qunsetenv("VANTOR_VNC_SCALE");
        QVERIFY2(served.game > 0, "the game was not served");

        QCOMPARE(TcpSockets(served.xvnc), QStringList());
        QCOMPARE(QFileInfo(served.session).path(), tmp.path());
        const QFile::Permissions groupAndOthers = QFile::ReadGroup | QFile::WriteGroup |
                                                  QFile::ExeGroup | QFile::ReadOther |
                                                  QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(served.session).permissions() & groupAndOthers, QFile::Permissions());

        // The grass, and the highlighted row of the menu; swapping red and blue would turn the
        // highlight to a cyan.
        const QRgb grass = qRgb(0, 128, 0), highlight = qRgb(255, 255, 80),
                   swappedHighlight = qRgb(80, 255, 255);
        QImage shot;
        const bool highlighted = QTest::qWaitFor(
            [&] { return Count(shot = Snapshot(served), highlight) > 20; }, WAIT_MS);
        QVERIFY2(!shot.isNull(), "the viewer saw nothing");
        QCOMPARE(shot.size(), QSize(240, 300) * (scale.isEmpty() ? 3 : scale.toInt()));
        QVERIFY2(Count(shot, grass) > shot.width() * shot.height() / 2, "too little grass");
        QCOMPARE(Count(shot, swappedHighlight), 0);
        QVERIFY2(highlighted, "no highlighted row");

        ::kill(pid_t(gameQuits ? served.game : serve.processId()), signal);
        QVERIFY2(serve.waitForFinished(WAIT_MS), "the serving script did not stop");
        if (signal == SIGKILL) {
            // Nothing the script can notice: what it started has to go all the same, and soon.
            QCOMPARE(AfterAWhile([&] { return LeftInTmp(); }), QStringList());
        } else {
            // The script ends with the game's status, or with its own answer to the same signal,
            // and only once the rest is gone.
            QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
            QCOMPARE(serve.exitCode(), 128 + signal);
            QVERIFY2(!Running(served.game), "the game was left running");
            QVERIFY2(!Running(served.xvnc), "Xvnc was left running");
            QCOMPARE(LeftInTmp(), QStringList());
        }
        QCOMPARE(AfterAWhile([&] { return Leftovers(); }), QList<qint64>());
    }

    // What every account may read in /proc while the script starts holds neither the cookie nor the
    // password. The tools that take them are slowed down, so that the reader cannot miss them.
    void startShowsNoSecretToOtherAccounts() {
        QTemporaryDir slow;
        for (const char* tool : {"xauth", "vncpasswd"}) {
            WriteTool(slow.path(), tool,
                      "sleep 0.2\nexec '" + QStandardPaths::findExecutable(tool).toLocal8Bit() +
                          "' \"$@\"");
        }
        ProcReader reader;
        const Served served = Serve(slow.path());
        const QSet<QByteArray> seen = reader.Stop();
        QVERIFY2(served.game > 0, "the game was not served");

        const QByteArray cookie = Cookie(served), password = served.password.toLatin1();
        QCOMPARE(cookie.size(), 32);
        QCOMPARE(password.size(), 8);
        QStringList secrets, seenTools;
        for (const QByteArray& text : seen) {
            if (text.toLower().contains(cookie) || text.contains(password))
                secrets << text;
            for (const char* tool : {"/xauth ", "/vncpasswd ", "Xvnc :"}) {
                if (text.contains(tool))
                    seenTools << tool;
            }
        }
        seenTools.removeDuplicates();
        seenTools.sort();
        QCOMPARE(seenTools, QStringList({"/vncpasswd ", "/xauth ", "Xvnc :"}));  // all were seen
        QCOMPARE(secrets, QStringList());
    }

    // Another account can neither open the VNC socket, nor get onto the X display without the
    // cookie, nor wear the player's welcome out with wrong passwords.
    void otherAccountsCannotReachTheGame() {
        if (::geteuid() != 0)
            QSKIP("acting as another account (nobody) needs this test to run as root");
        const Served served = Serve();
        QVERIFY2(served.game > 0, "the game was not served");
        const QByteArray socket = served.socket.toLocal8Bit(),
                         display = "/tmp/.X11-unix/X" + QByteArray::number(served.display),
                         withCookie = XSetupRequest(QByteArray::fromHex(Cookie(served))),
                         without = XSetupRequest({});

        // The player's own programs get in, so that a refusal below is the server's answer.
        QCOMPARE(XSetup(display.constData(), withCookie), XAnswer::Success);
        QCOMPARE(AsNobody([&] { return int(XSetup(display.constData(), without)); }),
                 int(XAnswer::Failed));
        const int reached = AsNobody([&] {
            int count = 0;
            for (int attempt = 0; attempt < WRONG_LOGINS; ++attempt)
                count += WrongVncLogin(socket.constData()) != Login::Unreachable;
            return count;
        });
        QCOMPARE(reached, 0);
        QVERIFY2(!Snapshot(served).isNull(), "the player was locked out");
    }

    // Whoever reaches the socket through an SSH forward arrives from the same address as everyone
    // else there: their wrong passwords must not lock the player out.
    void wrongPasswordsDoNotLockThePlayerOut() {
        const Served served = Serve();
        QVERIFY2(served.game > 0, "the game was not served");
        QList<Login> logins;
        for (int attempt = 0; attempt < WRONG_LOGINS; ++attempt)
            logins << WrongVncLogin(served.socket.toLocal8Bit().constData());
        QCOMPARE(logins, QList<Login>(WRONG_LOGINS, Login::Rejected));
        QVERIFY2(!Snapshot(served).isNull(), "the player was locked out");
    }

    // A stop at any moment of the start, the moment the session folder is made included, leaves
    // neither a folder nor a process behind; so does a kill while Xvnc gets ready. A stand-in may
    // play one of the tools the script runs.
    void stopDuringTheStartLeavesNothing_data() {
        QTest::addColumn<int>("afterMs");  // when this test sends the signal; -1: never
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("standIn");
        for (const int ms : {0, 5, 10, 20, 30, 40, 60, 80, 120, 200})
            QTest::addRow("TERM after %d ms", ms) << ms << SIGTERM << QString() << QByteArray();
        // The script is the parent of the tool it runs to make its folder.
        QTest::newRow("TERM as the folder is made")
            << -1 << SIGTERM << "mktemp"
            << "'" + QStandardPaths::findExecutable("mktemp").toLocal8Bit() +
                   "' \"$@\" && kill -TERM $PPID";
        QTest::newRow("KILL while Xvnc gets ready")
            << 500 << SIGKILL << "Xvnc" << QByteArray("exec sleep 600");
    }
    void stopDuringTheStartLeavesNothing() {
        QFETCH(int, afterMs);
        QFETCH(int, signal);
        QFETCH(QString, tool);
        QFETCH(QByteArray, standIn);
        QTemporaryDir tools;
        if (!tool.isEmpty())
            WriteTool(tools.path(), tool, standIn);
        QProcess script;
        script.setProcessEnvironment(Environment(tool.isEmpty() ? QString() : tools.path()));
        script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        script.start(SERVE_HEADLESS, {VANTOR_GAME});
        QVERIFY(script.waitForStarted(WAIT_MS));
        if (afterMs >= 0) {
            QTest::qSleep(afterMs);
            ::kill(pid_t(script.processId()), signal);
        }
        QVERIFY2(script.waitForFinished(WAIT_MS), "the serving script did not stop");
        if (signal == SIGKILL)
            QCOMPARE(AfterAWhile([&] { return LeftInTmp(); }), QStringList());
        QCOMPARE(LeftInTmp(), QStringList());
        if (afterMs < 0)
            QCOMPARE(script.exitCode(), 128 + signal);  // its trap answered
        QCOMPARE(AfterAWhile([&] { return Leftovers(); }), QList<qint64>());
    }

    // A start that fails ends within its deadline, says why, and leaves nothing behind. Xvnc is
    // played by a stand-in of the given behaviour.
    void startThatFailsEndsWithAMessage_data() {
        QTest::addColumn<QByteArray>("xvnc");
        QTest::addColumn<QByteArray>("timeout");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("atMostMs");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("never ready") << QByteArray("exec sleep 600") << QByteArray("2") << 1000
                                     << 4500 << QStringList{"did not get ready within 2 s"};
        // Then the script may take its grace period before it kills it.
        QTest::newRow("never ready, deaf to TERM")
            << QByteArray("trap '' TERM\nexec sleep 600") << QByteArray("1") << 0 << 7000
            << QStringList{"did not get ready within 1 s"};
        QTest::newRow("fails at once")
            << QByteArray("echo 'Fatal server error: no screens found' >&2\nexit 1") << QByteArray()
            << 0 << 20000
            << QStringList{"could not start on any display from :0 to :99", "no screens found"};
    }
    void startThatFailsEndsWithAMessage() {
        QFETCH(QByteArray, xvnc);
        QFETCH(QByteArray, timeout);
        QFETCH(int, atLeastMs);
        QFETCH(int, atMostMs);
        QFETCH(QStringList, words);
        QTemporaryDir tools;
        WriteTool(tools.path(), "Xvnc", xvnc);
        QProcess script;
        QProcessEnvironment environment = Environment(tools.path());
        if (!timeout.isEmpty())
            environment.insert("VANTOR_VNC_TIMEOUT", timeout);
        script.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        script.start(SERVE_HEADLESS, {VANTOR_GAME});
        QVERIFY2(script.waitForFinished(atMostMs + WAIT_MS), "the serving script did not stop");
        const qint64 ms = clock.elapsed();
        QVERIFY2(ms >= atLeastMs && ms <= atMostMs,
                 qPrintable(QString("ended after %1 ms").arg(ms)));
        QCOMPARE(script.exitCode(), 1);
        const QString said = script.readAllStandardError();
        for (const QString& word : words) QVERIFY2(said.contains(word), qPrintable(said));
        QCOMPARE(LeftInTmp(), QStringList());
        QCOMPARE(AfterAWhile([&] { return Leftovers(); }), QList<qint64>());
    }

    // What the script cannot serve, it says so before it makes anything.
    void refusesWhatItCannotServe_data() {
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no game") << "/nonexistent/vantor" << QString() << QString() << 2
                                 << "usage: ";
        QTest::newRow("xauth missing") << VANTOR_GAME << "PATH" << QString() << 1
                                       << "xauth is missing: install the Debian package xauth.";
        QTest::newRow("scale 0") << VANTOR_GAME << "VANTOR_VNC_SCALE"
                                 << "0" << 2
                                 << "VANTOR_VNC_SCALE must be a whole number from 1 on, not '0'.";
        QTest::newRow("timeout 1.5")
            << VANTOR_GAME << "VANTOR_VNC_TIMEOUT"
            << "1.5" << 2
            << "VANTOR_VNC_TIMEOUT must be a whole number of seconds from 1 on, not '1.5'.";
    }
    void refusesWhatItCannotServe() {
        QFETCH(QString, game);
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(int, status);
        QFETCH(QString, message);
        QProcessEnvironment environment = Environment();
        // A PATH with the shell and the other tools, but no xauth.
        QTemporaryDir tools;
        if (variable == "PATH") {
            for (const char* tool : {"bash", "Xvnc", "vncpasswd"})
                QFile::link(QStandardPaths::findExecutable(tool), tools.path() + '/' + tool);
            value = tools.path();
        }
        if (!variable.isEmpty())
            environment.insert(variable, value);
        QProcess script;
        script.setProcessEnvironment(environment);
        script.start(SERVE_HEADLESS, {game});
        QVERIFY(script.waitForFinished(WAIT_MS));
        QCOMPARE(script.exitCode(), status);
        const QString said = script.readAllStandardError();
        QVERIFY2(said.contains(message), qPrintable(said));
        QCOMPARE(LeftInTmp(), QStringList());
    }
};

QTEST_GUILESS_MAIN(HeadlessPlayTest)
#include "tst_headless_play.moc"
