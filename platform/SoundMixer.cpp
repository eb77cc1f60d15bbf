#include "platform/SoundMixer.h"

#include <algorithm>
#include <cmath>

namespace {

// How fast the engine's loop is played at each speed: the pitch climbs by even steps from idle.
constexpr std::array<double, SoundMixer::TOP_SPEED + 1> ENGINE_RATES = {1.0, 1.3, 1.6,
                                                                        1.9, 2.2, 2.5};
// The player's engine in front, the computer's one a little lower and well behind, so that the
// two never merge into one sound.
struct CarEngine {
    float gain;
    double pitch;
};
constexpr std::array<CarEngine, SoundMixer::CAR_COUNT> CAR_ENGINES = {
    {{0.30f, 1.0}, {0.13f, 0.94}}};

// Time constants of the changes that would click if taken at once, in seconds.
constexpr double ENGINE_GLIDE = 0.08;
constexpr double ENGINE_FADE = 0.015;
constexpr double MUTE_FADE = 0.004;
constexpr double STOP_FADE = 0.004;
// Below this a fading sound is gone.
constexpr float INAUDIBLE = 1e-4f;
// The output never goes above this: a loud moment lowers the whole mix at once and lets it back
// up over LIMIT_RELEASE, instead of clipping.
constexpr float CEILING = 0.95f;
constexpr double LIMIT_RELEASE = 0.05;
// An effect asked for again this soon after its start would only thicken it (a contact held over
// several ticks, a held menu key).
constexpr std::int64_t RETRIGGER_GAP = SOUND_SAMPLE_RATE / 20;

// The share of the way to its target a smoothed value goes in one sample.
float Smoothing(double seconds) {
    return float(1.0 - std::exp(-1.0 / (seconds * SOUND_SAMPLE_RATE)));
}
const float ENGINE_GLIDE_STEP = Smoothing(ENGINE_GLIDE);
const float ENGINE_FADE_STEP = Smoothing(ENGINE_FADE);
const float MUTE_FADE_STEP = Smoothing(MUTE_FADE);
const float STOP_FADE_STEP = Smoothing(STOP_FADE);
const float LIMIT_RELEASE_STEP = Smoothing(LIMIT_RELEASE);

}  // namespace

// Muted from the start, the first buffer is silent already.
SoundMixer::SoundMixer(SoundBank sounds, bool startMuted)
    : bank(std::move(sounds)), master(startMuted ? 0.0f : 1.0f), muted(startMuted) {
    lastStart.fill(-RETRIGGER_GAP);
}

void SoundMixer::Play(SoundEffect effect) {
    Post({Request::PlayEffect, int(effect), 0});
}

void SoundMixer::SetEngine(int car, int speed) {
    if (car >= 0 && car < CAR_COUNT) {
        Post({Request::Engine, car, std::min(speed, TOP_SPEED)});
    }
}

void SoundMixer::StopAll() {
    Post({Request::Stop, 0, 0});
}

void SoundMixer::SetMuted(bool mute) {
    Post({Request::Mute, 0, mute ? 1 : 0});
}

void SoundMixer::Post(const Request& request) {
    const std::lock_guard<std::mutex> guard(lock);
    pending.push_back(request);
}

// Never waits: while the game's thread holds the lock, the requests wait for the next buffer.
void SoundMixer::TakeRequests() {
    if (lock.try_lock()) {
        std::swap(pending, taken);
        lock.unlock();
    }
    for (const Request& request : taken) {
        Apply(request);
    }
    // Keeps its room, so the sound thread allocates nothing once the game is under way.
    taken.clear();
}

void SoundMixer::Apply(const Request& request) {
    switch (request.kind) {
        case Request::PlayEffect:
            if (!muted) {
                StartEffect(request.subject);
            }
            break;
        case Request::Engine: {
            Engine& engine = engines[std::size_t(request.subject)];
            if (request.value < 0) {
                engine.targetGain = 0.0f;
                break;
            }
            const CarEngine& car = CAR_ENGINES[std::size_t(request.subject)];
            engine.targetRate = ENGINE_RATES[std::size_t(request.value)] * car.pitch;
            engine.targetGain = car.gain;
            // An engine that was silent starts at its speed's pitch rather than gliding to it.
            if (engine.gain == 0.0f) {
                engine.rate = engine.targetRate;
            }
            break;
        }
        case Request::Stop:
            for (Voice& voice : voices) {
                voice.stopping = true;
            }
            for (Engine& engine : engines) {
                engine.targetGain = 0.0f;
            }
            break;
        case Request::Mute:
            muted = request.value != 0;
            break;
    }
}

void SoundMixer::StartEffect(int effect) {
    const std::vector<float>& sound = bank.effects[std::size_t(effect)];
    const std::int64_t now = framesMixed.load(std::memory_order_relaxed);
    if (sound.empty() || now - lastStart[std::size_t(effect)] < RETRIGGER_GAP) {
        return;
    }
    lastStart[std::size_t(effect)] = now;
    auto free = std::find_if(voices.begin(), voices.end(),
                             [](const Voice& voice) { return voice.sound == nullptr; });
    if (free == voices.end()) {
        // All busy: the sound that has played longest gives way.
        free = std::max_element(voices.begin(), voices.end(), [](const Voice& a, const Voice& b) {
            return a.position < b.position;
        });
    }
    *free = Voice{&sound, 0, 1.0f, false};
}

float SoundMixer::NextEngineSample(Engine& engine) {
    engine.gain += (engine.targetGain - engine.gain) * ENGINE_FADE_STEP;
    if (engine.targetGain == 0.0f && engine.gain < INAUDIBLE) {
        engine.gain = 0.0f;
        return 0.0f;
    }
    engine.rate += (engine.targetRate - engine.rate) * double(ENGINE_GLIDE_STEP);
    const std::vector<float>& loop = bank.engineLoop;
    const auto index = std::size_t(engine.position);
    const auto fraction = float(engine.position - double(index));
    const float sample = loop[index] + (loop[(index + 1) % loop.size()] - loop[index]) * fraction;
    engine.position = std::fmod(engine.position + engine.rate, double(loop.size()));
    return sample * engine.gain;
}

float SoundMixer::NextVoiceSample(Voice& voice) {
    if (voice.stopping) {
        voice.gain -= voice.gain * STOP_FADE_STEP;
    }
    if (voice.position >= voice.sound->size() || voice.gain < INAUDIBLE) {
        voice = Voice();
        return 0.0f;
    }
    return (*voice.sound)[voice.position++] * voice.gain;
}

void SoundMixer::Render(std::int16_t* out, int frames) {
    TakeRequests();
    const bool enginesPlay = !bank.engineLoop.empty();
    for (int i = 0; i < frames; ++i) {
        master += ((muted ? 0.0f : 1.0f) - master) * MUTE_FADE_STEP;
        if (muted && master < INAUDIBLE) {
            // Silent until the sound comes back; what was playing is dropped, the engines wait
            // at their speeds.
            master = 0.0f;
            for (Voice& voice : voices) {
                voice = Voice();
            }
            for (Engine& engine : engines) {
                engine.gain = engine.targetGain;
                engine.rate = engine.targetRate;
            }
            std::fill(out + i, out + frames, std::int16_t(0));
            break;
        }
        float mix = 0.0f;
        if (enginesPlay) {
            for (Engine& engine : engines) {
                mix += NextEngineSample(engine);
            }
        }
        for (Voice& voice : voices) {
            if (voice.sound != nullptr) {
                mix += NextVoiceSample(voice);
            }
        }
        mix *= master;
        limiter += (1.0f - limiter) * LIMIT_RELEASE_STEP;
        if (std::abs(mix) * limiter > CEILING) {
            limiter = CEILING / std::abs(mix);
        }
        out[i] = std::int16_t(std::lround(mix * limiter * 32767.0f));
    }
    framesMixed.fetch_add(frames, std::memory_order_release);
}
