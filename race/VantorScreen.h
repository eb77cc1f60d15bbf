#pragma once

#include <QGraphicsSimpleTextItem>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "car/CarControlType.h"
#include "car/CarLine.h"
#include "car/RaceCar.h"
#include "graphics/RaceCarImage.h"
#include "platform/CanvasView.h"
#include "track/GridSection.h"

class Canvas;

// The widget on which a race is run: counts down, drives both cars on a 30 ms tick, takes the
// player's keys, counts laps, shows the clock and reports the result with RaceOver.
class VantorScreen : public QWidget {
    Q_OBJECT

  public:
    // phaseIdle: no race, before the first Initialize and after the tear-down.
    enum RacePhase {
        phaseShowThree,
        phaseShowTwo,
        phaseShowOne,
        phaseRacing,
        phaseEnding,
        phaseIdle
    };
    enum class RaceText { UserLaps, ComputerLaps, Clock, Countdown };

    VantorScreen(Canvas& canvas, QWidget* parent);

    void Initialize(int track, int level, int laps);

    // Key codes of presses and releases that are not auto-repeats, forwarded by the main widget.
    void keyPressEvent(int key);
    void keyReleaseEvent(int key);

    // After RaceOver: true when the player gave the race up with Escape rather than losing it.
    bool RaceGivenUp() const { return raceGivenUp; }

    // The section under a point at a car depth: on the car's own level first, then the other one.
    GridSection* GetCurrentGridSection(double x, double y, double z) const;
    // Moves (x, y) from the player's car position to the point of its frame's border it heads for.
    void GetRaceCarFront(const RaceCar* car, double* x, double* y) const;

    // What the race looks like now, for the main widget, tools and tests.
    RaceCar* Car(carControlType type) const;
    const QGraphicsSimpleTextItem& Text(RaceText text) const;
    const CarLine& RaceCarLine() const { return *carLine; }
    const std::vector<std::unique_ptr<GridSection>>& GridSections() const { return gridSections; }
    RacePhase Phase() const { return racePhase; }
    bool KeysEnabled() const { return keysEnabled; }
    long ElapsedMs() const { return elapsedMs; }

  signals:
    void RaceOver(bool userWon, long elapsedMs);

  protected:
    // Qt's own key handlers stay as they are; the main widget forwards key codes to ours above.
    using QWidget::keyPressEvent;
    using QWidget::keyReleaseEvent;

  private slots:
    void TimeEvent();

  private:
    // What a key does: arrows set or clear a held flag, the others act once on the press.
    struct KeyAction {
        int key;
        bool VantorScreen::*heldFlag;
        void (VantorScreen::*onPress)();
    };
    static const KeyAction KEY_ACTIONS[];

    void LoadTrack(int track);
    void addSprite(const QString& name, carControlType type, int level);
    void RestartRaceCar(RaceCar* car);
    GridSection* FindStartSection() const;
    void PlaceOnStart(RaceCar& car, const GridSection& start);

    void RunTheRace();
    void DriveUserCar(RaceCar& car, double x, double y, GridSection& section, int gx, int gy);
    void DriveComputerCar(RaceCar& car, GridSection& section, int gx, int gy);
    void RegisterEntry(RaceCar& car, const GridSection& section, QGraphicsSimpleTextItem& lapText);
    void ShowCrashSpinOrFrame(RaceCar& car);
    void BlinkRestartingCar(RaceCar& car);
    void RaceHasBeenWon(carControlType winner);
    void EndRace();

    void UpdateUserCarSpeed(RaceCar* car);
    void UpdateUserCarDirection(RaceCar* car);
    void UpdateElapsedRaceTime();

    void RestartComputerCar();
    void QuitGame();
    void GiveUpRace();
    void ClearHeldKeys();
    void EnterPhase(RacePhase phase);
    void ShowCountdown(const QString& text, bool centre);
    void CentreHorizontally(QGraphicsSimpleTextItem& item) const;

    Canvas& canvas;
    std::unique_ptr<CanvasView> view;
    std::unique_ptr<QGraphicsSimpleTextItem> userLapText;
    std::unique_ptr<QGraphicsSimpleTextItem> computerLapText;
    std::unique_ptr<QGraphicsSimpleTextItem> clockText;
    std::unique_ptr<QGraphicsSimpleTextItem> countdownText;
    std::vector<std::unique_ptr<RaceCar>> raceCars;
    std::vector<std::unique_ptr<GridSection>> gridSections;
    bool keysEnabled = true;
    bool raceFinished = false;
    bool leftHeld = false;
    bool rightHeld = false;
    bool upHeld = false;
    bool downHeld = false;
    bool computerArmed = false;
    int turnDelay = 0;
    int speedDelay = 0;
    int piecesPerLap = 0;
    int spinCounter = 0;
    int accelCounter = 0;
    int holdGo = 0;
    // Minutes are an int rather than 16 bits so that even an abandoned, endless race keeps
    // counting.
    int raceMilliseconds = 0;
    int raceSeconds = 0;
    int raceMinutes = 0;
    long elapsedMs = 0;
    QString clockString;
    int lapsToRace = 0;
    RacePhase racePhase = phaseIdle;
    bool userWon = false;
    bool raceGivenUp = false;
    const RaceCarImage blueCarImages;
    const RaceCarImage yellowCarImages;
    std::unique_ptr<CarLine> carLine;
    // One timer for the screen's life: the tear-down only stops it from inside its own timeout,
    // and the next Initialize starts it again, so it is never deleted while it is delivering.
    QTimer raceTimer;
    const GridSection* lastComputerSection = nullptr;
    const GridSection* lastUserSection = nullptr;
};
