#pragma once

#include <QString>
#include <memory>

class SoundMixer;

// A sound device, fed by a mixer from the device's own thread for as long as it lives.
class AudioDevice {
  public:
    virtual ~AudioDevice() = default;
};

// What opens sound devices: SDL's audio, which lives in the library the game loads after its
// first frame (SdlServices.h), started while this lives.
class AudioSystem {
  public:
    virtual ~AudioSystem() = default;

    // False where there is no sound at all; Error() then says why.
    virtual bool Ready() const = 0;
    virtual const QString& Error() const = 0;
    // A device fed by the mixer, which must outlive it; null when none opens, and why says why.
    virtual std::unique_ptr<AudioDevice> Open(SoundMixer& mixer, QString& why) = 0;
};
