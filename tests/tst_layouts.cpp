#include <QtTest>
#include <memory>
#include <vector>

#include "platform/Canvas.h"
#include "race/TrackLayouts.h"
#include "race/TrackLoader.h"
#include "track/GridSection.h"

// Where each track's road leads, and each piece's place, level and direction, are pinned by the
// computer's races in the lap tests, which drive every piece of every track; here the loader's
// order and numbering, which the races do not depend on.
class LayoutsTest : public QObject {
    Q_OBJECT

    using Sections = std::vector<std::unique_ptr<GridSection>>;

  private slots:
    void loadedCellByCell_data() {
        QTest::addColumn<int>("track");
        for (int track = 0; track < TRACK_COUNT; ++track)
            QTest::addRow("track %d", track + 1) << track;
    }

    void loadedCellByCell() {
        QFETCH(int, track);
        const TrackLayout* layout = BuiltInTrackLayout(track);
        Canvas canvas;
        Sections sections;
        LoadTrackLayout(track, &canvas, sections);
        // Cell by cell in reading order, a bridge piece right after the ground piece below it;
        // track pieces numbered in that order, grass out of the count.
        size_t k = 0;
        int trackValue = 0;
        for (int cell = 0; cell < 2 * LAYOUT_CELLS_PER_LEVEL; ++cell) {
            const int level = cell % 2, i = level * LAYOUT_CELLS_PER_LEVEL + cell / 2;
            // The ground is never empty; the bridge level holds no grass.
            QVERIFY(layout->image[i] != (level == 0 ? pieceNone : pieceGrass));
            if (layout->image[i] == pieceNone)
                continue;
            const GridSection& s = *sections.at(k++);
            QCOMPARE(int(s.PieceKind()), layout->image[i]);
            QCOMPARE(s.GetTrackValue(), s.PieceKind() == pieceGrass ? 255 : trackValue++);
        }
        QCOMPARE(sections.size(), k);
        const auto isStart = [](const auto& s) { return s->IsStartTrack(); };
        QCOMPARE(std::count_if(sections.begin(), sections.end(), isStart), 1);
    }

    void loaderAppendsAndLoadsNothingOutsideTheTracks() {
        Canvas canvas;
        Sections sections;
        LoadTrackLayout(0, &canvas, sections);
        LoadTrackLayout(3, &canvas, sections);
        // Track 4 after track 1's twelve: fourteen sections counted from 0, the bridge start
        // (column 0, row 1) right after the ground corner below it.
        QCOMPARE(sections.size(), size_t(12 + 14));
        QCOMPARE(sections[12]->GetTrackValue(), 0);
        QCOMPARE(sections[15]->PieceKind(), pieceUpperLeft);
        QCOMPARE(sections[16]->PieceKind(), pieceVerticalStartBridge);
        const auto items = canvas.items().size();
        for (const int index : {-1, TRACK_COUNT}) {
            QCOMPARE(LoadTrackLayout(index, &canvas, sections), 0);
            QCOMPARE(sections.size(), size_t(26));
            QCOMPARE(canvas.items().size(), items);
        }
    }
};

QTEST_MAIN(LayoutsTest)
#include "tst_layouts.moc"
