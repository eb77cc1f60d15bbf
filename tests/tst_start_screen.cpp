#include <QGraphicsScene>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/Vantor.h"
#include "platform/Canvas.h"
#include "screens/LevelSelectBox.h"
#include "screens/StartScreen.h"
#include "tests/support/GameFixture.h"
#include "track/ImageItem.h"

namespace {

const QColor HIGHLIGHT_COLOUR(255, 255, 80);
const QColor NORMAL_COLOUR(75, 234, 254);
const QStringList ROW_TRACK{"Select Track"};
const QStringList ROW_LEVEL{"Select Level", "level"};
const QStringList ROW_LAPS{"Laps", "laps"};
const QStringList ROW_START{"Start Race"};

// x of an item centred on the 225-pixel canvas, both halves truncated.
int CentredOnCanvas(const QGraphicsItem& item) {
    return 225 / 2 - int(std::ceil(item.boundingRect().width())) / 2;
}

// A start menu of its own on the game's canvas: its signals reach only the test.
struct MenuUnderTest {
    explicit MenuUnderTest(const QString& pictureDir)
        : game(pictureDir),
          canvas(*GameScreens(game).canvas),
          menu(static_cast<Canvas&>(canvas), nullptr) {
        QObject::connect(&menu, &StartScreen::RaceTrackUpdated,
                         [this](int track) { reports << QStringLiteral("track %1").arg(track); });
        QObject::connect(&menu, &StartScreen::RaceLevelUpdated,
                         [this](int level) { reports << QStringLiteral("level %1").arg(level); });
        QObject::connect(&menu, &StartScreen::RaceLengthUpdated,
                         [this](int laps) { reports << QStringLiteral("laps %1").arg(laps); });
        QObject::connect(&menu, &StartScreen::StartTheRace,
                         [this]() { reports << QStringLiteral("start"); });
        menu.Show();
    }

    // The item of a row: its title, or "level" and "laps" for the value texts.
    LevelSelectBox* Item(const QString& name) const {
        const QList<LevelSelectBox*> texts = MenuTexts(canvas);
        for (LevelSelectBox* text : texts) {
            const qreal y = text->y();
            const bool arrow = text->text() == "<<" || text->text() == ">>";
            if ((name == "level" && y == 190) || (name == "laps" && y == 225 && !arrow) ||
                text->text() == name) {
                return text;
            }
        }
        return nullptr;
    }
    LevelSelectBox& Arrow(const char* text) const { return *MenuText(canvas, text); }

    void Press(int key) { menu.ChangeSelectedLevel(key); }
    QStringList TakeReports() { return std::exchange(reports, {}); }

    Vantor game;
    QGraphicsScene& canvas;
    StartScreen menu;
    QStringList reports;
};

void CheckStyle(const LevelSelectBox& item, bool highlighted) {
    QCOMPARE(item.Colour(), highlighted ? HIGHLIGHT_COLOUR : NORMAL_COLOUR);
    QCOMPARE(item.font().family(), QStringLiteral("Helvetica"));
    QCOMPARE(item.font().pixelSize(), highlighted ? 12 : 10);
    QCOMPARE(item.font().weight(), highlighted ? QFont::Bold : QFont::Normal);
    QVERIFY(!item.font().italic());
}

// The selected row is highlighted, every other row normal, each text centred on its own width.
void CheckHighlightedRow(const MenuUnderTest& menu, const QStringList& selected) {
    for (const QStringList& row : {ROW_TRACK, ROW_LEVEL, ROW_LAPS, ROW_START}) {
        for (const QString& name : row) {
            const LevelSelectBox* item = menu.Item(name);
            QVERIFY2(item != nullptr, qPrintable(name));
            CheckStyle(*item, row == selected);
            QCOMPARE(int(item->x()), CentredOnCanvas(*item));
        }
    }
}

void CheckArrows(const MenuUnderTest& menu, int y, bool leftShown, bool rightShown) {
    const LevelSelectBox& left = menu.Arrow("<<");
    const LevelSelectBox& right = menu.Arrow(">>");
    QCOMPARE(left.pos(), QPointF(52, y));
    QCOMPARE(right.pos(), QPointF(166, y));
    QCOMPARE(left.isVisible(), leftShown);
    QCOMPARE(right.isVisible(), rightShown);
    CheckStyle(left, true);
    CheckStyle(right, true);
}

}  // namespace

class StartScreenTest : public QObject {
    Q_OBJECT

  private slots:
    void menuAtStartUp();
    void rowMovesReportTheValueLeft();
    void trackRowWalksThePreviews();
    void levelRowSteps();
    void lapsRowStepsWithTheHiddenOneLapRace();
    void startRaceKeysOnlyOnTheLastRow();
    void hideRemovesTheMenuAndShowRebuildsItOnTheSameTrack();

  private:
    TemporaryConfigHome configHome;
    PreviewDirectory pictures;
};

void StartScreenTest::menuAtStartUp() {
    MenuUnderTest menu(pictures.Path());
    QVERIFY(menu.menu.isVisible());
    QCOMPARE(ShownPreview(), 0);

    const ImageItem* logo = StartLogo(menu.canvas);
    QVERIFY(logo != nullptr);
    QVERIFY(logo->isVisible());
    QCOMPARE(logo->pos(), QPointF(22, 5));
    // The logo lies over the preview.
    const QList<QGraphicsItem*> underLogo = menu.canvas.items(QPointF(112, 60));
    QVERIFY(!underLogo.isEmpty());
    QCOMPARE(underLogo.first(), logo);

    struct Expected {
        const char* text;
        int y;
        bool highlighted;
    };
    const Expected expected[] = {{"Select Track", 150, true}, {"Select Level", 175, false},
                                 {"Easy", 190, false},        {"Laps", 210, false},
                                 {"5", 225, false},           {"Start Race", 245, false}};
    for (const Expected& row : expected) {
        const LevelSelectBox* item = MenuText(menu.canvas, row.text);
        QVERIFY2(item != nullptr, row.text);
        QVERIFY(item->isVisible());
        QCOMPARE(int(item->y()), row.y);
        QCOMPARE(int(item->x()), CentredOnCanvas(*item));
        QCOMPARE(item->zValue(), 1.0);
        CheckStyle(*item, row.highlighted);
    }
    QCOMPARE(MenuTexts(menu.canvas).size(), 8);
    CheckArrows(menu, 150, false, true);
    QVERIFY(menu.reports.isEmpty());
}

void StartScreenTest::rowMovesReportTheValueLeft() {
    MenuUnderTest menu(pictures.Path());
    struct Step {
        int key;
        const char* report;  // empty: nothing reported
        QStringList selected;
        int arrowY;
        bool leftShown;
        bool rightShown;
    };
    const Step steps[] = {
        {Qt::Key_Up, "", ROW_TRACK, 150, false, true},
        {Qt::Key_Down, "track 0", ROW_LEVEL, 175, false, true},
        {Qt::Key_Down, "level 0", ROW_LAPS, 210, false, true},
        {Qt::Key_Down, "laps 5", ROW_START, 245, true, true},
        {Qt::Key_Down, "", ROW_START, 245, true, true},
        {Qt::Key_Up, "", ROW_LAPS, 210, false, true},
        {Qt::Key_Up, "laps 5", ROW_LEVEL, 175, false, true},
        {Qt::Key_Up, "level 0", ROW_TRACK, 150, false, true},
    };
    for (const Step& step : steps) {
        menu.Press(step.key);
        const QStringList reports = menu.TakeReports();
        QCOMPARE(reports, *step.report ? QStringList{step.report} : QStringList{});
        CheckHighlightedRow(menu, step.selected);
        CheckArrows(menu, step.arrowY, step.leftShown, step.rightShown);
    }
}

void StartScreenTest::trackRowWalksThePreviews() {
    MenuUnderTest menu(pictures.Path());
    menu.Press(Qt::Key_Left);
    QCOMPARE(ShownPreview(), 0);
    QVERIFY(!StartLogo(menu.canvas)->isVisible());
    CheckArrows(menu, 150, false, true);

    for (int track = 1; track <= 14; ++track) {
        menu.Press(Qt::Key_Right);
        QCOMPARE(ShownPreview(), track);
        CheckArrows(menu, 150, true, track < 14);
    }
    menu.Press(Qt::Key_Right);
    QCOMPARE(ShownPreview(), 14);
    CheckArrows(menu, 150, true, false);
    menu.Press(Qt::Key_Left);
    QCOMPARE(ShownPreview(), 13);
    CheckArrows(menu, 150, true, true);
    QVERIFY(!StartLogo(menu.canvas)->isVisible());
    CheckHighlightedRow(menu, ROW_TRACK);
    QVERIFY(menu.reports.isEmpty());

    menu.Press(Qt::Key_Down);
    QCOMPARE(menu.TakeReports(), QStringList{"track 13"});
}

void StartScreenTest::levelRowSteps() {
    MenuUnderTest menu(pictures.Path());
    menu.Press(Qt::Key_Down);
    menu.TakeReports();
    struct Step {
        int key;
        const char* text;
        bool leftShown;
        bool rightShown;
    };
    const Step steps[] = {
        {Qt::Key_Right, "Medium", true, true}, {Qt::Key_Right, "Hard", true, false},
        {Qt::Key_Right, "Hard", true, false},  {Qt::Key_Left, "Medium", true, true},
        {Qt::Key_Left, "Easy", false, true},   {Qt::Key_Left, "Easy", false, true},
        {Qt::Key_Right, "Medium", true, true},
    };
    for (const Step& step : steps) {
        menu.Press(step.key);
        const LevelSelectBox* level = menu.Item("level");
        QCOMPARE(level->text(), QString(step.text));
        QCOMPARE(int(level->x()), CentredOnCanvas(*level));
        CheckStyle(*level, true);
        CheckArrows(menu, 175, step.leftShown, step.rightShown);
    }
    QVERIFY(menu.reports.isEmpty());
    menu.Press(Qt::Key_Up);
    QCOMPARE(menu.TakeReports(), QStringList{"level 1"});
    menu.Press(Qt::Key_Down);
    menu.Press(Qt::Key_Right);
    menu.Press(Qt::Key_Down);
    QCOMPARE(menu.TakeReports(), (QStringList{"track 0", "level 2"}));
}

void StartScreenTest::lapsRowStepsWithTheHiddenOneLapRace() {
    MenuUnderTest menu(pictures.Path());
    menu.Press(Qt::Key_Down);
    menu.Press(Qt::Key_Down);
    menu.TakeReports();
    struct Step {
        int key;
        const char* text;
        bool leftShown;
        bool rightShown;
    };
    const Step steps[] = {
        {Qt::Key_Right, "10", true, true},  {Qt::Key_Right, "15", true, true},
        {Qt::Key_Right, "20", true, true},  {Qt::Key_Right, "25", true, false},
        {Qt::Key_Right, "25", true, false}, {Qt::Key_Left, "20", true, true},
        {Qt::Key_Left, "15", true, true},   {Qt::Key_Left, "10", true, true},
        {Qt::Key_Left, "5", false, true},   {Qt::Key_Left, "1", false, true},
        {Qt::Key_Left, "1", false, true},   {Qt::Key_Right, "5", false, true},
        {Qt::Key_Left, "1", false, true},
    };
    for (const Step& step : steps) {
        menu.Press(step.key);
        const LevelSelectBox* laps = menu.Item("laps");
        QCOMPARE(laps->text(), QString(step.text));
        QCOMPARE(int(laps->x()), CentredOnCanvas(*laps));
        CheckArrows(menu, 210, step.leftShown, step.rightShown);
    }
    QVERIFY(menu.reports.isEmpty());
    menu.Press(Qt::Key_Down);
    QCOMPARE(menu.TakeReports(), QStringList{"laps 1"});
    // Back on the row, no arrow points below one lap.
    menu.Press(Qt::Key_Up);
    QVERIFY(menu.reports.isEmpty());
    CheckArrows(menu, 210, false, true);
    menu.Press(Qt::Key_Up);
    QCOMPARE(menu.TakeReports(), QStringList{"laps 1"});
}

void StartScreenTest::startRaceKeysOnlyOnTheLastRow() {
    MenuUnderTest menu(pictures.Path());
    const int confirmKeys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape};
    const int otherKeys[] = {Qt::Key_Space, Qt::Key_A, Qt::Key_Q, Qt::Key_R, Qt::Key_Tab};
    for (int row = 0; row < 3; ++row) {
        for (int key : confirmKeys) {
            menu.Press(key);
        }
        for (int key : otherKeys) {
            menu.Press(key);
        }
        QVERIFY(menu.reports.isEmpty());
        menu.Press(Qt::Key_Down);
        menu.TakeReports();
    }
    CheckHighlightedRow(menu, ROW_START);
    for (int key : otherKeys) {
        menu.Press(key);
    }
    QVERIFY(menu.reports.isEmpty());
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Left, Qt::Key_Right}) {
        menu.Press(key);
        QCOMPARE(menu.TakeReports(), QStringList{"start"});
    }
    // Asking for the race changes nothing on the menu itself.
    CheckHighlightedRow(menu, ROW_START);
    CheckArrows(menu, 245, true, true);
}

void StartScreenTest::hideRemovesTheMenuAndShowRebuildsItOnTheSameTrack() {
    MenuUnderTest menu(pictures.Path());
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                    Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down,
                    Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}) {
        menu.Press(key);
    }
    QCOMPARE(menu.TakeReports(), (QStringList{"track 6", "level 2", "laps 15"}));
    const int itemsWithMenu = menu.canvas.items().size();

    menu.menu.Hide();
    QVERIFY(!menu.menu.isVisible());
    QVERIFY(MenuTexts(menu.canvas).isEmpty());
    QVERIFY(StartLogo(menu.canvas) == nullptr);
    QCOMPARE(ShownPreview(), -1);
    QCOMPARE(menu.canvas.items().size(), itemsWithMenu - 9);
    // A hidden menu ignores keys.
    menu.Press(Qt::Key_Down);
    menu.Press(Qt::Key_Return);
    QVERIFY(menu.reports.isEmpty());

    menu.menu.Show();
    QVERIFY(menu.menu.isVisible());
    QCOMPARE(ShownPreview(), 6);
    QVERIFY(StartLogo(menu.canvas)->isVisible());
    QCOMPARE(menu.Item("level")->text(), QStringLiteral("Easy"));
    QCOMPARE(menu.Item("laps")->text(), QStringLiteral("5"));
    CheckHighlightedRow(menu, ROW_TRACK);
    CheckArrows(menu, 150, true, true);
    QCOMPARE(menu.canvas.items().size(), itemsWithMenu);

    menu.Press(Qt::Key_Down);
    menu.Press(Qt::Key_Down);
    menu.Press(Qt::Key_Down);
    QCOMPARE(menu.TakeReports(), (QStringList{"track 6", "level 0", "laps 5"}));
}

QTEST_MAIN(StartScreenTest)
#include "tst_start_screen.moc"
