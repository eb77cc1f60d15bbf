#include <QImage>
#include <QMap>
#include <QSet>
#include <QTransform>
#include <QtTest>
#include <cmath>

#include "graphics/CarFrames.h"
#include "graphics/RaceCarImage.h"

namespace {

constexpr QRgb kCyan = 0xff00ffff;
constexpr QRgb kYellow = 0xffffff00;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kTyre = 0xff010101;
constexpr QRgb kHelmet = 0xff777777;

// The car palette: key and the colour text it must carry in every frame.
const QMap<char, QByteArray> kPaletteTexts = {
    {'+', "None"},    {' ', "#010101"}, {'.', "#484848"},
    {'X', "#A6A6A6"}, {'O', "#777777"}, {'o', "#000000"},
};

int ColourCount(const char* const* xpm) {
    return QByteArray(xpm[0]).split(' ').at(2).toInt();
}

char KeyAt(const char* const* xpm, int x, int y) {
    return xpm[1 + ColourCount(xpm) + y][x];
}

QImage Frame(const RaceCarImage& image, int frame) {
    return image.carFrames.at(frame).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The colours of every body ('o') pixel of all frames.
QSet<QRgb> BodyColours(const RaceCarImage& image) {
    QSet<QRgb> colours;
    for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
        const QImage picture = Frame(image, frame);
        for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
            for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                if (KeyAt(CarFrameXpm(frame), x, y) == 'o') {
                    colours.insert(picture.pixel(x, y));
                }
            }
        }
    }
    return colours;
}

bool Opaque(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) != 0;
}

int DifferingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y);
            const QRgb pb = b.pixel(x, y);
            count += (qAlpha(pa) == 0 && qAlpha(pb) == 0) || pa == pb ? 0 : 1;
        }
    }
    return count;
}

// Degrees clockwise from up of the car's long axis, taking as front the end where the helmet sits.
double MeasuredHeading(const QImage& frame) {
    double n = 0, mx = 0, my = 0, hx = 0, hy = 0, hn = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (Opaque(frame, x, y)) {
                n += 1, mx += x + 0.5, my += y + 0.5;
            }
            if (frame.pixel(x, y) == kHelmet) {
                hn += 1, hx += x + 0.5, hy += y + 0.5;
            }
        }
    }
    mx /= n, my /= n, hx /= hn, hy /= hn;
    double sxx = 0, syy = 0, sxy = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (Opaque(frame, x, y)) {
                const double dx = x + 0.5 - mx, dy = y + 0.5 - my;
                sxx += dx * dx, syy += dy * dy, sxy += dx * dy;
            }
        }
    }
    const double axis = 0.5 * std::atan2(2 * sxy, sxx - syy);
    double ax = std::cos(axis), ay = std::sin(axis);
    if (ax * (hx - mx) + ay * (hy - my) < 0) {
        ax = -ax, ay = -ay;
    }
    const double degrees = std::atan2(ax, -ay) * 180.0 / M_PI;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

}  // namespace

class TestCarImages : public QObject {
    Q_OBJECT

  private slots:
    void builtInFramesUseTheCarPalette() {
        for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
            const char* const* xpm = CarFrameXpm(frame);
            QVERIFY(xpm != nullptr);
            QCOMPARE(QByteArray(xpm[0]), QByteArray("20 20 6 1"));
            QMap<char, QByteArray> texts;
            for (int i = 1; i <= 6; ++i) {
                const QByteArray line(xpm[i]);
                QVERIFY(line.mid(1, 3) == " c ");
                texts.insert(line.at(0), line.mid(4));
            }
            QCOMPARE(texts, kPaletteTexts);
        }
        QVERIFY(CarFrameXpm(-1) == nullptr);
        QVERIFY(CarFrameXpm(CAR_FRAME_COUNT) == nullptr);
    }

    void framesAndHotSpots() {
        const RaceCarImage image(RaceCarImage::BLUE);
        QCOMPARE(image.carFrames.size(), 24);
        for (const QPixmap& frame : image.carFrames) {
            QVERIFY(!frame.isNull());
            QCOMPARE(frame.size(), QSize(20, 20));
        }
        QCOMPARE(image.originHotSpots, QList<QPoint>(24, QPoint(0, 0)));
        QCOMPARE(image.centreHotSpots, QList<QPoint>(24, QPoint(10, 10)));
    }

    void pixelsFollowTheirKeys_data() {
        QTest::addColumn<QByteArray>("colour");
        QTest::addColumn<QRgb>("body");
        QTest::newRow("blue") << QByteArray(RaceCarImage::BLUE) << kCyan;
        QTest::newRow("yellow") << QByteArray(RaceCarImage::YELLOW) << kYellow;
        QTest::newRow("lower case") << QByteArray("#12ab9f") << QRgb(0xff12ab9f);
    }

    void pixelsFollowTheirKeys() {
        QFETCH(QByteArray, colour);
        QFETCH(QRgb, body);
        const QMap<char, QRgb> expected = {
            {' ', kTyre}, {'.', 0xff484848}, {'X', 0xffa6a6a6}, {'O', kHelmet}, {'o', body}};
        const RaceCarImage image(colour.constData());
        for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
            const QImage picture = Frame(image, frame);
            for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
                for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                    const char key = KeyAt(CarFrameXpm(frame), x, y);
                    if (key == '+') {
                        QCOMPARE(qAlpha(picture.pixel(x, y)), 0);
                    } else {
                        QCOMPARE(picture.pixel(x, y), expected.value(key));
                    }
                }
            }
        }
    }

    void earlierObjectsKeepTheirColour() {
        const RaceCarImage blue(RaceCarImage::BLUE);
        const RaceCarImage yellow(RaceCarImage::YELLOW);
        const RaceCarImage other("#123456");
        QCOMPARE(BodyColours(blue), QSet<QRgb>{kCyan});
        QCOMPARE(BodyColours(yellow), QSet<QRgb>{kYellow});
        QCOMPARE(BodyColours(other), QSet<QRgb>{0xff123456});
    }

    void badColourTextsGiveBlackBodies() {
        const RaceCarImage blue(RaceCarImage::BLUE);
        const char* const badColours[] = {
            "#00FFFF00", "#00FFFF00FF00FF00FF00FF00FF00FF",
            "#00FF",     "#",
            "",          "00FFFF0",
            "x00FFFF",   "#00GG00",
            "red",       nullptr,
        };
        for (const char* colour : badColours) {
            const RaceCarImage image(colour);
            QCOMPARE(image.carFrames.size(), 24);
            QCOMPARE(BodyColours(image), QSet<QRgb>{kBlack});
        }
        QCOMPARE(BodyColours(blue), QSet<QRgb>{kCyan});
    }

    void frameZeroLayout() {
        const QImage frame = Frame(RaceCarImage(RaceCarImage::BLUE), 0);
        QRect drawn;
        QSet<int> tyreRows, helmetRows;
        QMap<int, QList<int>> bodyColumnsByRow;
        for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
            for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                if (Opaque(frame, x, y)) {
                    drawn |= QRect(x, y, 1, 1);
                }
                const QRgb pixel = frame.pixel(x, y);
                if (pixel == kTyre) {
                    tyreRows.insert(y);
                }
                if (pixel == kHelmet) {
                    helmetRows.insert(y);
                }
                if (pixel == kCyan) {
                    bodyColumnsByRow[y].append(x);
                }
            }
        }
        QCOMPARE(drawn, QRect(QPoint(4, 1), QPoint(14, 18)));
        const QList<int> frontWing = {5, 6, 7, 8, 9, 10, 11, 12, 13};
        QCOMPARE(bodyColumnsByRow.value(1), frontWing);
        QCOMPARE(bodyColumnsByRow.value(2), frontWing);
        const QList<int> rearWing = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        for (int row = 16; row <= 18; ++row) {
            QCOMPARE(bodyColumnsByRow.value(row), rearWing);
        }
        QCOMPARE(tyreRows, (QSet<int>{3, 4, 5, 6, 12, 13, 14, 15}));
        QVERIFY(!helmetRows.isEmpty());
        for (const int row : helmetRows) {
            QVERIFY(row >= 6 && row <= 10);
        }
    }

    void quarterTurnsMatchFrameZero() {
        const RaceCarImage image(RaceCarImage::YELLOW);
        const QImage upright = Frame(image, 0);
        for (int quarter = 1; quarter <= 3; ++quarter) {
            const QImage turned = upright.transformed(QTransform().rotate(90 * quarter));
            QVERIFY2(DifferingPixels(Frame(image, 6 * quarter), turned) <= 4,
                     qPrintable(QString("frame %1").arg(6 * quarter)));
        }
        // Front and rear differ, so a half turn is not mistaken for none.
        QVERIFY(DifferingPixels(upright, Frame(image, 12)) > 20);
    }

    void frameKPointsFifteenKDegreesClockwise() {
        const RaceCarImage image(RaceCarImage::BLUE);
        int uprightArea = 0;
        for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
            const QImage picture = Frame(image, frame);
            int area = 0;
            for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
                for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                    area += Opaque(picture, x, y) ? 1 : 0;
                }
            }
            uprightArea = frame == 0 ? area : uprightArea;
            // The same car in every frame: about the same drawn area.
            QVERIFY2(std::abs(area - uprightArea) * 10 <= uprightArea,
                     qPrintable(QString("frame %1 area %2").arg(frame).arg(area)));

            const double error = std::remainder(MeasuredHeading(picture) - 15.0 * frame, 360.0);
            QVERIFY2(std::abs(error) < 5.0,
                     qPrintable(QString("frame %1 off by %2 degrees").arg(frame).arg(error)));
        }
    }
};

QTEST_MAIN(TestCarImages)
#include "tst_car_images.moc"
