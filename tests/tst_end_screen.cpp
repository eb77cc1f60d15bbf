#include <QtTest>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "screens/EndScreen.h"

class EndScreenTest : public QObject {
    Q_OBJECT

  private slots:
    void showsCentredResultsAndHidesThem() {
        VantorImages images;
        vantorImages = &images;
        Canvas canvas;
        QWidget mainWidget;  // goes first, with the screen, before the canvas
        auto* screen = new EndScreen(canvas, &mainWidget);
        struct Result {
            VantorImages::VANTORIMAGE picture;  // the race won or not
            int laps;
            double time, record;
            QStringList lines;
        };
        // Shown one after another without a Hide: the old result must go, not stay underneath.
        // clang-format off
    const Result results[] = {
        {VantorImages::RACE_WON, 5, 83.452, 83.452,
         {"Number of Laps: 5", "Race Time: 83.452", "A New Record"}},
        {VantorImages::RACE_COMPLETED, 10, 120.5, 99.25,
         {"Number of Laps: 10", "Race Time: 120.500", "Track Record: 99.250"}},
        {VantorImages::RACE_WON, 1, 83.452, 83.451,
         {"Number of Laps: 1", "Race Time: 83.452", "Track Record: 83.451"}},
    };
        // clang-format on
        for (const Result& result : results) {
            screen->Show(result.picture == VantorImages::RACE_WON, 0, result.laps, result.time,
                         result.record);
            QCOMPARE(screen->ResultImage()->Image(), images.GetImage(result.picture));
            const QList<const QGraphicsSimpleTextItem*> lines{
                screen->LapCountText(), screen->RaceTimeText(), screen->RecordText(),
                &screen->ContinueText()};
            QStringList texts;
            for (const QGraphicsSimpleTextItem* line : lines) {
                texts << (line->isVisible() ? line->text() : "hidden");
                // Half the canvas less half the line's own width, each truncated.
                const QRect area = line->sceneBoundingRect().toAlignedRect();
                QCOMPARE(line->x(), double(Canvas::WIDTH / 2 - area.width() / 2));
            }
            QCOMPARE(texts, result.lines + QStringList{"Hit Any Key To Continue"});
            QCOMPARE(canvas.items().size(), 5);
        }
        for (int round = 0; round < 2; ++round) {
            screen->Hide();
            QVERIFY(!screen->ContinueText().isVisible());
            QCOMPARE(canvas.items().size(), 1);
        }
    }
};

QTEST_MAIN(EndScreenTest)
#include "tst_end_screen.moc"
