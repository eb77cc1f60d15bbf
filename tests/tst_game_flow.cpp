#include <QSignalSpy>
#include <QtTest>

#include "app/Globals.h"
#include "platform/Config.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"

namespace {

const auto Seconds = [](long ms) { return QString::number(ms / 1000.0, 'g', 6); };
// The records file's entry, e.g. "Track0/FiveLaps"; with a value, sets it first.
QString Record(const QString& key, const QString& value = QString()) {
    Config store(QStringLiteral("Vantor"));
    store.setGroup(QStringLiteral("vantor"));
    value.isNull() ? void() : store.writeEntry("/LapTime/" + key, value);
    return store.readEntry("/LapTime/" + key, QString());
}

// What the player sees, each fact named so that a failure shows which one differs: the screens on
// show, the computer's top speed in a race, the track preview, the number of menu texts and the end
// screen's lines.
QStringList OnShow(const QString& screens, int topSpeed, int preview, int menuTexts,
                   const QStringList& endLines = {"", "", ""}) {
    return QString::asprintf("screens %s|top speed %d|preview %d|menu texts %d",
                             qPrintable(screens), topSpeed, preview, menuTexts)
               .split('|') +
           endLines;
}
// The warning boxes shown, each its caption, text and buttons.
QStringList Told(const QList<ShownWarning>& boxes) {
    QStringList told;
    for (const ShownWarning& box : boxes)
        told << (QStringList{box.caption, box.text} + box.buttons).join(" | ");
    return told;
}

const QStringList MENU_ON_TRACK_3 = OnShow("StartScreen", 0, 2, 9);

// The game as the player meets it: keys go to the main widget, the race runs on ticks driven here.
struct Game {
    explicit Game(const QString& dir) : widget(dir), screens(widget) { widget.Start(); }
    // Clicks of Up, Down, Left, Right, Return, Space and Escape by sign; then what is on show.
    QStringList Keys(const QString& clicks) {
        const int keys[] = {Qt::Key_Up,     Qt::Key_Down,  Qt::Key_Left,  Qt::Key_Right,
                            Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape};
        for (const QChar click : clicks)
            QTest::keyClick(&widget, Qt::Key(keys[QStringLiteral("^v<>\n E").indexOf(click)]));
        return State();
    }
    // One key's events by letter: P and R a press and a release, p and r their auto-repeats; T a
    // race tick.
    void Play(int key, const QString& script) {
        for (const QChar step : script) {
            QKeyEvent event(step.toUpper() == 'P' ? QEvent::KeyPress : QEvent::KeyRelease, key,
                            Qt::NoModifier, QString(), step.isLower());
            step == 'T' ? void(QMetaObject::invokeMethod(screens.race, "TimeEvent"))
                        : void(QApplication::sendEvent(&widget, &event));
        }
    }
    // Ticks until the race ends once; then what is on show.
    QStringList RunToEnd() {
        QSignalSpy over(screens.race, &VantorScreen::RaceOver);
        for (int tick = 0; tick < 200000 && over.isEmpty(); ++tick) Play(0, "T");
        ms = over.size() == 1 ? over[0][1].value<long>() : -1;
        return State();
    }
    // What is on show now; the race time as "time" when it is that of the last race.
    QStringList State() const {
        const auto text = [](auto* item) { return item != nullptr ? item->text() : QString(); };
        const EndScreen& end = *screens.end;
        const QString time = text(end.RaceTimeText());
        const bool thisRace = time == QString::asprintf("Race Time: %3.3f", double(ms) / 1000.0);
        QStringList screensShown;
        for (const QWidget* screen :
             {(QWidget*)screens.start, (QWidget*)screens.race, (QWidget*)screens.end})
            if (screen->isVisible())
                screensShown << screen->metaObject()->className();
        return OnShow(screensShown.join('+'),
                      screens.race->isVisible() ? screens.race->Car(computerControl)->maxSpeed : 0,
                      ShownPreview(), int(ItemsOf<LevelSelectBox>(*screens.canvas).size()),
                      {text(end.LapCountText()), thisRace ? "time" : time, text(end.RecordText())});
    }

    Vantor widget;
    GameScreens screens;
    long ms = -1;
};

}  // namespace

class GameFlowTest : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;

  private slots:
    void playedThroughTheMainWidget() {
        Game game(pictures.Path());
        QCOMPARE(game.State(), OnShow("StartScreen", 0, 0, 9));

        // A held arrow keeps moving through the menu, to track index 2; "Medium", then Left below
        // 5 laps: a one-lap race.
        game.Play(Qt::Key_Right, "PrpR");
        QCOMPARE(game.Keys("v>v<vv\n"), OnShow("VantorScreen", 5, -1, 0));
        // Held Up in the race is one press: repeated releases and presses between ticks, and
        // after letting go repeated presses alone, do not reach the race screen.
        const RaceCar& car = *game.screens.race->Car(userControl);
        const QPointF start = car.pos();
        game.Play(Qt::Key_Up, QString(10, 'T') + "P" + QString("rTp").repeated(13));
        QCOMPARE(car.speed, 3);
        QVERIFY(car.pos().y() < start.y() - 15);
        game.Play(Qt::Key_Up, "R" + QString("pT").repeated(13));
        QCOMPARE(car.speed, 3);

        QCOMPARE(game.RunToEnd(),
                 OnShow("EndScreen", 0, -1, 0, {"Number of Laps: 1", "time", "A New Record"}));
        QCOMPARE(Record("Track2/OneLap"), Seconds(game.ms));
        // A key still repeating from the race does not skip the result; a fresh press leaves it for
        // the menu, rebuilt on the same track.
        game.Play(Qt::Key_Up, "p");
        QCOMPARE(game.State().first(), "screens EndScreen");
        QCOMPARE(game.Keys(" "), MENU_ON_TRACK_3);

        // Racing again is one key away: the menu keeps "Medium" and one lap, on "Start Race". The
        // computer's car, alone on the track, equals the record this time: no new record.
        const long firstMs = game.ms;
        QCOMPARE(game.Keys("\n"), OnShow("VantorScreen", 5, -1, 0));
        QCOMPARE(game.RunToEnd(),
                 OnShow("EndScreen", 0, -1, 0,
                        {"Number of Laps: 1", "time",
                         QString::asprintf("Track Record: %3.3f", firstMs / 1000.0)}));
        QCOMPARE(game.ms, firstMs);

        // Many races, finished or given up, leave no items behind. With a folder where the records
        // file belongs, no save succeeds, and the player is told each time.
        QVERIFY(QFile::remove(configHome.RecordsFile()));
        QVERIFY(QDir().mkdir(configHome.RecordsFile()));
        MessageBoxWatcher watcher;
        QCOMPARE(game.Keys("\n"), MENU_ON_TRACK_3);
        const int itemsOnMenu = game.screens.canvas->items().size();
        for (int race = 1; race <= 6; ++race) {
            QCOMPARE(game.Keys("\n").first(), "screens VantorScreen");
            QVERIFY(game.screens.canvas->items().size() > itemsOnMenu);
            game.Play(Qt::Key_Escape, race % 2 == 0 ? QString(10, 'T') + "PR" : "");
            game.RunToEnd();
            QCOMPARE(watcher.Warnings().size(), race);
            QCOMPARE(game.Keys(" "), MENU_ON_TRACK_3);
            QCOMPARE(game.screens.canvas->items().size(), itemsOnMenu);
        }
        QCOMPARE(Told(watcher.Warnings()).last(), "Vantor | Could not save the race records to " +
                                                      configHome.RecordsFile() +
                                                      ": it is a folder, not a file. | OK");
        QVERIFY(QDir().rmdir(configHome.RecordsFile()));
    }

    void recordsKeepTheFastestFinishedRace() {
        // A five-lap race on the first track, the player idle, from a fresh game over this record:
        // the end screen's record line, and the record after it ("this race" for its own time).
        long ms = 0;
        // With `meanwhile`, another game keeps the record while this one shows its menu, this
        // one having read none.
        const auto race = [&](const QString& record, bool giveUp, bool meanwhile = false) {
            Record("Track0/FiveLaps", meanwhile ? "999.99" : record);
            Game game(pictures.Path());
            if (meanwhile)
                Record("Track0/FiveLaps", record);
            game.Keys("vvvv\n");
            game.Play(Qt::Key_Escape, giveUp ? QString(60, 'T') + "PR" : "");
            const QStringList end = game.RunToEnd().mid(4);
            ms = game.ms;
            const QString after = Record("Track0/FiveLaps");
            return QStringList{end.value(1), end.value(2),
                               after == Seconds(ms) ? "this race" : after};
        };
        // The record line for this one, then the record after the race: this one, unless told.
        const auto standing = [](const QString& record, const char* after = nullptr) {
            return QStringList{"time", QString::asprintf("Track Record: %3.3f", record.toDouble()),
                               after != nullptr ? QString(after) : record};
        };
        const QStringList newRecord{"time", "A New Record", "this race"};
        // Whoever wins (never the idle player), a finished race faster than the record sets it.
        QCOMPARE(race("999.99", false), newRecord);
        const long best = ms;
        // An equal record is kept, and not announced as new; a faster one is kept.
        QCOMPARE(race(Seconds(best), false), standing(Seconds(best), "this race"));
        QCOMPARE(race(Seconds(best - 30), false), standing(Seconds(best - 30)));
        // A race given up is no finished race, however short: the standing record stays.
        QCOMPARE(race(Seconds(best), true), standing(Seconds(best)));
        // Another game's faster record kept meanwhile stands, and this race is not announced as a
        // new one; a slower one gives way.
        QCOMPARE(race(Seconds(best - 30), false, true), standing(Seconds(best - 30)));
        QCOMPARE(race(Seconds(best + 30), false, true), newRecord);
    }

    // A relative $XDG_CONFIG_HOME or $XDG_DATA_HOME is ignored, as the XDG rule says: nothing is
    // written in the folder the game was started in. Without $HOME as well there is nowhere to keep
    // anything: nothing is written, and the player is told why.
    void relativeBaseFoldersAreIgnored() {
        const char* const variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
        const QByteArray saved[] = {qgetenv(variables[0]), qgetenv(variables[1]),
                                    qgetenv(variables[2])};
        const QString startedIn = QDir::currentPath();
        const auto restore = qScopeGuard([&] {
            for (int i = 0; i < 3; ++i) qputenv(variables[i], saved[i]);
            QDir::setCurrent(startedIn);
        });
        const QTemporaryDir home, current;
        QVERIFY(QDir::setCurrent(current.path()));
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", "config");
        qputenv("XDG_DATA_HOME", "data");
        const auto oneLapRace = [this] {
            MessageBoxWatcher boxes;
            Game game(pictures.Path());
            game.Keys("vv<vv\n");
            game.RunToEnd();
            return Told(boxes.Warnings());
        };
        QCOMPARE(oneLapRace(), QStringList());
        QVERIFY(QFileInfo(home.filePath(".config/Vantor.ini")).isFile());
        QVERIFY(QFileInfo(home.filePath(".local/share/vantor/replays/last.replay")).isFile());
        const auto entries = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
        QCOMPARE(QDir(current.path()).entryList(entries), QStringList());

        qunsetenv("HOME");
        QCOMPARE(
            oneLapRace(),
            QStringList({"Vantor | Could not save the race records: there is no folder to keep "
                         "them in, as $XDG_CONFIG_HOME is not an absolute path, and $HOME is "
                         "not set. | OK",
                         "Vantor | Could not keep the replay last.replay: there is no folder "
                         "to keep it in, as $XDG_DATA_HOME is not an absolute path, and $HOME "
                         "is not set. | OK"}));
        QCOMPARE(QDir(current.path()).entryList(entries), QStringList());
    }

    // Without the pictures directory, or without its first track preview, the player's one answer
    // is "Quit": no screens are built (so the program ends) and keys are dropped meanwhile.
    void missingPicturesBuildNoScreensAndDropKeys() {
        const PreviewDirectory withoutFirst;
        QVERIFY(QFile::remove(withoutFirst.Path() + "track_pics/TrackPix1.png"));
        const std::tuple<QString, QString, bool> cases[] = {
            {pictures.Path() + "missing/", "Could not locate Directory ", true},
            {withoutFirst.Path(), "Could not load Track Images from ", false}};
        for (const auto& [dir, told, noDirectory] : cases) {
            const QByteArray name = told.toUtf8();
            MessageBoxWatcher watcher;
            Game game(dir);
            for (int key : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Left, Qt::Key_Q})
                game.Play(key, "PRpr");
            COMPARE_CASE(Told(watcher.Warnings()),
                         QStringList{"Vantor | " + told + dir + " | Quit"}, name);
            COMPARE_CASE(game.widget.ScreensReady(), false, name);
            COMPARE_CASE(game.widget.isVisible(), true, name);
            // The screens and the records, none made; without the folder, no track pictures.
            COMPARE_CASE((QList<const void*>{game.screens.start, game.screens.race,
                                             game.screens.end, vantorConfig}),
                         QList<const void*>(4, nullptr), name);
            if (noDirectory)
                COMPARE_CASE(game.widget.GetTrackImage(0), nullptr, name);
        }
    }
};

QTEST_MAIN(GameFlowTest)
#include "tst_game_flow.moc"
