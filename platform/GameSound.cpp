#include "platform/GameSound.h"

#include <QDir>
#include <QStringList>

#include "platform/ConsoleNote.h"
#include "platform/SdlAudioOutput.h"
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

GameSound::GameSound(bool startMuted) : muted(startMuted) {}

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

bool GameSound::Open(const QString& soundDir) {
    if (opened) {
        return Heard();
    }
    opened = true;
    QStringList problems;
    SoundBank sounds = LoadSounds(soundDir, problems);
    if (problems.size() == SOUND_EFFECT_COUNT + 1) {
        SayOnConsole(QStringLiteral("no sound files in %1: playing without sound").arg(soundDir));
        return false;
    }
    mixer = std::make_unique<SoundMixer>(std::move(sounds), muted);
    output = std::make_unique<SdlAudioOutput>(*mixer);
    if (!output->Ready()) {
        SayOnConsole(
            QStringLiteral("no sound device (%1): playing without sound").arg(output->Error()));
        output.reset();
        mixer.reset();
        return false;
    }
    if (!problems.isEmpty()) {
        SayOnConsole(
            QStringLiteral("some sounds stay silent, their files in %1 could not be read: %2")
                .arg(soundDir, problems.join(QStringLiteral(", "))));
    }
    return true;
}

void GameSound::Play(SoundEffect effect) {
    if (mixer != nullptr) {
        mixer->Play(effect);
    }
}

void GameSound::SetEngine(int car, int speed) {
    if (mixer != nullptr) {
        mixer->SetEngine(car, speed);
    }
}

void GameSound::StopAll() {
    if (mixer != nullptr) {
        mixer->StopAll();
    }
}

void GameSound::SetMuted(bool mute) {
    muted = mute;
    if (mixer != nullptr) {
        mixer->SetMuted(mute);
    }
}

std::int64_t GameSound::FramesMixed() const {
    return mixer != nullptr ? mixer->FramesMixed() : 0;
}
