#include <QtTest>
#include <cmath>

#include "race/TrackLayouts.h"
#include "tests/support/CompareCase.h"
#include "tests/support/RaceFixture.h"

constexpr int LAPS = 5, TICK_MS = 30;

// The computer's five-lap race with the player standing, in race ticks per lap, the last lap
// running until the race is decided on the tick after it; Easy, Medium and Hard for each track.
// clang-format off
constexpr int PINNED_LAPS[TRACK_COUNT][3][LAPS] = {
    {{198, 179, 179, 179, 180}, {165, 143, 141, 143, 145}, {198, 179, 179, 179, 180}},  // track 1
    {{208, 190, 190, 190, 191}, {167, 148, 148, 149, 149}, {208, 190, 190, 190, 191}},  // track 2
    {{243, 224, 224, 224, 225}, {198, 177, 176, 177, 177}, {243, 224, 224, 224, 225}},  // track 3
    {{275, 256, 256, 256, 257}, {224, 203, 202, 203, 203}, {275, 256, 256, 256, 257}},  // track 4
    {{240, 222, 222, 222, 223}, {197, 176, 176, 177, 177}, {240, 222, 222, 222, 223}},  // track 5
    {{200, 182, 183, 182, 184}, {165, 145, 144, 145, 145}, {200, 182, 183, 182, 184}},  // track 6
    {{209, 190, 190, 190, 191}, {168, 149, 150, 150, 151}, {209, 190, 190, 190, 191}},  // track 7
    {{203, 182, 184, 183, 185}, {165, 144, 143, 144, 144}, {203, 182, 184, 183, 185}},  // track 8
    {{203, 185, 184, 184, 185}, {167, 146, 146, 146, 147}, {203, 185, 184, 184, 185}},  // track 9
    {{244, 224, 225, 224, 226}, {199, 178, 178, 178, 179}, {244, 224, 225, 224, 226}},  // track 10
    {{238, 224, 224, 224, 225}, {192, 176, 175, 176, 176}, {238, 224, 224, 224, 225}},  // track 11
    {{239, 224, 224, 224, 225}, {193, 176, 174, 175, 175}, {239, 224, 224, 224, 225}},  // track 12
    {{270, 254, 255, 254, 256}, {219, 203, 202, 203, 203}, {270, 254, 255, 254, 256}},  // track 13
    {{241, 226, 225, 226, 226}, {197, 176, 177, 176, 178}, {241, 226, 225, 226, 226}},  // track 14
    {{283, 264, 265, 264, 266}, {226, 207, 207, 207, 208}, {283, 264, 265, 264, 266}},  // track 15
};
// clang-format on

// Track 1 driven clockwise from its start piece: the centres of its pieces, the start piece last.
const QPointF WAYPOINTS[] = {{37, 36},   {112, 36},  {187, 36}, {187, 109}, {187, 182},
                             {187, 255}, {112, 255}, {37, 255}, {37, 182},  {37, 109}};

class TestRaceLaps : public QObject {
    Q_OBJECT

  private slots:
    void computerRaceIsPinned() {
        for (int i = 0; i < TRACK_COUNT * 3; ++i) {
            const int track = i / 3, level = i % 3;
            const auto name =
                QString::asprintf("track %d %s", track + 1, LEVEL_NAMES[level]).toLatin1();
            RaceFixture race;
            race.screen.Initialize(track, level, LAPS);
            race.Ticks(3);
            // The race clock, in ticks, as the computer's lap count went up.
            QVector<long> lapEnds{0};
            while (race.screen.Phase() == Race::phaseRacing && race.timeouts < 5000) {
                race.Ticks();
                if (race.TextOf(Text::ComputerLaps) != QString::number(lapEnds.size() - 1))
                    lapEnds << race.screen.ElapsedMs() / TICK_MS;
            }
            race.Ticks();
            const long raceTicks =
                (race.over.isEmpty() ? race.screen.ElapsedMs() : race.ReportedMs()) / TICK_MS;
            // Lap by lap, so that the laps add up to the race; a race that never ends fails on the
            // lap where it stuck.
            for (int lap = 1; lap <= LAPS; ++lap) {
                const long end = lap < LAPS && lap < lapEnds.size() ? lapEnds[lap] : raceTicks;
                COMPARE_CASE(int(end - lapEnds.value(lap - 1, raceTicks)),
                             PINNED_LAPS[track][level][lap - 1],
                             name + " lap " + QByteArray::number(lap));
            }
            COMPARE_CASE(lapEnds.size(), LAPS + 1, name);
            COMPARE_CASE(race.over.size(), 1, name);
            COMPARE_CASE(race.UserWon(), false, name);
        }
    }

    void playerIsCreditedOnlyForWholeCircuitsAndWins() {
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
            const auto hold = [&](int key, bool on) { on ? race.Press(key) : race.Release(key); };
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
        QVERIFY(frontOnStart);
        QCOMPARE(race.TextOf(Text::UserLaps), QString("1"));
        driveToCredit("2");
        // On the last straight of the next circuit the car leaves the canvas and is put back on the
        // start piece: no entry, no lap.
        while (next == 9) drive();
        while (next != 9) drive();
        race.User().setPos(-40, race.User().y());
        QCOMPARE(race.Trace(41, [&] { return race.User().pos(); }).first(), QPointF(40, 135));
        QCOMPARE(race.TextOf(Text::UserLaps), QString("2"));
        // The next whole circuit is the last lap; the race is decided on the tick after it, and
        // reported after one more race tick and the held frame. Escape once it is decided is no
        // giving up.
        driveToCredit("3");
        const int decidingTick = race.timeouts - 3 + 1;
        const auto escape = [&] {
            race.Press(Qt::Key_Escape);
            return race.over.isEmpty() ? race.Interval() : 0;
        };
        QCOMPARE(race.Trace(3, escape), QVector<int>({30, 1500, 0}));
        QCOMPARE(race.over.size(), 1);
        QCOMPARE(race.UserWon(), true);
        QCOMPARE(race.screen.RaceGivenUp(), false);
        QCOMPARE(race.ReportedMs(), long(TICK_MS * decidingTick));
    }
};

QTEST_MAIN(TestRaceLaps)
#include "tst_race_laps.moc"
