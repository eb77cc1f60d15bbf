#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "app/Vantor.h"
#include "car/RaceCar.h"
#include "platform/Config.h"
#include "race/TrackLoader.h"
#include "race/VantorScreen.h"
#include "screens/EndScreen.h"
#include "screens/LevelSelectBox.h"
#include "screens/StartScreen.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"

namespace {

// Far more ticks than any race of these tests needs.
constexpr int TICK_LIMIT = 200000;

struct RaceResult {
    bool userWon;
    long elapsedMs;
    double Seconds() const { return double(elapsedMs) / 1000.0; }
};

// The game as the player meets it: keys go to the main widget, the race runs on ticks driven here.
struct Game {
    explicit Game(const QString& pictureDir) : widget(pictureDir), screens(widget) {
        widget.Start();
    }

    void Click(int key) { QTest::keyClick(&widget, Qt::Key(key)); }
    void Send(QEvent::Type type, int key, bool autoRepeat) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(&widget, &event);
    }
    void Keys(std::initializer_list<int> keys) {
        for (int key : keys) {
            Click(key);
        }
    }
    void Tick() { QMetaObject::invokeMethod(screens.race, "TimeEvent"); }

    // Through the countdown to the first race tick that takes keys.
    bool TickUntilKeysAccepted() {
        for (int tick = 0; tick < 10; ++tick) {
            Tick();
            if (screens.race->Phase() == VantorScreen::phaseRacing && screens.race->KeysEnabled()) {
                return true;
            }
        }
        return false;
    }

    std::optional<RaceResult> RunToEnd() {
        QSignalSpy over(screens.race, &VantorScreen::RaceOver);
        for (int tick = 0; tick < TICK_LIMIT && over.isEmpty(); ++tick) {
            Tick();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (over.size() != 1) {
            return std::nullopt;
        }
        return RaceResult{over.at(0).at(0).toBool(), over.at(0).at(1).value<long>()};
    }

    // Which screen is on show: "start", "race", "end", or what is wrong.
    QString ActiveScreen() const {
        QStringList shown;
        if (screens.start->isVisible()) {
            shown << "start";
        }
        if (screens.race->isVisible()) {
            shown << "race";
        }
        if (screens.end->isVisible()) {
            shown << "end";
        }
        return shown.join('+');
    }

    Vantor widget;
    GameScreens screens;
};

using PieceAt = std::tuple<int, int, int, int>;  // kind, left, top, level

QList<PieceAt> Pieces(const std::vector<std::unique_ptr<GridSection>>& sections) {
    QList<PieceAt> pieces;
    for (const auto& section : sections) {
        pieces.append({section->PieceKind(), section->GetGridMinXValue(),
                       section->GetGridMinYValue(), section->LevelValue()});
    }
    return pieces;
}

QList<PieceAt> BuiltInPieces(int track) {
    QGraphicsScene scratch;
    std::vector<std::unique_ptr<GridSection>> sections;
    LoadTrackLayout(track, &scratch, sections);
    return Pieces(sections);
}

// The records file's key of a race, e.g. "/LapTime/Track0/FiveLaps".
QString RecordKey(int track, int laps) {
    const QMap<int, QString> words{{1, "/OneLap"}, {5, "/FiveLaps"}, {25, "/TwentyFiveLaps"}};
    return QStringLiteral("/LapTime/Track%1").arg(track) + words.value(laps);
}

QString StoredRecord(int track, int laps) {
    Config store(QStringLiteral("Vantor"));
    store.setGroup(QStringLiteral("vantor"));
    return store.readEntry(RecordKey(track, laps), QString());
}

// A records file holding this one record and nothing else.
void SeedRecord(const QString& file, int track, int laps, const QString& seconds) {
    QFile::remove(file);
    Config store(QStringLiteral("Vantor"));
    store.setGroup(QStringLiteral("vantor"));
    store.writeEntry(RecordKey(track, laps), seconds);
    QVERIFY(store.save());
}

QString RecordLine(double seconds) {
    return QString::asprintf("Track Record: %3.3f", seconds);
}

}  // namespace

class GameFlowTest : public QObject {
    Q_OBJECT

  private slots:
    void startUpShowsTheMenuInAFixedWindow();
    void racesRunWithTheValuesOnScreenAndReturnToTheMenu();
    void heldArrowRepeatsOnTheMenuButPressesOnceInTheRace();
    void recordsKeepTheFastestFinishedRace();
    void missingPicturesDirectoryBuildsNoScreensAndDropsKeys();
    void manyRacesLeaveNoItemsBehind();
    void recordsThatCannotBeSavedAreReported();

  private:
    // Runs one race of 5 laps on track index 0 from a fresh game that reads the records file.
    std::optional<RaceResult> FiveLapRaceOnFirstTrack(bool giveUp);

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;
    // Filled by the last FiveLapRaceOnFirstTrack.
    QString lastRecordLine;
    QString lastTimeLine;
};

void GameFlowTest::startUpShowsTheMenuInAFixedWindow() {
    Game game(pictures.Path());
    QVERIFY(game.widget.ScreensReady());
    QCOMPARE(game.ActiveScreen(), QStringLiteral("start"));
    QCOMPARE(ShownPreview(), 0);
    QVERIFY(MenuText(*game.screens.canvas, "Select Track")->isVisible());
    QVERIFY(game.widget.isVisible());
    QCOMPARE(game.widget.minimumSize(), QSize(240, 300));
    QCOMPARE(game.widget.maximumSize(), QSize(240, 300));
    QCOMPARE(game.screens.start->size(), QSize(240, 300));
}

void GameFlowTest::racesRunWithTheValuesOnScreenAndReturnToTheMenu() {
    QVERIFY(BuiltInPieces(2) != BuiltInPieces(0));
    Game game(pictures.Path());
    // Track index 2, "Medium", then Left below 5 laps: a one-lap race.
    game.Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down,
               Qt::Key_Left, Qt::Key_Down, Qt::Key_Return});
    QCOMPARE(game.ActiveScreen(), QStringLiteral("race"));
    QVERIFY(MenuTexts(*game.screens.canvas).isEmpty());
    QCOMPARE(ShownPreview(), -1);
    QCOMPARE(Pieces(game.screens.race->GridSections()), BuiltInPieces(2));
    QCOMPARE(game.screens.race->Car(computerControl)->maxSpeed, 5);

    std::optional<RaceResult> result = game.RunToEnd();
    QVERIFY(result.has_value());
    QVERIFY(!result->userWon);
    QVERIFY(result->elapsedMs > 0);
    QCOMPARE(game.ActiveScreen(), QStringLiteral("end"));
    const EndScreen& end = *game.screens.end;
    QCOMPARE(end.LapCountText()->text(), QStringLiteral("Number of Laps: 1"));
    QCOMPARE(end.RaceTimeText()->text(), QString::asprintf("Race Time: %3.3f", result->Seconds()));
    QCOMPARE(end.RecordText()->text(), QStringLiteral("A New Record"));
    QVERIFY(QFile::exists(configHome.RecordsFile()));
    QCOMPARE(StoredRecord(2, 1), QString::number(result->Seconds(), 'g', 6));
    QCOMPARE(StoredRecord(2, 25), QStringLiteral("999.99"));

    // A key still repeating from the race does not skip the result; a fresh press leaves it.
    game.Send(QEvent::KeyPress, Qt::Key_Up, true);
    QCOMPARE(game.ActiveScreen(), QStringLiteral("end"));
    game.Click(Qt::Key_Space);
    QCOMPARE(game.ActiveScreen(), QStringLiteral("start"));
    QVERIFY(end.RecordText() == nullptr);
    QCOMPARE(ShownPreview(), 2);
    QVERIFY(MenuText(*game.screens.canvas, "<<")->isVisible());
    QVERIFY(MenuText(*game.screens.canvas, ">>")->isVisible());
    QCOMPARE(MenuText(*game.screens.canvas, "Select Track")->Colour(), QColor(255, 255, 80));
    QVERIFY(MenuText(*game.screens.canvas, "Easy") != nullptr);
    QVERIFY(MenuText(*game.screens.canvas, "5") != nullptr);

    // A second race in the same run: same track, the reset level and laps.
    game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    QCOMPARE(game.ActiveScreen(), QStringLiteral("race"));
    QCOMPARE(Pieces(game.screens.race->GridSections()), BuiltInPieces(2));
    QCOMPARE(game.screens.race->Car(computerControl)->maxSpeed, 4);
    result = game.RunToEnd();
    QVERIFY(result.has_value());
    QCOMPARE(game.ActiveScreen(), QStringLiteral("end"));
    QCOMPARE(end.LapCountText()->text(), QStringLiteral("Number of Laps: 5"));
    QCOMPARE(StoredRecord(2, 5), QString::number(result->Seconds(), 'g', 6));
    game.Click(Qt::Key_Return);
    QCOMPARE(game.ActiveScreen(), QStringLiteral("start"));
    QCOMPARE(ShownPreview(), 2);
}

void GameFlowTest::heldArrowRepeatsOnTheMenuButPressesOnceInTheRace() {
    Game game(pictures.Path());
    game.Send(QEvent::KeyPress, Qt::Key_Right, false);
    for (int repeat = 0; repeat < 3; ++repeat) {
        game.Send(QEvent::KeyRelease, Qt::Key_Right, true);
        game.Send(QEvent::KeyPress, Qt::Key_Right, true);
    }
    game.Send(QEvent::KeyRelease, Qt::Key_Right, false);
    QCOMPARE(ShownPreview(), 4);

    for (int press = 0; press < 4; ++press) {
        game.Click(Qt::Key_Left);
    }
    game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    QVERIFY(game.TickUntilKeysAccepted());
    const RaceCar& car = *game.screens.race->Car(userControl);
    const QPointF start = car.pos();

    // Held Up: the repeated releases between ticks must not reach the race screen.
    game.Send(QEvent::KeyPress, Qt::Key_Up, false);
    for (int tick = 0; tick < 13; ++tick) {
        game.Send(QEvent::KeyRelease, Qt::Key_Up, true);
        game.Tick();
        game.Send(QEvent::KeyPress, Qt::Key_Up, true);
    }
    QCOMPARE(car.speed, 3);
    QVERIFY(car.pos().y() < start.y() - 15);

    // Let go: repeated presses alone do not press the key again.
    game.Send(QEvent::KeyRelease, Qt::Key_Up, false);
    for (int tick = 0; tick < 13; ++tick) {
        game.Send(QEvent::KeyPress, Qt::Key_Up, true);
        game.Tick();
    }
    QCOMPARE(car.speed, 3);
}

std::optional<RaceResult> GameFlowTest::FiveLapRaceOnFirstTrack(bool giveUp) {
    Game game(pictures.Path());
    game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    if (giveUp) {
        if (!game.TickUntilKeysAccepted()) {
            return std::nullopt;
        }
        for (int tick = 0; tick < 50; ++tick) {
            game.Tick();
        }
        game.Click(Qt::Key_Escape);
    }
    const std::optional<RaceResult> result = game.RunToEnd();
    if (result.has_value() && game.ActiveScreen() == "end") {
        lastTimeLine = game.screens.end->RaceTimeText()->text();
        lastRecordLine = game.screens.end->RecordText()->text();
    }
    return result;
}

void GameFlowTest::recordsKeepTheFastestFinishedRace() {
    const QString file = configHome.RecordsFile();
    SeedRecord(file, 0, 5, QStringLiteral("999.99"));
    const std::optional<RaceResult> first = FiveLapRaceOnFirstTrack(false);
    QVERIFY(first.has_value());
    // The computer won, and its time is the record all the same.
    QVERIFY(!first->userWon);
    const double time = first->Seconds();
    QCOMPARE(StoredRecord(0, 5), QString::number(time, 'g', 6));
    QCOMPARE(lastRecordLine, QStringLiteral("A New Record"));

    struct Case {
        double storedRecord;
        double recordAfter;
        QString recordLine;
    };
    const Case cases[] = {
        {time + 0.03, time, "A New Record"},                  // slower record: replaced
        {time, time, "A New Record"},                         // equal: kept, and still announced
        {time - 0.03, time - 0.03, RecordLine(time - 0.03)},  // faster record: kept
    };
    for (const Case& check : cases) {
        SeedRecord(file, 0, 5, QString::number(check.storedRecord, 'g', 6));
        const std::optional<RaceResult> race = FiveLapRaceOnFirstTrack(false);
        QVERIFY(race.has_value());
        QCOMPARE(race->elapsedMs, first->elapsedMs);
        QCOMPARE(StoredRecord(0, 5), QString::number(check.recordAfter, 'g', 6));
        QCOMPARE(lastRecordLine, check.recordLine);
        // The whole table is written after every race, changed or not.
        QCOMPARE(StoredRecord(14, 25), QStringLiteral("999.99"));
    }

    // A race given up is no finished race: its time shows, the standing record stays.
    for (const QString& standing : {QStringLiteral("999.99"), QString::number(time, 'g', 6)}) {
        SeedRecord(file, 0, 5, standing);
        const std::optional<RaceResult> givenUp = FiveLapRaceOnFirstTrack(true);
        QVERIFY(givenUp.has_value());
        QVERIFY(!givenUp->userWon);
        QVERIFY(givenUp->Seconds() < standing.toDouble());
        QCOMPARE(StoredRecord(0, 5), standing);
        QCOMPARE(lastTimeLine, QString::asprintf("Race Time: %3.3f", givenUp->Seconds()));
        QCOMPARE(lastRecordLine, RecordLine(standing.toDouble()));
    }
}

void GameFlowTest::missingPicturesDirectoryBuildsNoScreensAndDropsKeys() {
    const QString missing = pictures.Path() + QStringLiteral("missing/");
    MessageBoxWatcher watcher;
    Vantor game(missing);
    QCOMPARE(watcher.Warnings().size(), 1);
    const ShownWarning& warning = watcher.Warnings().first();
    QCOMPARE(warning.caption, QStringLiteral("Vantor"));
    QCOMPARE(warning.text, QStringLiteral("Could not locate Directory ") + missing);
    QCOMPARE(warning.buttons, QStringList{"Quit"});

    QVERIFY(!game.ScreensReady());
    const GameScreens screens(game);
    QVERIFY(screens.start == nullptr);
    QVERIFY(screens.race == nullptr);
    QVERIFY(screens.end == nullptr);
    QVERIFY(game.GetTrackImage(0) == nullptr);

    game.Start();
    for (int key :
         {Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Left, Qt::Key_Q, Qt::Key_R}) {
        QTest::keyClick(&game, Qt::Key(key));
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&game, &repeat);
    }
    QVERIFY(game.isVisible());
    QCOMPARE(watcher.Warnings().size(), 1);
    QVERIFY(game.close());
    QVERIFY(!game.isVisible());
}

void GameFlowTest::manyRacesLeaveNoItemsBehind() {
    Game game(pictures.Path());
    const int itemsOnMenu = game.screens.canvas->items().size();
    for (int race = 0; race < 8; ++race) {
        game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Left, Qt::Key_Down, Qt::Key_Return});
        QVERIFY(game.screens.canvas->items().size() > itemsOnMenu);
        if (race % 2 == 1) {
            QVERIFY(game.TickUntilKeysAccepted());
            game.Click(Qt::Key_Escape);
        }
        QVERIFY(game.RunToEnd().has_value());
        game.Click(Qt::Key_Space);
        QCOMPARE(game.ActiveScreen(), QStringLiteral("start"));
        QCOMPARE(game.screens.canvas->items().size(), itemsOnMenu);
    }
}

void GameFlowTest::recordsThatCannotBeSavedAreReported() {
    // A folder where the records file belongs cannot be replaced by the file.
    const QString file = configHome.RecordsFile();
    QFile::remove(file);
    QVERIFY(QDir().mkdir(file));
    {
        MessageBoxWatcher watcher;
        Game game(pictures.Path());
        game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
        QVERIFY(game.TickUntilKeysAccepted());
        game.Click(Qt::Key_Escape);
        QVERIFY(game.RunToEnd().has_value());
        QCOMPARE(game.ActiveScreen(), QStringLiteral("end"));
        QCOMPARE(watcher.Warnings().size(), 1);
        QCOMPARE(watcher.Warnings().first().caption, QStringLiteral("Vantor"));
        QCOMPARE(watcher.Warnings().first().text,
                 QStringLiteral("Could not save the race records"));
        QCOMPARE(watcher.Warnings().first().buttons, QStringList{"OK"});
    }
    QVERIFY(QDir().rmdir(file));
}

QTEST_MAIN(GameFlowTest)
#include "tst_game_flow.moc"
