#pragma once

#include <QPoint>
#include <vector>

#include "track/TrackPieces.h"

// The curve the computer's car follows through a turn: a quarter ellipse about the inner corner of
// a 75x73 track piece, from the car's entry point (x, y) to a lane 27 pixels (left or right exit)
// or 28 pixels (top or bottom exit) from that corner, one point per race tick at the given speed.
// direction is the diagonal of the turn (an odd compassDirection); turn dirRight selects the
// clockwise curve, any other value the anticlockwise one. Any other direction gives no points.
std::vector<QPoint> LayOutTurn(int x, int y, int direction, theDirection turn, int speed);

// The slowest speed a turn can be laid out for; slower cars get the points of this speed.
constexpr int SLOWEST_TURN_SPEED = 2;
