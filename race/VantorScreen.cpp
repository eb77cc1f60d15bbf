#include "race/VantorScreen.h"

#include <QCoreApplication>
#include <QFont>
#include <algorithm>
#include <iterator>

#include "car/CompassDirection.h"
#include "log/log_functions.h"
#include "platform/Canvas.h"
#include "platform/Centring.h"
#include "race/TrackLoader.h"

namespace {

constexpr int TICK_MS = 30;
// Timer interval while the race is in each phase, in RacePhase order.
constexpr int PHASE_INTERVAL_MS[] = {1000, 1000, 1000, TICK_MS, 1500};
static_assert(std::size(PHASE_INTERVAL_MS) == VantorScreen::phaseEnding + 1);
// "GO!" stays up while holdGo counts to this, and goes on the tick after.
constexpr int GO_HOLD_TICKS = 10;

constexpr double LOWER_LEVEL = RaceCar::LOWER_LEVEL;
constexpr double UPPER_LEVEL = RaceCar::UPPER_LEVEL;
constexpr int LEVEL_EASY = 0;
constexpr int LEVEL_MEDIUM = 1;
constexpr int MEDIUM_COMPUTER_TOP_SPEED = 5;
constexpr int COMPUTER_TOP_SPEED = 4;
// The computer's car gains one speed step when the counter had passed this.
constexpr int ACCELERATION_PAUSE_TICKS = 4;

constexpr int HEADINGS = RaceCar::HEADING_COUNT;
constexpr int MAX_USER_SPEED = 5;
constexpr int SPEED_CHANGE_DELAY_TICKS = 5;
// Ticks before the next 15-degree turn, by the speed the car has when it turns: a fast car steers
// more often.
constexpr int TURN_DELAY_TICKS_BY_SPEED[MAX_USER_SPEED + 1] = {3, 3, 3, 2, 1, 1};

constexpr int LAST_SPIN_FRAME = 22;
// A restarted car is shown, hidden and shown for this many ticks each, then drives again.
constexpr int BLINK_TICKS = 10;

constexpr int MILLISECONDS_PER_SECOND = 1000;
constexpr int SECONDS_PER_MINUTE = 60;

// The front point of the player's car for each picture, in sixths of the frame's width and height
// from its top-left corner: it walks clockwise round the frame's border from the middle of the top
// edge, one sixth of a side per 15 degrees, so that the diagonals fall on the corners.
struct FrontPoint {
    int xSixths;
    int ySixths;
};
constexpr FrontPoint FRONT_POINTS[HEADINGS] = {
    {3, 0}, {4, 0}, {5, 0}, {6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {6, 6}, {5, 6}, {4, 6},
    {3, 6}, {2, 6}, {1, 6}, {0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}, {1, 0}, {2, 0}};

// Where each car stands on the start piece. The player's frame hangs from its top-left corner, the
// computer's from its centre, so these put the two 20x20 cars side by side at the end of the piece
// they set off from, the computer's car on the inside.
enum class Edge { Min, Max };
struct StartPlacement {
    bool horizontalStart;
    carControlType car;
    Edge xEdge;
    int dx;
    Edge yEdge;
    int dy;
    int direction;
    int frame;
};
constexpr StartPlacement START_PLACEMENTS[] = {
    {true, userControl, Edge::Max, -10, Edge::Min, 40, 18, 18},
    {true, computerControl, Edge::Max, 0, Edge::Min, 30, compassLeft, 18},
    {false, userControl, Edge::Min, 40, Edge::Max, -10, 0, 0},
    {false, computerControl, Edge::Min, 30, Edge::Max, 0, compassUp, 0},
};

const StartPlacement& PlacementFor(carControlType car, bool horizontalStart) {
    const auto* found = std::find_if(
        std::begin(START_PLACEMENTS), std::end(START_PLACEMENTS), [&](const StartPlacement& p) {
            return p.car == car && p.horizontalStart == horizontalStart;
        });
    return *found;
}

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

const QString USER_CAR_NAME = QStringLiteral("BlueCar");
const QString COMPUTER_CAR_NAME = QStringLiteral("YellowCar");

}  // namespace

const VantorScreen::KeyAction VantorScreen::KEY_ACTIONS[] = {
    {Qt::Key_Left, &VantorScreen::leftHeld, nullptr},
    {Qt::Key_Up, &VantorScreen::upHeld, nullptr},
    {Qt::Key_Right, &VantorScreen::rightHeld, nullptr},
    {Qt::Key_Down, &VantorScreen::downHeld, nullptr},
    {Qt::Key_R, nullptr, &VantorScreen::RestartComputerCar},
    {Qt::Key_Q, nullptr, &VantorScreen::QuitGame},
    {Qt::Key_Escape, nullptr, &VantorScreen::GiveUpRace},
};

VantorScreen::VantorScreen(Canvas& raceCanvas, QWidget* parent)
    : QWidget(parent),
      canvas(raceCanvas),
      blueCarImages(RaceCarImage::BLUE),
      yellowCarImages(RaceCarImage::YELLOW),
      raceTimer(this) {
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
    const FunctionTrace trace("VantorScreen::Initialize");
    // A race that was not torn down (never the case when the main widget waits for RaceOver)
    // must not leave its cars and pieces on the canvas under the new ones.
    raceTimer.stop();
    raceCars.clear();
    gridSections.clear();
    carLine->hide();

    turnDelay = 0;
    speedDelay = 0;
    racePhase = phaseShowThree;
    lapsToRace = laps;
    raceFinished = false;
    raceMilliseconds = 0;
    raceSeconds = 0;
    raceMinutes = 0;
    elapsedMs = 0;
    ClearHeldKeys();
    keysEnabled = false;
    lastComputerSection = nullptr;
    lastUserSection = nullptr;
    userWon = false;
    raceGivenUp = false;
    // Left over from a race that ended mid-spin or mid-acceleration, these would shorten the first
    // spin or speed up the computer's start in this one.
    spinCounter = 0;
    accelCounter = 0;

    LoadTrack(track);
    addSprite(USER_CAR_NAME, userControl, level);
    addSprite(COMPUTER_CAR_NAME, computerControl, level);

    clockText->setText(QStringLiteral("Laps Completed"));
    CentreHorizontally(*clockText);
    clockText->show();
    userLapText->setText(QStringLiteral("0"));
    userLapText->show();
    computerLapText->setText(QStringLiteral("0"));
    computerLapText->show();
    ShowCountdown(QStringLiteral("3"), true);

    raceTimer.start(PHASE_INTERVAL_MS[phaseShowThree]);
}

void VantorScreen::LoadTrack(int track) {
    const FunctionTrace trace("VantorScreen::TrackImage");
    piecesPerLap = LoadTrackLayout(track, &canvas, gridSections);
}

GridSection* VantorScreen::FindStartSection() const {
    const auto found = std::find_if(gridSections.begin(), gridSections.end(),
                                    [](const auto& section) { return section->IsStartTrack(); });
    return found == gridSections.end() ? nullptr : found->get();
}

void VantorScreen::addSprite(const QString& name, carControlType type, int level) {
    const FunctionTrace trace("VantorScreen::addSprite");
    const bool blueCar = name == USER_CAR_NAME;
    const RaceCarImage& images = blueCar ? blueCarImages : yellowCarImages;
    SpriteFrames frames{images.carFrames, blueCar ? images.originHotSpots : images.centreHotSpots};

    const GridSection* start = FindStartSection();
    if (start == nullptr) {
        return;
    }
    raceCars.push_back(std::make_unique<RaceCar>(std::move(frames), &canvas, type));
    RaceCar& car = *raceCars.back();
    car.setAnimated(true);

    if (type == computerControl) {
        car.maxSpeed = level == LEVEL_MEDIUM ? MEDIUM_COMPUTER_TOP_SPEED : COMPUTER_TOP_SPEED;
    } else {
        car.collisionsOff = level == LEVEL_EASY || level == LEVEL_MEDIUM;
    }
    PlaceOnStart(car, *start);
    car.setZValue(UPPER_LEVEL);
    const bool rollingStart = type == computerControl && start->PieceKind() == pieceUpperRightStart;
    car.SetRaceCarSpeed(rollingStart ? car.maxSpeed : 0);
    car.show();
}

void VantorScreen::PlaceOnStart(RaceCar& car, const GridSection& start) {
    const StartPlacement& place =
        PlacementFor(car.controlType, start.PieceKind() == pieceHorizontalStart);
    const int x = (place.xEdge == Edge::Min ? start.GetGridMinXValue() : start.GetGridMaxXValue());
    const int y = (place.yEdge == Edge::Min ? start.GetGridMinYValue() : start.GetGridMaxYValue());
    car.setPos(x + place.dx, y + place.dy);
    car.SetRaceCarDirection(place.direction);
    car.setFrame(place.frame);
}

void VantorScreen::RestartRaceCar(RaceCar* car) {
    const FunctionTrace trace("VantorScreen::RestartRaceCar");
    const GridSection* start = FindStartSection();
    if (start == nullptr || car == nullptr) {
        return;
    }
    PlaceOnStart(*car, *start);
    // Being put back is not an entry: the start piece counts only when driven onto.
    if (car->controlType == computerControl) {
        lastComputerSection = start;
    } else {
        carLine->hide();
        lastUserSection = start;
    }
    car->blinkCounter = 0;
    car->SetRaceCarSpeed(0);
    car->setZValue(UPPER_LEVEL);
    car->setVelocity(0, 0);
    car->show();
    car->restarting = true;
    ClearHeldKeys();
    keysEnabled = false;
}

void VantorScreen::TimeEvent() {
    const FunctionTrace trace("VantorScreen::TimeEvent");
    switch (racePhase) {
        case phaseShowThree:
            ShowCountdown(QStringLiteral("2"), true);
            EnterPhase(phaseShowTwo);
            break;
        case phaseShowTwo:
            ShowCountdown(QStringLiteral("1"), false);
            EnterPhase(phaseShowOne);
            break;
        case phaseShowOne:
            ShowCountdown(QStringLiteral("GO!"), true);
            computerArmed = false;
            holdGo = 0;
            EnterPhase(phaseRacing);
            canvas.update();
            break;
        case phaseRacing:
            if (holdGo > GO_HOLD_TICKS) {
                countdownText->hide();
            } else {
                ++holdGo;
            }
            if (!raceFinished) {
                RunTheRace();
                UpdateElapsedRaceTime();
                canvas.advance();
            } else {
                EnterPhase(phaseEnding);
            }
            break;
        case phaseEnding:
            EndRace();
            break;
        case phaseIdle:
            break;
    }
}

void VantorScreen::EnterPhase(RacePhase phase) {
    racePhase = phase;
    raceTimer.setInterval(PHASE_INTERVAL_MS[phase]);
}

void VantorScreen::EndRace() {
    clockText->hide();
    userLapText->hide();
    carLine->hide();
    computerLapText->hide();
    // A race given up within the first ticks would otherwise leave "GO!" on the shared canvas.
    countdownText->hide();
    // Stopped, not deleted: we are inside this timer's own timeout, and Initialize restarts it.
    raceTimer.stop();
    raceCars.clear();
    gridSections.clear();
    lastComputerSection = nullptr;
    lastUserSection = nullptr;
    racePhase = phaseIdle;
    emit RaceOver(userWon, elapsedMs);
}

void VantorScreen::RunTheRace() {
    const FunctionTrace trace("VantorScreen::RunTheRace");
    for (const auto& racer : raceCars) {
        RaceCar& car = *racer;
        double x = car.x();
        double y = car.y();
        const double z = car.zValue();

        if (car.lapsCompleted >= lapsToRace) {
            car.setVelocity(0, 0);
            RaceHasBeenWon(car.controlType);
            return;
        }
        // The player's car is steered from its nose; the computer's car hangs from its centre.
        if (car.controlType == userControl) {
            GetRaceCarFront(&car, &x, &y);
        }
        GridSection* section = GetCurrentGridSection(x, y, z);
        if (section == nullptr) {
            RestartRaceCar(&car);
            continue;
        }
        int gx = 0;
        int gy = 0;
        section->GetGridXYValues(x, y, &gx, &gy);

        if (car.controlType == userControl) {
            DriveUserCar(car, x, y, *section, gx, gy);
        } else {
            DriveComputerCar(car, *section, gx, gy);
        }
        if (car.restarting) {
            BlinkRestartingCar(car);
        } else {
            ShowCrashSpinOrFrame(car);
        }
    }
}

void VantorScreen::DriveUserCar(RaceCar& car, double x, double y, GridSection& section, int gx,
                                int gy) {
    const double z = car.zValue();
    UpdateUserCarSpeed(&car);
    UpdateUserCarDirection(&car);

    bool underBridge = false;
    if (z == LOWER_LEVEL) {
        const int bridgeDepth = int(z + 2.0);
        underBridge = std::any_of(
            gridSections.begin(), gridSections.end(),
            [&](const auto& candidate) { return !candidate->OnGrid(int(x), int(y), bridgeDepth); });
    }
    car.UpdateUserControlCar(gx, gy, &section);
    if (underBridge) {
        carLine->SetPoints(car.GetRaceCarCenterline());
        carLine->show();
    } else {
        carLine->hide();
    }

    if (&section != lastUserSection) {
        RegisterEntry(car, section, *userLapText);
        lastUserSection = &section;
    }
    if (!car.restarting && !keysEnabled) {
        keysEnabled = true;
    }
}

void VantorScreen::DriveComputerCar(RaceCar& car, GridSection& section, int gx, int gy) {
    if (!car.restarting) {
        if (car.speed > 0) {
            if (computerArmed) {
                car.UpdateComputerControlCar(gx, gy, &section);
            } else if (car.direction == compassUp || car.direction == compassLeft) {
                // Not yet registered on the start piece: roll straight off it the way it points.
                car.SetVelocity(car.direction);
            }
        }
        if (car.speed < car.maxSpeed && accelCounter++ > ACCELERATION_PAUSE_TICKS) {
            car.SetRaceCarSpeed(car.speed + 1);
            accelCounter = 0;
        }
    }
    if (&section != lastComputerSection) {
        car.turnedInSection = false;
        RegisterEntry(car, section, *computerLapText);
        lastComputerSection = &section;
        if (section.IsStartTrack() && !computerArmed) {
            computerArmed = true;
        }
    }
}

void VantorScreen::RegisterEntry(RaceCar& car, const GridSection& section,
                                 QGraphicsSimpleTextItem& lapText) {
    const int piece = section.GetTrackValue();
    if (piece >= 0 && piece < RaceCar::VISITED_COUNT) {
        car.visited[piece] = 1;
    }
    if (section.IsStartTrack()) {
        const auto piecesVisited = std::count(car.visited.begin(), car.visited.end(), 1);
        // The player must cover the whole track again for every lap; the computer cannot cut.
        if (car.controlType == userControl) {
            car.visited.fill(0);
        }
        if (piecesVisited == piecesPerLap) {
            ++car.lapsCompleted;
        }
    }
    lapText.setText(QString::number(car.lapsCompleted));
}

void VantorScreen::ShowCrashSpinOrFrame(RaceCar& car) {
    if (car.CheckForCollision() > 1) {
        if (spinCounter <= LAST_SPIN_FRAME) {
            car.setFrame(spinCounter);
            ++spinCounter;
        } else {
            car.crashCount = 0;
            spinCounter = 0;
        }
    } else {
        const bool ownFrame = car.pictureIndex >= 0 && car.pictureIndex < HEADINGS;
        car.setFrame(ownFrame ? car.pictureIndex : 0);
    }
}

void VantorScreen::BlinkRestartingCar(RaceCar& car) {
    switch (car.blinkCounter / BLINK_TICKS) {
        case 0:
        case 2:
            car.show();
            break;
        case 1:
            car.hide();
            break;
        default:
            car.restarting = false;
            break;
    }
    ++car.blinkCounter;
}

GridSection* VantorScreen::GetCurrentGridSection(double x, double y, double z) const {
    const FunctionTrace trace("VantorScreen::GetCurrentGridSection");
    const int px = int(x);
    const int py = int(y);
    const auto onLevel = [&](int depth) -> GridSection* {
        for (const auto& section : gridSections) {
            if (!section->OnGrid(px, py, depth)) {
                return section.get();
            }
        }
        return nullptr;
    };
    if (GridSection* own = onLevel(int(z))) {
        return own;
    }
    return onLevel(z == UPPER_LEVEL ? int(z - 2.0) : int(z + 2.0));
}

void VantorScreen::GetRaceCarFront(const RaceCar* car, double* x, double* y) const {
    const FunctionTrace trace("VantorScreen::GetRaceCarFront");
    const int picture = car->pictureIndex;
    if (picture < 0 || picture >= HEADINGS) {
        return;
    }
    const double width = car->width();
    const double height = car->height();
    *x += width * FRONT_POINTS[picture].xSixths / 6.0;
    *y += height * FRONT_POINTS[picture].ySixths / 6.0;
}

void VantorScreen::RaceHasBeenWon(carControlType winner) {
    const FunctionTrace trace("VantorScreen::RaceHasBeenWon");
    userWon = winner != computerControl;
    for (const auto& car : raceCars) {
        car->setVelocity(0, 0);
        car->SetRaceCarSpeed(0);
        car->SetRaceCarDirection(0);
        car->ResetRace();
    }
    turnDelay = 0;
    piecesPerLap = 0;
    lapsToRace = 0;
    raceFinished = true;
    ClearHeldKeys();
    keysEnabled = false;
}

void VantorScreen::UpdateElapsedRaceTime() {
    const FunctionTrace trace("VantorScreen::UpdateElapsedRaceTime");
    elapsedMs += TICK_MS;
    raceMilliseconds += TICK_MS;
    if (raceMilliseconds >= MILLISECONDS_PER_SECOND) {
        raceMilliseconds -= MILLISECONDS_PER_SECOND;
        ++raceSeconds;
        if (raceSeconds >= SECONDS_PER_MINUTE) {
            raceSeconds = 0;
            ++raceMinutes;
        }
    }
    // Minutes take two digits, or as many as a very long race needs.
    clockString = QString::asprintf("%02d:%02d:%03d", raceMinutes, raceSeconds, raceMilliseconds);
    clockText->setText(clockString);
    CentreHorizontally(*clockText);
    clockText->show();
}

void VantorScreen::keyPressEvent(int key) {
    const FunctionTrace trace("VantorScreen::keyPressEvent");
    if (!keysEnabled) {
        return;
    }
    keysEnabled = false;
    for (const KeyAction& action : KEY_ACTIONS) {
        if (action.key != key) {
            continue;
        }
        if (action.heldFlag != nullptr) {
            this->*action.heldFlag = true;
        } else {
            (this->*action.onPress)();
        }
        break;
    }
    keysEnabled = true;
}

void VantorScreen::keyReleaseEvent(int key) {
    const FunctionTrace trace("VantorScreen::keyReleaseEvent");
    if (!keysEnabled) {
        return;
    }
    keysEnabled = false;
    for (const KeyAction& action : KEY_ACTIONS) {
        if (action.key == key && action.heldFlag != nullptr) {
            this->*action.heldFlag = false;
        }
    }
    keysEnabled = true;
}

void VantorScreen::UpdateUserCarSpeed(RaceCar* car) {
    const FunctionTrace trace("VantorScreen::UpdateUserCarSpeed");
    if (!upHeld && !downHeld) {
        return;
    }
    if (speedDelay != 0) {
        --speedDelay;
        return;
    }
    if (upHeld) {
        if (car->speed < MAX_USER_SPEED) {
            car->SetRaceCarSpeed(car->speed + 1);
        }
    } else if (car->speed > 0) {
        car->SetRaceCarSpeed(car->speed - 1);
    }
    speedDelay = SPEED_CHANGE_DELAY_TICKS;
}

void VantorScreen::UpdateUserCarDirection(RaceCar* car) {
    const FunctionTrace trace("VantorScreen::UpdateUserCarDirection");
    if (!leftHeld && !rightHeld) {
        return;
    }
    if (turnDelay != 0) {
        --turnDelay;
        return;
    }
    const int step = leftHeld ? HEADINGS - 1 : 1;
    car->SetRaceCarDirection((car->direction + step) % HEADINGS);
    const int speed = std::clamp(car->speed, 0, MAX_USER_SPEED);
    turnDelay = TURN_DELAY_TICKS_BY_SPEED[speed];
}

void VantorScreen::RestartComputerCar() {
    RestartRaceCar(Car(computerControl));
}

void VantorScreen::QuitGame() {
    QCoreApplication::exit(0);
}

void VantorScreen::GiveUpRace() {
    raceGivenUp = true;
    RaceHasBeenWon(computerControl);
}

void VantorScreen::ClearHeldKeys() {
    leftHeld = false;
    rightHeld = false;
    upHeld = false;
    downHeld = false;
}

void VantorScreen::ShowCountdown(const QString& text, bool centre) {
    countdownText->hide();
    countdownText->setText(text);
    if (centre) {
        countdownText->setPos(CentredX(Canvas::WIDTH, PixelWidth(*countdownText)),
                              Canvas::HEIGHT / 2 - PixelHeight(*countdownText) / 2);
    }
    countdownText->show();
}

void VantorScreen::CentreHorizontally(QGraphicsSimpleTextItem& item) const {
    item.setPos(CentredX(Canvas::WIDTH, PixelWidth(item)), item.y());
}

RaceCar* VantorScreen::Car(carControlType type) const {
    const auto found = std::find_if(raceCars.begin(), raceCars.end(),
                                    [type](const auto& car) { return car->controlType == type; });
    return found == raceCars.end() ? nullptr : found->get();
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
