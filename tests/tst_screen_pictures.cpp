#include <QGuiApplication>
#include <QImage>
#include <QtTest>

#include "graphics/VantorImages.h"

namespace {

constexpr QRgb WINNER_BLUE = 0xff0000dc;
constexpr QRgb BOARD_GREY = 0xffcdd2d5;
constexpr QRgb NOT_AVAILABLE_YELLOW = 0xfffffa00;
// Everything above this row of a result picture belongs to the flags and the lettering.
constexpr int BOARD_FIRST_ROW_LIMIT = 150;

bool Opaque(QRgb pixel) {
    return qAlpha(pixel) == 255;
}
bool Transparent(QRgb pixel) {
    return qAlpha(pixel) == 0;
}
bool NeutralGrey(QRgb pixel) {
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
}

// The smallest rectangle holding every pixel in the given rows that passes the test.
template <typename Test>
QRect InkBounds(const QImage& image, int firstRow, int lastRow, Test test) {
    QRect bounds;
    for (int y = firstRow; y <= lastRow; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixel(x, y))) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

int Count(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// The mean row of the pixels of this colour within the columns.
double MeanRow(const QImage& image, QRgb colour, int firstColumn, int lastColumn) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = firstColumn; x <= lastColumn; ++x) {
            if (image.pixel(x, y) == colour) {
                sum += y;
                ++count;
            }
        }
    }
    return count == 0 ? 0 : sum / count;
}

// Inclusive columns and rows.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

class ScreenPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void sizesAndUnknownValues();
    void transparentBackgrounds();
    void resultPictureLayout();
    void trackNotAvailableLettering();
    void startLogoIsAGreyFlag();

  private:
    const VantorImages images;
};

void ScreenPicturesTest::sizesAndUnknownValues() {
    QCOMPARE(images.GetImage(VantorImages::START_LOGO).size(), QSize(180, 115));
    QCOMPARE(images.GetImage(VantorImages::RACE_WON).size(), QSize(225, 292));
    QCOMPARE(images.GetImage(VantorImages::RACE_COMPLETED).size(), QSize(225, 292));
    QCOMPARE(images.GetImage(VantorImages::TRACK_NOT_AVAILABLE).size(), QSize(240, 160));

    const QImage logo = images.GetImage(VantorImages::START_LOGO);
    QCOMPARE(images.GetImage(static_cast<VantorImages::VANTORIMAGE>(7)), logo);
    QCOMPARE(images.GetImage(static_cast<VantorImages::VANTORIMAGE>(4)), logo);
    QCOMPARE(images.GetImage(static_cast<VantorImages::VANTORIMAGE>(-1)), logo);
    // The two result pictures differ by the lettering alone, so they must not be the same data.
    QVERIFY(images.GetImage(VantorImages::RACE_WON) !=
            images.GetImage(VantorImages::RACE_COMPLETED));
}

void ScreenPicturesTest::transparentBackgrounds() {
    for (int value = VantorImages::START_LOGO; value <= VantorImages::TRACK_NOT_AVAILABLE;
         ++value) {
        const QImage image = images.GetImage(static_cast<VantorImages::VANTORIMAGE>(value));
        QVERIFY2(image.hasAlphaChannel(), qPrintable(QString::number(value)));
        const int right = image.width() - 1;
        const int bottom = image.height() - 1;
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
            QVERIFY2(Transparent(image.pixel(corner)), qPrintable(QString::number(value)));
        }
    }
    // The menu shows through below the logo's flag, right of its pole.
    const QImage logo = images.GetImage(VantorImages::START_LOGO);
    QVERIFY(Transparent(logo.pixel(100, 112)));
    // Between the flags' poles below their crossing, and beside the board.
    const QImage won = images.GetImage(VantorImages::RACE_WON);
    QVERIFY(Transparent(won.pixel(112, 130)));
    QVERIFY(Transparent(won.pixel(10, 217)));
    QVERIFY(Transparent(won.pixel(214, 217)));
}

void ScreenPicturesTest::resultPictureLayout() {
    const QImage won = images.GetImage(VantorImages::RACE_WON);
    const QImage completed = images.GetImage(VantorImages::RACE_COMPLETED);
    const int lastRow = won.height() - 1;

    // The boards, their border included, and the board colour filling their middle.
    QCOMPARE(InkBounds(won, BOARD_FIRST_ROW_LIMIT, lastRow, Opaque), Box(21, 166, 203, 268));
    QCOMPARE(InkBounds(completed, BOARD_FIRST_ROW_LIMIT, lastRow, Opaque), Box(20, 166, 202, 268));
    QCOMPARE(won.pixel(112, 217), BOARD_GREY);
    QCOMPARE(completed.pixel(111, 217), BOARD_GREY);
    // The white border runs round the board colour.
    QCOMPARE(won.pixel(112, 167), qRgb(255, 255, 255));
    QCOMPARE(won.pixel(202, 217), qRgb(255, 255, 255));
    // The texts of the end screen lie on rows 181 to about 253 of the picture, between the rivets:
    // nothing but the board colour there.
    for (int y = 181; y <= 253; ++y) {
        for (int x = 40; x <= 185; ++x) {
            QCOMPARE(won.pixel(x, y), BOARD_GREY);
            QCOMPARE(completed.pixel(x, y), BOARD_GREY);
        }
    }

    // The flags and the lettering keep to their rows and columns.
    const QRect flags = Box(11, 12, 212, 132);
    QCOMPARE(InkBounds(completed, 0, BOARD_FIRST_ROW_LIMIT, Opaque), flags);
    QCOMPARE(InkBounds(won, 0, BOARD_FIRST_ROW_LIMIT, Opaque), flags);
    // Flags in black, white and greys only.
    QCOMPARE(InkBounds(completed, 0, BOARD_FIRST_ROW_LIMIT,
                       [](QRgb p) { return Opaque(p) && !NeutralGrey(p); }),
             QRect());
    QVERIFY(Count(completed, qRgb(255, 255, 255)) > 0);
    QVERIFY(Count(completed, qRgb(0x11, 0x11, 0x11)) > 0);

    // The blue Winner belongs to the won picture only, within its rows.
    QVERIFY(Count(won, WINNER_BLUE) > 500);
    QCOMPARE(Count(completed, WINNER_BLUE), 0);
    const QRect winner = InkBounds(won, 0, lastRow, [](QRgb p) { return p == WINNER_BLUE; });
    QVERIFY2(winner.top() >= 54 && winner.bottom() <= 111,
             qPrintable(QString::number(winner.top())));
    // Across both flags, and rising to the right: its left half sits lower than its right half.
    QVERIFY(winner.left() < 70 && winner.right() > 155);
    const int middle = won.width() / 2;
    const double leftHalf = MeanRow(won, WINNER_BLUE, 0, middle - 1);
    const double rightHalf = MeanRow(won, WINNER_BLUE, middle, won.width() - 1);
    QVERIFY2(leftHalf > rightHalf + 5, qPrintable(QString("%1 %2").arg(leftHalf).arg(rightHalf)));

    // Apart from the lettering's rows the two pictures carry the same flags.
    for (int y = 0; y < 54; ++y) {
        for (int x = 0; x < won.width(); ++x) {
            QCOMPARE(won.pixel(x, y), completed.pixel(x, y));
        }
    }
    for (int y = 112; y < BOARD_FIRST_ROW_LIMIT; ++y) {
        for (int x = 0; x < won.width(); ++x) {
            QCOMPARE(won.pixel(x, y), completed.pixel(x, y));
        }
    }
}

void ScreenPicturesTest::trackNotAvailableLettering() {
    const QImage picture = images.GetImage(VantorImages::TRACK_NOT_AVAILABLE);
    const int lastRow = picture.height() - 1;
    QCOMPARE(InkBounds(picture, 0, lastRow,
                       [](QRgb p) { return !Transparent(p) && p != NOT_AVAILABLE_YELLOW; }),
             QRect());
    const QRect ink = InkBounds(picture, 0, lastRow, Opaque);
    QVERIFY2(
        Box(42, 29, 197, 121).contains(ink),
        qPrintable(
            QString("%1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
    // Filling most of its box, and centred in the picture.
    QVERIFY(ink.width() > 140);
    QVERIFY(ink.height() > 80);
    QVERIFY(qAbs((ink.left() + ink.right()) - (picture.width() - 1)) <= 2);

    // Three lines of lettering: three bands of rows with ink, separated by empty rows.
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y <= lastRow; ++y) {
        const bool inked = InkBounds(picture, y, y, Opaque).isValid();
        bands += inked && !inBand ? 1 : 0;
        inBand = inked;
    }
    QCOMPARE(bands, 3);
}

void ScreenPicturesTest::startLogoIsAGreyFlag() {
    const QImage logo = images.GetImage(VantorImages::START_LOGO);
    const int lastRow = logo.height() - 1;
    QCOMPARE(InkBounds(logo, 0, lastRow, [](QRgb p) { return Opaque(p) && !NeutralGrey(p); }),
             QRect());
    QVERIFY(Count(logo, qRgb(255, 255, 255)) > 200);
    // Dark lettering across the flag.
    QVERIFY(Count(logo, qRgb(0x11, 0x11, 0x11)) > 500);
    // The pole stands at the left edge, from near the top to the bottom.
    const QRect pole = InkBounds(logo, 100, lastRow, Opaque);
    QVERIFY(pole.left() <= 3 && pole.right() <= 10);
    QVERIFY(pole.bottom() == lastRow);
}

QTEST_MAIN(ScreenPicturesTest)
#include "tst_screen_pictures.moc"
