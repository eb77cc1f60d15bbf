#include <QImage>
#include <QMap>
#include <QTransform>
#include <QtTest>
#include <cmath>

#include "graphics/CarFrames.h"
#include "graphics/RaceCarImage.h"

namespace {

constexpr QRgb kCyan = 0xff00ffff;
constexpr QRgb kYellow = 0xffffff00;
constexpr QRgb kTyre = 0xff010101;
constexpr QRgb kHelmet = 0xff777777;

char KeyAt(int frame, int x, int y) {
    const char* const* xpm = CarFrameXpm(frame);
    return xpm[1 + QByteArray(xpm[0]).split(' ').at(2).toInt() + y][x];
}

QImage Frame(const RaceCarImage& image, int frame) {
    return image.carFrames.at(frame).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Empty when every pixel of every frame has the colour of its key, else the first mismatch.
QString PixelMismatch(const RaceCarImage& image, QRgb body) {
    const QMap<char, QRgb> colours = {{'+', 0},          {' ', kTyre},   {'.', 0xff484848},
                                      {'X', 0xffa6a6a6}, {'O', kHelmet}, {'o', body}};
    for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
        const QImage picture = Frame(image, frame);
        for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
            for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                const QRgb pixel = picture.pixel(x, y);
                if ((qAlpha(pixel) == 0 ? 0 : pixel) != colours.value(KeyAt(frame, x, y), 1)) {
                    return QString("frame %1 (%2,%3): %4")
                        .arg(frame)
                        .arg(x)
                        .arg(y)
                        .arg(pixel, 0, 16);
                }
            }
        }
    }
    return QString();
}

int DifferingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const bool bothClear = qAlpha(a.pixel(x, y)) == 0 && qAlpha(b.pixel(x, y)) == 0;
            count += bothClear || a.pixel(x, y) == b.pixel(x, y) ? 0 : 1;
        }
    }
    return count;
}

// Degrees clockwise from up along the car's long axis, the front being the end with the helmet.
// The drawn area comes back in *area.
double MeasuredHeading(const QImage& frame, int* area) {
    QList<QPointF> drawn;
    QPointF helmet;
    int helmetPixels = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (qAlpha(frame.pixel(x, y)) != 0) {
                drawn.append(QPointF(x + 0.5, y + 0.5));
            }
            if (frame.pixel(x, y) == kHelmet) {
                helmet += QPointF(x + 0.5, y + 0.5);
                ++helmetPixels;
            }
        }
    }
    *area = int(drawn.size());
    QPointF centre;
    for (const QPointF& p : drawn) {
        centre += p / drawn.size();
    }
    double sxx = 0, syy = 0, sxy = 0;
    for (const QPointF& p : drawn) {
        const QPointF d = p - centre;
        sxx += d.x() * d.x();
        syy += d.y() * d.y();
        sxy += d.x() * d.y();
    }
    const double axis = 0.5 * std::atan2(2 * sxy, sxx - syy);
    QPointF front(std::cos(axis), std::sin(axis));
    if (QPointF::dotProduct(front, helmet / helmetPixels - centre) < 0) {
        front = -front;
    }
    const double degrees = std::atan2(front.x(), -front.y()) * 180.0 / M_PI;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

}  // namespace

class TestCarImages : public QObject {
    Q_OBJECT

  private slots:
    void framesPaletteAndHotSpots() {
        const QMap<char, QByteArray> palette = {{'+', "None"},    {' ', "#010101"},
                                                {'.', "#484848"}, {'X', "#A6A6A6"},
                                                {'O', "#777777"}, {'o', "#000000"}};
        for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
            const char* const* xpm = CarFrameXpm(frame);
            QCOMPARE(QByteArray(xpm[0]), QByteArray("20 20 6 1"));
            QMap<char, QByteArray> texts;
            for (int i = 1; i <= 6; ++i) {
                texts.insert(xpm[i][0], QByteArray(xpm[i]).mid(1));
            }
            QCOMPARE(texts.keys(), palette.keys());
            for (const char key : palette.keys()) {
                QCOMPARE(texts.value(key), " c " + palette.value(key));
            }
        }
        QVERIFY(CarFrameXpm(-1) == nullptr);
        QVERIFY(CarFrameXpm(CAR_FRAME_COUNT) == nullptr);

        const RaceCarImage image(RaceCarImage::BLUE);
        QCOMPARE(image.carFrames.size(), 24);
        for (const QPixmap& frame : image.carFrames) {
            QCOMPARE(frame.size(), QSize(20, 20));
        }
        QCOMPARE(image.originHotSpots, QList<QPoint>(24, QPoint(0, 0)));
        QCOMPARE(image.centreHotSpots, QList<QPoint>(24, QPoint(10, 10)));
    }

    void eachObjectHasItsOwnColour() {
        const RaceCarImage blue(RaceCarImage::BLUE);
        const RaceCarImage yellow(RaceCarImage::YELLOW);
        const RaceCarImage lowerCase("#12ab9f");
        QCOMPARE(PixelMismatch(blue, kCyan), QString());
        QCOMPARE(PixelMismatch(yellow, kYellow), QString());
        QCOMPARE(PixelMismatch(lowerCase, 0xff12ab9f), QString());

        const char* const badColours[] = {
            "#00FFFF00", "#00FFFF00FF00FF00FF00FF00FF00FF",
            "#00FF",     "#",
            "",          "00FFFF0",
            "x00FFFF",   "#00GG00",
            "red",       nullptr,
        };
        for (const char* colour : badColours) {
            QCOMPARE(PixelMismatch(RaceCarImage(colour), 0xff000000), QString());
        }
        // Later objects, bad texts included, leave the earlier frames alone.
        QCOMPARE(PixelMismatch(blue, kCyan), QString());
        QCOMPARE(PixelMismatch(yellow, kYellow), QString());
    }

    void frameZeroLayout() {
        const QImage frame = Frame(RaceCarImage(RaceCarImage::BLUE), 0);
        QRect drawn;
        QSet<int> tyreRows, helmetRows;
        QMap<int, QList<int>> bodyColumns;
        for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
            for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                const QRgb pixel = frame.pixel(x, y);
                drawn |= qAlpha(pixel) != 0 ? QRect(x, y, 1, 1) : QRect();
                if (pixel == kTyre) {
                    tyreRows.insert(y);
                }
                if (pixel == kHelmet) {
                    helmetRows.insert(y);
                }
                if (pixel == kCyan) {
                    bodyColumns[y].append(x);
                }
            }
        }
        QCOMPARE(drawn, QRect(QPoint(4, 1), QPoint(14, 18)));
        const QList<int> frontWing = {5, 6, 7, 8, 9, 10, 11, 12, 13};
        const QList<int> rearWing = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        QCOMPARE(bodyColumns.value(1), frontWing);
        QCOMPARE(bodyColumns.value(2), frontWing);
        for (int row = 16; row <= 18; ++row) {
            QCOMPARE(bodyColumns.value(row), rearWing);
        }
        QCOMPARE(tyreRows, (QSet<int>{3, 4, 5, 6, 12, 13, 14, 15}));
        QVERIFY(!helmetRows.isEmpty());
        for (const int row : helmetRows) {
            QVERIFY(row >= 6 && row <= 10);
        }
    }

    void frameKPointsFifteenKDegreesClockwise() {
        const RaceCarImage image(RaceCarImage::YELLOW);
        const QImage upright = Frame(image, 0);
        for (int quarter = 1; quarter <= 3; ++quarter) {
            const QImage turned = upright.transformed(QTransform().rotate(90 * quarter));
            QVERIFY(DifferingPixels(Frame(image, 6 * quarter), turned) <= 4);
        }
        // Front and rear differ, so the comparison can tell a half turn from none.
        QVERIFY(DifferingPixels(upright, Frame(image, 12)) > 20);

        int uprightArea = 0;
        for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
            int area = 0;
            const double heading = MeasuredHeading(Frame(image, frame), &area);
            const double error = std::remainder(heading - 15.0 * frame, 360.0);
            QVERIFY2(std::abs(error) < 5.0,
                     qPrintable(QString("frame %1: %2").arg(frame).arg(heading)));
            // The same car in every frame: about the same drawn area.
            uprightArea = frame == 0 ? area : uprightArea;
            QVERIFY2(std::abs(area - uprightArea) * 10 <= uprightArea,
                     qPrintable(QString::number(frame)));
        }
    }
};

QTEST_MAIN(TestCarImages)
#include "tst_car_images.moc"
