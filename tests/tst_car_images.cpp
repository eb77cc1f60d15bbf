#include <QImage>
#include <QMap>
#include <QTransform>
#include <QtTest>

#include <deque>

#include "graphics/CarFrames.h"
#include "graphics/RaceCarImage.h"

namespace {

QImage Frame(const RaceCarImage& image, int frame) {
    return image.carFrames.at(frame).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels of all frames that differ from their XPM key: clear for '+', the body colour for 'o', the
// picture's own colour for the rest. The XPM rows follow its header and six colour lines.
int WrongPixels(const RaceCarImage& image, QRgb body) {
    const QMap<char, QRgb> colours = {{'+', 0},          {' ', 0xff010101}, {'.', 0xff484848},
                                      {'X', 0xffa6a6a6}, {'O', 0xff777777}, {'o', body}};
    int wrong = 0;
    for (int frame = 0; frame < CAR_FRAME_COUNT; ++frame) {
        const QImage picture = Frame(image, frame);
        for (int y = 0; y < CAR_FRAME_SIZE; ++y) {
            for (int x = 0; x < CAR_FRAME_SIZE; ++x) {
                const QRgb pixel = qAlpha(picture.pixel(x, y)) == 0 ? 0 : picture.pixel(x, y);
                wrong += pixel != colours.value(CarFrameXpm(frame)[7 + y][x], 1) ? 1 : 0;
            }
        }
    }
    return wrong;
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

}  // namespace

class TestCarImages : public QObject {
    Q_OBJECT

  private slots:
    void eachObjectKeepsItsOwnColour() {
        const QList<std::pair<const char*, QRgb>> colours = {{RaceCarImage::BLUE, 0xff00ffff},
                                                             {RaceCarImage::YELLOW, 0xffffff00},
                                                             {"#12ab9f", 0xff12ab9f},
                                                             {"#00FFFF00", 0xff000000},
                                                             {"#00FF", 0xff000000},
                                                             {"", 0xff000000},
                                                             {"x00FFFF", 0xff000000},
                                                             {"#00GG00", 0xff000000},
                                                             {"red", 0xff000000},
                                                             {nullptr, 0xff000000}};
        std::deque<RaceCarImage> images;
        for (const auto& [text, body] : colours) {
            const RaceCarImage& image = images.emplace_back(text);
            QCOMPARE(image.carFrames.size(), 24);
            for (const QPixmap& frame : image.carFrames) {
                QCOMPARE(frame.size(), QSize(20, 20));
            }
            QCOMPARE(image.originHotSpots, QList<QPoint>(24, QPoint(0, 0)));
            QCOMPARE(image.centreHotSpots, QList<QPoint>(24, QPoint(10, 10)));
            QCOMPARE(WrongPixels(image, body), 0);
        }
        // Objects built later leave the earlier ones' frames alone.
        QCOMPARE(WrongPixels(images.at(0), 0xff00ffff), 0);
        QCOMPARE(WrongPixels(images.at(1), 0xffffff00), 0);
    }

    void everySixthFrameIsAQuarterTurn() {
        const RaceCarImage image(RaceCarImage::YELLOW);
        const QImage upright = Frame(image, 0);
        for (int quarter = 1; quarter <= 3; ++quarter) {
            const QImage turned = upright.transformed(QTransform().rotate(90 * quarter));
            QVERIFY(DifferingPixels(Frame(image, 6 * quarter), turned) <= 4);
        }
        // Front and rear differ, so the comparison can tell a half turn from none.
        QVERIFY(DifferingPixels(upright, Frame(image, 12)) > 20);
    }
};

QTEST_MAIN(TestCarImages)
#include "tst_car_images.moc"
