#pragma once

#include <SDL.h>

// A virtual joystick of the game controller type, which SDL maps as one: its button i is the
// controller's button i, its axis i the controller's axis i. SDL's game controllers must be
// started (a Gamepads lives) while it lives.
class VirtualPad {
  public:
    VirtualPad() {
        SDL_VirtualJoystickDesc pad{};
        pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        pad.naxes = SDL_CONTROLLER_AXIS_MAX;
        pad.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&pad));
    }
    ~VirtualPad() { Unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    void Hold(SDL_GameControllerButton button, bool held) {
        SDL_JoystickSetVirtualButton(joystick, button, held ? 1 : 0);
    }
    void Tilt(SDL_GameControllerAxis axis, int value) {
        SDL_JoystickSetVirtualAxis(joystick, axis, Sint16(value));
    }
    void Unplug() {
        for (int index = 0; joystick != nullptr && index < SDL_NumJoysticks(); ++index) {
            if (SDL_JoystickGetDeviceInstanceID(index) == SDL_JoystickInstanceID(joystick))
                SDL_JoystickDetachVirtual(index);
        }
        SDL_JoystickClose(joystick);
        joystick = nullptr;
    }

  private:
    SDL_Joystick* joystick = nullptr;
};
