#include <QGraphicsScene>
#include <QtTest>
#include <cmath>

#include "car/CarLine.h"
#include "tests/support/CompareCase.h"
#include "tests/support/DiscCar.h"
#include "track/GridSection.h"

// The velocity at a speed along an angle clockwise from up, y growing downwards.
static QPointF Along(double degrees, int speed) {
    return {speed * std::sin(degrees * M_PI / 180), -speed * std::cos(degrees * M_PI / 180)};
}

class CarHeadingsTest : public QObject {
    Q_OBJECT

    QGraphicsScene canvas;
    RaceCar player{DiscFrames(QPoint(0, 0)), &canvas, userControl};
    RaceCar computer{DiscFrames(QPoint(10, 10)), &canvas, computerControl};

  private slots:
    void velocitiesAndCentreLineFollowTheHeading();
    void newDirectionsAndTheirFrames();
};

void CarHeadingsTest::velocitiesAndCentreLineFollowTheHeading() {
    GridSection road(&canvas);
    road.LoadImage(pieceHorizontalTrack, dirRight, 0, 0, 0);
    for (int speed = 0; speed <= 5; ++speed) {
        player.SetRaceCarSpeed(speed);
        // 24 headings in 15-degree steps; any other heading leaves the velocity alone.
        for (int heading = -1; heading <= RaceCar::HEADING_COUNT; ++heading) {
            player.setVelocity(9, 9);
            player.SetRaceCarDirection(heading);
            QCOMPARE(player.pictureIndex, heading);
            player.UpdateUserControlCar(30, 30, &road);
            const bool known = (heading >= 0 && heading < 24) || speed == 0;
            const QPointF velocity(player.xVelocity(), player.yVelocity());
            COMPARE_CASE(velocity, known ? Along(15 * heading, speed) : QPointF(9, 9),
                         QString::asprintf("heading %d speed %d", heading, speed).toLatin1());
        }
    }

    // The centre line runs edge to edge through the middle of the picture, along the heading
    // within the few degrees a 20-pixel picture allows; a heading and its reverse alike.
    player.setPos(100, 50);
    const auto line = [&](int picture) {
        player.pictureIndex = picture;
        return player.GetRaceCarCenterline();
    };
    const auto onBorder = [](QPoint p) {
        return QRect(100, 50, 20, 20).contains(p) && !QRect(101, 51, 18, 18).contains(p);
    };
    QCOMPARE(line(3), QRect(QPoint(119, 50), QPoint(100, 69)));
    QCOMPARE(line(24), QRect(QPoint(0, 0), QPoint(0, 0)));
    QCOMPARE(line(-1), line(24));
    for (int heading = 0; heading < RaceCar::HEADING_COUNT; ++heading) {
        const QPoint from = line(heading).topLeft(), to = line(heading).bottomRight();
        QVERIFY(onBorder(from));
        QVERIFY(onBorder(to));
        QCOMPARE(from + to, QPoint(219, 119));
        QCOMPARE(line((heading + 12) % 24), line(heading));
        const double degrees = std::atan2(to.x() - from.x(), from.y() - to.y()) * 180 / M_PI;
        const double off = std::fmod(degrees - 15 * heading + 720.0, 180.0);
        QVERIFY2(std::min(off, 180.0 - off) < 6.0, qPrintable(QString::number(heading)));
    }
    CarLine carLine(&canvas);
    carLine.SetPoints(line(3));
    QCOMPARE(carLine.line(), QLineF(119, 50, 100, 69));
}

void CarHeadingsTest::newDirectionsAndTheirFrames() {
    // A compass step is three frames; any direction but up, right or down shows the car facing
    // left.
    for (const int direction : {0, 2, 4, 6, 1, 7, 9, -2}) {
        computer.SetRaceCarDirection(direction);
        const bool own = direction >= 0 && direction <= 4 && direction % 2 == 0;
        QCOMPARE(computer.pictureIndex, own ? 3 * direction : 18);
    }

    // At each fifth of a turn (3 steps of 19 here) the frame moves through the quarter 8..11:
    // clockwise first, last - 2, last - 1, last; anticlockwise (any sense but right) the reverse.
    computer.SetRaceCarSpeed(4);
    computer.CreateTurnPointArray(30, 40, 1, dirRight);
    const int none = RaceCar::FRAME_UNCHANGED;
    for (int step = 0; step < 19; ++step) {
        const int f = std::min(step / 3, 4);
        QCOMPARE(computer.UpdateRaceCarDirection(step, dirRight, 8, 11), f ? 7 + f : none);
        QCOMPARE(computer.UpdateRaceCarDirection(step, dirUp, 8, 11), f ? 12 - f : none);
    }
    // Fewer than five points (a fast car): the final frame from the start.
    computer.SetRaceCarSpeed(40);
    computer.CreateTurnPointArray(30, 40, 1, dirRight);
    QCOMPARE(computer.UpdateRaceCarDirection(1, dirRight, 2, 5), 5);
    QCOMPARE(computer.UpdateRaceCarDirection(1, dirLeft, 2, 5), 2);
}

QTEST_MAIN(CarHeadingsTest)
#include "tst_car_headings.moc"
