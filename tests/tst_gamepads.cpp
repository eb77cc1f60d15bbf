// Game controllers played as the keyboard's keys: the translation on its own, SDL's virtual pads
// coming and going, and a pad playing the whole game through its main widget exactly as the same
// moves made on the keyboard do.
#include <SDL.h>

#include <QKeySequence>
#include <QSignalSpy>
#include <QtTest>

#include "platform/Gamepads.h"
#include "platform/PadKeys.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"
#include "tests/support/VirtualPad.h"

namespace {

// Strokes as a player names them: "+Up" pressed, "*Up" repeated, "-Up" released.
QStringList Named(const std::vector<KeyStroke>& strokes) {
    QStringList names;
    for (const KeyStroke& stroke : strokes) {
        const char* how = !stroke.pressed ? "-" : stroke.autoRepeat ? "*" : "+";
        names << how + QKeySequence(stroke.key).toString();
    }
    return names;
}

// Buttons held, and the left stick at x, y.
PadState Holding(std::initializer_list<SDL_GameControllerButton> buttons, int x = 0, int y = 0) {
    PadState state;
    for (const auto button : buttons) state.buttons[button] = true;
    state.axes[SDL_CONTROLLER_AXIS_LEFTX] = x;
    state.axes[SDL_CONTROLLER_AXIS_LEFTY] = y;
    return state;
}

// A move on a pad, and the key that makes it on the keyboard: a button, or the left stick held
// out along an axis.
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
constexpr auto NO_BUTTON = SDL_CONTROLLER_BUTTON_INVALID;
const Move STICK_UP{Qt::Key_Up, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTY, -32768};
const Move STICK_DOWN{Qt::Key_Down, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTY, 32767};
const Move STICK_LEFT{Qt::Key_Left, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTX, -20000};
const Move STICK_RIGHT{Qt::Key_Right, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTX, PadKeys::STICK_PRESS};
const Move PAD_DOWN{Qt::Key_Down, SDL_CONTROLLER_BUTTON_DPAD_DOWN};
const Move PAD_LEFT{Qt::Key_Left, SDL_CONTROLLER_BUTTON_DPAD_LEFT};
const Move PAD_RIGHT{Qt::Key_Right, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
const Move BUTTON_A{Qt::Key_Return, SDL_CONTROLLER_BUTTON_A};
const Move BUTTON_B{Qt::Key_Escape, SDL_CONTROLLER_BUTTON_B};
const Move BUTTON_X{Qt::Key_R, SDL_CONTROLLER_BUTTON_X};

// The whole game, played with the keys, or with a virtual pad once its pads have started after
// the first frame; their clock is the test's, and the window counts as active.
struct Game {
    Game(const QString& pictures, bool withPad) : widget(pictures), screens(widget) {
        widget.Start();
        padsStartedLate = widget.Pads() == nullptr;
        if (QTest::qWaitFor([this] { return widget.Pads() != nullptr; })) {
            pads = qobject_cast<Gamepads*>(widget.Pads());
            pads->SetActiveCheck([] { return true; });
            pads->SetClock([this] { return clockMs; });
            pad = withPad ? std::make_unique<VirtualPad>() : nullptr;
        }
        QObject::connect(screens.start, &StartScreen::RaceTrackUpdated,
                         [this](int track) { seen << QString("track %1").arg(track); });
        QObject::connect(screens.start, &StartScreen::RaceLevelUpdated,
                         [this](int level) { seen << QString("level %1").arg(level); });
        QObject::connect(screens.start, &StartScreen::RaceLengthUpdated,
                         [this](int laps) { seen << QString("laps %1").arg(laps); });
        QObject::connect(screens.start, &StartScreen::StartTheRace, [this] { seen << "start"; });
    }
    // A move held or let go on the pad, or on the keyboard; the pad's keys are then delivered.
    void Make(const Move& move, bool held) {
        if (pad == nullptr) {
            QKeyEvent event(held ? QEvent::KeyPress : QEvent::KeyRelease, move.key, Qt::NoModifier);
            QApplication::sendEvent(&widget, &event);
            return;
        }
        move.Make(*pad, held);
        Poll();
    }
    void Click(const Move& move) {
        Make(move, true);
        Make(move, false);
    }
    void Poll() {
        pads->Poll();
        QCoreApplication::sendPostedEvents(&widget);
    }
    void Tick() { QMetaObject::invokeMethod(screens.race, "TimeEvent"); }
    QString OnShow() const {
        for (const QWidget* screen :
             {(QWidget*)screens.start, (QWidget*)screens.race, (QWidget*)screens.end})
            if (screen->isVisible())
                return screen->metaObject()->className();
        return "none";
    }
    QString Cars() const {
        const RaceCar& user = *screens.race->Car(userControl);
        const QPointF computer = screens.race->Car(computerControl)->pos();
        return QString("speed %1 heading %2 at %3,%4; computer at %5,%6")
            .arg(user.speed)
            .arg(user.direction)
            .arg(user.pos().x())
            .arg(user.pos().y())
            .arg(computer.x())
            .arg(computer.y());
    }

    Vantor widget;
    GameScreens screens;
    Gamepads* pads = nullptr;
    std::unique_ptr<VirtualPad> pad;
    bool padsStartedLate = false;
    qint64 clockMs = 0;
    QStringList seen;
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

    // Every button against the key it stands for; the rest of the pad does nothing.
    void controlsAreTheKeys() {
        const QList<QPair<SDL_GameControllerButton, QString>> buttons = {
            {SDL_CONTROLLER_BUTTON_DPAD_UP, "Up"},
            {SDL_CONTROLLER_BUTTON_DPAD_DOWN, "Down"},
            {SDL_CONTROLLER_BUTTON_DPAD_LEFT, "Left"},
            {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, "Right"},
            {SDL_CONTROLLER_BUTTON_A, "Return"},
            {SDL_CONTROLLER_BUTTON_START, "Pause"},
            {SDL_CONTROLLER_BUTTON_B, "Esc"},
            {SDL_CONTROLLER_BUTTON_BACK, "Esc"},
            {SDL_CONTROLLER_BUTTON_X, "R"},
            {SDL_CONTROLLER_BUTTON_Y, ""},
            {SDL_CONTROLLER_BUTTON_GUIDE, ""},
            {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, ""}};
        PadKeys keys;
        for (const auto& [button, key] : buttons) {
            QStringList click = Named(keys.Update(0, Holding({button}), 0));
            click += Named(keys.Update(0, {}, 0));
            COMPARE_CASE(click, key.isEmpty() ? QStringList() : QStringList({"+" + key, "-" + key}),
                         SDL_GameControllerGetStringForButton(button));
        }
        PadState otherAxes;
        for (const auto axis : {SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY,
                                SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT})
            otherAxes.axes[axis] = 32767;
        QCOMPARE(Named(keys.Update(0, otherAxes, 0)), QStringList());
    }

    // The left stick is a direction only well out of the middle, and lets go only well back in,
    // so that a stick resting near the edge does not chatter.
    void stickHasADeadZoneAndHysteresis() {
        const int press = PadKeys::STICK_PRESS, release = PadKeys::STICK_RELEASE;
        const struct {
            int x, y;
            QStringList strokes;
        } steps[] = {
            {press - 1, 0, {}},
            {press, 0, {"+Right"}},
            {release, 0, {}},
            {press - 1, 0, {}},
            {release - 1, 0, {"-Right"}},
            {press - 1, 0, {}},
            {-press, 0, {"+Left"}},
            {-32768, 0, {}},
            // Along a diagonal, two directions at once, let go one at a time.
            {-23000, -23000, {"+Up"}},
            {-23000, 1 - release, {"-Up"}},
            {0, 32767, {"-Left", "+Down"}},
            {0, 0, {"-Down"}},
        };
        PadKeys keys;
        for (const auto& step : steps)
            COMPARE_CASE(Named(keys.Update(0, Holding({}, step.x, step.y), 0)), step.strokes,
                         QString("stick at %1,%2").arg(step.x).arg(step.y).toUtf8());
    }

    // A key is down while anything holds it: the d-pad or the stick of a pad, or another pad.
    // With two players the second pad's directions are the second player's keys.
    void keysAreHeldByAnyPad() {
        const auto left = SDL_CONTROLLER_BUTTON_DPAD_LEFT, up = SDL_CONTROLLER_BUTTON_DPAD_UP,
                   right = SDL_CONTROLLER_BUTTON_DPAD_RIGHT, a = SDL_CONTROLLER_BUTTON_A;
        PadKeys keys;
        QCOMPARE(Named(keys.Update(0, Holding({left}, -32768), 0)), QStringList{"+Left"});
        QCOMPARE(Named(keys.Update(0, Holding({}, -32768), 0)), QStringList());
        QCOMPARE(Named(keys.Update(1, Holding({left, up}), 0)), QStringList{"+Up"});
        QCOMPARE(Named(keys.Update(0, Holding({up}), 0)), QStringList());
        QCOMPARE(Named(keys.Forget(1)), QStringList{"-Left"});
        QCOMPARE(Named(keys.Forget(0)), QStringList{"-Up"});

        QCOMPARE(Named(keys.Update(1, Holding({left, a}), 0)), QStringList({"+Return", "+Left"}));
        QCOMPARE(Named(keys.SetSecondPadIsPlayerTwo(true, 0)), QStringList({"-Left", "+A"}));
        QCOMPARE(Named(keys.Update(0, Holding({left}), 0)), QStringList{"+Left"});
        QCOMPARE(Named(keys.Update(1, Holding({up, right}, 0, 32767), 0)),
                 QStringList({"-A", "-Return", "+D", "+S", "+W"}));
        QCOMPARE(Named(keys.Update(2, Holding({right}), 0)), QStringList{"+Right"});
        QCOMPARE(Named(keys.SetSecondPadIsPlayerTwo(false, 0)),
                 QStringList({"-D", "-S", "-W", "+Up", "+Down"}));
    }

    // A held direction repeats as a held arrow key does: the last one pressed, after a delay, at
    // a steady rate, until it is let go. Buttons never repeat.
    void heldDirectionRepeats() {
        const auto right = SDL_CONTROLLER_BUTTON_DPAD_RIGHT, down = SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        const qint64 delay = PadKeys::REPEAT_DELAY_MS, interval = PadKeys::REPEAT_INTERVAL_MS;
        PadKeys keys;
        keys.Update(0, Holding({right, SDL_CONTROLLER_BUTTON_A}), 1000);
        const QList<QPair<qint64, QStringList>> repeats = {
            {1000 + delay - 1, {}},
            {1000 + delay, {"*Right"}},
            {1000 + delay + interval - 1, {}},
            {1000 + delay + interval, {"*Right"}},
            {1000 + delay + 5 * interval, {"*Right"}},
            {1000 + delay + 5 * interval + 1, {}}};
        for (const auto& [at, strokes] : repeats)
            COMPARE_CASE(Named(keys.Repeat(at)), strokes, QByteArray::number(at));
        QCOMPARE(Named(keys.Update(0, Holding({right, down}), 3000)),
                 QStringList({"-Return", "+Down"}));
        QCOMPARE(Named(keys.Repeat(3000 + delay - 1)), QStringList());
        QCOMPARE(Named(keys.Repeat(3000 + delay)), QStringList{"*Down"});
        // Down let go while Right is still held: nothing repeats, as on a keyboard.
        keys.Update(0, Holding({right}), 4000);
        QCOMPARE(Named(keys.Repeat(9000)), QStringList());
    }

    // Pads plugged in and out take the lowest free slot; a tap between two polls counts; SDL is
    // read often only while a pad is there to be heard, which is only while the window is active:
    // then what the pads held is let go, and what they do is not taken.
    void padsComeAndGo() {
        Gamepads pads;
        QVERIFY2(pads.Ready(), "SDL's game controllers did not start");
        bool active = true;
        pads.SetActiveCheck([&] { return active; });
        QSignalSpy keys(&pads, &Gamepads::Key);
        const auto strokes = [&] {
            QStringList names;
            for (const auto& key : keys)
                names << (key[1].toBool() ? "+" : "-") + QKeySequence(key[0].toInt()).toString();
            keys.clear();
            names.sort();  // pads are read in no promised order
            return names;
        };
        const auto taken = [&] {
            const std::vector<int> slotsNow = pads.Slots();
            return QList<int>(slotsNow.begin(), slotsNow.end());
        };
        pads.Poll();
        QCOMPARE(pads.PollInterval(), Gamepads::HOTPLUG_POLL_MS);

        auto first = std::make_unique<VirtualPad>();
        VirtualPad second;
        pads.Poll();
        QCOMPARE(taken(), QList<int>({0, 1}));
        QCOMPARE(pads.PollInterval(), Gamepads::PAD_POLL_MS);
        // As the game, which does not link the pads' library, switches it.
        QVERIFY(QMetaObject::invokeMethod(&pads, "SetSecondPadIsPlayerTwo", Q_ARG(bool, true)));
        first->Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
        second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
        second.Hold(SDL_CONTROLLER_BUTTON_X, true);
        SDL_JoystickUpdate();
        second.Hold(SDL_CONTROLLER_BUTTON_X, false);
        pads.Poll();
        QCOMPARE(strokes(), QStringList({"+R", "+Up", "+W", "-R"}));

        first->Unplug();
        pads.Poll();
        QCOMPARE(strokes(), QStringList{"-Up"});
        QCOMPARE(taken(), QList<int>{1});
        first = std::make_unique<VirtualPad>();
        first->Hold(SDL_CONTROLLER_BUTTON_B, true);
        pads.Poll();
        QCOMPARE(taken(), QList<int>({1, 0}));
        QCOMPARE(strokes(), QStringList{"+Esc"});

        active = false;
        pads.Poll();
        QCOMPARE(strokes(), QStringList({"-Esc", "-W"}));
        QCOMPARE(pads.PollInterval(), Gamepads::HOTPLUG_POLL_MS);
        second.Hold(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
        first->Hold(SDL_CONTROLLER_BUTTON_A, true);
        pads.Poll();
        QCOMPARE(strokes(), QStringList());
        active = true;
        pads.Poll();
        QCOMPARE(strokes(), QStringList({"+Esc", "+Return"}));

        first->Unplug();
        second.Unplug();
        pads.Poll();
        QCOMPARE(strokes(), QStringList({"-Esc", "-Return"}));
        QCOMPARE(taken(), QList<int>());
        QCOMPARE(pads.PollInterval(), Gamepads::HOTPLUG_POLL_MS);
    }

    // The same moves on the keyboard and on a pad, through the whole game: a direction held on
    // the menu's track row, the menu's choices, a race driven tick by tick (speeding up, steering
    // both ways with the d-pad and the stick, the computer's car put back), the pad unplugged
    // mid-race while it holds two directions (the keys let go at that tick), the result, and back.
    void padPlaysTheGameAsTheKeys() {
        const Move menu[] = {PAD_RIGHT, STICK_RIGHT, PAD_DOWN,   PAD_RIGHT, STICK_DOWN,
                             PAD_LEFT,  STICK_DOWN,  STICK_DOWN, BUTTON_A};
        const struct {
            int tick;
            Move move;
            bool held;
        } race[] = {
            {0, STICK_UP, true},     {3, PAD_RIGHT, true}, {15, PAD_RIGHT, false},
            {20, STICK_LEFT, true},  {26, PAD_DOWN, true}, {30, PAD_DOWN, false},
            {34, STICK_LEFT, false}, {40, BUTTON_X, true}, {41, BUTTON_X, false},
            {50, STICK_UP, false},   {52, STICK_UP, true}, {54, PAD_LEFT, true},
        };
        constexpr int UNPLUG_AT = 60, RACE_TICKS = 90;
        QStringList withKeys;
        for (const bool withPad : {false, true}) {
            Game game(pictures.Path(), withPad);
            QVERIFY(game.padsStartedLate);
            QVERIFY2(game.pads != nullptr, "no pads after the first frame");
            // Right held for two repeats on the keyboard, and as long on the pad's clock.
            game.Make(PAD_RIGHT, true);
            for (const qint64 repeatAt : {PadKeys::REPEAT_DELAY_MS,
                                          PadKeys::REPEAT_DELAY_MS + PadKeys::REPEAT_INTERVAL_MS}) {
                QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
                if (withPad) {
                    game.clockMs = repeatAt;
                    game.Poll();
                } else {
                    QApplication::sendEvent(&game.widget, &repeat);
                }
            }
            game.Make(PAD_RIGHT, false);
            for (const Move& move : menu) game.Click(move);
            game.seen << game.OnShow();

            for (int tick = 0; !game.screens.race->KeysEnabled() && tick < 100; ++tick) game.Tick();
            for (int tick = 0; tick <= RACE_TICKS; ++tick) {
                for (const auto& step : race) {
                    if (step.tick == tick)
                        game.Make(step.move, step.held);
                }
                if (tick == UNPLUG_AT && game.pad) {
                    game.pad->Unplug();
                    game.Poll();
                } else if (tick == UNPLUG_AT) {
                    game.Make(STICK_UP, false);
                    game.Make(PAD_LEFT, false);
                }
                game.Tick();
                game.seen << QString("tick %1: %2").arg(tick).arg(game.Cars());
            }
            for (int tick = 0; tick < 20000 && game.OnShow() == "VantorScreen"; ++tick) game.Tick();
            game.seen << game.OnShow();
            if (withPad)
                game.pad = std::make_unique<VirtualPad>();  // plugged in again for the result
            game.Click(BUTTON_B);
            game.seen << game.OnShow();
            if (!withPad)
                withKeys = game.seen;
            else
                QCOMPARE(game.seen, withKeys);
        }
        // What the keys did: the track two repeats and two moves on, "Medium", one lap; a race in
        // which the car sped up and turned both ways, and neither turned nor sped up after the
        // pad was gone; then the result and the menu again.
        QCOMPARE(withKeys.mid(0, 5),
                 QStringList({"track 5", "level 1", "laps 1", "start", "VantorScreen"}));
        QSet<QString> speeds, headings;
        for (int tick = 0; tick < UNPLUG_AT; ++tick) {
            speeds << withKeys[5 + tick].section("speed ", 1).section(' ', 0, 0);
            headings << withKeys[5 + tick].section("heading ", 1).section(' ', 0, 0);
        }
        QVERIFY2(speeds.contains("3") && headings.size() >= 5, qPrintable(withKeys.join('\n')));
        const auto driving = [&](int tick) {
            return withKeys[5 + tick].section(": ", 1).section(" at", 0, 0);
        };
        QCOMPARE(driving(RACE_TICKS), driving(UNPLUG_AT));
        QCOMPARE(withKeys.mid(6 + RACE_TICKS), QStringList({"EndScreen", "StartScreen"}));
    }
};

QTEST_MAIN(GamepadsTest)
#include "tst_gamepads.moc"
