#include "race/VantorScreen.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <algorithm>
#include <iterator>

#include "log/log_functions.h"
#include "platform/Canvas.h"
#include "platform/Centring.h"

namespace {

struct TextLayout {
    int red;
    int green;
    int blue;
    int pixelSize;
    bool bold;
    int x;
    int y;
    int z;
};
constexpr int TOP_TEXT_Y = 5;
constexpr TextLayout USER_LAPS_LAYOUT = {0, 255, 255, 12, true, 10, TOP_TEXT_Y, 2};
constexpr TextLayout CLOCK_LAYOUT = {255, 255, 255, 12, false, 80, TOP_TEXT_Y, 2};
constexpr TextLayout COMPUTER_LAPS_LAYOUT = {255,        255, 0, 12, true, Canvas::WIDTH - 20,
                                             TOP_TEXT_Y, 2};
constexpr TextLayout COUNTDOWN_LAYOUT = {0, 255, 0, 24, true, Canvas::WIDTH / 2, Canvas::HEIGHT / 2,
                                         4};
// Over everything but the car lines, where the countdown stands.
constexpr TextLayout PAUSED_LAYOUT = {255, 255, 255, 24, true, 0, Canvas::HEIGHT / 2, 5};

const QColor YELLOW_LINE(255, 255, 0);
// See-through enough to tell from a car, clear enough to follow round the track.
constexpr double GHOST_OPACITY = 0.45;

std::unique_ptr<QGraphicsSimpleTextItem> MakeText(Canvas& canvas, const TextLayout& layout) {
    auto text = std::make_unique<QGraphicsSimpleTextItem>();
    canvas.addItem(text.get());
    QFont font("Times");
    font.setPixelSize(layout.pixelSize);
    font.setWeight(layout.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    text->setFont(font);
    text->setBrush(QColor(layout.red, layout.green, layout.blue));
    text->setPos(layout.x, layout.y);
    text->setZValue(layout.z);
    text->hide();
    return text;
}

// The keys of the race by their key codes: the blue car's arrows, R and Escape, and the yellow
// car's W A S D in a race of two players.
struct RaceKeyCode {
    int code;
    RaceSeat player;
    RaceKey key;
};
constexpr RaceKeyCode RACE_KEY_CODES[] = {
    {Qt::Key_Left, blueSeat, RaceKey::Left},   {Qt::Key_Up, blueSeat, RaceKey::Up},
    {Qt::Key_Right, blueSeat, RaceKey::Right}, {Qt::Key_Down, blueSeat, RaceKey::Down},
    {Qt::Key_R, blueSeat, RaceKey::Restart},   {Qt::Key_Escape, blueSeat, RaceKey::GiveUp},
    {Qt::Key_A, yellowSeat, RaceKey::Left},    {Qt::Key_W, yellowSeat, RaceKey::Up},
    {Qt::Key_D, yellowSeat, RaceKey::Right},   {Qt::Key_S, yellowSeat, RaceKey::Down},
};
constexpr RaceKey HELD_KEYS[] = {RaceKey::Left, RaceKey::Up, RaceKey::Right, RaceKey::Down};

}  // namespace

VantorScreen::VantorScreen(Canvas& raceCanvas, QWidget* parent)
    : QWidget(parent), canvas(raceCanvas), run(raceCanvas), raceTimer(this) {
    view = std::make_unique<CanvasView>(&canvas, this, QRect(8, -3, Canvas::WIDTH, Canvas::HEIGHT));
    userLapText = MakeText(canvas, USER_LAPS_LAYOUT);
    clockText = MakeText(canvas, CLOCK_LAYOUT);
    computerLapText = MakeText(canvas, COMPUTER_LAPS_LAYOUT);
    countdownText = MakeText(canvas, COUNTDOWN_LAYOUT);
    pausedText = MakeText(canvas, PAUSED_LAYOUT);
    pausedText->setText(QStringLiteral("Paused"));
    pausedText->setX(CentredX(Canvas::WIDTH, PixelWidth(*pausedText)));
    carLines[blueSeat] = std::make_unique<CarLine>(&canvas);
    carLines[yellowSeat] = std::make_unique<CarLine>(&canvas, YELLOW_LINE);
    ghostCar = std::make_unique<QGraphicsPixmapItem>();
    ghostCar->setOpacity(GHOST_OPACITY);
    ghostCar->hide();
    canvas.addItem(ghostCar.get());
    connect(&raceTimer, &QTimer::timeout, this, &VantorScreen::TimeEvent);
    // The race time counts 30 ms a tick: a coarse timer, rounding every wake-up, ran 1.45% slow.
    raceTimer.setTimerType(Qt::PreciseTimer);
    // A player who leaves the window finds the race waiting.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive && isVisible() && Pausable() && !paused) {
                    ReleaseHeldKeys();
                    Pause();
                }
            });
}

VantorScreen::~VantorScreen() = default;

void VantorScreen::Initialize(int track, int level, int laps) {
    Initialize(RaceSettings{track, level, laps, RaceMode::againstComputer});
}

void VantorScreen::Initialize(const RaceSettings& settings, std::optional<GhostRun> ghost) {
    const FunctionTrace trace("VantorScreen::Initialize");
    run.Start(settings, std::move(ghost));
    StartTimer();
}

void VantorScreen::Watch(const Replay& replay) {
    run.Watch(replay);
    StartTimer();
}

void VantorScreen::StartTimer() {
    raceTimer.stop();
    paused = false;
    // Shown anew from the first text on.
    countdownText->setText(QString());
    ShowRace();
    raceTimer.start(run.MainRace().Interval());
}

void VantorScreen::TimeEvent() {
    const FunctionTrace trace("VantorScreen::TimeEvent");
    const Race& race = run.MainRace();
    if (race.Phase() == Race::phaseIdle) {
        return;
    }
    run.TimeEvent();
    emit RaceHappened(run.TakeHappenings());
    if (race.Phase() == Race::phaseIdle) {
        // Stopped, not deleted: we are inside this timer's own timeout, and Initialize restarts it.
        raceTimer.stop();
        HideRace();
        emit RaceOver(race.UserWon(), race.ElapsedMs());
        return;
    }
    ShowRace();
    // Only a new interval restarts the timer: every restart would add this tick's own time.
    if (raceTimer.interval() != race.Interval()) {
        raceTimer.setInterval(race.Interval());
    }
}

void VantorScreen::ShowRace() {
    const Race& race = run.MainRace();
    ShowText(*userLapText, race.LapText(blueSeat));
    const Race* ghostRace = run.GhostRace();
    ShowText(*computerLapText,
             ghostRace != nullptr ? ghostRace->LapText(run.GhostSeat()) : race.LapText(yellowSeat));
    ShowText(*clockText, race.ClockText());
    clockText->setPos(CentredX(Canvas::WIDTH, PixelWidth(*clockText)), clockText->y());
    ShowCountdown();
    for (const RaceSeat seat : {blueSeat, yellowSeat}) {
        CarLine& line = *carLines[seat];
        if (const auto& points = race.CarLinePoints(seat)) {
            line.SetPoints(*points);
            line.show();
        } else {
            line.hide();
        }
    }
    ShowGhost();
    pausedText->setVisible(paused);
}

void VantorScreen::ShowText(QGraphicsSimpleTextItem& item, const QString& text) {
    if (item.text() != text) {
        item.setText(text);
    }
    item.show();
}

void VantorScreen::ShowCountdown() {
    const Race& race = run.MainRace();
    if (countdownText->text() != race.CountdownText()) {
        countdownText->setText(race.CountdownText());
        if (race.CountdownCentred()) {
            countdownText->setPos(CentredX(Canvas::WIDTH, PixelWidth(*countdownText)),
                                  Canvas::HEIGHT / 2 - PixelHeight(*countdownText) / 2);
        }
    }
    countdownText->setVisible(race.CountdownShown());
}

// The ghost's car is drawn, never raced: a picture of it on this canvas, where nothing collides
// with a picture.
void VantorScreen::ShowGhost() {
    const Race* ghostRace = run.GhostRace();
    const RaceCar* car = ghostRace != nullptr ? ghostRace->SeatCar(run.GhostSeat()) : nullptr;
    if (car == nullptr) {
        ghostCar->hide();
        return;
    }
    if (ghostCar->pixmap().cacheKey() != car->pixmap().cacheKey()) {
        ghostCar->setPixmap(car->pixmap());
    }
    ghostCar->setOffset(car->offset());
    ghostCar->setPos(car->pos());
    ghostCar->setZValue(car->zValue());
    ghostCar->setVisible(car->isVisible());
}

void VantorScreen::HideRace() {
    clockText->hide();
    userLapText->hide();
    computerLapText->hide();
    countdownText->hide();
    pausedText->hide();
    for (const auto& line : carLines) {
        line->hide();
    }
    ghostCar->hide();
}

bool VantorScreen::Pausable() const {
    const Race& race = run.MainRace();
    return race.Phase() < Race::phaseRacing ||
           (race.Phase() == Race::phaseRacing && !race.Decided());
}

void VantorScreen::Pause() {
    if (!Pausable()) {
        return;
    }
    paused = true;
    raceTimer.stop();
    pausedText->show();
    emit PauseChanged(true);
}

void VantorScreen::Resume() {
    if (!paused) {
        return;
    }
    paused = false;
    pausedText->hide();
    raceTimer.start(run.MainRace().Interval());
    emit PauseChanged(false);
}

void VantorScreen::ReleaseHeldKeys() {
    for (const RaceSeat seat : {blueSeat, yellowSeat}) {
        for (const RaceKey key : HELD_KEYS) {
            run.KeyEvent(RaceInput{seat, key, false});
        }
    }
}

void VantorScreen::keyPressEvent(int key) {
    const FunctionTrace trace("VantorScreen::keyPressEvent");
    switch (key) {
        case Qt::Key_Q:
            // Like every race key, Q counts only while the race takes keys.
            if (KeysEnabled()) {
                QCoreApplication::exit(0);
            }
            return;
        case Qt::Key_P:
        case Qt::Key_Pause:  // also a pad's Start
            paused ? Resume() : Pause();
            return;
        case Qt::Key_Escape:
            if (run.Watching()) {
                LeaveWatching();
                return;
            }
            break;
        default:
            break;
    }
    KeyEvent(key, true);
}

void VantorScreen::keyReleaseEvent(int key) {
    const FunctionTrace trace("VantorScreen::keyReleaseEvent");
    KeyEvent(key, false);
}

void VantorScreen::KeyEvent(int key, bool pressed) {
    const auto* found = std::find_if(std::begin(RACE_KEY_CODES), std::end(RACE_KEY_CODES),
                                     [key](const RaceKeyCode& code) { return code.code == key; });
    if (found != std::end(RACE_KEY_CODES)) {
        run.KeyEvent(RaceInput{found->player, found->key, pressed});
    }
}

// Watching ends where it stands; the result is the one the replay recorded.
void VantorScreen::LeaveWatching() {
    raceTimer.stop();
    paused = false;
    run.Leave();
    HideRace();
    const Replay& watched = *run.Watched();
    emit RaceOver(watched.outcome == RaceOutcome::blueWon, watched.ElapsedMs());
}

const QGraphicsSimpleTextItem& VantorScreen::Text(RaceText text) const {
    switch (text) {
        case RaceText::UserLaps:
            return *userLapText;
        case RaceText::ComputerLaps:
            return *computerLapText;
        case RaceText::Clock:
            return *clockText;
        case RaceText::Paused:
            return *pausedText;
        case RaceText::Countdown:
            break;
    }
    return *countdownText;
}
