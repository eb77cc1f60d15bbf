#include "tests/support/DiskAudio.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/SoundEffect.h"
#include "tests/support/NodeState.h"

AudioFrames DiskAudio(const std::function<void()>& play) {
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("output.raw"));
    const bool driverSet = qEnvironmentVariableIsSet("SDL_AUDIODRIVER");
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(path));
    play();
    driverSet ? qputenv("SDL_AUDIODRIVER", driver) : qunsetenv("SDL_AUDIODRIVER");
    qunsetenv("SDL_DISKAUDIOFILE");  // only the disk driver reads it
    const QByteArray bytes = Contents(path);
    return Frames(reinterpret_cast<const std::int16_t*>(bytes.constData()),
                  std::size_t(bytes.size()) / sizeof(std::int16_t));
}

AudioFrames Frames(const std::int16_t* samples, std::size_t count) {
    AudioFrames frames;
    for (std::size_t i = 0; i < count; ++i) frames.push_back(float(samples[i]) / 32768.0f);
    return frames;
}

std::int64_t FirstSoundAt(const AudioFrames& output, std::int64_t from) {
    for (auto i = std::max<std::int64_t>(from, 0); i < std::int64_t(output.size()); ++i)
        if (std::abs(output[std::size_t(i)]) > AUDIBLE)
            return i;
    return -1;
}

std::vector<std::int64_t> Onsets(const AudioFrames& output, std::int64_t quietFrames) {
    std::vector<std::int64_t> onsets;
    for (std::int64_t at = FirstSoundAt(output, 0), last = -quietFrames - 1; at >= 0;
         last = at, at = FirstSoundAt(output, at + 1)) {
        if (at - last > quietFrames)
            onsets.push_back(at);
    }
    return onsets;
}

AudioFrames Span(const AudioFrames& output, std::int64_t from, std::int64_t count) {
    const auto size = std::int64_t(output.size());
    const std::int64_t first = std::clamp<std::int64_t>(from, 0, size);
    return AudioFrames(output.begin() + first,
                       output.begin() + std::clamp<std::int64_t>(from + count, first, size));
}

double PitchHz(const AudioFrames& span, double lowHz, double highHz) {
    // How well the span matches itself `lag` frames later.
    const auto match = [&span](std::size_t lag) {
        double product = 0, early = 0, late = 0;
        for (std::size_t i = 0; i + lag < span.size(); ++i) {
            product += double(span[i]) * span[i + lag];
            early += double(span[i]) * span[i];
            late += double(span[i + lag]) * span[i + lag];
        }
        return early > 0 && late > 0 ? product / std::sqrt(early * late) : 0.0;
    };
    const auto shortest = std::size_t(SOUND_SAMPLE_RATE / highHz);
    const auto longest = std::min(std::size_t(SOUND_SAMPLE_RATE / lowHz), span.size() / 2);
    std::vector<double> matches(longest + 2, 0.0);
    for (std::size_t lag = shortest; lag <= longest + 1; ++lag) matches[lag] = match(lag);
    const double best = *std::max_element(matches.begin(), matches.end());
    for (std::size_t lag = shortest + 1; lag <= longest; ++lag) {
        const double before = matches[lag - 1], here = matches[lag], after = matches[lag + 1];
        // A periodic sound matches itself as well at two periods as at one: the first peak near
        // the best is the period.
        if (here >= before && here >= after && best > 0 && here >= 0.9 * best) {
            // Between samples: the top of the parabola through the peak and its neighbours.
            const double bend = before - 2 * here + after;
            return SOUND_SAMPLE_RATE /
                   (double(lag) + (bend != 0 ? 0.5 * (before - after) / bend : 0));
        }
    }
    return 0.0;
}

double Rms(const AudioFrames& span) {
    const double power = std::inner_product(span.begin(), span.end(), span.begin(), 0.0);
    return span.empty() ? 0.0 : std::sqrt(power / double(span.size()));
}

float Peak(const AudioFrames& span) {
    float peak = 0;
    for (const float sample : span) peak = std::max(peak, std::abs(sample));
    return peak;
}

AudioFrames Steps(const AudioFrames& span) {
    AudioFrames steps;
    for (std::size_t i = 1; i < span.size(); ++i) steps.push_back(span[i] - span[i - 1]);
    return steps;
}
