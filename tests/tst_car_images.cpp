#include <QTransform>
#include <QtTest>

#include "graphics/CarFrames.h"
#include "graphics/RaceCarImage.h"

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

class TestCarImages : public QObject {
    Q_OBJECT

  private slots:
    void framesColoursAndTurns() {
        const RaceCarImage blue(RaceCarImage::BLUE);
        QCOMPARE(blue.carFrames.size(), 24);
        for (const QPixmap& frame : blue.carFrames) QCOMPARE(frame.size(), QSize(20, 20));
        QCOMPARE(blue.originHotSpots, QList<QPoint>(24, QPoint(0, 0)));
        QCOMPARE(blue.centreHotSpots, QList<QPoint>(24, QPoint(10, 10)));
        QCOMPARE(WrongPixels(RaceCarImage("#12ab9f"), 0xff12ab9f), 0);
        const char* const bad[] = {"#00FFFF0", "#0FF", "", "x00FFFF", "#00GG00", "red", nullptr};
        for (const char* text : bad) QCOMPARE(WrongPixels(RaceCarImage(text), 0xff000000), 0);
        // Objects built later leave the earlier ones' frames alone.
        QCOMPARE(WrongPixels(blue, 0xff00ffff), 0);

        const QPixmap& upright = blue.carFrames.at(0);
        for (int quarter = 1; quarter <= 3; ++quarter) {
            const QPixmap turned = upright.transformed(QTransform().rotate(90 * quarter));
            QVERIFY(DifferingPixels(blue.carFrames.at(6 * quarter), turned) <= 4);
        }
        // Front and rear differ, so the comparison can tell a half turn from none.
        QVERIFY(DifferingPixels(upright, blue.carFrames.at(12)) > 20);
    }
};

QTEST_MAIN(TestCarImages)
#include "tst_car_images.moc"
