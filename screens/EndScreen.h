#pragma once

#include <QColor>
#include <QGraphicsSimpleTextItem>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/CanvasView.h"
#include "track/ImageItem.h"

class Canvas;

// What the end screen shows of a race.
struct RaceSummary {
    bool won = false;  // the player's blue car won: the picture with the word Winner
    int laps = 0;
    double raceTime = 0;               // seconds
    std::optional<double> recordTime;  // seconds; none while the track and length hold no record
    bool newRecord = false;            // this race set the record
    QString note;                      // what kind of race it was, or who won it; may be empty
    QColor noteColour = Qt::black;
};

// The result of a race on the shared canvas: the won or lost picture, the laps, the race time and
// the track record, a note on the race, and an invitation to press a key, which asks to return to
// the start menu.
class EndScreen : public QWidget {
    Q_OBJECT

  public:
    static constexpr int RESULT_Z = 3;
    static constexpr int TEXT_Z = 4;
    static constexpr int RESULT_Y = -1;
    static constexpr int LAP_COUNT_Y = 180;
    static constexpr int RACE_TIME_Y = 195;
    static constexpr int RECORD_Y = 210;
    static constexpr int NOTE_Y = 225;
    static constexpr int CONTINUE_Y = 240;

    EndScreen(Canvas& canvas, QWidget* parent);
    ~EndScreen() override;

    void Show(const RaceSummary& result);
    void Hide();
    // Called by the main widget for every key press while this screen is active.
    void keyPressEvent();

    // The items on show, for the main widget's tests and our own; null while hidden.
    const ImageItem* ResultImage() const { return resultImage.get(); }
    const QGraphicsSimpleTextItem* LapCountText() const { return lapCountText.get(); }
    const QGraphicsSimpleTextItem* RaceTimeText() const { return raceTimeText.get(); }
    const QGraphicsSimpleTextItem* RecordText() const { return recordText.get(); }
    const QGraphicsSimpleTextItem* NoteText() const { return noteText.get(); }
    const QGraphicsSimpleTextItem& ContinueText() const { return *continueText; }

  signals:
    void ReturnToStart();

  protected:
    // Qt's own key handler stays as it is; the main widget calls ours above.
    using QWidget::keyPressEvent;

  private:
    void RemoveResult();
    std::unique_ptr<QGraphicsSimpleTextItem> NewLine(const QString& text, int y, bool bold,
                                                     const QColor& colour = Qt::black) const;
    int CentredXOf(const QGraphicsItem& item) const;

    Canvas& canvas;
    std::unique_ptr<CanvasView> view;
    std::unique_ptr<QGraphicsSimpleTextItem> continueText;
    std::unique_ptr<QGraphicsSimpleTextItem> lapCountText;
    std::unique_ptr<QGraphicsSimpleTextItem> raceTimeText;
    std::unique_ptr<QGraphicsSimpleTextItem> recordText;
    std::unique_ptr<QGraphicsSimpleTextItem> noteText;
    std::unique_ptr<ImageItem> resultImage;
};
