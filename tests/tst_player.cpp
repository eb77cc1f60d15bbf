// Plays the installed game as a player would: a real X server (Xvfb), real key presses (xdotool)
// and screenshots (ImageMagick's import) of every screen, saved in the build directory.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "app/Vantor.h"

namespace {

// Colours the screens are drawn in.
const QColor HIGHLIGHT(255, 255, 80);
const QColor MENU_TEXT(75, 234, 254);
const QColor PLAYER_CAR(0, 255, 255);
const QColor COMPUTER_CAR(255, 255, 0);
const QColor COUNTDOWN(0, 255, 0);
const QColor RESULT_BOARD(0xCD, 0xD2, 0xD5);
const QColor WINNER_LETTERING(0, 0, 0xDC);
// Where the end screen's board lies in the window; the menu shows only texts on grass there.
const QRect BOARD_AREA(40, 175, 160, 80);

// The race screen's texts stand in the top rows; below them only the cars carry car colours.
constexpr int TOP_TEXT_ROWS = 30;

// Pixels of a region close to a colour (anti-aliased edges differ a little).
int CountNear(const QImage& image, const QColor& colour, QRect region = QRect(),
              int tolerance = 24) {
    if (region.isNull()) {
        region = image.rect();
    }
    region &= image.rect();
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - colour.red()) <= tolerance &&
                qAbs(pixel.green() - colour.green()) <= tolerance &&
                qAbs(pixel.blue() - colour.blue()) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs, int stepMs = 100) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qSleep(stepMs);
    }
    return true;
}

}  // namespace

class PlayerTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void playsAOneLapRaceAndQuits();
    void cleanupTestCase();

  private:
    bool StartDisplay();
    QString Run(const QString& program, const QStringList& arguments);
    void Keys(const QStringList& keys);
    QImage Shot(const QString& name);

    QString xvfb;
    QString xdotool;
    QString import;
    QString game;
    QString display;
    QString windowId;
    QString shotDir;
    QProcess server;
    QProcess player;
    QTemporaryDir configHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

void PlayerTest::initTestCase() {
    xvfb = QStandardPaths::findExecutable("Xvfb");
    xdotool = QStandardPaths::findExecutable("xdotool");
    import = QStandardPaths::findExecutable("import");
    if (xvfb.isEmpty() || xdotool.isEmpty() || import.isEmpty()) {
        QSKIP(
            "Xvfb, xdotool and ImageMagick's import are needed to play the game "
            "(scripts/install-deps.sh installs them)");
    }
    // On the path, or where an install with the default prefix puts it.
    game = QStandardPaths::findExecutable("vantor");
    if (game.isEmpty()) {
        game = QStandardPaths::findExecutable("vantor", {"/usr/local/bin"});
    }
    QVERIFY2(!game.isEmpty(), "the game is not installed: run cmake --install on the build");
    const QString previews = Vantor::DefaultPictureDir() + "track_pics/TrackPix1.png";
    QVERIFY2(QFileInfo::exists(previews),
             qPrintable("the track previews are not installed: " + previews));

    shotDir = QCoreApplication::applicationDirPath() + "/player_shots";
    QDir().mkpath(shotDir);
    QVERIFY2(StartDisplay(), "Xvfb did not start");
    environment.insert("DISPLAY", display);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_CONFIG_HOME", configHome.path());
    environment.remove("QT_SCALE_FACTOR");
    environment.remove("WAYLAND_DISPLAY");
}

bool PlayerTest::StartDisplay() {
    for (int number = 90; number < 140; ++number) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) {
            continue;
        }
        display = QStringLiteral(":%1").arg(number);
        server.start(xvfb, {display, "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        if (server.waitForStarted() &&
            WaitFor(
                [&] { return QFileInfo::exists(socket) || server.state() != QProcess::Running; },
                10000) &&
            server.state() == QProcess::Running) {
            return true;
        }
        server.waitForFinished(1000);
    }
    return false;
}

QString PlayerTest::Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void PlayerTest::Keys(const QStringList& keys) {
    for (const QString& key : keys) {
        Run(xdotool, {"key", "--clearmodifiers", key});
        QTest::qSleep(150);
    }
}

QImage PlayerTest::Shot(const QString& name) {
    const QString file = shotDir + '/' + name + ".png";
    QFile::remove(file);
    Run(import, {"-display", display, "-window", windowId, file});
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

void PlayerTest::playsAOneLapRaceAndQuits() {
    player.setProcessEnvironment(environment);
    player.start(game, {});
    QVERIFY(player.waitForStarted());
    QVERIFY2(WaitFor(
                 [&] {
                     windowId = Run(xdotool, {"search", "--onlyvisible", "--classname", "^vantor$"})
                                    .section('\n', 0, 0);
                     return !windowId.isEmpty();
                 },
                 15000),
             "the game's window did not appear");
    Run(xdotool, {"windowfocus", "--sync", windowId});
    QTest::qSleep(800);

    // The menu: "Select Track" in the yellow highlight, the other rows in light blue.
    const QImage menu = Shot("1_menu");
    QCOMPARE(menu.size(), QSize(240, 300));
    QVERIFY(CountNear(menu, HIGHLIGHT, QRect(8, 148, 225, 18)) > 20);
    // Thin light text is drawn anti-aliased: none of its pixels reaches the full colour.
    QVERIFY(CountNear(menu, MENU_TEXT, QRect(8, 172, 225, 90), 50) > 20);

    // A one-lap race: Left below 5 laps.
    Keys({"Down", "Down", "Left", "Down", "Return"});
    QTest::qSleep(400);
    const QImage countdown = Shot("2_countdown");
    QVERIFY(CountNear(countdown, COUNTDOWN) > 20);
    const QRect belowTexts(0, TOP_TEXT_ROWS, 240, 300 - TOP_TEXT_ROWS);
    QVERIFY(CountNear(countdown, PLAYER_CAR, belowTexts) > 20);
    QVERIFY(CountNear(countdown, COMPUTER_CAR, belowTexts) > 20);
    QCOMPARE(CountNear(countdown, HIGHLIGHT, QRect(8, 148, 225, 18)), 0);

    // Racing: both cars on the track, the computer's moving.
    QTest::qSleep(5000);
    const QImage race = Shot("3_race");
    QVERIFY(CountNear(race, PLAYER_CAR, belowTexts) > 20);
    QVERIFY(CountNear(race, COMPUTER_CAR, belowTexts) > 20);
    QTest::qSleep(500);
    QVERIFY(Shot("3_race_later").copy(belowTexts) != race.copy(belowTexts));

    // The computer wins while the player waits: the result without the word Winner.
    QImage end;
    QVERIFY2(WaitFor(
                 [&] {
                     end = Shot("4_end");
                     return CountNear(end, RESULT_BOARD, BOARD_AREA) > 5000;
                 },
                 90000, 1000),
             "the end screen did not come");
    QTest::qSleep(300);
    end = Shot("4_end");
    QCOMPARE(CountNear(end, WINNER_LETTERING), 0);
    QCOMPARE(player.state(), QProcess::Running);

    Keys({"space"});
    QTest::qSleep(400);
    const QImage menuAgain = Shot("5_menu_again");
    QVERIFY(CountNear(menuAgain, HIGHLIGHT, QRect(8, 148, 225, 18)) > 20);
    QCOMPARE(CountNear(menuAgain, RESULT_BOARD, BOARD_AREA), 0);
    QCOMPARE(player.state(), QProcess::Running);

    // Q during a race quits the game.
    Keys({"Down", "Down", "Down", "Return"});
    QTest::qSleep(4000);
    QCOMPARE(player.state(), QProcess::Running);
    Keys({"q"});
    QVERIFY(player.waitForFinished(10000));
    QCOMPARE(player.exitStatus(), QProcess::NormalExit);
    QCOMPARE(player.exitCode(), 0);
}

void PlayerTest::cleanupTestCase() {
    if (player.state() != QProcess::NotRunning) {
        player.kill();
        player.waitForFinished(5000);
    }
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        server.waitForFinished(5000);
    }
}

QTEST_MAIN(PlayerTest)
#include "tst_player.moc"
