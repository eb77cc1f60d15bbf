#include "race/Race.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include "platform/Canvas.h"

#include "car/CompassDirection.h"
#include "log/log_functions.h"
#include "race/TrackLoader.h"

namespace {

// Timer interval while the race is in each phase, in RacePhase order.
constexpr int PHASE_INTERVAL_MS[] = {1000, 1000, 1000, Race::TICK_MS, 1500};
static_assert(std::size(PHASE_INTERVAL_MS) == Race::phaseEnding + 1);
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

// The front point of a player's car for each picture, in sixths of the frame's width and height
// from its top-left corner: it walks clockwise round the frame's border from the middle of the top
// edge, one sixth of a side per 15 degrees, so that the diagonals fall on the corners.
struct FrontPoint {
    int xSixths;
    int ySixths;
};
constexpr FrontPoint FRONT_POINTS[HEADINGS] = {
    {3, 0}, {4, 0}, {5, 0}, {6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {6, 6}, {5, 6}, {4, 6},
    {3, 6}, {2, 6}, {1, 6}, {0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}, {1, 0}, {2, 0}};

// Where each car stands on the start piece. A player's frame hangs from its top-left corner, the
// computer's from its centre, so these put the two 20x20 cars side by side at the end of the piece
// they set off from, the yellow car on the inside. The second player's car stands where the
// computer's would.
enum class Edge { Min, Max };
enum class Seating { player, computer, secondPlayer };
struct StartPlacement {
    bool horizontalStart;
    Seating seating;
    Edge xEdge;
    int dx;
    Edge yEdge;
    int dy;
    int direction;
    int frame;
};
constexpr StartPlacement START_PLACEMENTS[] = {
    {true, Seating::player, Edge::Max, -10, Edge::Min, 40, 18, 18},
    {true, Seating::computer, Edge::Max, 0, Edge::Min, 30, compassLeft, 18},
    {true, Seating::secondPlayer, Edge::Max, -10, Edge::Min, 20, 18, 18},
    {false, Seating::player, Edge::Min, 40, Edge::Max, -10, 0, 0},
    {false, Seating::computer, Edge::Min, 30, Edge::Max, 0, compassUp, 0},
    {false, Seating::secondPlayer, Edge::Min, 20, Edge::Max, -10, 0, 0},
};

Seating SeatingOf(const RaceCar& car, RaceSeat seat) {
    if (car.controlType == computerControl) {
        return Seating::computer;
    }
    return seat == blueSeat ? Seating::player : Seating::secondPlayer;
}

const StartPlacement& PlacementFor(Seating seating, bool horizontalStart) {
    const auto* found = std::find_if(
        std::begin(START_PLACEMENTS), std::end(START_PLACEMENTS), [&](const StartPlacement& p) {
            return p.seating == seating && p.horizontalStart == horizontalStart;
        });
    return *found;
}

}  // namespace

const Race::KeyAction Race::KEY_ACTIONS[] = {
    {RaceKey::Left, &Driver::leftHeld, nullptr},
    {RaceKey::Up, &Driver::upHeld, nullptr},
    {RaceKey::Right, &Driver::rightHeld, nullptr},
    {RaceKey::Down, &Driver::downHeld, nullptr},
    {RaceKey::Restart, nullptr, &Race::RestartComputerCar},
    {RaceKey::GiveUp, nullptr, &Race::GiveUpRace},
};

Race::Race(Canvas& raceCanvas)
    : canvas(raceCanvas),
      blueCarImages(RaceCarImage::BLUE),
      yellowCarImages(RaceCarImage::YELLOW) {}

// The cars go before the pieces they stand on, and both before the canvas.
Race::~Race() {
    racers.clear();
}

void Race::Initialize(const RaceSettings& raceSettings) {
    const FunctionTrace trace("Race::Initialize");
    // A race that was not torn down must not leave its cars and pieces under the new ones.
    racers.clear();
    gridSections.clear();

    settings = raceSettings;
    drivers = {};
    for (Driver& driver : drivers) {
        // Keys stay blocked through the countdown.
        driver.keysEnabled = false;
    }
    racePhase = phaseShowThree;
    lapsToRace = settings.laps;
    raceFinished = false;
    raceMilliseconds = 0;
    raceSeconds = 0;
    raceMinutes = 0;
    elapsedMs = 0;
    winner = blueSeat;
    raceGivenUp = false;
    // Left over from a race that ended mid-acceleration, it would speed up the computer's start.
    accelCounter = 0;
    timeouts = 0;
    inputs.clear();
    happenings = {};

    LoadTrack(settings.track);
    addSprite(blueSeat, userControl);
    switch (settings.mode) {
        case RaceMode::againstComputer:
            addSprite(yellowSeat, computerControl);
            break;
        case RaceMode::twoPlayers:
            addSprite(yellowSeat, userControl);
            break;
        case RaceMode::timeTrial:
            break;
    }

    lapTexts.fill(QStringLiteral("0"));
    ShowCountdown("3", true);
}

void Race::LoadTrack(int track) {
    const FunctionTrace trace("Race::TrackImage");
    piecesPerLap = LoadTrackLayout(track, &canvas, gridSections);
}

GridSection* Race::FindStartSection() const {
    const auto found = std::find_if(gridSections.begin(), gridSections.end(),
                                    [](const auto& section) { return section->IsStartTrack(); });
    return found == gridSections.end() ? nullptr : found->get();
}

void Race::addSprite(RaceSeat seat, carControlType type) {
    const FunctionTrace trace("Race::addSprite");
    const RaceCarImage& images = seat == blueSeat ? blueCarImages : yellowCarImages;
    // A player steers from the frame's corner, the computer from its centre.
    SpriteFrames frames{images.carFrames,
                        type == userControl ? images.originHotSpots : images.centreHotSpots};
    const GridSection* start = FindStartSection();
    if (start == nullptr) {
        return;
    }
    Racer& racer = racers.emplace_back();
    racer.car = std::make_unique<RaceCar>(std::move(frames), &canvas, type);
    racer.seat = seat;
    RaceCar& car = *racer.car;
    car.setAnimated(true);

    const int level = settings.level;
    if (type == computerControl) {
        car.maxSpeed = level == LEVEL_MEDIUM ? MEDIUM_COMPUTER_TOP_SPEED : COMPUTER_TOP_SPEED;
    } else {
        car.collisionsOff = level == LEVEL_EASY || level == LEVEL_MEDIUM;
    }
    PlaceOnStart(racer, *start);
    car.setZValue(UPPER_LEVEL);
    const bool rollingStart = type == computerControl && start->PieceKind() == pieceUpperRightStart;
    car.SetRaceCarSpeed(rollingStart ? car.maxSpeed : 0);
    car.show();
}

void Race::PlaceOnStart(Racer& racer, const GridSection& start) const {
    RaceCar& car = *racer.car;
    const StartPlacement& place =
        PlacementFor(SeatingOf(car, racer.seat), start.PieceKind() == pieceHorizontalStart);
    const int x = (place.xEdge == Edge::Min ? start.GetGridMinXValue() : start.GetGridMaxXValue());
    const int y = (place.yEdge == Edge::Min ? start.GetGridMinYValue() : start.GetGridMaxYValue());
    car.setPos(x + place.dx, y + place.dy);
    car.SetRaceCarDirection(place.direction);
    car.setFrame(place.frame);
}

void Race::RestartRaceCar(Racer* racer) {
    const FunctionTrace trace("Race::RestartRaceCar");
    const GridSection* start = FindStartSection();
    if (start == nullptr || racer == nullptr) {
        return;
    }
    PlaceOnStart(*racer, *start);
    // Being put back is not an entry: the start piece counts only when driven onto.
    racer->lastSection = start;
    racer->carLine.reset();
    RaceCar& car = *racer->car;
    car.blinkCounter = 0;
    car.SetRaceCarSpeed(0);
    car.setZValue(UPPER_LEVEL);
    car.setVelocity(0, 0);
    car.show();
    car.restarting = true;
    // A player's car takes its own player's keys away; the computer's car, the blue player's.
    Driver* driver = DriverOf(*racer);
    (driver != nullptr ? *driver : drivers[blueSeat]).TakeKeysAway();
}

Race::Driver* Race::DriverOf(const Racer& racer) {
    return racer.car->controlType == userControl ? &drivers[racer.seat] : nullptr;
}

int Race::Interval() const {
    return racePhase == phaseIdle ? 0 : PHASE_INTERVAL_MS[racePhase];
}

void Race::TimeEvent() {
    const FunctionTrace trace("Race::TimeEvent");
    if (racePhase == phaseIdle) {
        return;
    }
    ++timeouts;
    switch (racePhase) {
        case phaseShowThree:
            ShowCountdown("2", true);
            racePhase = phaseShowTwo;
            break;
        case phaseShowTwo:
            ShowCountdown("1", false);
            racePhase = phaseShowOne;
            break;
        case phaseShowOne:
            ShowCountdown("GO!", true);
            computerArmed = false;
            holdGo = 0;
            racePhase = phaseRacing;
            break;
        case phaseRacing:
            if (holdGo > GO_HOLD_TICKS) {
                countdownShown = false;
            } else {
                ++holdGo;
            }
            if (!raceFinished) {
                RunTheRace();
                UpdateElapsedRaceTime();
                // Every car moves by the velocity its driving step gave it.
                for (const Racer& racer : racers) {
                    racer.car->advance(1);
                }
            } else {
                racePhase = phaseEnding;
            }
            break;
        case phaseEnding:
            TearDown();
            break;
        case phaseIdle:
            break;
    }
}

void Race::TearDown() {
    countdownShown = false;
    racers.clear();
    gridSections.clear();
    racePhase = phaseIdle;
}

void Race::RunTheRace() {
    const FunctionTrace trace("Race::RunTheRace");
    for (Racer& racer : racers) {
        RaceCar& car = *racer.car;
        double x = car.x();
        double y = car.y();
        const double z = car.zValue();

        if (car.lapsCompleted >= lapsToRace) {
            car.setVelocity(0, 0);
            RaceHasBeenWon(racer.seat);
            return;
        }
        // A player's car is steered from its nose; the computer's car hangs from its centre.
        if (car.controlType == userControl) {
            GetRaceCarFront(&car, &x, &y);
        }
        GridSection* section = GetCurrentGridSection(x, y, z);
        if (section == nullptr) {
            RestartRaceCar(&racer);
            continue;
        }
        int gx = 0;
        int gy = 0;
        section->GetGridXYValues(x, y, &gx, &gy);

        if (car.controlType == userControl) {
            DriveUserCar(racer, x, y, *section, gx, gy);
        } else {
            DriveComputerCar(racer, *section, gx, gy);
        }
        if (car.restarting) {
            BlinkRestartingCar(car);
        } else {
            ShowCrashSpinOrFrame(racer);
        }
    }
    // The ghost takes the computer's place in the order: the player is examined first.
    if (rivalRace != nullptr && rivalRace->Decided()) {
        RaceHasBeenWon(yellowSeat);
    }
}

void Race::DriveUserCar(Racer& racer, double x, double y, GridSection& section, int gx, int gy) {
    RaceCar& car = *racer.car;
    Driver& driver = *DriverOf(racer);
    const double z = car.zValue();
    UpdateUserCarSpeed(driver, &car);
    UpdateUserCarDirection(driver, &car);

    bool underBridge = false;
    if (z == LOWER_LEVEL) {
        const int bridgeDepth = int(z + 2.0);
        underBridge = std::any_of(
            gridSections.begin(), gridSections.end(),
            [&](const auto& candidate) { return !candidate->OnGrid(int(x), int(y), bridgeDepth); });
    }
    car.UpdateUserControlCar(gx, gy, &section);
    if (underBridge) {
        racer.carLine = car.GetRaceCarCenterline();
    } else {
        racer.carLine.reset();
    }

    if (&section != racer.lastSection) {
        RegisterEntry(racer, section);
        racer.lastSection = &section;
    }
    if (!car.restarting && !driver.keysEnabled) {
        driver.keysEnabled = true;
    }
}

void Race::DriveComputerCar(Racer& racer, GridSection& section, int gx, int gy) {
    RaceCar& car = *racer.car;
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
    if (&section != racer.lastSection) {
        car.turnedInSection = false;
        RegisterEntry(racer, section);
        racer.lastSection = &section;
        if (section.IsStartTrack() && !computerArmed) {
            computerArmed = true;
        }
    }
}

void Race::RegisterEntry(Racer& racer, const GridSection& section) {
    RaceCar& car = *racer.car;
    const int piece = section.GetTrackValue();
    if (piece >= 0 && piece < RaceCar::VISITED_COUNT) {
        car.visited[piece] = 1;
    }
    if (section.IsStartTrack()) {
        const auto piecesVisited = std::count(car.visited.begin(), car.visited.end(), 1);
        // A player must cover the whole track again for every lap; the computer cannot cut.
        if (car.controlType == userControl) {
            car.visited.fill(0);
        }
        if (piecesVisited == piecesPerLap) {
            ++car.lapsCompleted;
            happenings.lapCredited[racer.seat] = true;
        }
    }
    lapTexts[racer.seat] = QString::number(car.lapsCompleted);
}

void Race::ShowCrashSpinOrFrame(Racer& racer) {
    RaceCar& car = *racer.car;
    const int crashesBefore = car.crashCount;
    const int crashes = car.CheckForCollision();
    if (crashes > crashesBefore) {
        happenings.contact[racer.seat] = true;
    }
    if (crashes > 1) {
        happenings.spinStarted[racer.seat] |= racer.spinCounter == 0;
        if (racer.spinCounter <= LAST_SPIN_FRAME) {
            car.setFrame(racer.spinCounter);
            ++racer.spinCounter;
        } else {
            car.crashCount = 0;
            racer.spinCounter = 0;
        }
    } else {
        const bool ownFrame = car.pictureIndex >= 0 && car.pictureIndex < HEADINGS;
        car.setFrame(ownFrame ? car.pictureIndex : 0);
    }
}

void Race::BlinkRestartingCar(RaceCar& car) {
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

GridSection* Race::GetCurrentGridSection(double x, double y, double z) const {
    const FunctionTrace trace("Race::GetCurrentGridSection");
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

void Race::GetRaceCarFront(const RaceCar* car, double* x, double* y) const {
    const FunctionTrace trace("Race::GetRaceCarFront");
    const int picture = car->pictureIndex;
    if (picture < 0 || picture >= HEADINGS) {
        return;
    }
    const double width = car->width();
    const double height = car->height();
    *x += width * FRONT_POINTS[picture].xSixths / 6.0;
    *y += height * FRONT_POINTS[picture].ySixths / 6.0;
}

void Race::RaceHasBeenWon(RaceSeat winnerSeat) {
    const FunctionTrace trace("Race::RaceHasBeenWon");
    winner = winnerSeat;
    for (const Racer& racer : racers) {
        RaceCar& car = *racer.car;
        car.setVelocity(0, 0);
        car.SetRaceCarSpeed(0);
        car.SetRaceCarDirection(0);
        car.ResetRace();
    }
    for (Driver& driver : drivers) {
        driver.TakeKeysAway();
        driver.turnDelay = 0;
    }
    piecesPerLap = 0;
    lapsToRace = 0;
    raceFinished = true;
    happenings.decided = true;
}

RaceOutcome Race::Outcome() const {
    if (raceGivenUp) {
        return RaceOutcome::givenUp;
    }
    return winner == blueSeat ? RaceOutcome::blueWon : RaceOutcome::yellowWon;
}

void Race::UpdateElapsedRaceTime() {
    const FunctionTrace trace("Race::UpdateElapsedRaceTime");
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
}

void Race::KeyEvent(const RaceInput& input) {
    const FunctionTrace trace(input.pressed ? "Race::keyPressEvent" : "Race::keyReleaseEvent");
    if (racePhase == phaseIdle || !Heeded(input)) {
        return;
    }
    inputs.push_back({timeouts, input});
    Driver& driver = drivers[input.player];
    if (!driver.keysEnabled) {
        return;
    }
    driver.keysEnabled = false;
    for (const KeyAction& action : KEY_ACTIONS) {
        if (action.key != input.key) {
            continue;
        }
        if (action.heldFlag != nullptr) {
            driver.*action.heldFlag = input.pressed;
        } else if (input.pressed) {
            (this->*action.onPress)();
        }
        break;
    }
    // Even an action that took the keys away leaves them on: the key itself was handled.
    drivers[input.player].keysEnabled = true;
}

bool Race::Heeded(const RaceInput& input) const {
    switch (input.key) {
        case RaceKey::Restart:
            return input.pressed && Car(computerControl) != nullptr;
        case RaceKey::GiveUp:
            return input.pressed;
        default:
            break;
    }
    const RaceCar* car = SeatCar(input.player);
    return car != nullptr && car->controlType == userControl;
}

void Race::UpdateUserCarSpeed(Driver& driver, RaceCar* car) {
    const FunctionTrace trace("Race::UpdateUserCarSpeed");
    if (!driver.upHeld && !driver.downHeld) {
        return;
    }
    if (driver.speedDelay != 0) {
        --driver.speedDelay;
        return;
    }
    if (driver.upHeld) {
        if (car->speed < MAX_USER_SPEED) {
            car->SetRaceCarSpeed(car->speed + 1);
        }
    } else if (car->speed > 0) {
        car->SetRaceCarSpeed(car->speed - 1);
    }
    driver.speedDelay = SPEED_CHANGE_DELAY_TICKS;
}

void Race::UpdateUserCarDirection(Driver& driver, RaceCar* car) {
    const FunctionTrace trace("Race::UpdateUserCarDirection");
    if (!driver.leftHeld && !driver.rightHeld) {
        return;
    }
    if (driver.turnDelay != 0) {
        --driver.turnDelay;
        return;
    }
    const int step = driver.leftHeld ? HEADINGS - 1 : 1;
    car->SetRaceCarDirection((car->direction + step) % HEADINGS);
    const int speed = std::clamp(car->speed, 0, MAX_USER_SPEED);
    driver.turnDelay = TURN_DELAY_TICKS_BY_SPEED[speed];
}

void Race::RestartComputerCar() {
    const auto computer = std::find_if(racers.begin(), racers.end(), [](const Racer& racer) {
        return racer.car->controlType == computerControl;
    });
    RestartRaceCar(computer == racers.end() ? nullptr : &*computer);
}

void Race::GiveUpRace() {
    raceGivenUp = true;
    RaceHasBeenWon(yellowSeat);
}

void Race::ShowCountdown(const char* text, bool centred) {
    countdownText = QString::fromLatin1(text);
    (countdownText == QLatin1String("GO!") ? happenings.go : happenings.countdownBeep) = true;
    countdownCentred = centred;
    countdownShown = true;
}

RaceCar* Race::Car(carControlType type) const {
    const auto found = std::find_if(racers.begin(), racers.end(), [type](const Racer& racer) {
        return racer.car->controlType == type;
    });
    return found == racers.end() ? nullptr : found->car.get();
}

RaceCar* Race::SeatCar(RaceSeat seat) const {
    const auto found = std::find_if(racers.begin(), racers.end(),
                                    [seat](const Racer& racer) { return racer.seat == seat; });
    return found == racers.end() ? nullptr : found->car.get();
}

const std::optional<QRect>& Race::CarLinePoints(RaceSeat seat) const {
    static const std::optional<QRect> none;
    const auto found = std::find_if(racers.begin(), racers.end(),
                                    [seat](const Racer& racer) { return racer.seat == seat; });
    return found == racers.end() ? none : found->carLine;
}

RaceHappenings Race::TakeHappenings() {
    return std::exchange(happenings, RaceHappenings{});
}

QString Race::ClockText() const {
    // The heading stands until the first race tick; minutes take two digits, or as many as a very
    // long race needs.
    if (elapsedMs == 0) {
        return QStringLiteral("Laps Completed");
    }
    return QString::asprintf("%02d:%02d:%03d", raceMinutes, raceSeconds, raceMilliseconds);
}

bool Race::KeysEnabled(RaceSeat player) const {
    return drivers[player].keysEnabled;
}
