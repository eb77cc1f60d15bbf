#pragma once

#include <memory>
#include <optional>
#include "platform/Canvas.h"

#include "race/Race.h"
#include "race/Replay.h"

// A race run one timeout at a time: played at the keys, or run again from a replay's inputs to be
// watched or checked. In a time trial it runs the ghost's race too, on a canvas of its own where
// nothing can touch it, one timeout ahead of the player's in every timeout until the player's race
// is decided.
class RaceRun {
  public:
    // The race's cars and pieces go on this canvas, which must outlive the run.
    explicit RaceRun(Canvas& canvas);
    ~RaceRun();
    RaceRun(const RaceRun&) = delete;
    RaceRun& operator=(const RaceRun&) = delete;

    // A race at the keys; in a time trial against this ghost, or the clock alone without one.
    void Start(const RaceSettings& settings, std::optional<GhostRun> ghost = std::nullopt);
    // The race of a replay, from its inputs; keys are not taken.
    void Watch(const Replay& replay);

    void TimeEvent();
    // Ends the race where it stands, taking it off the canvas.
    void Leave();
    // Ignored while a replay is being watched.
    void KeyEvent(const RaceInput& input);

    const Race& MainRace() const { return race; }
    // The ghost's race and the ghost's seat in it, in a time trial against one.
    const Race* GhostRace() const { return ghostRace.get(); }
    RaceSeat GhostSeat() const { return ghost ? ghost->seat : yellowSeat; }
    bool Watching() const { return watched.has_value(); }
    // The replay being watched, if any.
    const std::optional<Replay>& Watched() const { return watched; }
    // The race as run so far, as a replay; complete once the race is over.
    Replay Recorded() const;
    // What the race did since the last call, with the ghost's laps in the yellow seat.
    RaceHappenings TakeHappenings();

  private:
    // Hands a race the recorded inputs due before its next timeout.
    struct Feed {
        const std::vector<TimedInput>* inputs = nullptr;
        std::size_t next = 0;
        void Before(Race& race);
    };

    void StartGhost(std::optional<GhostRun> run);

    Race race;
    std::optional<Replay> watched;
    Feed raceFeed;
    std::optional<GhostRun> ghost;
    std::unique_ptr<Canvas> ghostCanvas;
    std::unique_ptr<Race> ghostRace;
    Feed ghostFeed;
};
