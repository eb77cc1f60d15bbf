#pragma once

#include <SDL_audio.h>
#include <QString>

#include "platform/AudioSystem.h"

class SoundMixer;

// The sound device, fed by a mixer from SDL's own audio thread while this lives: mono 16-bit at
// the mixer's rate, in short buffers so that a sound follows its key closely. SDL's audio must be
// started (SdlSubsystem) while this lives.
class SdlAudioOutput : public AudioDevice {
  public:
    static constexpr int BUFFER_FRAMES = 512;

    // The mixer must outlive the output.
    explicit SdlAudioOutput(SoundMixer& mixer);
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool Ready() const { return device != 0; }
    // SDL's words when there is no device; empty when it plays.
    const QString& Error() const { return error; }

  private:
    static void SDLCALL Fill(void* mixer, Uint8* stream, int bytes);

    SDL_AudioDeviceID device = 0;
    QString error;
};
