#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/SoundEffect.h"

// The game's sounds as the mixer plays them: samples from -1 to 1 at SOUND_SAMPLE_RATE. A sound
// left empty is silent.
struct SoundBank {
    std::array<std::vector<float>, SOUND_EFFECT_COUNT> effects;
    std::vector<float> engineLoop;
};

// Mixes the effects and the two engines into one mono stream. The game's thread asks for sounds
// (Play, SetEngine, StopAll, SetMuted); the sound device's thread calls Render. The two meet only
// in a queue of requests that Render takes at the start of each buffer, so a request is heard from
// the next buffer on and Render never waits for the game: it never reads the game's state.
class SoundMixer {
  public:
    static constexpr int CAR_COUNT = 2;
    static constexpr int ENGINE_OFF = -1;
    static constexpr int TOP_SPEED = 5;

    SoundMixer(SoundBank sounds, bool muted);

    // The game's thread.
    void Play(SoundEffect effect);
    // speed 0..5, or ENGINE_OFF; a car outside 0..1 is ignored and a speed above 5 is 5.
    void SetEngine(int car, int speed);
    // Fades out every effect and both engines.
    void StopAll();
    // Muted, the output fades to silence within milliseconds and effects asked for are dropped;
    // the engines keep their speeds and are heard again when the sound comes back.
    void SetMuted(bool muted);

    // The sound device's thread: fills `frames` samples.
    void Render(std::int16_t* out, int frames);
    // Frames rendered so far; read from any thread.
    std::int64_t FramesMixed() const { return framesMixed.load(std::memory_order_acquire); }

  private:
    struct Request {
        enum Kind { PlayEffect, Engine, Stop, Mute } kind;
        int subject;  // the effect, or the car
        int value;    // the speed, or muted as 0/1
    };
    struct Voice {
        const std::vector<float>* sound = nullptr;
        std::size_t position = 0;
        float gain = 1.0f;
        bool stopping = false;
    };
    struct Engine {
        double position = 0.0;  // in the loop, in its samples
        double rate = 0.0;      // loop samples per output sample
        double targetRate = 0.0;
        float gain = 0.0f;
        float targetGain = 0.0f;
    };

    void Post(const Request& request);
    void TakeRequests();
    void Apply(const Request& request);
    void StartEffect(int effect);
    float NextEngineSample(Engine& engine);
    float NextVoiceSample(Voice& voice);

    const SoundBank bank;

    // Shared between the threads, under the lock.
    std::mutex lock;
    std::vector<Request> pending;

    // The sound device's thread alone.
    std::vector<Request> taken;
    std::array<Voice, 12> voices{};
    std::array<Engine, CAR_COUNT> engines{};
    std::array<std::int64_t, SOUND_EFFECT_COUNT> lastStart{};
    float master = 1.0f;
    float limiter = 1.0f;
    bool muted = false;

    std::atomic<std::int64_t> framesMixed{0};
};
