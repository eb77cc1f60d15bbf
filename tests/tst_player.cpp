// Plays the build's own game as a player would: a real X server (Xvfb) with a full-HD screen, real
// key presses (xdotool) and screenshots (ImageMagick's import) of every screen, saved in the build
// directory.
#include <QtTest>

#include "tests/support/Pixels.h"

class PlayerTest : public QObject {
    Q_OBJECT

    // A 1920x1080 screen holds the game three times enlarged.
    static constexpr int SCALE = 3;
    static constexpr QSize WINDOW{240 * SCALE, 300 * SCALE};

    // What a screenshot must show: more than atLeast game pixels near the colour in the area, in
    // game pixels, or none when atLeast is 0. The keys are pressed first;
    // the shot is then taken until it holds or time is up.
    struct Look {
        QStringList keys;
        const char* shot;
        int pauseMs, timeoutMs;
        QColor colour;
        QRect area;
        int atLeast, tolerance = 24;  // anti-aliased edges differ a little
    };

    static QString Run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(20000);
        return QString(process.readAllStandardOutput()).trimmed();
    }
    bool Shows(const Look& look) {
        const QString file = shots + look.shot + ".png";
        QFile::remove(file);
        Run("import", {"-window", window, file});
        const QImage shot(file);
        const QImage region =
            shot.copy(QRect(look.area.topLeft() * SCALE, look.area.size() * SCALE));
        const int count =
            shot.size() == WINDOW ? Find(region, Near(look.colour, look.tolerance)).second : -1;
        return look.atLeast > 0 ? count > look.atLeast * SCALE * SCALE : count == 0;
    }

    // Killed, if still running, when the test ends.
    QProcess server, player;
    QString window, shots = QCoreApplication::applicationDirPath() + "/player_shots/";
    QTemporaryDir configHome;

  private slots:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "xdotool", "import"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP("Xvfb, xdotool and ImageMagick's import are needed to play the game");
        }
        // Xvfb picks a free display and writes its number; another X server starting at the same
        // moment may take it first, and then this one gives up.
        QByteArray display;
        for (int attempt = 0; attempt < 3 && display.isEmpty(); ++attempt) {
            server.start("Xvfb",
                         {"-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
            server.waitForReadyRead(10000);
            display = server.readLine().trimmed();
        }
        QVERIFY2(!display.isEmpty(), "Xvfb did not start");
        // The tools and the game inherit these; this test's own platform is already chosen.
        qputenv("DISPLAY", ':' + display);
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (configHome.path() + "/data").toLocal8Bit());
        QDir().mkpath(shots);
    }

    void playsAOneLapRaceAndQuits() {
        QVERIFY2(QFile::exists(VANTOR_PREVIEWS "/TrackPix1.png"),
                 "the build has no track previews: build the track_previews target");
        player.start(VANTOR_GAME, {});
        QVERIFY2(player.waitForStarted(), VANTOR_GAME);
        window = Run("xdotool", {"search", "--sync", "--onlyvisible", "--classname", "^vantor$"})
                     .section('\n', 0, 0);
        QVERIFY2(!window.isEmpty(), "the game's window did not appear");
        Run("xdotool", {"windowfocus", "--sync", window});
        const QString geometry = Run("xdotool", {"getwindowgeometry", "--shell", window});
        QCOMPARE(geometry.section("WIDTH=", 1).section('\n', 0, 0) + 'x' +
                     geometry.section("HEIGHT=", 1).section('\n', 0, 0),
                 QString("%1x%2").arg(WINDOW.width()).arg(WINDOW.height()));

        // clang-format off
        const QColor highlight(255, 255, 80), board(0xCD, 0xD2, 0xD5);
        // Where the end screen's board lies; the menu shows only texts on grass there.
        const QRect row(8, 148, 225, 18), startRow(8, 263, 225, 18), cars(0, 30, 240, 270),
                    mid(40, 175, 160, 80), all(0, 0, 240, 300);
        const Look looks[] = {
            // The menu: "Select Track" in the highlight, the other rows in light blue, thin and
            // anti-aliased so that none of their pixels reaches the full colour.
            {{}, "1_menu", 800, 5000, highlight, row, 20},
            {{}, "1_menu", 0, 0, QColor(75, 234, 254), QRect(8, 172, 225, 90), 20, 50},
            // A one-lap race: the green countdown, no menu, then both cars below the texts.
            {{"Down", "Down", "Left", "Down", "Down", "Return"}, "2_ready", 400, 5000, Qt::green, all,
             20},
            {{}, "2_ready", 0, 0, highlight, row, 0},
            {{}, "3_race", 5000, 5000, Qt::cyan, cars, 20},
            {{}, "3_race", 0, 0, Qt::yellow, cars, 20},
            // The computer wins while the player waits: the result without the word Winner.
            {{}, "4_end", 0, 90000, board, mid, 5000},
            {{}, "4_end", 300, 0, QColor(0, 0, 0xDC), all, 0},
            // Any key: back to the menu, on "Start Race" with the same choices.
            {{"space"}, "5_menu_again", 400, 5000, highlight, startRow, 20},
            {{}, "5_menu_again", 0, 0, board, mid, 0},
            // One key races again; Q during a race quits the game.
            {{"Return"}, "6_race_again", 4000, 5000, Qt::cyan, cars, 20},
        };
        // clang-format on
        for (const Look& look : looks) {
            Run("xdotool", QStringList{"key", "--delay", "150"} + look.keys);
            QTest::qSleep(look.pauseMs);
            QVERIFY2(QTest::qWaitFor([&] { return Shows(look); }, look.timeoutMs), look.shot);
        }
        Run("xdotool", {"key", "q"});
        QVERIFY2(player.waitForFinished(10000), "the game did not quit");
        QCOMPARE(player.exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.exitCode(), 0);
    }
};

QTEST_MAIN(PlayerTest)
#include "tst_player.moc"
