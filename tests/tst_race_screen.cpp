#include <QtTest>
#include <algorithm>
#include <tuple>

#include "tests/support/CompareCase.h"

#include "race/ReplayCheck.h"
#include "tests/support/RaceFixture.h"

constexpr int TRACK_1 = 0, TRACK_4 = 3;
constexpr int EASY = 0, MEDIUM = 1, HARD = 2;

struct ScreenRace : RaceFixture {
    ScreenRace() = default;
    // Past the countdown and the first race tick, after which keys are taken.
    ScreenRace(int track, int level, int laps = 5) {
        screen.Initialize(track, level, laps);
        Ticks(4);
    }
    const QGraphicsSimpleTextItem& Item(Text text) const { return screen.Text(text); }
    // What the player sees of a text: nothing when it is hidden.
    QString Shown(Text text) const { return Item(text).isVisible() ? Item(text).text() : ""; }
};

// Where a text stands centred on the canvas.
static int CentredX(const QGraphicsSimpleTextItem& text) {
    return Canvas::WIDTH / 2 - text.boundingRect().toAlignedRect().width() / 2;
}

class TestRaceScreen : public QObject {
    Q_OBJECT

  private slots:
    void playerStartsBesideTheComputer() {
        // At the end of the start piece, the computer's car on the inside: a vertical piece at
        // column 0, row 1 (under a bridge on track 4), a horizontal one at column 1, row 3. That
        // the car stands is checked with the countdown.
        const std::tuple<int, QPointF, int> starts[] = {
            {TRACK_1, {40, 135}, 0}, {TRACK_4, {40, 135}, 0}, {13, {139, 259}, 18}};
        for (const auto& [track, start, heading] : starts) {
            ScreenRace race;
            race.screen.Initialize(track, EASY, 5);
            const RaceCar& user = race.User();
            const QByteArray name = "track " + QByteArray::number(track + 1);
            COMPARE_CASE(user.pos(), start, name);
            COMPARE_CASE(user.direction, heading, name);
            COMPARE_CASE(user.frame(), heading, name);
            COMPARE_CASE(user.zValue(), RaceCar::UPPER_LEVEL, name);
            QVERIFY2(user.isVisible(), name.constData());
        }
    }

    void countdownClockAndGivingUp() {
        ScreenRace race;
        race.Ticks();
        QCOMPARE(race.screen.Phase(), Race::phaseIdle);
        QCOMPARE(race.over.size(), 0);
        // Twice on one screen: the first race given up while the computer's car gains speed, the
        // second under "GO!".
        for (const int last : {28, 8}) {
            race.over.clear();
            race.screen.Initialize(TRACK_1, MEDIUM, 5);
            QCOMPARE(race.screen.RaceGivenUp(), false);
            QCOMPARE(race.Shown(Text::Clock), QString("Laps Completed"));
            for (const Text text : {Text::Clock, Text::Countdown})
                QCOMPARE(int(race.Item(text).x()), CentredX(race.Item(text)));
            // The countdown stands above the cars, the car line above all.
            QVERIFY(race.Item(Text::Countdown).zValue() > RaceCar::UPPER_LEVEL);
            QVERIFY(race.screen.RaceCarLine().zValue() > race.Item(Text::Countdown).zValue());
            // "3", "2" and "1" a second each, then 30 ms race ticks from "GO!" on, which stays up
            // for eleven of them; keys come with the first, and all pressed before are lost.
            QStringList countdown;
            QVector<int> intervals;
            while (race.screen.ElapsedMs() < 30 * last) {
                countdown << race.Shown(Text::Countdown);
                intervals << race.Interval();
                for (int key : {Qt::Key_Up, Qt::Key_Right, Qt::Key_R, Qt::Key_Escape})
                    if (!race.screen.KeysEnabled())
                        race.Press(key);
                race.Ticks();
            }
            QCOMPARE(countdown, QStringList({"3", "2", "1"}) +
                                    QStringList(std::min(last, 12), "GO!") +
                                    QStringList(std::max(0, last - 12), ""));
            QCOMPARE(intervals, QVector<int>({1000, 1000, 1000}) + QVector<int>(last, 30));
            QCOMPARE(race.Shown(Text::Clock), QString::asprintf("00:00:%03d", 30 * last));
            QCOMPARE(race.User().speed, 0);
            QCOMPARE(race.User().direction, 0);
            QCOMPARE(race.canvas.items().size(), 22);
            // Given up: one more tick, the held frame, then the tear-down, after which only the
            // hidden texts, the two car lines and the ghost's picture are left on the canvas.
            race.Press(Qt::Key_Escape);
            QCOMPARE(race.Trace(2, [&] { return race.over.isEmpty() ? race.Interval() : 0; }),
                     QVector<int>({1500, 0}));
            QCOMPARE(race.over.size(), 1);
            QCOMPARE(race.UserWon(), false);
            QCOMPARE(race.ReportedMs(), 30L * last);
            QCOMPARE(race.canvas.items().size(), 8);
            for (const Text text :
                 {Text::UserLaps, Text::ComputerLaps, Text::Clock, Text::Countdown})
                QVERIFY(!race.Item(text).isVisible());
            QVERIFY(race.screen.RaceGivenUp());
            QVERIFY(!race.screen.findChild<QTimer*>()->isActive());
        }
        // A race far longer than the computer's car can drive runs the clock on; past 99 minutes
        // the minutes take the digits they need.
        race.screen.Initialize(TRACK_1, EASY, 1000000);
        race.Ticks(3);
        for (const auto& [ticks, shown] :
             {std::pair{2000, "01:00:000"}, std::pair{200000, "100:00:000"}}) {
            race.Ticks(ticks - int(race.screen.ElapsedMs() / 30));
            QCOMPARE(race.screen.ElapsedMs(), 30L * ticks);
            QCOMPARE(race.Item(Text::Clock).text(), QString(shown));
            QCOMPARE(int(race.Item(Text::Clock).x()), CentredX(race.Item(Text::Clock)));
        }
    }

    // P (or Pause, a pad's Start) stops the race's ticks and shows the word; nothing else changes,
    // so the race goes on as if never paused. Leaving the window pauses it too and lets go of the
    // held keys, which the race keeps like any key: its replay is the race it was. The hold after
    // the finish goes on.
    void pausedRacesResumeAsTheSameRace() {
        // Up held from the first race tick, Right from the 60th: the car circles, now and then
        // off the road.
        const auto play = [](std::function<void(ScreenRace&)> atTimeout100) {
            ScreenRace race;
            race.screen.show();
            race.screen.Initialize(TRACK_1, EASY, 25);
            QVector<QPointF> positions;
            while (race.screen.CurrentRace().Timeouts() < 400) {
                const int timeouts = race.screen.CurrentRace().Timeouts();
                if (timeouts == 4 || timeouts == 60)
                    race.Press(timeouts == 4 ? Qt::Key_Up : Qt::Key_Right);
                if (timeouts == 100)
                    atTimeout100(race);
                race.Ticks();
                positions << race.User().pos();
            }
            race.Press(Qt::Key_Escape);
            race.Ticks(2);
            return std::pair{positions, race.screen.Recorded()};
        };
        const auto [unpaused, unpausedReplay] = play([](ScreenRace&) {});
        const auto [paused, pausedReplay] = play([](ScreenRace& race) {
            QTimer& timer = *race.screen.findChild<QTimer*>();
            race.Press(Qt::Key_P);
            QVERIFY(race.screen.Paused());
            QVERIFY(!timer.isActive());
            QVERIFY(race.Item(Text::Paused).isVisible());
            race.Press(Qt::Key_Pause);  // a pad's Start, as the Pause key
            QVERIFY(!race.Item(Text::Paused).isVisible());
            QCOMPARE(timer.interval(), 30);
            QVERIFY(timer.isActive());
        });
        QCOMPARE(paused, unpaused);
        QVERIFY(pausedReplay == unpausedReplay);

        const auto [left, leftReplay] = play([](ScreenRace& race) {
            emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
            QVERIFY(race.screen.Paused());
            race.Press(Qt::Key_P);
        });
        QVERIFY(left != unpaused);
        QCOMPARE(CheckReplay(leftReplay).difference, QString());

        // Decided, the race is no longer paused by anything: the result comes.
        ScreenRace held(TRACK_1, EASY);
        held.Press(Qt::Key_Escape);
        held.Ticks();
        held.Press(Qt::Key_P);
        emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
        QVERIFY(!held.screen.Paused());
        QVERIFY(held.screen.findChild<QTimer*>()->isActive());
    }

    void keys() {
        // Held in place, so that only the keys act: up beats down and gains a step at once, then
        // one every sixth tick up to 5. Left beats right; a held arrow turns a heading at once,
        // round from straight up, then again every 4th tick up to speed 2, every 3rd at 3, every
        // 2nd at 4 and 5. Down takes the steps back at the same pace once the running delay has
        // passed.
        ScreenRace race(TRACK_1, EASY);
        race.User().setAnimated(false);
        for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left}) race.Press(key);
        QVector<int> headings;
        const auto speeds = race.Trace(31, [&] {
            headings << race.User().direction;
            return race.User().speed;
        });
        QCOMPARE(speeds, Sequence(31, [](int t) { return std::min(5, 1 + t / 6); }));
        QCOMPARE(headings,
                 QVector<int>({23, 23, 23, 23, 22, 22, 22, 22, 21, 21, 21, 21, 20, 20, 20, 19,
                               19, 19, 18, 18, 17, 17, 16, 16, 15, 15, 14, 14, 13, 13, 12}));
        QCOMPARE(race.User().frame(), 12);
        race.Release(Qt::Key_Up);
        QCOMPARE(race.Trace(32, [&] { return race.User().speed; }),
                 Sequence(32, [](int t) { return std::max(0, 5 - (t + 1) / 6); }));

        // R puts the computer's car back and lets go of all the player's keys, keeping the laps;
        // the car stands while it blinks, and its return is no lap.
        race.Press(Qt::Key_Up);
        race.Ticks(25);
        race.Computer().lapsCompleted = 2;
        race.Press(Qt::Key_R);
        QVERIFY(race.Computer().restarting);
        QCOMPARE(race.Computer().speed, 0);
        QCOMPARE(race.Computer().direction, 0);
        const int userSpeed = race.User().speed;
        race.Ticks(12);
        QCOMPARE(race.User().speed, userSpeed);
        QCOMPARE(race.Computer().pos(), QPointF(30, 145));
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
        QVERIFY(blocked);
        QVERIFY(!race.User().restarting);
        QCOMPARE(race.User().pos(), QPointF(40, 135));
        race.Ticks(10);
        QVERIFY(race.screen.KeysEnabled());
        QCOMPARE(race.User().speed, 0);
        QVERIFY(!race.Computer().restarting);
        QVERIFY(race.Computer().y() < 145);
        QCOMPARE(race.Computer().lapsCompleted, 2);
    }

    void crashesStopAndSpinOnlyOnHard() {
        // On Hard the player's car put onto the computer's car stops at once, then spins through
        // frames 0 to 22, one a tick, then shows its own frame again. The second race follows one
        // given up mid-spin, and its spin still starts at frame 0. On Easy and Medium the cars pass
        // through each other.
        ScreenRace race;
        for (int level : {HARD, HARD, EASY, MEDIUM}) {
            race.screen.Initialize(TRACK_1, level, 5);
            race.Ticks(3 + 10);
            RaceCar& user = race.User();
            user.SetRaceCarSpeed(2);
            const QPointF placed = race.Computer().pos() - QPointF(10, 10);
            user.setPos(placed);
            const int ticks = level == HARD ? 26 : 5;
            const auto spin = [](int t) { return t == 0 || t == 25 ? 0 : std::min(t - 1, 22); };
            const auto frames =
                race.Trace(ticks, [&] { return user.speed == 0 ? user.frame() : -1; });
            const QByteArray name = LEVEL_NAMES[level];
            COMPARE_CASE(
                frames, Sequence(ticks, [&](int t) { return level == HARD ? spin(t) : -1; }), name);
            COMPARE_CASE(user.pos(), placed - QPointF(0, level == HARD ? 0 : 10), name);
            COMPARE_CASE(user.crashCount, 0, name);
            user.setPos(race.Computer().pos() - QPointF(10, 10));
            race.Ticks(8);
            race.Press(Qt::Key_Escape);
            race.Ticks();
        }
    }

    void carLineUnderBridgesAndCarFront() {
        // Track 4: the bridge start piece crosses the ground corner at column 0, row 1.
        ScreenRace race(TRACK_4, EASY);
        RaceCar& user = race.User();
        const CarLine& line = race.screen.RaceCarLine();
        QCOMPARE(line.pen().color(), QColor(Qt::cyan));
        // Under the bridge the car's 20x20 frame is marked edge to edge along its heading; on the
        // bridge, or beside it, the car is seen.
        // heading, depth, x; the line drawn
        // clang-format off
        const std::tuple<int, double, double, QLineF> cases[] = {
            {6, 1, 45, {45, 120, 64, 119}}, {9, 1, 45, {45, 110, 64, 129}},
            {3, 1, 45, {64, 110, 45, 129}}, {6, 3, 45, {}}, {6, 1, 95, {}}};
        // clang-format on
        for (const auto& [heading, z, x, expected] : cases) {
            user.setPos(x, 110);
            user.SetRaceCarDirection(heading);
            user.setZValue(z);
            race.Ticks();
            COMPARE_CASE(line.isVisible() ? line.line() : QLineF(), expected,
                         QString::asprintf("heading %d at %g, %g", heading, x, z).toLatin1());
        }
        // The front, where a car is looked up, walks clockwise round the 20x20 frame from the
        // middle of the top edge, a sixth of a side a picture, so that pictures 3, 9, 15 and 21
        // fall on the corners.
        const QPointF corners[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}, {0, 0}};
        for (int picture = 0; picture < RaceCar::HEADING_COUNT; ++picture) {
            user.pictureIndex = picture;
            double x = 5, y = 7;
            race.screen.GetRaceCarFront(&user, &x, &y);
            const int side = (picture + 3) % 24 / 6, step = (picture + 3) % 6;
            const QPointF along = (corners[side + 1] - corners[side]) * step / 6.0;
            QCOMPARE(QPointF(x, y), QPointF(5, 7) + corners[side] + along);
        }
    }
};

QTEST_MAIN(TestRaceScreen)
#include "tst_race_screen.moc"
