#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/Canvas.h"
#include "race/Replay.h"

class EndScreen;
class ImageItem;
class LogTrace;
class QKeyEvent;
class ReplayStore;
class ScaledStage;
class StartScreen;
class TrackPreviews;
class UserSettings;
class VantorImages;
class VantorScreen;

// The game's one window: owns the canvas the three screens share, the screens, the track previews
// and the race records. Exactly one screen is active; every key arrives here and goes on to it.
class Vantor : public QWidget {
    Q_OBJECT

  public:
    static constexpr int WINDOW_WIDTH = 240;
    static constexpr int WINDOW_HEIGHT = 300;

    // The pictures directory the game was built for, absolute, with its trailing slash.
    static QString DefaultPictureDir();

    // The directory is given with its trailing slash. Without it, or without its first track
    // preview, the player is told so and the window stays empty: no screens are built, and the
    // program quits.
    explicit Vantor(QString pictureDir = DefaultPictureDir(), QWidget* parent = nullptr);
    ~Vantor() override;

    // Shows the start menu, when the screens could be built.
    void Start();
    bool ScreensReady() const { return screensReady; }

    // False when the player was told the previews are missing and answered "Quit".
    bool LoadTrackImages();
    // The preview of a track index 0..14; null for any other index.
    ImageItem* GetTrackImage(int track) const;

    // Shows a recorded race, as it was run, then its result; it is never a record.
    void Watch(const Replay& replay);
    // The record race of a track and race length, kept from the race that set the record.
    std::optional<Replay> RecordReplay(int track, int laps) const;
    bool HasRecordReplay(int track, int laps) const {
        return RecordReplay(track, laps).has_value();
    }

  public slots:
    void RaceStart();
    void ReturnToStart();
    void RaceLevel(int level);
    void RaceLength(int laps);
    void RaceTrack(int track);
    void RaceChoice(int choice);
    void RaceFinished(bool userWon, long elapsedMs);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void BuildScreens();
    void PrepareScreen(QWidget& screen);
    // The record after this race: a finished race strictly faster than the standing record
    // replaces it, whichever car won; a race given up never does.
    double UpdateRecord(double seconds, bool raceGivenUp);
    void ShowWatchedResult(const Replay& watched);
    // Keeps the race as the last one and, when it set the record, as the record race.
    void KeepReplay(const Replay& replay, bool newRecord);

    QString pictureDir;
    Canvas canvas;
    // Holds the screens; goes after them.
    std::unique_ptr<ScaledStage> stage;
    std::unique_ptr<VantorImages> images;
    std::unique_ptr<TrackPreviews> trackImages;
    std::unique_ptr<LogTrace> traceLog;
    std::unique_ptr<UserSettings> records;
    std::unique_ptr<ReplayStore> replays;
    bool replayProblemTold = false;
    std::unique_ptr<VantorScreen> raceScreen;
    std::unique_ptr<StartScreen> startScreen;
    std::unique_ptr<EndScreen> endScreen;
    bool screensReady = false;
    bool raceRunning = false;
    bool endShown = false;
    int raceLevel = 0;
    int raceLaps = 10;
    int raceTrack = 0;
    int raceChoice = 0;
};
