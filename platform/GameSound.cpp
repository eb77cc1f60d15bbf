#include "platform/GameSound.h"

#include <QDir>
#include <QStringList>
#include <algorithm>

#include "platform/AudioSystem.h"
#include "platform/ConsoleNote.h"
#include "platform/WaveFile.h"

namespace {

std::vector<float> ReadSound(const QDir& folder, const char* fileName, QStringList& problems) {
    QString error;
    const Wave wave = WaveFile::Read(folder.filePath(QString::fromLatin1(fileName)), error);
    if (error.isEmpty() && wave.sampleRate != SOUND_SAMPLE_RATE) {
        error = QStringLiteral("recorded at %1 Hz, not %2 Hz")
                    .arg(wave.sampleRate)
                    .arg(SOUND_SAMPLE_RATE);
    }
    if (!error.isEmpty()) {
        problems.append(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(fileName), error));
        return {};
    }
    std::vector<float> samples(wave.samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = float(wave.samples[i]) / 32768.0f;
    }
    return samples;
}

}  // namespace

GameSound::GameSound(bool startMuted) : muted(startMuted) {
    quietTimer.setSingleShot(true);
    quietTimer.setInterval(QUIET_CLOSE_MS);
    QObject::connect(&quietTimer, &QTimer::timeout, [this] { CloseWhenQuiet(); });
}

GameSound::~GameSound() = default;

SoundBank GameSound::LoadSounds(const QString& soundDir, QStringList& problems) {
    const QDir folder(soundDir);
    SoundBank bank;
    for (int effect = 0; effect < SOUND_EFFECT_COUNT; ++effect) {
        bank.effects[std::size_t(effect)] =
            ReadSound(folder, SOUND_EFFECT_FILES[std::size_t(effect)], problems);
    }
    bank.engineLoop = ReadSound(folder, ENGINE_SOUND_FILE, problems);
    return bank;
}

bool GameSound::Open(const QString& soundDir, std::unique_ptr<AudioSystem> audioSystem) {
    if (opened) {
        return Heard();
    }
    opened = true;
    if (audioSystem == nullptr) {
        return false;
    }
    QStringList problems;
    SoundBank sounds = LoadSounds(soundDir, problems);
    if (problems.size() == SOUND_EFFECT_COUNT + 1) {
        SayOnConsole(QStringLiteral("no sound files in %1: playing without sound").arg(soundDir));
        return false;
    }
    audio = std::move(audioSystem);
    if (!audio->Ready()) {
        SayOnConsole(
            QStringLiteral("no sound device (%1): playing without sound").arg(audio->Error()));
        audio.reset();
        return false;
    }
    mixer = std::make_unique<SoundMixer>(std::move(sounds), muted);
    for (int car = 0; car < SoundMixer::CAR_COUNT; ++car) {
        mixer->SetEngine(car, engineSpeeds[std::size_t(car)]);
    }
    if (!OpenDevice()) {
        return false;
    }
    KeepOpen();
    if (!problems.isEmpty()) {
        SayOnConsole(
            QStringLiteral("some sounds stay silent, their files in %1 could not be read: %2")
                .arg(soundDir, problems.join(QStringLiteral(", "))));
    }
    return true;
}

bool GameSound::OpenDevice() {
    if (output != nullptr) {
        return true;
    }
    if (mixer == nullptr) {
        return false;
    }
    QString why;
    output = audio->Open(*mixer, why);
    if (output == nullptr) {
        // Said once: the game is silent from here on.
        SayOnConsole(QStringLiteral("no sound device (%1): playing without sound").arg(why));
        mixer.reset();
        audio.reset();
        return false;
    }
    return true;
}

void GameSound::KeepOpen() {
    if (output != nullptr) {
        quietTimer.start();
    }
}

bool GameSound::AnyEngineOn() const {
    return std::any_of(engineSpeeds.begin(), engineSpeeds.end(),
                       [](int speed) { return speed != ENGINE_OFF; });
}

void GameSound::CloseWhenQuiet() {
    if (!muted && AnyEngineOn()) {
        KeepOpen();
    } else {
        output.reset();
    }
}

void GameSound::Play(SoundEffect effect) {
    if (!muted && OpenDevice()) {
        mixer->Play(effect);
        KeepOpen();
    }
}

// Called as often as the game likes: only a change reaches the mixer.
void GameSound::SetEngine(int car, int speed) {
    if (car < 0 || car >= SoundMixer::CAR_COUNT) {
        return;
    }
    const int wanted = speed < 0 ? ENGINE_OFF : std::min(speed, SoundMixer::TOP_SPEED);
    int& current = engineSpeeds[std::size_t(car)];
    if (wanted == current) {
        return;
    }
    current = wanted;
    if (mixer != nullptr && (muted || wanted == ENGINE_OFF || OpenDevice())) {
        mixer->SetEngine(car, wanted);
        KeepOpen();
    }
}

void GameSound::StopAll() {
    engineSpeeds.fill(ENGINE_OFF);
    if (mixer != nullptr) {
        mixer->StopAll();
        KeepOpen();
    }
}

void GameSound::SetMuted(bool mute) {
    muted = mute;
    if (mixer == nullptr) {
        return;
    }
    mixer->SetMuted(mute);
    if (!mute && AnyEngineOn()) {
        OpenDevice();
    }
    KeepOpen();
}

std::int64_t GameSound::FramesMixed() const {
    return mixer != nullptr ? mixer->FramesMixed() : 0;
}
