#include <QGuiApplication>
#include <QImage>
#include <QtTest>
#include <functional>

#include "graphics/VantorImages.h"

namespace {

constexpr QRgb WINNER_BLUE = 0xff0000dc;
constexpr QRgb BOARD_GREY = 0xffcdd2d5;
constexpr QRgb NOT_AVAILABLE_YELLOW = 0xfffffa00;
constexpr QRgb WHITE = 0xffffffff;
// Above this row a result picture holds the flags and the lettering, below it the board.
constexpr int BOARD_ROWS_START = 150;

bool Opaque(QRgb pixel) {
    return qAlpha(pixel) == 255;
}
bool Transparent(QRgb pixel) {
    return qAlpha(pixel) == 0;
}
bool Coloured(QRgb p) {
    return Opaque(p) && !(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
}

// The smallest rectangle holding every pixel of rows first..last that passes the test.
QRect Bounds(const QImage& image, int first, int last, const std::function<bool(QRgb)>& test) {
    QRect bounds;
    for (int y = first; y <= last; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixel(x, y))) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

// Number and mean row of the pixels of this colour in columns first..last.
QPair<int, double> Find(const QImage& image, QRgb colour, int first, int last) {
    int count = 0;
    double rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = first; x <= last; ++x) {
            if (image.pixel(x, y) == colour) {
                ++count;
                rows += y;
            }
        }
    }
    return {count, count == 0 ? 0.0 : rows / count};
}
int Count(const QImage& image, QRgb colour) {
    return Find(image, colour, 0, image.width() - 1).first;
}

QRect Inclusive(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

class ScreenPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void sizesTransparencyAndUnknownValues();
    void resultPictureLayout();
    void startLogoAndTrackNotAvailable();

  private:
    const VantorImages images;
};

void ScreenPicturesTest::sizesTransparencyAndUnknownValues() {
    const QSize sizes[] = {{180, 115}, {225, 292}, {225, 292}, {240, 160}};
    for (int value = VantorImages::START_LOGO; value <= VantorImages::TRACK_NOT_AVAILABLE;
         ++value) {
        const QImage image = images.GetImage(static_cast<VantorImages::VANTORIMAGE>(value));
        QCOMPARE(image.size(), sizes[value]);
        const QPoint corner(image.width() - 1, image.height() - 1);
        QVERIFY(Transparent(image.pixel(0, 0)) && Transparent(image.pixel(corner)));
    }
    // The menu shows through below the logo's flag; the canvas between the crossed poles.
    QVERIFY(Transparent(images.GetImage(VantorImages::START_LOGO).pixel(100, 112)));
    QVERIFY(Transparent(images.GetImage(VantorImages::RACE_WON).pixel(112, 130)));

    const QImage logo = images.GetImage(VantorImages::START_LOGO);
    for (const int unknown : {4, 7, -1}) {
        QCOMPARE(images.GetImage(static_cast<VantorImages::VANTORIMAGE>(unknown)), logo);
    }
}

void ScreenPicturesTest::resultPictureLayout() {
    const QImage won = images.GetImage(VantorImages::RACE_WON);
    const QImage completed = images.GetImage(VantorImages::RACE_COMPLETED);
    const int lastRow = won.height() - 1;

    // The boards, white border included, with the board colour where the end screen prints.
    QCOMPARE(Bounds(won, BOARD_ROWS_START, lastRow, Opaque), Inclusive(21, 166, 203, 268));
    QCOMPARE(Bounds(completed, BOARD_ROWS_START, lastRow, Opaque), Inclusive(20, 166, 202, 268));
    QCOMPARE(won.pixel(112, 167), WHITE);
    QCOMPARE(won.pixel(202, 217), WHITE);
    for (int y = 181; y <= 253; ++y) {
        for (int x = 40; x <= 185; ++x) {
            QVERIFY(won.pixel(x, y) == BOARD_GREY && completed.pixel(x, y) == BOARD_GREY);
        }
    }

    // The flags keep to their box, in black, white and greys.
    const QRect flags = Inclusive(11, 12, 212, 132);
    QCOMPARE(Bounds(completed, 0, BOARD_ROWS_START, Opaque), flags);
    QCOMPARE(Bounds(won, 0, BOARD_ROWS_START, Opaque), flags);
    QCOMPARE(Bounds(completed, 0, BOARD_ROWS_START, Coloured), QRect());
    QVERIFY(Count(completed, WHITE) > 500 && Count(completed, qRgb(0x11, 0x11, 0x11)) > 500);

    // The blue Winner belongs to the won picture only, within its rows, across both flags and
    // rising to the right: its left half lies lower than its right half.
    QCOMPARE(Count(completed, WINNER_BLUE), 0);
    const QRect winner = Bounds(won, 0, lastRow, [](QRgb p) { return p == WINNER_BLUE; });
    QVERIFY(winner.top() >= 54 && winner.bottom() <= 111);
    QVERIFY(winner.left() < 70 && winner.right() > 155);
    const auto leftHalf = Find(won, WINNER_BLUE, 0, 111);
    const auto rightHalf = Find(won, WINNER_BLUE, 112, 224);
    QVERIFY(leftHalf.first > 200 && rightHalf.first > 200);
    QVERIFY(leftHalf.second > rightHalf.second + 5);

    // Outside the lettering's rows both pictures carry the same flags.
    for (int y = 0; y < BOARD_ROWS_START; ++y) {
        for (int x = 0; x < won.width() && (y < 54 || y > 111); ++x) {
            QCOMPARE(won.pixel(x, y), completed.pixel(x, y));
        }
    }
}

void ScreenPicturesTest::startLogoAndTrackNotAvailable() {
    // The logo: a flag in greys and white with dark lettering, its pole down the left edge.
    const QImage logo = images.GetImage(VantorImages::START_LOGO);
    QCOMPARE(Bounds(logo, 0, logo.height() - 1, Coloured), QRect());
    QVERIFY(Count(logo, WHITE) > 200 && Count(logo, qRgb(0x11, 0x11, 0x11)) > 500);
    const QRect pole = Bounds(logo, 100, logo.height() - 1, Opaque);
    QVERIFY(pole.left() <= 3 && pole.right() <= 10 && pole.bottom() == logo.height() - 1);

    // Yellow lettering only, centred in its box, in three lines: three bands of inked rows.
    const QImage missing = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
    const int lastRow = missing.height() - 1;
    const auto foreign = [](QRgb p) { return !Transparent(p) && p != NOT_AVAILABLE_YELLOW; };
    QCOMPARE(Bounds(missing, 0, lastRow, foreign), QRect());
    const QRect ink = Bounds(missing, 0, lastRow, Opaque);
    QVERIFY(Inclusive(42, 29, 197, 121).contains(ink));
    QVERIFY(ink.width() > 140 && ink.height() > 80);
    QVERIFY(qAbs((ink.left() + ink.right()) - (missing.width() - 1)) <= 2);
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y <= lastRow; ++y) {
        const bool inked = Bounds(missing, y, y, Opaque).isValid();
        bands += inked && !inBand ? 1 : 0;
        inBand = inked;
    }
    QCOMPARE(bands, 3);
}

QTEST_MAIN(ScreenPicturesTest)
#include "tst_screen_pictures.moc"
