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

// Travel in each direction (indexed by theDirection): the step to the next cell, the edge left by
// and the edge the next cell is entered by.
struct Heading {
    int dx, dy;
    unsigned exit, entry;
};
// clang-format off
constexpr Heading HEADINGS[] = {{-1, 0, edgeLeft, edgeRight}, {1, 0, edgeRight, edgeLeft},
                                {0, -1, edgeTop, edgeBottom}, {0, 1, edgeBottom, edgeTop}};
// clang-format on

unsigned Edges(const GridSection* s) {
    return PieceCatalogueEntry(s->PieceKind()).roadEdges;
}
bool Upper(const GridSection* s) {
    return PieceCatalogueEntry(s->PieceKind()).upperLevel;
}

}  // namespace

class LayoutsTest : public QObject {
    Q_OBJECT

  private slots:
    void everyTrackIsOneClosedLapLoadedCellByCell();
    void loaderAppendsAndLoadsNothingOutsideTheTracks();
};

void LayoutsTest::everyTrackIsOneClosedLapLoadedCellByCell() {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const TrackLayout* layout = BuiltInTrackLayout(track);
        Canvas canvas;
        Sections sections;
        QCOMPARE(LoadTrackLayout(track, &canvas, sections), PIECES_PER_LAP[track]);
        // Cell by cell in reading order, a bridge piece right after the ground piece below it;
        // track pieces numbered in that order, grass out of the count.
        size_t k = 0;
        int trackValue = 0;
        for (int cell = 0; cell < 2 * LAYOUT_CELLS_PER_LEVEL; ++cell) {
            const int level = cell % 2, i = level * 12 + cell / 2;
            // The ground is never empty; the bridge level holds no grass.
            QVERIFY(layout->image[i] != (level == 0 ? pieceNone : pieceGrass));
            if (layout->image[i] == pieceNone) {
                continue;
            }
            const GridSection& s = *sections.at(k++);
            QCOMPARE(int(s.PieceKind()), layout->image[i]);
            QCOMPARE(int(s.GetTrackDirection(3)), layout->direction[i]);
            QCOMPARE(QPoint(s.GetGridMinXValue(), s.GetGridMinYValue()),
                     QPoint(75 * (cell / 2 % 3), 73 * (cell / 6)));
            QCOMPARE(s.LevelValue(), 2 * level);
            QCOMPARE(s.GetTrackValue(), s.PieceKind() == pieceGrass ? 255 : trackValue++);
        }
        QCOMPARE(trackValue, PIECES_PER_LAP[track]);
        // One lap from the start piece along the road, every piece's stored direction against the
        // way the road runs through it: the travel on a straight, the turn sense on a corner
        // (clockwise on the screen is right).
        const auto isStart = [](const auto& s) { return s->IsStartTrack(); };
        QCOMPARE(std::count_if(sections.begin(), sections.end(), isStart), 1);
        const GridSection* const start =
            std::find_if(sections.begin(), sections.end(), isStart)->get();
        const GridSection* current = start;
        const int travel = current->GetTrackDirection(3);
        QVERIFY(travel <= dirDown &&
                Edges(current) == (HEADINGS[travel].exit | HEADINGS[travel].entry));
        const Heading* heading = &HEADINGS[travel];
        std::set<const GridSection*> visited{current};
        for (;;) {
            const int column = current->GetGridMinXValue() / 75 + heading->dx;
            const int row = current->GetGridMinYValue() / 73 + heading->dy;
            const QByteArray where =
                QString("track %1 column %2 row %3").arg(track + 1).arg(column).arg(row).toLatin1();
            // Where both pieces of a cell join the entry edge, the road keeps its level; the bridge
            // level is reached only from upper-level road.
            const GridSection* next = nullptr;
            for (const auto& s : sections) {
                if (s->GetGridMinXValue() == 75 * column && s->GetGridMinYValue() == 73 * row &&
                    (Edges(s.get()) & heading->entry) &&
                    (next == nullptr || Upper(s.get()) == Upper(current))) {
                    next = s.get();
                }
            }
            QVERIFY2(
                next != nullptr && (next->LevelValue() == 0 || (Upper(current) && Upper(next))),
                where);
            if (next == start) {
                QVERIFY2(heading == &HEADINGS[travel] && int(visited.size()) == trackValue, where);
                break;
            }
            QVERIFY2(visited.insert(next).second, where);
            const unsigned exit = Edges(next) & ~heading->entry;
            const Heading* out = std::find_if(std::begin(HEADINGS), std::end(HEADINGS),
                                              [exit](const Heading& h) { return h.exit == exit; });
            QVERIFY2(out != std::end(HEADINGS), where);
            const bool clockwise = heading->dx * out->dy - heading->dy * out->dx > 0;
            QVERIFY2(
                int(next->GetTrackDirection(3)) ==
                    (out == heading ? int(out - HEADINGS) : int(clockwise ? dirRight : dirLeft)),
                where);
            current = next;
            heading = out;
        }
    }
}

void LayoutsTest::loaderAppendsAndLoadsNothingOutsideTheTracks() {
    Canvas canvas;
    Sections sections;
    LoadTrackLayout(0, &canvas, sections);
    LoadTrackLayout(3, &canvas, sections);
    // Track 4 after track 1's twelve: fourteen sections counted from 0, the bridge start (column 0,
    // row 1) right after the ground corner below it.
    QCOMPARE(sections.size(), size_t(12 + 14));
    QCOMPARE(sections[12]->GetTrackValue(), 0);
    QCOMPARE(sections[15]->PieceKind(), pieceUpperLeft);
    QCOMPARE(sections[16]->PieceKind(), pieceVerticalStartBridge);
    const auto items = canvas.items().size();
    for (const int index : {-1, 15}) {
        QCOMPARE(LoadTrackLayout(index, &canvas, sections), 0);
        QCOMPARE(sections.size(), size_t(26));
        QCOMPARE(canvas.items().size(), items);
    }
}

QTEST_MAIN(LayoutsTest)
#include "tst_layouts.moc"
