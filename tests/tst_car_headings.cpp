#include <QGraphicsScene>
#include <QPainter>
#include <QtTest>
#include <cmath>

#include "car/CarLine.h"
#include "car/RaceCar.h"
#include "track/GridSection.h"

namespace {

constexpr double DEGREE = 3.141592653589793 / 180.0;

SpriteFrames DiscFrames(QPoint hotSpot) {
    QPixmap disc(20, 20);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setBrush(Qt::cyan);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(0, 0, 20, 20);
    painter.end();
    SpriteFrames frames;
    for (int i = 0; i < RaceCar::HEADING_COUNT; ++i) {
        frames.pixmaps.append(disc);
        frames.hotSpots.append(hotSpot);
    }
    return frames;
}

bool Near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

// Straight compass direction (0, 2, 4, 6) of a piece's travel direction.
int CompassOf(theDirection travel) {
    switch (travel) {
        case dirUp:
            return 0;
        case dirRight:
            return 2;
        case dirDown:
            return 4;
        default:
            return 6;
    }
}

}  // namespace

class CarHeadingsTest : public QObject {
    Q_OBJECT

  private slots:
    void playerVelocityFollowsTheHeading();
    void compassVelocityFollowsTheDirection();
    void setDirectionChoosesTheFrame();
    void cornerTurnsTakeTheDiagonalBetween();
    void straightPiecesTakeOrTurnTowardsTheirDirection();
    void framesDuringATurnWalkThroughTheQuarter();
    void resetRaceStartsTheBookkeepingAfresh();
    void levelFollowsTheSurface();
    void centreLineRunsAlongTheHeading();
};

void CarHeadingsTest::playerVelocityFollowsTheHeading() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(0, 0)), &canvas, userControl);
    GridSection road(&canvas);
    road.LoadImage(pieceHorizontalTrack, dirRight, 0, 0, 0);

    for (int speed = 0; speed <= 5; ++speed) {
        for (int heading = 0; heading < RaceCar::HEADING_COUNT; ++heading) {
            car.setVelocity(9, 9);
            car.SetRaceCarSpeed(speed);
            QCOMPARE(car.xVelocity(), 9.0);  // the speed alone never moves the car
            car.SetRaceCarDirection(heading);
            car.UpdateUserControlCar(30, 30, &road);
            const double angle = 15 * heading * DEGREE;
            QVERIFY2(Near(car.xVelocity(), speed * std::sin(angle)) &&
                         Near(car.yVelocity(), -speed * std::cos(angle)),
                     qPrintable(QString("speed %1 heading %2").arg(speed).arg(heading)));
            QCOMPARE(car.pictureIndex, heading);
            QCOMPARE(car.crashCount, 0);
        }
    }

    // Headings outside the 24 leave the velocity as it was.
    for (const int heading : {24, -1}) {
        car.setVelocity(2, 3);
        car.SetRaceCarSpeed(4);
        car.direction = heading;
        car.UpdateUserControlCar(30, 30, &road);
        QCOMPARE(car.xVelocity(), 2.0);
        QCOMPARE(car.yVelocity(), 3.0);
        QCOMPARE(car.pictureIndex, heading);
    }

    QVERIFY(Near(RaceCar::COS_15, std::cos(15 * DEGREE)) &&
            Near(RaceCar::SIN_75, std::sin(75 * DEGREE)));
}

void CarHeadingsTest::compassVelocityFollowsTheDirection() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    for (int speed = 0; speed <= 5; ++speed) {
        car.SetRaceCarSpeed(speed);
        for (int direction = -1; direction <= 8; ++direction) {
            car.setVelocity(-7, 7);
            car.SetVelocity(direction);
            const QString where = QString("speed %1 direction %2").arg(speed).arg(direction);
            if (direction >= 0 && direction <= 6 && direction % 2 == 0) {
                const double angle = 45 * direction * DEGREE;
                QVERIFY2(Near(car.xVelocity(), speed * std::sin(angle)) &&
                             Near(car.yVelocity(), -speed * std::cos(angle)),
                         qPrintable(where));
            } else {
                QVERIFY2(car.xVelocity() == -7 && car.yVelocity() == 7, qPrintable(where));
            }
        }
    }
}

void CarHeadingsTest::setDirectionChoosesTheFrame() {
    QGraphicsScene canvas;
    RaceCar player(DiscFrames(QPoint(0, 0)), &canvas, userControl);
    RaceCar computer(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    player.setVelocity(1, 2);
    for (int heading = 0; heading < RaceCar::HEADING_COUNT; ++heading) {
        player.SetRaceCarDirection(heading);
        QCOMPARE(player.direction, heading);
        QCOMPARE(player.pictureIndex, heading);
    }
    QCOMPARE(player.frame(), 0);
    QCOMPARE(player.xVelocity(), 1.0);

    // A compass step is 45 degrees, three frames; anything but up, right or down shows left.
    const struct {
        int direction;
        int frame;
    } computerFrames[] = {{0, 0}, {2, 6}, {4, 12}, {6, 18}, {1, 18}, {7, 18}, {9, 18}, {-2, 18}};
    for (const auto& row : computerFrames) {
        computer.SetRaceCarDirection(row.direction);
        QCOMPARE(computer.direction, row.direction);
        QCOMPARE(computer.pictureIndex, row.frame);
    }
    QCOMPARE(computer.frame(), 0);
}

void CarHeadingsTest::cornerTurnsTakeTheDiagonalBetween() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    car.SetRaceCarSpeed(3);
    for (const int surface : {3, 4, 0, 7}) {
        for (const int from : {0, 2, 4, 6}) {
            for (const theDirection sense : {dirRight, dirLeft}) {
                const bool clockwise = sense == dirRight;
                const int diagonal = (from + (clockwise ? 1 : 7)) % 8;
                QCOMPARE(car.GetNewCarDirection(from, surface, sense), diagonal);
                if (surface != 3 && surface != 4) {
                    continue;
                }
                car.turnedInSection = false;
                car.setVelocity(0, 0);
                QVERIFY(car.UpdateCarDirection(from, surface, dirUp, dirRight, sense));
                QCOMPARE(car.direction, diagonal);
                // One 15-degree frame past the old heading, in the sense of the turn.
                QCOMPARE(car.pictureIndex, (3 * from + (clockwise ? 1 : 23)) % 24);
                // This tick still runs straight on.
                const double angle = 45 * from * DEGREE;
                QVERIFY(Near(car.xVelocity(), 3 * std::sin(angle)) &&
                        Near(car.yVelocity(), -3 * std::cos(angle)));
            }
        }
    }

    // A corner already turned in: only the straight velocity is set.
    car.turnedInSection = true;
    car.SetRaceCarDirection(2);
    car.pictureIndex = 6;
    QVERIFY(!car.UpdateCarDirection(2, 3, dirUp, dirRight, dirRight));
    QCOMPARE(car.direction, 2);
    QCOMPARE(car.pictureIndex, 6);
    QCOMPARE(car.xVelocity(), 3.0);

    // No other surface turns the car.
    QVERIFY(!car.UpdateCarDirection(2, 0, dirUp, dirRight, dirRight));
    QCOMPARE(car.direction, 2);

    // Diagonals and unknown directions give 0.
    for (const int odd : {1, 3, 5, 7, 8, -2}) {
        QCOMPARE(car.GetNewCarDirection(odd, 3, dirRight), 0);
        QCOMPARE(car.GetNewCarDirection(odd, 1, dirUp), 0);
    }
}

void CarHeadingsTest::straightPiecesTakeOrTurnTowardsTheirDirection() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    car.SetRaceCarSpeed(2);
    const struct {
        int surface;
        theDirection travels[2];
    } pieces[] = {{1, {dirUp, dirDown}},
                  {5, {dirUp, dirDown}},
                  {2, {dirLeft, dirRight}},
                  {6, {dirLeft, dirRight}}};
    for (const auto& piece : pieces) {
        const bool vertical = piece.surface == 1 || piece.surface == 5;
        for (const theDirection travel : piece.travels) {
            const int target = CompassOf(travel);
            for (const int from : {0, 2, 4, 6}) {
                const bool across = (from % 4 == 0) != vertical;
                int expected = target;
                if (across) {
                    // The diagonal between the old direction and the piece's.
                    expected = std::abs(from - target) == 2 ? (from + target) / 2 : 7;
                }
                const QString where = QString("surface %1 travel %2 from %3")
                                          .arg(piece.surface)
                                          .arg(travel)
                                          .arg(from);
                QVERIFY2(car.GetNewCarDirection(from, piece.surface, travel) == expected,
                         qPrintable(where));

                const bool started =
                    car.UpdateCarDirection(from, piece.surface, travel, travel, dirNone);
                QVERIFY2(started == across, qPrintable(where));
                QVERIFY2(car.direction == expected, qPrintable(where));
                if (!across) {
                    QVERIFY2(car.pictureIndex == 3 * target, qPrintable(where));
                } else {
                    const bool clockwise = expected == (from + 1) % 8;
                    QVERIFY2(car.pictureIndex == (3 * from + (clockwise ? 1 : 23)) % 24,
                             qPrintable(where));
                }
            }
        }
    }

    // Running up against a downward piece reverses at once, still moving up in this tick.
    car.SetRaceCarDirection(0);
    QVERIFY(!car.UpdateCarDirection(0, 1, dirDown, dirDown, dirDown));
    QCOMPARE(car.direction, 4);
    QCOMPARE(car.pictureIndex, 12);
    QCOMPARE(car.yVelocity(), -2.0);

    // The frame of an unknown direction is 0.
    for (const int unknown : {8, -1}) {
        car.direction = unknown;
        QCOMPARE(car.GetNewPictureIndex(), 0);
    }
}

void CarHeadingsTest::framesDuringATurnWalkThroughTheQuarter() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    car.SetRaceCarSpeed(4);
    car.CreateTurnPointArray(30, 40, 1, dirRight);
    QCOMPARE(car.TurnPointCount(), 19);  // a fifth is 3 steps

    // Nothing before the first fifth; then first, last - 2, last - 1, last clockwise and the
    // reverse anticlockwise, changing at 3, 6, 9 and 12 steps.
    const int clockwise[] = {255, 255, 255, 8,  8,  8,  9,  9,  9, 10,
                             10,  10,  11,  11, 11, 11, 11, 11, 11};
    const int anticlockwise[] = {255, 255, 255, 11, 11, 11, 10, 10, 10, 9,
                                 9,   9,   8,   8,  8,  8,  8,  8,  8};
    for (int step = 0; step < 19; ++step) {
        QCOMPARE(car.UpdateRaceCarDirection(step, dirRight, 8, 11), clockwise[step]);
        QCOMPARE(car.UpdateRaceCarDirection(step, dirLeft, 8, 11), anticlockwise[step]);
        QCOMPARE(car.UpdateRaceCarDirection(step, dirUp, 8, 11), anticlockwise[step]);
    }

    // Fewer than five points: the final frame of the quarter from the first step on.
    car.SetRaceCarSpeed(40);
    car.CreateTurnPointArray(30, 40, 1, dirRight);
    QVERIFY(car.TurnPointCount() > 0 && car.TurnPointCount() < 5);
    QCOMPARE(car.UpdateRaceCarDirection(1, dirRight, 2, 5), 5);
    QCOMPARE(car.UpdateRaceCarDirection(1, dirLeft, 2, 5), 2);
}

void CarHeadingsTest::resetRaceStartsTheBookkeepingAfresh() {
    QGraphicsScene canvas;
    const RaceCar fresh(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    car.visited.fill(1);
    car.restarting = true;
    car.turnedInSection = false;
    car.SetRaceCarDirection(4);
    car.SetRaceCarSpeed(5);
    car.maxSpeed = 5;
    car.lapsCompleted = 3;
    car.crashCount = 2;
    car.blinkCounter = 7;
    car.collisionsOff = true;

    car.ResetRace();
    QCOMPARE(car.visited, fresh.visited);
    QCOMPARE(car.restarting, fresh.restarting);
    QCOMPARE(car.turnedInSection, fresh.turnedInSection);
    QCOMPARE(car.direction, fresh.direction);
    QCOMPARE(car.speed, fresh.speed);
    QCOMPARE(car.lapsCompleted, fresh.lapsCompleted);
    QCOMPARE(car.crashCount, fresh.crashCount);
    QCOMPARE(car.blinkCounter, fresh.blinkCounter);
    QCOMPARE(car.pictureIndex, fresh.pictureIndex);
    // The level's settings are not the race's to reset.
    QCOMPARE(car.maxSpeed, 5);
    QVERIFY(car.collisionsOff);
}

void CarHeadingsTest::levelFollowsTheSurface() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    const struct {
        int surface;
        double depth;
    } levels[] = {{0, 1.0}, {4, 3.0}, {1, 1.0}, {5, 3.0}, {2, 1.0},
                  {6, 3.0}, {3, 1.0}, {7, 1.0}, {-1, 1.0}};
    for (const auto& level : levels) {
        car.UpdateCarZLevel(level.surface);
        QCOMPARE(car.zValue(), level.depth);
    }
}

void CarHeadingsTest::centreLineRunsAlongTheHeading() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(0, 0)), &canvas, userControl);
    car.setPos(100, 50);
    QCOMPARE(car.boundingRectInt(), QRect(100, 50, 20, 20));

    car.pictureIndex = 3;
    QRect line = car.GetRaceCarCenterline();
    QCOMPARE(QPoint(line.left(), line.top()), QPoint(119, 50));
    QCOMPARE(QPoint(line.right(), line.bottom()), QPoint(100, 69));

    for (int heading = 0; heading < RaceCar::HEADING_COUNT; ++heading) {
        car.pictureIndex = heading;
        line = car.GetRaceCarCenterline();
        const QPoint from(line.left(), line.top());
        const QPoint to(line.right(), line.bottom());
        const QString where = QString("heading %1").arg(heading);
        // Edge to edge: both ends on the border of the car's image.
        for (const QPoint& end : {from, to}) {
            QVERIFY2(end.x() >= 100 && end.x() <= 119 && end.y() >= 50 && end.y() <= 69,
                     qPrintable(where));
            QVERIFY2(end.x() == 100 || end.x() == 119 || end.y() == 50 || end.y() == 69,
                     qPrintable(where));
        }
        // Through the centre of the image.
        QVERIFY2(from + to == QPoint(219, 119), qPrintable(where));
        // Along the heading, within the few degrees of a 20-pixel picture.
        const double lineAngle = std::atan2(to.x() - from.x(), from.y() - to.y()) / DEGREE;
        double off = std::fmod(lineAngle - 15 * heading + 720.0, 180.0);
        off = std::min(off, 180.0 - off);
        QVERIFY2(off < 6.0, qPrintable(where));
        // A heading and its reverse share the line.
        car.pictureIndex = (heading + 12) % 24;
        QCOMPARE(car.GetRaceCarCenterline(), line);
    }

    for (const int unknown : {24, -1}) {
        car.pictureIndex = unknown;
        line = car.GetRaceCarCenterline();
        QCOMPARE(QPoint(line.left(), line.top()), QPoint(0, 0));
        QCOMPARE(QPoint(line.right(), line.bottom()), QPoint(0, 0));
    }

    CarLine carLine(&canvas);
    QVERIFY(!carLine.isVisible());
    QCOMPARE(carLine.zValue(), 10.0);
    QCOMPARE(carLine.pen().color(), QColor(0, 255, 255));
    QCOMPARE(carLine.pen().width(), 1);
    QCOMPARE(carLine.pen().style(), Qt::SolidLine);
    car.pictureIndex = 3;
    carLine.SetPoints(car.GetRaceCarCenterline());
    QCOMPARE(carLine.line(), QLineF(119, 50, 100, 69));
}

QTEST_MAIN(CarHeadingsTest)
#include "tst_car_headings.moc"
