#pragma once

// What a race is run with and what it is told, independent of any keyboard, pad or file.

// Who races the player's blue car.
enum class RaceMode {
    againstComputer,  // the computer's yellow car
    timeTrial,        // the clock, and the ghost of the track's record race when there is one
    twoPlayers,       // a second player at the yellow car
};

struct RaceSettings {
    int track = 0;  // index 0..14
    int level = 0;  // 0 "Easy", 1 "Medium", 2 "Hard"
    int laps = 5;
    RaceMode mode = RaceMode::againstComputer;

    bool operator==(const RaceSettings& other) const {
        return track == other.track && level == other.level && laps == other.laps &&
               mode == other.mode;
    }
};

// The keys a race takes, by what they do. Restart and GiveUp act on a press only.
enum class RaceKey { Left, Up, Right, Down, Restart, GiveUp };

// The two seats of a race, in the order the race loop drives them: the blue car first, then the
// yellow one (the computer's car, the second player's, or the ghost in a time trial).
enum RaceSeat { blueSeat = 0, yellowSeat = 1 };
constexpr int SEAT_COUNT = 2;

// One key event as the race received it: which player's key, which key, pressed or released.
struct RaceInput {
    RaceSeat player = blueSeat;
    RaceKey key = RaceKey::Up;
    bool pressed = true;

    bool operator==(const RaceInput& other) const {
        return player == other.player && key == other.key && pressed == other.pressed;
    }
};

// What a race did since it was last asked, for whoever makes it heard: never read back into the
// race.
struct RaceHappenings {
    bool countdownBeep = false;  // "3", "2" or "1" came up
    bool go = false;             // "GO!" came up
    bool decided = false;        // the race was won, or given up
    bool lapCredited[SEAT_COUNT] = {};
    bool spinStarted[SEAT_COUNT] = {};  // a car began its crash spin
    bool contact[SEAT_COUNT] = {};      // a car touched the other on Hard
};

// How a race ended: which seat won, or that it was given up.
enum class RaceOutcome { blueWon, yellowWon, givenUp };

// A key event with the number of race timer timeouts (the countdown's included) that came before
// it: fed to a new race at the same count, it makes the same race.
struct TimedInput {
    int tick = 0;
    RaceInput input;

    bool operator==(const TimedInput& other) const {
        return tick == other.tick && input == other.input;
    }
};
