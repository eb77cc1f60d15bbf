#pragma once

#include <QColor>
#include <QWidget>
#include <memory>

#include "platform/CanvasView.h"
#include "screens/LevelSelectBox.h"
#include "track/ImageItem.h"

class Canvas;

// The menu shown at start-up and after every race: the preview of the selected track under the
// logo, and five rows (track, level, laps, what to race, "Start Race") walked with the arrow keys.
// Each value is reported when the player leaves its row, so the main widget holds what is on screen
// when the race is asked for. The choices stay from one race to the next, and after a race the
// menu opens on "Start Race", so that trying again is one key away.
class StartScreen : public QWidget {
    Q_OBJECT

  public:
    enum MenuRow { rowTrack, rowLevel, rowLaps, rowRaceChoice, rowStartRace };
    // What the player races: the computer's car, the ghost of the track's record race (or the
    // clock alone when there is none), a second player at the yellow car, or the record race to
    // watch.
    enum RaceChoice { raceComputer, raceRecord, raceTwoPlayers, watchRecord };

    StartScreen(Canvas& canvas, QWidget* parent);
    ~StartScreen() override;

    // Builds the menu on the track of the last visit and shows the screen.
    void Show();
    void Initialize();
    // Removes the menu and hides the screen; the track stays selected for the next visit.
    void Hide();
    void ShowTrack(int track);
    void DisplayOnScreenMenu();
    // One key press, by its Qt key code.
    void ChangeSelectedLevel(int key);

  signals:
    void StartTheRace();
    void RaceLevelUpdated(int level);
    void RaceLengthUpdated(int laps);
    void RaceTrackUpdated(int track);
    void RaceChoiceUpdated(int choice);
    // The selection moved to another row or another value; a key that changes nothing is silent.
    void MenuMoved();

  private:
    using MenuText = std::unique_ptr<LevelSelectBox> StartScreen::*;
    struct MenuStyle {
        QColor colour;
        int pixelSize;
        bool bold;
    };
    // What a row shows, where the arrows stand while it is selected, the range of its value
    // (an arrow is hidden at the end it points to) and what reports the value when leaving it.
    struct MenuRowRule {
        MenuText title;
        MenuText valueText;
        int StartScreen::*value;
        int arrowY;
        int lowest;
        int highest;
        void (StartScreen::*reportValue)(int);
    };
    struct MenuTextLayout {
        MenuText field;
        const char* text;
        const MenuStyle* style;
        int y;
    };
    static const MenuStyle HIGHLIGHT;
    static const MenuStyle NORMAL;
    static const MenuRowRule ROW_RULES[];
    static const MenuTextLayout MENU_TEXTS[];

    bool MenuBuilt() const { return trackTitle != nullptr; }
    void MoveToRow(int row);
    void StepValue(int step);
    void StepTrack(int step);
    void StepLevel(int step);
    void StepLaps(int step);
    void StepRaceChoice(int step);
    // The race row's words depend on whether the track and length have a record race.
    void ShowRaceChoice();
    void Restyle(int row, const MenuStyle& style);
    void PlaceArrows(int row);
    void ApplyStyle(LevelSelectBox& item, const MenuStyle& style);
    void CentreOnCanvas(QGraphicsItem& item) const;
    // A hidden menu text in the style, centred on the canvas at this y.
    std::unique_ptr<LevelSelectBox> MakeText(const QString& text, const MenuStyle& style, int y);

    Canvas& canvas;
    std::unique_ptr<CanvasView> view;
    int selectedLevel = 0;
    std::unique_ptr<LevelSelectBox> leftArrow;
    std::unique_ptr<LevelSelectBox> rightArrow;
    std::unique_ptr<LevelSelectBox> startRaceText;
    std::unique_ptr<LevelSelectBox> lapsTitle;
    std::unique_ptr<LevelSelectBox> trackTitle;
    std::unique_ptr<LevelSelectBox> levelTitle;
    std::unique_ptr<LevelSelectBox> levelText;
    std::unique_ptr<LevelSelectBox> lapsText;
    std::unique_ptr<LevelSelectBox> raceChoiceText;
    std::unique_ptr<ImageItem> logoItem;
    int selectedRow = rowTrack;
    int selectedLaps = 5;
    int selectedTrack = 0;
    int selectedRaceChoice = raceComputer;
    // The preview shown last; it belongs to the main widget.
    ImageItem* trackPiece = nullptr;
};
