#include "race/ReplayCheck.h"

#include "platform/Canvas.h"
#include "race/RaceRun.h"

namespace {

QString Seconds(int ticks) {
    return QString::number(double(ticks) * Race::TICK_MS / 1000.0, 'f', 3);
}

// The race run to its end, or to the first timeout after the end it should have had.
Replay RunAgain(const Replay& replay) {
    Canvas canvas;
    RaceRun run(canvas);
    run.Watch(replay);
    const Race& race = run.MainRace();
    const int lastTimeout = Race::TimeoutsOf(replay.ticks);
    while (race.Phase() != Race::phaseIdle && race.Timeouts() <= lastTimeout) {
        run.TimeEvent();
    }
    Replay result = run.Recorded();
    if (race.Phase() != Race::phaseIdle) {
        // Not over when it should have been: not decided at the claimed tick either.
        result.outcome = RaceOutcome::givenUp;
        result.ticks = -1;
    }
    return result;
}

QString Ending(RaceMode mode, RaceOutcome outcome, int ticks) {
    if (ticks < 0) {
        return QStringLiteral("the race does not end when it should");
    }
    return QStringLiteral("%1 after %2 ticks (%3 s)")
        .arg(OutcomeWords(mode, outcome))
        .arg(ticks)
        .arg(Seconds(ticks));
}

}  // namespace

QString OutcomeWords(RaceMode mode, RaceOutcome outcome) {
    if (outcome == RaceOutcome::givenUp) {
        return QStringLiteral("given up");
    }
    const bool blue = outcome == RaceOutcome::blueWon;
    switch (mode) {
        case RaceMode::againstComputer:
            return blue ? QStringLiteral("player won") : QStringLiteral("computer won");
        case RaceMode::timeTrial:
            return blue ? QStringLiteral("player won") : QStringLiteral("ghost won");
        case RaceMode::twoPlayers:
            break;
    }
    return blue ? QStringLiteral("player 1 won") : QStringLiteral("player 2 won");
}

ReplayCheck CheckReplay(const Replay& replay) {
    const Replay again = RunAgain(replay);
    ReplayCheck check{again.outcome, again.ticks, QString()};
    const RaceMode mode = replay.settings.mode;
    if (again.outcome != replay.outcome || again.ticks != replay.ticks) {
        check.difference = QStringLiteral("run again: %1; the replay says %2")
                               .arg(Ending(mode, again.outcome, again.ticks),
                                    Ending(mode, replay.outcome, replay.ticks));
        return check;
    }
    if (replay.ghost) {
        const GhostRun& ghost = *replay.ghost;
        const RaceOutcome ghostWins =
            ghost.seat == blueSeat ? RaceOutcome::blueWon : RaceOutcome::yellowWon;
        const Replay ghostRace{ghost.settings, ghostWins, ghost.ticks, ghost.inputs, std::nullopt};
        const Replay ghostAgain = RunAgain(ghostRace);
        if (ghostAgain.outcome != ghostWins || ghostAgain.ticks != ghost.ticks) {
            check.difference =
                QStringLiteral("the ghost's own race run again: %1; the replay says %2")
                    .arg(Ending(ghost.settings.mode, ghostAgain.outcome, ghostAgain.ticks),
                         Ending(ghost.settings.mode, ghostWins, ghost.ticks));
        }
    }
    return check;
}
