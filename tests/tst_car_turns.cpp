#include <QGraphicsScene>
#include <QPainter>
#include <QtTest>
#include <cmath>

#include "car/RaceCar.h"
#include "car/TurnGeometry.h"

namespace {

constexpr double HALF_PI = 1.5707963267948966;

SpriteFrames DiscFrames() {
    QPixmap disc(20, 20);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setBrush(Qt::yellow);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(0, 0, 20, 20);
    painter.end();
    SpriteFrames frames;
    for (int i = 0; i < RaceCar::HEADING_COUNT; ++i) {
        frames.pixmaps.append(disc);
        frames.hotSpots.append(QPoint(10, 10));
    }
    return frames;
}

// Compass direction to unit step on screen (y down).
QPoint Unit(int compass) {
    static const QPoint units[] = {{0, -1}, {1, -1}, {1, 0},  {1, 1},
                                   {0, 1},  {-1, 1}, {-1, 0}, {-1, -1}};
    return units[(compass % 8 + 8) % 8];
}

// True when the step goes forward along the straight compass direction and not mostly across it
// (a flat ellipse still bends across the last steps).
bool MainlyAlong(const QPoint& step, int compass) {
    const QPoint unit = Unit(compass);
    const int along = step.x() * unit.x() + step.y() * unit.y();
    const int across = std::abs(step.x() * unit.y() - step.y() * unit.x());
    return along > 0 && 2 * along >= across;
}

}  // namespace

class CarTurnsTest : public QObject {
    Q_OBJECT

  private slots:
    void workedExamples();
    void everyShapeRunsFromEntryEdgeToExitLane();
    void pointSpacingFollowsSpeed();
    void slowCarsStillGetATurnThatEnds();
    void onlyDiagonalsHaveTurns();
    void turnIncrementSteps();
};

void CarTurnsTest::workedExamples() {
    const std::vector<QPoint> upThenRight = LayOutTurn(30, 50, 1, dirRight, 4);
    QCOMPARE(int(upThenRight.size()), 19);
    QCOMPARE(upThenRight[0], QPoint(30, 73));
    QCOMPARE(upThenRight[1], QPoint(30, 70));
    QCOMPARE(upThenRight[2], QPoint(30, 68));
    QCOMPARE(upThenRight[3], QPoint(31, 66));
    QCOMPARE(upThenRight[16], QPoint(64, 46));
    QCOMPARE(upThenRight[17], QPoint(68, 46));
    QCOMPARE(upThenRight[18], QPoint(71, 46));

    const std::vector<QPoint> rightThenUp = LayOutTurn(10, 30, 1, dirLeft, 5);
    QCOMPARE(int(rightThenUp.size()), 12);
    QCOMPARE(rightThenUp.front(), QPoint(0, 30));
    QCOMPARE(rightThenUp.back(), QPoint(27, 1));

    const std::vector<QPoint> downThenLeft = LayOutTurn(30, 5, 5, dirRight, 4);
    QCOMPARE(int(downThenLeft.size()), 15);
    QCOMPARE(downThenLeft.front(), QPoint(30, 0));
    QCOMPARE(downThenLeft.back(), QPoint(2, 26));
}

void CarTurnsTest::everyShapeRunsFromEntryEdgeToExitLane() {
    // A clockwise turn through diagonal k runs from straight direction k - 1 to k + 1, an
    // anticlockwise one from k + 1 to k - 1. It enters through the edge it runs away from and
    // leaves through the edge it runs towards.
    constexpr int width = 75;
    constexpr int height = 73;
    for (const int diagonal : {1, 3, 5, 7}) {
        for (const theDirection turn : {dirRight, dirLeft}) {
            const bool clockwise = turn == dirRight;
            const int entry = (diagonal + (clockwise ? -1 : 1) + 8) % 8;
            const int exit = (diagonal + (clockwise ? 1 : -1) + 8) % 8;
            // The inner corner: on the exit side, opposite to the entry motion.
            const int cornerX = (Unit(exit).x() > 0 || Unit(entry).x() < 0) ? width : 0;
            const int cornerY = (Unit(exit).y() > 0 || Unit(entry).y() < 0) ? height : 0;
            const int exitLane = Unit(exit).x() != 0 ? 27 : 28;
            for (const int position : {8, 20, 36, 50, 66}) {
                for (int speed = 2; speed <= 5; ++speed) {
                    const std::vector<QPoint> points =
                        LayOutTurn(position, position, diagonal, turn, speed);
                    const QString where = QString("diagonal %1 turn %2 at %3 speed %4")
                                              .arg(diagonal)
                                              .arg(turn)
                                              .arg(position)
                                              .arg(speed);
                    QVERIFY2(points.size() >= 3, qPrintable(where));

                    const QPoint first = points.front();
                    if (Unit(entry).x() == 0) {
                        QVERIFY2(first.x() == position, qPrintable(where));
                        QVERIFY2(std::abs(first.y() - (Unit(entry).y() < 0 ? height : 0)) <= 1,
                                 qPrintable(where));
                    } else {
                        QVERIFY2(first.y() == position, qPrintable(where));
                        QVERIFY2(std::abs(first.x() - (Unit(entry).x() < 0 ? width : 0)) <= 1,
                                 qPrintable(where));
                    }

                    const QPoint last = points.back();
                    const int laneDistance = Unit(exit).x() != 0 ? std::abs(last.y() - cornerY)
                                                                 : std::abs(last.x() - cornerX);
                    QVERIFY2(laneDistance == exitLane || laneDistance == exitLane - 1,
                             qPrintable(where));
                    const int edgeDistance = Unit(exit).x() != 0 ? std::abs(last.x() - cornerX)
                                                                 : std::abs(last.y() - cornerY);
                    QVERIFY2(edgeDistance <= 2 * speed, qPrintable(where));

                    // The motion of the first and of the last fifth of the curve.
                    const size_t fifth = std::max<size_t>(1, points.size() / 5);
                    QVERIFY2(MainlyAlong(points[fifth] - points[0], entry), qPrintable(where));
                    QVERIFY2(MainlyAlong(last - points[points.size() - 1 - fifth], exit),
                             qPrintable(where));
                }
            }
        }
    }
}

void CarTurnsTest::pointSpacingFollowsSpeed() {
    // About R·(π/2)/(speed − 1) + 1 points, R the mean of the two semi-axes.
    for (const int x : {10, 30, 48}) {
        const int meanRadius = (std::abs(75 - x) + 27) / 2;
        int previousCount = 1000;
        for (int speed = 2; speed <= 6; ++speed) {
            const int count = int(LayOutTurn(x, 0, 1, dirRight, speed).size());
            const double expected = meanRadius * HALF_PI / (speed - 1) + 1;
            QVERIFY(std::abs(count - expected) <= 1.0);
            QVERIFY(count < previousCount);
            previousCount = count;
        }
    }

    // Entering on the exit lane (A = B = 27) gives a quarter circle about the corner (75, 73).
    for (const QPoint& point : LayOutTurn(75 - 27, 10, 1, dirRight, 3)) {
        const double radius = std::hypot(75 - point.x(), 73 - point.y());
        QVERIFY(radius > 26.0 && radius < 28.5);
    }
}

void CarTurnsTest::slowCarsStillGetATurnThatEnds() {
    const std::vector<QPoint> slowest = LayOutTurn(30, 40, 3, dirLeft, SLOWEST_TURN_SPEED);
    QVERIFY(slowest.size() > 20 && slowest.size() < 100);
    for (const int speed : {1, 0, -3}) {
        QCOMPARE(LayOutTurn(30, 40, 3, dirLeft, speed), slowest);
    }

    QGraphicsScene canvas;
    RaceCar car(DiscFrames(), &canvas, computerControl);
    car.SetRaceCarSpeed(1);
    car.CreateTurnPointArray(30, 40, 3, dirLeft);
    QCOMPARE(car.TurnPoints(), slowest);
    QCOMPARE(car.speed, 1);
}

void CarTurnsTest::onlyDiagonalsHaveTurns() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(), &canvas, computerControl);
    car.SetRaceCarSpeed(4);
    car.CreateTurnPointArray(30, 30, 1, dirRight);
    QVERIFY(car.TurnPointCount() > 0);
    for (const int direction : {0, 2, 4, 6, 8, -1}) {
        QVERIFY(LayOutTurn(30, 30, direction, dirRight, 4).empty());
        car.CreateTurnPointArray(30, 30, direction, dirRight);
        QCOMPARE(car.TurnPointCount(), 0);
    }
}

void CarTurnsTest::turnIncrementSteps() {
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(), &canvas, computerControl);
    car.SetRaceCarSpeed(4);
    car.CreateTurnPointArray(30, 60, 1, dirRight);

    // No turn step yet: the outputs stay as they were.
    float dx = 7.5F;
    float dy = -7.5F;
    car.GetTurnIncrement(dx, dy);
    QCOMPARE(dx, 7.5F);
    QCOMPARE(dy, -7.5F);

    // Starting the turn on a corner makes the first step the one from point 0 to point 1.
    car.turnedInSection = false;
    QVERIFY(car.UpdateCarDirection(0, 3, dirUp, dirRight, dirRight));
    car.CreateTurnPointArray(30, 60, car.direction, dirRight);
    car.GetTurnIncrement(dx, dy);
    QCOMPARE(dx, 0.0F);
    QCOMPARE(dy, -3.0F);

    // A single-point turn has no step at all.
    car.SetRaceCarSpeed(200);
    car.CreateTurnPointArray(30, 60, 1, dirRight);
    QCOMPARE(car.TurnPointCount(), 1);
    dx = 1.0F;
    dy = 2.0F;
    car.GetTurnIncrement(dx, dy);
    QCOMPARE(dx, 1.0F);
    QCOMPARE(dy, 2.0F);
}

QTEST_MAIN(CarTurnsTest)
#include "tst_car_turns.moc"
