#pragma once

#include <QtTest>

#include "platform/Canvas.h"
#include "race/VantorScreen.h"
#include "tests/support/Autopilot.h"

using Text = VantorScreen::RaceText;
const char* const LEVEL_NAMES[] = {"Easy", "Medium", "Hard"};

// A race screen on a canvas of its own, run by calling its timer slot directly, one timeout a call.
struct RaceFixture {
    Canvas canvas;
    VantorScreen screen{canvas, nullptr};
    QSignalSpy over{&screen, &VantorScreen::RaceOver};
    int timeouts = 0;

    void Ticks(int count = 1) {
        for (int i = 0; i < count; ++i, ++timeouts)
            QVERIFY(QMetaObject::invokeMethod(&screen, "TimeEvent"));
    }
    // What `read` gives after each of `count` timeouts.
    template <typename Read>
    auto Trace(int count, Read read) {
        QVector<decltype(read())> values;
        for (int i = 0; i < count; ++i, values << read()) Ticks();
        return values;
    }
    void Press(int key) { screen.keyPressEvent(key); }
    void Release(int key) { screen.keyReleaseEvent(key); }
    // A player's race keys, sent to the screen as the keyboard's.
    Autopilot::SendKey AtTheKeys() {
        return [this](const RaceInput& input) {
            const int key = Autopilot::KeyCode(input);
            input.pressed ? Press(key) : Release(key);
        };
    }
    RaceCar& User() const { return *screen.Car(userControl); }
    RaceCar& Computer() const { return *screen.Car(computerControl); }
    QString TextOf(VantorScreen::RaceText text) const { return screen.Text(text).text(); }
    int Interval() const { return screen.findChild<QTimer*>()->interval(); }
    // From the first RaceOver report: whether the player won, and the race time.
    bool UserWon() const { return over.value(0).value(0).toBool(); }
    long ReportedMs() const { return over.value(0).value(1).value<long>(); }
};

// What `rule` gives for 0, 1, ... count - 1.
template <typename Rule>
auto Sequence(int count, Rule rule) {
    QVector<decltype(rule(0))> values;
    for (int i = 0; i < count; ++i) values << rule(i);
    return values;
}
