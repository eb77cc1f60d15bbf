#include "tests/support/DiskAudio.h"

#include <QFile>
#include <algorithm>
#include <cmath>

#include "platform/SoundEffect.h"

namespace {

const char* const DRIVER_VARIABLE = "SDL_AUDIODRIVER";
const char* const FILE_VARIABLE = "SDL_DISKAUDIOFILE";
// A lag whose match comes this close to the best is taken when it is shorter: a periodic sound
// matches itself as well at two periods as at one.
constexpr double NEAR_BEST = 0.9;

std::optional<QByteArray> Saved(const char* variable) {
    return qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable)) : std::nullopt;
}

void Restore(const char* variable, const std::optional<QByteArray>& value) {
    if (value) {
        qputenv(variable, *value);
    } else {
        qunsetenv(variable);
    }
}

double Match(const AudioFrames& span, std::size_t lag) {
    double product = 0, early = 0, late = 0;
    for (std::size_t i = 0; i + lag < span.size(); ++i) {
        product += double(span[i]) * span[i + lag];
        early += double(span[i]) * span[i];
        late += double(span[i + lag]) * span[i + lag];
    }
    return early > 0 && late > 0 ? product / std::sqrt(early * late) : 0.0;
}

}  // namespace

DiskAudio::DiskAudio() : oldDriver(Saved(DRIVER_VARIABLE)), oldFile(Saved(FILE_VARIABLE)) {
    qputenv(DRIVER_VARIABLE, "disk");
    qputenv(FILE_VARIABLE, QFile::encodeName(folder.filePath(QStringLiteral("output.raw"))));
}

DiskAudio::~DiskAudio() {
    Restore(DRIVER_VARIABLE, oldDriver);
    Restore(FILE_VARIABLE, oldFile);
}

AudioFrames DiskAudio::Output() const {
    QFile file(folder.filePath(QStringLiteral("output.raw")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    AudioFrames output(std::size_t(bytes.size()) / sizeof(std::int16_t));
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.constData());
    for (std::size_t i = 0; i < output.size(); ++i) {
        output[i] = float(samples[i]) / 32768.0f;
    }
    return output;
}

std::int64_t FirstSoundAt(const AudioFrames& output, std::int64_t from) {
    for (auto i = std::size_t(std::max<std::int64_t>(from, 0)); i < output.size(); ++i) {
        if (std::abs(output[i]) > AUDIBLE) {
            return std::int64_t(i);
        }
    }
    return -1;
}

std::vector<std::int64_t> Onsets(const AudioFrames& output, std::int64_t quietFrames) {
    std::vector<std::int64_t> onsets;
    std::int64_t quiet = quietFrames;
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (std::abs(output[i]) <= AUDIBLE) {
            ++quiet;
            continue;
        }
        if (quiet >= quietFrames) {
            onsets.push_back(std::int64_t(i));
        }
        quiet = 0;
    }
    return onsets;
}

AudioFrames Span(const AudioFrames& output, std::int64_t from, std::int64_t count) {
    const auto first = std::size_t(std::clamp<std::int64_t>(from, 0, std::int64_t(output.size())));
    const auto last = std::size_t(
        std::clamp<std::int64_t>(from + count, std::int64_t(first), std::int64_t(output.size())));
    return AudioFrames(output.begin() + std::ptrdiff_t(first),
                       output.begin() + std::ptrdiff_t(last));
}

double PitchHz(const AudioFrames& span, double lowHz, double highHz) {
    const auto shortest = std::size_t(SOUND_SAMPLE_RATE / highHz);
    const auto longest = std::min(std::size_t(SOUND_SAMPLE_RATE / lowHz), span.size() / 2);
    std::vector<double> matches(longest + 2, 0.0);
    double best = 0;
    for (std::size_t lag = shortest; lag <= longest + 1; ++lag) {
        matches[lag] = Match(span, lag);
        best = std::max(best, matches[lag]);
    }
    for (std::size_t lag = shortest + 1; lag <= longest; ++lag) {
        const bool peak = matches[lag] >= matches[lag - 1] && matches[lag] >= matches[lag + 1];
        if (peak && best > 0 && matches[lag] >= NEAR_BEST * best) {
            // Between samples: the top of the parabola through the peak and its neighbours.
            const double before = matches[lag - 1], after = matches[lag + 1];
            const double bend = before - 2 * matches[lag] + after;
            const double shift = bend != 0 ? 0.5 * (before - after) / bend : 0.0;
            return SOUND_SAMPLE_RATE / (double(lag) + shift);
        }
    }
    return 0.0;
}

double Rms(const AudioFrames& span) {
    double power = 0;
    for (const float sample : span) {
        power += double(sample) * sample;
    }
    return span.empty() ? 0.0 : std::sqrt(power / double(span.size()));
}

float Peak(const AudioFrames& span) {
    float peak = 0;
    for (const float sample : span) {
        peak = std::max(peak, std::abs(sample));
    }
    return peak;
}

float LargestStep(const AudioFrames& span) {
    float step = 0;
    for (std::size_t i = 1; i < span.size(); ++i) {
        step = std::max(step, std::abs(span[i] - span[i - 1]));
    }
    return step;
}
