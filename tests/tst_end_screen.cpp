#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "screens/EndScreen.h"

class EndScreenTest : public QObject {
    Q_OBJECT

  private slots:
    void showsCentredResultsAndHidesThem();
};

void EndScreenTest::showsCentredResultsAndHidesThem() {
    VantorImages images;
    vantorImages = &images;
    Canvas canvas;
    QWidget mainWidget;  // goes first, with the screen, before the canvas
    auto* screen = new EndScreen(canvas, &mainWidget);
    struct Result {
        bool won;
        int laps;
        double time, record;
        VantorImages::VANTORIMAGE picture;
        QStringList lines;
    };
    // Shown one after another without a Hide: the old result must go, not stay underneath.
    const Result results[] = {
        {true,
         5,
         83.452,
         83.452,
         VantorImages::RACE_WON,
         {"Number of Laps: 5", "Race Time: 83.452", "A New Record"}},
        {false,
         10,
         120.5,
         99.25,
         VantorImages::RACE_COMPLETED,
         {"Number of Laps: 10", "Race Time: 120.500", "Track Record: 99.250"}},
        {true,
         1,
         83.452,
         83.451,
         VantorImages::RACE_WON,
         {"Number of Laps: 1", "Race Time: 83.452", "Track Record: 83.451"}},
    };
    for (const Result& result : results) {
        screen->Show(result.won, 0, result.laps, result.time, result.record);
        QVERIFY(!screen->isHidden());
        QVERIFY(screen->ResultImage()->isVisible());
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
        QVERIFY(screen->isHidden());
        QVERIFY(!screen->ContinueText().isVisible());
        QCOMPARE(screen->ResultImage(), nullptr);
        QCOMPARE(screen->LapCountText(), nullptr);
        QCOMPARE(screen->RaceTimeText(), nullptr);
        QCOMPARE(screen->RecordText(), nullptr);
        QCOMPARE(canvas.items().size(), 1);
    }
    screen->Show(false, 1, 15, 200.0, 150.0);
    QCOMPARE(canvas.items().size(), 5);
    const QSignalSpy returns(screen, &EndScreen::ReturnToStart);
    screen->keyPressEvent();
    screen->keyPressEvent();
    QCOMPARE(returns.count(), 2);
}

QTEST_MAIN(EndScreenTest)
#include "tst_end_screen.moc"
