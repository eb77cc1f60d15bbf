#pragma once

#include <QGraphicsPixmapItem>
#include <QGraphicsSimpleTextItem>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "car/CarControlType.h"
#include "car/CarLine.h"
#include "car/RaceCar.h"
#include "platform/CanvasView.h"
#include "race/RaceRun.h"
#include "track/GridSection.h"

class Canvas;

// The widget on which a race is seen and played: owns the race timer, hands the race the players'
// keys, and shows what the race does on the shared canvas: the cars and pieces, the lap counters,
// the clock, the countdown, the line of a car under a bridge, and in a time trial the ghost,
// see-through. Reports the result with RaceOver. P pauses a race, and so does leaving the window.
class VantorScreen : public QWidget {
    Q_OBJECT

  public:
    enum class RaceText { UserLaps, ComputerLaps, Clock, Countdown, Paused };

    VantorScreen(Canvas& canvas, QWidget* parent);
    ~VantorScreen() override;

    void Initialize(int track, int level, int laps);
    // A race at the keys; a time trial races this ghost, or the clock alone without one.
    void Initialize(const RaceSettings& settings, std::optional<GhostRun> ghost = std::nullopt);
    // A recorded race, shown as it was run; Escape leaves it.
    void Watch(const Replay& replay);

    // Key codes of presses and releases that are not auto-repeats, forwarded by the main widget.
    void keyPressEvent(int key);
    void keyReleaseEvent(int key);

    // Stops the race's ticks, and nothing else: a paused race resumes into the same race. The
    // hold after the finish goes on.
    void Pause();
    void Resume();
    bool Paused() const { return paused; }

    // The race on show: its rules, cars, phase and result, and the ghost's race in a time trial.
    const Race& CurrentRace() const { return run.MainRace(); }
    const RaceRun& Run() const { return run; }
    // After RaceOver: true when the player gave the race up with Escape rather than losing it.
    bool RaceGivenUp() const { return CurrentRace().RaceGivenUp(); }
    // After RaceOver: the race as a replay, to keep, watch and check.
    Replay Recorded() const { return run.Recorded(); }

    GridSection* GetCurrentGridSection(double x, double y, double z) const {
        return CurrentRace().GetCurrentGridSection(x, y, z);
    }
    void GetRaceCarFront(const RaceCar* car, double* x, double* y) const {
        CurrentRace().GetRaceCarFront(car, x, y);
    }
    RaceCar* Car(carControlType type) const { return CurrentRace().Car(type); }
    const QGraphicsSimpleTextItem& Text(RaceText text) const;
    const CarLine& RaceCarLine(RaceSeat seat = blueSeat) const { return *carLines[seat]; }
    // The see-through picture of the ghost's car; hidden outside a time trial against a ghost.
    const QGraphicsPixmapItem& GhostCar() const { return *ghostCar; }
    Race::RacePhase Phase() const { return CurrentRace().Phase(); }
    bool KeysEnabled() const { return CurrentRace().KeysEnabled(); }
    long ElapsedMs() const { return CurrentRace().ElapsedMs(); }

  signals:
    void RaceOver(bool userWon, long elapsedMs);
    // After every timeout of a race: what it did, for the ears.
    void RaceHappened(const RaceHappenings& happened);
    void PauseChanged(bool paused);

  protected:
    // Qt's own key handlers stay as they are; the main widget forwards key codes to ours above.
    using QWidget::keyPressEvent;
    using QWidget::keyReleaseEvent;

  private slots:
    void TimeEvent();

  private:
    void StartTimer();
    // Shows on the canvas what the race shows after its latest step.
    void ShowRace();
    void ShowText(QGraphicsSimpleTextItem& item, const QString& text);
    void ShowCountdown();
    void ShowGhost();
    void HideRace();
    void KeyEvent(int key, bool pressed);
    void LeaveWatching();
    // The race can still be paused: counting down, or racing with no winner yet.
    bool Pausable() const;
    void ReleaseHeldKeys();

    Canvas& canvas;
    RaceRun run;
    std::unique_ptr<CanvasView> view;
    std::unique_ptr<QGraphicsSimpleTextItem> userLapText;
    std::unique_ptr<QGraphicsSimpleTextItem> computerLapText;
    std::unique_ptr<QGraphicsSimpleTextItem> clockText;
    std::unique_ptr<QGraphicsSimpleTextItem> countdownText;
    std::unique_ptr<QGraphicsSimpleTextItem> pausedText;
    std::array<std::unique_ptr<CarLine>, SEAT_COUNT> carLines;
    std::unique_ptr<QGraphicsPixmapItem> ghostCar;
    bool paused = false;
    // One timer for the screen's life: the tear-down only stops it from inside its own timeout,
    // and the next Initialize starts it again, so it is never deleted while it is delivering.
    QTimer raceTimer;
};
