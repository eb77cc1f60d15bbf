#include <QGraphicsScene>
#include <QPainter>
#include <QtTest>
#include <cmath>
#include <memory>
#include <vector>

#include "car/RaceCar.h"
#include "car/TurnGeometry.h"
#include "track/GridSection.h"

namespace {

// Twenty-by-twenty discs: the corners of every frame are transparent.
SpriteFrames DiscFrames(QPoint hotSpot) {
    QPixmap disc(20, 20);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setBrush(Qt::blue);
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

QPointF VelocityOf(const RaceCar& car) {
    return {car.xVelocity(), car.yVelocity()};
}

// Velocity of a straight compass direction at a speed.
QPointF Straight(int compass, int speed) {
    const QPointF units[] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    return units[compass / 2] * speed;
}

bool MainlyAlong(const QPointF& motion, int compass) {
    const QPointF unit = Straight(compass, 1);
    const double along = motion.x() * unit.x() + motion.y() * unit.y();
    const double across = std::abs(motion.x() * unit.y() - motion.y() * unit.x());
    return along > 0 && along > across;
}

// A few track pieces on a race canvas, with the race loop's look-up of the piece under a point.
class TestTrack {
  public:
    GridSection* Add(trackPieces piece, theDirection direction, int column, int row,
                     int level = 0) {
        sections.push_back(std::make_unique<GridSection>(&canvas));
        sections.back()->LoadImage(piece, direction, column, row, level);
        sections.back()->SetImage();
        return sections.back().get();
    }

    // On the car's own level where there is a section, else on the other level.
    GridSection* At(double x, double y, int z) const {
        for (const int level : {z, z == 3 ? 1 : 3}) {
            for (const auto& section : sections) {
                if (!section->OnGrid(int(x), int(y), level)) {
                    return section.get();
                }
            }
        }
        return nullptr;
    }

    // One race tick of the computer's car: drive on the piece under its centre, then move.
    GridSection* DriveComputer(RaceCar& car) {
        GridSection* const section = At(car.x(), car.y(), int(car.zValue()));
        if (section == nullptr) {
            return nullptr;
        }
        int gx = 0;
        int gy = 0;
        section->GetGridXYValues(car.x(), car.y(), &gx, &gy);
        car.UpdateComputerControlCar(gx, gy, section);
        canvas.advance();
        return section;
    }

    QGraphicsScene canvas;

  private:
    std::vector<std::unique_ptr<GridSection>> sections;
};

std::unique_ptr<RaceCar> ComputerCar(QGraphicsScene* canvas, int direction, int speed) {
    auto car = std::make_unique<RaceCar>(DiscFrames(QPoint(10, 10)), canvas, computerControl);
    car->SetRaceCarDirection(direction);
    car->SetRaceCarSpeed(speed);
    car->setZValue(RaceCar::LOWER_LEVEL);
    car->setAnimated(true);
    return car;
}

// Frames seen during a turn move in its sense only, a quarter in all, through every frame of the
// quarter of the diagonal.
void CheckTurnFrames(const std::vector<int>& frames, int diagonal, bool clockwise) {
    int progress = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        const int forward = clockwise ? frames[i] - frames[i - 1] : frames[i - 1] - frames[i];
        const int step = (forward + 24) % 24;
        QVERIFY2(step <= 2,
                 qPrintable(QString("frame %1 after %2").arg(frames[i]).arg(frames[i - 1])));
        progress += step;
    }
    QCOMPARE(progress, 6);
    for (int frame = 3 * diagonal - 1; frame <= 3 * diagonal + 2; ++frame) {
        QVERIFY(std::find(frames.begin(), frames.end(), frame) != frames.end());
    }
}

}  // namespace

class CarDrivingTest : public QObject {
    Q_OBJECT

  private slots:
    void computerRunsUpAndTurnsThroughACorner();
    void turnStraightensOnThePieceItEndsOn();
    void runningAcrossAStraightPieceTurnsTowardsItsDirection();
    void playerOffRoadAndCrashes();
    void playerDepthChangesOnlyOnRoad();
    void collisionsStopThePlayerOnHard();
};

void CarDrivingTest::computerRunsUpAndTurnsThroughACorner() {
    TestTrack track;
    GridSection* const corner = track.Add(pieceUpperLeft, dirRight, 0, 0);  // up, then right
    GridSection* const straight = track.Add(pieceVerticalTrack, dirUp, 0, 1);
    track.Add(pieceHorizontalTrack, dirRight, 1, 0);
    auto car = ComputerCar(&track.canvas, 0, 4);
    car->setPos(30, 140);
    car->show();

    // Straight up the vertical piece.
    while (track.At(car->x(), car->y(), 1) == straight) {
        track.DriveComputer(*car);
        QCOMPARE(VelocityOf(*car), QPointF(0, -4));
        QCOMPARE(car->direction, 0);
        QCOMPARE(car->pictureIndex, 0);
    }
    QCOMPARE(car->pos(), QPointF(30, 72));

    // Reaching the corner (having come along a straight) starts the turn, still moving up. The
    // race loop clears turnedInSection on entering the corner; the turn sets it again.
    car->turnedInSection = false;
    QCOMPARE(track.DriveComputer(*car), corner);
    QCOMPARE(car->direction, 1);
    QCOMPARE(car->pictureIndex, 1);
    QCOMPARE(VelocityOf(*car), QPointF(0, -4));
    const std::vector<QPoint> points = LayOutTurn(30, 72, 1, dirRight, 4);
    QCOMPARE(car->TurnPoints(), points);

    // One step of the curve per tick; a speed raised on the way does not change them.
    std::vector<int> frames{0, car->pictureIndex};
    for (size_t k = 1; k < points.size(); ++k) {
        if (k == 5) {
            car->SetRaceCarSpeed(5);
        }
        track.DriveComputer(*car);
        QCOMPARE(VelocityOf(*car), QPointF(points[k] - points[k - 1]));
        QCOMPARE(car->direction, 1);
        frames.push_back(car->pictureIndex);
    }

    // Straight on to the right from the end of the curve, at the current speed.
    track.DriveComputer(*car);
    QCOMPARE(car->direction, 2);
    QCOMPARE(car->pictureIndex, 6);
    QCOMPARE(VelocityOf(*car), QPointF(5, 0));
    frames.push_back(car->pictureIndex);
    CheckTurnFrames(frames, 1, true);
    // Still on the corner it has turned in, the car runs straight on ...
    car->UpdateComputerControlCar(72, 41, corner);
    QCOMPARE(car->direction, 2);
    QCOMPARE(VelocityOf(*car), QPointF(5, 0));
    // ... until it is in a section it has not turned in.
    car->turnedInSection = false;
    car->UpdateComputerControlCar(72, 41, corner);
    QCOMPARE(car->direction, 3);
}

void CarDrivingTest::turnStraightensOnThePieceItEndsOn() {
    TestTrack track;
    GridSection* const grass = track.Add(pieceGrass, dirNone, 0, 0);
    struct Ending {
        GridSection* section;
        int direction;  // -1: the straight side of the diagonal the turn did not come from
        double depth;
    };
    const Ending endings[] = {
        {track.Add(pieceVerticalTrack, dirUp, 1, 0), 0, 1.0},
        {track.Add(pieceVerticalTrack, dirDown, 2, 0), 4, 1.0},
        {track.Add(pieceVerticalBridge, dirUp, 0, 1), 0, 3.0},
        {track.Add(pieceHorizontalTrack, dirRight, 1, 1), 2, 1.0},
        {track.Add(pieceHorizontalTrack, dirLeft, 2, 1), 6, 1.0},
        {track.Add(pieceHorizontalBridge, dirLeft, 0, 2), 6, 3.0},
        {track.Add(pieceLowerLeft, dirLeft, 1, 2), -1, 1.0},
        {grass, -1, 1.0},
    };
    for (const theDirection sense : {dirRight, dirLeft}) {
        GridSection* const corner = track.Add(pieceUpperRight, sense, 2, 2);
        for (const int from : {0, 2, 4, 6}) {
            for (const Ending& ending : endings) {
                const bool clockwise = sense == dirRight;
                const QString where = QString("from %1 turning %2 ending on %3")
                                          .arg(from)
                                          .arg(sense)
                                          .arg(ending.section->PieceKind());
                auto car = ComputerCar(&track.canvas, from, 3);
                car->turnedInSection = false;
                car->UpdateComputerControlCar(10, 40, corner);
                QVERIFY2(car->direction % 2 == 1, qPrintable(where));
                for (int k = 1; k < car->TurnPointCount(); ++k) {
                    car->UpdateComputerControlCar(10, 40, corner);
                }
                QVERIFY2(car->direction % 2 == 1, qPrintable(where));

                car->UpdateComputerControlCar(37, 36, ending.section);
                const int expected =
                    ending.direction >= 0 ? ending.direction : (from + (clockwise ? 2 : 6)) % 8;
                QVERIFY2(car->direction == expected, qPrintable(where));
                QVERIFY2(car->pictureIndex == 3 * expected, qPrintable(where));
                QVERIFY2(VelocityOf(*car) == Straight(expected, 3), qPrintable(where));
                QVERIFY2(car->zValue() == ending.depth, qPrintable(where));
            }
        }
    }
}

void CarDrivingTest::runningAcrossAStraightPieceTurnsTowardsItsDirection() {
    TestTrack track;
    const struct {
        trackPieces piece;
        theDirection travel;
        int target;
        int from;
    } crossings[] = {
        {pieceVerticalTrack, dirUp, 0, 2},      {pieceVerticalTrack, dirUp, 0, 6},
        {pieceVerticalTrack, dirDown, 4, 2},    {pieceVerticalTrack, dirDown, 4, 6},
        {pieceHorizontalTrack, dirRight, 2, 0}, {pieceHorizontalTrack, dirRight, 2, 4},
        {pieceHorizontalTrack, dirLeft, 6, 0},  {pieceHorizontalTrack, dirLeft, 6, 4},
    };
    int column = 0;
    for (const auto& crossing : crossings) {
        GridSection* const section =
            track.Add(crossing.piece, crossing.travel, column % 3, column / 3);
        ++column;
        const QString where = QString("from %1 across %2").arg(crossing.from).arg(crossing.target);
        auto car = ComputerCar(&track.canvas, crossing.from, 4);
        car->UpdateComputerControlCar(37, 36, section);
        const bool clockwise = (crossing.target - crossing.from + 8) % 8 == 2;
        const int diagonal = (crossing.from + (clockwise ? 1 : 7)) % 8;
        QVERIFY2(car->direction == diagonal, qPrintable(where));
        QVERIFY2(VelocityOf(*car) == Straight(crossing.from, 4), qPrintable(where));

        std::vector<int> frames{3 * crossing.from, car->pictureIndex};
        std::vector<QPointF> steps;
        for (int k = 1; k < car->TurnPointCount(); ++k) {
            car->UpdateComputerControlCar(37, 36, section);
            steps.push_back(VelocityOf(*car));
            frames.push_back(car->pictureIndex);
        }
        car->UpdateComputerControlCar(37, 36, section);
        QVERIFY2(car->direction == crossing.target, qPrintable(where));
        frames.push_back(car->pictureIndex);
        CheckTurnFrames(frames, diagonal, clockwise);

        // The curve leaves along the old direction and arrives along the piece's.
        const size_t fifth = std::max<size_t>(1, steps.size() / 5);
        QPointF start;
        QPointF end;
        for (size_t i = 0; i < fifth; ++i) {
            start += steps[i];
            end += steps[steps.size() - 1 - i];
        }
        QVERIFY2(MainlyAlong(start, crossing.from), qPrintable(where));
        QVERIFY2(MainlyAlong(end, crossing.target), qPrintable(where));
    }
}

void CarDrivingTest::playerOffRoadAndCrashes() {
    TestTrack track;
    // Road in rows 5..67, grass in rows 0..4 and 68..72.
    GridSection* const road = track.Add(pieceHorizontalTrack, dirRight, 0, 0);
    RaceCar car(DiscFrames(QPoint(0, 0)), &track.canvas, userControl);
    constexpr int onRoad = 30;
    constexpr int offRoad = 2;

    car.SetRaceCarDirection(0);
    car.SetRaceCarSpeed(4);
    car.UpdateUserControlCar(30, onRoad, road);
    QCOMPARE(VelocityOf(car), QPointF(0, -4));

    // The first tick off the road only counts: the car rolls on.
    car.SetRaceCarDirection(1);
    car.UpdateUserControlCar(30, offRoad, road);
    QCOMPARE(car.crashCount, 1);
    QCOMPARE(VelocityOf(car), QPointF(0, -4));
    QCOMPARE(car.speed, 4);
    QCOMPARE(car.pictureIndex, 1);

    // Back on the road it drives on, but the count stays.
    car.UpdateUserControlCar(30, onRoad, road);
    QCOMPARE(car.crashCount, 1);
    QVERIFY(car.xVelocity() > 0 && car.yVelocity() < 0);

    // The second count stops it dead.
    car.UpdateUserControlCar(30, offRoad, road);
    QCOMPARE(car.crashCount, 2);
    QCOMPARE(VelocityOf(car), QPointF(0, 0));
    QCOMPARE(car.speed, 0);

    // While the spin runs the car stays stopped, whatever the surface and the speed.
    car.UpdateUserControlCar(30, onRoad, road);
    QCOMPARE(VelocityOf(car), QPointF(0, 0));
    car.SetRaceCarSpeed(3);
    car.UpdateUserControlCar(30, onRoad, road);
    QCOMPARE(VelocityOf(car), QPointF(0, 0));
    QCOMPARE(car.speed, 0);

    // After the spin, accelerating with the front still on the grass: standing, then stopped again.
    car.crashCount = 0;
    car.SetRaceCarSpeed(1);
    car.UpdateUserControlCar(30, offRoad, road);
    QCOMPARE(car.crashCount, 1);
    QCOMPARE(VelocityOf(car), QPointF(0, 0));
    car.UpdateUserControlCar(30, offRoad, road);
    QCOMPARE(car.crashCount, 2);
    QCOMPARE(car.speed, 0);

    // A standing car counts nothing, even on the grass.
    car.crashCount = 0;
    car.UpdateUserControlCar(30, offRoad, road);
    QCOMPARE(car.crashCount, 0);
    QCOMPARE(VelocityOf(car), QPointF(0, 0));
}

void CarDrivingTest::playerDepthChangesOnlyOnRoad() {
    TestTrack track;
    GridSection* const road = track.Add(pieceHorizontalTrack, dirRight, 0, 0);
    GridSection* const bridge = track.Add(pieceHorizontalBridge, dirRight, 1, 0, 1);
    RaceCar car(DiscFrames(QPoint(0, 0)), &track.canvas, userControl);
    car.setZValue(RaceCar::LOWER_LEVEL);
    car.SetRaceCarDirection(6);
    car.SetRaceCarSpeed(3);

    car.UpdateUserControlCar(30, 30, road);
    QCOMPARE(car.zValue(), 1.0);
    QCOMPARE(VelocityOf(car), QPointF(3, 0));

    car.SetRaceCarSpeed(5);
    car.SetRaceCarDirection(21);
    car.UpdateUserControlCar(30, 30, bridge);
    QCOMPARE(car.zValue(), 3.0);
    QCOMPARE(VelocityOf(car), QPointF(-5 * RaceCar::COS_45, -5 * RaceCar::SIN_45));

    // Off the side of the bridge the car keeps its level.
    car.UpdateUserControlCar(30, 2, bridge);
    QCOMPARE(car.zValue(), 3.0);
    car.crashCount = 0;
    car.UpdateUserControlCar(30, 2, road);
    QCOMPARE(car.zValue(), 3.0);

    // So does a standing car, on any surface.
    car.SetRaceCarSpeed(0);
    car.UpdateUserControlCar(30, 30, road);
    QCOMPARE(car.zValue(), 3.0);
    QCOMPARE(car.pictureIndex, 21);

    car.SetRaceCarSpeed(2);
    car.UpdateUserControlCar(30, 30, road);
    QCOMPARE(car.zValue(), 1.0);
}

void CarDrivingTest::collisionsStopThePlayerOnHard() {
    QGraphicsScene canvas;
    RaceCar player(DiscFrames(QPoint(0, 0)), &canvas, userControl);
    RaceCar computer(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
    player.show();
    computer.show();
    const auto reset = [&](QPointF computerAt, double playerDepth, double computerDepth) {
        player.setPos(100, 100);  // its disc is centred on (110, 110)
        computer.setPos(computerAt);
        player.setZValue(playerDepth);
        computer.setZValue(computerDepth);
        player.crashCount = 0;
        player.SetRaceCarSpeed(4);
        player.setVelocity(0, -4);
        computer.SetRaceCarSpeed(5);
        computer.setVelocity(5, 0);
    };
    const auto playerUntouched = [&] {
        return player.crashCount == 0 && player.speed == 4 && player.yVelocity() == -4;
    };

    // Overlapping discs at the same depth: the player's car stops; the computer's goes on.
    reset(QPointF(118, 112), 3.0, 3.0);
    QCOMPARE(player.CheckForCollision(), 1);
    QCOMPARE(player.speed, 0);
    QCOMPARE(VelocityOf(player), QPointF(0, 0));
    QCOMPARE(computer.speed, 5);
    QCOMPARE(VelocityOf(computer), QPointF(5, 0));
    QCOMPARE(computer.CheckForCollision(), 0);
    QCOMPARE(computer.crashCount, 0);
    // Still touching in the next tick: the count passes 1.
    QCOMPARE(player.CheckForCollision(), 2);

    // One under the bridge, one on it.
    reset(QPointF(118, 112), 1.0, 3.0);
    QCOMPARE(player.CheckForCollision(), 0);
    QVERIFY(playerUntouched());

    // Easy and Medium: the cars pass through each other; only the present count comes back.
    reset(QPointF(118, 112), 1.0, 1.0);
    player.collisionsOff = true;
    player.crashCount = 1;
    QCOMPARE(player.CheckForCollision(), 1);
    QCOMPARE(player.speed, 4);
    player.collisionsOff = false;

    // Pictures overlapping only in their transparent corners do not touch.
    reset(QPointF(128, 128), 1.0, 1.0);
    QVERIFY(player.boundingRectInt().intersects(computer.boundingRectInt()));
    QCOMPARE(player.CheckForCollision(), 0);
    QVERIFY(playerUntouched());

    // Two player's cars never crash into each other.
    RaceCar otherPlayer(DiscFrames(QPoint(10, 10)), &canvas, userControl);
    otherPlayer.show();
    otherPlayer.setZValue(1.0);
    otherPlayer.setPos(112, 112);
    reset(QPointF(200, 200), 1.0, 1.0);
    QCOMPARE(player.CheckForCollision(), 0);
    QVERIFY(playerUntouched());
}

QTEST_MAIN(CarDrivingTest)
#include "tst_car_driving.moc"
