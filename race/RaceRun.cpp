#include "race/RaceRun.h"

#include "platform/Canvas.h"

RaceRun::RaceRun(Canvas& raceCanvas) : race(raceCanvas) {}

RaceRun::~RaceRun() = default;

void RaceRun::Start(const RaceSettings& settings, std::optional<GhostRun> ghostRun) {
    watched.reset();
    raceFeed = Feed{};
    race.Initialize(settings);
    StartGhost(settings.mode == RaceMode::timeTrial ? std::move(ghostRun) : std::nullopt);
}

void RaceRun::Watch(const Replay& replay) {
    watched = replay;
    race.Initialize(watched->settings);
    raceFeed = Feed{&watched->inputs};
    StartGhost(watched->settings.mode == RaceMode::timeTrial ? watched->ghost : std::nullopt);
}

void RaceRun::StartGhost(std::optional<GhostRun> run) {
    ghost = std::move(run);
    if (!ghost) {
        race.SetRival(nullptr);
        ghostRace.reset();
        return;
    }
    if (ghostCanvas == nullptr) {
        ghostCanvas = std::make_unique<Canvas>();
    }
    if (ghostRace == nullptr) {
        ghostRace = std::make_unique<Race>(*ghostCanvas);
    }
    ghostRace->Initialize(ghost->settings);
    ghostFeed = Feed{&ghost->inputs};
    race.SetRival(ghostRace.get());
}

void RaceRun::TimeEvent() {
    const bool contested =
        race.Phase() < Race::phaseRacing || (race.Phase() == Race::phaseRacing && !race.Decided());
    if (ghostRace != nullptr && contested) {
        ghostFeed.Before(*ghostRace);
        ghostRace->TimeEvent();
    }
    raceFeed.Before(race);
    race.TimeEvent();
}

void RaceRun::Leave() {
    race.TearDown();
}

void RaceRun::KeyEvent(const RaceInput& input) {
    if (!Watching()) {
        race.KeyEvent(input);
    }
}

Replay RaceRun::Recorded() const {
    Replay replay;
    replay.settings = race.Settings();
    replay.outcome = race.Outcome();
    replay.ticks = int(race.ElapsedMs() / Race::TICK_MS);
    replay.inputs = race.Inputs();
    replay.ghost = ghost;
    return replay;
}

RaceHappenings RaceRun::TakeHappenings() {
    RaceHappenings happened = race.TakeHappenings();
    if (ghostRace != nullptr) {
        happened.lapCredited[yellowSeat] = ghostRace->TakeHappenings().lapCredited[ghost->seat];
    }
    return happened;
}

void RaceRun::Feed::Before(Race& fed) {
    while (inputs != nullptr && next < inputs->size() && (*inputs)[next].tick <= fed.Timeouts()) {
        fed.KeyEvent((*inputs)[next++].input);
    }
}
