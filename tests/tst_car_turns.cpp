#include <QGraphicsScene>
#include <QtTest>
#include <cmath>

#include "car/TurnGeometry.h"
#include "tests/support/DiscCar.h"

class CarTurnsTest : public QObject {
    Q_OBJECT

  private slots:
    void workedExamplesAndSlowTurns();
    void everyShapeRunsFromEntryEdgeToExitLane();
};

void CarTurnsTest::workedExamplesAndSlowTurns() {
    const auto check = [](const std::vector<QPoint>& points, size_t count,
                          const std::vector<QPoint>& head, const std::vector<QPoint>& tail) {
        QCOMPARE(points.size(), count);
        QCOMPARE(std::vector<QPoint>(points.begin(), points.begin() + head.size()), head);
        QCOMPARE(std::vector<QPoint>(points.end() - tail.size(), points.end()), tail);
    };
    check(LayOutTurn(30, 50, 1, dirRight, 4), 19, {{30, 73}, {30, 70}, {30, 68}, {31, 66}},
          {{64, 46}, {68, 46}, {71, 46}});
    check(LayOutTurn(10, 30, 1, dirLeft, 5), 12, {{0, 30}}, {{27, 1}});
    check(LayOutTurn(30, 5, 5, dirRight, 4), 15, {{30, 0}}, {{2, 26}});
    QVERIFY(LayOutTurn(30, 30, 0, dirRight, 4).empty() &&
            LayOutTurn(30, 30, 8, dirLeft, 4).empty());

    // A speed of 1 or less would never finish the curve.
    const std::vector<QPoint> slowest = LayOutTurn(30, 40, 3, dirLeft, SLOWEST_TURN_SPEED);
    QVERIFY(slowest.size() > 20 && slowest.size() < 100);
    QGraphicsScene canvas;
    RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    for (const int speed : {1, 0, -3}) {
        car.SetRaceCarSpeed(speed);
        car.CreateTurnPointArray(30, 40, 3, dirLeft);
        QCOMPARE(car.TurnPoints(), slowest);
    }

    // Before a turn has begun, and in a turn of a single point, there is no step to take.
    car.SetRaceCarSpeed(4);
    float dx = 7.5F, dy = -7.5F;
    car.GetTurnIncrement(dx, dy);
    QCOMPARE(QPointF(dx, dy), QPointF(7.5, -7.5));
    car.turnedInSection = false;
    QVERIFY(car.UpdateCarDirection(0, 3, dirUp, dirRight, dirRight));
    car.CreateTurnPointArray(30, 60, car.direction, dirRight);
    car.GetTurnIncrement(dx, dy);
    QCOMPARE(QPointF(dx, dy), QPointF(0, -3));
    car.SetRaceCarSpeed(200);
    car.CreateTurnPointArray(30, 60, 1, dirRight);
    car.GetTurnIncrement(dx, dy);
    QCOMPARE(QPointF(dx, dy), QPointF(0, -3));
}

void CarTurnsTest::everyShapeRunsFromEntryEdgeToExitLane() {
    const auto along = [](QPoint p, bool x) { return x ? p.x() : p.y(); };
    const auto unit = [](int c) {
        return QPoint(std::lround(std::sin(c * M_PI / 4)), -std::lround(std::cos(c * M_PI / 4)));
    };
    // Clockwise through diagonal k runs from k - 1 to k + 1 about the inner corner of the piece:
    // in through the corner's edge in the car's own column (or row), out in the lane 27 (or 28)
    // from the corner.
    for (const int diagonal : {1, 3, 5, 7}) {
        for (const theDirection turn : {dirRight, dirLeft}) {
            const QPoint in = unit(diagonal + (turn == dirRight ? -1 : 1));
            const QPoint out = unit(diagonal + (turn == dirRight ? 1 : -1));
            const bool vertical = in.x() == 0;
            const QPoint corner((out.x() > 0 || in.x() < 0) ? 75 : 0,
                                (out.y() > 0 || in.y() < 0) ? 73 : 0);
            const int lane = vertical ? 27 : 28;
            for (const int at : {8, 20, 36, 50, 66}) {
                for (int speed = 2; speed <= 5; ++speed) {
                    const std::vector<QPoint> points = LayOutTurn(at, at, diagonal, turn, speed);
                    const QPoint first = points.front();
                    QVERIFY(along(first, vertical) == at &&
                            std::abs(along(first - corner, !vertical)) <= 1);
                    const QPoint last = points.back() - corner;
                    const int fromLane = std::abs(along(last, !vertical));
                    QVERIFY((fromLane == lane || fromLane == lane - 1) &&
                            std::abs(along(last, vertical)) <= 2 * speed);
                    // One point per step of speed - 1 along the mean of the two radii.
                    const int entry = std::abs(along(QPoint(at, at) - corner, vertical));
                    const double count = (entry + lane) / 2 * M_PI / 2 / (speed - 1) + 1;
                    QVERIFY(std::abs(int(points.size()) - count) <= 1);
                }
            }
        }
    }
}

QTEST_MAIN(CarTurnsTest)
#include "tst_car_turns.moc"
