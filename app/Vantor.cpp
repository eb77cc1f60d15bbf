#include "app/Vantor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPalette>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Globals.h"
#include "app/TrackPreviews.h"
#include "graphics/VantorImages.h"
#include "log/LogTrace.h"
#include "log/log_functions.h"
#include "platform/AfterFirstFrame.h"
#include "platform/GameFacts.h"
#include "platform/MessageBox.h"
#include "platform/ScaledStage.h"
#include "platform/SdlLibrary.h"
#include "platform/SdlServices.h"
#include "race/VantorScreen.h"
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

}  // namespace

const Vantor::WindowKey Vantor::WINDOW_KEYS[] = {
    {Qt::Key_F11, &Vantor::ToggleFullScreen},
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
    : QWidget(parent), pictureDir(std::move(directory)), images(std::make_unique<VantorImages>()) {
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
    LoadTrackImages();

    traceLog = std::make_unique<LogTrace>(GAME_NAME);
    logTrace = traceLog.get();
    { const FunctionTrace trace("Vantor::Vantor"); }

    records = std::make_unique<UserSettings>();
    vantorConfig = records.get();
    records->ReadFastestRaceTime();
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

    raceScreen = std::make_unique<VantorScreen>(canvas, stage.get());
    PrepareScreen(*raceScreen);
    connect(raceScreen.get(), &VantorScreen::RaceOver, this, &Vantor::RaceFinished);

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

void Vantor::LoadTrackImages() {
    trackImages = std::make_unique<TrackPreviews>(&canvas, this, pictureDir);
    trackImages->Load();
}

ImageItem* Vantor::GetTrackImage(int track) const {
    return trackImages != nullptr ? trackImages->Item(track) : nullptr;
}

void Vantor::RaceStart() {
    raceRunning = true;
    endShown = false;
    startScreen->Hide();
    raceScreen->show();
    raceScreen->Initialize(raceTrack, raceLevel, raceLaps);
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

void Vantor::RaceFinished(bool userWon, long elapsedMs) {
    raceRunning = false;
    endShown = true;
    raceScreen->hide();
    const double seconds = double(elapsedMs) / 1000.0;
    const double record = UpdateRecord(seconds, raceScreen->RaceGivenUp());
    const bool saved = records->WriteFastestRaceTime();
    endScreen->Show(userWon, raceTrack, raceLaps, seconds, record);
    if (!saved && records->StoreProblem().isEmpty()) {
        ShowWarning(this, GAME_NAME, QStringLiteral("Could not save the race records"),
                    QStringLiteral("OK"));
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
