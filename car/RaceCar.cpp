#include "car/RaceCar.h"

#include <cmath>
#include <utility>

#include "car/CompassDirection.h"
#include "car/TurnGeometry.h"
#include "log/log_functions.h"
#include "track/GridSection.h"
#include "track/SurfaceMaps.h"

namespace {
constexpr double PI = 3.141592653589793;
}  // namespace

const double RaceCar::COS_15 = std::cos(PI / 12);
const double RaceCar::SIN_15 = std::sin(PI / 12);
const double RaceCar::COS_30 = std::cos(PI / 6);
const double RaceCar::SIN_30 = std::sin(PI / 6);
const double RaceCar::COS_45 = std::cos(PI / 4);
const double RaceCar::SIN_45 = std::sin(PI / 4);
const double RaceCar::COS_60 = std::cos(PI / 3);
const double RaceCar::SIN_60 = std::sin(PI / 3);
const double RaceCar::COS_75 = std::cos(5 * PI / 12);
const double RaceCar::SIN_75 = std::sin(5 * PI / 12);

namespace {

struct Velocity {
    double vx;
    double vy;
};

// The player's 24 headings at speed 1: (sin 15h°, −cos 15h°), y growing downwards. Defined after
// the class constants, so they are initialised first.
const Velocity HEADING_VELOCITY[RaceCar::HEADING_COUNT] = {
    {0, -1},
    {RaceCar::COS_75, -RaceCar::SIN_75},
    {RaceCar::COS_60, -RaceCar::SIN_60},
    {RaceCar::COS_45, -RaceCar::SIN_45},
    {RaceCar::COS_30, -RaceCar::SIN_30},
    {RaceCar::COS_15, -RaceCar::SIN_15},
    {1, 0},
    {RaceCar::COS_15, RaceCar::SIN_15},
    {RaceCar::COS_30, RaceCar::SIN_30},
    {RaceCar::COS_45, RaceCar::SIN_45},
    {RaceCar::COS_60, RaceCar::SIN_60},
    {RaceCar::COS_75, RaceCar::SIN_75},
    {0, 1},
    {-RaceCar::COS_75, RaceCar::SIN_75},
    {-RaceCar::COS_60, RaceCar::SIN_60},
    {-RaceCar::COS_45, RaceCar::SIN_45},
    {-RaceCar::COS_30, RaceCar::SIN_30},
    {-RaceCar::COS_15, RaceCar::SIN_15},
    {-1, 0},
    {-RaceCar::COS_15, -RaceCar::SIN_15},
    {-RaceCar::COS_30, -RaceCar::SIN_30},
    {-RaceCar::COS_45, -RaceCar::SIN_45},
    {-RaceCar::COS_60, -RaceCar::SIN_60},
    {-RaceCar::COS_75, -RaceCar::SIN_75},
};

// The computer's straight compass directions 0, 2, 4, 6 at speed 1, indexed by direction / 2.
constexpr Velocity COMPASS_VELOCITY[] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
constexpr int FRAMES_PER_COMPASS_STEP = 3;
constexpr int FACING_LEFT_FRAME = 18;

bool IsStraightCompass(int compass) {
    return compass >= 0 && compass < COMPASS_COUNT && compass % 2 == 0;
}

bool IsDiagonalCompass(int compass) {
    return compass > 0 && compass < COMPASS_COUNT && compass % 2 == 1;
}

// The first frame of a compass direction. A diagonal entered from the straight direction just
// anticlockwise of it (a clockwise turn) starts one 15-degree step past that heading; entered from
// the other side (an anticlockwise turn), one step before the heading it turns to.
struct PictureRule {
    int anticlockwiseFrom;  // the previous direction that means an anticlockwise turn
    int anticlockwiseFrame;
    int frame;
};
constexpr int NO_PREVIOUS = -1;
constexpr PictureRule PICTURE_FOR_COMPASS[COMPASS_COUNT] = {
    {NO_PREVIOUS, 0, 0},   {compassRight, 5, 1},  {NO_PREVIOUS, 6, 6},   {compassDown, 11, 7},
    {NO_PREVIOUS, 12, 12}, {compassLeft, 17, 13}, {NO_PREVIOUS, 18, 18}, {compassUp, 23, 19},
};

// Which surface column of the new-direction table a surface value falls in.
enum SurfaceKind { verticalRoad, horizontalRoad, otherSurface, SURFACE_KIND_COUNT };

SurfaceKind KindOfSurface(int surface) {
    switch (surface) {
        case Surface::VerticalRoad:
        case Surface::BridgeVerticalRoad:
            return verticalRoad;
        case Surface::HorizontalRoad:
        case Surface::BridgeHorizontalRoad:
            return horizontalRoad;
        default:
            return otherSurface;
    }
}

// "ifMatch when t is one of the matching directions, else otherwise"; directions as bit flags.
constexpr unsigned Bit(theDirection d) {
    return 1U << d;
}
struct NewDirectionRule {
    unsigned matching;
    int ifMatch;
    int otherwise;
};

// New compass direction by the straight direction (row: up, right, down, left) and the surface
// under the car. On a corner t is the turn sense and the result the diagonal between the old and
// the new direction. On a straight piece t is its travel direction: the car takes it, or starts the
// diagonal towards it when it runs across the piece.
constexpr NewDirectionRule NEW_DIRECTION[4][SURFACE_KIND_COUNT] = {
    // running up
    {{Bit(dirRight) | Bit(dirUp), compassUp, compassDown},
     {Bit(dirRight), compassUpRight, compassUpLeft},
     {Bit(dirRight), compassUpRight, compassUpLeft}},
    // running right
    {{Bit(dirUp), compassUpRight, compassDownRight},
     {Bit(dirRight), compassRight, compassLeft},
     {Bit(dirRight), compassDownRight, compassUpRight}},
    // running down
    {{Bit(dirRight) | Bit(dirUp), compassUp, compassDown},
     {Bit(dirRight), compassDownRight, compassDownLeft},
     {Bit(dirRight), compassDownLeft, compassDownRight}},
    // running left
    {{Bit(dirRight) | Bit(dirUp), compassUpLeft, compassDownLeft},
     {Bit(dirRight), compassRight, compassLeft},
     {Bit(dirRight), compassUpLeft, compassDownLeft}},
};

// The frames of the quarter a diagonal turns through.
struct QuarterFrames {
    int first;
    int last;
};
constexpr QuarterFrames QUARTER_FRAMES[COMPASS_COUNT] = {
    {0, 0}, {2, 5}, {0, 0}, {8, 11}, {0, 0}, {14, 17}, {0, 0}, {20, 23},
};

// The frame while turning, once step has reached `fifths` fifths of the turn: an end of the
// quarter plus an offset, for a clockwise and for an anticlockwise turn. Latest stage first.
enum QuarterEnd { firstFrame, lastFrame };
struct TurnFrameStage {
    int fifths;
    QuarterEnd clockwiseEnd;
    int clockwiseOffset;
    QuarterEnd anticlockwiseEnd;
    int anticlockwiseOffset;
};
constexpr TurnFrameStage TURN_FRAME_STAGES[] = {
    {4, lastFrame, 0, firstFrame, 0},
    {3, lastFrame, -1, firstFrame, +1},
    {2, lastFrame, -2, firstFrame, +2},
    {1, firstFrame, 0, lastFrame, 0},
};
constexpr int TURN_FIFTHS = 5;

// The ends of the centre line within the car's bounding rectangle, by pictureIndex modulo 12:
// each coordinate is an edge of the rectangle plus an offset.
enum Edge { left, top, right, bottom };
struct LineEnd {
    Edge xEdge;
    int xOffset;
    Edge yEdge;
    int yOffset;
};
struct CenterLine {
    LineEnd from;
    LineEnd to;
};
constexpr int CENTER_LINE_HEADINGS = 12;
constexpr CenterLine CENTER_LINES[CENTER_LINE_HEADINGS] = {
    {{left, 10, top, 0}, {right, -10, bottom, 0}},  // 0
    {{left, 13, top, 0}, {right, -13, bottom, 0}},  // 1
    {{left, 16, top, 0}, {right, -16, bottom, 0}},  // 2
    {{right, 0, top, 0}, {left, 0, bottom, 0}},     // 3
    {{left, 0, top, 16}, {right, 0, bottom, -16}},  // 4
    {{left, 0, top, 13}, {right, 0, bottom, -13}},  // 5
    {{left, 0, top, 10}, {right, 0, bottom, -10}},  // 6
    {{left, 0, top, 7}, {right, 0, bottom, -7}},    // 7
    {{left, 0, top, 4}, {right, 0, bottom, -4}},    // 8
    {{left, 0, top, 0}, {right, 0, bottom, 0}},     // 9
    {{left, 4, top, 0}, {right, -4, bottom, 0}},    // 10
    {{left, 7, top, 0}, {right, -7, bottom, 0}},    // 11
};

int EdgeOf(const QRect& rect, Edge edge) {
    switch (edge) {
        case left:
            return rect.left();
        case top:
            return rect.top();
        case right:
            return rect.right();
        case bottom:
            return rect.bottom();
    }
    return 0;
}

QPoint PointOf(const QRect& rect, const LineEnd& end) {
    return {EdgeOf(rect, end.xEdge) + end.xOffset, EdgeOf(rect, end.yEdge) + end.yOffset};
}

bool IsUpperLevelSurface(int surface) {
    return surface >= Surface::BridgeCornerRoad && surface <= Surface::BridgeHorizontalRoad;
}

}  // namespace

RaceCar::RaceCar(SpriteFrames frames, Canvas* canvas, carControlType type)
    : Sprite(std::move(frames), canvas), controlType(type) {}

void RaceCar::ResetRace() {
    const FunctionTrace trace("RaceCar::ResetRace");
    visited.fill(0);
    restarting = false;
    turnedInSection = true;
    direction = 0;
    speed = 0;
    lapsCompleted = 0;
    crashCount = 0;
    blinkCounter = 0;
    pictureIndex = 0;
}

void RaceCar::SetRaceCarSpeed(int newSpeed) {
    const FunctionTrace trace("RaceCar::SetRaceCarSpeed");
    speed = newSpeed;
}

void RaceCar::SetRaceCarDirection(int newDirection) {
    const FunctionTrace trace("RaceCar::SetRaceCarDirection");
    direction = newDirection;
    if (controlType == userControl) {
        pictureIndex = newDirection;
    } else {
        // Up, right and down show their own frames; every other direction shows the car facing
        // left, which is also the frame of left.
        const bool upRightOrDown = newDirection == compassUp || newDirection == compassRight ||
                                   newDirection == compassDown;
        pictureIndex = upRightOrDown ? FRAMES_PER_COMPASS_STEP * newDirection : FACING_LEFT_FRAME;
    }
}

void RaceCar::SetVelocity(int compassDirection) {
    const FunctionTrace trace("RaceCar::SetVelocity");
    if (!IsStraightCompass(compassDirection)) {
        return;
    }
    const Velocity& unit = COMPASS_VELOCITY[compassDirection / 2];
    const double s = speed;
    setVelocity(s * unit.vx, s * unit.vy);
}

int RaceCar::GetNewPictureIndex() const {
    const FunctionTrace trace("RaceCar::GetNewPictureIndex");
    if (direction < 0 || direction >= COMPASS_COUNT) {
        return 0;
    }
    const PictureRule& rule = PICTURE_FOR_COMPASS[direction];
    return previousDirection == rule.anticlockwiseFrom ? rule.anticlockwiseFrame : rule.frame;
}

int RaceCar::GetNewCarDirection(int compassDirection, int surface, theDirection turn) const {
    const FunctionTrace trace("RaceCar::GetNewCarDirection");
    if (!IsStraightCompass(compassDirection)) {
        return compassUp;
    }
    const NewDirectionRule& rule = NEW_DIRECTION[compassDirection / 2][KindOfSurface(surface)];
    const bool matches = turn >= dirLeft && turn <= dirNone && (rule.matching & Bit(turn)) != 0;
    return matches ? rule.ifMatch : rule.otherwise;
}

bool RaceCar::UpdateCarDirection(int compassDirection, int surface, theDirection vertical,
                                 theDirection horizontal, theDirection corner) {
    const FunctionTrace trace("RaceCar::UpdateCarDirection");
    previousDirection = compassDirection;
    SetVelocity(compassDirection);

    const SurfaceKind kind = KindOfSurface(surface);
    if (kind == verticalRoad || kind == horizontalRoad) {
        const theDirection pieceDirection = kind == verticalRoad ? vertical : horizontal;
        turnDirection = pieceDirection;
        direction = GetNewCarDirection(compassDirection, surface, pieceDirection);
        pictureIndex = GetNewPictureIndex();
        const bool runsAcross =
            kind == verticalRoad
                ? (compassDirection == compassRight || compassDirection == compassLeft)
                : (compassDirection == compassUp || compassDirection == compassDown);
        if (!runsAcross) {
            cameFromStraight = true;
            return false;
        }
        // On a straight piece the turn's sense follows from the old and the new direction, not
        // from the piece's travel direction: the curve and its frames must bend the same way.
        const bool clockwise = direction == (compassDirection + 1) % COMPASS_COUNT;
        turnDirection = clockwise ? dirRight : dirLeft;
        cameFromStraight = false;
        turnStep = 1;
        return true;
    }

    if (surface == Surface::CornerRoad || surface == Surface::BridgeCornerRoad) {
        turnDirection = corner;
        if (!cameFromStraight && turnedInSection) {
            return false;
        }
        direction = GetNewCarDirection(compassDirection, surface, corner);
        pictureIndex = GetNewPictureIndex();
        cameFromStraight = false;
        turnStep = 1;
        return true;
    }
    return false;
}

int RaceCar::UpdateRaceCarDirection(int step, theDirection turn, int first, int last) const {
    const FunctionTrace trace("RaceCar::UpdateRaceCarDirection");
    const int fifth = TurnPointCount() / TURN_FIFTHS;
    const bool clockwise = turn == dirRight;
    for (const TurnFrameStage& stage : TURN_FRAME_STAGES) {
        if (step >= stage.fifths * fifth) {
            const QuarterEnd end = clockwise ? stage.clockwiseEnd : stage.anticlockwiseEnd;
            const int offset = clockwise ? stage.clockwiseOffset : stage.anticlockwiseOffset;
            return (end == firstFrame ? first : last) + offset;
        }
    }
    return FRAME_UNCHANGED;
}

void RaceCar::CreateTurnPointArray(int x, int y, int compassDirection, theDirection turn) {
    const FunctionTrace trace("RaceCar::CreateTurnPointArray");
    turnPoints = LayOutTurn(x, y, compassDirection, turn, speed);
}

void RaceCar::GetTurnIncrement(float& dx, float& dy) const {
    const FunctionTrace trace("RaceCar::GetTurnIncrement");
    if (turnStep <= 0 || turnStep >= TurnPointCount()) {
        return;
    }
    const QPoint step = turnPoints[turnStep] - turnPoints[turnStep - 1];
    dx = float(step.x());
    dy = float(step.y());
}

void RaceCar::UpdateUserControlCar(int x, int y, const GridSection* section) {
    const FunctionTrace trace("RaceCar::UpdateUserControlCar");
    if (speed <= 0) {
        setVelocity(0, 0);
    } else {
        const int surface = section->SurfaceValue(x, y);
        if (surface == Surface::OffRoad) {
            // Off the road: the car rolls on with the velocity it had; the count decides below.
            ++crashCount;
        } else {
            UpdateCarZLevel(surface);
            SetHeadingVelocity(direction);
        }
    }
    if (crashCount > 1) {
        setVelocity(0, 0);
        speed = 0;
    }
    pictureIndex = direction;
}

void RaceCar::SetHeadingVelocity(int heading) {
    if (heading < 0 || heading >= HEADING_COUNT) {
        return;
    }
    const double s = speed;
    setVelocity(s * HEADING_VELOCITY[heading].vx, s * HEADING_VELOCITY[heading].vy);
}

void RaceCar::UpdateComputerControlCar(int x, int y, const GridSection* section) {
    const FunctionTrace trace("RaceCar::UpdateComputerControlCar");
    const int surface = section->SurfaceValue(x, y);
    UpdateCarZLevel(surface);

    if (IsStraightCompass(direction)) {
        const bool started =
            UpdateCarDirection(direction, surface, section->GetTrackDirection(entryVerticalLeg),
                               section->GetTrackDirection(entryHorizontalLeg),
                               section->GetTrackDirection(entryStoredDirection));
        if (started) {
            CreateTurnPointArray(x, y, direction, turnDirection);
        }
        return;
    }
    if (!IsDiagonalCompass(direction)) {
        return;
    }

    if (turnStep >= TurnPointCount()) {
        direction = StraightDirectionAfterTurn(surface, section);
        pictureIndex = FRAMES_PER_COMPASS_STEP * direction;
        SetVelocity(direction);
        return;
    }
    turnedInSection = true;
    GetTurnIncrement(turnStepX, turnStepY);
    setVelocity(double(turnStepX), double(turnStepY));
    ++turnStep;
    const QuarterFrames& quarter = QUARTER_FRAMES[direction];
    const int frame = UpdateRaceCarDirection(turnStep, turnDirection, quarter.first, quarter.last);
    if (frame != FRAME_UNCHANGED) {
        pictureIndex = frame;
    }
}

int RaceCar::StraightDirectionAfterTurn(int surface, const GridSection* section) const {
    switch (KindOfSurface(surface)) {
        case verticalRoad:
            return section->GetTrackDirection(entryVerticalLeg) == dirUp ? compassUp : compassDown;
        case horizontalRoad:
            return section->GetTrackDirection(entryHorizontalLeg) == dirRight ? compassRight
                                                                              : compassLeft;
        default: {
            // On a corner or off the road: the side of the diagonal the turn did not come from.
            const int clockwiseSide = (direction + 1) % COMPASS_COUNT;
            const int anticlockwiseSide = direction - 1;
            return previousDirection == anticlockwiseSide ? clockwiseSide : anticlockwiseSide;
        }
    }
}

int RaceCar::CheckForCollision() {
    const FunctionTrace trace("RaceCar::CheckForCollision");
    if (controlType != userControl || collisionsOff) {
        return crashCount;
    }
    // Any other car counts: the computer's, or the other player's, which tests this car by the
    // same rule in its own step, so that neither is favoured.
    for (Sprite* sprite : collidingSprites()) {
        const RaceCar* const other = qgraphicsitem_cast<RaceCar*>(sprite);
        if (other != nullptr && other->zValue() == zValue()) {
            ++crashCount;
            setVelocity(0, 0);
            speed = 0;
        }
    }
    return crashCount;
}

void RaceCar::UpdateCarZLevel(int surface) {
    const FunctionTrace trace("RaceCar::UpdateCarZLevel");
    setZValue(IsUpperLevelSurface(surface) ? UPPER_LEVEL : LOWER_LEVEL);
}

QRect RaceCar::GetRaceCarCenterline() const {
    const FunctionTrace trace("RaceCar::GetRaceCarCenterline");
    if (pictureIndex < 0 || pictureIndex >= HEADING_COUNT) {
        return QRect(QPoint(0, 0), QPoint(0, 0));
    }
    const QRect bounds = boundingRectInt();
    const CenterLine& line = CENTER_LINES[pictureIndex % CENTER_LINE_HEADINGS];
    return QRect(PointOf(bounds, line.from), PointOf(bounds, line.to));
}
