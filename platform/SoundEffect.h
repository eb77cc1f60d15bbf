#pragma once

#include <array>

// The game's sounds and the files they are kept in, in the "sounds" folder of the game's data
// folder. tools/synth_sounds draws each file; the game plays them.
enum class SoundEffect {
    CountdownBeep,  // "3", "2" and "1"
    CountdownGo,
    CrashSpin,  // the player's car spinning on the grass
    Contact,    // the cars touching on Hard
    LapPlayer,
    LapComputer,
    RaceWon,
    RaceLost,
    MenuMove,
    MenuStart,
};

constexpr int SOUND_EFFECT_COUNT = int(SoundEffect::MenuStart) + 1;

// In the order of SoundEffect.
constexpr std::array<const char*, SOUND_EFFECT_COUNT> SOUND_EFFECT_FILES = {
    "countdown_beep.wav", "countdown_go.wav", "crash_spin.wav", "contact.wav",   "lap_player.wav",
    "lap_computer.wav",   "race_won.wav",     "race_lost.wav",  "menu_move.wav", "menu_start.wav",
};

// One cycle-aligned loop of the engine at idle; the mixer plays it faster as the car speeds up.
constexpr const char* ENGINE_SOUND_FILE = "engine.wav";

constexpr const char* SOUND_FOLDER = "sounds";
// Every sound file is mono 16-bit PCM at this rate, and the mixer runs at it.
constexpr int SOUND_SAMPLE_RATE = 48000;
