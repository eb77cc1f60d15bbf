#include <QtTest>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "screens/EndScreen.h"
#include "tests/support/CompareCase.h"

class EndScreenTest : public QObject {
    Q_OBJECT

  private slots:
    void showsCentredResultsAndHidesThem() {
        VantorImages images;
        vantorImages = &images;
        Canvas canvas;
        QWidget mainWidget;  // goes first, with the screen, before the canvas
        auto* screen = new EndScreen(canvas, &mainWidget);
        // Shown one after another without a Hide: the old result must go, not stay underneath. A
        // time equal to the record is a new record only when this race set it; with no record yet
        // the line says so.
        const std::pair<RaceSummary, QStringList> results[] = {
            {{true, 5, 83.452, 83.452, true, "", Qt::black},
             {"Number of Laps: 5", "Race Time: 83.452", "A New Record", "hidden"}},
            {{false, 10, 120.5, 99.25, false, "The Record's Ghost Won", Qt::black},
             {"Number of Laps: 10", "Race Time: 120.500", "Track Record: 99.250",
              "The Record's Ghost Won"}},
            {{true, 1, 83.452, 83.451, false, "", Qt::black},
             {"Number of Laps: 1", "Race Time: 83.452", "Track Record: 83.451", "hidden"}},
            {{false, 5, 28.05, 28.05, false, "", Qt::black},
             {"Number of Laps: 5", "Race Time: 28.050", "Track Record: 28.050", "hidden"}},
            {{false, 25, 12.3, std::nullopt, false, "Replay: given up", Qt::black},
             {"Number of Laps: 25", "Race Time: 12.300", "Track Record: none", "Replay: given up"}},
        };
        for (const auto& [summary, expected] : results) {
            screen->Show(summary);
            const QByteArray name = expected.join(", ").toUtf8();
            const auto image = summary.won ? VantorImages::RACE_WON : VantorImages::RACE_COMPLETED;
            COMPARE_CASE(screen->ResultImage()->Image(), images.GetImage(image), name);
            const QList<const QGraphicsSimpleTextItem*> lines{
                screen->LapCountText(), screen->RaceTimeText(), screen->RecordText(),
                screen->NoteText(), &screen->ContinueText()};
            QStringList texts;
            for (const QGraphicsSimpleTextItem* line : lines) {
                texts << (line->isVisible() ? line->text() : "hidden");
                // Half the canvas less half the line's own width, each truncated.
                const int width = line->sceneBoundingRect().toAlignedRect().width();
                COMPARE_CASE(line->x(), double(Canvas::WIDTH / 2 - width / 2),
                             name + ", " + texts.last().toUtf8());
            }
            COMPARE_CASE(texts, expected + QStringList{"Hit Any Key To Continue"}, name);
            COMPARE_CASE(canvas.items().size(), 6, name);
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
