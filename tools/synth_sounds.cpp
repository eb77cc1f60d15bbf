// Draws every sound of the game from sine, square and noise with envelopes, and writes them as WAV
// files into a folder, with a line per file on its levels:
//   synth_sounds <folder>
// The build runs it into the build folder's data folder; the install copies them from there.
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "platform/SoundEffect.h"
#include "platform/WaveFile.h"

namespace {

using Samples = std::vector<double>;

constexpr double RATE = SOUND_SAMPLE_RATE;
constexpr double TWO_PI = 6.283185307179586;

enum class Shape {
    Sine,
    Square,  // soft: its odd harmonics up to a limit, so it is bright without buzzing
    Noise,   // white noise kept between fromHz and toHz
};

// One tone of a sound. Its frequency glides from fromHz to toHz over its length; its envelope
// rises over `attack`, then falls with the time constant `decay` (none when 0), and fades to
// nothing over the last `release` seconds, so that every sound starts and ends at zero.
struct Note {
    Shape shape;
    double start;
    double length;
    double fromHz;
    double toHz;
    double level;
    double attack;
    double release;
    double decay;
    double tremoloHz;  // a slow swell in loudness, as of a car spinning round; none when 0
};

struct SoundRecipe {
    SoundEffect effect;
    std::vector<Note> notes;
};

// Musical pitches of the tunes, in Hz.
constexpr double G4 = 392.0, C5 = 523.25, E5 = 659.25, G5 = 783.99, D6 = 1174.66, C6 = 1046.5;
constexpr double E4 = 329.63, C4 = 261.63, B3 = 246.94, A5 = 880.0, E6 = 1318.5;

// Levels are peaks against full scale; where notes overlap their sum stays near a half, so that
// the engines and a second effect fit under full scale beside them.
const SoundRecipe RECIPES[] = {
    {SoundEffect::CountdownBeep,
     {{Shape::Sine, 0, 0.16, A5, A5, 0.40, 0.004, 0.06, 0.12, 0},
      {Shape::Sine, 0, 0.16, 2 * A5, 2 * A5, 0.06, 0.004, 0.06, 0.05, 0}}},
    // Higher, longer and fuller than the beeps.
    {SoundEffect::CountdownGo,
     {{Shape::Sine, 0, 0.50, E6, E6, 0.30, 0.004, 0.18, 0.30, 0},
      {Shape::Sine, 0, 0.50, E6 / 2, E6 / 2, 0.16, 0.004, 0.18, 0.35, 0},
      {Shape::Square, 0, 0.50, E6 / 2, E6 / 2, 0.05, 0.004, 0.18, 0.20, 0}}},
    {SoundEffect::CrashSpin,
     {{Shape::Noise, 0, 0.69, 250, 2200, 0.34, 0.010, 0.20, 0, 8.7},
      {Shape::Sine, 0, 0.69, 520, 170, 0.10, 0.010, 0.20, 0, 8.7}}},
    {SoundEffect::Contact,
     {{Shape::Sine, 0, 0.12, 160, 70, 0.45, 0.002, 0.05, 0.04, 0},
      {Shape::Noise, 0, 0.05, 200, 3000, 0.20, 0.002, 0.03, 0.015, 0}}},
    {SoundEffect::LapPlayer,
     {{Shape::Sine, 0, 0.12, G5, G5, 0.30, 0.003, 0.04, 0.10, 0},
      {Shape::Sine, 0.09, 0.24, D6, D6, 0.30, 0.003, 0.10, 0.12, 0}}},
    // Lower, falling and quieter: the other car's lap.
    {SoundEffect::LapComputer,
     {{Shape::Sine, 0, 0.14, C5, C5, 0.16, 0.003, 0.05, 0.08, 0},
      {Shape::Sine, 0.08, 0.18, G4, G4, 0.15, 0.003, 0.07, 0.10, 0}}},
    {SoundEffect::RaceWon,
     {{Shape::Square, 0.00, 0.14, C5, C5, 0.20, 0.004, 0.04, 0.30, 0},
      {Shape::Square, 0.12, 0.14, E5, E5, 0.20, 0.004, 0.04, 0.30, 0},
      {Shape::Square, 0.24, 0.14, G5, G5, 0.20, 0.004, 0.04, 0.30, 0},
      {Shape::Square, 0.36, 0.62, C6, C6, 0.20, 0.004, 0.30, 0.50, 0},
      {Shape::Sine, 0.36, 0.62, C5, C5, 0.14, 0.004, 0.30, 0.60, 0}}},
    {SoundEffect::RaceLost,
     {{Shape::Sine, 0.00, 0.22, G4, G4, 0.28, 0.004, 0.06, 0.40, 0},
      {Shape::Sine, 0.20, 0.22, E4, E4, 0.28, 0.004, 0.06, 0.40, 0},
      {Shape::Sine, 0.40, 0.70, C4, B3, 0.28, 0.004, 0.35, 0.60, 0},
      {Shape::Square, 0.40, 0.70, C4 / 2, B3 / 2, 0.06, 0.004, 0.35, 0.50, 0}}},
    {SoundEffect::MenuMove, {{Shape::Sine, 0, 0.045, 1200, 1200, 0.20, 0.002, 0.03, 0.015, 0}}},
    {SoundEffect::MenuStart,
     {{Shape::Sine, 0, 0.18, 600, 1200, 0.28, 0.003, 0.06, 0, 0},
      {Shape::Sine, 0, 0.18, 1200, 2400, 0.05, 0.003, 0.06, 0, 0}}},
};

// The engine at idle: ENGINE_HZ firing, its harmonics falling away, a little road noise; a whole
// number of periods, so that it loops without a seam at any playback speed.
constexpr double ENGINE_HZ = 50.0;
constexpr int ENGINE_PERIODS = 20;
constexpr double ENGINE_PEAK = 0.85;
constexpr double ENGINE_NOISE = 0.06;
constexpr double ENGINE_NOISE_HZ = 1500.0;
struct Harmonic {
    double amplitude;
    double phase;
};
constexpr Harmonic ENGINE_HARMONICS[] = {{1.00, 0.0}, {0.55, 0.7}, {0.35, 1.9}, {0.25, 0.4},
                                         {0.16, 2.6}, {0.10, 1.1}, {0.07, 2.2}, {0.05, 0.3}};
// A soft square stops below this, far under half the rate.
constexpr double SQUARE_TOP_HZ = 5000.0;
// Seeds of the noise, fixed so that every build draws the same sounds.
constexpr std::uint32_t NOISE_SEED = 0x2545F491u;

// A small generator of our own: the standard distributions differ between libraries.
class Noise {
  public:
    explicit Noise(std::uint32_t seed) : state(seed) {}
    double Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double(state) / 2147483647.5 - 1.0;
    }

  private:
    std::uint32_t state;
};

double OnePole(double cornerHz) {
    return 1.0 - std::exp(-TWO_PI * cornerHz / RATE);
}

double Envelope(const Note& note, double t) {
    double gain = 1.0;
    if (t < note.attack) {
        gain = std::sin(TWO_PI / 4 * t / note.attack);
    } else if (note.decay > 0) {
        gain = std::exp(-(t - note.attack) / note.decay);
    }
    const double untilEnd = note.length - t;
    if (untilEnd < note.release) {
        gain *= std::pow(std::sin(TWO_PI / 4 * std::max(untilEnd, 0.0) / note.release), 2);
    }
    if (note.tremoloHz > 0) {
        gain *= 0.65 + 0.35 * std::cos(TWO_PI * note.tremoloHz * t);
    }
    return gain;
}

// White noise between two corners, its peak at 1: above highHz it falls away twice as steeply as
// below lowHz, so that it rushes rather than hisses.
Samples BandNoise(std::size_t count, double lowHz, double highHz, std::uint32_t seed) {
    Noise noise(seed);
    Samples band(count);
    double smooth = 0, smoother = 0, floor = 0;
    for (double& sample : band) {
        smooth += (noise.Next() - smooth) * OnePole(highHz);
        smoother += (smooth - smoother) * OnePole(highHz);
        floor += (smoother - floor) * OnePole(lowHz);
        sample = smoother - floor;
    }
    const double peak = std::accumulate(
        band.begin(), band.end(), 0.0, [](double m, double s) { return std::max(m, std::abs(s)); });
    for (double& sample : band) {
        sample /= peak;
    }
    return band;
}

double SoftSquare(double phase, double hz) {
    double sum = 0;
    for (int k = 1; k * hz < SQUARE_TOP_HZ; k += 2) {
        sum += std::sin(k * phase) / k;
    }
    // The odd harmonics sum to pi / 4 of a square.
    return sum * 8 / TWO_PI;
}

void AddNote(Samples& sound, const Note& note, std::uint32_t seed) {
    const auto first = std::size_t(std::lround(note.start * RATE));
    const auto count = std::size_t(std::lround(note.length * RATE));
    sound.resize(std::max(sound.size(), first + count), 0.0);
    const Samples noise =
        note.shape == Shape::Noise ? BandNoise(count, note.fromHz, note.toHz, seed) : Samples();
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / RATE;
        const double hz = note.fromHz * std::pow(note.toHz / note.fromHz, t / note.length);
        double wave = 0;
        switch (note.shape) {
            case Shape::Sine:
                wave = std::sin(phase);
                break;
            case Shape::Square:
                wave = SoftSquare(phase, hz);
                break;
            case Shape::Noise:
                wave = noise[i];
                break;
        }
        phase = std::fmod(phase + TWO_PI * hz / RATE, TWO_PI);
        sound[first + i] += wave * note.level * Envelope(note, t);
    }
}

Samples EngineLoop() {
    const auto period = std::size_t(RATE / ENGINE_HZ);
    Samples loop(period * ENGINE_PERIODS);
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const double phase = TWO_PI * double(i % period) / double(period);
        for (std::size_t k = 0; k < std::size(ENGINE_HARMONICS); ++k) {
            loop[i] += ENGINE_HARMONICS[k].amplitude *
                       std::sin(double(k + 1) * phase + ENGINE_HARMONICS[k].phase);
        }
    }
    // The noise is filtered round the loop twice, so that its end runs on into its start.
    Noise noise(NOISE_SEED);
    Samples white(loop.size());
    for (double& sample : white) {
        sample = noise.Next();
    }
    double smooth = 0;
    Samples rumble(loop.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < loop.size(); ++i) {
            smooth += (white[i] - smooth) * OnePole(ENGINE_NOISE_HZ);
            rumble[i] = smooth;
        }
    }
    const double rumblePeak = *std::max_element(
        rumble.begin(), rumble.end(), [](double a, double b) { return std::abs(a) < std::abs(b); });
    for (std::size_t i = 0; i < loop.size(); ++i) {
        loop[i] += rumble[i] / std::abs(rumblePeak) * ENGINE_NOISE * 2;
    }
    // A loop may lose its constant part without a seam.
    const double mean = std::accumulate(loop.begin(), loop.end(), 0.0) / double(loop.size());
    double peak = 0;
    for (double& sample : loop) {
        sample -= mean;
        peak = std::max(peak, std::abs(sample));
    }
    for (double& sample : loop) {
        sample *= ENGINE_PEAK / peak;
    }
    return loop;
}

Samples Synthesise(const SoundRecipe& recipe) {
    Samples sound;
    std::uint32_t seed = NOISE_SEED + std::uint32_t(recipe.effect);
    for (const Note& note : recipe.notes) {
        AddNote(sound, note, seed++);
    }
    return sound;
}

double Decibels(double level) {
    return 20 * std::log10(std::max(level, 1e-9));
}

// Writes the sound and says how loud it is: its peak and RMS against full scale, and its mean (a
// constant offset would thump when it starts and stops).
bool WriteSound(const QDir& folder, const char* name, const Samples& sound, QTextStream& out) {
    Wave wave{SOUND_SAMPLE_RATE, {}};
    double peak = 0, power = 0, sum = 0;
    for (const double sample : sound) {
        wave.samples.push_back(std::int16_t(std::lround(std::clamp(sample, -1.0, 1.0) * 32767)));
        peak = std::max(peak, std::abs(sample));
        power += sample * sample;
        sum += sample;
    }
    const double count = double(sound.size());
    out << QStringLiteral("%1 %2 s  peak %3 dBFS  RMS %4 dBFS  DC %5  first %6 last %7\n")
               .arg(QString::fromLatin1(name), -20)
               .arg(count / RATE, 5, 'f', 3)
               .arg(Decibels(peak), 5, 'f', 1)
               .arg(Decibels(std::sqrt(power / count)), 5, 'f', 1)
               .arg(sum / count, 8, 'f', 5)
               .arg(wave.samples.front())
               .arg(wave.samples.back());
    return WaveFile::Write(folder.filePath(QString::fromLatin1(name)), wave);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    if (argc != 2) {
        QTextStream(stderr) << "usage: synth_sounds <folder>\n";
        return EXIT_FAILURE;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        QTextStream(stderr) << "cannot make " << folder.path() << '\n';
        return EXIT_FAILURE;
    }
    bool written = WriteSound(folder, ENGINE_SOUND_FILE, EngineLoop(), out);
    for (const SoundRecipe& recipe : RECIPES) {
        written = WriteSound(folder, SOUND_EFFECT_FILES[std::size_t(recipe.effect)],
                             Synthesise(recipe), out) &&
                  written;
    }
    return written ? EXIT_SUCCESS : EXIT_FAILURE;
}
