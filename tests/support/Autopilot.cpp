#include "tests/support/Autopilot.h"

#include <cmath>

#include "platform/Canvas.h"

namespace {

// Within this distance of its next point the autopilot looks to the one after.
constexpr double REACHED = 14;
// How far along the line it aims: far enough to turn in early, near enough not to cut corners.
constexpr int LOOK_AHEAD = 6;
constexpr int HEADINGS = RaceCar::HEADING_COUNT;

}  // namespace

Autopilot::Line Autopilot::RacingLine(int track) {
    Canvas canvas;
    Race race(canvas);
    race.Initialize(RaceSettings{track, 0, 3, RaceMode::againstComputer});
    Line line;
    while (race.Phase() != Race::phaseIdle && race.LapText(yellowSeat) != "2") {
        const QString lapsBefore = race.LapText(yellowSeat);
        race.TimeEvent();
        if (race.Phase() != Race::phaseRacing)
            continue;
        line.points << race.Car(computerControl)->pos();
        if (race.LapText(yellowSeat) == "1" && lapsBefore == "0")
            line.loopStart = int(line.points.size()) - 1;
    }
    return line;
}

Autopilot::Autopilot(Line racingLine, RaceSeat drivenSeat, int wantedSpeed, SendKey sendKey)
    : line(std::move(racingLine)), seat(drivenSeat), speed(wantedSpeed), send(std::move(sendKey)) {}

// The index of a point that far along the line, round the lap it repeats.
int Autopilot::Along(int index) const {
    const int size = int(line.points.size());
    return index < size ? index
                        : line.loopStart + (index - line.loopStart) % (size - line.loopStart);
}

void Autopilot::Drive(const Race& race) {
    const RaceCar* car = race.SeatCar(seat);
    if (car == nullptr || line.points.isEmpty())
        return;
    const bool keysEnabled = race.KeysEnabled(seat);
    const bool resend = keysEnabled && !keysWereEnabled;
    keysWereEnabled = keysEnabled;
    const QPointF centre = car->pos() + QPointF(10, 10);
    const auto distance = [&](const QPointF& point) {
        return std::hypot(point.x() - centre.x(), point.y() - centre.y());
    };
    while (distance(line.points[next]) < REACHED) next = Along(next + 1);
    const QPointF aim = line.points[Along(next + LOOK_AHEAD)] - centre;
    const double heading = std::atan2(aim.x(), -aim.y()) * HEADINGS / (2 * M_PI);
    const int offBy = (int(std::lround(heading)) - car->direction + 2 * HEADINGS) % HEADINGS;
    Want(RaceKey::Right, offBy != 0 && offBy <= HEADINGS / 2, resend);
    Want(RaceKey::Left, offBy > HEADINGS / 2, resend);
    Want(RaceKey::Up, car->speed < speed, resend);
    Want(RaceKey::Down, car->speed > speed, resend);
}

void Autopilot::Want(RaceKey key, bool wanted, bool resend) {
    bool& isHeld = held[int(key)];
    if (wanted != isHeld || (resend && wanted)) {
        send(RaceInput{seat, key, wanted});
        isHeld = wanted;
    }
}
