#include "race/VantorScreen.h"

#include <QCoreApplication>
#include <QFont>
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

// The keys of the race, by their key codes: the arrows, R and Escape.
struct RaceKeyCode {
    int code;
    RaceKey key;
};
constexpr RaceKeyCode RACE_KEY_CODES[] = {
    {Qt::Key_Left, RaceKey::Left}, {Qt::Key_Up, RaceKey::Up},     {Qt::Key_Right, RaceKey::Right},
    {Qt::Key_Down, RaceKey::Down}, {Qt::Key_R, RaceKey::Restart}, {Qt::Key_Escape, RaceKey::GiveUp},
};

}  // namespace

VantorScreen::VantorScreen(Canvas& raceCanvas, QWidget* parent)
    : QWidget(parent), canvas(raceCanvas), race(raceCanvas), raceTimer(this) {
    view = std::make_unique<CanvasView>(&canvas, this, QRect(8, -3, Canvas::WIDTH, Canvas::HEIGHT));
    userLapText = MakeText(canvas, USER_LAPS_LAYOUT);
    clockText = MakeText(canvas, CLOCK_LAYOUT);
    computerLapText = MakeText(canvas, COMPUTER_LAPS_LAYOUT);
    countdownText = MakeText(canvas, COUNTDOWN_LAYOUT);
    carLine = std::make_unique<CarLine>(&canvas);
    connect(&raceTimer, &QTimer::timeout, this, &VantorScreen::TimeEvent);
    // The race time counts 30 ms a tick: a coarse timer, rounding every wake-up, ran 1.45% slow.
    raceTimer.setTimerType(Qt::PreciseTimer);
}

void VantorScreen::Initialize(int track, int level, int laps) {
    Initialize(RaceSettings{track, level, laps, RaceMode::againstComputer});
}

void VantorScreen::Initialize(const RaceSettings& settings) {
    const FunctionTrace trace("VantorScreen::Initialize");
    raceTimer.stop();
    // Shown anew from the first text on: "Laps Completed" is centred like the clock after it.
    countdownText->setText(QString());
    race.Initialize(settings);
    ShowRace();
    raceTimer.start(race.Interval());
}

void VantorScreen::TimeEvent() {
    const FunctionTrace trace("VantorScreen::TimeEvent");
    if (race.Phase() == Race::phaseIdle) {
        return;
    }
    race.TimeEvent();
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
    ShowText(*userLapText, race.LapText(blueSeat));
    ShowText(*computerLapText, race.LapText(yellowSeat));
    ShowText(*clockText, race.ClockText());
    clockText->setPos(CentredX(Canvas::WIDTH, PixelWidth(*clockText)), clockText->y());
    ShowCountdown();
    if (const auto& points = race.CarLinePoints(blueSeat)) {
        carLine->SetPoints(*points);
        carLine->show();
    } else {
        carLine->hide();
    }
}

void VantorScreen::ShowText(QGraphicsSimpleTextItem& item, const QString& text) {
    if (item.text() != text) {
        item.setText(text);
    }
    item.show();
}

void VantorScreen::ShowCountdown() {
    if (countdownText->text() != race.CountdownText()) {
        countdownText->setText(race.CountdownText());
        if (race.CountdownCentred()) {
            countdownText->setPos(CentredX(Canvas::WIDTH, PixelWidth(*countdownText)),
                                  Canvas::HEIGHT / 2 - PixelHeight(*countdownText) / 2);
        }
    }
    countdownText->setVisible(race.CountdownShown());
}

void VantorScreen::HideRace() {
    clockText->hide();
    userLapText->hide();
    carLine->hide();
    computerLapText->hide();
    countdownText->hide();
}

void VantorScreen::keyPressEvent(int key) {
    const FunctionTrace trace("VantorScreen::keyPressEvent");
    if (key == Qt::Key_Q) {
        // Like every race key, Q counts only while the race takes keys.
        if (race.KeysEnabled()) {
            QCoreApplication::exit(0);
        }
        return;
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
    if (found == std::end(RACE_KEY_CODES)) {
        return;
    }
    race.KeyEvent(RaceInput{blueSeat, found->key, pressed});
}

const QGraphicsSimpleTextItem& VantorScreen::Text(RaceText text) const {
    switch (text) {
        case RaceText::UserLaps:
            return *userLapText;
        case RaceText::ComputerLaps:
            return *computerLapText;
        case RaceText::Clock:
            return *clockText;
        case RaceText::Countdown:
            break;
    }
    return *countdownText;
}
