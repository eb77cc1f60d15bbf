#pragma once

#include <SDL_gamecontroller.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/PadKeys.h"
#include "platform/SdlSubsystem.h"

// The game controllers SDL knows, plugged in before or while the game runs, played as the
// keyboard's keys (PadKeys): each change is sent on as a key press or release. SDL's events are
// polled from a timer: often while a pad is connected and the game's window is active, and
// otherwise once a second, only to notice pads coming and going, so that an idle game uses no CPU.
// A pad unplugged releases what it held. While the game's window is not active, the pads hold
// nothing: what they held is released, and what they do is not taken.
class Gamepads : public QObject {
    Q_OBJECT

  public:
    static constexpr int PAD_POLL_MS = 16;
    static constexpr int HOTPLUG_POLL_MS = 1000;

    explicit Gamepads(QObject* parent = nullptr);
    ~Gamepads() override;

    // False when SDL could not start its game controllers (said once on standard error); no pad
    // is ever seen then.
    bool Ready() const { return sdl.Ready(); }
    // The slots of the pads connected now, in the order they were connected.
    std::vector<int> Slots() const;
    int PollInterval() const { return pollTimer.interval(); }

    // Whether the game's window is active; the application's state unless replaced.
    void SetActiveCheck(std::function<bool()> check) { isActive = std::move(check); }
    // Milliseconds on a steady clock, for the repeat of a held direction; replaceable.
    void SetClock(std::function<qint64()> clock) { now = std::move(clock); }

  public slots:
    // Takes in what happened since the last call: pads plugged in and out, buttons and sticks.
    void Poll();
    // With two players, the second pad drives the second car (PadKeys). A slot, so that the game,
    // which loads this library rather than links it, can call it through the meta-object.
    void SetSecondPadIsPlayerTwo(bool on);

  signals:
    // A key of the keyboard, as a pad presses or releases it.
    void Key(int key, bool pressed, bool autoRepeat);

  private:
    struct Pad {
        int slot;
        SDL_JoystickID id;
        std::unique_ptr<SDL_GameController, decltype(&SDL_GameControllerClose)> controller;
        PadState state;
    };

    void Open(int deviceIndex);
    void Close(SDL_JoystickID id);
    std::vector<Pad>::iterator PadOf(SDL_JoystickID id);
    Pad* Find(SDL_JoystickID id);
    void Send(const std::vector<KeyStroke>& strokes);

    SdlSubsystem sdl;
    PadKeys keys;
    std::vector<Pad> pads;
    QTimer pollTimer;
    QElapsedTimer sinceStart;
    std::function<bool()> isActive;
    std::function<qint64()> now;
};
