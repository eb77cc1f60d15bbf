#include "race/Replay.h"

#include "race/Race.h"

long Replay::ElapsedMs() const {
    return long(ticks) * Race::TICK_MS;
}

std::optional<GhostRun> Replay::WinningRun() const {
    switch (outcome) {
        case RaceOutcome::givenUp:
            return std::nullopt;
        case RaceOutcome::yellowWon:
            if (settings.mode == RaceMode::timeTrial) {
                return ghost;
            }
            return GhostRun{settings, yellowSeat, ticks, inputs};
        case RaceOutcome::blueWon:
            break;
    }
    return GhostRun{settings, blueSeat, ticks, inputs};
}
