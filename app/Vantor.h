#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/Canvas.h"
#include "race/Replay.h"

class AfterFirstFrame;
class EndScreen;
class GameSound;
class ImageItem;
class LogTrace;
class QKeyEvent;
class RaceSounds;
class ReplayStore;
class ScaledStage;
class SdlLibrary;
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
    // The icon theme folder (hicolor) the game's icons are installed in, absolute.
    static QString IconThemeDir();
    // The library of the game's services on SDL, absolute.
    static QString SdlLibraryFile();

    // The directory is given with its trailing slash. Without it, or without its first track
    // preview, the player is told so and the window stays empty: no screens are built, and the
    // program quits.
    explicit Vantor(QString pictureDir = DefaultPictureDir(), QWidget* parent = nullptr);
    ~Vantor() override;

    // Shows the start menu, when the screens could be built.
    void Start();
    bool ScreensReady() const { return screensReady; }

    // The game's sound, silent until StartLateServices(); it lives as long as the window.
    GameSound& Sound() { return *sound; }

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
    // The game controllers (a Gamepads), once the services that start after the first frame run;
    // null before, and when they could not start.
    QObject* Pads() const { return gamepads.get(); }

  public slots:
    void RaceStart();
    void ReturnToStart();
    void RaceLevel(int level);
    void RaceLength(int laps);
    void RaceTrack(int track);
    void RaceChoice(int choice);
    void RaceFinished(bool userWon, long elapsedMs);
    // What the menu's first picture does not need, started just after it is on screen: the
    // library of the services on SDL, the game controllers, and the sound with the sounds from the
    // pictures directory's "sounds" folder. Until then, and where there is no device, the game is
    // silent.
    void StartLateServices();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    // Keys the window takes itself on every screen; the screens never see them.
    struct WindowKey {
        int key;
        void (Vantor::*onPress)();
    };
    static const WindowKey WINDOW_KEYS[];
    static const WindowKey* FindWindowKey(int key);

    void ToggleFullScreen();
    void BuildScreens();
    void PrepareScreen(QWidget& screen);
    // The M key: all sound off or on, on every screen, remembered for the next run.
    void ToggleMute();
    // The record after this race: a finished race strictly faster than the standing record
    // replaces it, whichever car won; a race given up never does.
    double UpdateRecord(double seconds, bool raceGivenUp);
    // In a race of two players the second pad drives the yellow car, with W A S D; everywhere else
    // every pad is the arrows.
    void SecondPadDrivesPlayerTwo(bool on);
    // Leaves the menu for the race screen, which is then given its race.
    void EnterRaceScreen();
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
    std::unique_ptr<GameSound> sound;
    std::unique_ptr<RaceSounds> raceSounds;
    // The mute choice could not be saved this run, and the player was told once.
    bool muteChoiceUnsaved = false;
    std::unique_ptr<VantorScreen> raceScreen;
    std::unique_ptr<StartScreen> startScreen;
    std::unique_ptr<EndScreen> endScreen;
    std::unique_ptr<AfterFirstFrame> afterFirstFrame;
    std::unique_ptr<SdlLibrary> sdlLibrary;
    std::unique_ptr<QObject> gamepads;
    bool screensReady = false;
    bool raceRunning = false;
    bool endShown = false;
    int raceLevel = 0;
    int raceLaps = 10;
    int raceTrack = 0;
    int raceChoice = 0;
};
