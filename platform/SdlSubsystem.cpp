#include "platform/SdlSubsystem.h"

#include <SDL.h>

SdlSubsystem::SdlSubsystem(std::uint32_t subsystemFlags) : flags(subsystemFlags) {
    // Must be set before SDL starts anything: its handlers would take Ctrl+C away from Qt.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    ready = SDL_InitSubSystem(flags) == 0;
    if (!ready) {
        error = QString::fromUtf8(SDL_GetError());
    }
}

SdlSubsystem::~SdlSubsystem() {
    if (ready) {
        SDL_QuitSubSystem(flags);
        if (SDL_WasInit(0) == 0) {
            SDL_Quit();
        }
    }
}
