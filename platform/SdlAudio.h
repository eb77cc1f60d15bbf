#pragma once

#include "platform/AudioSystem.h"
#include "platform/SdlSubsystem.h"

// SDL's audio: started while this lives, with ALSA's own messages kept off standard error.
class SdlAudio : public AudioSystem {
  public:
    SdlAudio();

    bool Ready() const override { return audio->Ready(); }
    const QString& Error() const override { return audio->Error(); }
    std::unique_ptr<AudioDevice> Open(SoundMixer& mixer, QString& why) override;

  private:
    // Keeps ALSA's own messages off standard error: looking for a device on a machine without
    // one, it would print a dozen lines, where the game says one. Called before SDL's audio
    // starts.
    static void QuietenSystemMessages();

    std::unique_ptr<SdlSubsystem> audio;
};
