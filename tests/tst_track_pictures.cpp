#include <QtTest>
#include <algorithm>
#include <cmath>

#include "graphics/TrackPictures.h"

constexpr int W = 75, H = 73;
using P = TrackPicture;

// Each colour of the pictures as one letter (grass, road, kerb, black, white, deck, yellow), so
// that lines of pixels read as strings; transparent is a space. Past the last column, x runs on
// into the following rows.
static char At(P picture, int x, int y) {
    static QImage images[TRACK_PICTURE_COUNT];
    QImage& image = images[int(picture)];
    if (image.isNull())
        image = QImage(TrackPictureXpm(picture)).convertToFormat(QImage::Format_ARGB32);
    const QRgb pixel = image.pixel(x % W, y + x / W);
    const QList<QRgb> colours{0xff008000, 0xff808080, 0xffc7c7c7, 0xff000000,
                              0xffffffff, 0xff848284, 0xffffff00};
    return qAlpha(pixel) == 0 ? ' ' : "?grkbwdy"[colours.indexOf(pixel) + 1];
}

// The pixels along the row at (or down the column at); a longer count runs on into the rows below.
static QString Line(P picture, bool row, int at, int count = 0) {
    QString text;
    for (int i = 0; i < (count ? count : row ? W : H); ++i)
        text += row ? At(picture, i, at) : At(picture, at, i);
    return text;
}

class TrackPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void picturesFollowTheirDrawingRules() {
        // Ground straights and grass cover their cell; corners and bridges let what lies below
        // show.
        const QList<P> opaque{P::Grass, P::VerticalTrack, P::HorizontalTrack, P::HorizontalStart,
                              P::VerticalStart};
        for (int kind = 0; kind < TRACK_PICTURE_COUNT; ++kind) {
            QCOMPARE(QImage(TrackPictureXpm(P(kind))).size(), QSize(W, H));
            QCOMPARE(!Line(P(kind), true, 0, W * H).contains(' '), opaque.contains(P(kind)));
        }
        // Across a straight: grass, a solid kerb line, two-pixel kerb stripes at these rows
        // (columns), road. The stripes at both ends join into one of four where two straights meet.
        // Across a bridge: transparent, rail, edge, deck, edge, rail, transparent; where the deck
        // widens at the ends the rails narrow by as much.
        // Rows across the vertical pieces, columns across the horizontal ones.
        for (const bool row : {true, false}) {
            const QList<int> stripes =
                row ? QList<int>{-1, 14, 29, 44, 59, 71} : QList<int>{-1, 13, 28, 44, 60, 73};
            for (int at = 0; at < (row ? H : W); ++at) {
                const bool striped =
                    stripes.contains(at) || stripes.contains(at - 1) || stripes.contains(at - 2);
                const QString grass(row ? 6 : 5, 'g'), stripe(2, striped ? 'k' : 'g');
                QCOMPARE(Line(row ? P::VerticalTrack : P::HorizontalTrack, row, at),
                         grass + 'k' + stripe + QString(57, 'r') + stripe + 'k' + grass);
                const int widening = std::max({0, 5 - at, at - (row ? 67 : 69)});
                const QString pattern = QString("^ {6}[by]{%1}b[dw]{%2}b[by]{%1} {6}$")
                                            .arg(5 - widening)
                                            .arg((row ? 51 : 49) + 2 * widening);
                const QString bridge = Line(row ? P::VerticalBridge : P::HorizontalBridge, row, at);
                QVERIFY2(QRegularExpression(pattern).match(bridge).hasMatch(), qPrintable(bridge));
            }
        }
        // A start picture is its straight with the road (deck) pixels inside an area turned into
        // 2x2 squares, white where the square lies an even number of squares from the first. On
        // the deck the squares start at the deck's first column, as on the road; the corner start
        // continues the squares of the vertical start across its bottom leg.
        const std::tuple<P, P, QRect, char, QPoint> starts[] = {
            {P::VerticalStart, P::VerticalTrack, {9, 55, 57, 18}, 'r', {9, 55}},
            {P::HorizontalStart, P::HorizontalTrack, {63, 8, 12, 57}, 'r', {63, 8}},
            {P::VerticalStartBridge, P::VerticalBridge, {0, 55, 75, 18}, 'd', {12, 55}},
            {P::UpperRightStart, P::UpperRight, {0, 65, 75, 8}, 'r', {9, 55}}};
        for (int i = 0; i < W * H; ++i) {
            const int x = i % W, y = i / W;
            for (const auto& [start, base, area, surface, first] : starts) {
                // Shifted by an even number of squares so that division rounds down left of the
                // first.
                const bool even = ((x - first.x() + 100) / 2 + (y - first.y() + 100) / 2) % 2 == 0;
                const char under = At(base, x, y);
                QCOMPARE(At(start, x, y),
                         even && under == surface && area.contains(x, y) ? 'w' : under);
            }
            // The upper right corner: road within a circle about the lower left corner, a black rim
            // within a slightly larger one, transparent beyond it and in the small triangle inside
            // the inner kerb. Pixels within a pixel of a circle may take the colour on either side.
            const double road = std::hypot(x, y - 73.0), rim = std::hypot(x - 0.5, y - 72.0);
            const char* allowed = y <= 4 || rim > 70.4 || (y >= 69 && x <= y - 68) ? " "
                                  : rim > 68.4                                     ? "b "
                                  : y <= 8 || road > 65.7                          ? "b"
                                  : road > 63.7                                    ? "rb"
                                                                                   : "r";
            QVERIFY(strchr(allowed, At(P::UpperRight, x, y)));
            // The other corners mirror it.
            QCOMPARE(At(P::UpperLeft, x, y), At(P::UpperRight, W - 1 - x, y));
            QCOMPARE(At(P::LowerRight, x, y), At(P::UpperRight, x, H - 1 - y));
            QCOMPARE(At(P::LowerLeft, x, y), At(P::UpperRight, W - 1 - x, H - 1 - y));
        }
    }
};

QTEST_MAIN(TrackPicturesTest)
#include "tst_track_pictures.moc"
