#include <QSignalSpy>
#include <QtTest>

#include "platform/Config.h"
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

// The game as the player meets it: keys go to the main widget, the race runs on ticks driven here.
struct Game {
    explicit Game(const QString& dir) : widget(dir), screens(widget) { widget.Start(); }
    // Clicks of Up, Down, Left, Right, Return, Space and Escape by sign; then what is on show.
    QString Keys(const QString& clicks) {
        const int keys[] = {Qt::Key_Up,     Qt::Key_Down,  Qt::Key_Left,  Qt::Key_Right,
                            Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape};
        for (const QChar click : clicks) {
            QTest::keyClick(&widget, Qt::Key(keys[QStringLiteral("^v<>\n E").indexOf(click)]));
        }
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
    QString RunToEnd() {
        QSignalSpy over(screens.race, &VantorScreen::RaceOver);
        for (int tick = 0; tick < 200000 && over.isEmpty(); ++tick) {
            Play(0, "T");
        }
        ms = over.size() == 1 ? over[0][1].value<long>() : -1;
        return State();
    }
    // The screens on show (with the computer's top speed), the preview, the number of menu texts
    // and the end screen's lines, the race time as "time" when it is that of the last race.
    QString State() const {
        const auto text = [](auto* item) { return item != nullptr ? item->text() : QString(); };
        const EndScreen& end = *screens.end;
        const QString time = text(end.RaceTimeText());
        return QStringLiteral("%1%2%3 %4 %5 %6|%7|%8")
            .arg(screens.start->isVisible() ? "start" : "",
                 screens.race->isVisible()
                     ? QStringLiteral("race(%1)").arg(screens.race->Car(computerControl)->maxSpeed)
                     : "",
                 screens.end->isVisible() ? "end" : "")
            .arg(ShownPreview())
            .arg(ItemsOf<LevelSelectBox>(*screens.canvas).size())
            .arg(text(end.LapCountText()),
                 time == QString::asprintf("Race Time: %3.3f", double(ms) / 1000.0) ? "time" : time,
                 text(end.RecordText()));
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
        QCOMPARE(game.State(), "start 0 8 ||");
        QVERIFY(game.widget.isVisible() && game.widget.minimumSize() == QSize(240, 300));

        // A held arrow keeps moving through the menu, to track index 2; "Medium", then Left below
        // 5 laps: a one-lap race.
        game.Play(Qt::Key_Right, "PrpR");
        QCOMPARE(game.Keys("v>v<v\n"), "race(5) -1 0 ||");
        // Held Up in the race is one press: repeated releases and presses between ticks, and
        // after letting go repeated presses alone, do not reach the race screen.
        const RaceCar& car = *game.screens.race->Car(userControl);
        const QPointF start = car.pos();
        game.Play(Qt::Key_Up, QString(10, 'T') + "P" + QString("rTp").repeated(13));
        QVERIFY(car.speed == 3 && car.pos().y() < start.y() - 15);
        game.Play(Qt::Key_Up, "R" + QString("pT").repeated(13));
        QCOMPARE(car.speed, 3);

        QCOMPARE(game.RunToEnd(), "end -1 0 Number of Laps: 1|time|A New Record");
        QCOMPARE(Record("Track2/OneLap"), Seconds(game.ms));
        // A key still repeating from the race does not skip the result; a fresh press leaves it for
        // the menu, rebuilt on the same track.
        game.Play(Qt::Key_Up, "p");
        QVERIFY(game.State().startsWith("end"));
        QCOMPARE(game.Keys(" "), "start 2 8 ||");

        // A second race: the level and laps on screen, "Easy" and 5, not the ones the game began
        // with.
        QCOMPARE(game.Keys("vvv\n"), "race(4) -1 0 ||");
        QCOMPARE(game.RunToEnd(), "end -1 0 Number of Laps: 5|time|A New Record");

        // Many races, finished or given up, leave no items behind. With a folder where the records
        // file belongs, no save succeeds, and the player is told each time.
        QVERIFY(QFile::remove(configHome.RecordsFile()) && QDir().mkdir(configHome.RecordsFile()));
        MessageBoxWatcher watcher;
        QCOMPARE(game.Keys("\n"), "start 2 8 ||");
        const int itemsOnMenu = game.screens.canvas->items().size();
        for (int race = 1; race <= 6; ++race) {
            QVERIFY(game.Keys("vv<v\n").startsWith("race"));
            QVERIFY(game.screens.canvas->items().size() > itemsOnMenu);
            game.Play(Qt::Key_Escape, race % 2 == 0 ? QString(10, 'T') + "PR" : "");
            game.RunToEnd();
            QCOMPARE(watcher.Warnings().size(), race);
            QCOMPARE(game.Keys(" "), "start 2 8 ||");
            QCOMPARE(game.screens.canvas->items().size(), itemsOnMenu);
        }
        const ShownWarning& warning = watcher.Warnings().last();
        QCOMPARE(warning.caption + '/' + warning.text + '/' + warning.buttons.join(','),
                 "Vantor/Could not save the race records/OK");
        QVERIFY(QDir().rmdir(configHome.RecordsFile()));
    }

    void recordsKeepTheFastestFinishedRace() {
        // A five-lap race on the first track, the player idle, from a fresh game over this record:
        // what the end screen shows and the record after it, "this race" for its own time.
        long ms = 0;
        const auto race = [&](const QString& record, bool giveUp) {
            Record("Track0/FiveLaps", record);
            Game game(pictures.Path());
            game.Keys("vvv\n");
            game.Play(Qt::Key_Escape, giveUp ? QString(60, 'T') + "PR" : "");
            const QString end = game.RunToEnd().section('|', 1), after = Record("Track0/FiveLaps");
            ms = game.ms;
            return end + " / " + (after == Seconds(ms) ? "this race" : after);
        };
        const auto standing = [](const QString& record) {
            return QString::asprintf("time|Track Record: %3.3f / ", record.toDouble()) + record;
        };
        // Whoever wins (never the idle player), a finished race faster than the record sets it.
        QCOMPARE(race("999.99", false), "time|A New Record / this race");
        const long best = ms;
        // An equal record is kept, and still announced; a faster one is kept.
        QCOMPARE(race(Seconds(best), false), "time|A New Record / this race");
        QCOMPARE(race(Seconds(best - 30), false), standing(Seconds(best - 30)));
        // A race given up is no finished race, however short: the standing record stays.
        QCOMPARE(race(Seconds(best), true), standing(Seconds(best)));
    }

    void missingPicturesDirectoryBuildsNoScreensAndDropsKeys() {
        const QString missing = pictures.Path() + QStringLiteral("missing/");
        MessageBoxWatcher watcher;
        Game game(missing);
        for (int key : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Left, Qt::Key_Q}) {
            game.Play(key, "PRpr");
        }
        const ShownWarning& warning = watcher.Warnings().value(0);
        QCOMPARE(warning.caption + '/' + warning.text + '/' + warning.buttons.join(','),
                 "Vantor/Could not locate Directory " + missing + "/Quit");
        QVERIFY(watcher.Warnings().size() == 1 && !game.widget.ScreensReady() &&
                !game.screens.start && !game.screens.race && !game.screens.end &&
                game.widget.isVisible() && game.widget.GetTrackImage(0) == nullptr);
    }
};

QTEST_MAIN(GameFlowTest)
#include "tst_game_flow.moc"
