#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Finding the game's sounds in an output: samples from -1 to 1, mono at SOUND_SAMPLE_RATE.
using AudioFrames = std::vector<float>;

// The game's sound while `play` runs, as SDL's disk audio driver takes it: in real time, as a sound
// card would. Open the GameSound inside `play`, so that its device is closed when the output is
// read. Frame n of it is frame n of GameSound::FramesMixed(), as long as the device stays open:
// one closed when quiet and opened again starts the output afresh.
AudioFrames DiskAudio(const std::function<void()>& play);

// Above this a sample is sound; the mixer's output is exactly 0 when nothing plays.
constexpr float AUDIBLE = 0.01f;

// 16-bit samples as frames.
AudioFrames Frames(const std::int16_t* samples, std::size_t count);
// The first frame from `from` on that is sound, or -1.
std::int64_t FirstSoundAt(const AudioFrames& output, std::int64_t from);
// Every frame where a sound begins after at least `quietFrames` frames of silence (or the
// start of the output).
std::vector<std::int64_t> Onsets(const AudioFrames& output, std::int64_t quietFrames);
// The frames of [from, from + count), cut to the output.
AudioFrames Span(const AudioFrames& output, std::int64_t from, std::int64_t count);
// The fundamental pitch, in Hz, of a span between lowHz and highHz (by autocorrelation); 0 when
// it has none.
double PitchHz(const AudioFrames& span, double lowHz, double highHz);
double Rms(const AudioFrames& span);
float Peak(const AudioFrames& span);
// The change from each sample to the next: a click stands out as a large one, and the highs of a
// sound are loud in them where a low hum's are not.
AudioFrames Steps(const AudioFrames& span);
