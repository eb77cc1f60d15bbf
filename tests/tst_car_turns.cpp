#include <QGraphicsScene>
#include <QtTest>

#include "car/TurnGeometry.h"
#include "tests/support/DiscCar.h"

class CarTurnsTest : public QObject {
    Q_OBJECT

  private slots:
    void workedExamplesAndSlowTurns();
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
    // Only diagonals turn.
    QCOMPARE(LayOutTurn(30, 30, 0, dirRight, 4).size(), size_t(0));
    QCOMPARE(LayOutTurn(30, 30, 8, dirLeft, 4).size(), size_t(0));

    // A speed of 1 or less would never finish the curve: the car turns as at 2.
    const std::vector<QPoint> slowest = LayOutTurn(30, 40, 3, dirLeft, 2);
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

QTEST_MAIN(CarTurnsTest)
#include "tst_car_turns.moc"
