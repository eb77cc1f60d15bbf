#include <QGraphicsScene>
#include <QtTest>
#include <cmath>
#include <deque>

#include "car/TurnGeometry.h"
#include "tests/support/CompareCase.h"
#include "tests/support/DiscCar.h"
#include "track/GridSection.h"

static QPointF VelocityOf(const RaceCar& car) {
    return {car.xVelocity(), car.yVelocity()};
}
static QPointF Straight(int compass, int speed) {
    return std::array<QPointF, 4>{{{0, -1}, {1, 0}, {0, 1}, {-1, 0}}}[compass / 2] * speed;
}

// Drives the rest of a turn begun this tick: one step of the curve per tick, the frame moving at
// most one step at a time in the turn's sense, up to the end of the diagonal's quarter.
static void FollowTurn(RaceCar& car, const GridSection* section, int x, int y, bool clockwise) {
    const std::vector<QPoint> points = car.TurnPoints();
    const int diagonal = car.direction;
    // The first frame one step past the old heading, in the sense of the turn.
    const int from = (diagonal + (clockwise ? 7 : 1)) % 8;
    QCOMPARE(car.pictureIndex, (3 * from + (clockwise ? 1 : 23)) % 24);
    for (size_t k = 1; k < points.size(); ++k) {
        const int before = car.pictureIndex;
        car.UpdateComputerControlCar(x, y, section);
        QCOMPARE(VelocityOf(car), QPointF(points[k] - points[k - 1]));
        QCOMPARE(car.direction, diagonal);
        QVERIFY(((car.pictureIndex - before) * (clockwise ? 1 : -1) + 24) % 24 <= 1);
    }
    QCOMPARE(car.pictureIndex, (3 * diagonal + (clockwise ? 2 : 23)) % 24);
}

class CarDrivingTest : public QObject {
    Q_OBJECT

    QGraphicsScene canvas;
    std::deque<GridSection> sections;

    GridSection* Add(trackPieces piece, theDirection way, int column, int row, int level = 0) {
        sections.emplace_back(&canvas).LoadImage(piece, way, column, row, level);
        return &sections.back();
    }
    // A computer's car just entered a piece.
    std::unique_ptr<RaceCar> Computer(int direction, int speed) {
        auto car = std::make_unique<RaceCar>(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
        car->SetRaceCarDirection(direction);
        car->SetRaceCarSpeed(speed);
        car->turnedInSection = false;
        return car;
    }

  private slots:
    void computerAndPlayerDriving();
};

void CarDrivingTest::computerAndPlayerDriving() {
    GridSection* const corner = Add(pieceUpperLeft, dirRight, 0, 0);  // up, then right
    GridSection* const straight = Add(pieceVerticalTrack, dirUp, 0, 1);
    auto car = Computer(0, 4);
    car->UpdateComputerControlCar(30, 0, straight);
    QCOMPARE(VelocityOf(*car), QPointF(0, -4));
    car->UpdateComputerControlCar(30, 72, corner);
    QCOMPARE(car->TurnPoints(), LayOutTurn(30, 72, 1, dirRight, 4));
    QCOMPARE(car->direction, 1);
    QCOMPARE(VelocityOf(*car), QPointF(0, -4));
    FollowTurn(*car, corner, 72, 41, true);
    car->UpdateComputerControlCar(72, 41, corner);
    QCOMPARE(car->direction, 2);
    QCOMPARE(car->pictureIndex, 6);
    QCOMPARE(VelocityOf(*car), QPointF(4, 0));
    // Turning marks the section turned in: no second turn on the same corner, until the race loop
    // clears the mark on entering a piece.
    car->UpdateComputerControlCar(72, 41, corner);
    QCOMPARE(car->direction, 2);
    car->turnedInSection = false;
    car->UpdateComputerControlCar(72, 41, corner);
    QCOMPARE(car->direction, 3);

    constexpr int compassOf[] = {6, 2, 0, 4};  // of dirLeft, dirRight, dirUp, dirDown
    // Running across a straight piece the car turns onto it by the diagonal; the curve and the
    // frames bend the way the car turns, whichever way the piece runs.
    for (const theDirection way : {dirLeft, dirRight, dirUp, dirDown}) {
        const int to = compassOf[way];
        auto* const piece =
            Add(way >= dirUp ? pieceVerticalTrack : pieceHorizontalTrack, way, 0, 2);
        for (const int from : {(to + 2) % 8, (to + 6) % 8}) {
            const theDirection sense = from == (to + 6) % 8 ? dirRight : dirLeft;
            const int diagonal = (from + (sense == dirRight ? 1 : 7)) % 8;
            auto car = Computer(from, 4);
            car->UpdateComputerControlCar(37, 36, piece);
            const QByteArray where = QString::asprintf("compass %d onto %d", from, to).toLatin1();
            COMPARE_CASE(car->direction, diagonal, where);
            COMPARE_CASE(VelocityOf(*car), Straight(from, 4), where);
            QCOMPARE(car->TurnPoints(), LayOutTurn(37, 36, diagonal, sense, 4));
            FollowTurn(*car, piece, 37, 36, sense == dirRight);
            car->UpdateComputerControlCar(37, 36, piece);
            QCOMPARE(car->direction, to);
            QCOMPARE(car->pictureIndex, 3 * to);
        }
    }

    // Road in rows 5..67 of a piece, grass above and below.
    GridSection* const road = Add(pieceHorizontalTrack, dirRight, 0, 0);
    GridSection* const bridge = Add(pieceHorizontalBridge, dirRight, 1, 0, 1);
    RaceCar player(DiscFrames(QPoint(0, 0)), &canvas, userControl);
    // The first tick off the road only counts, the car rolling on as it went; the second stops it
    // dead, and it stays stopped whatever its speed until the count is cleared. A standing car
    // counts nothing.
    const QPointF turned(4 * std::sin(M_PI / 12), -4 * std::cos(M_PI / 12));
    // heading, speed, count cleared, y, count after, velocity after
    const std::tuple<int, int, bool, int, int, QPointF> ticks[] = {
        {0, 4, false, 30, 0, {0, -4}}, {1, 4, false, 2, 1, {0, -4}}, {1, 4, false, 30, 1, turned},
        {1, 4, false, 2, 2, {0, 0}},   {1, 3, false, 30, 2, {0, 0}}, {1, 0, true, 2, 0, {0, 0}}};
    for (const auto& [heading, speed, cleared, y, crashes, velocity] : ticks) {
        player.SetRaceCarDirection(heading);
        player.SetRaceCarSpeed(speed);
        player.crashCount = cleared ? 0 : player.crashCount;
        player.UpdateUserControlCar(30, y, road);
        QCOMPARE(player.crashCount, crashes);
        QCOMPARE(player.speed, crashes > 1 ? 0 : speed);
        QCOMPARE(VelocityOf(player), velocity);
    }

    // The level changes only on the road: not off it, nor standing.
    const std::tuple<GridSection*, int, int, double> levels[] = {
        {road, 30, 3, 1.0}, {bridge, 30, 5, 3.0}, {bridge, 2, 5, 3.0},
        {road, 2, 5, 3.0},  {road, 30, 0, 3.0},   {road, 30, 2, 1.0}};
    for (const auto& [section, y, speed, depth] : levels) {
        player.SetRaceCarSpeed(speed);
        player.UpdateUserControlCar(30, y, section);
        QCOMPARE(player.zValue(), depth);
    }

    // Drawn pixels overlapping at the same depth stop the player's car; different depths,
    // collisions off, or pictures touching only in their transparent corners do not.
    RaceCar computer(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    player.setPos(100, 100);  // the disc centred on (110, 110), on the lower level
    player.show();
    computer.show();
    // the computer's car's hot spot (at, at), its depth, collisions off, crashes
    const std::tuple<int, double, bool, int> cases[] = {
        {118, 3.0, false, 0}, {118, 1.0, true, 0}, {128, 1.0, false, 0}, {118, 1.0, false, 1}};
    for (const auto& [at, depth, off, crashes] : cases) {
        computer.setPos(at, at);
        computer.setZValue(depth);
        player.collisionsOff = off;
        player.crashCount = 0;
        player.SetRaceCarSpeed(4);
        player.setVelocity(0, -4);
        QCOMPARE(player.CheckForCollision(), crashes);
        QCOMPARE(player.speed, 4 - 4 * crashes);
        QCOMPARE(VelocityOf(player), QPointF(0, -player.speed));
    }
    // Still touching in the next tick the count goes on; the computer's car counts nothing.
    QCOMPARE(player.CheckForCollision(), 2);
    QCOMPARE(computer.CheckForCollision(), 0);
}

QTEST_MAIN(CarDrivingTest)
#include "tst_car_driving.moc"
