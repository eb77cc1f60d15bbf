#include "platform/PadKeys.h"

#include <Qt>

namespace {

const struct {
    SDL_GameControllerButton button;
    PadKeys::Action action;
} BUTTON_ACTIONS[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, PadKeys::Up},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadKeys::Down},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadKeys::Left},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadKeys::Right},
    {SDL_CONTROLLER_BUTTON_A, PadKeys::Choose},
    {SDL_CONTROLLER_BUTTON_START, PadKeys::Pause},
    {SDL_CONTROLLER_BUTTON_B, PadKeys::Back},
    {SDL_CONTROLLER_BUTTON_BACK, PadKeys::Back},
    {SDL_CONTROLLER_BUTTON_X, PadKeys::RestartComputer},
};

// The left stick's half-axes: SDL's y grows downwards, as the screen's does.
const struct {
    SDL_GameControllerAxis axis;
    int sign;
    PadKeys::Action action;
} STICK_ACTIONS[] = {
    {SDL_CONTROLLER_AXIS_LEFTY, -1, PadKeys::Up},
    {SDL_CONTROLLER_AXIS_LEFTY, 1, PadKeys::Down},
    {SDL_CONTROLLER_AXIS_LEFTX, -1, PadKeys::Left},
    {SDL_CONTROLLER_AXIS_LEFTX, 1, PadKeys::Right},
};

// The keyboard's keys of each player, by action.
using PlayerKeys = std::array<int, PadKeys::ACTION_COUNT>;
const PlayerKeys ARROWS_PLAYER = {Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Left, Qt::Key_Right,
                                  Qt::Key_Return, Qt::Key_Escape, Qt::Key_R,    Qt::Key_Pause};
const PlayerKeys SECOND_PLAYER = {Qt::Key_W,      Qt::Key_S,      Qt::Key_A, Qt::Key_D,
                                  Qt::Key_Return, Qt::Key_Escape, Qt::Key_R, Qt::Key_Pause};
constexpr int SECOND_PAD = 1;

bool IsDirection(PadKeys::Action action) {
    return action <= PadKeys::Right;
}

}  // namespace

int PadKeys::KeyOf(int slot, Action action) const {
    const PlayerKeys& keys =
        secondPadIsPlayerTwo && slot == SECOND_PAD ? SECOND_PLAYER : ARROWS_PLAYER;
    return keys[action];
}

std::vector<KeyStroke> PadKeys::Update(int slot, const PadState& state, qint64 nowMs) {
    const auto before = HeldKeys();
    Pad& pad = pads[slot];
    pad.state = state;
    pad.holds = {};
    for (const auto& rule : BUTTON_ACTIONS) {
        pad.holds[rule.action] = pad.holds[rule.action] || state.buttons[rule.button];
    }
    for (const auto& rule : STICK_ACTIONS) {
        const int reach = state.axes[rule.axis] * rule.sign;
        bool& held = pad.stickHolds[rule.action];
        held = reach >= STICK_PRESS || (held && reach >= STICK_RELEASE);
        pad.holds[rule.action] = pad.holds[rule.action] || held;
    }
    return Changes(before, nowMs);
}

std::vector<KeyStroke> PadKeys::Forget(int slot) {
    const auto before = HeldKeys();
    pads.erase(slot);
    return Changes(before, 0);
}

std::vector<KeyStroke> PadKeys::Repeat(qint64 nowMs) {
    if (repeatKey == 0 || nowMs < nextRepeatMs) {
        return {};
    }
    nextRepeatMs = nowMs + REPEAT_INTERVAL_MS;
    return {{repeatKey, true, true}};
}

std::vector<KeyStroke> PadKeys::SetSecondPadIsPlayerTwo(bool on, qint64 nowMs) {
    const auto before = HeldKeys();
    secondPadIsPlayerTwo = on;
    return Changes(before, nowMs);
}

std::map<int, bool> PadKeys::HeldKeys() const {
    std::map<int, bool> held;
    for (const auto& [slot, pad] : pads) {
        for (int action = 0; action < ACTION_COUNT; ++action) {
            if (pad.holds[action]) {
                held[KeyOf(slot, Action(action))] = IsDirection(Action(action));
            }
        }
    }
    return held;
}

std::vector<KeyStroke> PadKeys::Changes(const std::map<int, bool>& before, qint64 nowMs) {
    const auto after = HeldKeys();
    std::vector<KeyStroke> strokes;
    for (const auto& [key, direction] : before) {
        if (after.count(key) == 0) {
            strokes.push_back({key, false, false});
            repeatKey = key == repeatKey ? 0 : repeatKey;
        }
    }
    for (const auto& [key, direction] : after) {
        if (before.count(key) == 0) {
            strokes.push_back({key, true, false});
            if (direction) {
                repeatKey = key;
                nextRepeatMs = nowMs + REPEAT_DELAY_MS;
            }
        }
    }
    return strokes;
}
