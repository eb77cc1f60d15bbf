#include "screens/EndScreen.h"

#include <QFont>
#include <QPen>

#include "app/Globals.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "platform/Centring.h"

namespace {

constexpr int FONT_PIXELS = 10;
const QRect VIEW_GEOMETRY(8, -1, Canvas::WIDTH, Canvas::HEIGHT);

}  // namespace

EndScreen::EndScreen(Canvas& sharedCanvas, QWidget* parent)
    : QWidget(parent),
      canvas(sharedCanvas),
      view(std::make_unique<CanvasView>(&sharedCanvas, this, VIEW_GEOMETRY)),
      continueText(NewLine("Hit Any Key To Continue", CONTINUE_Y, true)) {}

// The result items go before the canvas does; the canvas outlives every screen.
EndScreen::~EndScreen() = default;

std::unique_ptr<QGraphicsSimpleTextItem> EndScreen::NewLine(const QString& text, int y, bool bold,
                                                            const QColor& colour) const {
    QFont font("Helvetica");
    font.setPixelSize(FONT_PIXELS);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    auto line = std::make_unique<QGraphicsSimpleTextItem>(text);
    line->setVisible(false);
    line->setFont(font);
    line->setBrush(colour);
    canvas.addItem(line.get());
    line->setPos(CentredXOf(*line), y);
    line->setZValue(TEXT_Z);
    return line;
}

int EndScreen::CentredXOf(const QGraphicsItem& item) const {
    return CentredX(int(canvas.width()), PixelWidth(item));
}

void EndScreen::Show(const RaceSummary& result) {
    // Shown again without a Hide, the screen replaces its result rather than stacking a second one.
    RemoveResult();

    resultImage = std::make_unique<ImageItem>(
        vantorImages->GetImage(result.won ? VantorImages::RACE_WON : VantorImages::RACE_COMPLETED),
        &canvas);
    resultImage->setPos(CentredXOf(*resultImage), RESULT_Y);
    resultImage->setZValue(RESULT_Z);
    resultImage->show();

    // A time equal to the record is no new record unless this race set it.
    QString recordLine = QStringLiteral("Track Record: none");
    if (result.newRecord) {
        recordLine = QStringLiteral("A New Record");
    } else if (result.recordTime) {
        recordLine = QString::asprintf("Track Record: %3.3f", *result.recordTime);
    }
    lapCountText =
        NewLine(QString::asprintf("Number of Laps: %d", result.laps), LAP_COUNT_Y, false);
    raceTimeText =
        NewLine(QString::asprintf("Race Time: %3.3f", result.raceTime), RACE_TIME_Y, false);
    recordText = NewLine(recordLine, RECORD_Y, false);
    // A car's colour on the light board needs a dark edge to be read.
    const bool coloured = result.noteColour != QColor(Qt::black);
    noteText = NewLine(result.note, NOTE_Y, coloured, result.noteColour);
    if (coloured) {
        noteText->setPen(QPen(Qt::black, 0));
    }
    for (const auto* line : {&lapCountText, &raceTimeText, &recordText}) {
        (*line)->show();
    }
    noteText->setVisible(!result.note.isEmpty());
    continueText->show();

    canvas.update();
    show();
}

void EndScreen::RemoveResult() {
    raceTimeText.reset();
    lapCountText.reset();
    resultImage.reset();
    recordText.reset();
    noteText.reset();
}

void EndScreen::Hide() {
    RemoveResult();
    continueText->hide();
    hide();
}

void EndScreen::keyPressEvent() {
    emit ReturnToStart();
}
