#pragma once

#include <QGraphicsSimpleTextItem>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "car/CarControlType.h"
#include "car/CarLine.h"
#include "car/RaceCar.h"
#include "platform/CanvasView.h"
#include "race/Race.h"
#include "track/GridSection.h"

class Canvas;

// The widget on which a race is seen and played: owns the race timer, hands the race the player's
// keys, and shows what the race does on the shared canvas (the cars and pieces, the lap counters,
// the clock, the countdown and the line of a car under a bridge). Reports the result with
// RaceOver.
class VantorScreen : public QWidget {
    Q_OBJECT

  public:
    enum class RaceText { UserLaps, ComputerLaps, Clock, Countdown };

    VantorScreen(Canvas& canvas, QWidget* parent);

    void Initialize(int track, int level, int laps);
    void Initialize(const RaceSettings& settings);

    // Key codes of presses and releases that are not auto-repeats, forwarded by the main widget.
    void keyPressEvent(int key);
    void keyReleaseEvent(int key);

    // The race on show: its rules, cars, phase and result.
    const Race& CurrentRace() const { return race; }
    // After RaceOver: true when the player gave the race up with Escape rather than losing it.
    bool RaceGivenUp() const { return race.RaceGivenUp(); }

    GridSection* GetCurrentGridSection(double x, double y, double z) const {
        return race.GetCurrentGridSection(x, y, z);
    }
    void GetRaceCarFront(const RaceCar* car, double* x, double* y) const {
        race.GetRaceCarFront(car, x, y);
    }
    RaceCar* Car(carControlType type) const { return race.Car(type); }
    const QGraphicsSimpleTextItem& Text(RaceText text) const;
    const CarLine& RaceCarLine() const { return *carLine; }
    Race::RacePhase Phase() const { return race.Phase(); }
    bool KeysEnabled() const { return race.KeysEnabled(); }
    long ElapsedMs() const { return race.ElapsedMs(); }

  signals:
    void RaceOver(bool userWon, long elapsedMs);

  protected:
    // Qt's own key handlers stay as they are; the main widget forwards key codes to ours above.
    using QWidget::keyPressEvent;
    using QWidget::keyReleaseEvent;

  private slots:
    void TimeEvent();

  private:
    // Shows on the canvas what the race shows after its latest step.
    void ShowRace();
    void ShowText(QGraphicsSimpleTextItem& item, const QString& text);
    void ShowCountdown();
    void HideRace();
    void KeyEvent(int key, bool pressed);

    Canvas& canvas;
    Race race;
    std::unique_ptr<CanvasView> view;
    std::unique_ptr<QGraphicsSimpleTextItem> userLapText;
    std::unique_ptr<QGraphicsSimpleTextItem> computerLapText;
    std::unique_ptr<QGraphicsSimpleTextItem> clockText;
    std::unique_ptr<QGraphicsSimpleTextItem> countdownText;
    std::unique_ptr<CarLine> carLine;
    // One timer for the screen's life: the tear-down only stops it from inside its own timeout,
    // and the next Initialize starts it again, so it is never deleted while it is delivering.
    QTimer raceTimer;
};
