#include "platform/Gamepads.h"

#include <SDL.h>

#include <QGuiApplication>
#include <algorithm>

namespace {

PadState StateOf(SDL_GameController* controller) {
    PadState state;
    for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button) {
        state.buttons[button] =
            SDL_GameControllerGetButton(controller, SDL_GameControllerButton(button)) != 0;
    }
    for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis) {
        state.axes[axis] = SDL_GameControllerGetAxis(controller, SDL_GameControllerAxis(axis));
    }
    return state;
}

}  // namespace

Gamepads::Gamepads(QObject* parent)
    : QObject(parent),
      sdl(SDL_INIT_GAMECONTROLLER),
      isActive([] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }),
      now([this] { return sinceStart.elapsed(); }) {
    sinceStart.start();
    if (!sdl.Ready()) {
        qWarning("Vantor: no game controllers: %s", qPrintable(sdl.Error()));
        return;
    }
    // The pads already connected announce themselves at the first poll.
    connect(&pollTimer, &QTimer::timeout, this, &Gamepads::Poll);
    pollTimer.start(PAD_POLL_MS);
    // Released at once when the window goes, listened to at once when it comes back.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &Gamepads::Poll);
}

// The controllers close before SDL's subsystem stops.
Gamepads::~Gamepads() {
    pads.clear();
}

std::vector<int> Gamepads::Slots() const {
    std::vector<int> taken;
    for (const Pad& pad : pads) {
        taken.push_back(pad.slot);
    }
    return taken;
}

void Gamepads::SetSecondPadIsPlayerTwo(bool on) {
    Send(keys.SetSecondPadIsPlayerTwo(on, now()));
}

void Gamepads::Poll() {
    if (!sdl.Ready()) {
        return;
    }
    SDL_PumpEvents();
    const bool listening = isActive();
    const qint64 time = now();
    const auto update = [&](Pad& pad) {
        Send(keys.Update(pad.slot, listening ? pad.state : PadState{}, time));
    };
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        switch (event.type) {
            case SDL_CONTROLLERDEVICEADDED:
                Open(event.cdevice.which);
                break;
            case SDL_CONTROLLERDEVICEREMOVED:
                Close(event.cdevice.which);
                break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                // Each button at once: a press and its release within one poll both count.
                if (Pad* pad = Find(event.cbutton.which);
                    pad != nullptr && event.cbutton.button < SDL_CONTROLLER_BUTTON_MAX) {
                    pad->state.buttons[event.cbutton.button] = event.cbutton.state == SDL_PRESSED;
                    update(*pad);
                }
                break;
            case SDL_CONTROLLERAXISMOTION:
                if (Pad* pad = Find(event.caxis.which);
                    pad != nullptr && event.caxis.axis < SDL_CONTROLLER_AXIS_MAX) {
                    pad->state.axes[event.caxis.axis] = event.caxis.value;
                    update(*pad);
                }
                break;
            default:
                break;
        }
    }
    // Also when nothing moved: the window may have become active or inactive since.
    for (Pad& pad : pads) {
        update(pad);
    }
    Send(keys.Repeat(time));
    // A pad not listened to need not be read often either: nothing it does is taken. Set only when
    // it changes, since setting it restarts the timer.
    const int interval = listening && !pads.empty() ? PAD_POLL_MS : HOTPLUG_POLL_MS;
    if (pollTimer.interval() != interval) {
        pollTimer.setInterval(interval);
    }
}

void Gamepads::Open(int deviceIndex) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0 || Find(id) != nullptr) {
        return;
    }
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (controller == nullptr) {
        return;
    }
    // The lowest free slot: a pad plugged in again gets its place back.
    int slot = 0;
    while (std::any_of(pads.begin(), pads.end(),
                       [slot](const Pad& pad) { return pad.slot == slot; })) {
        ++slot;
    }
    pads.push_back({slot, id, {controller, &SDL_GameControllerClose}, StateOf(controller)});
}

void Gamepads::Close(SDL_JoystickID id) {
    const auto pad = PadOf(id);
    if (pad != pads.end()) {
        const int slot = pad->slot;
        pads.erase(pad);
        Send(keys.Forget(slot));
    }
}

std::vector<Gamepads::Pad>::iterator Gamepads::PadOf(SDL_JoystickID id) {
    return std::find_if(pads.begin(), pads.end(), [id](const Pad& pad) { return pad.id == id; });
}

Gamepads::Pad* Gamepads::Find(SDL_JoystickID id) {
    const auto pad = PadOf(id);
    return pad != pads.end() ? &*pad : nullptr;
}

void Gamepads::Send(const std::vector<KeyStroke>& strokes) {
    for (const KeyStroke& stroke : strokes) {
        emit Key(stroke.key, stroke.pressed, stroke.autoRepeat);
    }
}
