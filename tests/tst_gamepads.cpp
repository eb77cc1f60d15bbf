// Game controllers played as the keyboard's keys: the translation on its own, SDL's virtual pads
// coming and going, and a pad playing the whole game through its main widget exactly as the same
// moves made on the keyboard do.
#include <SDL.h>

#include <QKeySequence>
#include <QtTest>

#include "platform/Gamepads.h"
#include "platform/PadKeys.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"
#include "tests/support/VirtualPad.h"

namespace {

constexpr auto UP = SDL_CONTROLLER_BUTTON_DPAD_UP, DOWN = SDL_CONTROLLER_BUTTON_DPAD_DOWN,
               LEFT = SDL_CONTROLLER_BUTTON_DPAD_LEFT, RIGHT = SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
               A = SDL_CONTROLLER_BUTTON_A, B = SDL_CONTROLLER_BUTTON_B,
               X = SDL_CONTROLLER_BUTTON_X, NO_BUTTON = SDL_CONTROLLER_BUTTON_INVALID;

// Strokes as a player names them: "+Up" pressed, "*Up" repeated, "-Up" released.
QString Named(const std::vector<KeyStroke>& strokes, bool sorted = false) {
    QStringList names;
    for (const KeyStroke& stroke : strokes)
        names << QStringLiteral("-+*")[stroke.pressed + stroke.autoRepeat] +
                     QKeySequence(stroke.key).toString();
    if (sorted)
        names.sort();
    return names.join(' ');
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
    Qt::Key key;
    SDL_GameControllerButton button;
    SDL_GameControllerAxis axis = SDL_CONTROLLER_AXIS_INVALID;
    int tilt = 0;
};
const Move STICK_UP{Qt::Key_Up, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTY, -32768},
    STICK_DOWN{Qt::Key_Down, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTY, 32767},
    STICK_LEFT{Qt::Key_Left, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTX, -20000},
    STICK_RIGHT{Qt::Key_Right, NO_BUTTON, SDL_CONTROLLER_AXIS_LEFTX, PadKeys::STICK_PRESS},
    PAD_DOWN{Qt::Key_Down, DOWN}, PAD_LEFT{Qt::Key_Left, LEFT}, PAD_RIGHT{Qt::Key_Right, RIGHT},
    BUTTON_A{Qt::Key_Return, A}, BUTTON_B{Qt::Key_Escape, B}, BUTTON_X{Qt::Key_R, X};

}  // namespace

class GamepadsTest : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;

  private slots:
    // Every button, by SDL's name, against the key it stands for, the rest of the pad doing
    // nothing. The left stick is a direction only well out of the middle, and lets go only well
    // back in, so that a stick resting near the edge does not chatter. A key is down while anything
    // holds it: the d-pad or the stick of a pad, or another pad; with two players the second pad's
    // directions are the second player's keys. A held direction repeats as a held arrow key does:
    // the last one pressed, after a delay, at a steady rate, until it is let go. Buttons never
    // repeat.
    void padsPlayAsTheKeys() {
        PadKeys keys;
        const auto update = [&](int slot, const PadState& state, qint64 atMs = 0) {
            return Named(keys.Update(slot, state, atMs));
        };
        QStringList clicks;
        for (const char* button : {"dpup", "dpdown", "dpleft", "dpright", "a", "start", "b", "back",
                                   "x", "y", "guide", "leftshoulder"}) {
            const QString press =
                update(0, Holding({SDL_GameControllerGetButtonFromString(button)}));
            clicks << QString("%1 %2 %3").arg(button, press, update(0, {})).trimmed();
        }
        QCOMPARE(clicks, QStringList({"dpup +Up -Up", "dpdown +Down -Down", "dpleft +Left -Left",
                                      "dpright +Right -Right", "a +Return -Return",
                                      "start +Pause -Pause", "b +Esc -Esc", "back +Esc -Esc",
                                      "x +R -R", "y", "guide", "leftshoulder"}));
        PadState otherAxes;
        for (const auto axis : {SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY,
                                SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT})
            otherAxes.axes[axis] = 32767;
        QCOMPARE(update(0, otherAxes), "");

        const int press = PadKeys::STICK_PRESS, release = PadKeys::STICK_RELEASE;
        // Along a diagonal last, two directions at once, let go one at a time.
        const std::tuple<int, int, const char*> steps[] = {
            {press - 1, 0, ""},         {press, 0, "+Right"},
            {release, 0, ""},           {press - 1, 0, ""},
            {release - 1, 0, "-Right"}, {press - 1, 0, ""},
            {-press, 0, "+Left"},       {-32768, 0, ""},
            {-23000, -23000, "+Up"},    {-23000, 1 - release, "-Up"},
            {0, 32767, "-Left +Down"},  {0, 0, "-Down"}};
        for (const auto& [x, y, strokes] : steps)
            COMPARE_CASE(update(0, Holding({}, x, y)), strokes,
                         QString("stick at %1,%2").arg(x).arg(y).toUtf8());

        QCOMPARE(update(0, Holding({LEFT}, -32768)), "+Left");
        QCOMPARE(update(0, Holding({}, -32768)), "");
        QCOMPARE(update(1, Holding({LEFT, UP})), "+Up");
        QCOMPARE(update(0, Holding({UP})), "");
        QCOMPARE(Named(keys.Forget(1)), "-Left");
        QCOMPARE(Named(keys.Forget(0)), "-Up");

        QCOMPARE(update(1, Holding({LEFT, A})), "+Return +Left");
        QCOMPARE(Named(keys.SetSecondPadIsPlayerTwo(true, 0)), "-Left +A");
        QCOMPARE(update(0, Holding({LEFT})), "+Left");
        QCOMPARE(update(1, Holding({UP, RIGHT}, 0, 32767)), "-A -Return +D +S +W");
        QCOMPARE(update(2, Holding({RIGHT})), "+Right");
        QCOMPARE(Named(keys.SetSecondPadIsPlayerTwo(false, 0)), "-D -S -W +Up +Down");
        for (const int slot : {0, 1, 2}) keys.Forget(slot);

        const qint64 delay = PadKeys::REPEAT_DELAY_MS, interval = PadKeys::REPEAT_INTERVAL_MS;
        update(0, Holding({RIGHT, A}), 1000);
        QStringList repeats;
        for (const qint64 afterMs : {delay - 1, delay, delay + interval - 1, delay + interval,
                                     delay + 5 * interval, delay + 5 * interval + 1})
            repeats << Named(keys.Repeat(1000 + afterMs));
        QCOMPARE(repeats, QStringList({"", "*Right", "", "*Right", "*Right", ""}));
        QCOMPARE(update(0, Holding({RIGHT, DOWN}), 3000), "-Return +Down");
        QCOMPARE(Named(keys.Repeat(3000 + delay - 1)), "");
        QCOMPARE(Named(keys.Repeat(3000 + delay)), "*Down");
        // Down let go while Right is still held and A pressed: nothing repeats, as on a keyboard.
        update(0, Holding({RIGHT, A}), 4000);
        QCOMPARE(Named(keys.Repeat(9000)), "");
    }

    // Pads plugged in and out take the lowest free slot; a tap between two polls counts; SDL is
    // read often only while a pad is there to be heard, which is only while the window is active:
    // then what the pads held is let go, and what they do is not taken.
    void padsComeAndGo() {
        Gamepads pads;
        QVERIFY2(pads.Ready(), "SDL's game controllers did not start");
        bool active = true;
        pads.SetActiveCheck([&] { return active; });
        std::vector<KeyStroke> sent;
        connect(&pads, &Gamepads::Key, [&](int key, bool pressed, bool repeated) {
            sent.push_back({key, pressed, repeated});
        });
        // A poll: the keys it sent (pads are read in no promised order), the slots taken then, and
        // how soon the next poll comes.
        const auto poll = [&] {
            pads.Poll();
            QStringList taken;
            for (const int slot : pads.Slots()) taken << QString::number(slot);
            const int interval = pads.PollInterval();
            return QString("%1 in slots %2, polled %3")
                .arg(Named(std::exchange(sent, {}), true), taken.join(' '),
                     interval == Gamepads::PAD_POLL_MS       ? "often"
                     : interval == Gamepads::HOTPLUG_POLL_MS ? "seldom"
                                                             : QString::number(interval));
        };
        QCOMPARE(poll(), " in slots , polled seldom");

        auto first = std::make_unique<VirtualPad>();
        VirtualPad second;
        QCOMPARE(poll(), " in slots 0 1, polled often");
        // As the game, which does not link the pads' library, switches it.
        QVERIFY(QMetaObject::invokeMethod(&pads, "SetSecondPadIsPlayerTwo", Q_ARG(bool, true)));
        first->Hold(UP, true);
        second.Hold(UP, true);
        second.Hold(X, true);
        SDL_JoystickUpdate();
        second.Hold(X, false);
        QCOMPARE(poll(), "+R +Up +W -R in slots 0 1, polled often");
        first->Unplug();
        QCOMPARE(poll(), "-Up in slots 1, polled often");
        first = std::make_unique<VirtualPad>();
        first->Hold(B, true);
        QCOMPARE(poll(), "+Esc in slots 1 0, polled often");

        active = false;
        QCOMPARE(poll(), "-Esc -W in slots 1 0, polled seldom");
        second.Hold(UP, false);
        first->Hold(A, true);
        QCOMPARE(poll(), " in slots 1 0, polled seldom");
        active = true;
        QCOMPARE(poll(), "+Esc +Return in slots 1 0, polled often");
        first->Unplug();
        second.Unplug();
        QCOMPARE(poll(), "-Esc -Return in slots , polled seldom");
    }

    // The same moves on the keyboard and on a pad, through the whole game: a direction held on
    // the menu's track row, the menu's choices, a race driven tick by tick (speeding up, steering
    // both ways with the d-pad and the stick, the computer's car put back), the result, and back.
    void padPlaysTheGameAsTheKeys() {
        const Move menu[] = {PAD_RIGHT, STICK_RIGHT, PAD_DOWN,   PAD_RIGHT, STICK_DOWN,
                             PAD_LEFT,  STICK_DOWN,  STICK_DOWN, BUTTON_A};
        const std::tuple<int, Move, bool> race[] = {
            {0, STICK_UP, true},     {3, PAD_RIGHT, true}, {15, PAD_RIGHT, false},
            {20, STICK_LEFT, true},  {26, PAD_DOWN, true}, {30, PAD_DOWN, false},
            {34, STICK_LEFT, false}, {40, BUTTON_X, true}, {41, BUTTON_X, false},
            {50, STICK_UP, false},   {52, STICK_UP, true}, {54, PAD_LEFT, true}};
        QStringList withKeys;
        QSet<int> speeds, headings;
        for (const bool withPad : {false, true}) {
            Vantor game(pictures.Path());
            const GameScreens screens(game);
            game.Start();
            // SDL starts after the first frame; the pads' clock is the test's, and the window
            // counts as active.
            QVERIFY2(game.Pads() == nullptr, "SDL started before the first frame");
            QVERIFY2(QTest::qWaitFor([&] { return game.Pads() != nullptr; }), "no pads");
            auto* pads = qobject_cast<Gamepads*>(game.Pads());
            qint64 clockMs = 0;
            pads->SetActiveCheck([] { return true; });
            pads->SetClock([&] { return clockMs; });
            VirtualPad pad;
            const auto poll = [&] {
                pads->Poll();
                QCoreApplication::sendPostedEvents(&game);
            };
            // A move held or let go on the pad, or on the keyboard.
            const auto make = [&](const Move& move, bool held) {
                if (!withPad)
                    return QTest::keyEvent(held ? QTest::Press : QTest::Release, &game, move.key);
                move.button != NO_BUTTON ? pad.Hold(move.button, held)
                                         : pad.Tilt(move.axis, held ? move.tilt : 0);
                poll();
            };
            const auto tick = [&] { QMetaObject::invokeMethod(screens.race, "TimeEvent"); };
            // What a player sees, one line a call; screens as whether the menu, the race and the
            // result show.
            QStringList seen;
            const auto see = [&](auto... values) {
                (QDebug(&seen.emplace_back()) << ... << values);
            };
            const auto screensShown = [&] {
                see(screens.start->isVisible(), screens.race->isVisible(),
                    screens.end->isVisible());
            };
            // Right held for two repeats on the keyboard, and as long on the pad's clock.
            make(PAD_RIGHT, true);
            for (const qint64 at : {PadKeys::REPEAT_DELAY_MS,
                                    PadKeys::REPEAT_DELAY_MS + PadKeys::REPEAT_INTERVAL_MS}) {
                QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
                clockMs = at;
                withPad ? poll() : void(QApplication::sendEvent(&game, &repeat));
            }
            make(PAD_RIGHT, false);
            for (const Move& move : menu)
                for (const bool held : {true, false}) make(move, held);
            screensShown();
            const RaceSettings& chosen = screens.race->CurrentRace().Settings();
            see("track", chosen.track, "level", chosen.level, "laps", chosen.laps);
            for (int wait = 0; !screens.race->KeysEnabled() && wait < 100; ++wait) tick();
            for (int at = 0, next = 0; at < 60; ++at) {
                for (; next < int(std::size(race)) && std::get<0>(race[next]) == at; ++next)
                    make(std::get<1>(race[next]), std::get<2>(race[next]));
                tick();
                const RaceCar& user = *screens.race->Car(userControl);
                speeds << user.speed;
                headings << user.direction;
                see(at, user.speed, user.direction, user.pos(),
                    screens.race->Car(computerControl)->pos());
            }
            for (int wait = 0; wait < 20000 && screens.race->isVisible(); ++wait) tick();
            screensShown();
            for (const bool held : {true, false}) make(BUTTON_B, held);
            screensShown();
            if (withPad)
                QCOMPARE(seen, withKeys);
            withKeys = seen;
        }
        // What the keys did: the track two repeats and two moves on, "Medium", one lap; a race in
        // which the car sped up and turned most ways; then the result and the menu again.
        QCOMPARE(withKeys.mid(0, 2), QStringList({"false true false ", "track 5 level 1 laps 1 "}));
        QVERIFY2(speeds.contains(3) && headings.size() >= 5, qPrintable(withKeys.join('\n')));
        QCOMPARE(withKeys.mid(62), QStringList({"false false true ", "true false false "}));
    }
};

QTEST_MAIN(GamepadsTest)
#include "tst_gamepads.moc"
