#include "platform/SdlAudio.h"

#include <SDL.h>
#include <dlfcn.h>

#include "platform/SdlAudioOutput.h"

namespace {

// ALSA's error handler, as its library declares it.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error,
                                  const char* format, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler handler);

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

SdlAudio::SdlAudio() {
    QuietenSystemMessages();
    audio = std::make_unique<SdlSubsystem>(SDL_INIT_AUDIO);
}

void SdlAudio::QuietenSystemMessages() {
    // SDL loads ALSA itself, where it is installed; the handler is set on that same library,
    // which stays loaded for as long as the process runs.
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NODELETE);
    if (alsa == nullptr) {
        return;
    }
    if (auto* setHandler =
            reinterpret_cast<SetAlsaErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) {
        setHandler(&IgnoreAlsaError);
    }
    dlclose(alsa);
}

std::unique_ptr<AudioDevice> SdlAudio::Open(SoundMixer& mixer, QString& why) {
    auto output = std::make_unique<SdlAudioOutput>(mixer);
    if (!output->Ready()) {
        why = output->Error();
        return nullptr;
    }
    return output;
}
