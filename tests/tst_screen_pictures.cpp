#include <QGuiApplication>
#include <QImage>
#include <QtTest>

#include <functional>

#include "graphics/VantorImages.h"

namespace {

constexpr QRgb WINNER_BLUE = 0xff0000dc;
constexpr QRgb BOARD_GREY = 0xffcdd2d5;
constexpr QRgb NOT_AVAILABLE_YELLOW = 0xfffffa00;

// The smallest rectangle holding every pixel that passes the test, and how many do.
std::pair<QRect, int> Find(const QImage& image, const std::function<bool(QRgb)>& test) {
    QRect bounds;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixel(x, y))) {
                bounds |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    return {bounds, count};
}

QRect Inclusive(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

class ScreenPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void sizesTransparencyAndUnknownValues() {
        const QSize sizes[] = {{180, 115}, {225, 292}, {225, 292}, {240, 160}};
        for (int value = VantorImages::START_LOGO; value <= VantorImages::TRACK_NOT_AVAILABLE;
             ++value) {
            const QImage image = images.GetImage(static_cast<VantorImages::VANTORIMAGE>(value));
            QCOMPARE(image.size(), sizes[value]);
            QCOMPARE(qAlpha(image.pixel(0, 0)) | qAlpha(image.pixel(image.width() - 1, 100)), 0);
        }
        const QImage logo = images.GetImage(VantorImages::START_LOGO);
        for (const int unknown : {4, -1}) {
            QCOMPARE(images.GetImage(static_cast<VantorImages::VANTORIMAGE>(unknown)), logo);
        }
    }

    void namedColoursWhereTheyBelong() {
        const QImage won = images.GetImage(VantorImages::RACE_WON);
        const QImage completed = images.GetImage(VantorImages::RACE_COMPLETED);
        // The end screen prints on the board: it must be plain board grey there.
        for (const QImage& result : {won, completed}) {
            const QImage board = result.copy(Inclusive(40, 181, 185, 253));
            QCOMPARE(Find(board, [](QRgb p) { return p != BOARD_GREY; }).second, 0);
        }
        const auto winner = Find(won, [](QRgb p) { return p == WINNER_BLUE; });
        QVERIFY(winner.second > 400 && Inclusive(11, 54, 212, 111).contains(winner.first));
        QCOMPARE(Find(completed, [](QRgb p) { return p == WINNER_BLUE; }).second, 0);

        const QImage missing = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
        const auto ink = Find(missing, [](QRgb p) { return qAlpha(p) != 0; });
        QVERIFY(ink.second > 1000 && Inclusive(42, 29, 197, 121).contains(ink.first));
        QCOMPARE(Find(missing, [](QRgb p) { return p == NOT_AVAILABLE_YELLOW; }).second,
                 ink.second);
    }

  private:
    const VantorImages images;
};

QTEST_MAIN(ScreenPicturesTest)
#include "tst_screen_pictures.moc"
