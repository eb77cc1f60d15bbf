#include "screens/StartScreen.h"

#include <QFont>
#include <algorithm>
#include <climits>
#include <iterator>

#include "app/Globals.h"
#include "app/Vantor.h"
#include "graphics/VantorImages.h"
#include "platform/Canvas.h"
#include "platform/Centring.h"
#include "platform/GameFacts.h"

namespace {

constexpr int LAST_TRACK = TRACK_COUNT - 1;
constexpr const char* LEVEL_NAMES[] = {"Easy", "Medium", "Hard"};
constexpr int LAST_LEVEL = int(std::size(LEVEL_NAMES)) - 1;
// Left below 5 laps gives a one-lap race, which no arrow announces.
constexpr int LAP_CHOICES[] = {1, 5, 10, 15, 20, 25};
constexpr int FIRST_LAPS = 5;
constexpr int LAST_LAPS = LAP_CHOICES[std::size(LAP_CHOICES) - 1];

// Each row's title stands at its row's y, and so do the arrows while the row is selected; the level
// and the laps show their values on a line of their own below the title.
constexpr int TRACK_ROW_Y = 150;
constexpr int LEVEL_ROW_Y = 175;
constexpr int LEVEL_VALUE_Y = 190;
constexpr int LAPS_ROW_Y = 210;
constexpr int LAPS_VALUE_Y = 225;
constexpr int RACE_CHOICE_ROW_Y = 245;
constexpr int START_RACE_ROW_Y = 265;
constexpr int LEFT_ARROW_X = 52;
constexpr int RIGHT_ARROW_X = 166;
constexpr int LOGO_Y = 5;
constexpr qreal MENU_Z = 1;
const QRect VIEW_GEOMETRY(8, 0, Canvas::WIDTH, Canvas::HEIGHT);

// The race row's words by choice, and for the record choices where there is no record race yet;
// short enough to stand between the arrows.
struct RaceChoiceWords {
    const char* withRecord;
    const char* withoutRecord;
};
constexpr RaceChoiceWords RACE_CHOICE_WORDS[] = {
    {"Race Computer", "Race Computer"},
    {"Race Record", "Race Clock"},
    {"Two Players", "Two Players"},
    {"Watch Record", "No Record Yet"},
};
constexpr int LAST_RACE_CHOICE = int(std::size(RACE_CHOICE_WORDS)) - 1;

}  // namespace

const StartScreen::MenuStyle StartScreen::HIGHLIGHT{QColor(255, 255, 80), 12, true};
const StartScreen::MenuStyle StartScreen::NORMAL{QColor(75, 234, 254), 10, false};

// "Start Race" has no value: both arrows always show there.
const StartScreen::MenuRowRule StartScreen::ROW_RULES[] = {
    {&StartScreen::trackTitle, nullptr, &StartScreen::selectedTrack, TRACK_ROW_Y, 0, LAST_TRACK,
     &StartScreen::RaceTrackUpdated},
    {&StartScreen::levelTitle, &StartScreen::levelText, &StartScreen::selectedLevel, LEVEL_ROW_Y, 0,
     LAST_LEVEL, &StartScreen::RaceLevelUpdated},
    {&StartScreen::lapsTitle, &StartScreen::lapsText, &StartScreen::selectedLaps, LAPS_ROW_Y,
     FIRST_LAPS, LAST_LAPS, &StartScreen::RaceLengthUpdated},
    {&StartScreen::raceChoiceText, nullptr, &StartScreen::selectedRaceChoice, RACE_CHOICE_ROW_Y, 0,
     LAST_RACE_CHOICE, &StartScreen::RaceChoiceUpdated},
    {&StartScreen::startRaceText, nullptr, nullptr, START_RACE_ROW_Y, INT_MIN, INT_MAX, nullptr},
};

// The texts of the values are filled in from the choices.
const StartScreen::MenuTextLayout StartScreen::MENU_TEXTS[] = {
    {&StartScreen::trackTitle, "Select Track", &NORMAL, TRACK_ROW_Y},
    {&StartScreen::levelTitle, "Select Level", &NORMAL, LEVEL_ROW_Y},
    {&StartScreen::levelText, "", &NORMAL, LEVEL_VALUE_Y},
    {&StartScreen::lapsTitle, "Laps", &NORMAL, LAPS_ROW_Y},
    {&StartScreen::lapsText, "", &NORMAL, LAPS_VALUE_Y},
    {&StartScreen::raceChoiceText, "", &NORMAL, RACE_CHOICE_ROW_Y},
    {&StartScreen::startRaceText, "Start Race", &NORMAL, START_RACE_ROW_Y},
};

StartScreen::StartScreen(Canvas& sharedCanvas, QWidget* parent)
    : QWidget(parent),
      canvas(sharedCanvas),
      view(std::make_unique<CanvasView>(&canvas, this, VIEW_GEOMETRY)) {}

StartScreen::~StartScreen() = default;

void StartScreen::Show() {
    Initialize();
    show();
}

void StartScreen::Initialize() {
    ShowTrack(selectedTrack);
    DisplayOnScreenMenu();
}

void StartScreen::Hide() {
    leftArrow.reset();
    rightArrow.reset();
    logoItem.reset();
    trackTitle.reset();
    levelTitle.reset();
    levelText.reset();
    lapsTitle.reset();
    lapsText.reset();
    raceChoiceText.reset();
    startRaceText.reset();
    if (trackPiece != nullptr) {
        trackPiece->hide();
    }
    // The menu comes back after the race with every choice as it was, ready to race again.
    selectedRow = rowStartRace;
    hide();
}

void StartScreen::ShowTrack(int track) {
    if (trackPiece != nullptr) {
        trackPiece->hide();
    }
    trackPiece = vantor != nullptr ? vantor->GetTrackImage(track) : nullptr;
    if (trackPiece != nullptr) {
        trackPiece->show();
    }
    selectedTrack = track;
}

void StartScreen::DisplayOnScreenMenu() {
    leftArrow = MakeText(QStringLiteral("<<"), HIGHLIGHT, ROW_RULES[rowTrack].arrowY);
    leftArrow->setX(LEFT_ARROW_X);
    rightArrow = MakeText(QStringLiteral(">>"), HIGHLIGHT, ROW_RULES[rowTrack].arrowY);
    rightArrow->setX(RIGHT_ARROW_X);

    logoItem =
        std::make_unique<ImageItem>(vantorImages->GetImage(VantorImages::START_LOGO), &canvas);
    CentreOnCanvas(*logoItem);
    logoItem->setY(LOGO_Y);
    logoItem->show();

    for (const MenuTextLayout& layout : MENU_TEXTS) {
        this->*layout.field = MakeText(QString::fromLatin1(layout.text), *layout.style, layout.y);
        (this->*layout.field)->show();
    }
    StepLevel(0);
    StepLaps(0);
    ShowRaceChoice();
    Restyle(selectedRow, HIGHLIGHT);
    PlaceArrows(selectedRow);
}

void StartScreen::ChangeSelectedLevel(int key) {
    if (!MenuBuilt()) {
        return;
    }
    switch (key) {
        case Qt::Key_Up:
            if (selectedRow > rowTrack) {
                MoveToRow(selectedRow - 1);
                emit MenuMoved();
            }
            break;
        case Qt::Key_Down:
            if (selectedRow < rowStartRace) {
                MoveToRow(selectedRow + 1);
                emit MenuMoved();
            }
            break;
        case Qt::Key_Left:
            StepValue(-1);
            break;
        case Qt::Key_Right:
            StepValue(+1);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Pause:  // a pad's Start
            if (selectedRow == rowStartRace) {
                emit StartTheRace();  // the receiver hides this screen: nothing may follow
            }
            break;
        default:
            break;
    }
}

void StartScreen::MoveToRow(int row) {
    const MenuRowRule& leaving = ROW_RULES[selectedRow];
    Restyle(selectedRow, NORMAL);
    Restyle(row, HIGHLIGHT);
    PlaceArrows(row);
    if (leaving.reportValue != nullptr) {
        (this->*leaving.reportValue)(this->*leaving.value);
    }
    selectedRow = row;
}

void StartScreen::StepValue(int step) {
    const MenuRowRule& rule = ROW_RULES[selectedRow];
    const int before = rule.value != nullptr ? this->*rule.value : 0;
    switch (selectedRow) {
        case rowTrack:
            StepTrack(step);
            break;
        case rowLevel:
            StepLevel(step);
            break;
        case rowLaps:
            StepLaps(step);
            break;
        case rowRaceChoice:
            StepRaceChoice(step);
            break;
        default:
            emit StartTheRace();  // the receiver hides this screen: nothing may follow
            return;
    }
    PlaceArrows(selectedRow);
    if (this->*rule.value != before) {
        emit MenuMoved();
    }
}

void StartScreen::StepTrack(int step) {
    logoItem->hide();
    const int track = std::clamp(selectedTrack + step, 0, LAST_TRACK);
    if (track != selectedTrack) {
        ShowTrack(track);
        ShowRaceChoice();
    }
}

void StartScreen::StepLevel(int step) {
    selectedLevel = std::clamp(selectedLevel + step, 0, LAST_LEVEL);
    levelText->setText(QString::fromLatin1(LEVEL_NAMES[selectedLevel]));
    CentreOnCanvas(*levelText);
}

void StartScreen::StepLaps(int step) {
    const auto choice = std::find(std::begin(LAP_CHOICES), std::end(LAP_CHOICES), selectedLaps);
    const int index = int(choice - std::begin(LAP_CHOICES));
    const int last = int(std::size(LAP_CHOICES)) - 1;
    selectedLaps = LAP_CHOICES[std::clamp(index + step, 0, last)];
    lapsText->setText(QString::number(selectedLaps));
    CentreOnCanvas(*lapsText);
    ShowRaceChoice();
}

void StartScreen::StepRaceChoice(int step) {
    selectedRaceChoice = std::clamp(selectedRaceChoice + step, 0, LAST_RACE_CHOICE);
    ShowRaceChoice();
}

void StartScreen::ShowRaceChoice() {
    const bool recordRace =
        vantor != nullptr && vantor->HasRecordReplay(selectedTrack, selectedLaps);
    const RaceChoiceWords& words = RACE_CHOICE_WORDS[selectedRaceChoice];
    raceChoiceText->setText(
        QString::fromLatin1(recordRace ? words.withRecord : words.withoutRecord));
    CentreOnCanvas(*raceChoiceText);
}

void StartScreen::Restyle(int row, const MenuStyle& style) {
    const MenuRowRule& rule = ROW_RULES[row];
    ApplyStyle(*(this->*rule.title), style);
    if (rule.valueText != nullptr) {
        ApplyStyle(*(this->*rule.valueText), style);
    }
}

void StartScreen::PlaceArrows(int row) {
    const MenuRowRule& rule = ROW_RULES[row];
    const int value = rule.value != nullptr ? this->*rule.value : 0;
    leftArrow->setY(rule.arrowY);
    rightArrow->setY(rule.arrowY);
    leftArrow->setVisible(value > rule.lowest);
    rightArrow->setVisible(value < rule.highest);
}

void StartScreen::ApplyStyle(LevelSelectBox& item, const MenuStyle& style) {
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(style.pixelSize);
    font.setWeight(style.bold ? QFont::Bold : QFont::Normal);
    item.setFont(font);
    item.SetColour(style.colour);
    CentreOnCanvas(item);
}

void StartScreen::CentreOnCanvas(QGraphicsItem& item) const {
    item.setX(CentredX(int(canvas.width()), PixelWidth(item)));
}

std::unique_ptr<LevelSelectBox> StartScreen::MakeText(const QString& text, const MenuStyle& style,
                                                      int y) {
    auto item = std::make_unique<LevelSelectBox>(text, style.colour, &canvas);
    item->setY(y);
    ApplyStyle(*item, style);
    item->setZValue(MENU_Z);
    return item;
}
