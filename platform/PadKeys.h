#pragma once

#include <SDL_gamecontroller.h>

#include <QtGlobal>
#include <array>
#include <map>
#include <vector>

// What one game controller holds, in SDL's game controller numbering (its mapping database turns
// every known pad into this one layout).
struct PadState {
    std::array<bool, SDL_CONTROLLER_BUTTON_MAX> buttons{};
    // -32768 to 32767; a stick at rest is near 0.
    std::array<int, SDL_CONTROLLER_AXIS_MAX> axes{};
};

// A key of the keyboard pressed or released on behalf of a pad, as a Qt key code.
struct KeyStroke {
    int key;
    bool pressed;
    bool autoRepeat;

    bool operator==(const KeyStroke& other) const {
        return key == other.key && pressed == other.pressed && autoRepeat == other.autoRepeat;
    }
};

// Turns what the pads hold into the keyboard's keys, so that a pad plays exactly as the keys do:
// the d-pad and the left stick are the arrows, A is Return, B and Back are Escape, X is R, and
// Start is the Pause key, which chooses on the menu as Return does and pauses a race. Each pad has
// a slot (0 for the first one connected, 1 for the second); a key stays down while any pad holds
// it. A held direction repeats as a held arrow key does, for the menu; the game itself ignores
// repeats, as it does the keyboard's.
class PadKeys {
  public:
    // What a control means in the game; each player has a key for it.
    enum Action { Up, Down, Left, Right, Choose, Back, RestartComputer, Pause, ACTION_COUNT };

    // The left stick counts as a direction from this far out, and lets go only when back within
    // the smaller distance, so a stick resting at the edge does not chatter.
    static constexpr int STICK_PRESS = 16000;
    static constexpr int STICK_RELEASE = 11000;
    static constexpr qint64 REPEAT_DELAY_MS = 400;
    static constexpr qint64 REPEAT_INTERVAL_MS = 100;

    // What a pad's slot holds now, at a time in milliseconds on any steady clock. A pad that is
    // gone or not listened to holds nothing: PadState{}. Returns the keys that changed.
    std::vector<KeyStroke> Update(int slot, const PadState& state, qint64 nowMs);
    // The pad of a slot is gone: whatever it held is released.
    std::vector<KeyStroke> Forget(int slot);
    // The repeat of the held direction that is due by now, if any.
    std::vector<KeyStroke> Repeat(qint64 nowMs);

    // With two players, the second pad drives the second car with its keys (W A S D) instead of
    // the arrows; its buttons stay as they are. Off, every pad is the arrows.
    std::vector<KeyStroke> SetSecondPadIsPlayerTwo(bool on, qint64 nowMs);
    bool SecondPadIsPlayerTwo() const { return secondPadIsPlayerTwo; }

  private:
    struct Pad {
        PadState state;
        // What the stick holds, kept for its hysteresis; what the whole pad holds.
        std::array<bool, ACTION_COUNT> stickHolds{};
        std::array<bool, ACTION_COUNT> holds{};
    };

    int KeyOf(int slot, Action action) const;
    // Every key some pad holds, each with whether it is a direction.
    std::map<int, bool> HeldKeys() const;
    // Releases, then presses, from the keys held before to those held now.
    std::vector<KeyStroke> Changes(const std::map<int, bool>& before, qint64 nowMs);

    std::map<int, Pad> pads;
    bool secondPadIsPlayerTwo = false;
    // The direction key that repeats (the last one pressed), 0 for none, and when it repeats next.
    int repeatKey = 0;
    qint64 nextRepeatMs = 0;
};
