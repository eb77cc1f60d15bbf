#include <QRandomGenerator>
#include <QtTest>
#include <functional>

#include "platform/Canvas.h"
#include "race/RaceRun.h"
#include "race/ReplayCheck.h"
#include "race/ReplayFile.h"
#include "race/RulesIdentity.h"
#include "tests/support/Autopilot.h"
#include "tests/support/CarTrace.h"
#include "tests/support/CompareCase.h"
#include "tests/support/RaceFixture.h"
#include "tests/support/Sanitizers.h"

constexpr int EASY = 0, HARD = 2;
constexpr int TRACK_1 = 0, TRACK_2 = 1, TRACK_4 = 3, TRACK_15 = 14;
constexpr int NEVER = -1;

// Both cars and the texts after every timeout; and the race's replay, once it is over.
struct RaceTrace {
    CarTrace blue, yellow;
    QStringList texts;
    Replay recorded;

    void Note(const Race& race) {
        blue << CarSeen(race.SeatCar(blueSeat));
        yellow << CarSeen(race.SeatCar(yellowSeat));
        texts << race.LapText(blueSeat) + ' ' + race.LapText(yellowSeat) + ' ' + race.ClockText();
    }
};

// A race run on to its end on a canvas of its own, from its inputs when it is a replay.
static RaceTrace RunToEnd(const std::function<void(RaceRun&)>& begin) {
    Canvas canvas;
    RaceRun run(canvas);
    begin(run);
    RaceTrace trace;
    while (run.MainRace().Phase() != Race::phaseIdle) {
        run.TimeEvent();
        trace.Note(run.MainRace());
    }
    trace.recorded = run.Recorded();
    return trace;
}

// Written and read back; a file that cannot be read gives an empty replay and says why.
static Replay Reread(const Replay& replay) {
    const ReplayFile::Reading reading = ReplayFile::Read(ReplayFile::Write(replay));
    if (!reading.replay)
        qWarning("%s", qPrintable(reading.error));
    return reading.replay.value_or(Replay{});
}

static QByteArray Golden(const char* file) {
    QFile golden(QStringLiteral(REPLAY_DIR "/") + file);
    return golden.open(QIODevice::ReadOnly) ? golden.readAll() : QByteArray();
}

class TestReplays : public QObject {
    Q_OBJECT

  private slots:
    // Played at the keys through the race screen, written, read back and run again: the same
    // result, and both cars and the texts as they were at every timeout. Some rows must show a
    // contact on Hard or the player's car passing under a bridge, or they prove nothing.
    void racesPlayedOnTheScreenReplayExactly() {
        enum Sees { anything, contact, bridge };
        const std::tuple<const char*, int, int, int, int, int, int, RaceOutcome, Sees> rows[] = {
            // name, track, level, laps, player's speed, R pressed at, Escape at, result, must see
            {"win", TRACK_2, EASY, 5, 5, NEVER, NEVER, RaceOutcome::blueWon, anything},
            {"loss", TRACK_1, EASY, 1, 3, NEVER, NEVER, RaceOutcome::yellowWon, anything},
            {"Hard contact", TRACK_1, HARD, 1, 2, NEVER, NEVER, RaceOutcome::yellowWon, contact},
            {"under a bridge", TRACK_4, EASY, 5, 4, NEVER, NEVER, RaceOutcome::blueWon, bridge},
            {"R", TRACK_2, EASY, 5, 5, 150, NEVER, RaceOutcome::blueWon, anything},
            {"Escape", TRACK_2, EASY, 5, 4, NEVER, 300, RaceOutcome::givenUp, anything},
            {"one lap", TRACK_15, EASY, 1, 4, NEVER, NEVER, RaceOutcome::blueWon, anything}};
        for (const auto& [name, track, level, laps, speed, restartAt, giveUpAt, outcome, sees] :
             rows) {
            RaceFixture race;
            Autopilot player(Autopilot::RacingLine(track), blueSeat, speed, race.AtTheKeys());
            race.screen.Initialize(track, level, laps);
            const Race& played = race.screen.CurrentRace();
            RaceTrace live;
            bool seen = sees == anything;
            while (played.Phase() != Race::phaseIdle) {
                player.Drive(played);
                if (played.Timeouts() == restartAt)
                    race.Press(Qt::Key_R);
                if (played.Timeouts() == giveUpAt)
                    race.Press(Qt::Key_Escape);
                race.Ticks();
                live.Note(played);
                const RaceCar* user = played.Car(userControl);
                RaceCar* computer = played.Car(computerControl);
                if (user != nullptr && computer != nullptr)
                    seen |= sees == contact
                                ? !user->collisionsOff && user->zValue() == computer->zValue() &&
                                      user->collidingSprites().contains(computer)
                                : user->zValue() == RaceCar::LOWER_LEVEL;
            }
            COMPARE_CASE(played.Outcome(), outcome, name);
            COMPARE_CASE(seen, true, name);
            const Replay recorded = race.screen.Recorded();
            COMPARE_CASE(recorded.ElapsedMs(), race.ReportedMs(), name);
            const Replay reread = Reread(recorded);
            COMPARE_CASE(reread == recorded, true, name);
            const RaceTrace again = RunToEnd([&](RaceRun& run) { run.Watch(reread); });
            COMPARE_CASE(Difference(again.blue, live.blue), QString(), name);
            COMPARE_CASE(Difference(again.yellow, live.yellow), QString(), name);
            COMPARE_CASE(again.texts, live.texts, name);
            COMPARE_CASE(CheckReplay(reread).difference, QString(), name);
        }
    }

    // The ghost is the record's winning car, run again tick for tick beside the player's race on
    // a canvas of its own: it never touches the player's car, and the first to finish wins.
    void ghostDrivesTheRecordAndNeverCollides() {
        const RaceTrace recordTrace = RunToEnd([](RaceRun& record) {
            record.Start(RaceSettings{TRACK_15, HARD, 1, RaceMode::againstComputer});
        });
        const std::optional<GhostRun> ghost = recordTrace.recorded.WinningRun();
        QVERIFY(ghost);
        QCOMPARE(ghost->seat, yellowSeat);

        for (const int speed : {0, 4}) {
            const QByteArray name = speed == 0 ? "player standing" : "player driving";
            RaceFixture race;
            Autopilot player(Autopilot::RacingLine(TRACK_15), blueSeat, speed, race.AtTheKeys());
            race.screen.Initialize(RaceSettings{TRACK_15, HARD, 1, RaceMode::timeTrial}, ghost);
            const RaceRun& run = race.screen.Run();
            CarTrace ghostSeen;
            bool touched = false;
            while (!run.MainRace().Decided()) {
                player.Drive(run.MainRace());
                race.Ticks();
                ghostSeen << CarSeen(run.GhostRace()->SeatCar(yellowSeat));
                COMPARE_CASE(race.screen.GhostCar().pos(), ghostSeen.last().position, name);
                touched |= race.screen.GhostCar().collidesWithItem(&race.User()) &&
                           race.screen.GhostCar().isVisible();
                // On Hard a standing car counts every contact; the ghost makes none.
                if (speed == 0)
                    COMPARE_CASE(race.User().crashCount, 0, name);
            }
            COMPARE_CASE(run.MainRace().Car(computerControl), nullptr, name);
            COMPARE_CASE(Difference(ghostSeen, recordTrace.yellow.mid(0, ghostSeen.size())),
                         QString(), name);
            COMPARE_CASE(race.screen.GhostCar().opacity() < 1, true, name);
            race.Ticks(2);
            // Standing, the player is passed by the ghost and loses at the record's own time.
            const RaceOutcome expected = speed == 0 ? RaceOutcome::yellowWon : RaceOutcome::blueWon;
            COMPARE_CASE(run.MainRace().Outcome(), expected, name);
            if (speed == 0) {
                COMPARE_CASE(touched, true, name);
                COMPARE_CASE(int(race.ReportedMs() / Race::TICK_MS), ghost->ticks, name);
            }
            // The time trial's replay carries its ghost, and is checked with it.
            const Replay trial = Reread(race.screen.Recorded());
            COMPARE_CASE(trial.ghost == ghost, true, name);
            COMPARE_CASE(CheckReplay(trial).difference, QString(), name);
        }
    }

    // Replays kept from this game: any change to the rules of a race shows as one that no longer
    // runs as it says.
    void goldenReplaysReproduce() {
        const std::tuple<const char*, RaceOutcome, int> goldens[] = {
            {"track1-1lap-easy.replay", RaceOutcome::yellowWon, 199},
            {"track2-5laps-easy.replay", RaceOutcome::blueWon, 699},
            {"track1-25laps-easy.replay", RaceOutcome::blueWon, 3980},
            {"track4-5laps-hard.replay", RaceOutcome::yellowWon, 1300},
            {"track15-5laps-medium-given-up.replay", RaceOutcome::givenUp, 397},
            {"track4-1lap-time-trial.replay", RaceOutcome::yellowWon, 276}};
        for (const auto& [file, outcome, ticks] : goldens) {
            const ReplayFile::Reading reading = ReplayFile::Read(Golden(file));
            COMPARE_CASE(reading.error, QString(), file);
            COMPARE_CASE(reading.replay->outcome, outcome, file);
            COMPARE_CASE(reading.replay->ticks, ticks, file);
            COMPARE_CASE(CheckReplay(*reading.replay).difference, QString(), file);
            COMPARE_CASE(ReplayFile::Write(*reading.replay), Golden(file), file);
        }
    }

    // Changed files: each a change to a good file, and the reason the game gives for refusing the
    // result.
    void changedAndDamagedFilesAreRefusedOrReplayed() {
        const std::tuple<const char*, QByteArray, QByteArray, QString> changes[] = {
            {"not a replay", "Vantor replay 1", "[vantor]", "it is not a Vantor replay"},
            {"other format", "Vantor replay 1", "Vantor replay 2",
             "it is a replay of format \"2\"; this game reads format 1"},
            {"other rules", RulesIdentity().toLatin1(), "1-000000000000",
             "it was made by a game with other rules or tracks (rules 1-000000000000; this game's "
             "are " +
                 RulesIdentity() + "), so it would not replay the same race"},
            {"no such track", "track 1\n", "track 16\n",
             "line 3: track must be a whole number from 1 to 15"},
            {"ghost won alone", "mode computer\nresult computer won",
             "mode time-trial\nresult ghost won",
             "line 7: the result of this race cannot be \"ghost won\""},
            {"time and ticks differ", "time 5.970", "time 5.940",
             "line 9: the time does not match the ticks (5.970 s)"},
            {"events out of order", "\n23 Up-", "\n900 Up-",
             "line 13: an event line must be a timeout from 4 to 203 and its events; there should "
             "be 26 events"},
            {"second player's key", "\n23 Up-", "\n23 W-", "line 13: unknown event \"W-\""},
            {"cut short", "end\n", "", "line 35: \"end\" was expected here"}};
        for (const auto& [name, from, to, error] : changes) {
            QByteArray text = Golden("track1-1lap-easy.replay");
            COMPARE_CASE(text.contains(from), true, name);
            const ReplayFile::Reading reading = ReplayFile::Read(text.replace(from, to));
            COMPARE_CASE(reading.error, error, name);
            COMPARE_CASE(reading.replay.has_value(), false, name);
        }

        // Damaged and cut files: each is refused with a reason, or replayed to an end, never a
        // crash or a race that runs on for ever.
        const QByteArray sources[] = {Golden("track1-1lap-easy.replay"),
                                      Golden("track4-1lap-time-trial.replay")};
        QRandomGenerator random(20261208);
        const int files = UNDER_ADDRESS_SANITIZER ? 300 : 3000;
        int refused = 0, replayed = 0;
        for (int i = 0; i < files; ++i) {
            QByteArray text = sources[i % 2];
            const auto at = [&] { return int(random.bounded(qsizetype(text.size()))); };
            const std::function<void()> damages[] = {
                [&] { text.truncate(at()); }, [&] { text[at()] = char(random.bounded(256)); },
                [&] { text[at()] = "0123456789 +-\n"[random.bounded(14)]; },
                [&] { text.insert(at(), text.mid(at(), random.bounded(40))); },
                // A key pressed where another was: still a replay, of another race.
                [&] {
                    const qsizetype plus = text.indexOf('+', at());
                    if (plus > 0)
                        text[plus] = '-';
                },
                [&] { text.remove(at(), random.bounded(20)); }};
            const int kind = random.bounded(6);
            for (int damage = 1 + random.bounded(3); damage > 0 && !text.isEmpty(); --damage)
                damages[kind]();
            const ReplayFile::Reading reading = ReplayFile::Read(text);
            const QByteArray name = "file " + QByteArray::number(i);
            if (!reading.replay)
                COMPARE_CASE(reading.error.isEmpty(), false, name);
            else
                COMPARE_CASE(CheckReplay(*reading.replay).ticks <= reading.replay->ticks, true,
                             name);
            ++(reading.replay ? replayed : refused);
        }
        QVERIFY(refused > files / 2);
        QVERIFY(replayed > 0);
    }
};

QTEST_MAIN(TestReplays)
#include "tst_replays.moc"
