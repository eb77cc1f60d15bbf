#pragma once

#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>

#include "platform/SoundEffect.h"
#include "platform/SoundMixer.h"

class AudioDevice;
class AudioSystem;

// The game's sound: effects, the two cars' engines and the mute switch. It is silent until
// Open() finds a sound device and the sound files, and stays silent where there is none; every
// call works either way, so the game never asks whether it is heard. Called from the game's
// thread only; the mixing happens on the sound device's own thread (SoundMixer).
//
// After QUIET_CLOSE_MS with no engine running and nothing asked for (or muted that long), the
// device is closed, so that a game left on its menu takes no CPU; the next sound opens it again.
class GameSound {
  public:
    static constexpr int PLAYER_CAR = 0;
    static constexpr int COMPUTER_CAR = 1;
    static constexpr int ENGINE_OFF = SoundMixer::ENGINE_OFF;
    static constexpr int QUIET_CLOSE_MS = 5000;

    explicit GameSound(bool muted = false);
    ~GameSound();
    GameSound(const GameSound&) = delete;
    GameSound& operator=(const GameSound&) = delete;

    // Loads the sounds from soundDir and starts the sound device on the audio system. Without a
    // device, or without a single sound file, the game goes on silently; either is said in one
    // line on standard error, as are sound files that are missing or damaged (those sounds stay
    // silent). Without an audio system (its library could not be loaded, which was said) it is
    // silent without a word. Only the first call does anything. True when the sound is heard.
    bool Open(const QString& soundDir, std::unique_ptr<AudioSystem> audioSystem);
    // There is a device and something to play on it, whether it is open right now or not.
    bool Heard() const { return mixer != nullptr; }
    // The device is open: its thread is mixing.
    bool DeviceOpen() const { return output != nullptr; }

    void Play(SoundEffect effect);
    // car PLAYER_CAR or COMPUTER_CAR; speed 0..5, or ENGINE_OFF. May be called on every tick.
    void SetEngine(int car, int speed);
    // Fades out every effect and both engines.
    void StopAll();
    void SetMuted(bool muted);
    bool Muted() const { return muted; }

    // Frames the device has been given so far (0 while silent), at SOUND_SAMPLE_RATE: where in
    // the output a sound asked for now begins, give or take two buffers.
    std::int64_t FramesMixed() const;

    // The sounds of soundDir; the files that could not be read are named in `problems`.
    static SoundBank LoadSounds(const QString& soundDir, QStringList& problems);

  private:
    // Opens the device unless it is open; false when it cannot be, and the game is then silent.
    bool OpenDevice();
    // Something asked for: the device stays open for QUIET_CLOSE_MS from now at least.
    void KeepOpen();
    void CloseWhenQuiet();
    bool AnyEngineOn() const;

    bool opened = false;
    bool muted;
    std::array<int, SoundMixer::CAR_COUNT> engineSpeeds{ENGINE_OFF, ENGINE_OFF};
    QTimer quietTimer;
    // The audio system stays started while the device comes and goes.
    std::unique_ptr<AudioSystem> audio;
    // The output goes first: its thread calls the mixer.
    std::unique_ptr<SoundMixer> mixer;
    std::unique_ptr<AudioDevice> output;
};
