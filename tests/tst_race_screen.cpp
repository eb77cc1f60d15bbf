#include <QtTest>
#include <algorithm>
#include <tuple>

#include "tests/support/RaceFixture.h"

namespace {

using Text = VantorScreen::RaceText;
constexpr int TRACK_1 = 0, TRACK_4 = 3, TRACK_14 = 13;
constexpr int EASY = 0, MEDIUM = 1, HARD = 2;

struct Race : RaceFixture {
    Race() = default;
    // Past the countdown and the first race tick, after which keys are taken.
    Race(int track, int level, int laps = 5) {
        screen.Initialize(track, level, laps);
        Ticks(4);
    }
    const QGraphicsSimpleTextItem& Item(Text text) const { return screen.Text(text); }
    // The four texts, "-" for a hidden one.
    QString Texts() const {
        QStringList shown;
        for (Text text : {Text::UserLaps, Text::ComputerLaps, Text::Clock, Text::Countdown})
            shown << (Item(text).isVisible() ? Item(text).text() : "-");
        return shown.join('|');
    }
};

// A car as text: hot spot, speed, heading, frame, level and whether it is hidden.
QString Of(const RaceCar& car) {
    return QString::asprintf("%g,%g s%d h%d f%d z%g%s", car.x(), car.y(), car.speed, car.direction,
                             car.frame(), car.zValue(), car.isVisible() ? "" : " hidden");
}

bool IsCentred(const QGraphicsSimpleTextItem& text) {
    return int(text.x()) == Canvas::WIDTH / 2 - text.boundingRect().toAlignedRect().width() / 2;
}

}  // namespace

class TestRaceScreen : public QObject {
    Q_OBJECT

  private slots:
    void setUpPlacesCarsAndTexts();
    void countdownRaceTicksClockAndTearDown();
    void keys();
    void crashesStopAndSpinOnlyOnHard();
    void carLineUnderBridges();
    void carFrontWalksTheFrameBorder();
};

void TestRaceScreen::setUpPlacesCarsAndTexts() {
    // Side by side at the end of the start piece, the computer's car on the inside: a vertical
    // piece at column 0, row 1 (under a bridge on track 4), a horizontal one at column 1, row 3.
    // The computer's top speed and the player's collisions go by level.
    const std::tuple<int, int, QString> starts[] = {
        {TRACK_1, EASY, "30,145 s0 h0 f0 z3 | 40,135 s0 h0 f0 z3"},
        {TRACK_14, MEDIUM, "149,249 s0 h6 f18 z3 | 139,259 s0 h18 f18 z3"},
        {TRACK_4, HARD, "30,145 s0 h0 f0 z3 | 40,135 s0 h0 f0 z3"}};
    for (const auto& [track, level, cars] : starts) {
        Race race;
        race.screen.Initialize(track, level, 5);
        QCOMPARE(Of(race.Computer()) + " | " + Of(race.User()), cars);
        QVERIFY(race.Computer().maxSpeed == (level == MEDIUM ? 5 : 4) &&
                race.User().collisionsOff == (level != HARD));
        // The countdown stands above the cars, the car line above all.
        QVERIFY(IsCentred(race.Item(Text::Clock)) && IsCentred(race.Item(Text::Countdown)));
        QVERIFY(race.Item(Text::Countdown).zValue() > RaceCar::UPPER_LEVEL);
        QVERIFY(race.screen.RaceCarLine().zValue() > race.Item(Text::Countdown).zValue());
    }
}

void TestRaceScreen::countdownRaceTicksClockAndTearDown() {
    // "3", "2" and "1" a second each, then 30 ms race ticks from "GO!" on, which stays up for
    // eleven of them; keys come with the first, and all pressed before are lost. Given up after
    // `last` race ticks: one more tick, the held frame, then the tear-down, after which only the
    // hidden texts and car line are left on the canvas.
    const auto expected = [](int last) {
        return Sequence(last + 6, [last](int t) {
            const int k = std::min(t - 2, last);
            if (t >= last + 4)
                return QString("-|-|-|- @1500 #5 over1");
            const QString clock =
                k < 1 ? QString("Laps Completed")
                      : QString::asprintf("00:%02d:%03d", 30 * k / 1000, 30 * k % 1000);
            const QString countdown = t < 2 ? QString::number(2 - t) : t <= 13 ? "GO!" : "-";
            const int interval = t < 2 ? 1000 : t == last + 3 ? 1500 : 30;
            const QString keys =
                k >= 1 && t < last + 3 ? QString(" keys u0 s%1").arg(std::min(5, k / 6)) : "";
            return QString("0|0|%1|%2 @%3 #19 over0").arg(clock, countdown).arg(interval) + keys;
        });
    };
    Race race;
    race.Ticks();
    QVERIFY(race.screen.Phase() == VantorScreen::phaseIdle && race.over.isEmpty());
    QCOMPARE(race.Texts(), QString("-|-|-|-"));
    // Twice on one screen: the first race given up while the computer's car gains speed, the
    // second under "GO!".
    for (const int last : {28, 8}) {
        race.over.clear();
        race.screen.Initialize(TRACK_1, MEDIUM, 5);
        QVERIFY(race.Interval() == 1000 && !race.screen.RaceGivenUp());
        QCOMPARE(race.Texts(), QString("0|0|Laps Completed|3"));
        const auto seen = race.Trace(last + 6, [&] {
            const bool keys =
                race.screen.KeysEnabled() && race.screen.Phase() == VantorScreen::phaseRacing;
            QString state = race.Texts() + QString(" @%1 #%2 over%3")
                                               .arg(race.Interval())
                                               .arg(race.canvas.items().size())
                                               .arg(race.over.size());
            if (keys)
                state += QString(" keys u%1 s%2")
                             .arg(race.User().speed + race.User().direction)
                             .arg(race.Computer().speed);
            for (int key : {Qt::Key_Up, Qt::Key_Right, Qt::Key_R, Qt::Key_Escape})
                if (!keys || (key == Qt::Key_Escape && race.screen.ElapsedMs() == 30 * last))
                    race.Press(key);
            return state;
        });
        QCOMPARE(seen, expected(last));
        QCOMPARE(race.Reports(), QString("lost %1 ms").arg(30 * last));
        QVERIFY(race.screen.RaceGivenUp() && !race.screen.findChild<QTimer*>()->isActive());
    }
    // A race far longer than the computer's car can drive runs the clock on; past 99 minutes the
    // minutes take the digits they need.
    race.screen.Initialize(TRACK_1, EASY, 1000000);
    race.Ticks(3);
    for (const auto& [ticks, shown] :
         {std::pair{2000, "01:00:000"}, std::pair{200000, "100:00:000"}}) {
        race.Ticks(ticks - int(race.screen.ElapsedMs() / 30));
        QCOMPARE(race.Item(Text::Clock).text(), QString(shown));
        QVERIFY(race.screen.ElapsedMs() == 30L * ticks && IsCentred(race.Item(Text::Clock)));
    }
}

void TestRaceScreen::keys() {
    {
        // Held in place, so that only the keys act: up gains a step at once, then one every sixth
        // tick up to 5. A held arrow turns a heading at once, then again every 4th tick up to
        // speed 2, every 3rd at 3, every 2nd at 4 and 5. Down takes the steps back at the same
        // pace once the running delay has passed.
        Race race(TRACK_1, EASY);
        race.User().setAnimated(false);
        for (int key : {Qt::Key_Up, Qt::Key_Right}) race.Press(key);
        int heading = 0, nextTurn = 0;
        const auto expected = Sequence(31, [&](int t) {
            const int speed = std::min(5, 1 + t / 6);
            if (t == nextTurn) {
                ++heading;
                nextTurn += speed <= 2 ? 4 : speed == 3 ? 3 : 2;
            }
            return QString("%1 %2").arg(speed).arg(heading);
        });
        const auto state = [&] {
            return QString("%1 %2").arg(race.User().speed).arg(race.User().direction);
        };
        QCOMPARE(race.Trace(31, state), expected);
        race.Release(Qt::Key_Up);
        race.Press(Qt::Key_Down);
        QCOMPARE(race.Trace(32, [&] { return race.User().speed; }),
                 Sequence(32, [](int t) { return std::max(0, 5 - (t + 1) / 6); }));
    }
    {
        // R puts the computer's car back and lets go of the player's keys, keeping the laps; the
        // car stands while it blinks, and its return is no lap.
        Race race(TRACK_1, EASY);
        race.User().setAnimated(false);
        race.Press(Qt::Key_Up);
        race.Ticks(25);
        race.Computer().lapsCompleted = 2;
        race.Press(Qt::Key_R);
        QVERIFY(race.Computer().restarting);
        QCOMPARE(Of(race.Computer()), QString("30,145 s0 h0 f0 z3"));
        const int userSpeed = race.User().speed;
        race.Ticks(12);
        QVERIFY(race.User().speed == userSpeed && race.Computer().pos() == QPointF(30, 145));
        // Off the canvas the player's car is put back, and keys are lost while it blinks: shown
        // ten ticks, hidden ten, shown ten.
        race.User().setPos(race.User().x(), -40);
        bool blocked = true;
        const auto shown = race.Trace(32, [&] {
            race.Press(Qt::Key_Up);
            blocked &= !race.screen.KeysEnabled();
            return race.User().isVisible();
        });
        QCOMPARE(shown, Sequence(32, [](int t) { return t < 11 || t >= 21; }));
        QVERIFY(blocked && !race.User().restarting && race.User().pos() == QPointF(40, 135));
        race.Ticks(10);
        QVERIFY(race.screen.KeysEnabled() && race.User().speed == 0);
        QVERIFY(!race.Computer().restarting && race.Computer().y() < 145 &&
                race.Computer().lapsCompleted == 2);
    }
    // Up beats down, left beats right and wraps round from straight up; Q ends the event loop.
    Race race(TRACK_1, EASY);
    for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left}) race.Press(key);
    race.Ticks();
    QVERIFY(race.User().speed == 1 && race.User().direction == 23 && race.User().frame() == 23);
    QTimer::singleShot(0, &race.screen, [&race] { race.Press(Qt::Key_Q); });
    QTimer::singleShot(5000, &race.screen, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

void TestRaceScreen::crashesStopAndSpinOnlyOnHard() {
    // On Hard the player's car put onto the computer's car stops at once, then spins through
    // frames 0 to 22, one a tick, then shows its own frame again. The second race follows one
    // given up mid-spin, and its spin still starts at frame 0. On Easy and Medium the cars pass
    // through each other.
    Race race;
    for (int level : {HARD, HARD, EASY, MEDIUM}) {
        race.screen.Initialize(TRACK_1, level, 5);
        race.Ticks(3 + 10);
        RaceCar& user = race.User();
        user.SetRaceCarSpeed(2);
        const QPointF placed = race.Computer().pos() - QPointF(10, 10);
        user.setPos(placed);
        const int ticks = level == HARD ? 26 : 5;
        const auto spin = [](int t) { return t == 0 || t == 25 ? 0 : std::min(t - 1, 22); };
        QCOMPARE(race.Trace(ticks, [&] { return user.speed == 0 ? user.frame() : -1; }),
                 Sequence(ticks, [&](int t) { return level == HARD ? spin(t) : -1; }));
        QVERIFY(user.pos() == placed - QPointF(0, level == HARD ? 0 : 10) && user.crashCount == 0);
        user.setPos(race.Computer().pos() - QPointF(10, 10));
        race.Ticks(8);
        race.Press(Qt::Key_Escape);
        race.Ticks(2);
    }
}

void TestRaceScreen::carLineUnderBridges() {
    // Track 4: the bridge start piece crosses the ground corner at column 0, row 1.
    Race race(TRACK_4, EASY);
    RaceCar& user = race.User();
    const CarLine& line = race.screen.RaceCarLine();
    QCOMPARE(line.pen().color(), QColor(Qt::cyan));
    // Under the bridge the car's 20x20 frame is marked edge to edge along its heading; on the
    // bridge, or beside it, the car is seen.
    const std::tuple<int, double, double, QLineF> cases[] = {{6, 1, 45, {45, 120, 64, 119}},
                                                             {9, 1, 45, {45, 110, 64, 129}},
                                                             {3, 1, 45, {64, 110, 45, 129}},
                                                             {6, 3, 45, {}},
                                                             {6, 1, 95, {}}};
    for (const auto& [heading, z, x, expected] : cases) {
        user.setPos(x, 110);
        user.SetRaceCarDirection(heading);
        user.setZValue(z);
        race.Ticks();
        QCOMPARE(line.isVisible() ? line.line() : QLineF(), expected);
    }
    // Looked up on the car's own level first: the bridge above, the ground corner below.
    QCOMPARE(race.screen.GetCurrentGridSection(37.9, 109.9, 3)->LevelValue(), 2);
    QCOMPARE(race.screen.GetCurrentGridSection(37.9, 109.9, 1)->PieceKind(), pieceUpperLeft);
}

void TestRaceScreen::carFrontWalksTheFrameBorder() {
    // Clockwise round the 20x20 frame from the middle of the top edge, a sixth of a side a
    // picture, so that pictures 3, 9, 15 and 21 fall on the corners.
    Race race(TRACK_1, EASY);
    const QPointF corners[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}, {0, 0}};
    for (int picture = 0; picture < RaceCar::HEADING_COUNT; ++picture) {
        race.User().pictureIndex = picture;
        double x = 5, y = 7;
        race.screen.GetRaceCarFront(&race.User(), &x, &y);
        const int side = (picture + 3) % 24 / 6, step = (picture + 3) % 6;
        const QPointF along = (corners[side + 1] - corners[side]) * step / 6.0;
        QCOMPARE(QPointF(x, y), QPointF(5, 7) + corners[side] + along);
    }
}

QTEST_MAIN(TestRaceScreen)
#include "tst_race_screen.moc"
