// Plays the installed game as a player would: a real X server (Xvfb), real key presses (xdotool)
// and screenshots (ImageMagick's import) of every screen, saved in the build directory.
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "app/Vantor.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int timeoutMs, int stepMs = 100) {
    QElapsedTimer clock;
    clock.start();
    bool met = done();
    while (!met && clock.elapsed() < timeoutMs) {
        QTest::qSleep(stepMs);
        met = done();
    }
    return met;
}

// What a screenshot must show: more than atLeast pixels near the colour in the area, or none
// when atLeast is 0. The keys are pressed first, then the shot is taken again until it holds.
struct Look {
    const char* keys;
    int pauseMs;
    int timeoutMs;
    const char* shot;
    QColor colour;
    QRect area;
    int atLeast;
    int tolerance = 24;  // anti-aliased edges differ a little
};

int CountNear(const QImage& image, const Look& look) {
    int count = 0;
    for (int y = look.area.top(); y <= look.area.bottom(); ++y) {
        for (int x = look.area.left(); x <= look.area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += qAbs(pixel.red() - look.colour.red()) <= look.tolerance &&
                     qAbs(pixel.green() - look.colour.green()) <= look.tolerance &&
                     qAbs(pixel.blue() - look.colour.blue()) <= look.tolerance;
        }
    }
    return count;
}

}  // namespace

class PlayerTest : public QObject {
    Q_OBJECT

    QString Run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        process.waitForFinished(20000);
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }

    QProcess server;
    QProcess player;
    QTemporaryDir configHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

  private slots:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "xdotool", "import"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                QSKIP("Xvfb, xdotool and ImageMagick's import are needed to play the game");
            }
        }
        // Xvfb picks a free display and writes its number.
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        QVERIFY2(server.waitForStarted() && server.waitForReadyRead(10000), "Xvfb did not start");
        environment.insert("DISPLAY", ':' + QString::fromLatin1(server.readLine()).trimmed());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_CONFIG_HOME", configHome.path());
        environment.remove("WAYLAND_DISPLAY");
    }

    void playsAOneLapRaceAndQuits() {
        // On the path, or where an install with the default prefix puts it.
        QString game = QStandardPaths::findExecutable("vantor");
        game = game.isEmpty() ? QStandardPaths::findExecutable("vantor", {"/usr/local/bin"}) : game;
        QVERIFY2(!game.isEmpty() &&
                     QFile::exists(Vantor::DefaultPictureDir() + "track_pics/TrackPix1.png"),
                 "the game is not installed: run cmake --install on the build");
        player.setProcessEnvironment(environment);
        player.start(game, {});
        QVERIFY(player.waitForStarted());
        QString window;
        QVERIFY2(WaitFor(
                     [&] {
                         window =
                             Run("xdotool", {"search", "--onlyvisible", "--classname", "^vantor$"})
                                 .section('\n', 0, 0);
                         return !window.isEmpty();
                     },
                     15000),
                 "the game's window did not appear");
        Run("xdotool", {"windowfocus", "--sync", window});
        const QString shots = QCoreApplication::applicationDirPath() + "/player_shots/";
        QDir().mkpath(shots);

        const QColor highlight(255, 255, 80), board(0xCD, 0xD2, 0xD5);
        const QRect trackRow(8, 148, 225, 18), all(0, 0, 240, 300), belowTexts(0, 30, 240, 270);
        // Where the end screen's board lies; the menu shows only texts on grass there.
        const QRect boardArea(40, 175, 160, 80);
        const Look looks[] = {
            // The menu: "Select Track" in the highlight, the other rows in light blue, thin and
            // anti-aliased so that none of their pixels reaches the full colour.
            {"", 800, 5000, "1_menu", highlight, trackRow, 20},
            {"", 0, 0, "1_menu", QColor(75, 234, 254), QRect(8, 172, 225, 90), 20, 50},
            // A one-lap race: the green countdown, no menu, then both cars below the texts.
            {"Down Down Left Down Return", 400, 5000, "2_countdown", QColor(0, 255, 0), all, 20},
            {"", 0, 0, "2_countdown", highlight, trackRow, 0},
            {"", 5000, 5000, "3_race", QColor(0, 255, 255), belowTexts, 20},
            {"", 0, 0, "3_race", QColor(255, 255, 0), belowTexts, 20},
            // The computer wins while the player waits: the result without the word Winner.
            {"", 0, 90000, "4_end", board, boardArea, 5000},
            {"", 300, 0, "4_end", QColor(0, 0, 0xDC), all, 0},
            // Any key: back to the menu.
            {"space", 400, 5000, "5_menu_again", highlight, trackRow, 20},
            {"", 0, 0, "5_menu_again", board, boardArea, 0},
        };
        for (const Look& look : looks) {
            Run("xdotool", QStringList{"key", "--delay", "150"} +
                               QString(look.keys).split(' ', Qt::SkipEmptyParts));
            QTest::qSleep(look.pauseMs);
            QImage shot;
            QVERIFY2(WaitFor(
                         [&] {
                             QFile::remove(shots + look.shot + ".png");
                             Run("import", {"-display", environment.value("DISPLAY"), "-window",
                                            window, shots + look.shot + ".png"});
                             shot = QImage(shots + look.shot + ".png")
                                        .convertToFormat(QImage::Format_RGB32);
                             const int count =
                                 shot.size() == QSize(240, 300) ? CountNear(shot, look) : -1;
                             return look.atLeast > 0 ? count > look.atLeast : count == 0;
                         },
                         look.timeoutMs, 500),
                     look.shot);
        }

        // Q during a race quits the game.
        Run("xdotool", {"key", "--delay", "150", "Down", "Down", "Down", "Return"});
        QTest::qSleep(4000);
        QCOMPARE(player.state(), QProcess::Running);
        Run("xdotool", {"key", "q"});
        QVERIFY(player.waitForFinished(10000));
        QVERIFY(player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0);
    }

    void cleanupTestCase() {
        for (QProcess* process : {&player, &server}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
};

QTEST_MAIN(PlayerTest)
#include "tst_player.moc"
