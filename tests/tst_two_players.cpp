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
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/VirtualPad.h"

constexpr int TRACK_1 = 0;
// Far beyond any race here: a race that never ends fails rather than hangs.
constexpr int MOST_TIMEOUTS = 20000;
constexpr int EASY = 0, MEDIUM = 1, HARD = 2;
const char* const LEVELS[] = {"Easy", "Medium", "Hard"};

// A race run to its end, what each seat's car did timeout by timeout; before every timeout
// `before` may press keys.
struct Traces {
    CarTrace blue, yellow;
};
static Traces Drive(RaceRun& run, const std::function<void(const Race&)>& before) {
    const Race& race = run.MainRace();
    Traces traces;
    while (race.Phase() != Race::phaseIdle && race.Timeouts() < MOST_TIMEOUTS) {
        before(race);
        run.TimeEvent();
        traces.blue << CarSeen(race.SeatCar(blueSeat));
        traces.yellow << CarSeen(race.SeatCar(yellowSeat));
    }
    return traces;
}

class TwoPlayersTest : public QObject {
    Q_OBJECT

    const TemporaryConfigHome home;
    const PreviewDirectory pictures;

  private slots:
    // The yellow car under the second player's keys is driven by the player's rules: from the
    // blue car's start place it drives exactly as the blue car did alone under the same keys, tick
    // for tick round a whole race; from its own start place, what the same keys do to both cars
    // together is the same.
    void secondPlayerDrivesByThePlayersRules() {
        Canvas canvas;
        RaceRun blueRace(canvas);
        blueRace.Start(RaceSettings{TRACK_1, EASY, 1, RaceMode::timeTrial});
        Autopilot blue(Autopilot::RacingLine(TRACK_1), blueSeat, 4,
                       [&](const RaceInput& input) { blueRace.KeyEvent(input); });
        const CarTrace blueTrace =
            Drive(blueRace, [&](const Race& race) { blue.Drive(race); }).blue;
        QCOMPARE(blueRace.MainRace().Outcome(), RaceOutcome::blueWon);

        Canvas yellowCanvas;
        RaceRun yellowRace(yellowCanvas);
        yellowRace.Start(RaceSettings{TRACK_1, EASY, 1, RaceMode::twoPlayers});
        const RaceCar& startingBlue = *yellowRace.MainRace().SeatCar(blueSeat);
        RaceCar& yellowCar = *yellowRace.MainRace().SeatCar(yellowSeat);
        yellowCar.setPos(startingBlue.pos());
        const std::vector<TimedInput>& blueKeys = blueRace.MainRace().Inputs();
        std::size_t next = 0;
        const CarTrace yellowTrace =
            Drive(yellowRace, [&](const Race& race) {
                for (; next < blueKeys.size() && blueKeys[next].tick == race.Timeouts(); ++next)
                    yellowRace.KeyEvent(RaceInput{yellowSeat, blueKeys[next].input.key,
                                                  blueKeys[next].input.pressed});
            }).yellow;
        QCOMPARE(yellowRace.MainRace().Outcome(), RaceOutcome::yellowWon);
        QCOMPARE(yellowRace.MainRace().ElapsedMs(), blueRace.MainRace().ElapsedMs());
        QCOMPARE(Difference(yellowTrace, blueTrace), QString());

        // Both cars, side by side, the same keys: up the start straight and into a turn.
        Canvas sideBySide;
        RaceRun both(sideBySide);
        both.Start(RaceSettings{TRACK_1, EASY, 1, RaceMode::twoPlayers});
        const Race& race = both.MainRace();
        const QPointF starts[] = {race.SeatCar(blueSeat)->pos(), race.SeatCar(yellowSeat)->pos()};
        QCOMPARE(starts[1] - starts[0], QPointF(-20, 0));
        for (int timeout = 1; timeout <= 60; ++timeout) {
            for (const RaceSeat seat : {blueSeat, yellowSeat}) {
                both.KeyEvent(RaceInput{seat, RaceKey::Up, timeout < 30});
                both.KeyEvent(RaceInput{seat, RaceKey::Right, timeout >= 30});
            }
            both.TimeEvent();
            const RaceCar& blueCar = *race.SeatCar(blueSeat);
            const RaceCar& yellowCar = *race.SeatCar(yellowSeat);
            const QByteArray name = "timeout " + QByteArray::number(timeout);
            COMPARE_CASE(yellowCar.pos() - starts[1], blueCar.pos() - starts[0], name);
            COMPARE_CASE(yellowCar.frame(), blueCar.frame(), name);
            COMPARE_CASE(yellowCar.speed, blueCar.speed, name);
        }
        QVERIFY(race.SeatCar(blueSeat)->direction > 0);
    }

    // Put one on the other after "GO!": on Hard both cars stop and spin by the same rule, each
    // its own spin; on Easy and Medium they pass through each other.
    void playersCollideOnlyOnHard() {
        for (const int level : {EASY, MEDIUM, HARD}) {
            Canvas canvas;
            RaceRun run(canvas);
            run.Start(RaceSettings{TRACK_1, level, 5, RaceMode::twoPlayers});
            for (int timeout = 0; timeout < 4; ++timeout) run.TimeEvent();
            const Race& race = run.MainRace();
            RaceCar& blue = *race.SeatCar(blueSeat);
            RaceCar& yellow = *race.SeatCar(yellowSeat);
            yellow.setPos(blue.pos() + QPointF(4, 2));
            QVector<int> blueFrames, yellowFrames, expected;
            for (int tick = 0; tick < 26; ++tick) {
                run.TimeEvent();
                blueFrames << blue.frame();
                yellowFrames << yellow.frame();
                // A contact each tick; above one, the spin's frames 0 to 22, then its own again.
                expected << (level != HARD || tick == 0 || tick == 25 ? 0 : std::min(tick - 1, 22));
            }
            const QByteArray name = LEVELS[level];
            COMPARE_CASE(blueFrames, expected, name);
            COMPARE_CASE(yellowFrames, expected, name);
            COMPARE_CASE(blue.crashCount, yellow.crashCount, name);
        }
    }

    // Played on Hard and kept, a race of two players runs again exactly, both cars. The second
    // player sets off late and catches the first up, contacts and all.
    void twoPlayerReplaysRunAgainExactly() {
        Canvas canvas;
        RaceRun run(canvas);
        run.Start(RaceSettings{TRACK_1, HARD, 1, RaceMode::twoPlayers});
        const auto send = [&](const RaceInput& input) { run.KeyEvent(input); };
        Autopilot first(Autopilot::RacingLine(TRACK_1), blueSeat, 2, send);
        Autopilot second(Autopilot::RacingLine(TRACK_1), yellowSeat, 5, send);
        int contacts = 0;
        const Traces played = Drive(run, [&](const Race& race) {
            first.Drive(race);
            if (race.Timeouts() > 80)
                second.Drive(race);
            const RaceCar* car = race.SeatCar(yellowSeat);
            contacts += car != nullptr && car->collidingSprites().contains(race.SeatCar(blueSeat));
        });
        QVERIFY(contacts > 0);
        QCOMPARE(run.MainRace().Phase(), Race::phaseIdle);
        const Replay replay = run.Recorded();
        QVERIFY(std::any_of(replay.inputs.begin(), replay.inputs.end(),
                            [](const TimedInput& in) { return in.input.player == yellowSeat; }));
        const ReplayFile::Reading reading = ReplayFile::Read(ReplayFile::Write(replay));
        QVERIFY2(reading.replay, qPrintable(reading.error));
        QVERIFY(*reading.replay == replay);
        QCOMPARE(CheckReplay(replay).difference, QString());

        Canvas again;
        RaceRun watched(again);
        watched.Watch(*reading.replay);
        const Traces watchedAgain = Drive(watched, [](const Race&) {});
        QCOMPARE(Difference(watchedAgain.blue, played.blue), QString());
        QCOMPARE(Difference(watchedAgain.yellow, played.yellow), QString());
    }

    // With one pad, it drives the blue car and W A S D the yellow one; with two, the second pad
    // drives the yellow car. Outside a race of two players every pad is the arrows again.
    void secondPadDrivesTheYellowCar() {
        Vantor game(pictures.Path());
        game.Start();
        QVERIFY(QTest::qWaitFor([&] { return game.Pads() != nullptr; }));
        auto* pads = qobject_cast<Gamepads*>(game.Pads());
        pads->SetActiveCheck([] { return true; });
        const GameScreens screens(game);
        game.RaceChoice(StartScreen::raceTwoPlayers);
        using Speeds = QPair<int, int>;  // the blue car's and the yellow car's
        const auto speeds = [&] {
            const Race& race = screens.race->CurrentRace();
            return Speeds(race.SeatCar(blueSeat)->speed, race.SeatCar(yellowSeat)->speed);
        };
        const auto race = [&](const std::function<void()>& hold) {
            game.RaceStart();
            for (int tick = 0; tick < 4; ++tick)
                QMetaObject::invokeMethod(screens.race, "TimeEvent");
            hold();
            pads->Poll();
            QCoreApplication::sendPostedEvents(&game);
            for (int tick = 0; tick < 13; ++tick)
                QMetaObject::invokeMethod(screens.race, "TimeEvent");
            const Speeds result = speeds();
            QTest::keyClick(&game, Qt::Key_Escape);
            for (int tick = 0; tick < 3; ++tick)
                QMetaObject::invokeMethod(screens.race, "TimeEvent");
            game.ReturnToStart();
            return result;
        };
        VirtualPad first;
        QCOMPARE(race([&] {
                     first.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
                     QTest::keyPress(&game, Qt::Key_W);
                 }),
                 Speeds(3, 3));
        first.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        QTest::keyRelease(&game, Qt::Key_W);
        pads->Poll();
        VirtualPad second;
        QCOMPARE(race([&] { second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true); }), Speeds(0, 3));
        second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        pads->Poll();
        QCOMPARE(race([&] { first.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true); }), Speeds(3, 0));
        first.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        pads->Poll();
        // Back on the menu the second pad moves it as the arrows do.
        QSignalSpy moved(screens.start, &StartScreen::MenuMoved);
        second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
        pads->Poll();
        QCoreApplication::sendPostedEvents(&game);
        QCOMPARE(moved.count(), 1);
    }

    // Through the game: a win of either player and a race given up, as the end screen and the
    // records tell them.
    void endScreenAndRecordsOfEitherWinner() {
        Vantor game(pictures.Path());
        game.Start();
        GameScreens screens(game);
        game.RaceLength(1);
        game.RaceChoice(StartScreen::raceTwoPlayers);
        struct Case {
            const char* name;
            RaceSeat driver;
            bool giveUp;
            QString note;
            QColor colour;
        };
        const Case cases[] = {
            {"player 1 wins", blueSeat, false, "Player 1 Wins", QColor(0, 255, 255)},
            {"player 2 wins", yellowSeat, false, "Player 2 Wins", QColor(255, 255, 0)},
            {"given up", blueSeat, true, "Given Up: No Winner", QColor(Qt::black)},
        };
        for (const Case& each : cases) {
            const double recordBefore = vantorConfig->FastestRaceTime(TRACK_1, 1);
            QSignalSpy over(screens.race, &VantorScreen::RaceOver);
            game.RaceStart();
            Autopilot player(
                Autopilot::RacingLine(TRACK_1), each.driver, 4, [&](const RaceInput& in) {
                    in.pressed ? QTest::keyPress(&game, Qt::Key(Autopilot::KeyCode(in)))
                               : QTest::keyRelease(&game, Qt::Key(Autopilot::KeyCode(in)));
                });
            for (int tick = 0; tick < 3000 && over.isEmpty(); ++tick) {
                player.Drive(screens.race->CurrentRace());
                if (each.giveUp && tick == 100)
                    QTest::keyClick(&game, Qt::Key_Escape);
                QMetaObject::invokeMethod(screens.race, "TimeEvent");
            }
            const double seconds = over.value(0).value(1).value<long>() / 1000.0;
            const EndScreen& end = *screens.end;
            COMPARE_CASE(end.isVisible(), true, each.name);
            COMPARE_CASE(end.NoteText()->text(), each.note, each.name);
            COMPARE_CASE(end.NoteText()->brush().color(), each.colour, each.name);
            COMPARE_CASE(end.ResultImage()->Image(),
                         vantorImages->GetImage(each.giveUp ? VantorImages::RACE_COMPLETED
                                                            : VantorImages::RACE_WON),
                         each.name);
            // Either winner's time stands as the record when faster; a race given up never does.
            const double expected = each.giveUp ? recordBefore : std::min(recordBefore, seconds);
            COMPARE_CASE(vantorConfig->FastestRaceTime(TRACK_1, 1), expected, each.name);
            game.ReturnToStart();
        }
    }
};

QTEST_MAIN(TwoPlayersTest)
#include "tst_two_players.moc"
