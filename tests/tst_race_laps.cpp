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

bool HasBridgeRoad(const VantorScreen& screen) {
    for (const auto& section : screen.GridSections())
        for (int gy = 0; gy < GridSection::MAP_HEIGHT; ++gy)
            for (int gx = 0; gx < GridSection::MAP_WIDTH; ++gx)
                if (section->SurfaceValue(gx, gy) >= Surface::BridgeCornerRoad)
                    return true;
    return false;
}

// Track 1 clockwise from its start piece, by column and row: the start piece last.
constexpr int CIRCUIT[][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2},
                              {2, 3}, {1, 3}, {0, 3}, {0, 2}, {0, 1}};

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
            const bool bridgeRoad = HasBridgeRoad(race.screen);
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
                const QString where =
                    QString("track %1 level %2 tick %3").arg(track + 1).arg(level).arg(tick);
                // Never put back, on the road once it moves, up on bridge-kind road and down
                // on any other.
                QVERIFY2(!car.restarting, qPrintable(where));
                QVERIFY2(car.speed == 0 || SurfaceUnder(race.screen, car) > 0, qPrintable(where));
                if (driven && car.lapsCompleted < 5) {
                    const bool up = surface >= Surface::BridgeCornerRoad;
                    QCOMPARE(car.zValue(), up ? RaceCar::UPPER_LEVEL : RaceCar::LOWER_LEVEL);
                    levelChanges += car.zValue() != depth;
                }
                if (race.TextOf(Text::ComputerLaps) != lapTexts.last())
                    lapTexts << race.TextOf(Text::ComputerLaps);
                QCOMPARE(race.User().pos(), userStart);
            }
            race.Ticks();
            QCOMPARE(race.over.count(), 1);
            QCOMPARE(race.over.at(0), QVariantList({false, QVariant::fromValue(30L * ticks)}));
            QCOMPARE(lapTexts, QStringList({"0", "1", "2", "3", "4", "5"}));
            // It leaves the start at the upper level for the road; with bridge-kind road on the
            // track it goes up and down again on every lap.
            QVERIFY(bridgeRoad ? levelChanges >= 10 : levelChanges == 1);
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
        const QPointF centre = car.pos() + QPointF(10, 10);
        const auto aim = [&] {
            return QPointF(75 * CIRCUIT[next][0] + 37, 73 * CIRCUIT[next][1] + 36) - centre;
        };
        if (std::hypot(aim().x(), aim().y()) < 22)
            next = (next + 1) % 10;
        const int wanted =
            int(std::lround(std::atan2(aim().x(), -aim().y()) * 12 / M_PI) + 24) % 24;
        const int offBy = (wanted - car.direction + 24) % 24;
        const std::pair<int, bool> keys[] = {{Qt::Key_Right, offBy != 0 && offBy <= 12},
                                             {Qt::Key_Left, offBy > 12},
                                             {Qt::Key_Up, car.speed < 3},
                                             {Qt::Key_Down, car.speed > 3}};
        for (const auto& [key, down] : keys) down ? race.Press(key) : race.Release(key);
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
    race.Ticks();
    QCOMPARE(race.User().pos(), QPointF(40, 135));
    race.Ticks(40);
    QVERIFY(!race.User().restarting);
    QCOMPARE(race.TextOf(Text::UserLaps), QString("2"));
    // The next whole circuit is the last lap; the race is decided on the tick after it, and
    // reported after one more race tick and the held frame.
    driveToCredit("3");
    const long decided = 30L * (race.timeouts - 3 + 1);
    const auto ending = race.Trace(
        3, [&] { return QString("%1 over%2").arg(race.Interval()).arg(race.over.size()); });
    QCOMPARE(ending, QVector<QString>({"30 over0", "1500 over0", "1500 over1"}));
    QCOMPARE(race.over.at(0), QVariantList({true, QVariant::fromValue(decided)}));
}

QTEST_MAIN(TestRaceLaps)
#include "tst_race_laps.moc"
