#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "graphics/TrackPictures.h"
#include "track/PieceCatalogue.h"
#include "track/SurfaceMaps.h"

namespace {

constexpr int W = 75;
constexpr int H = 73;
using P = TrackPicture;

// Each colour of the pictures as one letter (grass, road, kerb, black, white, deck, yellow), so
// that lines of pixels read as strings; transparent is a space. Past the last column, x runs on
// into the following rows.
char At(P picture, int x, int y) {
    static QImage images[TRACK_PICTURE_COUNT];
    QImage& image = images[int(picture)];
    if (image.isNull()) {
        image = QImage(TrackPictureXpm(picture)).convertToFormat(QImage::Format_ARGB32);
    }
    const QRgb pixel = image.pixel(x % W, y + x / W);
    const QRgb colours[] = {0xff008000, 0xff808080, 0xffc7c7c7, 0xff000000,
                            0xffffffff, 0xff848284, 0xffffff00};
    const int i = int(std::find(std::begin(colours), std::end(colours), pixel) - colours);
    return qAlpha(pixel) == 0 ? ' ' : "grkbwdy?"[i];
}

// count pixels from (x, y) on, a step of (dx, dy) apart.
QString Line(P picture, int x, int y, int dx, int dy, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        text += At(picture, x + i * dx, y + i * dy);
    }
    return text;
}

// A start picture is its base picture with the pixels of one surface colour inside the area turned
// into 2x2 squares, white where the square lies an even number of squares from the first.
void CheckChequer(P start, P base, const QRect& area, char surface, QPoint first) {
    for (int i = 0; i < W * H; ++i) {
        const int x = i % W, y = i / W;
        // Shifted by an even number of squares so that division rounds down left of the first.
        const int square = (x - first.x() + 100) / 2 + (y - first.y() + 100) / 2;
        const char under = At(base, x, y);
        const char expected = square % 2 || under != surface || !area.contains(x, y) ? under : 'w';
        QVERIFY2(At(start, x, y) == expected, qPrintable(QString("%1, %2").arg(x).arg(y)));
    }
}

}  // namespace

class TrackPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void picturesFollowTheirDrawingRulesAndMaps();
};

void TrackPicturesTest::picturesFollowTheirDrawingRulesAndMaps() {
    // Ground straights and grass cover their cell; corners and bridges let what lies below show.
    const QList<P> opaque{P::Grass, P::VerticalTrack, P::HorizontalTrack, P::HorizontalStart,
                          P::VerticalStart};
    for (int kind = 0; kind < TRACK_PICTURE_COUNT; ++kind) {
        QCOMPARE(QImage(TrackPictureXpm(P(kind))).size(), QSize(W, H));
        const QString all = Line(P(kind), 0, 0, 1, 0, W * H);
        QCOMPARE(!all.contains(' '), opaque.contains(P(kind)));
        QCOMPARE(all.count('g') == W * H, kind == int(P::Grass));
    }
    // Kerbs: a solid outer line and two-pixel stripes across the piece at these rows (columns). The
    // stripes at both ends join into one of four where two straights meet, and a start piece keeps
    // its straight's kerbs (the chequer checks below compare every other pixel with the straight).
    const auto kerbed = [](int at, std::initializer_list<int> stripes, int grass) {
        const bool striped = std::any_of(stripes.begin(), stripes.end(),
                                         [at](int s) { return at >= s && at <= s + 2; });
        const QString stripe(2, striped ? 'k' : 'g');
        return QString(grass, 'g') + 'k' + stripe + QString(57, 'r') + stripe + 'k' +
               QString(grass, 'g');
    };
    for (int y = 0; y < H; ++y) {
        QCOMPARE(Line(P::VerticalTrack, 0, y, 1, 0, W), kerbed(y, {-1, 14, 29, 44, 59, 71}, 6));
    }
    for (int x = 0; x < W; ++x) {
        QCOMPARE(Line(P::HorizontalTrack, x, 0, 0, 1, H), kerbed(x, {-1, 13, 28, 44, 60, 73}, 5));
    }
    CheckChequer(P::VerticalStart, P::VerticalTrack, {9, 55, 57, 18}, 'r', {9, 55});
    CheckChequer(P::HorizontalStart, P::HorizontalTrack, {63, 8, 12, 57}, 'r', {63, 8});
    // On the deck the squares start at the deck's first column, as on the road; the corner start
    // continues the squares of the vertical start across its bottom leg.
    CheckChequer(P::VerticalStartBridge, P::VerticalBridge, {0, 55, 75, 18}, 'd', {12, 55});
    CheckChequer(P::UpperRightStart, P::UpperRight, {0, 65, 75, 8}, 'r', {9, 55});

    // Across a bridge: transparent, rail, edge, deck, edge, rail, transparent; where the deck
    // widens at the ends the rails narrow by as much.
    for (const bool vertical : {true, false}) {
        for (int at = 0; at < (vertical ? H : W); ++at) {
            const int widening = std::max({0, 5 - at, at - (vertical ? 67 : 69)});
            const QString line = vertical ? Line(P::VerticalBridge, 0, at, 1, 0, W)
                                          : Line(P::HorizontalBridge, at, 0, 0, 1, H);
            const QString pattern = QString("^ {6}[by]{%1}b[dw]{%2}b[by]{%1} {6}$")
                                        .arg(5 - widening)
                                        .arg((vertical ? 51 : 49) + 2 * widening);
            QVERIFY2(QRegularExpression(pattern).match(line).hasMatch(), qPrintable(line));
        }
    }
    // The upper right corner: road within a circle about the lower left corner, a black rim within
    // a slightly larger one, transparent beyond it and in the small triangle inside the inner kerb.
    // Pixels within a pixel of a circle may take the colour on either side of it.
    for (int i = 0; i < W * H; ++i) {
        const int x = i % W, y = i / W;
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

    // Nearly all the drawn road lies on the map's road: a row along the edge of the left-right deck
    // is held a row higher in the map, and the corner maps leave out the inner kerb's diagonal.
    for (int kind = pieceGrass; kind < pieceNone; ++kind) {
        const PieceEntry& entry = PieceCatalogueEntry(kind);
        int road = 0, onMap = 0, deck = 0;
        for (int i = 0; i < W * H; ++i) {
            const bool drawnRoad = strchr("rdw", At(entry.picture, i, 0));
            road += drawnRoad;
            onMap += drawnRoad && BuiltInSurfaceMap(entry.surfaceMap).value[i / W][i % W] != 0;
            deck += At(entry.picture, i, 0) == 'd';
        }
        // Only the straight bridges show a deck.
        QCOMPARE(deck > 0, SurfaceMapRoadValue(entry.surfaceMap) >= Surface::BridgeVerticalRoad);
        QVERIFY(onMap >= road * 98 / 100);
    }
}

QTEST_MAIN(TrackPicturesTest)
#include "tst_track_pictures.moc"
