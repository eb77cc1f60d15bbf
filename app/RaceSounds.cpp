#include "app/RaceSounds.h"

#include "platform/GameSound.h"

namespace {

// The engine on each seat's channel: the blue car's louder, the other car's (the computer's, the
// second player's or the ghost's) quieter.
constexpr int ENGINE_OF_SEAT[SEAT_COUNT] = {GameSound::PLAYER_CAR, GameSound::COMPUTER_CAR};
constexpr SoundEffect LAP_OF_SEAT[SEAT_COUNT] = {SoundEffect::LapPlayer, SoundEffect::LapComputer};

// A win is heard whenever a player wins: in a race of two players either one does.
SoundEffect EndingOf(const Race& race) {
    const bool playerWon =
        race.Outcome() == RaceOutcome::blueWon || race.Settings().mode == RaceMode::twoPlayers;
    return playerWon ? SoundEffect::RaceWon : SoundEffect::RaceLost;
}

}  // namespace

void RaceSounds::Follow(const RaceRun& run, const RaceHappenings& happened) {
    const Race& race = run.MainRace();
    if (happened.countdownBeep) {
        sound.Play(SoundEffect::CountdownBeep);
    }
    if (happened.go) {
        sound.Play(SoundEffect::CountdownGo);
    }
    for (const RaceSeat seat : {blueSeat, yellowSeat}) {
        const bool ghostSeat = seat == yellowSeat && run.GhostRace() != nullptr;
        const RaceCar* car =
            ghostSeat ? run.GhostRace()->SeatCar(run.GhostSeat()) : race.SeatCar(seat);
        // The engines start with "GO!" and stop with the result.
        const bool running = car != nullptr && race.Phase() == Race::phaseRacing && !race.Decided();
        sound.SetEngine(ENGINE_OF_SEAT[seat], running ? car->speed : GameSound::ENGINE_OFF);
        if (happened.lapCredited[seat]) {
            sound.Play(LAP_OF_SEAT[seat]);
        }
        if (happened.spinStarted[seat]) {
            sound.Play(SoundEffect::CrashSpin);
        }
        if (happened.contact[seat]) {
            sound.Play(SoundEffect::Contact);
        }
    }
    if (happened.decided && race.Outcome() != RaceOutcome::givenUp) {
        sound.Play(EndingOf(race));
    }
}

void RaceSounds::Silence() {
    sound.SetEngine(GameSound::PLAYER_CAR, GameSound::ENGINE_OFF);
    sound.SetEngine(GameSound::COMPUTER_CAR, GameSound::ENGINE_OFF);
}
