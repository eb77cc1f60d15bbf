#include <QtTest>
#include <memory>
#include <set>
#include <vector>

#include "platform/Canvas.h"
#include "race/TrackLayouts.h"
#include "race/TrackLoader.h"
#include "track/GridSection.h"
#include "track/PieceCatalogue.h"

namespace {

using Sections = std::vector<std::unique_ptr<GridSection>>;

// As the game lists them for tracks 1 to 15.
constexpr int PIECES_PER_LAP[TRACK_COUNT] = {10, 10, 12, 14, 12, 10, 10, 10,
                                             10, 12, 12, 12, 14, 12, 14};
constexpr int GRASS_VALUE = 255;

bool IsTrackPiece(int piece) {
    return piece != pieceGrass && piece != pieceNone;
}

// Travel in each direction: the step to the next cell, the edge left by and the edge entered by.
struct Heading {
    theDirection travel;
    int dx;
    int dy;
    roadEdge exit;
    roadEdge entry;
};
constexpr Heading HEADINGS[] = {{dirLeft, -1, 0, edgeLeft, edgeRight},
                                {dirRight, 1, 0, edgeRight, edgeLeft},
                                {dirUp, 0, -1, edgeTop, edgeBottom},
                                {dirDown, 0, 1, edgeBottom, edgeTop}};

const Heading* Travelling(theDirection travel) {
    for (const Heading& heading : HEADINGS) {
        if (heading.travel == travel) {
            return &heading;
        }
    }
    return nullptr;
}

const Heading* LeavingThrough(unsigned edge) {
    for (const Heading& heading : HEADINGS) {
        if (heading.exit == edge) {
            return &heading;
        }
    }
    return nullptr;
}

bool IsVertical(theDirection d) {
    return d == dirUp || d == dirDown;
}

// Turning from one travel to another: clockwise on the screen (y down) is a right turn.
theDirection TurnSense(const Heading& in, const Heading& out) {
    return in.dx * out.dy - in.dy * out.dx > 0 ? dirRight : dirLeft;
}

// The edges whose border the section's road reaches, read through the section's own surface map.
unsigned JoinedEdges(const GridSection& section) {
    unsigned edges = 0;
    for (int x = 0; x < GridSection::MAP_WIDTH; ++x) {
        edges |= section.SurfaceValue(x, 0) != 0 ? unsigned(edgeTop) : 0u;
        edges |=
            section.SurfaceValue(x, GridSection::MAP_HEIGHT - 1) != 0 ? unsigned(edgeBottom) : 0u;
    }
    for (int y = 0; y < GridSection::MAP_HEIGHT; ++y) {
        edges |= section.SurfaceValue(0, y) != 0 ? unsigned(edgeLeft) : 0u;
        edges |=
            section.SurfaceValue(GridSection::MAP_WIDTH - 1, y) != 0 ? unsigned(edgeRight) : 0u;
    }
    return edges;
}

bool OnUpperLevel(const GridSection& section) {
    for (int y = 0; y < GridSection::MAP_HEIGHT; ++y) {
        for (int x = 0; x < GridSection::MAP_WIDTH; ++x) {
            if (section.SurfaceValue(x, y) >= Surface::BridgeCornerRoad) {
                return true;
            }
        }
    }
    return false;
}

int CellColumn(const GridSection& s) {
    return s.GetGridMinXValue() / GridSection::MAP_WIDTH;
}
int CellRow(const GridSection& s) {
    return s.GetGridMinYValue() / GridSection::MAP_HEIGHT;
}

// Drives once round a loaded track along its road, checking every piece against the way the road
// runs through it. Returns an empty string when the lap closes, else what went wrong.
QString WalkOneLap(const Sections& sections) {
    std::vector<const GridSection*> starts;
    for (const auto& s : sections) {
        if (s->IsStartTrack()) {
            starts.push_back(s.get());
        }
    }
    if (starts.size() != 1) {
        return QString("%1 start pieces").arg(starts.size());
    }
    const GridSection* const start = starts.front();
    const Heading* const startHeading = Travelling(start->GetTrackDirection(3));
    if (startHeading == nullptr ||
        JoinedEdges(*start) != unsigned(startHeading->exit | startHeading->entry)) {
        return "the start piece does not run the way it points";
    }

    std::set<const GridSection*> visited{start};
    const GridSection* current = start;
    const Heading* heading = startHeading;
    for (size_t steps = 0; steps <= sections.size(); ++steps) {
        const int column = CellColumn(*current) + heading->dx;
        const int row = CellRow(*current) + heading->dy;
        const QString where = QString("column %1 row %2").arg(column).arg(row);
        std::vector<const GridSection*> joining;
        for (const auto& s : sections) {
            if (CellColumn(*s) == column && CellRow(*s) == row &&
                (JoinedEdges(*s) & heading->entry)) {
                joining.push_back(s.get());
            }
        }
        if (joining.empty()) {
            return "the road breaks off entering " + where;
        }
        // Where both levels of a cell join the edge, the road keeps its level.
        const GridSection* next = joining.front();
        for (const GridSection* candidate : joining) {
            if (OnUpperLevel(*candidate) == OnUpperLevel(*current)) {
                next = candidate;
            }
        }
        // The bridge level is reached only from upper-level road, and keeps a car up there.
        if (next->LevelValue() != 0 && !(OnUpperLevel(*current) && OnUpperLevel(*next))) {
            return "the road changes level on the bridge at " + where;
        }
        if (next == start) {
            return heading == startHeading ? QString() : "the lap comes back against the start";
        }
        if (!visited.insert(next).second) {
            return "the road comes back to " + where + " before the start";
        }
        const Heading* const out = LeavingThrough(JoinedEdges(*next) & ~unsigned(heading->entry));
        if (out == nullptr) {
            return "the piece at " + where + " does not lead on by one edge";
        }
        if (out == heading) {
            if (next->GetTrackDirection(3) != heading->travel) {
                return "the straight at " + where + " points against the lap";
            }
        } else {
            if (next->GetTrackDirection(3) != TurnSense(*heading, *out)) {
                return "the corner at " + where + " turns the other way";
            }
            const bool inVertically = IsVertical(heading->travel);
            const theDirection vertical = inVertically ? heading->travel : out->travel;
            const theDirection horizontal = inVertically ? out->travel : heading->travel;
            if (next->GetTrackDirection(1) != vertical ||
                next->GetTrackDirection(2) != horizontal) {
                return "the corner at " + where + " gives the wrong leg directions";
            }
        }
        current = next;
        heading = out;
    }
    return "the road never returns to the start";
}

}  // namespace

class LayoutsTest : public QObject {
    Q_OBJECT

  private slots:
    void layoutTablesHoldWellFormedCells();
    void everyTrackIsOneClosedLap();
    void loaderBuildsSectionsCellByCell();
    void loaderNumbersThePiecesOfALap();
    void indexOutsideTheTracksLoadsNothing();
};

void LayoutsTest::layoutTablesHoldWellFormedCells() {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const TrackLayout* layout = BuiltInTrackLayout(track);
        QVERIFY(layout != nullptr);
        const QString name = QString("track %1").arg(track + 1);
        int trackPieces = 0;
        int startLevel = -1;
        int startPiece = -1;
        for (int i = 0; i < LAYOUT_ENTRIES; ++i) {
            const int piece = layout->image[i];
            const int direction = layout->direction[i];
            const int level = i / LAYOUT_CELLS_PER_LEVEL;
            QVERIFY2(piece >= pieceGrass && piece <= pieceNone, qPrintable(name));
            // The ground is never empty; the bridge level holds no grass.
            QVERIFY2(level == 0 ? piece != pieceNone : piece != pieceGrass, qPrintable(name));
            if (!IsTrackPiece(piece)) {
                QVERIFY2(direction == dirNone, qPrintable(name));
                continue;
            }
            ++trackPieces;
            const unsigned edges = PieceCatalogueEntry(piece).roadEdges;
            if (edges == (edgeTop | edgeBottom)) {
                QVERIFY2(direction == dirUp || direction == dirDown, qPrintable(name));
            } else {
                QVERIFY2(direction == dirLeft || direction == dirRight, qPrintable(name));
            }
            QVERIFY2(piece != pieceUpperRightStart, qPrintable(name));
            if (piece == pieceVerticalBridge || piece == pieceHorizontalBridge) {
                QVERIFY2(level == 1, qPrintable(name));
            }
            if (PieceCatalogueEntry(piece).startPiece) {
                QVERIFY2(startPiece < 0, qPrintable(name + ": a second start piece"));
                startPiece = piece;
                startLevel = level;
            }
            // Under a bridge piece the ground is plain road or grass, never a ramp of its own.
            if (level == 1) {
                const int below = layout->image[i - LAYOUT_CELLS_PER_LEVEL];
                QVERIFY2(!PieceCatalogueEntry(below).upperLevel, qPrintable(name));
            }
        }
        QCOMPARE(layout->piecesPerLap, trackPieces);
        QCOMPARE(layout->piecesPerLap, PIECES_PER_LAP[track]);
        QVERIFY(trackPieces <= 16);

        const int trackNumber = track + 1;
        const bool bridgeStart =
            trackNumber == 4 || trackNumber == 5 || trackNumber == 11 || trackNumber == 13;
        const bool horizontalStart = trackNumber == 14 || trackNumber == 15;
        QCOMPARE(startPiece, bridgeStart       ? int(pieceVerticalStartBridge)
                             : horizontalStart ? int(pieceHorizontalStart)
                                               : int(pieceVerticalStart));
        QCOMPARE(startLevel, bridgeStart ? 1 : 0);
    }
}

void LayoutsTest::everyTrackIsOneClosedLap() {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        Canvas canvas;
        Sections sections;
        const int piecesPerLap = LoadTrackLayout(track, &canvas, sections);
        const QString failure = WalkOneLap(sections);
        QVERIFY2(failure.isEmpty(),
                 qPrintable(QString("track %1: %2").arg(track + 1).arg(failure)));
        // The lap is every track piece, each once.
        int pieces = 0;
        for (const auto& s : sections) {
            pieces += JoinedEdges(*s) != 0;
        }
        QCOMPARE(pieces, piecesPerLap);
    }
}

void LayoutsTest::loaderBuildsSectionsCellByCell() {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const TrackLayout* layout = BuiltInTrackLayout(track);
        Canvas canvas;
        Sections sections;
        QCOMPARE(LoadTrackLayout(track, &canvas, sections), PIECES_PER_LAP[track]);
        size_t k = 0;
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 3; ++column) {
                for (int level = 0; level < 2; ++level) {
                    const int i = level * 12 + row * 3 + column;
                    if (layout->image[i] == pieceNone) {
                        continue;
                    }
                    QVERIFY(k < sections.size());
                    const GridSection& s = *sections[k++];
                    QCOMPARE(int(s.PieceKind()), layout->image[i]);
                    QCOMPARE(int(s.GetTrackDirection(3)), layout->direction[i]);
                    QCOMPARE(s.GetGridMinXValue(), 75 * column);
                    QCOMPARE(s.GetGridMinYValue(), 73 * row);
                    QCOMPARE(s.GetGridMaxXValue(), 75 * column + 74);
                    QCOMPARE(s.GetGridMaxYValue(), 73 * row + 72);
                    QCOMPARE(s.LevelValue(), 2 * level);
                    QCOMPARE(s.zValue(), 2.0 * level);
                    QCOMPARE(s.pos(), QPointF(75 * column, 73 * row));
                    QVERIFY(s.isVisible());
                    QCOMPARE(s.scene(), &canvas);
                }
            }
        }
        QCOMPARE(k, sections.size());
    }

    Canvas canvas;
    Sections sections;
    LoadTrackLayout(0, &canvas, sections);
    QCOMPARE(sections.size(), size_t(12));
    LoadTrackLayout(3, &canvas, sections);
    // Loading appends; the second track starts its own count.
    QCOMPARE(sections.size(), size_t(12 + 14));
    QCOMPARE(sections[12]->GetTrackValue(), 0);
    QCOMPARE(canvas.items().size(), 26);
    // Track 4: the bridge start above column 0, row 1 follows the ground corner below it.
    const GridSection& ground = *sections[12 + 3];
    const GridSection& bridge = *sections[12 + 4];
    QCOMPARE(ground.PieceKind(), pieceUpperLeft);
    QCOMPARE(ground.LevelValue(), 0);
    QCOMPARE(ground.GetTrackValue(), 3);
    QCOMPARE(bridge.PieceKind(), pieceVerticalStartBridge);
    QCOMPARE(bridge.LevelValue(), 2);
    QCOMPARE(bridge.GetGridMinXValue(), 0);
    QCOMPARE(bridge.GetGridMinYValue(), 73);
    QCOMPARE(bridge.GetTrackValue(), 4);
    QCOMPARE(sections[12 + 5]->GetTrackValue(), 5);
    QCOMPARE(sections.back()->GetTrackValue(), 13);
}

void LayoutsTest::loaderNumbersThePiecesOfALap() {
    Canvas canvas;
    Sections sections;
    LoadTrackLayout(0, &canvas, sections);
    const int trackOne[] = {0, 1, 2, 3, GRASS_VALUE, 4, 5, GRASS_VALUE, 6, 7, 8, 9};
    for (int k = 0; k < 12; ++k) {
        QCOMPARE(sections[k]->GetTrackValue(), trackOne[k]);
    }
    QVERIFY(sections[3]->IsStartTrack());

    for (int track = 0; track < TRACK_COUNT; ++track) {
        Sections all;
        const int piecesPerLap = LoadTrackLayout(track, &canvas, all);
        int next = 0;
        for (const auto& s : all) {
            if (s->PieceKind() == pieceGrass) {
                QCOMPARE(s->GetTrackValue(), GRASS_VALUE);
            } else {
                QCOMPARE(s->GetTrackValue(), next++);
            }
        }
        QCOMPARE(next, piecesPerLap);
    }
}

void LayoutsTest::indexOutsideTheTracksLoadsNothing() {
    QVERIFY(BuiltInTrackLayout(-1) == nullptr);
    QVERIFY(BuiltInTrackLayout(15) == nullptr);
    QVERIFY(BuiltInTrackLayout(14) != nullptr);
    Canvas canvas;
    Sections sections;
    LoadTrackLayout(2, &canvas, sections);
    const size_t before = sections.size();
    const auto itemsBefore = canvas.items().size();
    for (const int index : {-1, 15, 1000, -1000}) {
        QCOMPARE(LoadTrackLayout(index, &canvas, sections), 0);
        QCOMPARE(sections.size(), before);
        QCOMPARE(canvas.items().size(), itemsBefore);
    }
}

QTEST_MAIN(LayoutsTest)
#include "tst_layouts.moc"
