#pragma once

#include <QRect>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "car/CarControlType.h"
#include "car/RaceCar.h"
#include "graphics/RaceCarImage.h"
#include "race/RaceTypes.h"
#include "track/GridSection.h"

class Canvas;

// The rules of one race, without a widget, a view or a timer: sets the track and the cars out on a
// canvas, counts down, drives the cars one tick at a time, takes the keys, counts laps and the
// clock in ticks, and declares the winner. Whoever owns it calls TimeEvent() once per timeout of a
// timer running at Interval(), and draws what it shows.
//
// Every key event it receives is kept with the number of timeouts before it, so that a new race fed
// the same events at the same counts runs the same race, tick for tick.
class Race {
  public:
    // phaseIdle: no race, before the first Initialize and after the tear-down.
    enum RacePhase {
        phaseShowThree,
        phaseShowTwo,
        phaseShowOne,
        phaseRacing,
        phaseEnding,
        phaseIdle
    };
    static constexpr int TICK_MS = 30;
    // Timeouts a race takes whose deciding race tick was the ticks-th: the countdown's three, the
    // race ticks, the one that starts holding the final frame and the tear-down.
    static constexpr int TimeoutsOf(int ticks) { return ticks + 5; }

    // The cars and pieces go on this canvas; it must outlive the race.
    explicit Race(Canvas& canvas);
    ~Race();
    Race(const Race&) = delete;
    Race& operator=(const Race&) = delete;

    void Initialize(const RaceSettings& settings);
    // One timeout of the race timer.
    void TimeEvent();
    // The race timer's interval until the next timeout, in ms; 0 once the race is over.
    int Interval() const;
    // A key event; one that cannot change this race (the release of R or Escape, R without the
    // computer's car, the second player's keys without a second player) is not even kept.
    void KeyEvent(const RaceInput& input);
    // Takes the cars and pieces off the canvas: the race is over, or left.
    void TearDown();

    // In a time trial: the ghost's race, run one timeout ahead of this one in every timeout. When
    // it is decided before the player finishes, the ghost has won.
    void SetRival(const Race* rival) { rivalRace = rival; }

    RacePhase Phase() const { return racePhase; }
    // The winner is known (or the race was given up); the cars stand still from here on.
    bool Decided() const { return raceFinished; }
    RaceOutcome Outcome() const;
    // After the race is decided: true when the player's blue car won.
    bool UserWon() const { return winner == blueSeat && !raceGivenUp; }
    bool RaceGivenUp() const { return raceGivenUp; }
    long ElapsedMs() const { return elapsedMs; }
    // Timeouts of the race timer since Initialize, the countdown's included.
    int Timeouts() const { return timeouts; }
    const RaceSettings& Settings() const { return settings; }
    const std::vector<TimedInput>& Inputs() const { return inputs; }

    // What the race shows: the cars, the lap counter of each seat, the clock and the countdown.
    RaceCar* Car(carControlType type) const;
    RaceCar* SeatCar(RaceSeat seat) const;
    const QString& LapText(RaceSeat seat) const { return lapTexts[seat]; }
    // What happened since the last call, which clears it.
    RaceHappenings TakeHappenings();
    // Written out only when asked for: a race run without a view never needs it.
    QString ClockText() const;
    const QString& CountdownText() const { return countdownText; }
    bool CountdownShown() const { return countdownShown; }
    // Whether the countdown's text is centred anew, or stays where the one before it stood.
    bool CountdownCentred() const { return countdownCentred; }
    // The centre line of a player's car hidden under a bridge, as two points; none otherwise.
    const std::optional<QRect>& CarLinePoints(RaceSeat seat) const;
    bool KeysEnabled(RaceSeat player = blueSeat) const;
    const std::vector<std::unique_ptr<GridSection>>& GridSections() const { return gridSections; }

    // The section under a point at a car depth: on the car's own level first, then the other one.
    GridSection* GetCurrentGridSection(double x, double y, double z) const;
    // Moves (x, y) from a player's car position to the point of its frame's border it heads for.
    void GetRaceCarFront(const RaceCar* car, double* x, double* y) const;

  private:
    // A human at the keys of one car: what is held, and the ticks until the car may turn or change
    // speed again.
    struct Driver {
        bool keysEnabled = true;
        bool leftHeld = false;
        bool rightHeld = false;
        bool upHeld = false;
        bool downHeld = false;
        int turnDelay = 0;
        int speedDelay = 0;

        // Every held key let go, and no key taken until the race gives them back.
        void TakeKeysAway() {
            keysEnabled = false;
            leftHeld = rightHeld = upHeld = downHeld = false;
        }
    };
    // One car of the race and its bookkeeping.
    struct Racer {
        std::unique_ptr<RaceCar> car;
        RaceSeat seat = blueSeat;
        const GridSection* lastSection = nullptr;
        int spinCounter = 0;
        std::optional<QRect> carLine;
    };
    struct KeyAction {
        RaceKey key;
        bool Driver::*heldFlag;
        void (Race::*onPress)();
    };
    static const KeyAction KEY_ACTIONS[];

    void LoadTrack(int track);
    void addSprite(RaceSeat seat, carControlType type);
    void RestartRaceCar(Racer* racer);
    GridSection* FindStartSection() const;
    void PlaceOnStart(Racer& racer, const GridSection& start) const;
    Driver* DriverOf(const Racer& racer);

    void RunTheRace();
    void DriveUserCar(Racer& racer, double x, double y, GridSection& section, int gx, int gy);
    void DriveComputerCar(Racer& racer, GridSection& section, int gx, int gy);
    void RegisterEntry(Racer& racer, const GridSection& section);
    void ShowCrashSpinOrFrame(Racer& racer);
    void BlinkRestartingCar(RaceCar& car);
    void RaceHasBeenWon(RaceSeat winnerSeat);

    void UpdateUserCarSpeed(Driver& driver, RaceCar* car);
    void UpdateUserCarDirection(Driver& driver, RaceCar* car);
    void UpdateElapsedRaceTime();

    bool Heeded(const RaceInput& input) const;
    void RestartComputerCar();
    void GiveUpRace();
    void ShowCountdown(const char* text, bool centred);

    Canvas& canvas;
    const RaceCarImage blueCarImages;
    const RaceCarImage yellowCarImages;
    RaceSettings settings;
    std::vector<Racer> racers;
    std::vector<std::unique_ptr<GridSection>> gridSections;
    std::array<Driver, SEAT_COUNT> drivers;
    std::array<QString, SEAT_COUNT> lapTexts;
    const Race* rivalRace = nullptr;
    bool raceFinished = false;
    bool computerArmed = false;
    int piecesPerLap = 0;
    int accelCounter = 0;
    int holdGo = 0;
    // Minutes are an int rather than 16 bits so that even an abandoned, endless race keeps
    // counting.
    int raceMilliseconds = 0;
    int raceSeconds = 0;
    int raceMinutes = 0;
    long elapsedMs = 0;
    QString countdownText;
    bool countdownShown = false;
    bool countdownCentred = true;
    int lapsToRace = 0;
    RacePhase racePhase = phaseIdle;
    RaceSeat winner = blueSeat;
    bool raceGivenUp = false;
    int timeouts = 0;
    std::vector<TimedInput> inputs;
    RaceHappenings happenings;
};
