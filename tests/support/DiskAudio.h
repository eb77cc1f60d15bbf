#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>
#include <vector>

// While this lives, the game's sound goes to a file through SDL's disk audio driver, which takes
// the mixed output in real time as a sound card would. Open the GameSound after making this, and
// read the output once the GameSound is gone (its device closed).
class DiskAudio {
  public:
    DiskAudio();
    ~DiskAudio();
    DiskAudio(const DiskAudio&) = delete;
    DiskAudio& operator=(const DiskAudio&) = delete;

    // The output from its first frame on, as samples from -1 to 1: mono at SOUND_SAMPLE_RATE, as
    // the game opens its device. Frame n of it is frame n of GameSound::FramesMixed(), as long
    // as the device stays open: one closed when quiet and opened again starts the file afresh.
    std::vector<float> Output() const;

  private:
    QTemporaryDir folder;
    // The variables as they were; none when unset.
    std::optional<QByteArray> oldDriver;
    std::optional<QByteArray> oldFile;
};

// Finding the game's sounds in an output.
using AudioFrames = std::vector<float>;

// Above this a sample is sound; the mixer's output is exactly 0 when nothing plays.
constexpr float AUDIBLE = 0.01f;

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
// The largest change from one sample to the next: a click stands out as a jump.
float LargestStep(const AudioFrames& span);
