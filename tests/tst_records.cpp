// The records store: what stands where it belongs, the times it keeps, games sharing it, and
// generated and damaged files (a fixed seed, so a failure repeats).
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QtTest>

#include <cmath>

#include "app/Globals.h"
#include "platform/Config.h"
#include "platform/GameFacts.h"
#include "platform/TrustedFile.h"
#include "records/UserSettings.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/NodeState.h"
#include "tests/support/Sanitizers.h"

namespace {

constexpr quint32 SEED = 20261207;
// A sixth of the files under AddressSanitizer still puts every kind of damage through the store.
constexpr int GENERATED_FILES = UNDER_ADDRESS_SANITIZER ? 32 : 200;
constexpr int MUTANTS_PER_FILE = 9;
const QString STORE_NAME = QStringLiteral("Vantor");
const std::pair<int, const char*> RACE_LENGTHS[] = {{1, "OneLap"},      {5, "FiveLaps"},
                                                    {10, "TenLaps"},    {15, "FifteenLaps"},
                                                    {20, "TwentyLaps"}, {25, "TwentyFiveLaps"}};
// Endings that make a time no race gives, after text that may itself be a number.
const char* const DAMAGED_ENDINGS[] = {"", "x", "nan", "inf", "-5", "0", "1e999", "12abc"};
// What the INI layout has to quote, escape or trim, and text beyond Latin-1.
const QStringList TRICKY_TEXT =
    QString(" |\t|\r|\n|\x01|;|,|=|\"|\\|%|/|[|]|#|@|$|a|b|1|9|\u00fc|\u00df|\u263a|\U0001F697")
        .split('|');
// Bytes and pieces that break lines, quotes, escapes, sections and UTF-8; an entry with half a
// surrogate pair.
const QList<QByteArray> PIECES =
    QByteArrayLiteral(
        "\n|\r\n|[|]|=|\"|\\|\\xdc00|;|%|%U|@|\0|\xff|\xc3| |[vantor]\n|\xef\xbb\xbf|9|e9|"
        "\nlone=\"\\xdc00\"\n")
        .split('|');
// INI-shaped, with comments and quoted section names, and no race records.
const QByteArray GIT_CONFIG =
    "# by hand\n[core]\n\tbare = false\n[remote \"origin\"]\n\turl = /srv/game.git\n; end\n";

using Entries = QMap<QString, QString>;  // "group/key" to text

QString RecordKey(int track, const char* word) {
    return QStringLiteral("vantor/LapTime/Track%1/%2").arg(track).arg(word);
}

// As "key=text" lines, so that a failure shows the first entry that differs.
QStringList Lines(const Entries& entries) {
    QStringList lines;
    for (const auto& [key, text] : entries.asKeyValueRange()) lines += key + '=' + text;
    return lines;
}

// `entries` with every record in place as the text the store writes: as the game holds it when
// `game` is given, otherwise as reading the entries must give it, a missing or damaged one as no
// record.
QStringList WithRecords(Entries entries, const UserSettings* game = nullptr) {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        for (const auto& [laps, word] : RACE_LENGTHS) {
            bool number = false;
            const double stored = entries.value(RecordKey(track, word)).toDouble(&number);
            const double seconds = game != nullptr ? game->FastestRaceTime(track, laps)
                                   : number && std::isfinite(stored) && stored > 0
                                       ? stored
                                       : UserSettings::NO_RECORD;
            entries.insert(RecordKey(track, word), QString::number(seconds, 'g', 6));
        }
    }
    return Lines(entries);
}

// Every entry of a file as Qt's own INI reader sees it, or that it finds the file malformed.
QStringList QtLines(const QString& path) {
    const QSettings file(path, QSettings::IniFormat);
    Entries entries;
    for (const QString& key : file.allKeys()) entries.insert(key, file.value(key).toString());
    return file.status() == QSettings::NoError ? Lines(entries) : QStringList{"malformed"};
}

// A file written in place of whatever stood there.
bool Write(const QString& path, const QByteArray& contents) {
    QFile::remove(path);
    QDir(path).removeRecursively();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QString RandomText(QRandomGenerator& random, int maxLength) {
    QString text;
    for (int length = random.bounded(maxLength + 1); length > 0; --length)
        text += TRICKY_TEXT[random.bounded(TRICKY_TEXT.size())];
    return text;
}

// Written by Qt's own INI writer: valid and damaged records, and entries of other programs; the
// file stays for Qt's reader. One random draw per statement, so that a seed gives the same file
// whatever the compiler.
QByteArray GeneratedFile(QRandomGenerator& random, const QString& path) {
    {
        QSettings file(path, QSettings::IniFormat);
        for (int entry = random.bounded(1, 12); entry > 0; --entry) {
            const int track = random.bounded(TRACK_COUNT);
            const QString key = RecordKey(track, RACE_LENGTHS[random.bounded(6)].second);
            const int damage = random.bounded(4 * int(std::size(DAMAGED_ENDINGS)));
            file.setValue(key, damage < int(std::size(DAMAGED_ENDINGS))
                                   ? RandomText(random, 4) + DAMAGED_ENDINGS[damage]
                                   : QString::number(random.bounded(1, 200000000) / 100000.0));
        }
        for (int entry = random.bounded(8); entry > 0; --entry) {
            const QString group = QStringLiteral("other%1/").arg(random.bounded(3));
            const QString key = group + RandomText(random, 8).remove('/').remove('\\') + 'k';
            file.setValue(key, RandomText(random, 12));
        }
    }
    QByteArray contents = Contents(path);
    // Some editors save with a byte order mark and Windows line ends.
    return random.bounded(2) == 0 ? "\xEF\xBB\xBF" + contents.replace("\n", "\r\n") : contents;
}

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

    // The fuzz test saves thousands of files; syncing each to a disk would take a minute.
    const TemporaryConfigHome home{QFileInfo("/dev/shm").isWritable() ? "/dev/shm"
                                                                      : QDir::tempPath()};
    const QString storePath = home.RecordsFile();
    const PreviewDirectory pictures;

  private slots:
    void generatedAndDamagedFilesRoundTrip() {
        QRandomGenerator random(SEED);
        QByteArray contents;  // the file under test, shown when a check fails
        int files = 0;
        const auto showFailingFile = qScopeGuard([&] {
            if (QTest::currentTestFailed())
                qInfo() << "file" << files << "of seed" << SEED << contents;
        });
        for (int generated = 0; generated < GENERATED_FILES; ++generated) {
            const QString source = home.path() + QStringLiteral("/source%1.ini").arg(generated);
            const QByteArray original = GeneratedFile(random, source);
            for (int mutant = 0; mutant <= MUTANTS_PER_FILE; ++mutant, ++files) {
                contents = original;
                for (int changes = mutant == 0 ? 0 : random.bounded(1, 4); changes > 0; --changes) {
                    const qsizetype at = random.bounded(contents.size() + 1);
                    const int change = random.bounded(3);
                    if (change == 0)
                        contents.insert(at, PIECES[random.bounded(PIECES.size())]);
                    else if (change == 1)
                        contents.remove(at, random.bounded(1, 8));
                    else
                        contents.truncate(at);
                }
                QVERIFY(Write(storePath, contents));
                UserSettings records;
                records.ReadFastestRaceTime();
                const Entries read = Config(STORE_NAME).allEntries();
                if (mutant == 0)
                    QCOMPARE(Lines(read), QtLines(source));  // read as Qt's reader reads it
                if (!records.StoreProblem().isEmpty()) {
                    QCOMPARE(records.WriteFastestRaceTime(), false);
                    QCOMPARE(Contents(storePath), contents);  // a store set aside stays as it was
                    continue;
                }
                // Every valid record read under its key, whatever else the file held; every entry
                // kept.
                QCOMPARE(WithRecords(read, &records), WithRecords(read));
                QVERIFY(records.WriteFastestRaceTime());
                QCOMPARE(Lines(Config(STORE_NAME).allEntries()), WithRecords(read));
                if (mutant == 0)
                    QCOMPARE(QtLines(storePath), WithRecords(read));  // and as Qt's reader reads it
            }
        }
    }

    void onlyARegularFileIsTheStore_data() {
        // What stands there, named "link <what it points to>" for a link; what the player is told,
        // nothing for a store in use.
        QTest::addColumn<QString>("problem");
        const char* const rows[][2] = {
            {"link file", ""},
            {"link device", "is not an ordinary file"},
            {"link fifo", "is not an ordinary file"},
            {"link missing", "is a link to a file that does not exist"},
            {"fifo", "is not an ordinary file"},
            {"folder", "is a folder, not a file"},
            {"oversized", "is too large to be a race records file (over 1 MiB)"},
            {"damaged", "is damaged: it is not a race records file the game can read"},
            {"link foreign", "is not a race records file (it has no [vantor] section)"},
            {"unreadable", "cannot be read"}};
        for (const auto& [node, problem] : rows) QTest::newRow(node) << QString(problem);
    }

    // The store, or what stands in its place, is made here; the game starts on it, a race ends, and
    // the game ends.
    void onlyARegularFileIsTheStore() {
        QFETCH(QString, problem);
        const QString node = QTest::currentDataTag();
        // What an earlier row made there goes.
        QVERIFY(QFile::remove(storePath) || QDir(storePath).removeRecursively());
        const QTemporaryDir elsewhere;
        const bool linked = node.startsWith("link ");
        const QString made = linked ? elsewhere.filePath("target") : storePath;
        const QString kind = node.section(' ', -1);
        if (kind == "unreadable" && geteuid() == 0)
            return RunUnprivileged();
        const QByteArray records = "[other]\nkept=yes\n[vantor]\nLapTime\\Track0\\TenLaps=70.5\n";
        const QMap<QString, QByteArray> files = {
            {"file", records},
            {"unreadable", records},
            {"foreign", GIT_CONFIG},
            {"oversized", records + QByteArray(Config::MAX_FILE_BYTES, ';')},
            {"damaged", records + "\x01\x02binary\n"}};
        // A character device like /dev/full, where any write fails.
        if (kind == "device" && mknod(QFile::encodeName(made), S_IFCHR | 0666, makedev(1, 7)) != 0)
            QSKIP("Making a device node needs root; the device cases are not run.");
        QVERIFY(kind != "fifo" || mkfifo(QFile::encodeName(made), 0666) == 0);
        QVERIFY(kind != "folder" || QDir().mkpath(made + "/inside"));
        QVERIFY(!files.contains(kind) || Write(made, files[kind]));
        QVERIFY(kind != "unreadable" || QFile::setPermissions(made, {}));
        if (kind == "unreadable" && QFile(made).open(QIODevice::ReadOnly))
            QSKIP("A file without read permission is still readable here; not run.");
        QVERIFY(!linked || QFile::link(made, storePath));
        const QString before = NodeState(storePath);

        MessageBoxWatcher boxes;
        {
            Vantor game(pictures.Path());
            game.Start();
            QCOMPARE(vantorConfig->FastestRaceTime(0, 10),
                     problem.isEmpty() ? 70.5 : UserSettings::NO_RECORD);
            // The race runs on the records in memory; a set-aside store is neither written nor its
            // save failure told after the race.
            game.RaceFinished(true, 61500);
            QCOMPARE(vantorConfig->FastestRaceTime(0, 10), 61.5);
        }
        QStringList shown;
        for (const ShownWarning& box : boxes.Warnings())
            shown << box.caption + '|' + box.buttons.join(',') + '|' + box.text;
        QString file = storePath;
        if (linked && kind != "missing")
            file += " (a link to " + QFileInfo(made).canonicalFilePath() + ')';
        const QString told = "Vantor|OK|The race records file " + file + ' ' + problem +
                             ".\n\nYour race records will not be kept this time; the game leaves "
                             "it as it is.";
        QCOMPARE(shown, problem.isEmpty() ? QStringList() : QStringList{told});
        if (!problem.isEmpty()) {
            QCOMPARE(NodeState(storePath), before);
        } else {
            // Followed: the link stays, and the file it points to is rewritten with what it held.
            QCOMPARE(QFileInfo(storePath).symLinkTarget(), made);
            QCOMPARE(QtLines(made),
                     WithRecords({{"other/kept", "yes"}, {RecordKey(0, "TenLaps"), "61.5"}}));
        }
    }

    // A records file kept by hand, with Windows line ends. Lengths the menu cannot offer, missing
    // tracks and times no race gives are not kept (each time differs, so that a failure's actual
    // value names its row). A save changes the record lines it must
    // and adds the missing ones to the records section; every other line stays as it was, in its
    // place. A full disk leaves it as it was. Another program's INI file gets no group added by any
    // store.
    void onlyTheRecordLinesAreRewritten() {
        const QByteArray before =
            "; my records\r\n[remote \"origin\"]\r\n\turl = https://example.org/x.git\r\n"
            "[vantor]\r\n# the best so far\r\nLapTime\\Track0\\TenLaps = 70.5 ; good\r\n"
            "LapTime\\Track3\\FiveLaps=abc\r\nLapTime\\Track4\\FiveLaps = 33.5 ; mine\r\n\r\n"
            "[other]\r\nkept=yes";
        QVERIFY(Write(storePath, before));
        UserSettings records;
        records.ReadFastestRaceTime();
        const std::tuple<int, int, double> refused[] = {
            {0, 2, 1.0},  {0, 24, 2.0},  {-1, 5, 3.0},     {15, 5, 4.0},
            {0, 10, 0.0}, {0, 10, -3.0}, {0, 10, qQNaN()}, {0, 10, qInf()}};
        for (const auto& [track, laps, seconds] : refused) {
            records.UpdateFastestRaceTime(track, laps, seconds);
            QCOMPARE(records.FastestRaceTime(track, laps),
                     laps == 10 ? 70.5 : UserSettings::NO_RECORD);
        }
        records.UpdateFastestRaceTime(0, 10, 61.5);
        // Past a limit that leaves room for the lock but not for the file, the write fails as on a
        // full disk; no temporary file is left beside it.
        QVERIFY(!WithFileSizeLimit(1024, [&] { return records.WriteFastestRaceTime(); }));
        QVERIFY2(!records.SaveProblem().contains("lock"), qPrintable(records.SaveProblem()));
        QCOMPARE(Contents(storePath), before);
        QCOMPARE(QDir(home.path()).entryList({"Vantor.ini*"}, QDir::Files | QDir::Hidden),
                 QStringList{"Vantor.ini"});

        QVERIFY(records.WriteFastestRaceTime());
        const QByteArray after = Contents(storePath);
        // Every line as it was, byte for byte and in order, but the records changed; the missing
        // ones are added at the end of the records section, each a line with a Windows line end.
        QByteArray expected = before;
        expected.replace("= 70.5 ; good", "= 61.5").replace("=abc", "=999.99");
        const qsizetype end = expected.indexOf("\r\n\r\n[other]") + 2;
        const QByteArray added = after.mid(end, after.size() - expected.size());
        QCOMPARE(after.left(end) + after.mid(end + added.size()), expected);
        QCOMPARE(added.count('\n'), qsizetype(6 * TRACK_COUNT - 3));
        QCOMPARE(added.count("=999.99\r\n"), added.count('\n'));
        QCOMPARE(Lines(Config(STORE_NAME).allEntries()),
                 WithRecords({{"remote \"origin\"/url", "https://example.org/x.git"},
                              {RecordKey(0, "TenLaps"), "61.5"},
                              {RecordKey(4, "FiveLaps"), "33.5"},
                              {"other/kept", "yes"}}));
        // Saved again with nothing changed, the file stays as it is.
        QVERIFY(records.WriteFastestRaceTime());
        QCOMPARE(Contents(storePath), after);

        QVERIFY(Write(storePath, GIT_CONFIG));
        Config settings(STORE_NAME);
        settings.setGroup("sound");
        settings.writeEntry("muted", "true");
        QCOMPARE(settings.save(), false);
        QCOMPARE(settings.errorString(), "it holds another program's settings");
        QCOMPARE(Contents(storePath), GIT_CONFIG);
    }

    // Two games read the same file at start-up, and each saves its own new records after the other
    // saved: every record survives, of two times for one race the faster, and nothing else is lost.
    // While another holder keeps the file's lock, a save waits a moment, then fails and says so,
    // leaving the file as it was and the records in memory for the next save. A lock its holder
    // left behind when it ended is taken over at once.
    void gamesSharingTheFileLoseNothing() {
        const QByteArray before = "[other]\nkept=yes\n[vantor]\nLapTime\\Track5\\FiveLaps=40\n";
        QVERIFY(Write(storePath, before));
        UserSettings first, second;
        for (UserSettings* game : {&first, &second}) game->ReadFastestRaceTime();
        first.UpdateFastestRaceTime(0, 5, 61.5);    // only the first game
        second.UpdateFastestRaceTime(1, 5, 72.25);  // only the second
        first.UpdateFastestRaceTime(2, 10, 90.0);   // both, the second faster
        second.UpdateFastestRaceTime(2, 10, 80.0);
        first.UpdateFastestRaceTime(3, 1, 20.0);  // both, the first faster though it saved first
        second.UpdateFastestRaceTime(3, 1, 25.0);
        QElapsedTimer waited;
        {
            QLockFile held(storePath + ".lock");
            QVERIFY(held.tryLock(0));
            waited.start();
            QCOMPARE(first.WriteFastestRaceTime(), false);
            QCOMPARE_LT(waited.elapsed(), 3 * FileLock::WAIT_MS);
            QCOMPARE(first.SaveProblem(), "Could not save the race records to " + storePath +
                                              ": another game kept it locked.");
            QCOMPARE(Contents(storePath), before);
        }
        QVERIFY(first.WriteFastestRaceTime());
        QCOMPARE(first.SaveProblem(), QString());
        QVERIFY(second.WriteFastestRaceTime());
        // The record from before stands too. The game that saved last holds what is on disk; the
        // other keeps what it knew.
        const QStringList standing = WithRecords({{"other/kept", "yes"},
                                                  {RecordKey(0, "FiveLaps"), "61.5"},
                                                  {RecordKey(1, "FiveLaps"), "72.25"},
                                                  {RecordKey(2, "TenLaps"), "80"},
                                                  {RecordKey(3, "OneLap"), "20"},
                                                  {RecordKey(5, "FiveLaps"), "40"}});
        QCOMPARE(Lines(Config(STORE_NAME).allEntries()), standing);
        QCOMPARE(WithRecords({{"other/kept", "yes"}}, &second), standing);
        QCOMPARE(first.FastestRaceTime(1, 5), UserSettings::NO_RECORD);

        // A game that ended holding the lock: a child process takes it and ends without a word.
        const pid_t child = fork();
        if (child == 0)
            _exit(QLockFile(storePath + ".lock").tryLock(0) ? 0 : 1);
        int status = -1;
        QVERIFY(waitpid(child, &status, 0) == child && status == 0);
        QVERIFY(QFileInfo::exists(storePath + ".lock"));
        second.UpdateFastestRaceTime(0, 5, 55.0);
        waited.start();
        QVERIFY(second.WriteFastestRaceTime());
        QCOMPARE_LT(waited.elapsed(), FileLock::WAIT_MS);
        QCOMPARE(Config(STORE_NAME).allEntries().value(RecordKey(0, "FiveLaps")), "55");
        QVERIFY(!QFileInfo::exists(storePath + ".lock"));
    }

  private:
    // Root reads any file, so the unreadable case runs again in a child process as the user nobody.
    void RunUnprivileged() {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                QCoreApplication::applicationFilePath(),
                                "onlyARegularFileIsTheStore:unreadable"});
        if (!child.waitForFinished(60000))
            QSKIP("setpriv could not run the unreadable case as the user nobody here.");
        const QString output = child.readAll();
        if (output.contains("SKIP   :"))
            QSKIP(qPrintable("Skipped as the user nobody: " + output));
        QVERIFY2(output.contains("PASS   : TestRecords::onlyARegularFileIsTheStore(unreadable)"),
                 qPrintable(output));
        QCOMPARE(child.exitCode(), 0);
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
