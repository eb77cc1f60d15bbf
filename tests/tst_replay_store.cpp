#include <sys/stat.h>
#include <QtTest>

#include "race/ReplayFile.h"
#include "records/ReplayStore.h"
#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/NodeState.h"

// The replays folder as games keep it: races played through the main widget, and what stands in
// the folder before them.
class ReplayStoreTest : public QObject {
    Q_OBJECT

    const TemporaryConfigHome home;
    const PreviewDirectory pictures;
    const QString folder = ReplayStore::DefaultFolder();
    const QString last = folder + '/' + ReplayStore::LAST_RACE;
    const QString record = folder + '/' + ReplayStore::RecordName(0, 1);

    // A one-lap race on the first track from the menu, the player standing: the computer's car
    // wins and sets the record.
    static void Race(Vantor& game) {
        game.RaceTrack(0);
        game.RaceLength(1);
        game.RaceStart();
        auto* screen = game.findChild<VantorScreen*>();
        for (int tick = 0; tick < 1000 && screen->isVisible(); ++tick)
            QMetaObject::invokeMethod(screen, "TimeEvent");
        game.ReturnToStart();
    }
    static std::optional<Replay> Read(const QString& path) {
        QString why;
        const std::optional<QByteArray> text = ReplayStore::ReadFile(path, &why);
        return text ? ReplayFile::Read(*text).replay : std::nullopt;
    }
    // No replays and no records: the next race sets the record.
    void Clear() {
        QDir(QFileInfo(folder).path()).removeRecursively();
        QFile::remove(home.RecordsFile());
    }

  private slots:
    void racesAreKeptAndTheFasterRecordStays() {
        Clear();
        {
            Vantor game(pictures.Path());
            game.Start();
            Race(game);
            QVERIFY(game.HasRecordReplay(0, 1));
            QVERIFY(!game.HasRecordReplay(0, 5));
        }
        const std::optional<Replay> race = Read(record);
        QVERIFY(race);
        QCOMPARE(race->outcome, RaceOutcome::yellowWon);
        QVERIFY(Read(last) == race);

        // Another game kept a record race meanwhile. A game that read no record at start-up sets
        // one with the same race; the record race is replaced only by a faster one. The last race
        // is this one either way.
        for (const int ticksBefore : {race->ticks - 3, race->ticks, race->ticks + 3}) {
            Replay other = *race;
            other.ticks = ticksBefore;
            QFile file(record);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(ReplayFile::Write(other));
            file.close();
            QFile::remove(home.RecordsFile());
            Vantor game(pictures.Path());
            game.Start();
            Race(game);
            const QByteArray name = "standing record of " + QByteArray::number(ticksBefore);
            COMPARE_CASE(Read(record)->ticks, std::min(ticksBefore, race->ticks), name);
            COMPARE_CASE(Read(last)->ticks, race->ticks, name);
        }
    }

    void onlyRegularFilesAreKept_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("problem");  // after the file's path; nothing for one in use
        const auto row = [](const char* name, const QString& node, const QString& problem) {
            QTest::newRow(name) << node << problem;
        };
        row("link to a file", "link file", "");
        row("link to a FIFO", "link fifo", "it is not an ordinary file");
        row("broken link", "link missing", "it is a link to nothing");
        row("FIFO", "fifo", "it is not an ordinary file");
        row("folder", "folder", "it is not an ordinary file");
        row("oversized file", "oversized", "it is larger than any replay");
        row("folder in the way", "blocked", "its folder cannot be made");
    }

    // Two races end with something odd where the last race belongs: nothing blocks, nothing that
    // is not a replay is written, and the player is told once.
    void onlyRegularFilesAreKept() {
        QFETCH(QString, node);
        QFETCH(QString, problem);
        Clear();
        const QTemporaryDir elsewhere;
        const bool linked = node.startsWith("link ");
        const QString kind = node.section(' ', -1);
        const QString made = linked ? elsewhere.filePath("target") : last;
        QVERIFY(QDir().mkpath(folder));
        if (kind == "fifo") {
            QCOMPARE(mkfifo(QFile::encodeName(made), 0666), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(made + "/inside"));
        } else if (kind == "blocked") {
            // Where the replays folder belongs, a file.
            QVERIFY(QDir(folder).removeRecursively());
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind != "missing") {
            QFile file(made);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(kind == "oversized" ? MAX_REPLAY_BYTES + 1 : 1, '#'));
        }
        if (linked)
            QVERIFY(QFile::link(made, last));
        const QString watched = kind == "blocked" ? folder : last;
        const QString before = NodeState(watched);

        MessageBoxWatcher boxes;
        {
            Vantor game(pictures.Path());
            game.Start();
            Race(game);
            Race(game);
        }
        if (problem.isEmpty()) {
            QCOMPARE(QFileInfo(last).symLinkTarget(), made);
            QVERIFY(Read(made));
            QCOMPARE(boxes.Warnings().size(), 0);
            return;
        }
        QCOMPARE(NodeState(watched), before);
        QCOMPARE(boxes.Warnings().size(), 1);
        const ShownWarning& box = boxes.Warnings().first();
        QCOMPARE(
            QStringList({box.caption, box.text}) + box.buttons,
            QStringList(
                {"Vantor", QString("Could not keep the replay %1: %2.").arg(last, problem), "OK"}));
        // The record race is kept where it can be, whatever stands in place of the last race.
        QCOMPARE(Read(record).has_value(), kind != "blocked");
    }
};

QTEST_MAIN(ReplayStoreTest)
#include "tst_replay_store.moc"
