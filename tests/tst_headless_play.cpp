// Serves the build's own game without a display, as scripts/play.sh does, and looks at it through a
// real VNC viewer (vncsnapshot): loopback only, true colours, nothing left running afterwards.
#include <QtTest>

#include <csignal>

#include "tests/support/Pixels.h"

class HeadlessPlayTest : public QObject {
    Q_OBJECT

    static constexpr int FIRST_PORT = 5900, WAIT_MS = 10000;
    // The viewer saves JPEG pictures, whose flat colours stay this close to the true ones.
    static int Count(const QImage& shot, QColor colour) {
        return Find(shot, Near(colour, 12)).second;
    }

    // What the serving script started, read from what it prints and from its child processes.
    struct Served {
        int display = -1;
        QString passwordFile;
        qint64 xvnc = 0, game = 0;
    };

    QProcess serve;
    QTemporaryDir configHome;

    static bool Alive(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

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

    // The local addresses listening on a TCP port, as the kernel writes them: 127.0.0.1 is
    // 0100007F, ::1 is 00000000000000000000000001000000, every address is all zeros.
    static QStringList ListeningAddresses(int port) {
        QStringList addresses;
        for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile file(table);  // missing where there is no IPv6
            const QString rows = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            for (const QString& row : rows.split('\n').mid(1)) {
                const QStringList fields = row.simplified().split(' ');
                const QString local = fields.value(1);
                if (fields.value(3) == "0A" && local.section(':', 1).toInt(nullptr, 16) == port)
                    addresses << local.section(':', 0, 0);
            }
        }
        return addresses;
    }

    QImage Snapshot(const Served& served) {
        const QString file = QCoreApplication::applicationDirPath() + "/headless_menu.jpg";
        QFile::remove(file);
        QProcess viewer;
        // Its default encodings stall on Xvnc; raw is the natural one on this machine anyway.
        viewer.start("vncsnapshot", {"-quiet", "-encodings", "raw", "-passwd", served.passwordFile,
                                     "localhost:" + QString::number(served.display), file});
        viewer.waitForFinished(WAIT_MS);
        return QImage(file);
    }

    Served Serve() {
        serve.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        serve.start(SERVE_HEADLESS, {VANTOR_GAME});
        const QRegularExpression local("vncviewer -passwd (\\S+) localhost:(\\d+)");
        QString said;
        Served served;
        const bool started = QTest::qWaitFor(
            [&] {
                said += serve.readAllStandardOutput();
                const QRegularExpressionMatch match = local.match(said);
                if (!match.hasMatch())
                    return false;
                served.passwordFile = match.captured(1);
                served.display = match.captured(2).toInt();
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
    }

    // Ctrl+C or a stop of the script, or the game quitting, ends everything the script started.
    void servesTheMenuInTrueColoursToThisMachineOnly_data() {
        QTest::addColumn<bool>("gameQuits");
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << false << SIGINT;
        QTest::newRow("game quits") << true << SIGTERM;
        QTest::newRow("script terminated") << false << SIGTERM;
    }
    void servesTheMenuInTrueColoursToThisMachineOnly() {
        QFETCH(bool, gameQuits);
        QFETCH(int, signal);
        const Served served = Serve();
        QVERIFY2(served.game > 0, "the game was not served");

        QStringList addresses = ListeningAddresses(FIRST_PORT + served.display);
        QVERIFY2(!addresses.isEmpty(), "nothing listens on the VNC port");
        addresses.removeAll("0100007F");
        addresses.removeAll("00000000000000000000000001000000");
        QCOMPARE(addresses, QStringList());  // addresses other than the loopback ones

        // The grass, and the highlighted row of the menu; swapping red and blue would turn the
        // highlight to a cyan.
        const QRgb grass = qRgb(0, 128, 0), highlight = qRgb(255, 255, 80),
                   swappedHighlight = qRgb(80, 255, 255);
        QImage shot;
        const bool highlighted = QTest::qWaitFor(
            [&] { return Count(shot = Snapshot(served), highlight) > 20; }, WAIT_MS);
        QVERIFY2(!shot.isNull(), "the viewer saw nothing");
        QVERIFY2(Count(shot, grass) > shot.width() * shot.height() / 2, "too little grass");
        QCOMPARE(Count(shot, swappedHighlight), 0);
        QVERIFY2(highlighted, "no highlighted row");

        ::kill(pid_t(gameQuits ? served.game : serve.processId()), signal);
        // The script ends with the game's status, or with its own answer to the same signal.
        QVERIFY2(serve.waitForFinished(WAIT_MS), "the serving script did not stop");
        QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve.exitCode(), 128 + signal);
        QVERIFY2(!Alive(served.game), "the game was left running");
        QVERIFY2(!Alive(served.xvnc), "Xvnc was left running");
    }
};

QTEST_GUILESS_MAIN(HeadlessPlayTest)
#include "tst_headless_play.moc"
