#include "platform/SdlAudioOutput.h"

#include <SDL.h>

#include "platform/SoundEffect.h"
#include "platform/SoundMixer.h"

SdlAudioOutput::SdlAudioOutput(SoundMixer& mixer) {
    SDL_AudioSpec wanted{};
    wanted.freq = SOUND_SAMPLE_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = BUFFER_FRAMES;
    wanted.callback = &SdlAudioOutput::Fill;
    wanted.userdata = &mixer;
    // No changes allowed: SDL converts to whatever the device takes, so the mixer always fills
    // mono 16-bit buffers of its own rate.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device == 0) {
        error = QString::fromUtf8(SDL_GetError());
        return;
    }
    SDL_PauseAudioDevice(device, 0);
}

SdlAudioOutput::~SdlAudioOutput() {
    // Waits for the audio thread to finish, before the mixer it calls goes.
    if (device != 0) {
        SDL_CloseAudioDevice(device);
    }
}

void SDLCALL SdlAudioOutput::Fill(void* mixer, Uint8* stream, int bytes) {
    static_cast<SoundMixer*>(mixer)->Render(reinterpret_cast<std::int16_t*>(stream),
                                            bytes / int(sizeof(std::int16_t)));
}
