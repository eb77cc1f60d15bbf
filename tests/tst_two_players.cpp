#include <QtTest>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "platform/Gamepads.h"
#include "race/RaceRun.h"
#include "race/ReplayCheck.h"
#include "race/ReplayFile.h"
#include "records/UserSettings.h"
#include "tests/support/Autopilot.h"
#include "tests/support/CarTrace.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"
#include "tests/support/VirtualPad.h"

constexpr int TRACK_1 = 0;
// Far beyond any race here: a race that never ends fails rather than hangs.
constexpr int MOST_TIMEOUTS = 20000;
constexpr int EASY = 0, MEDIUM = 1, HARD = 2;
const char* const LEVELS[] = {"Easy", "Medium", "Hard"};

struct Traces {
    CarTrace blue, yellow;
};
// A race on a canvas of its own: at the keys, or a replay's.
struct OwnRace {
    Canvas canvas;
    RaceRun run{canvas};
    const Race& race = run.MainRace();

    explicit OwnRace(const RaceSettings& settings) { run.Start(settings); }
    explicit OwnRace(const Replay& replay) { run.Watch(replay); }
    // Run to its end, what each seat's car did timeout by timeout; before every timeout `before`
    // may press keys.
    Traces Drive(const std::function<void(const Race&)>& before) {
        Traces traces;
        while (race.Phase() != Race::phaseIdle && race.Timeouts() < MOST_TIMEOUTS) {
            before(race);
            run.TimeEvent();
            traces.blue << CarSeen(race.SeatCar(blueSeat));
            traces.yellow << CarSeen(race.SeatCar(yellowSeat));
        }
        return traces;
    }
};

class TwoPlayersTest : public QObject {
    Q_OBJECT

    const TemporaryConfigHome home;
    const PreviewDirectory pictures;

  private slots:
    // The yellow car under the second player's keys is driven by the player's rules: from the
    // blue car's start place it drives exactly as the blue car did alone under the same keys, tick
    // for tick round a whole race; from its own start place, what the same keys do to both cars
    // together is the same; and the two collide by the rules of a crash.
    void secondPlayerDrivesByThePlayersRules() {
        OwnRace blueRace(RaceSettings{TRACK_1, EASY, 1, RaceMode::timeTrial});
        Autopilot blue(Autopilot::RacingLine(TRACK_1), blueSeat, 4,
                       [&](const RaceInput& input) { blueRace.run.KeyEvent(input); });
        const CarTrace blueTrace = blueRace.Drive([&](const Race& race) { blue.Drive(race); }).blue;
        QCOMPARE(blueRace.race.Outcome(), RaceOutcome::blueWon);

        OwnRace yellowRace(RaceSettings{TRACK_1, EASY, 1, RaceMode::twoPlayers});
        yellowRace.race.SeatCar(yellowSeat)->setPos(yellowRace.race.SeatCar(blueSeat)->pos());
        const std::vector<TimedInput>& blueKeys = blueRace.race.Inputs();
        std::size_t next = 0;
        const auto blueKeysForYellow = [&](const Race& race) {
            for (; next < blueKeys.size() && blueKeys[next].tick == race.Timeouts(); ++next)
                yellowRace.run.KeyEvent(
                    RaceInput{yellowSeat, blueKeys[next].input.key, blueKeys[next].input.pressed});
        };
        const CarTrace yellowTrace = yellowRace.Drive(blueKeysForYellow).yellow;
        QCOMPARE(yellowRace.race.Outcome(), RaceOutcome::yellowWon);
        QCOMPARE(yellowRace.race.ElapsedMs(), blueRace.race.ElapsedMs());
        QCOMPARE(Difference(yellowTrace, blueTrace), QString());

        // Both cars, side by side, the same keys: up the start straight and into a turn.
        OwnRace both(RaceSettings{TRACK_1, EASY, 1, RaceMode::twoPlayers});
        const Race& race = both.race;
        const QPointF starts[] = {race.SeatCar(blueSeat)->pos(), race.SeatCar(yellowSeat)->pos()};
        QCOMPARE(starts[1] - starts[0], QPointF(-20, 0));
        for (int timeout = 1; timeout <= 60; ++timeout) {
            for (const RaceSeat seat : {blueSeat, yellowSeat}) {
                both.run.KeyEvent(RaceInput{seat, RaceKey::Up, timeout < 30});
                both.run.KeyEvent(RaceInput{seat, RaceKey::Right, timeout >= 30});
            }
            both.run.TimeEvent();
            const RaceCar& blueCar = *race.SeatCar(blueSeat);
            const RaceCar& yellowCar = *race.SeatCar(yellowSeat);
            const QByteArray name = "timeout " + QByteArray::number(timeout);
            COMPARE_CASE(yellowCar.pos() - starts[1], blueCar.pos() - starts[0], name);
            COMPARE_CASE(yellowCar.frame(), blueCar.frame(), name);
            COMPARE_CASE(yellowCar.speed, blueCar.speed, name);
        }
        QVERIFY(race.SeatCar(blueSeat)->direction > 0);

        // Put one on the other after "GO!": on Hard both cars stop and spin by the same rule, each
        // its own spin; on Easy and Medium they pass through each other.
        for (const int level : {EASY, MEDIUM, HARD}) {
            OwnRace own(RaceSettings{TRACK_1, level, 5, RaceMode::twoPlayers});
            for (int timeout = 0; timeout < 4; ++timeout) own.run.TimeEvent();
            RaceCar& blueCar = *own.race.SeatCar(blueSeat);
            RaceCar& yellowCar = *own.race.SeatCar(yellowSeat);
            yellowCar.setPos(blueCar.pos() + QPointF(4, 2));
            QVector<int> blueFrames, yellowFrames, expected;
            for (int tick = 0; tick < 26; ++tick) {
                own.run.TimeEvent();
                blueFrames << blueCar.frame();
                yellowFrames << yellowCar.frame();
                // A contact each tick; above one, the spin's frames 0 to 22, then its own again.
                expected << (level != HARD || tick == 0 || tick == 25 ? 0 : std::min(tick - 1, 22));
            }
            const QByteArray name = LEVELS[level];
            COMPARE_CASE(blueFrames, expected, name);
            COMPARE_CASE(yellowFrames, expected, name);
            COMPARE_CASE(blueCar.crashCount, yellowCar.crashCount, name);
        }
    }

    // Played on Hard and kept, a race of two players runs again exactly, both cars. The second
    // player sets off late and catches the first up, contacts and all.
    void twoPlayerReplaysRunAgainExactly() {
        OwnRace own(RaceSettings{TRACK_1, HARD, 1, RaceMode::twoPlayers});
        const auto send = [&](const RaceInput& input) { own.run.KeyEvent(input); };
        Autopilot first(Autopilot::RacingLine(TRACK_1), blueSeat, 2, send);
        Autopilot second(Autopilot::RacingLine(TRACK_1), yellowSeat, 5, send);
        int contacts = 0;
        const Traces played = own.Drive([&](const Race& race) {
            first.Drive(race);
            if (race.Timeouts() > 80)
                second.Drive(race);
            const RaceCar* car = race.SeatCar(yellowSeat);
            contacts += car != nullptr && car->collidingSprites().contains(race.SeatCar(blueSeat));
        });
        QVERIFY(contacts > 0);
        QCOMPARE(own.race.Phase(), Race::phaseIdle);
        const Replay replay = own.run.Recorded();
        const ReplayFile::Reading reading = ReplayFile::Read(ReplayFile::Write(replay));
        QVERIFY2(reading.replay, qPrintable(reading.error));
        QVERIFY(*reading.replay == replay);
        QCOMPARE(CheckReplay(replay).difference, QString());

        const Traces watchedAgain = OwnRace(*reading.replay).Drive([](const Race&) {});
        QCOMPARE(Difference(watchedAgain.blue, played.blue), QString());
        QCOMPARE(Difference(watchedAgain.yellow, played.yellow), QString());
    }

    // Through the game: a win of either player and a race given up, as the end screen and the
    // records tell them. Then the pads: with one, it drives the blue car and W A S D the yellow
    // one; with two, the second pad drives the yellow car. Outside a race of two players every pad
    // is the arrows again.
    void twoPlayersThroughTheGame() {
        Vantor game(pictures.Path());
        game.Start();
        const GameScreens screens(game);
        game.RaceLength(1);
        game.RaceChoice(StartScreen::raceTwoPlayers);
        const auto ticks = [&](int count) {
            for (int tick = 0; tick < count; ++tick)
                QMetaObject::invokeMethod(screens.race, "TimeEvent");
        };
        const std::tuple<const char*, RaceSeat, bool, QColor> cases[] = {
            {"Player 1 Wins", blueSeat, false, QColor(0, 255, 255)},
            {"Player 2 Wins", yellowSeat, false, QColor(255, 255, 0)},
            {"Given Up: No Winner", blueSeat, true, QColor(Qt::black)}};
        for (const auto& [note, driver, giveUp, colour] : cases) {
            const double recordBefore = vantorConfig->FastestRaceTime(TRACK_1, 1);
            QSignalSpy over(screens.race, &VantorScreen::RaceOver);
            game.RaceStart();
            Autopilot player(Autopilot::RacingLine(TRACK_1), driver, 4, [&](const RaceInput& in) {
                QTest::keyEvent(in.pressed ? QTest::Press : QTest::Release, &game,
                                Qt::Key(Autopilot::KeyCode(in)));
            });
            for (int tick = 0; tick < 3000 && over.isEmpty(); ++tick) {
                player.Drive(screens.race->CurrentRace());
                if (giveUp && tick == 100)
                    QTest::keyClick(&game, Qt::Key_Escape);
                ticks(1);
            }
            const double seconds = over.value(0).value(1).value<long>() / 1000.0;
            const EndScreen& end = *screens.end;
            COMPARE_CASE(end.isVisible(), true, note);
            COMPARE_CASE(end.NoteText()->text(), QString(note), note);
            COMPARE_CASE(end.NoteText()->brush().color(), colour, note);
            const auto image = giveUp ? VantorImages::RACE_COMPLETED : VantorImages::RACE_WON;
            COMPARE_CASE(end.ResultImage()->Image(), vantorImages->GetImage(image), note);
            // Either winner's time stands as the record when faster; a race given up never does.
            const double expected = giveUp ? recordBefore : std::min(recordBefore, seconds);
            COMPARE_CASE(vantorConfig->FastestRaceTime(TRACK_1, 1), expected, note);
            game.ReturnToStart();
        }

        QVERIFY(QTest::qWaitFor([&] { return game.Pads() != nullptr; }));
        auto* pads = qobject_cast<Gamepads*>(game.Pads());
        pads->SetActiveCheck([] { return true; });
        using Speeds = QPair<int, int>;  // the blue car's and the yellow car's
        // Up held from "GO!" on for 13 timeouts by `hold`, let go of once the race is given up.
        const auto race = [&](const std::function<void(bool)>& hold) {
            game.RaceStart();
            ticks(4);
            hold(true);
            pads->Poll();
            QCoreApplication::sendPostedEvents(&game);
            ticks(13);
            const Race& on = screens.race->CurrentRace();
            const Speeds result(on.SeatCar(blueSeat)->speed, on.SeatCar(yellowSeat)->speed);
            QTest::keyClick(&game, Qt::Key_Escape);
            ticks(3);
            game.ReturnToStart();
            hold(false);
            pads->Poll();
            return result;
        };
        const auto up = [](VirtualPad& pad) {
            return [&pad](bool held) { pad.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, held); };
        };
        VirtualPad first;
        QCOMPARE(race([&](bool held) {
                     up(first)(held);
                     QTest::keyEvent(held ? QTest::Press : QTest::Release, &game, Qt::Key_W);
                 }),
                 Speeds(3, 3));
        VirtualPad second;
        QCOMPARE(race(up(second)), Speeds(0, 3));
        QCOMPARE(race(up(first)), Speeds(3, 0));
        // Back on the menu the second pad moves it as the arrows do.
        QSignalSpy moved(screens.start, &StartScreen::MenuMoved);
        up(second)(true);
        pads->Poll();
        QCoreApplication::sendPostedEvents(&game);
        QCOMPARE(moved.count(), 1);
    }
};

QTEST_MAIN(TwoPlayersTest)
#include "tst_two_players.moc"
