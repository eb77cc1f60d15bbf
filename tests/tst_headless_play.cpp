// Serves the build's own game without a display, as scripts/play.sh does, and looks at it through a
// real VNC viewer (vncsnapshot): loopback only, true colours, nothing left running afterwards.
#include <QtTest>

#include <csignal>

class HeadlessPlayTest : public QObject {
    Q_OBJECT

    static constexpr int FIRST_PORT = 5900, WAIT_MS = 10000;
    // The viewer saves JPEG pictures, whose flat colours stay this close to the true ones.
    static constexpr int JPEG_ERROR = 12;

    // What the serving script started, read from what it prints and from its child processes.
    struct Served {
        int display = -1;
        QString passwordFile;
        qint64 xvnc = 0, game = 0;
    };

    QProcess serve;
    QTemporaryDir configHome;

    static bool Alive(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

    // The processes of that name whose parent is the given one.
    static QList<qint64> Children(qint64 parent, const QString& name) {
        QList<qint64> children;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // pid (name) state ppid ...
            const QString line = stat.readAll();
            const QStringList after = line.mid(line.lastIndexOf(')') + 2).split(' ');
            // The kernel keeps 15 characters of a name.
            if (after.value(1).toLongLong() == parent &&
                line.section('(', 1).section(')', 0, 0) == name.left(15)) {
                children << entry.toLongLong();
            }
        }
        return children;
    }

    // The local addresses listening on a TCP port, as the kernel writes them: 127.0.0.1 is
    // 0100007F, ::1 is 00000000000000000000000001000000, every address is all zeros.
    static QStringList ListeningAddresses(int port) {
        QStringList addresses;
        for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile file(table);
            if (!file.open(QIODevice::ReadOnly))
                continue;  // no IPv6 here
            file.readLine();
            while (!file.atEnd()) {
                const QStringList fields = QString(file.readLine()).simplified().split(' ');
                const QString local = fields.value(1);
                if (fields.value(3) == "0A" && local.section(':', 1).toInt(nullptr, 16) == port)
                    addresses << local.section(':', 0, 0);
            }
        }
        return addresses;
    }

    static int Count(const QImage& shot, QRgb colour) {
        int count = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                count += qAbs(qRed(p) - qRed(colour)) <= JPEG_ERROR &&
                         qAbs(qGreen(p) - qGreen(colour)) <= JPEG_ERROR &&
                         qAbs(qBlue(p) - qBlue(colour)) <= JPEG_ERROR;
            }
        }
        return count;
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
                const QList<qint64> xvnc = Children(serve.processId(), "Xvnc"),
                                    games = Children(serve.processId(),
                                                     QFileInfo(VANTOR_GAME).fileName());
                served.xvnc = xvnc.size() == 1 ? xvnc.first() : 0;
                served.game = games.size() == 1 ? games.first() : 0;
                return served.xvnc > 0 && served.game > 0;
            },
            WAIT_MS);
        if (!started)
            qWarning("the serving script said: %s", qPrintable(said));
        return started ? served : Served{};
    }

    // After a stop, nothing the script started may be left, nor the port open.
    void CheckAllGone(const Served& served, int expectedExit) {
        QVERIFY2(serve.waitForFinished(WAIT_MS), "the serving script did not stop");
        QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve.exitCode(), expectedExit);
        QVERIFY2(!Alive(served.game), "the game was left running");
        QVERIFY2(!Alive(served.xvnc), "Xvnc was left running");
        QCOMPARE(ListeningAddresses(FIRST_PORT + served.display), QStringList());
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
                QSKIP(qPrintable(QString(tool) + " is missing: headless play cannot be served or "
                                                 "seen (Debian: tigervnc-standalone-server, "
                                                 "tigervnc-tools, vncsnapshot)"));
        }
        // The script must be able to trap Ctrl+C even when this suite runs in the background, where
        // the shell started it with interrupts ignored.
        std::signal(SIGINT, SIG_DFL);
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    }

    void servesTheMenuInTrueColoursToThisMachineOnly() {
        const Served served = Serve();
        QVERIFY2(served.game > 0, "the game was not served");

        const QStringList addresses = ListeningAddresses(FIRST_PORT + served.display);
        QVERIFY2(!addresses.isEmpty(), "nothing listens on the VNC port");
        for (const QString& address : addresses) {
            QVERIFY2(address == "0100007F" || address == "00000000000000000000000001000000",
                     qPrintable("listening on " + address));
        }

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

        ::kill(pid_t(serve.processId()), SIGINT);
        CheckAllGone(served, 128 + SIGINT);
    }

    void stopsWithTheGameOrWhenTerminated_data() {
        QTest::addColumn<bool>("gameQuits");
        QTest::newRow("game quits") << true;
        QTest::newRow("script terminated") << false;
    }
    void stopsWithTheGameOrWhenTerminated() {
        QFETCH(bool, gameQuits);
        const Served served = Serve();
        QVERIFY2(served.game > 0, "the game was not served");
        ::kill(pid_t(gameQuits ? served.game : serve.processId()), SIGTERM);
        // The script ends with the game's status, or with its own answer to the same signal.
        CheckAllGone(served, 128 + SIGTERM);
    }
};

QTEST_GUILESS_MAIN(HeadlessPlayTest)
#include "tst_headless_play.moc"
