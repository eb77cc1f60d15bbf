#include <QGraphicsView>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <memory>
#include <numeric>

#include "platform/Canvas.h"
#include "race/VantorScreen.h"

namespace {

using Text = VantorScreen::RaceText;

constexpr int TRACK_1 = 0;
constexpr int TRACK_4 = 3;
constexpr int TRACK_14 = 13;
constexpr int EASY = 0;
constexpr int MEDIUM = 1;
constexpr int HARD = 2;

struct Race {
    Canvas canvas;
    VantorScreen screen{canvas, nullptr};
    QSignalSpy over{&screen, &VantorScreen::RaceOver};

    void Tick() { QVERIFY(QMetaObject::invokeMethod(&screen, "TimeEvent")); }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            Tick();
        }
    }
    RaceCar& User() { return *screen.Car(userControl); }
    RaceCar& Computer() { return *screen.Car(computerControl); }
    QString TextOf(Text text) const { return screen.Text(text).text(); }
    const QTimer& Timer() const { return *screen.findChild<QTimer*>(); }
    int ItemsOfType(int type) const {
        const QList<QGraphicsItem*> items = canvas.items();
        return int(std::count_if(items.begin(), items.end(), [type](const QGraphicsItem* item) {
            return item->type() == type;
        }));
    }
};

// A race past its countdown and its first race tick, after which keys are accepted.
std::unique_ptr<Race> StartedRace(int track, int level, int laps = 5) {
    auto race = std::make_unique<Race>();
    race->screen.Initialize(track, level, laps);
    race->Ticks(4);
    return race;
}

// Puts the player's car at a top-left corner and heading, as if it had driven there.
void Place(RaceCar& car, double x, double y, int heading) {
    car.setPos(x, y);
    car.SetRaceCarDirection(heading);
    car.setFrame(heading);
}

bool IsCentred(const QGraphicsSimpleTextItem& text) {
    const int width = text.boundingRect().toAlignedRect().width();
    return int(text.x()) == Canvas::WIDTH / 2 - width / 2;
}

QRectF SceneRectOf(const QGraphicsItem& item) {
    return item.sceneBoundingRect();
}

}  // namespace

class TestRaceScreen : public QObject {
    Q_OBJECT

  private slots:
    void setUpPlacesTheCarsAndTexts();
    void countdownPhasesAndTearDown();
    void arrowKeysChangeSpeedAndHeadingAtTheirRates();
    void keysAreIgnoredWhileBlocked();
    void restartGiveUpAndQuitKeys();
    void crashesStopAndSpinOnlyOnHard();
    void carLineShowsTheCarUnderABridge();
    void sectionLookUpPrefersTheCarsLevel();
    void frontPointLeadsTheCarsHeading();
    void clockCountsRaceTicks();
};

void TestRaceScreen::setUpPlacesTheCarsAndTexts() {
    struct Expected {
        int track;
        QPointF computer;
        QPointF user;
        int frame;
    };
    // Vertical start piece at column 0, row 1 (ground on track 1, bridge level on track 4);
    // horizontal start piece at column 1, row 3 on track 14.
    const Expected starts[] = {{TRACK_1, {30, 145}, {40, 135}, 0},
                               {TRACK_4, {30, 145}, {40, 135}, 0},
                               {TRACK_14, {149, 249}, {139, 259}, 18}};
    for (const Expected& start : starts) {
        Race race;
        race.screen.Initialize(start.track, EASY, 5);
        QCOMPARE(race.Computer().pos(), start.computer);
        QCOMPARE(race.User().pos(), start.user);
        for (const RaceCar* car : {&race.Computer(), &race.User()}) {
            QCOMPARE(car->frame(), start.frame);
            QCOMPARE(car->speed, 0);
            QCOMPARE(car->zValue(), RaceCar::UPPER_LEVEL);
            QVERIFY(car->isVisible());
        }
        // Side by side, not overlapping: the computer's car on the inside.
        const QRect computerArea = race.Computer().boundingRectInt();
        const QRect userArea = race.User().boundingRectInt();
        QVERIFY(!computerArea.intersects(userArea));
        QVERIFY(computerArea.adjusted(-1, -1, 1, 1).intersects(userArea));
        // Both cars stand on road of the start piece at their own level.
        const GridSection* section = race.screen.GetCurrentGridSection(
            race.Computer().x(), race.Computer().y(), race.Computer().zValue());
        QVERIFY(section != nullptr && section->IsStartTrack());
    }

    for (int level : {EASY, MEDIUM, HARD}) {
        Race race;
        race.screen.Initialize(TRACK_1, level, 5);
        QCOMPARE(race.Computer().maxSpeed, level == MEDIUM ? 5 : 4);
        QCOMPARE(race.User().collisionsOff, level != HARD);
    }

    Race race;
    QCOMPARE(race.screen.findChild<QGraphicsView*>()->geometry(), QRect(8, -3, 225, 292));
    QCOMPARE(race.screen.findChild<QGraphicsView*>()->focusPolicy(), Qt::NoFocus);
    for (Text text : {Text::UserLaps, Text::ComputerLaps, Text::Clock, Text::Countdown}) {
        QVERIFY(!race.screen.Text(text).isVisible());
    }
    race.screen.Initialize(TRACK_1, EASY, 5);
    QCOMPARE(race.TextOf(Text::Clock), QString("Laps Completed"));
    QCOMPARE(race.TextOf(Text::UserLaps), QString("0"));
    QCOMPARE(race.TextOf(Text::ComputerLaps), QString("0"));
    QCOMPARE(race.TextOf(Text::Countdown), QString("3"));
    QVERIFY(IsCentred(race.screen.Text(Text::Clock)));
    QVERIFY(IsCentred(race.screen.Text(Text::Countdown)));
    const QRectF countdown = SceneRectOf(race.screen.Text(Text::Countdown));
    QVERIFY(std::abs(countdown.center().y() - Canvas::HEIGHT / 2.0) <= 1.0);
    // Each lap count in its car's colour; the top line reads left to right without overlaps.
    QCOMPARE(race.screen.Text(Text::UserLaps).brush().color(), QColor(RaceCarImage::BLUE));
    QCOMPARE(race.screen.Text(Text::ComputerLaps).brush().color(), QColor(RaceCarImage::YELLOW));
    const QRectF userLaps = SceneRectOf(race.screen.Text(Text::UserLaps));
    const QRectF clock = SceneRectOf(race.screen.Text(Text::Clock));
    const QRectF computerLaps = SceneRectOf(race.screen.Text(Text::ComputerLaps));
    QVERIFY(userLaps.right() < clock.left());
    QVERIFY(clock.right() < computerLaps.left());
    QVERIFY(computerLaps.right() <= Canvas::WIDTH);
    // The countdown stands above everything but the car line; the top texts above the bridges.
    QVERIFY(race.screen.Text(Text::Countdown).zValue() > race.User().zValue());
    QVERIFY(race.screen.Text(Text::Clock).zValue() >= 2.0);
    QVERIFY(race.screen.RaceCarLine().zValue() > race.screen.Text(Text::Countdown).zValue());
    QVERIFY(!race.screen.KeysEnabled());
}

void TestRaceScreen::countdownPhasesAndTearDown() {
    Race race;
    QCOMPARE(race.screen.Phase(), VantorScreen::phaseIdle);
    // A stray timeout before any race does nothing.
    race.Tick();
    QCOMPARE(race.over.count(), 0);

    for (int raceNumber = 1; raceNumber <= 2; ++raceNumber) {
        race.screen.Initialize(TRACK_1, EASY, 5);
        QVERIFY(race.Timer().isActive());
        QVector<int> intervals{race.Timer().interval()};
        QStringList countdown{race.TextOf(Text::Countdown)};
        QPointF positionOfTwo;
        for (int i = 0; i < 3; ++i) {
            race.Tick();
            intervals << race.Timer().interval();
            countdown << race.TextOf(Text::Countdown);
            QVERIFY(race.screen.Text(Text::Countdown).isVisible());
            QVERIFY(!race.screen.KeysEnabled());
            if (i == 0) {
                positionOfTwo = race.screen.Text(Text::Countdown).pos();
            }
            if (i == 1) {
                QCOMPARE(race.screen.Text(Text::Countdown).pos(), positionOfTwo);
            }
        }
        QCOMPARE(countdown, QStringList({"3", "2", "1", "GO!"}));
        QVERIFY(IsCentred(race.screen.Text(Text::Countdown)));
        QCOMPARE(race.ItemsOfType(RaceCar::Type), 2);
        QCOMPARE(race.ItemsOfType(GridSection::Type), 12);

        // "GO!" stays for exactly eleven race ticks; keys come with the first one.
        int goTicks = 0;
        for (int tick = 1; tick <= 20; ++tick) {
            race.Tick();
            intervals << race.Timer().interval();
            QVERIFY(race.screen.KeysEnabled());
            goTicks += race.screen.Text(Text::Countdown).isVisible() ? 1 : 0;
        }
        QCOMPARE(goTicks, 11);

        race.screen.keyPressEvent(Qt::Key_Escape);
        race.Tick();
        intervals << race.Timer().interval();
        QCOMPARE(race.over.count(), raceNumber - 1);
        race.Tick();
        QCOMPARE(race.over.count(), raceNumber);
        QVERIFY(!race.Timer().isActive());

        // "3", "2" and "1" a second each, then race ticks from "GO!" on, then the held frame.
        QVector<int> expected(3, 1000);
        expected += QVector<int>(1 + 20, 30);
        expected << 1500;
        QCOMPARE(intervals, expected);
        QCOMPARE(race.over.last().at(1).value<long>(), 20L * 30);

        // Torn down: no cars, no pieces, no texts left on the shared canvas.
        QCOMPARE(race.ItemsOfType(RaceCar::Type), 0);
        QCOMPARE(race.ItemsOfType(GridSection::Type), 0);
        QVERIFY(race.screen.GridSections().empty());
        QVERIFY(race.screen.Car(userControl) == nullptr);
        for (Text text : {Text::UserLaps, Text::ComputerLaps, Text::Clock, Text::Countdown}) {
            QVERIFY(!race.screen.Text(text).isVisible());
        }
        QVERIFY(!race.screen.RaceCarLine().isVisible());
        // A late timeout cannot report the race twice.
        race.Tick();
        QCOMPARE(race.over.count(), raceNumber);
    }

    // Given up early, "GO!" does not outlive the race on the shared canvas.
    race.screen.Initialize(TRACK_1, EASY, 5);
    race.Ticks(5);
    race.screen.keyPressEvent(Qt::Key_Escape);
    race.Ticks(2);
    QCOMPARE(race.over.count(), 3);
    QVERIFY(!race.screen.Text(Text::Countdown).isVisible());
}

void TestRaceScreen::arrowKeysChangeSpeedAndHeadingAtTheirRates() {
    // Up held from a standstill: one step at once, then one every sixth tick, up to 5.
    {
        auto race = StartedRace(TRACK_1, EASY);
        // Held in place, so that only the keys' rules act on speed and heading.
        race->User().setAnimated(false);
        race->screen.keyPressEvent(Qt::Key_Up);
        QVector<int> speeds;
        for (int tick = 0; tick < 31; ++tick) {
            race->Tick();
            speeds << race->User().speed;
        }
        for (int tick = 0; tick < speeds.size(); ++tick) {
            QCOMPARE(speeds[tick], std::min(5, 1 + tick / 6));
        }
        // Down takes it back at the same pace, once the running delay has passed.
        race->screen.keyReleaseEvent(Qt::Key_Up);
        race->screen.keyPressEvent(Qt::Key_Down);
        QVector<int> changeTicks;
        for (int tick = 0; tick < 40 && race->User().speed > 0; ++tick) {
            const int before = race->User().speed;
            race->Tick();
            QVERIFY(race->User().speed == before || race->User().speed == before - 1);
            if (race->User().speed != before) {
                changeTicks << tick;
            }
        }
        QCOMPARE(changeTicks.size(), 5);
        for (int i = 1; i < changeTicks.size(); ++i) {
            QCOMPARE(changeTicks[i] - changeTicks[i - 1], 6);
        }
    }
    // Up and down together accelerate.
    {
        auto race = StartedRace(TRACK_1, EASY);
        race->screen.keyPressEvent(Qt::Key_Down);
        race->screen.keyPressEvent(Qt::Key_Up);
        race->Tick();
        QCOMPARE(race->User().speed, 1);
    }
    // A held arrow turns by one heading, then again after a pause that shortens with speed: every
    // 4th tick up to speed 2, every 3rd at 3, every 2nd at 4 and 5.
    struct TurnRate {
        int speed;
        int period;
    };
    for (const TurnRate rate :
         {TurnRate{0, 4}, TurnRate{2, 4}, TurnRate{3, 3}, TurnRate{4, 2}, TurnRate{5, 2}}) {
        auto race = StartedRace(TRACK_1, EASY);
        race->User().setAnimated(false);
        race->User().SetRaceCarSpeed(rate.speed);
        race->screen.keyPressEvent(Qt::Key_Right);
        QVector<int> headings;
        for (int tick = 0; tick < 2 * rate.period + 1; ++tick) {
            race->Tick();
            headings << race->User().direction;
        }
        for (int tick = 0; tick < headings.size(); ++tick) {
            QCOMPARE(headings[tick], 1 + tick / rate.period);
        }
    }
    // Left wins over right, and turning left from straight up wraps round to heading 23.
    {
        auto race = StartedRace(TRACK_1, EASY);
        race->screen.keyPressEvent(Qt::Key_Right);
        race->screen.keyPressEvent(Qt::Key_Left);
        race->Tick();
        QCOMPARE(race->User().direction, 23);
        QCOMPARE(race->User().frame(), 23);
        race->Ticks(4);
        QCOMPARE(race->User().direction, 22);
        // Released, the heading stays.
        race->screen.keyReleaseEvent(Qt::Key_Left);
        race->screen.keyReleaseEvent(Qt::Key_Right);
        race->Ticks(8);
        QCOMPARE(race->User().direction, 22);
    }
}

void TestRaceScreen::keysAreIgnoredWhileBlocked() {
    Race race;
    race.screen.Initialize(TRACK_1, EASY, 5);
    // Pressed during the countdown: lost, and held through "GO!" it does not count.
    race.screen.keyPressEvent(Qt::Key_Up);
    race.screen.keyReleaseEvent(Qt::Key_Down);
    QVERIFY(!race.screen.KeysEnabled());
    race.Ticks(3);
    race.screen.keyPressEvent(Qt::Key_Right);
    race.screen.keyPressEvent(Qt::Key_Escape);
    QVERIFY(!race.screen.KeysEnabled());
    race.Ticks(10);
    QCOMPARE(race.User().speed, 0);
    QCOMPARE(race.User().direction, 0);
    QCOMPARE(race.over.count(), 0);
    QCOMPARE(race.screen.Phase(), VantorScreen::phaseRacing);

    // The player's car leaves the canvas: it is put back, its keys are cleared and blocked until
    // the blinking is over; a release meanwhile is lost too.
    race.screen.keyPressEvent(Qt::Key_Up);
    race.Ticks(2);
    QCOMPARE(race.User().speed, 1);
    race.User().setPos(race.User().x(), -40);
    race.Tick();
    QVERIFY(race.User().restarting);
    QCOMPARE(race.User().pos(), QPointF(40, 135));
    QCOMPARE(race.User().speed, 0);
    race.screen.keyReleaseEvent(Qt::Key_Up);
    QVERIFY(!race.screen.KeysEnabled());
    QVector<bool> shown;
    for (int tick = 0; tick < 31; ++tick) {
        QVERIFY(!race.screen.KeysEnabled());
        race.Tick();
        shown << race.User().isVisible();
    }
    // Shown ten ticks, hidden ten, shown ten, then racing again.
    for (int tick = 0; tick < 30; ++tick) {
        QCOMPARE(shown[tick], tick < 10 || tick >= 20);
    }
    QVERIFY(!race.User().restarting);
    race.Tick();
    QVERIFY(race.screen.KeysEnabled());
    race.Ticks(10);
    QCOMPARE(race.User().speed, 0);
}

void TestRaceScreen::restartGiveUpAndQuitKeys() {
    {
        auto race = StartedRace(TRACK_1, EASY);
        race->User().setAnimated(false);
        race->screen.keyPressEvent(Qt::Key_Up);
        race->Ticks(25);
        QVERIFY(race->Computer().y() < 130);
        const int userSpeed = race->User().speed;
        race->Computer().lapsCompleted = 2;

        race->screen.keyPressEvent(Qt::Key_R);
        QCOMPARE(race->Computer().pos(), QPointF(30, 145));
        QVERIFY(race->Computer().restarting);
        QCOMPARE(race->Computer().speed, 0);
        QCOMPARE(race->Computer().xVelocity(), 0.0);
        QCOMPARE(race->Computer().yVelocity(), 0.0);
        QCOMPARE(race->Computer().lapsCompleted, 2);
        QVERIFY(race->screen.KeysEnabled());
        // The player's up key was let go by the restart.
        race->Ticks(12);
        QCOMPARE(race->User().speed, userSpeed);
        // The computer's car stands while it blinks, and its return is no lap.
        QCOMPARE(race->Computer().pos(), QPointF(30, 145));
        race->Ticks(40);
        QVERIFY(!race->Computer().restarting);
        QVERIFY(race->Computer().y() < 145);
        QCOMPARE(race->Computer().lapsCompleted, 2);
    }
    {
        auto race = StartedRace(TRACK_1, EASY);
        race->Ticks(50);
        race->screen.keyPressEvent(Qt::Key_Escape);
        QVERIFY(race->screen.RaceGivenUp());
        race->Ticks(2);
        QCOMPARE(race->over.count(), 1);
        QCOMPARE(race->over.at(0).at(0).toBool(), false);
        QCOMPARE(race->over.at(0).at(1).value<long>(), 51L * 30);
        QVERIFY(race->screen.RaceGivenUp());
        // The next race starts without the flag.
        race->screen.Initialize(TRACK_1, EASY, 5);
        QVERIFY(!race->screen.RaceGivenUp());
    }
    {
        auto race = StartedRace(TRACK_1, EASY);
        QTimer::singleShot(0, &race->screen, [&race] { race->screen.keyPressEvent(Qt::Key_Q); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
}

void TestRaceScreen::crashesStopAndSpinOnlyOnHard() {
    // On Hard, the player's car put onto the computer's car is stopped, and when they still touch
    // on the next tick it spins through frames 0 to 22, one a tick, before its own frame returns.
    // Twice on one screen: the first race is left with a spin under way, and the second one's
    // spin still starts at frame 0.
    Race race;
    for (int raceNumber = 1; raceNumber <= 2; ++raceNumber) {
        race.screen.Initialize(TRACK_1, HARD, 5);
        // Once the computer's car is under way both cars are on the ground level.
        race.Ticks(3 + 10);
        RaceCar& user = race.User();
        user.SetRaceCarSpeed(2);
        const QPointF placed = race.Computer().pos() - QPointF(10, 10);
        user.setPos(placed);
        race.Tick();
        QCOMPARE(user.zValue(), race.Computer().zValue());
        QCOMPARE(user.crashCount, 1);
        QCOMPARE(user.speed, 0);
        QCOMPARE(user.frame(), 0);
        QVector<int> frames;
        for (int tick = 0; tick < 23; ++tick) {
            race.Tick();
            frames << user.frame();
            QCOMPARE(user.speed, 0);
        }
        QVector<int> spin(23);
        std::iota(spin.begin(), spin.end(), 0);
        QCOMPARE(frames, spin);
        QCOMPARE(user.pos(), placed);
        race.Tick();
        QCOMPARE(user.crashCount, 0);
        QCOMPARE(user.frame(), 22);
        race.Tick();
        QCOMPARE(user.frame(), 0);
        QCOMPARE(race.Computer().crashCount, 0);

        user.setPos(race.Computer().pos() - QPointF(10, 10));
        race.Ticks(8);
        QVERIFY(user.crashCount > 1);
        race.screen.keyPressEvent(Qt::Key_Escape);
        race.Ticks(2);
        QCOMPARE(race.over.count(), raceNumber);
    }
    // The computer's car gains its first speed step on the sixth race tick, in every race, also
    // after a race given up while it was gaining speed.
    for (int raceNumber = 1; raceNumber <= 2; ++raceNumber) {
        race.screen.Initialize(TRACK_1, HARD, 5);
        race.Ticks(3 + 5);
        QCOMPARE(race.Computer().speed, 0);
        race.Tick();
        QCOMPARE(race.Computer().speed, 1);
        race.Ticks(2);
        race.screen.keyPressEvent(Qt::Key_Escape);
        race.Ticks(2);
    }
    QCOMPARE(race.over.count(), 4);

    // Two ticks with the front off the road stop the car: the first only counts and the car
    // rolls on, the second stops it dead and starts the spin.
    {
        auto race = StartedRace(TRACK_1, EASY);
        RaceCar& user = race->User();
        Place(user, 46, 100, 6);
        user.SetRaceCarSpeed(3);
        race->Ticks(2);
        QCOMPARE(user.x(), 52.0);
        QCOMPARE(user.crashCount, 0);
        race->Tick();
        QCOMPARE(user.crashCount, 1);
        QCOMPARE(user.speed, 3);
        QCOMPARE(user.x(), 55.0);
        race->Tick();
        QCOMPARE(user.crashCount, 2);
        QCOMPARE(user.speed, 0);
        QCOMPARE(user.xVelocity(), 0.0);
        QCOMPARE(user.x(), 55.0);
        QCOMPARE(user.frame(), 0);
    }
    // On Easy and Medium the cars pass through each other.
    for (int level : {EASY, MEDIUM}) {
        auto race = StartedRace(TRACK_1, level);
        race->Ticks(10);
        RaceCar& user = race->User();
        user.SetRaceCarSpeed(2);
        const QPointF placed = race->Computer().pos() - QPointF(10, 10);
        user.setPos(placed);
        race->Tick();
        QCOMPARE(user.zValue(), race->Computer().zValue());
        race->Ticks(4);
        QCOMPARE(user.crashCount, 0);
        QCOMPARE(user.speed, 2);
        QCOMPARE(user.pos(), placed - QPointF(0, 10));
    }
}

void TestRaceScreen::carLineShowsTheCarUnderABridge() {
    // Track 4: the bridge crosses the ground corner at column 0, row 1.
    auto race = StartedRace(TRACK_4, EASY);
    RaceCar& user = race->User();
    const CarLine& line = race->screen.RaceCarLine();
    QVERIFY(!line.isVisible());

    struct UnderBridge {
        int heading;
        QLineF expected;
    };
    // The car's 20x20 frame at (45, 110): a line from edge to edge along its heading.
    const UnderBridge cases[] = {{6, QLineF(45, 120, 64, 119)},
                                 {0, QLineF(55, 110, 54, 129)},
                                 {9, QLineF(45, 110, 64, 129)},
                                 {3, QLineF(64, 110, 45, 129)}};
    for (const UnderBridge& underBridge : cases) {
        Place(user, 45, 110, underBridge.heading);
        user.setZValue(RaceCar::LOWER_LEVEL);
        race->Tick();
        QCOMPARE(user.zValue(), RaceCar::LOWER_LEVEL);
        QVERIFY(line.isVisible());
        QCOMPARE(line.line(), underBridge.expected);
        QVERIFY(line.zValue() > race->screen.GridSections().back()->zValue());
    }
    // On the bridge itself, and beside it, the car is seen: no line.
    Place(user, 45, 110, 6);
    user.setZValue(RaceCar::UPPER_LEVEL);
    race->Tick();
    QVERIFY(!line.isVisible());
    Place(user, 95, 110, 6);
    user.setZValue(RaceCar::LOWER_LEVEL);
    race->Tick();
    QVERIFY(!line.isVisible());
}

void TestRaceScreen::sectionLookUpPrefersTheCarsLevel() {
    Race race;
    race.screen.Initialize(TRACK_4, EASY, 5);
    const VantorScreen& screen = race.screen;
    // Under the bridge start piece: the bridge on the upper level, the ground corner below.
    const GridSection* upper = screen.GetCurrentGridSection(37.9, 109.9, 3.0);
    QVERIFY(upper != nullptr);
    QCOMPARE(upper->LevelValue(), 2);
    QVERIFY(upper->IsStartTrack());
    const GridSection* lower = screen.GetCurrentGridSection(37.9, 109.9, 1.0);
    QVERIFY(lower != nullptr);
    QCOMPARE(lower->LevelValue(), 0);
    QCOMPARE(lower->PieceKind(), pieceUpperLeft);
    // Where there is no bridge a car on the upper level finds the ground.
    const GridSection* ground = screen.GetCurrentGridSection(112, 109, 3.0);
    QVERIFY(ground != nullptr);
    QCOMPARE(ground->LevelValue(), 0);
    QCOMPARE(ground->GetGridMinXValue(), 75);
    // Cell edges are inclusive; off the canvas there is nothing.
    QCOMPARE(screen.GetCurrentGridSection(224.9, 291.9, 1.0)->GetGridMinXValue(), 150);
    QVERIFY(screen.GetCurrentGridSection(225, 100, 1.0) == nullptr);
    QVERIFY(screen.GetCurrentGridSection(100, 292, 3.0) == nullptr);
    QVERIFY(screen.GetCurrentGridSection(-1.5, 100, 1.0) == nullptr);
}

void TestRaceScreen::frontPointLeadsTheCarsHeading() {
    Race race;
    race.screen.Initialize(TRACK_1, EASY, 5);
    RaceCar& user = race.User();
    QPointF previous;
    for (int heading = 0; heading < 24; ++heading) {
        user.SetRaceCarDirection(heading);
        double x = 0;
        double y = 0;
        race.screen.GetRaceCarFront(&user, &x, &y);
        // On the frame's border...
        QVERIFY(x == 0 || std::abs(x - 20) < 1e-9 || y == 0 || std::abs(y - 20) < 1e-9);
        // ...in the direction the car points, seen from the frame's centre...
        const double degrees = std::atan2(x - 10, 10 - y) * 180 / M_PI;
        const double offBy = std::remainder(degrees - 15.0 * heading, 360.0);
        QVERIFY2(std::abs(offBy) < 5.0, qPrintable(QString("heading %1").arg(heading)));
        // ...a sixth of a side from the last one, walking clockwise.
        if (heading > 0) {
            const QPointF step = QPointF(x, y) - previous;
            QVERIFY(std::abs(std::abs(step.x()) + std::abs(step.y()) - 20.0 / 6) < 1e-9);
        }
        previous = QPointF(x, y);
    }
    // A picture outside the 24 leaves the point where it was.
    user.pictureIndex = 24;
    double x = 7;
    double y = 9;
    race.screen.GetRaceCarFront(&user, &x, &y);
    QCOMPARE(QPointF(x, y), QPointF(7, 9));
}

void TestRaceScreen::clockCountsRaceTicks() {
    // A race far longer than the computer's car needs, so that the clock runs on and on.
    auto race = StartedRace(TRACK_1, EASY, 1000000);
    const QGraphicsSimpleTextItem& clock = race->screen.Text(Text::Clock);
    QCOMPARE(clock.text(), QString("00:00:030"));
    int ticks = 1;
    const auto runTo = [&](int total) {
        while (ticks < total) {
            race->Tick();
            ++ticks;
            QCOMPARE(clock.text().right(3).toInt(), 30 * ticks % 1000);
        }
    };
    runTo(34);
    QCOMPARE(clock.text(), QString("00:01:020"));
    QVERIFY(IsCentred(clock));
    runTo(2000);
    QCOMPARE(clock.text(), QString("01:00:000"));
    QVERIFY(IsCentred(clock));
    QCOMPARE(race->screen.ElapsedMs(), 60000L);
    // Past 99 minutes the minutes take the digits they need.
    runTo(200000);
    QCOMPARE(clock.text(), QString("100:00:000"));
    QVERIFY(IsCentred(clock));
    QCOMPARE(race->screen.ElapsedMs(), 6000000L);
    QVERIFY(SceneRectOf(race->screen.Text(Text::UserLaps)).right() < SceneRectOf(clock).left());
}

QTEST_MAIN(TestRaceScreen)
#include "tst_race_screen.moc"
