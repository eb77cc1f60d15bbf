#include <QGraphicsScene>
#include <QPainter>
#include <QTransform>
#include <QtTest>
#include <cmath>
#include <deque>

#include "car/RaceCar.h"
#include "car/TurnGeometry.h"
#include "graphics/CarFrames.h"
#include "graphics/RaceCarImage.h"
#include "platform/Canvas.h"
#include "tests/support/CompareCase.h"
#include "track/GridSection.h"

// Pixel i of a 20x20 frame, with every fully clear pixel as 0.
static QRgb Pixel(const QPixmap& frame, int i) {
    const QRgb pixel = frame.toImage().pixel(i % 20, i / 20);
    return qAlpha(pixel) == 0 ? 0 : pixel;
}

// Pixels of all frames that differ from their XPM key: clear for '+', the body colour for 'o', the
// picture's own colour for the rest. The XPM rows follow its header and six colour lines.
static int WrongPixels(const RaceCarImage& image, QRgb body) {
    const QMap<char, QRgb> colours = {{'+', 0},          {' ', 0xff010101}, {'.', 0xff484848},
                                      {'X', 0xffa6a6a6}, {'O', 0xff777777}, {'o', body}};
    int wrong = 0;
    for (int i = 0; i < CAR_FRAME_COUNT * 400; ++i) {
        const char key = CarFrameXpm(i / 400)[7 + i % 400 / 20][i % 20];
        wrong += Pixel(image.carFrames.at(i / 400), i % 400) != colours.value(key, 1);
    }
    return wrong;
}

static int DifferingPixels(const QPixmap& a, const QPixmap& b) {
    int count = 0;
    for (int i = 0; i < 400; ++i) count += Pixel(a, i) != Pixel(b, i);
    return count;
}

// Every frame a 20x20 disc: drawn in the middle, transparent in the corners.
static SpriteFrames DiscFrames(QPoint hotSpot) {
    QPixmap disc(20, 20);
    disc.fill(Qt::transparent);
    QPainterPath path;
    path.addEllipse(0, 0, 20, 20);
    QPainter(&disc).fillPath(path, Qt::blue);
    return {QList<QPixmap>(RaceCar::HEADING_COUNT, disc),
            QList<QPoint>(RaceCar::HEADING_COUNT, hotSpot)};
}

// The velocity at a speed along a heading, 15 degrees a step clockwise from up, y growing down.
static QPointF Along(int heading, int speed) {
    return speed * QPointF(std::sin(heading * M_PI / 12), -std::cos(heading * M_PI / 12));
}

class CarTest : public QObject {
    Q_OBJECT

    Canvas canvas;
    std::deque<GridSection> sections;

    static QPointF VelocityOf(const RaceCar& car) { return {car.xVelocity(), car.yVelocity()}; }
    // Drives the rest of a turn begun this tick: one step of the curve per tick, the frame moving
    // at most one step at a time in the turn's sense, up to the end of the diagonal's quarter.
    static void FollowTurn(RaceCar& car, const GridSection* section, int x, int y, bool clockwise,
                           const QByteArray& where) {
        const std::vector<QPoint> points = car.TurnPoints();
        const int diagonal = car.direction;
        // The first frame one step past the old heading, in the sense of the turn.
        const int from = (diagonal + (clockwise ? 7 : 1)) % 8;
        COMPARE_CASE(car.pictureIndex, (3 * from + (clockwise ? 1 : 23)) % 24, where);
        for (size_t k = 1; k < points.size(); ++k) {
            const int before = car.pictureIndex;
            car.UpdateComputerControlCar(x, y, section);
            COMPARE_CASE(VelocityOf(car), QPointF(points[k] - points[k - 1]), where);
            COMPARE_CASE(car.direction, diagonal, where);
            QVERIFY2(((car.pictureIndex - before) * (clockwise ? 1 : -1) + 24) % 24 <= 1,
                     where.constData());
        }
        COMPARE_CASE(car.pictureIndex, (3 * diagonal + (clockwise ? 2 : 23)) % 24, where);
    }

    GridSection* Add(trackPieces piece, theDirection way, int column, int row, int level = 0) {
        sections.emplace_back(&canvas).LoadImage(piece, way, column, row, level);
        return &sections.back();
    }

  private slots:
    void playerDriving() {
        RaceCar player(DiscFrames(QPoint(0, 0)), &canvas, userControl);
        // Road in rows 5..67 of a piece, grass above and below.
        GridSection* const road = Add(pieceHorizontalTrack, dirRight, 0, 0);
        for (int speed = 0; speed <= 5; ++speed) {
            player.SetRaceCarSpeed(speed);
            // 24 headings in 15-degree steps; any other heading leaves the velocity alone.
            for (int heading = -1; heading <= RaceCar::HEADING_COUNT; ++heading) {
                player.setVelocity(9, 9);
                player.SetRaceCarDirection(heading);
                QCOMPARE(player.pictureIndex, heading);
                player.UpdateUserControlCar(30, 30, road);
                const bool known = (heading >= 0 && heading < 24) || speed == 0;
                COMPARE_CASE(VelocityOf(player), known ? Along(heading, speed) : QPointF(9, 9),
                             QString::asprintf("heading %d speed %d", heading, speed).toLatin1());
            }
        }

        // The centre line runs edge to edge through the middle of the picture, along the heading
        // within the few degrees a 20-pixel picture allows; a heading and its reverse alike. Exact
        // lines are checked where the race draws them under bridges.
        player.setPos(100, 50);
        const auto line = [&](int picture) {
            player.pictureIndex = picture;
            return player.GetRaceCarCenterline();
        };
        const auto onBorder = [](QPoint p) {
            return QRect(100, 50, 20, 20).contains(p) && !QRect(101, 51, 18, 18).contains(p);
        };
        QCOMPARE(line(24), QRect(QPoint(0, 0), QPoint(0, 0)));
        QCOMPARE(line(-1), line(24));
        for (int heading = 0; heading < RaceCar::HEADING_COUNT; ++heading) {
            const QPoint from = line(heading).topLeft(), to = line(heading).bottomRight();
            const QByteArray name = "heading " + QByteArray::number(heading);
            QVERIFY2(onBorder(from) && onBorder(to), name.constData());
            COMPARE_CASE(from + to, QPoint(219, 119), name);
            COMPARE_CASE(line((heading + 12) % 24), line(heading), name);
            const double degrees = std::atan2(to.x() - from.x(), from.y() - to.y()) * 180 / M_PI;
            const double off = std::fmod(degrees - 15 * heading + 720.0, 180.0);
            QVERIFY2(std::min(off, 180.0 - off) < 6.0, name.constData());
        }

        GridSection* const bridge = Add(pieceHorizontalBridge, dirRight, 1, 0, 1);
        // The first tick off the road only counts, the car rolling on as it went; the second stops
        // it dead, and it stays stopped whatever its speed until the count is cleared. A standing
        // car counts nothing.
        // heading, speed, count cleared, y, count after, velocity after
        const std::tuple<int, int, bool, int, int, QPointF> ticks[] = {
            {0, 4, false, 30, 0, {0, -4}},     {1, 4, false, 2, 1, {0, -4}},
            {1, 4, false, 30, 1, Along(1, 4)}, {1, 4, false, 2, 2, {0, 0}},
            {1, 3, false, 30, 2, {0, 0}},      {1, 0, true, 2, 0, {0, 0}}};
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

    void computerDriving() {
        RaceCar car(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
        // A compass step is three frames; any direction but up, right or down shows the car facing
        // left.
        for (const int direction : {0, 2, 4, 6, 1, 7, 9, -2}) {
            car.SetRaceCarDirection(direction);
            const bool own = direction >= 0 && direction <= 4 && direction % 2 == 0;
            QCOMPARE(car.pictureIndex, own ? 3 * direction : 18);
        }

        // At each fifth of a turn (3 steps of 19 here) the frame moves through the quarter 8..11:
        // clockwise first, last - 2, last - 1, last; anticlockwise (any sense but right) the
        // reverse.
        car.SetRaceCarSpeed(4);
        car.CreateTurnPointArray(30, 40, 1, dirRight);
        const int none = RaceCar::FRAME_UNCHANGED;
        for (int step = 0; step < 19; ++step) {
            const int f = std::min(step / 3, 4);
            QCOMPARE(car.UpdateRaceCarDirection(step, dirRight, 8, 11), f ? 7 + f : none);
            QCOMPARE(car.UpdateRaceCarDirection(step, dirUp, 8, 11), f ? 12 - f : none);
        }
        // Fewer than five points (a fast car): the final frame from the start.
        car.SetRaceCarSpeed(40);
        car.CreateTurnPointArray(30, 40, 1, dirRight);
        QCOMPARE(car.UpdateRaceCarDirection(1, dirRight, 2, 5), 5);
        QCOMPARE(car.UpdateRaceCarDirection(1, dirLeft, 2, 5), 2);

        // The turn shapes the computer drives are pinned by its races; here what they never reach.
        // Only diagonals turn.
        QCOMPARE(LayOutTurn(30, 30, 0, dirRight, 4).size(), size_t(0));
        QCOMPARE(LayOutTurn(30, 30, 8, dirLeft, 4).size(), size_t(0));

        // A speed of 1 or less would never finish the curve: the car turns as at 2.
        const std::vector<QPoint> slowest = LayOutTurn(30, 40, 3, dirLeft, 2);
        for (const int speed : {1, 0, -3}) {
            car.SetRaceCarSpeed(speed);
            car.CreateTurnPointArray(30, 40, 3, dirLeft);
            QCOMPARE(car.TurnPoints(), slowest);
        }

        // Before a turn has begun, and in a turn of a single point, there is no step to take.
        car.SetRaceCarSpeed(4);
        const auto increment = [&car](float dx, float dy) {
            car.GetTurnIncrement(dx, dy);
            return QPointF(dx, dy);
        };
        QCOMPARE(increment(7.5F, -7.5F), QPointF(7.5, -7.5));
        car.turnedInSection = false;
        QVERIFY(car.UpdateCarDirection(0, 3, dirUp, dirRight, dirRight));
        car.CreateTurnPointArray(30, 60, car.direction, dirRight);
        QCOMPARE(increment(7.5F, -7.5F), QPointF(0, -3));
        car.SetRaceCarSpeed(200);
        car.CreateTurnPointArray(30, 60, 1, dirRight);
        QCOMPARE(increment(7.5F, -7.5F), QPointF(7.5, -7.5));

        // Corner turns are pinned by the computer's races; their frames, which the races do not
        // pin, follow the same rules as those of the turns across a straight checked here.
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
                // A computer's car that just entered the piece.
                RaceCar entering(DiscFrames(QPoint(10, 10)), &canvas, computerControl);
                entering.SetRaceCarDirection(from);
                entering.SetRaceCarSpeed(4);
                entering.turnedInSection = false;
                entering.UpdateComputerControlCar(37, 36, piece);
                const auto where = QString::asprintf("compass %d onto %d", from, to).toLatin1();
                COMPARE_CASE(entering.direction, diagonal, where);
                COMPARE_CASE(VelocityOf(entering), Along(3 * from, 4), where);
                COMPARE_CASE(entering.TurnPoints(), LayOutTurn(37, 36, diagonal, sense, 4), where);
                FollowTurn(entering, piece, 37, 36, sense == dirRight, where);
                entering.UpdateComputerControlCar(37, 36, piece);
                COMPARE_CASE(entering.direction, to, where);
                COMPARE_CASE(entering.pictureIndex, 3 * to, where);
            }
        }
    }

    void carFramesColoursAndTurns() {
        const RaceCarImage blue(RaceCarImage::BLUE);
        QCOMPARE(blue.carFrames.size(), 24);
        for (const QPixmap& frame : blue.carFrames) QCOMPARE(frame.size(), QSize(20, 20));
        QCOMPARE(blue.originHotSpots, QList<QPoint>(24, QPoint(0, 0)));
        QCOMPARE(blue.centreHotSpots, QList<QPoint>(24, QPoint(10, 10)));
        QCOMPARE(WrongPixels(RaceCarImage("#12ab9f"), 0xff12ab9f), 0);
        const char* const bad[] = {"#00FFFF0", "#0FF", "", "x00FFFF", "#00GG00", "red", nullptr};
        for (const char* text : bad)
            COMPARE_CASE(WrongPixels(RaceCarImage(text), 0xff000000), 0, text ? text : "null");
        // Objects built later leave the earlier ones' frames alone.
        QCOMPARE(WrongPixels(blue, 0xff00ffff), 0);

        const QPixmap& upright = blue.carFrames.at(0);
        for (int quarter = 1; quarter <= 3; ++quarter) {
            const QPixmap turned = upright.transformed(QTransform().rotate(90 * quarter));
            QCOMPARE_LE(DifferingPixels(blue.carFrames.at(6 * quarter), turned), 4);
        }
        // Front and rear differ, so the comparison can tell a half turn from none.
        QCOMPARE_GT(DifferingPixels(upright, blue.carFrames.at(12)), 20);
    }
};

QTEST_MAIN(CarTest)
#include "tst_car.moc"
