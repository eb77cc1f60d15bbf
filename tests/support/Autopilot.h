#pragma once

#include <QPointF>
#include <QVector>
#include <functional>

#include "race/Race.h"

// A player at the keys of one car, following the line the computer's car drives round a track, as
// a person would: it holds Up or Down until the car has the speed it wants and Left or Right until
// the car heads for a point a little way along the line, and sends a key only when what it wants
// held changes, or again when the race gives keys back after taking them.
class Autopilot {
  public:
    using SendKey = std::function<void(const RaceInput&)>;

    // The computer's line on a track: the centre of its car on every race tick up to the end of its
    // second lap. From loopStart on the points are one whole lap, driven again and again.
    struct Line {
        QVector<QPointF> points;
        int loopStart = 0;
    };
    static Line RacingLine(int track);

    Autopilot(Line line, RaceSeat seat, int speed, SendKey send);

    // Looks at the race before its next timeout and sends the keys it wants.
    void Drive(const Race& race);

    // The keyboard's key for a race key: the arrows for the blue car, W A S D for the yellow.
    static int KeyCode(const RaceInput& input) {
        const int keys[SEAT_COUNT][4] = {{Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down},
                                         {Qt::Key_A, Qt::Key_W, Qt::Key_D, Qt::Key_S}};
        return keys[input.player][int(input.key)];
    }

  private:
    void Want(RaceKey key, bool held, bool resend);
    int Along(int index) const;

    Line line;
    RaceSeat seat;
    int speed;
    SendKey send;
    int next = 0;
    bool keysWereEnabled = false;
    bool held[4] = {};
};
