#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <cstdio>

#include "platform/Canvas.h"
#include "race/VantorScreen.h"

namespace {

constexpr int TRACKS = 15;
constexpr int LEVELS = 3;
constexpr int RACE_LAPS = 5;
constexpr long TICK_MS = 30;
// Far more race ticks than any 5-lap race needs; a race still running then is a stuck car.
constexpr int TICK_LIMIT = 20000;

struct Race {
    Canvas canvas;
    VantorScreen screen{canvas, nullptr};
    QSignalSpy over{&screen, &VantorScreen::RaceOver};

    void Tick() { QVERIFY(QMetaObject::invokeMethod(&screen, "TimeEvent")); }
    void CountDown() {
        for (int i = 0; i < 3; ++i) {
            Tick();
        }
    }
    RaceCar& User() { return *screen.Car(userControl); }
    RaceCar& Computer() { return *screen.Car(computerControl); }
    QString LapText(VantorScreen::RaceText text) const { return screen.Text(text).text(); }
    int TimerInterval() const { return screen.findChild<QTimer*>()->interval(); }
};

// The piece a point lies on at a depth, and the road value under it.
int SurfaceAt(const VantorScreen& screen, double x, double y, double z) {
    const GridSection* section = screen.GetCurrentGridSection(x, y, z);
    if (section == nullptr) {
        return -1;
    }
    int gx = 0;
    int gy = 0;
    section->GetGridXYValues(x, y, &gx, &gy);
    return section->SurfaceValue(gx, gy);
}

bool HasBridgeRoad(const VantorScreen& screen) {
    for (const auto& section : screen.GridSections()) {
        for (int gy = 0; gy < GridSection::MAP_HEIGHT; ++gy) {
            for (int gx = 0; gx < GridSection::MAP_WIDTH; ++gx) {
                if (section->SurfaceValue(gx, gy) >= 4) {
                    return true;
                }
            }
        }
    }
    return false;
}

QPointF FrontOf(const VantorScreen& screen, const RaceCar& car) {
    double x = car.x();
    double y = car.y();
    screen.GetRaceCarFront(&car, &x, &y);
    return {x, y};
}

// Steers the player's car from piece centre to piece centre with the arrow keys, the way a player
// would: turn towards the next point, hold a steady speed. Keys are pressed or released on every
// tick, so that a key lost while keys were blocked is pressed again.
class Autopilot {
  public:
    Autopilot(VantorScreen& raceScreen, QVector<QPointF> route, int cruisingSpeed)
        : screen(raceScreen), waypoints(std::move(route)), speed(cruisingSpeed) {}

    void Steer() {
        const RaceCar& car = *screen.Car(userControl);
        const QPointF centre(car.x() + 10, car.y() + 10);
        QPointF aim = waypoints[next] - centre;
        if (std::hypot(aim.x(), aim.y()) < REACHED) {
            next = (next + 1) % waypoints.size();
            aim = waypoints[next] - centre;
        }
        const double degrees = std::atan2(aim.x(), -aim.y()) * 180.0 / M_PI;
        const int wanted = (int(std::lround(degrees / 15.0)) % 24 + 24) % 24;
        const int offBy = (wanted - car.direction + 24) % 24;
        Hold(Qt::Key_Right, offBy != 0 && offBy <= 12);
        Hold(Qt::Key_Left, offBy > 12);
        Hold(Qt::Key_Up, car.speed < speed);
        Hold(Qt::Key_Down, car.speed > speed);
    }
    int Waypoint() const { return next; }
    void SkipTo(int waypoint) { next = waypoint; }

  private:
    static constexpr double REACHED = 22.0;

    void Hold(int key, bool down) {
        if (down) {
            screen.keyPressEvent(key);
        } else {
            screen.keyReleaseEvent(key);
        }
    }

    VantorScreen& screen;
    QVector<QPointF> waypoints;
    int speed;
    int next = 0;
};

// Track 1 driven clockwise from its start piece: the centres of its ten pieces, start piece last.
QPointF CellCentre(int column, int row) {
    return {75.0 * column + 37, 73.0 * row + 36};
}
const QVector<QPointF> TRACK_1_CIRCUIT = {
    CellCentre(0, 0), CellCentre(1, 0), CellCentre(2, 0), CellCentre(2, 1), CellCentre(2, 2),
    CellCentre(2, 3), CellCentre(1, 3), CellCentre(0, 3), CellCentre(0, 2), CellCentre(0, 1)};

}  // namespace

class TestRaceLaps : public QObject {
    Q_OBJECT

  private slots:
    void computerWinsEveryTrackAtEveryLevel();
    void playerIsCreditedOnlyForWholeCircuits();
    void playerWinsAfterTheLastLap();
};

void TestRaceLaps::computerWinsEveryTrackAtEveryLevel() {
    for (int track = 0; track < TRACKS; ++track) {
        for (int level = 0; level < LEVELS; ++level) {
            Race race;
            race.screen.Initialize(track, level, RACE_LAPS);
            race.CountDown();
            const QPointF userStart = race.User().pos();
            const bool bridgeRoad = HasBridgeRoad(race.screen);

            QStringList lapTexts{race.LapText(VantorScreen::RaceText::ComputerLaps)};
            int levelChanges = 0;
            int raceTicks = 0;
            while (race.screen.Phase() == VantorScreen::phaseRacing && raceTicks < TICK_LIMIT) {
                const RaceCar& before = race.Computer();
                const bool driven = raceTicks > 0 && before.speed > 0;
                const double depthBefore = before.zValue();
                const int surfaceBefore =
                    SurfaceAt(race.screen, before.x(), before.y(), before.zValue());
                race.Tick();
                if (race.screen.Phase() != VantorScreen::phaseRacing) {
                    break;
                }
                ++raceTicks;
                const RaceCar& computer = race.Computer();
                QVERIFY2(!computer.restarting,
                         qPrintable(QString("track %1 level %2: computer car put back on tick %3")
                                        .arg(track + 1)
                                        .arg(level)
                                        .arg(raceTicks)));
                // From the tick it starts moving until it has won, its centre stays on a road.
                if (computer.speed > 0) {
                    const int surface =
                        SurfaceAt(race.screen, computer.x(), computer.y(), computer.zValue());
                    QVERIFY2(surface > 0,
                             qPrintable(QString("track %1 level %2: computer car off the road at "
                                                "(%3, %4) on tick %5")
                                            .arg(track + 1)
                                            .arg(level)
                                            .arg(computer.x())
                                            .arg(computer.y())
                                            .arg(raceTicks)));
                }
                // Bridge-kind road lifts the car to the upper level; any other road drops it.
                if (driven && computer.lapsCompleted < RACE_LAPS) {
                    const bool bridgeRoad = surfaceBefore >= 4 && surfaceBefore <= 6;
                    QCOMPARE(computer.zValue(),
                             bridgeRoad ? RaceCar::UPPER_LEVEL : RaceCar::LOWER_LEVEL);
                    levelChanges += computer.zValue() != depthBefore ? 1 : 0;
                }
                const QString laps = race.LapText(VantorScreen::RaceText::ComputerLaps);
                if (laps != lapTexts.last()) {
                    lapTexts << laps;
                }
                QCOMPARE(race.User().pos(), userStart);
            }
            QCOMPARE(race.screen.Phase(), VantorScreen::phaseEnding);
            race.Tick();

            QCOMPARE(race.over.count(), 1);
            QCOMPARE(race.over.at(0).at(0).toBool(), false);
            QCOMPARE(race.over.at(0).at(1).value<long>(), TICK_MS * raceTicks);
            QVERIFY(!race.screen.RaceGivenUp());
            QCOMPARE(lapTexts, QStringList({"0", "1", "2", "3", "4", "5"}));
            // The car leaves the start at the upper level and drops to the road; where the track
            // has bridge-kind road it goes up and down again on every lap.
            QVERIFY(bridgeRoad ? levelChanges >= 2 * RACE_LAPS : levelChanges == 1);
            std::printf("track %d level %d ticks %d\n", track + 1, level, raceTicks);
        }
    }
}

void TestRaceLaps::playerIsCreditedOnlyForWholeCircuits() {
    Race race;
    // Long enough for the computer's car not to finish while the player drives a few laps.
    race.screen.Initialize(0, 0, 25);
    race.CountDown();
    Autopilot pilot(race.screen, TRACK_1_CIRCUIT, 3);
    const GridSection* start = race.screen.GetCurrentGridSection(
        race.Computer().x(), race.Computer().y(), race.Computer().zValue());
    QVERIFY(start != nullptr && start->IsStartTrack());

    // One race tick under the autopilot; remembers whether the front of the player's car, where
    // the race loop looks the car up, moved onto the start piece in this tick.
    bool frontWasOnStart = true;
    bool enteredStart = false;
    const auto drive = [&] {
        const QPointF front = FrontOf(race.screen, race.User());
        const bool onStart =
            race.screen.GetCurrentGridSection(front.x(), front.y(), race.User().zValue()) == start;
        enteredStart = onStart && !frontWasOnStart;
        frontWasOnStart = onStart;
        pilot.Steer();
        race.Tick();
    };
    const auto driveToNextCredit = [&] {
        const QString before = race.LapText(VantorScreen::RaceText::UserLaps);
        for (int tick = 0; tick < 3000; ++tick) {
            drive();
            if (race.LapText(VantorScreen::RaceText::UserLaps) != before) {
                return true;
            }
        }
        return false;
    };

    QVERIFY(driveToNextCredit());
    QCOMPARE(race.LapText(VantorScreen::RaceText::UserLaps), QString("1"));
    QCOMPARE(race.User().lapsCompleted, 1);
    QVERIFY(enteredStart);
    QCOMPARE(pilot.Waypoint(), 9);

    // Second circuit: on the upper right-hand straight, just before the lower one, the car jumps
    // into the corner below it, never entering the lower straight.
    RaceCar& user = race.User();
    while (pilot.Waypoint() != 4 || FrontOf(race.screen, user).y() < 135) {
        drive();
    }
    QCOMPARE(user.direction, 12);
    user.setPos(user.pos() + QPointF(0, 84));
    pilot.SkipTo(5);
    while (pilot.Waypoint() != 0) {
        drive();
        QCOMPARE(race.LapText(VantorScreen::RaceText::UserLaps), QString("1"));
    }
    QVERIFY(frontWasOnStart);
    // The next whole circuit counts again.
    QVERIFY(driveToNextCredit());
    QCOMPARE(race.LapText(VantorScreen::RaceText::UserLaps), QString("2"));
    QVERIFY(enteredStart);

    // Third circuit, nearly done: on the last straight before the start piece, the car leaves the
    // canvas and is put back on the start piece. That is no entry, so no lap.
    while (pilot.Waypoint() == 9) {
        drive();
    }
    while (pilot.Waypoint() != 9) {
        drive();
    }
    QVERIFY(!frontWasOnStart);
    user.setPos(-40, user.y());
    race.Tick();
    QVERIFY(user.restarting);
    QCOMPARE(user.pos(), QPointF(40, 135));
    for (int tick = 0; tick < 40; ++tick) {
        race.Tick();
    }
    QVERIFY(!user.restarting);
    QCOMPARE(race.LapText(VantorScreen::RaceText::UserLaps), QString("2"));
    QCOMPARE(user.lapsCompleted, 2);
}

void TestRaceLaps::playerWinsAfterTheLastLap() {
    Race race;
    race.screen.Initialize(0, 0, 2);
    race.CountDown();
    Autopilot pilot(race.screen, TRACK_1_CIRCUIT, 3);

    int creditTick = -1;
    int decidingTick = -1;
    QVector<int> intervalsAfterTick;
    for (int tick = 1; race.over.isEmpty() && tick < 5000; ++tick) {
        // The player keeps the computer's car on the start piece.
        if (tick % 20 == 0) {
            race.screen.keyPressEvent(Qt::Key_R);
            race.screen.keyReleaseEvent(Qt::Key_R);
        }
        const int lapsBefore = race.screen.Car(userControl) ? race.User().lapsCompleted : -1;
        if (race.screen.Phase() == VantorScreen::phaseRacing) {
            pilot.Steer();
        }
        race.Tick();
        intervalsAfterTick << race.TimerInterval();
        if (race.screen.Car(userControl) == nullptr) {
            continue;
        }
        if (lapsBefore == 1 && race.User().lapsCompleted == 2) {
            creditTick = tick;
        }
        if (lapsBefore == 2 && race.User().lapsCompleted == 0) {
            decidingTick = tick;
        }
    }
    QCOMPARE(race.over.count(), 1);
    QCOMPARE(race.over.at(0).at(0).toBool(), true);
    QVERIFY(!race.screen.RaceGivenUp());
    QVERIFY(creditTick > 0);
    QCOMPARE(decidingTick, creditTick + 1);
    // RaceOver comes two timeouts after the deciding tick: one race tick, then the held frame.
    const int last = intervalsAfterTick.size() - 1;
    QCOMPARE(last, decidingTick + 1);
    QCOMPARE(intervalsAfterTick[decidingTick - 1] + intervalsAfterTick[decidingTick], 1530);
    QCOMPARE(race.over.at(0).at(1).value<long>(), TICK_MS * decidingTick);
}

QTEST_MAIN(TestRaceLaps)
#include "tst_race_laps.moc"
