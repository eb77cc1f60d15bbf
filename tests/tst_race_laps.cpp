#include <QtTest>
#include <cmath>
#include <cstdio>

#include "tests/support/RaceFixture.h"

namespace {

using Text = VantorScreen::RaceText;

// The road value under a car's hot spot, -1 off the pieces.
int SurfaceUnder(const VantorScreen& screen, const RaceCar& car) {
    const GridSection* section = screen.GetCurrentGridSection(car.x(), car.y(), car.zValue());
    int gx = 0, gy = 0;
    if (section != nullptr)
        section->GetGridXYValues(car.x(), car.y(), &gx, &gy);
    return section == nullptr ? -1 : section->SurfaceValue(gx, gy);
}

// Track 1 driven clockwise from its start piece: the centres of its pieces, the start piece last.
const QPointF WAYPOINTS[] = {{37, 36},   {112, 36},  {187, 36}, {187, 109}, {187, 182},
                             {187, 255}, {112, 255}, {37, 255}, {37, 182},  {37, 109}};

}  // namespace

class TestRaceLaps : public QObject {
    Q_OBJECT

  private slots:
    void computerWinsEveryTrackAtEveryLevel();
    void playerIsCreditedOnlyForWholeCircuitsAndWins();
};

void TestRaceLaps::computerWinsEveryTrackAtEveryLevel() {
    for (int track = 0; track < 15; ++track) {
        for (int level = 0; level < 3; ++level) {
            RaceFixture race;
            race.screen.Initialize(track, level, 5);
            race.Ticks(3);
            const QPointF userStart = race.User().pos();
            QStringList lapTexts{"0"};
            int ticks = 0, levelChanges = 0;
            for (int tick = 1; tick < 20000; ++tick) {
                const RaceCar& car = race.Computer();
                const bool driven = tick > 1 && car.speed > 0;
                const double depth = car.zValue();
                const int surface = SurfaceUnder(race.screen, car);
                race.Ticks();
                if (race.screen.Phase() != VantorScreen::phaseRacing)
                    break;
                ticks = tick;
                // Never put back, on the road once it moves, up on bridge-kind road and down
                // on any other; the player's car stands. A failing race is the one after the last
                // line printed.
                QVERIFY(!car.restarting && race.User().pos() == userStart &&
                        (car.speed == 0 || SurfaceUnder(race.screen, car) > 0));
                if (driven && car.lapsCompleted < 5) {
                    const bool up = surface >= Surface::BridgeCornerRoad;
                    QCOMPARE(car.zValue(), up ? RaceCar::UPPER_LEVEL : RaceCar::LOWER_LEVEL);
                    levelChanges += car.zValue() != depth;
                }
                if (race.TextOf(Text::ComputerLaps) != lapTexts.last())
                    lapTexts << race.TextOf(Text::ComputerLaps);
            }
            race.Ticks();
            QCOMPARE(race.Reports(), QString("lost %1 ms").arg(30 * ticks));
            QCOMPARE(lapTexts, QStringList({"0", "1", "2", "3", "4", "5"}));
            // It leaves the start at the upper level for the road; on a track with bridges it
            // goes up and down again on every lap.
            QVERIFY(levelChanges == 1 || levelChanges >= 10);
            std::printf("track %d level %d ticks %d\n", track + 1, level, ticks);
        }
    }
}

void TestRaceLaps::playerIsCreditedOnlyForWholeCircuitsAndWins() {
    RaceFixture race;
    race.screen.Initialize(0, 0, 3);
    race.Ticks(3);
    // Held on the start piece, the computer's car laps nothing.
    race.Computer().setAnimated(false);
    const GridSection* start = race.screen.GetCurrentGridSection(40, 135, 3);
    // Steers from piece centre to piece centre with held arrow keys as a player would, at speed
    // 3, pressing or releasing every key on every tick so that a key lost while blocked comes
    // back. Notes whether the car's front, where the race looks it up, enters the start piece.
    int next = 0;
    bool frontOnStart = true, enteredStart = false;
    const auto drive = [&] {
        RaceCar& car = race.User();
        const auto aim = [&] { return WAYPOINTS[next] - car.pos() - QPointF(10, 10); };
        next = (next + (std::hypot(aim().x(), aim().y()) < 22)) % 10;
        const double heading = std::atan2(aim().x(), -aim().y()) * 12 / M_PI;
        const int offBy = (int(std::lround(heading)) - car.direction + 48) % 24;
        const auto hold = [&](int key, bool down) { down ? race.Press(key) : race.Release(key); };
        hold(Qt::Key_Right, offBy != 0 && offBy <= 12);
        hold(Qt::Key_Left, offBy > 12);
        hold(Qt::Key_Up, car.speed < 3);
        hold(Qt::Key_Down, car.speed > 3);
        double x = car.x(), y = car.y();
        race.screen.GetRaceCarFront(&car, &x, &y);
        const bool onStart = race.screen.GetCurrentGridSection(x, y, car.zValue()) == start;
        enteredStart = onStart && !frontOnStart;
        frontOnStart = onStart;
        race.Ticks();
    };
    const auto driveToCredit = [&](const char* laps) {
        for (int tick = 0; tick < 3000 && race.TextOf(Text::UserLaps) != laps; ++tick) drive();
        QCOMPARE(race.TextOf(Text::UserLaps), QString(laps));
        QVERIFY(enteredStart);
    };
    driveToCredit("1");
    QCOMPARE(next, 9);
    // Just before the lower right-hand straight the car jumps into the corner below it, and
    // drives on to the start piece: not a whole circuit, no lap.
    while (next != 4 || race.User().y() < 115) drive();
    race.User().setPos(race.User().pos() + QPointF(0, 84));
    next = 5;
    while (next != 0) drive();
    QVERIFY(frontOnStart && race.TextOf(Text::UserLaps) == "1");
    driveToCredit("2");
    // On the last straight of the next circuit the car leaves the canvas and is put back on the
    // start piece: no entry, no lap.
    while (next == 9) drive();
    while (next != 9) drive();
    race.User().setPos(-40, race.User().y());
    QCOMPARE(race.Trace(41, [&] { return race.User().pos(); }).first(), QPointF(40, 135));
    QCOMPARE(race.TextOf(Text::UserLaps), QString("2"));
    // The next whole circuit is the last lap; the race is decided on the tick after it, and
    // reported after one more race tick and the held frame.
    driveToCredit("3");
    const int decidingTick = race.timeouts - 3 + 1;
    QCOMPARE(race.Trace(3, [&] { return race.over.isEmpty() ? race.Interval() : 0; }),
             QVector<int>({30, 1500, 0}));
    QCOMPARE(race.Reports(), QString("won %1 ms").arg(30 * decidingTick));
}

QTEST_MAIN(TestRaceLaps)
#include "tst_race_laps.moc"
