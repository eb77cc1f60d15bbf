#pragma once

#include <QString>

#include "race/Replay.h"

// What running a replay again gave, against what it says of itself.
struct ReplayCheck {
    RaceOutcome outcome = RaceOutcome::givenUp;
    int ticks = 0;
    // Empty when the race ran again exactly as the replay says, otherwise how it differed.
    QString difference;

    bool Reproduces() const { return difference.isEmpty(); }
};

// Runs the replay's race again from its inputs, without a view, on a canvas of its own, to its
// end or to the first timeout past the end it claims; in a time trial also the ghost's own race,
// which must be won by the ghost at the time it claims.
ReplayCheck CheckReplay(const Replay& replay);

// "player won", "computer won", "ghost won", "player 1 won", "player 2 won" or "given up".
QString OutcomeWords(RaceMode mode, RaceOutcome outcome);
