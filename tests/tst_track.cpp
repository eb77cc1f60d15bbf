#include <QPainter>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <vector>

#include "graphics/TrackPictures.h"
#include "platform/Canvas.h"
#include "race/TrackLayouts.h"
#include "race/TrackLoader.h"
#include "tests/support/CompareCase.h"
#include "track/GridSection.h"
#include "track/PieceCatalogue.h"
#include "track/SurfaceMaps.h"

constexpr int W = SURFACE_MAP_WIDTH;
constexpr int H = SURFACE_MAP_HEIGHT;

// A corner's road: a disc of radius 68.3 about a point just beyond where its open edges meet, cut
// along the inner kerb's diagonal in the five rows next to its vertical neighbour, where the road
// starts (open on the left) or ends at these columns. Upper right, lower right, upper left, lower
// left, each a plain map and then its bridge twin.
constexpr int LEG_BOUNDS[4][5] = {
    {3, 4, 5, 6, 6}, {7, 7, 6, 5, 4}, {70, 69, 68, 68, 68}, {68, 68, 69, 70, 71}};

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

// Each corner in each turn sense, with the travel on the way in and out.
// clang-format off
constexpr int CORNER_TURNS[][4] = {
    {pieceUpperRight, dirRight, dirRight, dirDown}, {pieceUpperRight, dirLeft, dirUp, dirLeft},
    {pieceLowerRight, dirRight, dirDown, dirLeft}, {pieceLowerRight, dirLeft, dirRight, dirUp},
    {pieceUpperLeft, dirRight, dirUp, dirRight}, {pieceUpperLeft, dirLeft, dirLeft, dirDown},
    {pieceLowerLeft, dirRight, dirLeft, dirUp}, {pieceLowerLeft, dirLeft, dirDown, dirRight}};
// clang-format on

static bool RuleSaysRoad(int id, int x, int y) {
    // Decks: 12..62 and 11..59 along the bridge, widening a pixel a side per row (column) at ends.
    const int deckY = std::min({y, H - 1 - y, 5});
    const int deckX = std::min({x, W - 1 - x, 6});
    const bool straights[] = {false, x >= 6 && x <= 69, y >= 5 && y <= 67,
                              x >= 7 + deckY && x <= 67 - deckY, y >= 5 + deckX && y <= 65 - deckX};
    if (id < 5)
        return straights[id];
    const int corner = (id - 5) / 2;
    const bool openOnLeft = corner < 2, upper = corner % 2 == 0;
    const int leg = upper ? y - 68 : y;
    if ((upper ? y < 5 : y > 66) ||
        std::hypot(x - (openOnLeft ? -1 : 75), y - (upper ? 73 : -2)) > 68.3)
        return false;
    return leg < 0 || leg > 4 ||
           (openOnLeft ? x >= LEG_BOUNDS[corner][leg] : x <= LEG_BOUNDS[corner][leg]);
}

class TrackTest : public QObject {
    Q_OBJECT

  private slots:
    void mapsCatalogueAndCornerTravelFollowTheRoadRules() {
        // Every pixel counts: the player's car crashes on the first one off the road. A bridge's
        // road value puts a car on the upper level. Corner maps come as a ground one and its bridge
        // twin.
        using namespace Surface;
        const int straights[] = {OffRoad, VerticalRoad, HorizontalRoad, BridgeVerticalRoad,
                                 BridgeHorizontalRoad};
        for (int id = 0; id < SURFACE_MAP_COUNT; ++id) {
            const int road = id < 5 ? straights[id] : id % 2 ? CornerRoad : BridgeCornerRoad;
            COMPARE_CASE(SurfaceMapRoadValue(SurfaceMapId(id)), road,
                         "map " + QByteArray::number(id));
            for (int i = 0; i < W * H; ++i) {
                const int x = i % W, y = i / W;
                COMPARE_CASE(BuiltInSurfaceMap(SurfaceMapId(id)).value[y][x],
                             RuleSaysRoad(id, x, y) ? road : 0,
                             QString::asprintf("map %d at %d, %d", id, x, y).toLatin1());
            }
        }
        // Start pieces are the ones whose picture shows the chequer's white.
        int starts = 0;
        for (int piece = -2; piece <= pieceNone + 2; ++piece) {
            const PieceEntry& entry = PieceCatalogueEntry(piece);
            const bool isPiece = piece >= pieceGrass && piece < pieceNone;
            const QByteArray name = "piece " + QByteArray::number(piece);
            COMPARE_CASE(entry.hasPicture, isPiece, name);
            const bool white = isPiece && Line(entry.picture, true, 0, W * H).contains('w');
            COMPARE_CASE(entry.startPiece, white, name);
            starts += entry.startPiece;
        }
        QCOMPARE(starts, 4);

        // Travel on the way into and out of each corner for each turn sense; the computer's races
        // cover the straights, but not every corner kind in both senses.
        for (const auto& [corner, sense, in, out] : CORNER_TURNS) {
            const bool inVertically = in == dirUp || in == dirDown;
            const theDirection stored = theDirection(sense);
            // The bridge twin, and the start corner for the upper right, turn the same way.
            for (const int piece :
                 {corner, corner + 1, corner == pieceUpperRight ? pieceUpperRightStart : corner}) {
                const auto at = QString::asprintf("piece %d sense %d", piece, sense).toLatin1();
                COMPARE_CASE(int(TrackDirectionOf(piece, stored, 1)), inVertically ? in : out, at);
                COMPARE_CASE(int(TrackDirectionOf(piece, stored, 2)), inVertically ? out : in, at);
                COMPARE_CASE(TrackDirectionOf(piece, stored, 3), stored, at);
            }
        }
    }

    void gridSectionsCoverTheirCellAndLevel() {
        Canvas canvas;
        std::deque<GridSection> cells;
        const auto add = [&](trackPieces piece, theDirection way, int column, int row, int level) {
            cells.emplace_back(&canvas).LoadImage(piece, way, column, row, level);
            return &cells.back();
        };
        GridSection* const section = add(pieceUpperRightStart, dirRight, 1, 2, 1);
        section->SetImage();
        QVERIFY(section->IsStartTrack());
        QCOMPARE(section->pos(), QPointF(75, 146));
        QCOMPARE(section->zValue(), 2.0);
        // Drawn at the whole pixel at or before its position, its transparent corner showing the
        // grass; its own copy of its piece's map.
        section->setPos(75.7, 146.2);
        QImage screen(Canvas::WIDTH, Canvas::HEIGHT, QImage::Format_ARGB32);
        QPainter painter(&screen);
        canvas.render(&painter, screen.rect(), canvas.sceneRect());
        const QImage piece(TrackPictureXpm(TrackPicture::UpperRightStart));
        const SurfaceMap& map = BuiltInSurfaceMap(SurfaceMapId::UpperRightBridge2);
        for (int i = 0; i < W * H; ++i) {
            const int x = i % W, y = i / W;
            const QByteArray at = QString::asprintf("at %d, %d", x, y).toLatin1();
            COMPARE_CASE(section->SurfaceValue(x, y), map.value[y][x], at);
            COMPARE_CASE(screen.pixel(75 + x, 146 + y),
                         qAlpha(piece.pixel(x, y)) ? piece.pixel(x, y) : Canvas::BACKGROUND.rgb(),
                         at);
        }
        // Anything that is not a piece reads as all grass.
        for (const int notAPiece : {17, -1, 40}) {
            section->LoadGrid(pieceLowerLeft);
            section->LoadGrid(notAPiece);
            for (int i = 0; i < W * H; ++i) QCOMPARE(section->SurfaceValue(i % W, i / W), 0);
        }

        // Which section a car is on, by cell and level, is pinned by the computer's races.
        GridSection* const ground = add(pieceVerticalTrack, dirUp, 2, 3, 0);
        GridSection* const horizontal = add(pieceHorizontalTrack, dirLeft, 0, 0, 0);
        GridSection* const corner = add(pieceLowerRight, dirRight, 0, 3, 0);
        const auto xy = [](const GridSection& s, double dx, double dy) {
            int gx = -1, gy = -1;
            s.GetGridXYValues(s.GetGridMinXValue() + dx, s.GetGridMinYValue() + dy, &gx, &gy);
            return QPoint(gx, gy);
        };
        // On the first column or row: along the road on a straight, else diagonally into the cell.
        QCOMPARE(xy(*ground, 30, 0), QPoint(30, 3));
        QCOMPARE(xy(*horizontal, 0, 30), QPoint(3, 30));
        QCOMPARE(xy(*ground, 2, 0), QPoint(5, 3));
        QCOMPARE(xy(*corner, 0, 30), QPoint(3, 33));
        for (const GridSection* s : {ground, horizontal, corner}) {
            QCOMPARE(xy(*s, 0, 0), QPoint(3, 3));
            QCOMPARE(xy(*s, 74, 72), QPoint(74, 72));
            QCOMPARE(xy(*s, 10.9, 20.7), QPoint(10, 20));
            QCOMPARE(xy(*s, 0.9, 20.7), xy(*s, 0, 20));
        }
        // Past the map the nearest pixel counts, never the next row's start (row 5 starts with
        // road).
        QCOMPARE(xy(*horizontal, 74, 0), QPoint(77, 3));
        QCOMPARE(horizontal->SurfaceValue(77, 4), 0);
        QCOMPARE(horizontal->SurfaceValue(77, 5), Surface::HorizontalRoad);
        QCOMPARE(horizontal->SurfaceValue(-1, 68), 0);
        QCOMPARE(ground->SurfaceValue(10, 75), Surface::VerticalRoad);
        QCOMPARE(ground->SurfaceValue(6, -40), Surface::VerticalRoad);
    }

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
                const int rail = 5 - widening, deck = (row ? 51 : 49) + 2 * widening;
                const QString pattern =
                    QString::asprintf("^ {6}[by]{%d}b[dw]{%d}b[by]{%d} {6}$", rail, deck, rail);
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
            const QByteArray at = QString::asprintf("at %d, %d", x, y).toLatin1();
            for (const auto& [start, base, area, surface, first] : starts) {
                // Shifted by an even number of squares so that division rounds down left of the
                // first.
                const bool even = ((x - first.x() + 100) / 2 + (y - first.y() + 100) / 2) % 2 == 0;
                const char under = At(base, x, y);
                COMPARE_CASE(At(start, x, y),
                             even && under == surface && area.contains(x, y) ? 'w' : under,
                             "picture " + QByteArray::number(int(start)) + " " + at);
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
            QVERIFY2(strchr(allowed, At(P::UpperRight, x, y)), at.constData());
            // The other corners mirror it.
            COMPARE_CASE(At(P::UpperLeft, x, y), At(P::UpperRight, W - 1 - x, y), at);
            COMPARE_CASE(At(P::LowerRight, x, y), At(P::UpperRight, x, H - 1 - y), at);
            COMPARE_CASE(At(P::LowerLeft, x, y), At(P::UpperRight, W - 1 - x, H - 1 - y), at);
        }
    }

    // Where each track's road leads, and each piece's place, level and direction, are pinned by the
    // computer's races in the lap tests, which drive every piece of every track; here the loader's
    // order and numbering, which the races do not depend on. All tracks load into one list, each
    // appended after the last and numbered from 0 again.
    void loaderOrdersAndNumbersEachTrack() {
        Canvas canvas;
        std::vector<std::unique_ptr<GridSection>> sections;
        for (int track = 0; track < TRACK_COUNT; ++track) {
            const TrackLayout* layout = BuiltInTrackLayout(track);
            size_t k = sections.size();
            LoadTrackLayout(track, &canvas, sections);
            // Cell by cell in reading order, a bridge piece right after the ground piece below it;
            // track pieces numbered in that order, grass out of the count.
            const QByteArray name = "track " + QByteArray::number(track + 1);
            int trackValue = 0, starts = 0;
            for (int cell = 0; cell < 2 * LAYOUT_CELLS_PER_LEVEL; ++cell) {
                const int level = cell % 2, i = level * LAYOUT_CELLS_PER_LEVEL + cell / 2;
                const QByteArray at = name + " cell " + QByteArray::number(i);
                // The ground is never empty; the bridge level holds no grass.
                COMPARE_CASE(layout->image[i] == (level == 0 ? pieceNone : pieceGrass), false, at);
                if (layout->image[i] == pieceNone)
                    continue;
                QVERIFY2(k < sections.size(), at.constData());  // appended, none left out
                const GridSection& s = *sections[k++];
                COMPARE_CASE(int(s.PieceKind()), layout->image[i], at);
                COMPARE_CASE(s.GetTrackValue(), s.PieceKind() == pieceGrass ? 255 : trackValue++,
                             at);
                starts += s.IsStartTrack();
            }
            COMPARE_CASE(sections.size(), k, name);
            COMPARE_CASE(starts, 1, name);
        }
        // Nothing outside the tracks loads.
        const size_t count = sections.size();
        const auto items = canvas.items().size();
        for (const int index : {-1, TRACK_COUNT}) {
            QCOMPARE(LoadTrackLayout(index, &canvas, sections), 0);
            QCOMPARE(sections.size(), count);
            QCOMPARE(canvas.items().size(), items);
        }
    }
};

QTEST_MAIN(TrackTest)
#include "tst_track.moc"
