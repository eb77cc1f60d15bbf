#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>

#include "platform/Config.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"

namespace {

QString Text(const QGraphicsSimpleTextItem* item) {
    return item != nullptr ? item->text() : QString();
}

// The game as the player meets it: keys go to the main widget, the race runs on ticks driven here.
struct Game {
    explicit Game(const QString& pictureDir) : widget(pictureDir), screens(widget) {
        widget.Start();
    }
    void Send(int key, bool autoRepeat = false, QEvent::Type type = QEvent::KeyPress) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(&widget, &event);
    }
    void Keys(std::initializer_list<int> keys) {
        for (int key : keys) {
            QTest::keyClick(&widget, Qt::Key(key));
        }
    }
    void Tick(int ticks = 1) {
        while (ticks-- > 0) {
            QMetaObject::invokeMethod(screens.race, "TimeEvent");
        }
    }
    // Through the countdown to the first race tick that takes keys.
    bool TickUntilKeysAccepted() {
        for (int tick = 0; tick < 10 && !screens.race->KeysEnabled(); ++tick) {
            Tick();
        }
        return screens.race->Phase() == VantorScreen::phaseRacing && screens.race->KeysEnabled();
    }
    // The race's time in ms, -1 when it did not end once.
    long RunToEnd() {
        QSignalSpy over(screens.race, &VantorScreen::RaceOver);
        for (int tick = 0; tick < 200000 && over.isEmpty(); ++tick) {
            Tick();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        userWon = over.value(0).value(0).toBool();
        return over.size() == 1 ? over[0][1].value<long>() : -1;
    }
    // The screens on show, the preview, the number of menu texts and the end screen's lines.
    QString State() const {
        const EndScreen& end = *screens.end;
        return QStringLiteral("%1%2%3 %4 %5 %6|%7|%8")
            .arg(screens.start->isVisible() ? "start" : "", screens.race->isVisible() ? "race" : "",
                 screens.end->isVisible() ? "end" : "")
            .arg(ShownPreview())
            .arg(ItemsOf<LevelSelectBox>(*screens.canvas).size())
            .arg(Text(end.LapCountText()), Text(end.RaceTimeText()), Text(end.RecordText()));
    }

    Vantor widget;
    GameScreens screens;
    bool userWon = false;
};

QString RaceTime(long ms) {
    return QString::asprintf("Race Time: %3.3f", double(ms) / 1000.0);
}
QString Seconds(long ms) {
    return QString::number(double(ms) / 1000.0, 'g', 6);
}
// The records file's entry, e.g. "Track0/FiveLaps"; with a value, sets it first.
QString Record(const QString& key, const QString& value = QString()) {
    Config store(QStringLiteral("Vantor"));
    store.setGroup(QStringLiteral("vantor"));
    if (!value.isNull()) {
        store.writeEntry("/LapTime/" + key, value);
    }
    return store.readEntry("/LapTime/" + key, QString());
}

}  // namespace

class GameFlowTest : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    PreviewDirectory pictures;

  private slots:

    void playedThroughTheMainWidget() {
        Game game(pictures.Path());
        QVERIFY(game.widget.ScreensReady() && game.widget.isVisible());
        QCOMPARE(game.State(), "start 0 8 ||");
        QCOMPARE(game.screens.start->size(), QSize(240, 300));
        QVERIFY(game.widget.minimumSize() == QSize(240, 300) &&
                game.widget.maximumSize() == QSize(240, 300));

        // A held arrow keeps moving through the menu: to track index 2.
        game.Send(Qt::Key_Right);
        game.Send(Qt::Key_Right, true, QEvent::KeyRelease);
        game.Send(Qt::Key_Right, true);
        game.Send(Qt::Key_Right, false, QEvent::KeyRelease);
        // "Medium", then Left below 5 laps: a one-lap race.
        game.Keys({Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Down,
                   Qt::Key_Return});
        QCOMPARE(game.State(), "race -1 0 ||");
        QCOMPARE(game.screens.race->Car(computerControl)->maxSpeed, 5);

        // Held Up in the race is one press: repeated releases and presses between ticks do not
        // reach the race screen.
        QVERIFY(game.TickUntilKeysAccepted());
        const RaceCar& car = *game.screens.race->Car(userControl);
        const QPointF start = car.pos();
        game.Send(Qt::Key_Up);
        for (int tick = 0; tick < 13; ++tick) {
            game.Send(Qt::Key_Up, true, QEvent::KeyRelease);
            game.Tick();
            game.Send(Qt::Key_Up, true);
        }
        QVERIFY(car.speed == 3 && car.pos().y() < start.y() - 15);
        game.Send(Qt::Key_Up, false, QEvent::KeyRelease);
        for (int tick = 0; tick < 13; ++tick) {
            game.Send(Qt::Key_Up, true);
            game.Tick();
        }
        QCOMPARE(car.speed, 3);

        long ms = game.RunToEnd();
        QCOMPARE(game.State(), "end -1 0 Number of Laps: 1|" + RaceTime(ms) + "|A New Record");
        QCOMPARE(Record("Track2/OneLap"), Seconds(ms));
        QCOMPARE(Record("Track2/TwentyFiveLaps"), "999.99");  // the whole table is written
        // A key still repeating from the race does not skip the result; a fresh press leaves it for
        // the menu, rebuilt on the same track.
        game.Send(Qt::Key_Up, true);
        QVERIFY(game.State().startsWith("end"));
        game.Keys({Qt::Key_Space});
        QCOMPARE(game.State(), "start 2 8 ||");

        // A second race: the level and laps on screen, "Easy" and 5, not the ones the game began
        // with.
        game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
        QCOMPARE(game.screens.race->Car(computerControl)->maxSpeed, 4);
        ms = game.RunToEnd();
        QCOMPARE(game.State(), "end -1 0 Number of Laps: 5|" + RaceTime(ms) + "|A New Record");
        QCOMPARE(Record("Track2/FiveLaps"), Seconds(ms));
        game.Keys({Qt::Key_Return});
        QCOMPARE(game.State(), "start 2 8 ||");

        // Many races, finished or given up, leave no items behind. With a folder where the records
        // file belongs, no save succeeds, and the player is told each time.
        QVERIFY(QFile::remove(configHome.RecordsFile()) && QDir().mkdir(configHome.RecordsFile()));
        MessageBoxWatcher watcher;
        const int itemsOnMenu = game.screens.canvas->items().size();
        for (int race = 1; race <= 6; ++race) {
            game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Left, Qt::Key_Down, Qt::Key_Return});
            QVERIFY(game.screens.canvas->items().size() > itemsOnMenu);
            if (race % 2 == 0) {
                QVERIFY(game.TickUntilKeysAccepted());
                game.Keys({Qt::Key_Escape});
            }
            QVERIFY(game.RunToEnd() > 0);
            QCOMPARE(watcher.Warnings().size(), race);
            const ShownWarning& warning = watcher.Warnings().last();
            QCOMPARE(warning.caption + '/' + warning.text + '/' + warning.buttons.join(','),
                     "Vantor/Could not save the race records/OK");
            game.Keys({Qt::Key_Space});
            QCOMPARE(game.State(), "start 2 8 ||");
            QCOMPARE(game.screens.canvas->items().size(), itemsOnMenu);
        }
        QVERIFY(QDir().rmdir(configHome.RecordsFile()));
    }

    void recordsKeepTheFastestFinishedRace() {
        // A five-lap race on the first track from a fresh game over this record: the end screen's
        // record line, and the record after it (empty: this race's time).
        long ms = 0;
        const auto race = [&](const QString& record, bool giveUp, const QString& line,
                              const QString& after) {
            QFile::remove(configHome.RecordsFile());
            Record("Track0/FiveLaps", record);
            Game game(pictures.Path());
            game.Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
            if (giveUp && game.TickUntilKeysAccepted()) {
                game.Tick(50);
                game.Keys({Qt::Key_Escape});
            }
            ms = game.RunToEnd();
            // The computer wins, and the race time shows whatever happens to the record.
            QCOMPARE(game.State() + (game.userWon ? " won" : ""),
                     "end -1 0 Number of Laps: 5|" + RaceTime(ms) + '|' + line);
            QCOMPARE(Record("Track0/FiveLaps"), after.isEmpty() ? Seconds(ms) : after);
        };
        const auto recordLine = [](long ms) {
            return QString::asprintf("Track Record: %3.3f", double(ms) / 1000.0);
        };
        // Whoever won, a finished race faster than the record sets it.
        race("999.99", false, "A New Record", {});
        const long time = ms;
        // Slower record: replaced; equal: kept, and still announced; faster: kept.
        race(Seconds(time + 30), false, "A New Record", Seconds(time));
        race(Seconds(time), false, "A New Record", Seconds(time));
        race(Seconds(time - 30), false, recordLine(time - 30), Seconds(time - 30));
        QCOMPARE(ms, time);
        // A race given up is no finished race, however short: the standing record stays.
        race("999.99", true, recordLine(999990), "999.99");
        QVERIFY(ms > 0 && ms < time);
        race(Seconds(time), true, recordLine(time), Seconds(time));
        QVERIFY(ms > 0 && ms < time);
    }

    void missingPicturesDirectoryBuildsNoScreensAndDropsKeys() {
        const QString missing = pictures.Path() + QStringLiteral("missing/");
        MessageBoxWatcher watcher;
        Game game(missing);
        for (int key : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Left, Qt::Key_Q}) {
            game.Keys({key});
            game.Send(key, true);
        }
        QCOMPARE(watcher.Warnings().size(), 1);
        const ShownWarning& warning = watcher.Warnings()[0];
        QCOMPARE(warning.caption + '/' + warning.text + '/' + warning.buttons.join(','),
                 "Vantor/Could not locate Directory " + missing + "/Quit");
        const GameScreens& screens = game.screens;
        QVERIFY(!game.widget.ScreensReady() && !screens.start && !screens.race && !screens.end);
        QVERIFY(game.widget.isVisible() && game.widget.GetTrackImage(0) == nullptr);
    }
};

QTEST_MAIN(GameFlowTest)
#include "tst_game_flow.moc"
