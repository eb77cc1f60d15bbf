#pragma once

#include <optional>
#include <vector>

#include "race/RaceTypes.h"

// The car that set a record, as it drove: the race it drove in (the record's track and laps, at
// that race's own level and mode), its seat there and that race's inputs. Run again, it drives the
// same way, tick for tick.
struct GhostRun {
    RaceSettings settings;
    RaceSeat seat = blueSeat;
    int ticks = 0;  // race ticks until its race was decided: the record
    std::vector<TimedInput> inputs;

    bool operator==(const GhostRun& other) const {
        return settings == other.settings && seat == other.seat && ticks == other.ticks &&
               inputs == other.inputs;
    }
};

// A whole race as its input: its settings, every key event it received with the timeouts before
// it, how it ended, and in a time trial the ghost it raced, so that it can be watched and checked
// on its own whatever records come later.
struct Replay {
    RaceSettings settings;
    RaceOutcome outcome = RaceOutcome::givenUp;
    int ticks = 0;  // race ticks from "GO!" to the tick that decided the race
    std::vector<TimedInput> inputs;
    std::optional<GhostRun> ghost;

    bool operator==(const Replay& other) const {
        return settings == other.settings && outcome == other.outcome && ticks == other.ticks &&
               inputs == other.inputs && ghost == other.ghost;
    }

    long ElapsedMs() const;
    // The car that finished first, to race as a ghost; none for a race given up. A ghost that won
    // a time trial stays the ghost it was; a player's car that won one drives without its ghost,
    // which only ever decides who comes first.
    std::optional<GhostRun> WinningRun() const;
};
