#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QtTest>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/Canvas.h"
#include "track/GridSection.h"
#include "track/ImageItem.h"
#include "track/PieceCatalogue.h"
#include "track/SurfaceMaps.h"

namespace {

constexpr int W = SURFACE_MAP_WIDTH;
constexpr int H = SURFACE_MAP_HEIGHT;
constexpr double ARC_RADIUS = 68.3;

// Inclusive range of road columns in one row; empty when from > to.
struct Span {
    int from;
    int to;
};
constexpr Span NO_ROAD{1, 0};

bool Empty(const Span& span) {
    return span.from > span.to;
}

bool operator==(const Span& a, const Span& b) {
    return Empty(a) == Empty(b) && (Empty(a) || (a.from == b.from && a.to == b.to));
}

enum class Corner { UpperRight, LowerRight, UpperLeft, LowerLeft };

bool InsideArc(int x, int y, double centreX, double centreY) {
    return std::hypot(x - centreX, y - centreY) <= ARC_RADIUS;
}

// The far end of a corner row: the arc about the centre beyond the corner's open edges.
int ArcEnd(Corner corner, int y) {
    const bool openOnLeft = corner == Corner::UpperRight || corner == Corner::LowerRight;
    const bool upper = corner == Corner::UpperRight || corner == Corner::UpperLeft;
    const double centreX = openOnLeft ? -1 : 75;
    const double centreY = upper ? 73 : -2;
    const int inward = openOnLeft ? 1 : -1;
    int x = openOnLeft ? 0 : W - 1;
    while (x + inward >= 0 && x + inward < W && InsideArc(x + inward, y, centreX, centreY)) {
        x += inward;
    }
    return x;
}

// The corner road row by row, as the corner rules give it.
Span ExpectedCornerRow(Corner corner, int y) {
    const int arc = ArcEnd(corner, y);
    switch (corner) {
        case Corner::UpperRight: {
            constexpr int legFrom[] = {3, 4, 5, 6, 6};
            return y < 5 ? NO_ROAD : y <= 67 ? Span{0, arc} : Span{legFrom[y - 68], arc};
        }
        case Corner::LowerRight: {
            constexpr int legFrom[] = {7, 7, 6, 5, 4};
            return y < 5 ? Span{legFrom[y], arc} : y <= 66 ? Span{0, arc} : NO_ROAD;
        }
        case Corner::UpperLeft: {
            constexpr int legTo[] = {70, 69, 68, 68, 68};
            return y < 5 ? NO_ROAD : y <= 67 ? Span{arc, 74} : Span{arc, legTo[y - 68]};
        }
        case Corner::LowerLeft: {
            constexpr int legTo[] = {68, 68, 69, 70, 71};
            return y < 5 ? Span{arc, legTo[y]} : y <= 66 ? Span{arc, 74} : NO_ROAD;
        }
    }
    return NO_ROAD;
}

// A failure message, formatted as printf does.
template <typename... Args>
const char* Message(const char* format, Args... args) {
    static QByteArray text;
    text = QString::asprintf(format, args...).toLatin1();
    return text.constData();
}

// The one run of non-zero values in a row of a map; fails the caller's check if there are two.
Span RoadRow(const SurfaceMap& map, int y) {
    Span span = NO_ROAD;
    for (int x = 0; x < W; ++x) {
        if (map.value[y][x] != 0) {
            if (Empty(span)) {
                span = {x, x};
            } else if (span.to == x - 1) {
                span.to = x;
            } else {
                return {-100, -100};  // a second run: a gap in the road
            }
        }
    }
    return span;
}

// Road pixels along one border of a map, as the first and last position along that border.
Span RoadAlongEdge(const SurfaceMap& map, roadEdge edge) {
    Span span = NO_ROAD;
    const bool acrossColumns = edge == edgeTop || edge == edgeBottom;
    const int length = acrossColumns ? W : H;
    for (int i = 0; i < length; ++i) {
        const int x = acrossColumns ? i : (edge == edgeLeft ? 0 : W - 1);
        const int y = acrossColumns ? (edge == edgeTop ? 0 : H - 1) : i;
        if (map.value[y][x] != 0) {
            span.from = Empty(span) ? i : span.from;
            span.to = i;
        }
    }
    return span;
}

const SurfaceMap& MapOf(int piece) {
    return BuiltInSurfaceMap(PieceCatalogueEntry(piece).surfaceMap);
}

QImage PictureOf(int piece) {
    return QImage(TrackPictureXpm(PieceCatalogueEntry(piece).picture));
}

bool HasColour(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

constexpr QRgb ROAD_GREY = 0xFF808080;
constexpr QRgb DECK_GREY = 0xFF848284;
constexpr QRgb CHEQUER_WHITE = 0xFFFFFFFF;

constexpr roadEdge ALL_EDGES[] = {edgeLeft, edgeRight, edgeTop, edgeBottom};

roadEdge Opposite(roadEdge edge) {
    return edge == edgeLeft    ? edgeRight
           : edge == edgeRight ? edgeLeft
           : edge == edgeTop   ? edgeBottom
                               : edgeTop;
}

std::unique_ptr<GridSection> LoadedSection(QGraphicsScene* canvas, trackPieces piece,
                                           theDirection direction, int column, int row, int level) {
    auto section = std::make_unique<GridSection>(canvas);
    section->LoadImage(piece, direction, column, row, level);
    return section;
}

}  // namespace

class TrackTest : public QObject {
    Q_OBJECT

  private slots:
    void surfaceMapsFollowTheirRoadRules();
    void surfaceMapsLineUpAtTheirOpenEdges();
    void bridgeCornersDifferFromTheirTwinsOnlyInRoadValue();
    void catalogueAgreesWithMapsAndPictures();
    void trackDirectionFollowsTheTurnSense();
    void gridSectionLoadsItsCell();
    void onGridAtCellBordersAndLevels();
    void gridXYValuesStepOffTheFirstColumnAndRow();
    void surfaceLookUpNeverLeavesTheMap();
    void itemsDrawTheirPicturesAtWholePixels();
};

void TrackTest::surfaceMapsFollowTheirRoadRules() {
    const int roadValues[SURFACE_MAP_COUNT] = {0, 1, 2, 5, 6, 3, 4, 3, 4, 3, 4, 3, 4};
    for (int id = 0; id < SURFACE_MAP_COUNT; ++id) {
        const SurfaceMapId mapId = static_cast<SurfaceMapId>(id);
        QCOMPARE(SurfaceMapRoadValue(mapId), roadValues[id]);
        const SurfaceMap& map = BuiltInSurfaceMap(mapId);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const int v = map.value[y][x];
                QVERIFY2(v == 0 || v == roadValues[id], Message("map %d at (%d, %d)", id, x, y));
            }
        }
    }

    // The straights, row by row and, for the left-right deck, column by column.
    const auto column = [](SurfaceMapId id, int x) {
        Span span = NO_ROAD;
        for (int y = H - 1; y >= 0; --y) {
            if (BuiltInSurfaceMap(id).value[y][x] != 0) {
                span = {y, Empty(span) ? y : span.to};
            }
        }
        return span;
    };
    for (int y = 0; y < H; ++y) {
        QVERIFY(RoadRow(BuiltInSurfaceMap(SurfaceMapId::GrassArea), y) == NO_ROAD);
        QVERIFY(RoadRow(BuiltInSurfaceMap(SurfaceMapId::VerticalScaled2), y) == (Span{6, 69}));
        QVERIFY(RoadRow(BuiltInSurfaceMap(SurfaceMapId::HorizontalScaled2), y) ==
                (y >= 5 && y <= 67 ? Span{0, 74} : NO_ROAD));
        // Along the bridge the deck is 51 wide; over its last five rows it widens to 7..67.
        const int fromEnd = y < 5 ? y : y > 67 ? 72 - y : 5;
        QVERIFY2(RoadRow(BuiltInSurfaceMap(SurfaceMapId::VerticalBridge2), y) ==
                     (Span{7 + fromEnd, 67 - fromEnd}),
                 Message("deck row %d", y));
    }
    QVERIFY(RoadRow(BuiltInSurfaceMap(SurfaceMapId::VerticalBridge2), 30) == (Span{12, 62}));
    for (int x = 0; x < W; ++x) {
        const int fromEnd = x < 6 ? x : x > 68 ? 74 - x : 6;
        QVERIFY2(column(SurfaceMapId::HorizontalBridge2, x) == (Span{5 + fromEnd, 65 - fromEnd}),
                 Message("deck column %d", x));
    }
    QVERIFY(column(SurfaceMapId::HorizontalBridge2, 37) == (Span{11, 59}));
    QVERIFY(column(SurfaceMapId::HorizontalBridge2, 0) == (Span{5, 65}));

    const SurfaceMapId cornerMaps[][2] = {
        {SurfaceMapId::UpperRightScaled2, SurfaceMapId::UpperRightBridge2},
        {SurfaceMapId::LowerRightScaled2, SurfaceMapId::LowerRightBridge2},
        {SurfaceMapId::UpperLeftScaled2, SurfaceMapId::UpperLeftBridge2},
        {SurfaceMapId::LowerLeftScaled2, SurfaceMapId::LowerLeftBridge2}};
    for (int corner = 0; corner < 4; ++corner) {
        for (const SurfaceMapId id : cornerMaps[corner]) {
            for (int y = 0; y < H; ++y) {
                const Span row = RoadRow(BuiltInSurfaceMap(id), y);
                const Span expected = ExpectedCornerRow(static_cast<Corner>(corner), y);
                QVERIFY2(row == expected,
                         Message("corner %d row %d: %d..%d", corner, y, row.from, row.to));
            }
        }
    }
    // The far ends of the legs, where the arc is given in figures.
    const SurfaceMap& upperRight = BuiltInSurfaceMap(SurfaceMapId::UpperRightScaled2);
    for (int leg = 0; leg < 5; ++leg) {
        QCOMPARE(RoadRow(upperRight, 68 + leg).to, 67);
        QCOMPARE(RoadRow(BuiltInSurfaceMap(SurfaceMapId::UpperLeftScaled2), 68 + leg).from, 7);
        QCOMPARE(RoadRow(BuiltInSurfaceMap(SurfaceMapId::LowerRightScaled2), leg).to, 67);
        QCOMPARE(RoadRow(BuiltInSurfaceMap(SurfaceMapId::LowerLeftScaled2), leg).from, 7);
    }
    // Where the arc rises steeply it stays within a pixel of the drawn road.
    const int steepRowEnds[] = {6, 11, 17, 19, 21, 25};
    for (int i = 0; i < 6; ++i) {
        QVERIFY(std::abs(RoadRow(upperRight, 5 + i).to - steepRowEnds[i]) <= 1);
    }
}

void TrackTest::surfaceMapsLineUpAtTheirOpenEdges() {
    // Any two pieces whose roads meet at a shared border must put their road in the same place
    // there, give or take the two pixels by which a bridge deck is narrower than the ground road.
    constexpr int TOLERANCE = 2;
    for (int a = pieceGrass; a < pieceNone; ++a) {
        for (int b = pieceGrass; b < pieceNone; ++b) {
            for (const roadEdge edge : ALL_EDGES) {
                if ((PieceCatalogueEntry(a).roadEdges & edge) == 0 ||
                    (PieceCatalogueEntry(b).roadEdges & Opposite(edge)) == 0) {
                    continue;
                }
                const Span here = RoadAlongEdge(MapOf(a), edge);
                const Span there = RoadAlongEdge(MapOf(b), Opposite(edge));
                QVERIFY2(!Empty(here) && !Empty(there) &&
                             std::abs(here.from - there.from) <= TOLERANCE &&
                             std::abs(here.to - there.to) <= TOLERANCE,
                         Message("pieces %d and %d at edge %u: %d..%d against %d..%d", a, b,
                                 unsigned(edge), here.from, here.to, there.from, there.to));
                // A road that meets its neighbour is wide enough for a car.
                QVERIFY(here.to - here.from + 1 >= 49);
            }
        }
    }
}

void TrackTest::bridgeCornersDifferFromTheirTwinsOnlyInRoadValue() {
    const trackPieces twins[][2] = {{pieceUpperRight, pieceUpperRightBridge},
                                    {pieceLowerRight, pieceLowerRightBridge},
                                    {pieceUpperLeft, pieceUpperLeftBridge},
                                    {pieceLowerLeft, pieceLowerLeftBridge},
                                    {pieceUpperRight, pieceUpperRightStart}};
    for (const auto& twin : twins) {
        const SurfaceMap& plain = MapOf(twin[0]);
        const SurfaceMap& bridge = MapOf(twin[1]);
        int roadPixels = 0;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const int expected = plain.value[y][x] == Surface::CornerRoad
                                         ? Surface::BridgeCornerRoad
                                         : plain.value[y][x];
                QCOMPARE(bridge.value[y][x], expected);
                roadPixels += plain.value[y][x] != 0;
            }
        }
        QVERIFY(roadPixels > 3000);
    }
    for (const auto& twin : {std::pair{pieceUpperRight, pieceUpperRightBridge},
                             std::pair{pieceLowerRight, pieceLowerRightBridge},
                             std::pair{pieceUpperLeft, pieceUpperLeftBridge},
                             std::pair{pieceLowerLeft, pieceLowerLeftBridge}}) {
        QVERIFY(PieceCatalogueEntry(twin.first).picture ==
                PieceCatalogueEntry(twin.second).picture);
    }
}

void TrackTest::catalogueAgreesWithMapsAndPictures() {
    for (int piece = pieceGrass; piece < pieceNone; ++piece) {
        const PieceEntry& entry = PieceCatalogueEntry(piece);
        const SurfaceMap& map = MapOf(piece);

        // The road edges are exactly the borders the surface map's road reaches.
        unsigned openEdges = 0;
        for (const roadEdge edge : ALL_EDGES) {
            openEdges |= Empty(RoadAlongEdge(map, edge)) ? 0u : unsigned(edge);
        }
        QVERIFY2(openEdges == entry.roadEdges, Message("piece %d", piece));
        // Every piece but grass has road, on two edges.
        QCOMPARE(piece == pieceGrass, entry.roadEdges == 0);

        // The upper level is exactly the pieces whose road puts a car on a bridge.
        QCOMPARE(entry.upperLevel,
                 SurfaceMapRoadValue(entry.surfaceMap) >= Surface::BridgeCornerRoad);

        // Start pieces are the ones whose picture shows the chequer.
        QVERIFY(entry.hasPicture);
        const QImage picture = PictureOf(piece);
        QCOMPARE(picture.size(), QSize(W, H));
        QVERIFY2(entry.startPiece == HasColour(picture, CHEQUER_WHITE), Message("piece %d", piece));
        // Straight bridges show a deck; ground straights and corners do not.
        const bool straightBridge =
            entry.upperLevel && (entry.roadEdges == (edgeTop | edgeBottom) ||
                                 entry.roadEdges == (edgeLeft | edgeRight));
        QVERIFY2(straightBridge == HasColour(picture, DECK_GREY), Message("piece %d", piece));

        // The drawn road lies on the road of the map, give or take a row along the edge of the
        // left-right deck, which the map holds one row higher than the picture.
        int drawnRoad = 0;
        int drawnRoadOnMapRoad = 0;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const QRgb colour = picture.pixel(x, y);
                if (colour == ROAD_GREY || colour == DECK_GREY) {
                    ++drawnRoad;
                    drawnRoadOnMapRoad += map.value[y][x] != 0;
                }
            }
        }
        QVERIFY2(drawnRoadOnMapRoad >= drawnRoad * 98 / 100,
                 Message("piece %d: %d of %d road pixels on the map's road", piece,
                         drawnRoadOnMapRoad, drawnRoad));
    }
    const int starts[] = {pieceHorizontalStart, pieceVerticalStart, pieceVerticalStartBridge,
                          pieceUpperRightStart};
    int startCount = 0;
    for (int piece = -2; piece <= pieceNone + 2; ++piece) {
        startCount += PieceCatalogueEntry(piece).startPiece;
    }
    QCOMPARE(startCount, 4);
    for (const int piece : starts) {
        QVERIFY(PieceCatalogueEntry(piece).startPiece);
    }
    // An empty cell or a value outside the kinds: no picture, all off the road.
    for (const int piece : {int(pieceNone), -1, 18, 1000}) {
        QVERIFY(!PieceCatalogueEntry(piece).hasPicture);
        QVERIFY(PieceCatalogueEntry(piece).surfaceMap == SurfaceMapId::GrassArea);
        QCOMPARE(PieceCatalogueEntry(piece).roadEdges, 0u);
    }
}

void TrackTest::trackDirectionFollowsTheTurnSense() {
    // Where a car enters and leaves each corner: travel on the way in and on the way out.
    struct Turn {
        trackPieces piece;
        theDirection sense;
        theDirection in;
        theDirection out;
    };
    const Turn turns[] = {
        {pieceUpperRight, dirRight, dirRight, dirDown},
        {pieceUpperRight, dirLeft, dirUp, dirLeft},
        {pieceLowerRight, dirRight, dirDown, dirLeft},
        {pieceLowerRight, dirLeft, dirRight, dirUp},
        {pieceUpperLeft, dirRight, dirUp, dirRight},
        {pieceUpperLeft, dirLeft, dirLeft, dirDown},
        {pieceLowerLeft, dirRight, dirLeft, dirUp},
        {pieceLowerLeft, dirLeft, dirDown, dirRight},
    };
    const auto isVertical = [](theDirection d) { return d == dirUp || d == dirDown; };
    for (const Turn& turn : turns) {
        const theDirection vertical = isVertical(turn.in) ? turn.in : turn.out;
        const theDirection horizontal = isVertical(turn.in) ? turn.out : turn.in;
        // The bridge variant and, for the upper right, the start corner turn the same way.
        for (const int piece : {int(turn.piece), int(turn.piece) + 1}) {
            QCOMPARE(TrackDirectionOf(piece, turn.sense, 1), vertical);
            QCOMPARE(TrackDirectionOf(piece, turn.sense, 2), horizontal);
            for (const int entry : {3, 0, 7, -1}) {
                QCOMPARE(TrackDirectionOf(piece, turn.sense, entry), turn.sense);
            }
        }
        if (turn.piece == pieceUpperRight) {
            QCOMPARE(TrackDirectionOf(pieceUpperRightStart, turn.sense, 1), vertical);
            QCOMPARE(TrackDirectionOf(pieceUpperRightStart, turn.sense, 2), horizontal);
        }
    }
    // Any stored value but dirLeft counts as a right turn; upper corners answer entry 2 with it.
    QCOMPARE(TrackDirectionOf(pieceLowerRight, dirUp, 1), dirDown);
    QCOMPARE(TrackDirectionOf(pieceLowerRight, dirUp, 2), dirLeft);
    QCOMPARE(TrackDirectionOf(pieceUpperLeft, dirNone, 1), dirUp);
    QCOMPARE(TrackDirectionOf(pieceUpperRight, dirDown, 2), dirDown);
    // Everything else answers the stored direction to every entry.
    const int others[] = {pieceGrass,
                          pieceVerticalTrack,
                          pieceVerticalBridge,
                          pieceHorizontalTrack,
                          pieceHorizontalBridge,
                          pieceHorizontalStart,
                          pieceVerticalStart,
                          pieceVerticalStartBridge,
                          pieceNone,
                          -1,
                          99};
    for (const int piece : others) {
        for (const theDirection stored : {dirLeft, dirRight, dirUp, dirDown, dirNone}) {
            for (const int entry : {0, 1, 2, 3}) {
                QCOMPARE(TrackDirectionOf(piece, stored, entry), stored);
            }
        }
    }

    // The grid section asks the same rule of its own piece and direction.
    Canvas canvas;
    const auto lowerRight = LoadedSection(&canvas, pieceLowerRight, dirRight, 0, 0, 0);
    QCOMPARE(lowerRight->GetTrackDirection(1), dirDown);
    QCOMPARE(lowerRight->GetTrackDirection(2), dirLeft);
    QCOMPARE(lowerRight->GetTrackDirection(3), dirRight);
    const auto upperLeft = LoadedSection(&canvas, pieceUpperLeft, dirLeft, 1, 0, 0);
    QCOMPARE(upperLeft->GetTrackDirection(1), dirDown);
    QCOMPARE(upperLeft->GetTrackDirection(2), dirLeft);
    QCOMPARE(upperLeft->GetTrackDirection(3), dirLeft);
    const auto lowerLeft = LoadedSection(&canvas, pieceLowerLeft, dirLeft, 2, 0, 0);
    QCOMPARE(lowerLeft->GetTrackDirection(0), dirLeft);
    QCOMPARE(lowerLeft->GetTrackDirection(7), dirLeft);
    QCOMPARE(lowerLeft->GetTrackDirection(1), dirDown);
    const auto vertical = LoadedSection(&canvas, pieceVerticalTrack, dirDown, 0, 1, 0);
    QCOMPARE(vertical->GetTrackDirection(2), dirDown);

    QVERIFY(!LoadedSection(&canvas, pieceHorizontalTrack, dirLeft, 0, 0, 0)->IsStartTrack());
    QVERIFY(!LoadedSection(&canvas, pieceUpperRight, dirLeft, 0, 0, 0)->IsStartTrack());
    QVERIFY(LoadedSection(&canvas, pieceUpperRightStart, dirLeft, 0, 0, 0)->IsStartTrack());
    QVERIFY(LoadedSection(&canvas, pieceVerticalStartBridge, dirUp, 0, 0, 1)->IsStartTrack());
}

void TrackTest::gridSectionLoadsItsCell() {
    Canvas canvas;
    const auto section = std::make_unique<GridSection>(&canvas);
    QCOMPARE(section->type(), 984376);
    QCOMPARE(qgraphicsitem_cast<GridSection*>(section.get()), section.get());
    QVERIFY(!section->isVisible());
    QCOMPARE(section->LevelValue(), 0);
    QCOMPARE(section->SurfaceValue(37, 36), 0);
    QCOMPARE(section->scene(), &canvas);

    // Cell by cell across and down the grid.
    const int left[] = {0, 75, 150};
    const int top[] = {0, 73, 146, 219};
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 4; ++row) {
            section->LoadImage(pieceVerticalTrack, dirUp, column, row, 0);
            QCOMPARE(section->GetGridMinXValue(), left[column]);
            QCOMPARE(section->GetGridMaxXValue(), left[column] + 74);
            QCOMPARE(section->GetGridMinYValue(), top[row]);
            QCOMPARE(section->GetGridMaxYValue(), top[row] + 72);
        }
    }
    QCOMPARE(section->width(), 75);
    QCOMPARE(section->height(), 73);
    QVERIFY(!section->isVisible());

    section->LoadImage(pieceHorizontalBridge, dirRight, 1, 2, 1);
    QCOMPARE(section->PieceKind(), pieceHorizontalBridge);
    QCOMPARE(section->LevelValue(), 2);
    section->SetTrackValue(7);
    QCOMPARE(section->GetTrackValue(), 7);
    section->SetImage();
    QVERIFY(section->isVisible());
    QCOMPARE(section->pos(), QPointF(75, 146));
    QCOMPARE(section->zValue(), 2.0);
    section->LoadImage(pieceVerticalStart, dirUp, 0, 1, 0);
    section->SetImage();
    QCOMPARE(section->zValue(), 0.0);
    QCOMPARE(section->pos(), QPointF(0, 73));

    // Its own copy of the piece's map, and the all-grass map for anything that is not a piece.
    const auto mapMatches = [&](const SurfaceMap& map) {
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                if (section->SurfaceValue(x, y) != map.value[y][x]) {
                    return false;
                }
            }
        }
        return true;
    };
    QVERIFY(mapMatches(BuiltInSurfaceMap(SurfaceMapId::VerticalScaled2)));
    section->LoadGrid(16);
    QVERIFY(mapMatches(BuiltInSurfaceMap(SurfaceMapId::UpperRightBridge2)));
    section->LoadGrid(5);
    QVERIFY(mapMatches(BuiltInSurfaceMap(SurfaceMapId::HorizontalScaled2)));
    for (const int notAPiece : {0, 17, -1, 40}) {
        section->LoadGrid(12);
        section->LoadGrid(notAPiece);
        QVERIFY(mapMatches(BuiltInSurfaceMap(SurfaceMapId::GrassArea)));
    }
}

void TrackTest::onGridAtCellBordersAndLevels() {
    Canvas canvas;
    const auto ground = LoadedSection(&canvas, pieceVerticalTrack, dirUp, 2, 3, 0);
    QVERIFY(!ground->OnGrid(224, 291, 1));
    QVERIFY(!ground->OnGrid(150, 219, 1));
    QVERIFY(ground->OnGrid(225, 291, 1));
    QVERIFY(ground->OnGrid(149, 250, 1));
    QVERIFY(ground->OnGrid(200, 218, 1));
    QVERIFY(ground->OnGrid(200, 292, 1));
    QVERIFY(ground->OnGrid(200, 250, 3));
    QVERIFY(ground->OnGrid(200, 250, 0));

    const auto bridge = LoadedSection(&canvas, pieceVerticalBridge, dirUp, 0, 1, 1);
    QVERIFY(!bridge->OnGrid(30, 100, 3));
    QVERIFY(bridge->OnGrid(30, 100, 1));
    QVERIFY(bridge->OnGrid(30, 100, 2));
    QVERIFY(bridge->OnGrid(30, 72, 3));
    QVERIFY(!bridge->OnGrid(74, 145, 3));
    QVERIFY(bridge->OnGrid(75, 145, 3));
}

void TrackTest::gridXYValuesStepOffTheFirstColumnAndRow() {
    Canvas canvas;
    const auto vertical = LoadedSection(&canvas, pieceVerticalTrack, dirUp, 1, 2, 0);
    const auto horizontal = LoadedSection(&canvas, pieceHorizontalTrack, dirLeft, 2, 1, 0);
    const auto corner = LoadedSection(&canvas, pieceUpperRight, dirRight, 0, 3, 0);
    int gx = -1;
    int gy = -1;
    const auto xy = [&](const GridSection& s, double dx, double dy) {
        s.GetGridXYValues(s.GetGridMinXValue() + dx, s.GetGridMinYValue() + dy, &gx, &gy);
        return QPoint(gx, gy);
    };
    // Along the road into the cell on a straight, diagonally off the road.
    QCOMPARE(xy(*vertical, 30, 0), QPoint(30, 3));
    QCOMPARE(xy(*horizontal, 0, 30), QPoint(3, 30));
    QCOMPARE(xy(*vertical, 2, 0), QPoint(5, 3));
    QCOMPARE(xy(*corner, 0, 30), QPoint(3, 33));
    for (const GridSection* s : {vertical.get(), horizontal.get(), corner.get()}) {
        QCOMPARE(xy(*s, 0, 0), QPoint(3, 3));
        QCOMPARE(xy(*s, 74, 72), QPoint(74, 72));
        QCOMPARE(xy(*s, 40, 72), QPoint(40, 72));
        QCOMPARE(xy(*s, 74, 10), QPoint(74, 10));
        // Truncated, not rounded, before the step.
        QCOMPARE(xy(*s, 10.9, 20.7), QPoint(10, 20));
        QCOMPARE(xy(*s, 0.9, 20.7), xy(*s, 0, 20));
    }
}

void TrackTest::surfaceLookUpNeverLeavesTheMap() {
    Canvas canvas;
    const auto horizontal = LoadedSection(&canvas, pieceHorizontalTrack, dirLeft, 0, 0, 0);
    const auto vertical = LoadedSection(&canvas, pieceVerticalTrack, dirUp, 0, 0, 0);
    // Beyond the last column: the same row's last pixel, never the start of the next row (row 5
    // begins with road, row 4 ends without).
    QCOMPARE(horizontal->SurfaceValue(77, 4), 0);
    QCOMPARE(horizontal->SurfaceValue(77, 5), Surface::HorizontalRoad);
    QCOMPARE(horizontal->SurfaceValue(1000, 30), Surface::HorizontalRoad);
    // Beyond the last row or before the first: the nearest row and column.
    QCOMPARE(vertical->SurfaceValue(10, 75), Surface::VerticalRoad);
    QCOMPARE(vertical->SurfaceValue(3, 75), 0);
    QCOMPARE(vertical->SurfaceValue(-3, -3), 0);
    QCOMPARE(vertical->SurfaceValue(6, -40), Surface::VerticalRoad);
    QCOMPARE(horizontal->SurfaceValue(-1, 67), Surface::HorizontalRoad);
    QCOMPARE(horizontal->SurfaceValue(-1, 68), 0);

    // The step off the first row at the far corner lands three pixels past the map.
    int gx = 0;
    int gy = 0;
    horizontal->GetGridXYValues(74, 0, &gx, &gy);
    QCOMPARE(QPoint(gx, gy), QPoint(77, 3));
    QCOMPARE(horizontal->SurfaceValue(gx, gy), horizontal->SurfaceValue(74, 3));
    vertical->GetGridXYValues(0, 72, &gx, &gy);
    QCOMPARE(QPoint(gx, gy), QPoint(3, 75));
    QCOMPARE(vertical->SurfaceValue(gx, gy), vertical->SurfaceValue(3, 72));
}

void TrackTest::itemsDrawTheirPicturesAtWholePixels() {
    QImage picture(4, 3, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(3, 2, qRgb(0, 0, 255));
    Canvas canvas;
    const auto item = std::make_unique<ImageItem>(picture, &canvas);
    QCOMPARE(item->scene(), &canvas);
    QCOMPARE(item->pos(), QPointF(0, 0));
    QVERIFY(!item->isVisible());
    QCOMPARE(item->width(), 4);
    QCOMPARE(item->height(), 3);
    QCOMPARE(item->Image(), picture);

    const auto render = [&canvas] {
        QImage screen(Canvas::WIDTH, Canvas::HEIGHT, QImage::Format_ARGB32);
        screen.fill(Qt::black);
        QPainter painter(&screen);
        canvas.render(&painter, screen.rect(), canvas.sceneRect());
        return screen;
    };
    QCOMPARE(render().pixel(0, 0), Canvas::BACKGROUND.rgb());
    item->setPos(10.7, 20.2);
    item->show();
    const QImage withItem = render();
    QCOMPARE(withItem.pixel(10, 20), qRgb(255, 0, 0));
    QCOMPARE(withItem.pixel(13, 22), qRgb(0, 0, 255));
    QCOMPARE(withItem.pixel(11, 21), Canvas::BACKGROUND.rgb());

    // A section draws its piece at its cell; transparency shows what lies below.
    const auto section = LoadedSection(&canvas, pieceUpperRight, dirRight, 1, 1, 0);
    section->SetImage();
    const QImage piece = PictureOf(pieceUpperRight);
    const QImage withSection = render();
    int compared = 0;
    for (int y = 0; y < H; y += 3) {
        for (int x = 0; x < W; x += 3) {
            const QRgb drawn = piece.pixel(x, y);
            const QRgb expected = qAlpha(drawn) == 0 ? Canvas::BACKGROUND.rgb() : drawn;
            QCOMPARE(withSection.pixel(75 + x, 73 + y), expected);
            ++compared;
        }
    }
    QVERIFY(compared > 500);
}

QTEST_MAIN(TrackTest)
#include "tst_track.moc"
