#pragma once

#include <QPoint>
#include <QRect>
#include <array>
#include <vector>

#include "car/CarControlType.h"
#include "platform/Sprite.h"
#include "track/TrackPieces.h"

class GridSection;
class Canvas;

// One car of a race on the canvas. A car never moves itself: its driving steps only set its
// velocity, and the canvas's advance() moves it.
//
// How the race screen uses a car:
// - The race bookkeeping and motion state the race loop reads and writes every tick are public
//   plain fields under the names below (visited, blinkCounter, direction, pictureIndex, speed,
//   maxSpeed, lapsCompleted, turnedInSection, crashCount, collisionsOff, restarting). Change speed
//   and heading through SetRaceCarSpeed and SetRaceCarDirection, which keep the frame in step.
// - controlType is public and fixed at construction.
// - The state of a turn of the computer's car belongs to the car and is private.
// - Position, depth (zValue, 1.0 lower level, 3.0 upper level), frame, velocity and visibility
//   are the sprite's own.
class RaceCar : public Sprite {
  public:
    enum { Type = 984999 };
    static constexpr int VISITED_COUNT = 16;
    static constexpr int HEADING_COUNT = 24;
    static constexpr double LOWER_LEVEL = 1.0;
    static constexpr double UPPER_LEVEL = 3.0;

    static const double COS_15;
    static const double SIN_15;
    static const double COS_30;
    static const double SIN_30;
    static const double COS_45;
    static const double SIN_45;
    static const double COS_60;
    static const double SIN_60;
    static const double COS_75;
    static const double SIN_75;

    RaceCar(SpriteFrames frames, Canvas* canvas, carControlType type);

    int type() const override { return Type; }

    // Race bookkeeping, per track piece (by the section's track value 0..15): entered this lap.
    std::array<int, VISITED_COUNT> visited{};
    int blinkCounter = 0;
    // Player's car: heading 0..23 in 15-degree steps clockwise from up. Computer's car: compass
    // direction 0..7 in 45-degree steps, even when running straight, odd while turning.
    int direction = 0;
    int pictureIndex = 0;  // the frame 0..23 the race loop shows
    int speed = 0;         // pixels per race tick
    int maxSpeed = 0;      // top speed of the computer's car
    int lapsCompleted = 0;
    bool turnedInSection = true;  // the computer's car has turned in the section it is in
    int crashCount = 0;           // ticks the player's car was off the road or hit the other car
    bool collisionsOff = false;   // the player's car passes through the computer's car
    bool restarting = false;      // just put back on the start piece, blinking
    const carControlType controlType;

    void ResetRace();
    void SetRaceCarSpeed(int newSpeed);
    void SetRaceCarDirection(int newDirection);

    // Velocity of a straight compass direction (0, 2, 4, 6) at the current speed; any other
    // value leaves the velocity as it is.
    void SetVelocity(int compassDirection);
    int GetNewPictureIndex() const;
    int GetNewCarDirection(int compassDirection, int surface, theDirection turn) const;
    // Decides, on the piece under the computer's car, whether a turn starts; returns true if so.
    bool UpdateCarDirection(int compassDirection, int surface, theDirection vertical,
                            theDirection horizontal, theDirection corner);
    // The frame for a step of the current turn, or FRAME_UNCHANGED.
    int UpdateRaceCarDirection(int step, theDirection turn, int first, int last) const;
    static constexpr int FRAME_UNCHANGED = 255;

    void CreateTurnPointArray(int x, int y, int compassDirection, theDirection turn);
    // The step from turn point turnStep - 1 to turnStep; left alone when there is no such step.
    void GetTurnIncrement(float& dx, float& dy) const;
    const std::vector<QPoint>& TurnPoints() const { return turnPoints; }
    int TurnPointCount() const { return int(turnPoints.size()); }

    // The driving steps, once per race tick; (x, y) is the car's point within the section.
    void UpdateUserControlCar(int x, int y, const GridSection* section);
    void UpdateComputerControlCar(int x, int y, const GridSection* section);

    // Returns crashCount after testing a player's car against the other car.
    int CheckForCollision();
    void UpdateCarZLevel(int surface);
    // The line through the car's image along its heading, as the rectangle's two corner points.
    QRect GetRaceCarCenterline() const;

  private:
    void SetHeadingVelocity(int heading);
    int StraightDirectionAfterTurn(int surface, const GridSection* section) const;

    int turnStep = 0;  // index of the next point of turnPoints
    int previousDirection = 0;
    bool cameFromStraight = false;
    theDirection turnDirection = dirLeft;
    std::vector<QPoint> turnPoints;
    // The computer's car's step of the current turn tick; kept when there is no next step.
    float turnStepX = 0.0F;
    float turnStepY = 0.0F;
};
