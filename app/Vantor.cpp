#include "app/Vantor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPalette>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "app/Globals.h"
#include "app/RaceSounds.h"
#include "app/TrackPreviews.h"
#include "graphics/RaceCarImage.h"
#include "graphics/VantorImages.h"
#include "log/LogTrace.h"
#include "log/log_functions.h"
#include "platform/AfterFirstFrame.h"
#include "platform/AudioSystem.h"
#include "platform/ConsoleNote.h"
#include "platform/GameFacts.h"
#include "platform/GameSound.h"
#include "platform/MessageBox.h"
#include "platform/ScaledStage.h"
#include "platform/SdlLibrary.h"
#include "platform/SdlServices.h"
#include "race/ReplayCheck.h"
#include "race/ReplayFile.h"
#include "race/VantorScreen.h"
#include "records/ReplayStore.h"
#include "records/SoundSettings.h"
#include "records/UserSettings.h"
#include "screens/EndScreen.h"
#include "screens/StartScreen.h"

namespace {

// A path the build gives relative to the program's own folder, so that one program runs from any
// install prefix and from the build folder; an absolute one stays as it is.
QString FromProgramDir(const char* path) {
    const QDir programDir(QCoreApplication::applicationDirPath());
    return QDir::cleanPath(programDir.absoluteFilePath(QString::fromUtf8(path)));
}

void PaintGreen(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Canvas::BACKGROUND);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

// The end screen's note on a time trial, by how it ended; a race against the clock alone has one
// note whatever its end.
QString TimeTrialNote(const Replay& race) {
    if (!race.ghost) {
        return QStringLiteral("Time Trial Against the Clock");
    }
    switch (race.outcome) {
        case RaceOutcome::blueWon:
            return QStringLiteral("You Beat the Record's Ghost");
        case RaceOutcome::yellowWon:
            return QStringLiteral("The Record's Ghost Won");
        case RaceOutcome::givenUp:
            break;
    }
    return QStringLiteral("Time Trial Given Up");
}

struct TwoPlayerResult {
    RaceOutcome outcome;
    const char* words;
    QColor colour;
};
const TwoPlayerResult TWO_PLAYER_RESULTS[] = {
    {RaceOutcome::blueWon, "Player 1 Wins", QColor(RaceCarImage::BLUE)},
    {RaceOutcome::yellowWon, "Player 2 Wins", QColor(RaceCarImage::YELLOW)},
    {RaceOutcome::givenUp, "Given Up: No Winner", Qt::black},
};

const TwoPlayerResult& TwoPlayerResultOf(RaceOutcome outcome) {
    return *std::find_if(
        std::begin(TWO_PLAYER_RESULTS), std::end(TWO_PLAYER_RESULTS),
        [outcome](const TwoPlayerResult& result) { return result.outcome == outcome; });
}

}  // namespace

const Vantor::WindowKey Vantor::WINDOW_KEYS[] = {
    {Qt::Key_F11, &Vantor::ToggleFullScreen},
    {Qt::Key_M, &Vantor::ToggleMute},
};

QString Vantor::DefaultPictureDir() {
    return FromProgramDir(VANTOR_PICTURE_DIR) + '/';
}

QString Vantor::IconThemeDir() {
    return FromProgramDir(VANTOR_ICON_THEME_DIR);
}

QString Vantor::SdlLibraryFile() {
    return FromProgramDir(VANTOR_SDL_LIBRARY);
}

Vantor::Vantor(QString directory, QWidget* parent)
    : QWidget(parent),
      pictureDir(std::move(directory)),
      images(std::make_unique<VantorImages>()),
      sound(std::make_unique<GameSound>(SoundSettings::ReadMuted())) {
    vantor = this;
    vantorImages = images.get();
    // The screens stand on a stage of the handheld's screen size, which fills the window and
    // enlarges them as far as it allows; the window opens as large as the desktop has room for.
    stage = std::make_unique<ScaledStage>(QSize(WINDOW_WIDTH, WINDOW_HEIGHT), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stage.get());
    // Settled before the window exists, the minimum size goes with it from the start.
    layout->activate();
    resize(sizeHint());
    PaintGreen(*this);
    // Every key must arrive here: the screens and their views never take the focus.
    setFocusPolicy(Qt::StrongFocus);
    show();

    if (!QFileInfo(pictureDir).isDir()) {
        ShowWarning(this, GAME_NAME, QStringLiteral("Could not locate Directory ") + pictureDir,
                    QStringLiteral("Quit"));
        return;
    }
    // The first preview's box offers only to quit.
    if (!LoadTrackImages()) {
        return;
    }

    traceLog = std::make_unique<LogTrace>(GAME_NAME);
    logTrace = traceLog.get();
    { const FunctionTrace trace("Vantor::Vantor"); }

    records = std::make_unique<UserSettings>();
    vantorConfig = records.get();
    records->ReadFastestRaceTime();
    replays = std::make_unique<ReplayStore>();
    // Said once, here: the records are then kept in memory only, and no save is tried.
    if (!records->StoreProblem().isEmpty()) {
        ShowWarning(this, GAME_NAME, records->StoreProblem(), QStringLiteral("OK"));
    }

    BuildScreens();
    setFocus();
    screensReady = true;
    afterFirstFrame = std::make_unique<AfterFirstFrame>(*this, [this] { StartLateServices(); });
}

Vantor::~Vantor() {
    // The pads go first: they post their keys to this widget.
    gamepads.reset();
    // The screens go before the records, the previews and the canvas they draw on.
    startScreen.reset();
    raceScreen.reset();
    endScreen.reset();
    if (vantorConfig == records.get()) {
        vantorConfig = nullptr;
    }
    records.reset();
    if (logTrace == traceLog.get()) {
        logTrace = nullptr;
    }
    traceLog.reset();
    trackImages.reset();
    if (vantorImages == images.get()) {
        vantorImages = nullptr;
    }
    if (vantor == this) {
        vantor = nullptr;
    }
}

void Vantor::StartLateServices() {
    sdlLibrary = std::make_unique<SdlLibrary>(SdlLibraryFile());
    if (const auto createGamepads = sdlLibrary->Factory<CreateGamepadsFunction>(CREATE_GAMEPADS)) {
        gamepads.reset(createGamepads(this));
    }
    const auto createAudio = sdlLibrary->Factory<CreateAudioFunction>(CREATE_AUDIO);
    sound->Open(pictureDir + QLatin1String(SOUND_FOLDER),
                std::unique_ptr<AudioSystem>(createAudio != nullptr ? createAudio() : nullptr));
}

void Vantor::ToggleFullScreen() {
    // The stage keeps the whole-number scale that fits whatever size this gives.
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

const Vantor::WindowKey* Vantor::FindWindowKey(int key) {
    const auto found =
        std::find_if(std::begin(WINDOW_KEYS), std::end(WINDOW_KEYS),
                     [key](const WindowKey& windowKey) { return windowKey.key == key; });
    return found != std::end(WINDOW_KEYS) ? found : nullptr;
}

void Vantor::BuildScreens() {
    startScreen = std::make_unique<StartScreen>(canvas, stage.get());
    PrepareScreen(*startScreen);
    connect(startScreen.get(), &StartScreen::StartTheRace, this, &Vantor::RaceStart);
    connect(startScreen.get(), &StartScreen::RaceLevelUpdated, this, &Vantor::RaceLevel);
    connect(startScreen.get(), &StartScreen::RaceLengthUpdated, this, &Vantor::RaceLength);
    connect(startScreen.get(), &StartScreen::RaceTrackUpdated, this, &Vantor::RaceTrack);
    connect(startScreen.get(), &StartScreen::RaceChoiceUpdated, this, &Vantor::RaceChoice);
    connect(startScreen.get(), &StartScreen::MenuMoved, this,
            [this] { sound->Play(SoundEffect::MenuMove); });

    raceScreen = std::make_unique<VantorScreen>(canvas, stage.get());
    PrepareScreen(*raceScreen);
    connect(raceScreen.get(), &VantorScreen::RaceOver, this, &Vantor::RaceFinished);
    raceSounds = std::make_unique<RaceSounds>(*sound);
    connect(raceScreen.get(), &VantorScreen::RaceHappened, this,
            [this](const RaceHappenings& happened) {
                raceSounds->Follow(raceScreen->Run(), happened);
            });
    connect(raceScreen.get(), &VantorScreen::PauseChanged, this, [this](bool paused) {
        if (paused) {
            raceSounds->Silence();
        }
    });

    endScreen = std::make_unique<EndScreen>(canvas, stage.get());
    PrepareScreen(*endScreen);
    connect(endScreen.get(), &EndScreen::ReturnToStart, this, &Vantor::ReturnToStart);
}

void Vantor::PrepareScreen(QWidget& screen) {
    screen.setFocusPolicy(Qt::NoFocus);
    PaintGreen(screen);
    screen.hide();
}

void Vantor::Start() {
    if (screensReady) {
        startScreen->Show();
    }
}

void Vantor::ToggleMute() {
    const bool muted = !sound->Muted();
    sound->SetMuted(muted);
    if (!SoundSettings::WriteMuted(muted) && !muteChoiceUnsaved) {
        muteChoiceUnsaved = true;
        SayOnConsole(QStringLiteral("the sound setting could not be saved in %1; it holds for "
                                    "this run only")
                         .arg(SoundSettings::FileName()));
    }
}

bool Vantor::LoadTrackImages() {
    trackImages = std::make_unique<TrackPreviews>(&canvas, this, pictureDir);
    return trackImages->Load();
}

ImageItem* Vantor::GetTrackImage(int track) const {
    return trackImages != nullptr ? trackImages->Item(track) : nullptr;
}

void Vantor::RaceStart() {
    std::optional<Replay> record;
    if (raceChoice == StartScreen::raceRecord || raceChoice == StartScreen::watchRecord) {
        record = RecordReplay(raceTrack, raceLaps);
    }
    if (raceChoice == StartScreen::watchRecord) {
        // The menu says there is none to watch.
        if (record) {
            Watch(*record);
        }
        return;
    }
    EnterRaceScreen();
    if (raceChoice == StartScreen::raceRecord) {
        const RaceSettings trial{raceTrack, raceLevel, raceLaps, RaceMode::timeTrial};
        raceScreen->Initialize(trial, record ? record->WinningRun() : std::nullopt);
    } else if (raceChoice == StartScreen::raceTwoPlayers) {
        SecondPadDrivesPlayerTwo(true);
        raceScreen->Initialize(RaceSettings{raceTrack, raceLevel, raceLaps, RaceMode::twoPlayers});
    } else {
        raceScreen->Initialize(raceTrack, raceLevel, raceLaps);
    }
}

void Vantor::Watch(const Replay& replay) {
    if (!screensReady) {
        return;
    }
    EnterRaceScreen();
    raceScreen->Watch(replay);
}

void Vantor::SecondPadDrivesPlayerTwo(bool on) {
    // The pads live in a library the game loads rather than links: their slot is called by name.
    if (gamepads != nullptr) {
        QMetaObject::invokeMethod(gamepads.get(), "SetSecondPadIsPlayerTwo", Q_ARG(bool, on));
    }
}

void Vantor::EnterRaceScreen() {
    raceRunning = true;
    endShown = false;
    sound->Play(SoundEffect::MenuStart);
    startScreen->Hide();
    raceScreen->show();
}

std::optional<Replay> Vantor::RecordReplay(int track, int laps) const {
    if (replays == nullptr) {
        return std::nullopt;
    }
    const std::optional<QByteArray> text = replays->Read(ReplayStore::RecordName(track, laps));
    return text ? ReplayFile::Read(*text).replay : std::nullopt;
}

void Vantor::ReturnToStart() {
    raceRunning = false;
    endShown = false;
    raceScreen->hide();
    endScreen->Hide();
    startScreen->Show();
}

void Vantor::RaceLevel(int level) {
    raceLevel = level;
}

void Vantor::RaceLength(int laps) {
    raceLaps = laps;
}

void Vantor::RaceTrack(int track) {
    raceTrack = track;
}

void Vantor::RaceChoice(int choice) {
    raceChoice = choice;
}

void Vantor::RaceFinished(bool userWon, long elapsedMs) {
    raceRunning = false;
    endShown = true;
    raceScreen->hide();
    // On the result and the menu every pad moves and chooses as the arrows do.
    SecondPadDrivesPlayerTwo(false);
    // No engine runs on past its race.
    raceSounds->Silence();
    if (const std::optional<Replay>& watched = raceScreen->Run().Watched()) {
        ShowWatchedResult(*watched);
        return;
    }
    const double seconds = double(elapsedMs) / 1000.0;
    const double before = records->FastestRaceTime(raceTrack, raceLaps);
    const double afterRace = UpdateRecord(seconds, raceScreen->RaceGivenUp());
    const bool saved = records->WriteFastestRaceTime();
    // The save took in what other games kept meanwhile: a faster record of theirs stands, and this
    // race set none.
    const double record = records->FastestRaceTime(raceTrack, raceLaps);
    const bool newRecord = afterRace < before && record == afterRace;
    const Replay race = raceScreen->Recorded();
    RaceSummary summary{userWon, raceLaps, seconds, std::nullopt, newRecord, QString(), Qt::black};
    if (record < UserSettings::NO_RECORD) {
        summary.recordTime = record;
    }
    if (race.settings.mode == RaceMode::timeTrial) {
        summary.note = TimeTrialNote(race);
    } else if (race.settings.mode == RaceMode::twoPlayers) {
        // Whichever player won, there is a winner; the words say which, in the car's colour.
        const TwoPlayerResult& result = TwoPlayerResultOf(race.outcome);
        summary.won = race.outcome != RaceOutcome::givenUp;
        summary.note = QString::fromLatin1(result.words);
        summary.noteColour = result.colour;
    }
    endScreen->Show(summary);
    if (!saved && records->StoreProblem().isEmpty()) {
        ShowWarning(this, GAME_NAME, records->SaveProblem(), QStringLiteral("OK"));
    }
    // A race that never ran (the result given here directly) has nothing to replay.
    if (raceScreen->CurrentRace().Timeouts() > 0) {
        KeepReplay(race, newRecord);
    }
}

void Vantor::ShowWatchedResult(const Replay& watched) {
    const RaceSettings& race = watched.settings;
    const double record = records->FastestRaceTime(race.track, race.laps);
    RaceSummary summary{watched.outcome == RaceOutcome::blueWon,
                        race.laps,
                        double(watched.ElapsedMs()) / 1000.0,
                        std::nullopt,
                        false,
                        QStringLiteral("Replay: ") + OutcomeWords(race.mode, watched.outcome),
                        Qt::black};
    if (record < UserSettings::NO_RECORD) {
        summary.recordTime = record;
    }
    endScreen->Show(summary);
}

void Vantor::KeepReplay(const Replay& replay, bool newRecord) {
    const QByteArray text = ReplayFile::Write(replay);
    bool kept = replays->Write(ReplayStore::LAST_RACE, text);
    if (newRecord) {
        // Another game may have kept a faster one meanwhile.
        const auto faster = [&replay](const QByteArray& present) {
            const std::optional<Replay> standing = ReplayFile::Read(present).replay;
            return standing && standing->outcome != RaceOutcome::givenUp &&
                   standing->ticks <= replay.ticks;
        };
        const RaceSettings& race = replay.settings;
        kept = replays->Write(ReplayStore::RecordName(race.track, race.laps), text, faster) && kept;
    }
    if (!kept && !replayProblemTold) {
        replayProblemTold = true;
        ShowWarning(this, GAME_NAME, replays->Problem(), QStringLiteral("OK"));
    }
}

double Vantor::UpdateRecord(double seconds, bool raceGivenUp) {
    if (!raceGivenUp && seconds < records->FastestRaceTime(raceTrack, raceLaps)) {
        records->UpdateFastestRaceTime(raceTrack, raceLaps, seconds);
    }
    // Read back: the store keeps only the times it can hold.
    return records->FastestRaceTime(raceTrack, raceLaps);
}

void Vantor::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (const WindowKey* windowKey = FindWindowKey(event->key())) {
        if (!event->isAutoRepeat()) {
            (this->*windowKey->onPress)();
        }
        return;
    }
    if (!screensReady) {
        return;
    }
    if (raceRunning) {
        // The race screen keeps its own held-key state: repeats would only blur it.
        if (!event->isAutoRepeat()) {
            raceScreen->keyPressEvent(event->key());
        }
    } else if (endShown) {
        // Only a fresh press leaves the result: a key still held from the race would otherwise
        // skip it on its first repeat.
        if (!event->isAutoRepeat()) {
            endScreen->keyPressEvent();
        }
    } else {
        // Repeats reach the menu, so a held arrow keeps moving through it.
        startScreen->ChangeSelectedLevel(event->key());
    }
}

void Vantor::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (screensReady && raceRunning && !event->isAutoRepeat() &&
        FindWindowKey(event->key()) == nullptr) {
        raceScreen->keyReleaseEvent(event->key());
    }
}
