#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "screens/EndScreen.h"

namespace {

constexpr QRgb BOARD_GREY = 0xffcdd2d5;

QString Text(const QGraphicsSimpleTextItem* item) {
    return item ? item->text() : "<none>";
}

}  // namespace

class EndScreenTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void resultTextsAndPictures();
    void linesCentredAndOnTheBoard();
    void hideRemovesTheResultAndIsSafeTwice();
    void everyKeyPressAsksOnceToReturn();

  private:
    QList<const QGraphicsSimpleTextItem*> Lines() const {
        return {screen->LapCountText(), screen->RaceTimeText(), screen->RecordText(),
                &screen->ContinueText()};
    }

    VantorImages images;
    std::unique_ptr<Canvas> canvas;
    std::unique_ptr<QWidget> mainWidget;
    EndScreen* screen = nullptr;  // child of mainWidget
};

void EndScreenTest::init() {
    vantorImages = &images;
    canvas = std::make_unique<Canvas>();
    mainWidget = std::make_unique<QWidget>();
    screen = new EndScreen(*canvas, mainWidget.get());
    screen->hide();
}

void EndScreenTest::cleanup() {
    mainWidget.reset();  // the screen goes before the canvas
    canvas.reset();
    vantorImages = nullptr;
}

void EndScreenTest::resultTextsAndPictures() {
    QCOMPARE(canvas->items().size(), 1);  // the continue prompt, hidden until shown
    QVERIFY(!screen->ContinueText().isVisible());
    const auto* view = screen->findChild<QGraphicsView*>();
    QVERIFY(view != nullptr);
    QCOMPARE(view->geometry(), QRect(8, -1, 225, 292));

    screen->Show(true, 0, 5, 83.452, 83.452);
    QVERIFY(!screen->isHidden());
    QCOMPARE(screen->ResultImage()->Image(), images.GetImage(VantorImages::RACE_WON));
    QVERIFY(screen->ResultImage()->isVisible());
    QCOMPARE(screen->ResultImage()->pos(), QPointF(0, -1));
    QCOMPARE(screen->ResultImage()->zValue(), 3.0);
    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 5"));
    QCOMPARE(Text(screen->RaceTimeText()), QString("Race Time: 83.452"));
    QCOMPARE(Text(screen->RecordText()), QString("A New Record"));
    QCOMPARE(canvas->items().size(), 5);

    const int rows[] = {180, 195, 210, 240};
    for (int i = 0; i < 4; ++i) {
        const QGraphicsSimpleTextItem& line = *Lines()[i];
        QVERIFY(line.isVisible());
        QCOMPARE(line.y(), double(rows[i]));
        QCOMPARE(line.zValue(), 4.0);
        QCOMPARE(line.font().pixelSize(), 10);
        QCOMPARE(line.font().weight(), i == 3 ? QFont::Bold : QFont::Normal);
        QVERIFY(!line.font().italic());
        QCOMPARE(line.brush().color(), QColor(Qt::black));
    }
    QCOMPARE(screen->ContinueText().text(), QString("Hit Any Key To Continue"));

    screen->Hide();
    screen->Show(false, 3, 10, 120.5, 99.25);
    QCOMPARE(screen->ResultImage()->Image(), images.GetImage(VantorImages::RACE_COMPLETED));
    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 10"));
    QCOMPARE(Text(screen->RaceTimeText()), QString("Race Time: 120.500"));
    QCOMPARE(Text(screen->RecordText()), QString("Track Record: 99.250"));

    // A record a thousandth away is not this race's record; a one-lap race says so. Shown again
    // without a Hide, the old result goes rather than staying under the new one.
    screen->Show(true, 14, 1, 83.452, 83.451);
    QCOMPARE(canvas->items().size(), 5);
    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 1"));
    QCOMPARE(Text(screen->RecordText()), QString("Track Record: 83.451"));
}

void EndScreenTest::linesCentredAndOnTheBoard() {
    for (const bool won : {true, false}) {
        screen->Show(won, 0, 25, 1234.567, 999.99);
        QImage shot(Canvas::WIDTH, Canvas::HEIGHT, QImage::Format_ARGB32);
        QPainter painter(&shot);
        canvas->render(&painter, QRectF(shot.rect()), canvas->sceneRect());
        painter.end();

        QSet<double> lefts;
        QRect previous;
        for (const QGraphicsSimpleTextItem* line : Lines()) {
            // Half the canvas less half the line's own width (right - left + 1), each truncated.
            const QRect area = line->sceneBoundingRect().toAlignedRect();
            QCOMPARE(line->x(), double(Canvas::WIDTH / 2 - (area.right() - area.left() + 1) / 2));
            lefts.insert(line->x());
            QVERIFY2(!area.intersects(previous), qPrintable(line->text()));
            previous = area;
            // Around and between the letters there is only the board; the letters are dark.
            int dark = 0;
            for (int y = area.top() - 1; y <= area.bottom() + 1; ++y) {
                for (int x = area.left() - 1; x <= area.right() + 1; ++x) {
                    const QRgb pixel = shot.pixel(x, y);
                    const bool ink =
                        qGray(pixel) < qGray(BOARD_GREY) && qRed(pixel) <= qBlue(pixel);
                    QVERIFY2(pixel == BOARD_GREY || ink, qPrintable(line->text()));
                    dark += qGray(pixel) < 64 ? 1 : 0;
                }
            }
            QVERIFY2(dark > 20, qPrintable(line->text()));
        }
        // Four lines of four lengths start at four columns.
        QCOMPARE(lefts.size(), 4);
    }
}

void EndScreenTest::hideRemovesTheResultAndIsSafeTwice() {
    screen->Show(true, 0, 5, 83.452, 83.452);
    for (int round = 0; round < 2; ++round) {
        screen->Hide();
        QVERIFY(screen->isHidden());
        QVERIFY(screen->ResultImage() == nullptr);
        QVERIFY(screen->LapCountText() == nullptr);
        QVERIFY(screen->RaceTimeText() == nullptr);
        QVERIFY(screen->RecordText() == nullptr);
        QCOMPARE(canvas->items().size(), 1);
        QVERIFY(!screen->ContinueText().isVisible());
    }
    screen->Show(false, 1, 15, 200.0, 150.0);
    QCOMPARE(canvas->items().size(), 5);
    QVERIFY(screen->ContinueText().isVisible());
}

void EndScreenTest::everyKeyPressAsksOnceToReturn() {
    QSignalSpy returns(screen, &EndScreen::ReturnToStart);
    screen->Show(true, 0, 5, 83.452, 83.452);
    QCOMPARE(returns.count(), 0);
    screen->keyPressEvent();
    QCOMPARE(returns.count(), 1);
    screen->keyPressEvent();
    screen->keyPressEvent();
    QCOMPARE(returns.count(), 3);
}

QTEST_MAIN(EndScreenTest)
#include "tst_end_screen.moc"
