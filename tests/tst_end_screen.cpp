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

// The centring rule worked out from the item's own bounding rectangle: half the canvas minus half
// the width (right - left + 1), each half truncated.
int ExpectedCentredX(const QGraphicsItem& item) {
    const QRect pixels = item.boundingRect().toAlignedRect();
    const int width = pixels.right() - pixels.left() + 1;
    return Canvas::WIDTH / 2 - width / 2;
}

QImage Rendered(Canvas& canvas) {
    QImage image(Canvas::WIDTH, Canvas::HEIGHT, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    canvas.render(&painter, QRectF(image.rect()), canvas.sceneRect());
    return image;
}

}  // namespace

class EndScreenTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void hiddenUntilShown();
    void wonRaceWithNewRecord();
    void lostRaceAgainstOlderRecord();
    void linesCentredOnTheirOwnWidths();
    void textsFallOnTheBoard();
    void hideRemovesTheResultAndIsSafeTwice();
    void everyKeyPressAsksOnceToReturn();

  private:
    QString Text(const QGraphicsSimpleTextItem* item) const {
        return item ? item->text() : "<none>";
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
    mainWidget.reset();  // the screen, before the canvas
    canvas.reset();
    vantorImages = nullptr;
}

void EndScreenTest::hiddenUntilShown() {
    QVERIFY(screen->isHidden());
    QCOMPARE(canvas->items().size(), 1);
    const QGraphicsSimpleTextItem& prompt = screen->ContinueText();
    QVERIFY(!prompt.isVisible());
    QCOMPARE(prompt.text(), QString("Hit Any Key To Continue"));
    QCOMPARE(prompt.pos(), QPointF(ExpectedCentredX(prompt), EndScreen::CONTINUE_Y));
    QCOMPARE(prompt.zValue(), 4.0);
    QCOMPARE(prompt.font().weight(), QFont::Bold);
    QVERIFY(!prompt.font().italic());
    QCOMPARE(prompt.font().pixelSize(), 10);
    QCOMPARE(prompt.brush().color(), QColor(Qt::black));

    // The view sits where the other screens' views sit, and leaves the keys to the main widget.
    const auto* view = screen->findChild<QGraphicsView*>();
    QVERIFY(view != nullptr);
    QCOMPARE(view->geometry(), QRect(8, -1, 225, 292));
    QCOMPARE(view->scene(), canvas.get());
    QCOMPARE(view->focusPolicy(), Qt::NoFocus);
}

void EndScreenTest::wonRaceWithNewRecord() {
    screen->Show(true, 0, 5, 83.452, 83.452);
    QVERIFY(!screen->isHidden());

    const ImageItem* picture = screen->ResultImage();
    QVERIFY(picture != nullptr);
    QCOMPARE(picture->Image(), images.GetImage(VantorImages::RACE_WON));
    QVERIFY(picture->isVisible());
    QCOMPARE(picture->pos(), QPointF(0, -1));
    QCOMPARE(picture->zValue(), 3.0);

    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 5"));
    QCOMPARE(Text(screen->RaceTimeText()), QString("Race Time: 83.452"));
    QCOMPARE(Text(screen->RecordText()), QString("A New Record"));
    QVERIFY(screen->ContinueText().isVisible());

    const QGraphicsSimpleTextItem* lines[] = {screen->LapCountText(), screen->RaceTimeText(),
                                              screen->RecordText()};
    const int rows[] = {180, 195, 210};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(lines[i]->isVisible());
        QCOMPARE(lines[i]->y(), double(rows[i]));
        QCOMPARE(lines[i]->zValue(), 4.0);
        QCOMPARE(lines[i]->font().weight(), QFont::Normal);
        QVERIFY(!lines[i]->font().italic());
        QCOMPARE(lines[i]->font().pixelSize(), 10);
        QCOMPARE(lines[i]->brush().color(), QColor(Qt::black));
    }
    // The picture and four texts, nothing more.
    QCOMPARE(canvas->items().size(), 5);
}

void EndScreenTest::lostRaceAgainstOlderRecord() {
    screen->Show(false, 3, 10, 120.5, 99.25);
    QCOMPARE(screen->ResultImage()->Image(), images.GetImage(VantorImages::RACE_COMPLETED));
    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 10"));
    QCOMPARE(Text(screen->RaceTimeText()), QString("Race Time: 120.500"));
    QCOMPARE(Text(screen->RecordText()), QString("Track Record: 99.250"));

    // A record a thousandth away is not this race's record; a one-lap race says so.
    screen->Hide();
    screen->Show(true, 14, 1, 83.452, 83.451);
    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 1"));
    QCOMPARE(Text(screen->RaceTimeText()), QString("Race Time: 83.452"));
    QCOMPARE(Text(screen->RecordText()), QString("Track Record: 83.451"));

    // Shown again without a Hide: the old result goes rather than staying under the new one.
    screen->Show(false, 2, 25, 999.99, 999.99);
    QCOMPARE(canvas->items().size(), 5);
    QCOMPARE(Text(screen->LapCountText()), QString("Number of Laps: 25"));
    QCOMPARE(Text(screen->RaceTimeText()), QString("Race Time: 999.990"));
    QCOMPARE(Text(screen->RecordText()), QString("A New Record"));
}

void EndScreenTest::linesCentredOnTheirOwnWidths() {
    screen->Show(false, 3, 10, 120.5, 99.25);
    const QGraphicsSimpleTextItem* lines[] = {screen->LapCountText(), screen->RaceTimeText(),
                                              screen->RecordText(), &screen->ContinueText()};
    QSet<double> lefts;
    for (const QGraphicsSimpleTextItem* line : lines) {
        QCOMPARE(line->x(), double(ExpectedCentredX(*line)));
        // The centring is the canvas's: the middle of the line is within a pixel of column 112.
        const double middle = line->x() + line->boundingRect().width() / 2;
        QVERIFY2(qAbs(middle - Canvas::WIDTH / 2.0) <= 1.0, qPrintable(line->text()));
        lefts.insert(line->x());
    }
    // Four lines of four different lengths start at four different columns.
    QCOMPARE(lefts.size(), 4);
}

void EndScreenTest::textsFallOnTheBoard() {
    for (const bool won : {true, false}) {
        screen->Show(won, 0, 25, 1234.567, 999.99);
        const QImage shot = Rendered(*canvas);
        const QGraphicsSimpleTextItem* lines[] = {screen->LapCountText(), screen->RaceTimeText(),
                                                  screen->RecordText(), &screen->ContinueText()};
        QRect previous;
        for (const QGraphicsSimpleTextItem* line : lines) {
            const QRect area = line->sceneBoundingRect().toAlignedRect();
            QVERIFY2(!area.intersects(previous), qPrintable(line->text()));
            previous = area;
            // Around and between the letters there is only the board; the letters are dark.
            int dark = 0;
            for (int y = area.top() - 1; y <= area.bottom() + 1; ++y) {
                for (int x = area.left() - 1; x <= area.right() + 1; ++x) {
                    const QRgb pixel = shot.pixel(x, y);
                    const bool board = pixel == BOARD_GREY;
                    const bool ink =
                        qGray(pixel) < qGray(BOARD_GREY) && qRed(pixel) <= qBlue(pixel);
                    QVERIFY2(board || ink,
                             qPrintable(QString("%1 at %2,%3").arg(line->text()).arg(x).arg(y)));
                    dark += qGray(pixel) < 64 ? 1 : 0;
                }
            }
            QVERIFY2(dark > 20, qPrintable(line->text()));
        }
        screen->Hide();
    }
}

void EndScreenTest::hideRemovesTheResultAndIsSafeTwice() {
    screen->Show(true, 0, 5, 83.452, 83.452);
    screen->Hide();
    QVERIFY(screen->isHidden());
    QVERIFY(screen->ResultImage() == nullptr);
    QVERIFY(screen->LapCountText() == nullptr);
    QVERIFY(screen->RaceTimeText() == nullptr);
    QVERIFY(screen->RecordText() == nullptr);
    QCOMPARE(canvas->items().size(), 1);
    QVERIFY(!screen->ContinueText().isVisible());

    screen->Hide();
    QVERIFY(screen->isHidden());
    QCOMPARE(canvas->items().size(), 1);
    QCOMPARE(canvas->items().first(), &screen->ContinueText());

    // And the screen works again after it.
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
    // Returning is the main widget's business: the screen itself stays as it is.
    QVERIFY(screen->ResultImage() != nullptr);
}

QTEST_MAIN(EndScreenTest)
#include "tst_end_screen.moc"
