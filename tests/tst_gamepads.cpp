// Game controllers played as the keyboard's keys: the rules of the translation on their own, then
// SDL's virtual pads driving the whole game through its main widget, held against the same moves
// made with the keys.
#include <SDL.h>

#include <QKeySequence>
#include <QSignalSpy>
#include <QtTest>

#include "platform/Gamepads.h"
#include "platform/PadKeys.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"

namespace {

constexpr int HALF_TILT = 16384;
constexpr int FULL_TILT = 32767;

// Strokes as the player would name them: "press Up", "repeat Up", "release Up".
QStringList Named(const std::vector<KeyStroke>& strokes) {
    QStringList names;
    for (const KeyStroke& stroke : strokes) {
        const char* what = !stroke.pressed ? "release" : stroke.autoRepeat ? "repeat" : "press";
        names << QString("%1 %2").arg(what, QKeySequence(stroke.key).toString());
    }
    return names;
}

PadState Holding(std::initializer_list<SDL_GameControllerButton> buttons,
                 std::initializer_list<std::pair<SDL_GameControllerAxis, int>> axes = {}) {
    PadState state;
    for (const auto button : buttons) state.buttons[button] = true;
    for (const auto& [axis, value] : axes) state.axes[axis] = value;
    return state;
}

// A pad of SDL's virtual joysticks, of the game controller type, so that SDL maps it as one: its
// button i is the controller's button i, its axis i the controller's axis i. SDL's game controllers
// must be started (a Gamepads lives) while it is made, used and destroyed.
class VirtualPad {
  public:
    VirtualPad() {
        SDL_VirtualJoystickDesc pad{};
        pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        pad.naxes = SDL_CONTROLLER_AXIS_MAX;
        pad.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        pad.name = "tst_gamepads pad";
        joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&pad));
    }
    ~VirtualPad() { Unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool IsGameController() const {
        for (int index = 0; index < SDL_NumJoysticks(); ++index) {
            if (SDL_JoystickGetDeviceInstanceID(index) == SDL_JoystickInstanceID(joystick))
                return SDL_IsGameController(index) == SDL_TRUE;
        }
        return false;
    }
    void Hold(SDL_GameControllerButton button, bool held) {
        SDL_JoystickSetVirtualButton(joystick, button, held ? 1 : 0);
    }
    void Tilt(SDL_GameControllerAxis axis, int value) {
        SDL_JoystickSetVirtualAxis(joystick, axis, Sint16(value));
    }
    void Unplug() {
        if (joystick == nullptr)
            return;
        for (int index = 0; index < SDL_NumJoysticks(); ++index) {
            if (SDL_JoystickGetDeviceInstanceID(index) == SDL_JoystickInstanceID(joystick))
                SDL_JoystickDetachVirtual(index);
        }
        SDL_JoystickClose(joystick);
        joystick = nullptr;
    }

  private:
    SDL_Joystick* joystick = nullptr;
};

// One move on a pad and the key that makes it on the keyboard: a button held, or the left stick
// held out along an axis.
struct Move {
    int key;
    SDL_GameControllerButton button;
    SDL_GameControllerAxis axis = SDL_CONTROLLER_AXIS_INVALID;
    int tilt = 0;

    void Make(VirtualPad& pad, bool held) const {
        button != SDL_CONTROLLER_BUTTON_INVALID ? pad.Hold(button, held)
                                                : pad.Tilt(axis, held ? tilt : 0);
    }
};
const Move STICK_UP{Qt::Key_Up, SDL_CONTROLLER_BUTTON_INVALID, SDL_CONTROLLER_AXIS_LEFTY,
                    -FULL_TILT};
const Move STICK_DOWN{Qt::Key_Down, SDL_CONTROLLER_BUTTON_INVALID, SDL_CONTROLLER_AXIS_LEFTY,
                      FULL_TILT};
const Move STICK_LEFT{Qt::Key_Left, SDL_CONTROLLER_BUTTON_INVALID, SDL_CONTROLLER_AXIS_LEFTX,
                      -FULL_TILT};
const Move STICK_RIGHT{Qt::Key_Right, SDL_CONTROLLER_BUTTON_INVALID, SDL_CONTROLLER_AXIS_LEFTX,
                       HALF_TILT};
const Move PAD_DOWN{Qt::Key_Down, SDL_CONTROLLER_BUTTON_DPAD_DOWN};
const Move PAD_LEFT{Qt::Key_Left, SDL_CONTROLLER_BUTTON_DPAD_LEFT};
const Move PAD_RIGHT{Qt::Key_Right, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
const Move BUTTON_A{Qt::Key_Return, SDL_CONTROLLER_BUTTON_A};
const Move BUTTON_B{Qt::Key_Escape, SDL_CONTROLLER_BUTTON_B};
const Move BUTTON_X{Qt::Key_R, SDL_CONTROLLER_BUTTON_X};

// The whole game as the player meets it, played with the keys or with a virtual pad. The pads
// start only after the window's first frame; their clock and the window's activity are the test's.
struct Game {
    explicit Game(const QString& pictures) : widget(pictures), screens(widget) {
        widget.Start();
        padsStartedLate = widget.Pads() == nullptr;
        if (QTest::qWaitFor([this] { return widget.Pads() != nullptr; })) {
            pads = qobject_cast<Gamepads*>(widget.Pads());
            pads->SetActiveCheck([this] { return active; });
            pads->SetClock([this] { return clockMs; });
        }
        StartScreen* start = screens.start;
        QObject::connect(start, &StartScreen::RaceTrackUpdated,
                         [this](int track) { log << QString("track %1").arg(track); });
        QObject::connect(start, &StartScreen::RaceLevelUpdated,
                         [this](int level) { log << QString("level %1").arg(level); });
        QObject::connect(start, &StartScreen::RaceLengthUpdated,
                         [this](int laps) { log << QString("laps %1").arg(laps); });
        QObject::connect(start, &StartScreen::StartTheRace, [this] { log << "start"; });
    }
    // Takes in what the pads did and hands the keys they sent to the game.
    void Poll() {
        pads->Poll();
        QCoreApplication::sendPostedEvents(&widget);
    }
    void Press(int key, bool pressed, bool autoRepeat = false) {
        QKeyEvent event(pressed ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier,
                        QString(), autoRepeat);
        QApplication::sendEvent(&widget, &event);
    }
    // A move made and let go, on the pad when there is one, else on the keyboard.
    void Click(const Move& move) {
        for (const bool held : {true, false}) {
            pad != nullptr ? (move.Make(*pad, held), Poll()) : Press(move.key, held);
        }
    }
    void Tick() { QMetaObject::invokeMethod(screens.race, "TimeEvent"); }
    // Ticks on until the player's keys count.
    void TickToGo() {
        for (int tick = 0; tick < 100 && !screens.race->KeysEnabled(); ++tick) Tick();
    }
    QString OnShow() const {
        QStringList shown;
        for (const QWidget* screen :
             {(QWidget*)screens.start, (QWidget*)screens.race, (QWidget*)screens.end})
            if (screen->isVisible())
                shown << screen->metaObject()->className();
        return shown.join('+');
    }
    // The player's car and the computer's, as the race has them now.
    QString Cars() const {
        const RaceCar& user = *screens.race->Car(userControl);
        const RaceCar& computer = *screens.race->Car(computerControl);
        return QString("speed %1 heading %2 at %3,%4; computer at %5,%6")
            .arg(user.speed)
            .arg(user.direction)
            .arg(user.pos().x())
            .arg(user.pos().y())
            .arg(computer.pos().x())
            .arg(computer.pos().y());
    }

    Vantor widget;
    GameScreens screens;
    Gamepads* pads = nullptr;
    std::unique_ptr<VirtualPad> pad;
    bool padsStartedLate = false;
    bool active = true;
    qint64 clockMs = 0;
    QStringList log;
};

}  // namespace

class GamepadsTest : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;

  private slots:
    void initTestCase() {
        // Whatever else starts after the first frame makes no sound here.
        qputenv("SDL_AUDIODRIVER", "dummy");
    }

    // Every control of a pad against the key it stands for; the rest of the pad does nothing.
    void controlsAreTheKeys() {
        const struct {
            SDL_GameControllerButton button;
            QString key;
        } buttons[] = {
            {SDL_CONTROLLER_BUTTON_DPAD_UP, "Up"},
            {SDL_CONTROLLER_BUTTON_DPAD_DOWN, "Down"},
            {SDL_CONTROLLER_BUTTON_DPAD_LEFT, "Left"},
            {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, "Right"},
            {SDL_CONTROLLER_BUTTON_A, "Return"},
            {SDL_CONTROLLER_BUTTON_START, "Return"},
            {SDL_CONTROLLER_BUTTON_B, "Esc"},
            {SDL_CONTROLLER_BUTTON_BACK, "Esc"},
            {SDL_CONTROLLER_BUTTON_X, "R"},
            {SDL_CONTROLLER_BUTTON_Y, ""},
            {SDL_CONTROLLER_BUTTON_GUIDE, ""},
            {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, ""},
            {SDL_CONTROLLER_BUTTON_RIGHTSTICK, ""},
            {SDL_CONTROLLER_BUTTON_TOUCHPAD, ""},
        };
        for (const auto& [button, key] : buttons) {
            PadKeys keys;
            const QString name = SDL_GameControllerGetStringForButton(button);
            const QStringList press = key.isEmpty() ? QStringList() : QStringList{"press " + key};
            const QStringList release =
                key.isEmpty() ? QStringList() : QStringList{"release " + key};
            COMPARE_CASE(Named(keys.Update(0, Holding({button}), 0)), press, name.toUtf8());
            COMPARE_CASE(Named(keys.Update(0, {}, 10)), release, name.toUtf8());
        }
        // The right stick and the triggers, all the way out.
        PadKeys keys;
        for (const auto axis :
             {SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY,
              SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT}) {
            for (const int value : {-32768, 32767})
                COMPARE_CASE(Named(keys.Update(0, Holding({}, {{axis, value}}), 0)), QStringList(),
                             SDL_GameControllerGetStringForAxis(axis));
        }
    }

    // The left stick is a direction only well out of the middle, and lets go only well back in:
    // a stick resting near the edge does not chatter.
    void stickHasADeadZoneAndHysteresis() {
        const auto x = SDL_CONTROLLER_AXIS_LEFTX, y = SDL_CONTROLLER_AXIS_LEFTY;
        const struct {
            int x, y;
            QStringList strokes;
        } steps[] = {
            {PadKeys::STICK_PRESS - 1, 0, {}},
            {PadKeys::STICK_PRESS, 0, {"press Right"}},
            {PadKeys::STICK_RELEASE, 0, {}},
            {PadKeys::STICK_PRESS - 1, 0, {}},
            {PadKeys::STICK_RELEASE, 0, {}},
            {PadKeys::STICK_RELEASE - 1, 0, {"release Right"}},
            {PadKeys::STICK_PRESS - 1, 0, {}},
            {-PadKeys::STICK_PRESS, 0, {"press Left"}},
            {-32768, 0, {}},
            // Out along a diagonal: two directions at once, let go one at a time.
            {-23000, -23000, {"press Up"}},
            {-23000, -PadKeys::STICK_RELEASE + 1, {"release Up"}},
            {0, 32767, {"release Left", "press Down"}},
            {0, 0, {"release Down"}},
        };
        PadKeys keys;
        for (const auto& step : steps) {
            const QByteArray name = QString("stick at %1,%2").arg(step.x).arg(step.y).toUtf8();
            COMPARE_CASE(Named(keys.Update(0, Holding({}, {{x, step.x}, {y, step.y}}), 0)),
                         step.strokes, name);
        }
    }

    // A key is down while anything holds it: the d-pad or the stick of one pad, or another pad.
    // With two players the second pad's directions are the second player's keys.
    void keysAreHeldByAnyPad() {
        const auto stickLeft = std::pair(SDL_CONTROLLER_AXIS_LEFTX, -32768);
        const auto left = SDL_CONTROLLER_BUTTON_DPAD_LEFT, up = SDL_CONTROLLER_BUTTON_DPAD_UP;
        PadKeys keys;
        QCOMPARE(Named(keys.Update(0, Holding({left}, {stickLeft}), 0)), QStringList{"press Left"});
        QCOMPARE(Named(keys.Update(0, Holding({}, {stickLeft}), 0)), QStringList());
        QCOMPARE(Named(keys.Update(1, Holding({left, up}), 0)), QStringList{"press Up"});
        QCOMPARE(Named(keys.Update(0, {}, 0)), QStringList());
        QCOMPARE(Named(keys.Update(0, Holding({up}), 0)), QStringList());
        // The second pad gone: only what no other pad holds is released.
        QCOMPARE(Named(keys.Forget(1)), QStringList{"release Left"});
        QCOMPARE(Named(keys.Forget(0)), QStringList{"release Up"});
        QCOMPARE(Named(keys.Forget(0)), QStringList());

        QCOMPARE(Named(keys.Update(1, Holding({left, SDL_CONTROLLER_BUTTON_A}), 0)),
                 QStringList({"press Return", "press Left"}));
        QCOMPARE(Named(keys.SetSecondPadIsPlayerTwo(true, 0)),
                 QStringList({"release Left", "press A"}));
        QCOMPARE(Named(keys.Update(0, Holding({left, up}), 0)),
                 QStringList({"press Left", "press Up"}));
        const PadState threeWays =
            Holding({up, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_DPAD_DOWN});
        QCOMPARE(Named(keys.Update(1, threeWays, 0)),
                 QStringList({"release A", "release Return", "press D", "press S", "press W"}));
        QCOMPARE(Named(keys.Update(2, Holding({SDL_CONTROLLER_BUTTON_DPAD_RIGHT}), 0)),
                 QStringList{"press Right"});
        QCOMPARE(Named(keys.SetSecondPadIsPlayerTwo(false, 0)),
                 QStringList({"release D", "release S", "release W", "press Down"}));
    }

    // A held direction repeats as a held arrow key does: the last one pressed, after a delay, at
    // a steady rate, until it is let go. Buttons never repeat.
    void heldDirectionRepeats() {
        const auto right = SDL_CONTROLLER_BUTTON_DPAD_RIGHT, down = SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        const qint64 delay = PadKeys::REPEAT_DELAY_MS, interval = PadKeys::REPEAT_INTERVAL_MS;
        PadKeys keys;
        keys.Update(0, Holding({right, SDL_CONTROLLER_BUTTON_A}), 1000);
        const struct {
            qint64 at;
            QStringList strokes;
        } repeats[] = {
            {1000 + delay - 1, {}},
            {1000 + delay, {"repeat Right"}},
            {1000 + delay + interval - 1, {}},
            {1000 + delay + interval, {"repeat Right"}},
            {1000 + delay + 5 * interval, {"repeat Right"}},
            {1000 + delay + 5 * interval + 1, {}},
        };
        for (const auto& repeat : repeats)
            COMPARE_CASE(Named(keys.Repeat(repeat.at)), repeat.strokes,
                         QByteArray::number(repeat.at));
        QCOMPARE(Named(keys.Update(0, Holding({right, down}), 3000)),
                 QStringList({"release Return", "press Down"}));
        QCOMPARE(Named(keys.Repeat(3000 + delay - 1)), QStringList());
        QCOMPARE(Named(keys.Repeat(3000 + delay)), QStringList{"repeat Down"});
        // Down let go while Right is still held: nothing repeats, as on a keyboard.
        keys.Update(0, Holding({right}), 4000);
        QCOMPARE(Named(keys.Repeat(9000)), QStringList());
        keys.Update(0, Holding({SDL_CONTROLLER_BUTTON_START}), 9000);
        QCOMPARE(Named(keys.Repeat(20000)), QStringList());
    }

    // Pads plugged in and out while the game runs take the lowest free slot; SDL is read often
    // only while a pad is there to be listened to.
    void padsComeAndGo() {
        Gamepads pads;
        QVERIFY2(pads.Ready(), "SDL's game controllers did not start");
        bool active = true;
        pads.SetActiveCheck([&] { return active; });
        QSignalSpy keys(&pads, &Gamepads::Key);
        const auto pressed = [&] {
            QStringList names;
            for (const auto& key : keys) {
                names << QString("%1 %2").arg(key[1].toBool() ? "press" : "release",
                                              QKeySequence(key[0].toInt()).toString());
            }
            keys.clear();
            // Pads are read in no promised order.
            names.sort();
            return names;
        };
        const auto taken = [&] {
            const std::vector<int> slotsNow = pads.Slots();
            return QList<int>(slotsNow.begin(), slotsNow.end());
        };
        pads.Poll();
        QCOMPARE(pads.PollInterval(), Gamepads::HOTPLUG_POLL_MS);

        auto first = std::make_unique<VirtualPad>();
        QVERIFY(first->IsGameController());
        VirtualPad second;
        pads.Poll();
        QCOMPARE(taken(), QList<int>({0, 1}));
        QCOMPARE(pads.PollInterval(), Gamepads::PAD_POLL_MS);
        pads.SetSecondPadIsPlayerTwo(true);
        first->Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
        second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
        pads.Poll();
        QCOMPARE(pressed(), QStringList({"press Up", "press W"}));
        // A press and its release between two polls both count.
        second.Hold(SDL_CONTROLLER_BUTTON_X, true);
        SDL_JoystickUpdate();
        second.Hold(SDL_CONTROLLER_BUTTON_X, false);
        pads.Poll();
        QCOMPARE(pressed(), QStringList({"press R", "release R"}));

        first->Unplug();
        pads.Poll();
        QCOMPARE(pressed(), QStringList{"release Up"});
        QCOMPARE(taken(), QList<int>{1});
        // Plugged in again, the first pad is player one again.
        first = std::make_unique<VirtualPad>();
        first->Hold(SDL_CONTROLLER_BUTTON_B, true);
        pads.Poll();
        QCOMPARE(taken(), QList<int>({1, 0}));
        QCOMPARE(pressed(), QStringList{"press Esc"});

        // Not listened to: released, read once a second; listened to again: held again.
        active = false;
        pads.Poll();
        QCOMPARE(pressed(), QStringList({"release Esc", "release W"}));
        QCOMPARE(pads.PollInterval(), Gamepads::HOTPLUG_POLL_MS);
        second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        pads.Poll();
        QCOMPARE(pressed(), QStringList());
        active = true;
        pads.Poll();
        QCOMPARE(pressed(), QStringList{"press Esc"});
        QCOMPARE(pads.PollInterval(), Gamepads::PAD_POLL_MS);

        first->Unplug();
        second.Unplug();
        pads.Poll();
        QCOMPARE(pressed(), QStringList{"release Esc"});
        QCOMPARE(taken(), QList<int>());
        QCOMPARE(pads.PollInterval(), Gamepads::HOTPLUG_POLL_MS);
    }

    // The same moves on the keyboard and on a pad, through the start menu, a race's result and
    // back: the menu gives the same choices, a held direction runs through the tracks as a held
    // key does, and the end screen is left alike.
    void padPlaysTheMenusAsTheKeys() {
        const Move moves[] = {PAD_RIGHT,  STICK_RIGHT, PAD_DOWN,   PAD_RIGHT,
                              STICK_DOWN, PAD_LEFT,    STICK_DOWN, BUTTON_A};
        const QStringList expected{"track 5",      "level 1",   "laps 1",     "start",
                                   "VantorScreen", "EndScreen", "StartScreen"};
        for (const bool withPad : {false, true}) {
            Game game(pictures.Path());
            QVERIFY(game.padsStartedLate);
            QVERIFY2(game.pads != nullptr, "no pads after the first frame");
            if (withPad)
                game.pad = std::make_unique<VirtualPad>();
            // A direction held on the track row, as a key held for its first two repeats.
            const qint64 repeats = PadKeys::REPEAT_DELAY_MS + PadKeys::REPEAT_INTERVAL_MS;
            if (withPad) {
                game.pad->Hold(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
                game.Poll();
                for (game.clockMs = 0; game.clockMs <= repeats; game.clockMs += 50) game.Poll();
                game.pad->Hold(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
                game.Poll();
            } else {
                for (const bool repeat : {false, true, true})
                    game.Press(Qt::Key_Right, true, repeat);
                game.Press(Qt::Key_Right, false);
            }
            for (const Move& move : moves) game.Click(move);
            game.log << game.OnShow();
            // The computer wins the one-lap race while the player waits.
            for (int tick = 0; tick < 5000 && game.OnShow() == "VantorScreen"; ++tick) game.Tick();
            game.log << game.OnShow();
            game.Click(BUTTON_B);
            game.log << game.OnShow();
            COMPARE_CASE(game.log, expected, withPad ? "with the pad" : "with the keys");
        }
    }

    // The same race driven with the keys and with a pad, tick by tick: speeding up, steering both
    // ways with the d-pad and the stick, putting the computer's car back; then the pad unplugged
    // while it holds two directions lets go of both, as the keys let go.
    void padDrivesTheRaceAsTheKeys() {
        const struct {
            int tick;
            Move move;
            bool held;
        } script[] = {
            {0, STICK_UP, true},     {3, PAD_RIGHT, true}, {15, PAD_RIGHT, false},
            {20, STICK_LEFT, true},  {26, PAD_DOWN, true}, {30, PAD_DOWN, false},
            {34, STICK_LEFT, false}, {40, BUTTON_X, true}, {41, BUTTON_X, false},
            {50, STICK_UP, false},   {52, STICK_UP, true}, {54, PAD_LEFT, true},
        };
        constexpr int UNPLUG_AT = 60, LAST_TICK = 90;
        QStringList byKeys;
        for (const bool withPad : {false, true}) {
            Game game(pictures.Path());
            QVERIFY2(game.pads != nullptr, "no pads after the first frame");
            for (const Move& move : {PAD_DOWN, PAD_DOWN, PAD_DOWN, BUTTON_A}) game.Click(move);
            QCOMPARE(game.OnShow(), "VantorScreen");
            if (withPad)
                game.pad = std::make_unique<VirtualPad>();
            game.TickToGo();
            QStringList cars;
            for (int tick = 0; tick <= LAST_TICK; ++tick) {
                for (const auto& step : script) {
                    if (step.tick != tick)
                        continue;
                    withPad ? step.move.Make(*game.pad, step.held)
                            : game.Press(step.move.key, step.held);
                }
                if (tick == UNPLUG_AT) {
                    withPad ? game.pad->Unplug()
                            : (game.Press(Qt::Key_Up, false), game.Press(Qt::Key_Left, false));
                }
                if (withPad)
                    game.Poll();
                game.Tick();
                cars << QString("tick %1: %2").arg(tick).arg(game.Cars());
            }
            if (!withPad) {
                byKeys = cars;
                continue;
            }
            QCOMPARE(cars, byKeys);
        }
        // The race did something: the car sped up and turned both ways before the pad went.
        QSet<QString> speeds, headings;
        for (const QString& cars : byKeys.mid(0, UNPLUG_AT)) {
            speeds << cars.section("speed ", 1).section(' ', 0, 0);
            headings << cars.section("heading ", 1).section(' ', 0, 0);
        }
        QVERIFY2(speeds.contains("3") && headings.size() >= 5, qPrintable(byKeys.join('\n')));
    }

    // Pads are heard only while the game's window is active: a pad's moves change nothing then,
    // and what it held when the window went is let go, on the menu and in a race.
    void padIsIgnoredWhileTheWindowIsInactive() {
        Game game(pictures.Path());
        QVERIFY2(game.pads != nullptr, "no pads after the first frame");
        game.pad = std::make_unique<VirtualPad>();
        game.active = false;
        game.Click(PAD_DOWN);
        game.Click(PAD_RIGHT);
        QCOMPARE(game.log, QStringList());
        game.active = true;
        for (const Move& move : {PAD_DOWN, PAD_DOWN, PAD_DOWN, BUTTON_A}) game.Click(move);
        QCOMPARE(game.log.last(), "start");

        // Turning on the spot, so that only the keys move the car.
        game.TickToGo();
        const auto heading = [&] { return game.Cars().section(" at", 0, 0); };
        const QString standing = heading();
        PAD_RIGHT.Make(*game.pad, true);
        game.Poll();
        for (int tick = 0; tick < 20; ++tick) game.Tick();
        const QString turned = heading();
        QVERIFY2(turned != standing && turned.startsWith("speed 0 "), qPrintable(turned));
        game.active = false;
        game.Poll();
        STICK_UP.Make(*game.pad, true);
        game.Poll();
        for (int tick = 0; tick < 20; ++tick) game.Tick();
        QCOMPARE(heading(), turned);
        // Both held again when the window comes back.
        game.active = true;
        game.Poll();
        game.Tick();
        QVERIFY2(heading() != turned && !heading().startsWith("speed 0 "), qPrintable(heading()));
    }
};

QTEST_MAIN(GamepadsTest)
#include "tst_gamepads.moc"
