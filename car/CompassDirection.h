#pragma once

// The eight directions of the computer's car, 45 degrees apart clockwise from up. It runs straight
// in the even ones and turns through the odd ones, the diagonals.
enum compassDirection {
    compassUp,
    compassUpRight,
    compassRight,
    compassDownRight,
    compassDown,
    compassDownLeft,
    compassLeft,
    compassUpLeft
};
constexpr int COMPASS_COUNT = 8;
