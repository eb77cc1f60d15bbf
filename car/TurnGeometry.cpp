#include "car/TurnGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "car/CompassDirection.h"
#include "platform/GameFacts.h"

namespace {

constexpr double HALF_PI = 1.5707963267948966;
constexpr double RADIANS_PER_DEGREE = 0.017453292519943295;
constexpr int SIDE_EXIT_LANE = 27;        // from the corner, leaving through the left or right edge
constexpr int TOP_BOTTOM_EXIT_LANE = 28;  // leaving through the top or bottom edge

// One curve: X(θ) = cx + xSign·a·cos θ, Y(θ) = cy + ySign·b·sin θ, θ running from 0 to π/2 or
// from π/2 to 0. The entry is at the starting θ, so the variable semi-axis A (the car's distance
// from the centre along the entry edge) lies on the cos axis when θ starts at 0 and on the sin
// axis when it starts at π/2; the fixed exit lane B is the other semi-axis.
struct TurnShape {
    int direction;
    bool clockwise;
    int cx;
    int cy;
    int xSign;
    int ySign;
    int exitLane;
    bool startsAtZero;
};

constexpr TurnShape TURN_SHAPES[] = {
    // up, then right:    X = 75 − A·cos θ, Y = 73 − 27·sin θ, 0 → π/2
    {compassUpRight, true, PIECE_WIDTH, PIECE_HEIGHT, -1, -1, SIDE_EXIT_LANE, true},
    // right, then up:    X = 28·cos θ, Y = y·sin θ, π/2 → 0
    {compassUpRight, false, 0, 0, +1, +1, TOP_BOTTOM_EXIT_LANE, false},
    // right, then down:  X = 28·cos θ, Y = 73 − A·sin θ, π/2 → 0
    {compassDownRight, true, 0, PIECE_HEIGHT, +1, -1, TOP_BOTTOM_EXIT_LANE, false},
    // down, then right:  X = 75 − A·cos θ, Y = 27·sin θ, 0 → π/2
    {compassDownRight, false, PIECE_WIDTH, 0, -1, +1, SIDE_EXIT_LANE, true},
    // down, then left:   X = x·cos θ, Y = 27·sin θ, 0 → π/2
    {compassDownLeft, true, 0, 0, +1, +1, SIDE_EXIT_LANE, true},
    // left, then down:   X = 75 − 28·cos θ, Y = 73 − A·sin θ, π/2 → 0
    {compassDownLeft, false, PIECE_WIDTH, PIECE_HEIGHT, -1, -1, TOP_BOTTOM_EXIT_LANE, false},
    // left, then up:     X = 75 − 28·cos θ, Y = y·sin θ, π/2 → 0
    {compassUpLeft, true, PIECE_WIDTH, 0, -1, +1, TOP_BOTTOM_EXIT_LANE, false},
    // up, then left:     X = x·cos θ, Y = 73 − 27·sin θ, 0 → π/2
    {compassUpLeft, false, 0, PIECE_HEIGHT, +1, -1, SIDE_EXIT_LANE, true},
};

const TurnShape* FindShape(int direction, bool clockwise) {
    const auto* const found =
        std::find_if(std::begin(TURN_SHAPES), std::end(TURN_SHAPES), [&](const TurnShape& shape) {
            return shape.direction == direction && shape.clockwise == clockwise;
        });
    return found == std::end(TURN_SHAPES) ? nullptr : found;
}

}  // namespace

std::vector<QPoint> LayOutTurn(int x, int y, int direction, theDirection turn, int speed) {
    std::vector<QPoint> points;
    const TurnShape* const shape = FindShape(direction, turn == dirRight);
    if (shape == nullptr) {
        return points;
    }

    const int entryDistance =
        shape->startsAtZero ? std::abs(shape->cx - x) : std::abs(shape->cy - y);
    const int cosAxis = shape->startsAtZero ? entryDistance : shape->exitLane;
    const int sinAxis = shape->startsAtZero ? shape->exitLane : entryDistance;
    const int meanRadius = (entryDistance + shape->exitLane) / 2;

    // One point per tick, each a step of speed − 1 along the mean radius. At speed 1 the step
    // would be zero and the curve would never end, so slow cars get the slowest curve that does.
    const double stepLength = std::max(speed, SLOWEST_TURN_SPEED) - 1;
    const double stepCount = (meanRadius * HALF_PI) / stepLength;
    const double angleStep = (90.0 / stepCount) * RADIANS_PER_DEGREE;

    double angle = shape->startsAtZero ? 0.0 : HALF_PI;
    while (angle >= 0.0 && angle <= HALF_PI) {
        const double px = shape->cx + shape->xSign * cosAxis * std::cos(angle);
        const double py = shape->cy + shape->ySign * sinAxis * std::sin(angle);
        points.emplace_back(static_cast<int>(px), static_cast<int>(py));
        angle += shape->startsAtZero ? angleStep : -angleStep;
    }
    return points;
}
