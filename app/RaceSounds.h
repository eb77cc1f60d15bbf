#pragma once

#include "race/RaceRun.h"

class GameSound;

// Makes a race heard on the game's sound: the countdown, both cars' engines following their
// speeds (the blue car's in front), spins, contacts, each car's laps, the win and the loss. It
// only listens to what the race did: nothing it does reaches the race.
class RaceSounds {
  public:
    explicit RaceSounds(GameSound& sound) : sound(sound) {}

    // After a timeout of the race, with what the race did in it.
    void Follow(const RaceRun& run, const RaceHappenings& happened);
    // The engines off, while a race is paused or after it.
    void Silence();

  private:
    GameSound& sound;
};
