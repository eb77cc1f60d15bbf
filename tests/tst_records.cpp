// The records store: what stands where it belongs, the times it keeps, and generated and damaged
// files (a fixed seed, so a failure repeats).
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QtTest>

#include <cmath>
#include <tuple>
#include <utility>

#include "app/Globals.h"
#include "platform/Config.h"
#include "platform/GameFacts.h"
#include "platform/TrustedFile.h"
#include "records/UserSettings.h"
#include "tests/support/CompareCase.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/NodeState.h"

namespace {

constexpr quint32 SEED = 20261207;
const QString STORE_NAME = QStringLiteral("Vantor");
// AddressSanitizer, which clang announces only through __has_feature, makes every allocation some
// fifteen times dearer; a sixth of the files still puts every kind of damage through the store.
#ifndef __has_feature
#define __has_feature(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr int GENERATED_FILES = 32;
#else
constexpr int GENERATED_FILES = 200;
#endif
constexpr int MUTANTS_PER_FILE = 9;
const std::pair<int, const char*> RACE_LENGTHS[] = {{1, "OneLap"},      {5, "FiveLaps"},
                                                    {10, "TenLaps"},    {15, "FifteenLaps"},
                                                    {20, "TwentyLaps"}, {25, "TwentyFiveLaps"}};
// Endings that make a time no race gives, after text that may itself be a number.
const char* const DAMAGED_ENDINGS[] = {"", "x", "nan", "inf", "-5", "0", "1e999", "12abc"};
// What the INI layout has to quote, escape or trim, and text beyond Latin-1.
const QString TRICKY_TEXT =
    QStringLiteral(" \t\r\n\x01;,=\"\\%/[]#@$ab19\u00fc\u00df\u263a\U0001F697");
// Bytes and pieces that break lines, quotes, escapes, sections and UTF-8; an entry with half a
// surrogate pair.
const QList<QByteArray> MUTATION_PIECES = QByteArrayLiteral(
                                              "\n|\r\n|[|]|=|\"|\\|\\xdc00|;|%|%U|@|\0|\xff|\xc3| "
                                              "|[vantor]\n|\xef\xbb\xbf|9|e9|\nlone=\"\\xdc00\"\n")
                                              .split('|');

// INI-shaped, with comments and quoted section names, and no race records.
const QByteArray GIT_CONFIG =
    "# kept by hand\n[core]\n\trepositoryformatversion = 0\n\tbare = false\n"
    "[remote \"origin\"]\n\turl = https://example.org/game.git\n"
    "\tfetch = +refs/heads/*:refs/remotes/origin/*\n; the end\n";

using Entries = QMap<QString, QString>;  // "group/key" to text

QString RecordKey(int track, const char* word) {
    return QStringLiteral("vantor/LapTime/Track%1/%2").arg(track).arg(word);
}

// `entries` with every record in place as the text the store writes: as the game holds it when
// `game` is given, otherwise as reading the entries must give it, a missing or damaged one as no
// record.
Entries WithRecords(Entries entries, const UserSettings* game = nullptr) {
    for (int track = 0; track < TRACK_COUNT; ++track) {
        for (const auto& [laps, word] : RACE_LENGTHS) {
            bool number = false;
            double seconds = entries.value(RecordKey(track, word)).toDouble(&number);
            if (game != nullptr) {
                seconds = game->FastestRaceTime(track, laps);
            } else if (!number || !std::isfinite(seconds) || seconds <= 0) {
                seconds = UserSettings::NO_RECORD;
            }
            entries.insert(RecordKey(track, word), QString::number(seconds, 'g', 6));
        }
    }
    return entries;
}

// As "key=text" lines, so that a failure shows the first entry that differs.
QStringList Lines(const Entries& entries) {
    QStringList lines;
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
        lines += entry.key() + '=' + entry.value();
    return lines;
}

// Every entry of a file as Qt's own INI reader sees it; empty when it finds the file malformed.
Entries QtEntries(const QString& path) {
    const QSettings file(path, QSettings::IniFormat);
    Entries entries;
    for (const QString& key : file.allKeys()) entries.insert(key, file.value(key).toString());
    return file.status() == QSettings::NoError ? entries : Entries{{"status", "malformed"}};
}

bool Write(const QString& path, const QByteArray& contents, bool readable = true) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size() &&
           file.setPermissions(readable ? QFile::ReadOwner | QFile::WriteOwner
                                        : QFile::Permissions());
}

QString RandomText(QRandomGenerator& random, int maxLength) {
    QString text;
    for (int length = random.bounded(maxLength + 1); length > 0; --length) {
        const qsizetype at = random.bounded(TRICKY_TEXT.size());
        // Keep surrogate pairs whole.
        const qsizetype start = TRICKY_TEXT.at(at).isLowSurrogate() ? at - 1 : at;
        text += TRICKY_TEXT.mid(start, TRICKY_TEXT.at(start).isHighSurrogate() ? 2 : 1);
    }
    return text;
}

// Written by Qt's own INI writer: valid and damaged records, and entries of other programs; the
// file stays for Qt's reader.
QByteArray GeneratedFile(QRandomGenerator& random, const QString& path) {
    {
        QSettings file(path, QSettings::IniFormat);
        for (int entry = random.bounded(1, 12); entry > 0; --entry) {
            const QString key =
                RecordKey(random.bounded(TRACK_COUNT), RACE_LENGTHS[random.bounded(6)].second);
            const int damage = random.bounded(4 * int(std::size(DAMAGED_ENDINGS)));
            file.setValue(key, damage < int(std::size(DAMAGED_ENDINGS))
                                   ? RandomText(random, 4) + DAMAGED_ENDINGS[damage]
                                   : QString::number(random.bounded(1, 200000000) / 100000.0));
        }
        for (int entry = random.bounded(8); entry > 0; --entry) {
            file.setValue(QStringLiteral("other%1/").arg(random.bounded(3)) +
                              RandomText(random, 8).remove('/').remove('\\') + 'k',
                          RandomText(random, 12));
        }
    }
    QByteArray contents = Contents(path);
    // Some editors save with a byte order mark and Windows line ends.
    return random.bounded(2) == 0 ? "\xEF\xBB\xBF" + contents.replace("\n", "\r\n") : contents;
}

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

  private slots:
    void keepsOnlyRaceTimes();
    void generatedAndDamagedFilesRoundTrip();
    void onlyARegularFileIsTheStore_data();
    void onlyARegularFileIsTheStore();
    void onlyTheRecordLinesAreRewritten();
    void twoGamesOnOneFileLoseNothing();
    void aHeldLockNeitherHangsNorLosesRecords();

  private:
    void RunUnprivileged();

    // The fuzz test saves thousands of files; syncing each to a disk would take a minute.
    const TemporaryConfigHome home{QFileInfo("/dev/shm").isWritable() ? "/dev/shm"
                                                                      : QDir::tempPath()};
    const QString storePath = home.RecordsFile();
    const PreviewDirectory pictures;
};

// Lengths the menu cannot offer, missing tracks and times no race gives are not kept. Each time
// differs, so that a failure's actual value names its row.
void TestRecords::keepsOnlyRaceTimes() {
    UserSettings records;
    records.UpdateFastestRaceTime(7, 10, 70.5);
    const std::tuple<int, int, double> refused[] = {{7, 2, 1.0},      {7, 24, 2.0},   {-1, 5, 3.0},
                                                    {15, 5, 4.0},     {7, 10, 0.0},   {7, 10, -3.0},
                                                    {7, 10, qQNaN()}, {7, 10, qInf()}};
    for (const auto& [track, laps, seconds] : refused) {
        records.UpdateFastestRaceTime(track, laps, seconds);
        QCOMPARE(records.FastestRaceTime(track, laps), laps == 10 ? 70.5 : UserSettings::NO_RECORD);
    }
}

void TestRecords::generatedAndDamagedFilesRoundTrip() {
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
        const Entries written = QtEntries(source);
        for (int mutant = 0; mutant <= MUTANTS_PER_FILE; ++mutant, ++files) {
            contents = original;
            for (int changes = mutant == 0 ? 0 : random.bounded(1, 4); changes > 0; --changes) {
                const qsizetype at = random.bounded(contents.size() + 1);
                const int change = random.bounded(3);
                if (change == 0)
                    contents.insert(at,
                                    MUTATION_PIECES[random.bounded(int(MUTATION_PIECES.size()))]);
                else if (change == 1)
                    contents.remove(at, random.bounded(1, 8));
                else
                    contents.truncate(at);
            }
            QVERIFY(Write(storePath, contents));
            UserSettings records;
            records.ReadFastestRaceTime();
            const Entries read = Config(STORE_NAME).allEntries();
            if (mutant == 0) {
                QCOMPARE(Lines(read), Lines(written));  // read as Qt's reader reads it
            }
            if (!records.StoreProblem().isEmpty()) {
                QCOMPARE(records.WriteFastestRaceTime(), false);
                QCOMPARE(Contents(storePath), contents);  // a store set aside stays as it was
                continue;
            }
            // Every valid record read under its key, whatever else the file held; every entry kept.
            const Entries expected = WithRecords(read);
            QCOMPARE(Lines(WithRecords(read, &records)), Lines(expected));
            if (mutant == 0) {
                // A full disk: the file stays as it was, and no temporary file is left beside it.
                QVERIFY(!WithFileSizeLimit(64, [&] { return records.WriteFastestRaceTime(); }));
                QCOMPARE(Contents(storePath), contents);
                QCOMPARE(QDir(home.path()).entryList({"Vantor.ini*"}, QDir::Files | QDir::Hidden),
                         QStringList{"Vantor.ini"});
            }
            QVERIFY(records.WriteFastestRaceTime());
            const Entries saved = Config(STORE_NAME).allEntries();
            QCOMPARE(Lines(saved), Lines(expected));
            if (mutant == 0) {
                QCOMPARE(Lines(QtEntries(storePath)), Lines(saved));  // and as Qt's reader reads it
            }
        }
    }
}

void TestRecords::onlyARegularFileIsTheStore_data() {
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("problem");  // what the player is told; nothing for a store in use
    const char* const rows[][3] = {
        {"link to a file", "link file", ""},
        {"link to a device", "link device", "is not an ordinary file"},
        {"link to a FIFO", "link fifo", "is not an ordinary file"},
        {"broken link", "link missing", "is a link to a file that does not exist"},
        {"FIFO", "fifo", "is not an ordinary file"},
        {"folder", "folder", "is a folder, not a file"},
        {"oversized file", "oversized", "is too large to be a race records file (over 1 MiB)"},
        {"damaged file", "damaged", "is damaged: it is not a race records file the game can read"},
        {"link to another program's INI file", "link foreign",
         "is not a race records file (it has no [vantor] section)"},
        {"unreadable file", "unreadable", "cannot be read"},
    };
    for (const auto& [name, node, problem] : rows)
        QTest::newRow(name) << QString(node) << QString(problem);
}

// The store, or what stands in its place, is made here; the game starts on it, a race ends, and
// the game ends.
void TestRecords::onlyARegularFileIsTheStore() {
    QFETCH(QString, node);
    QFETCH(QString, problem);
    QFile::remove(storePath);  // what an earlier row made there
    QDir(storePath).removeRecursively();
    const QTemporaryDir elsewhere;
    const bool linked = node.startsWith("link ");
    const QString made = linked ? elsewhere.filePath("target") : storePath;
    const QString kind = node.section(' ', -1);
    if (kind == "unreadable" && geteuid() == 0)
        return RunUnprivileged();
    if (kind == "device") {
        // A character device like /dev/full, where any write fails.
        if (mknod(QFile::encodeName(made), S_IFCHR | 0666, makedev(1, 7)) != 0)
            QSKIP("Making a device node needs root; the device cases are not run.");
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(made), 0666), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(made + "/inside"));
    } else if (kind == "foreign") {
        QVERIFY(Write(made, GIT_CONFIG));
    } else if (kind != "missing") {
        QVERIFY(Write(made,
                      "[other]\nkept=yes\n[vantor]\nLapTime\\Track0\\TenLaps=70.5\n" +
                          QByteArray(kind == "oversized" ? Config::MAX_FILE_BYTES : 0, ';') +
                          QByteArray(kind == "damaged" ? "\x01\x02binary\n" : ""),
                      kind != "unreadable"));
    }
    if (kind == "unreadable" && QFile(made).open(QIODevice::ReadOnly))
        QSKIP("A file without read permission is still readable here; not run.");
    if (linked)
        QVERIFY(QFile::link(made, storePath));
    const QString before = NodeState(storePath);

    MessageBoxWatcher boxes;
    {
        Vantor game(pictures.Path());
        game.Start();
        QCOMPARE(vantorConfig->FastestRaceTime(0, 10), problem.isEmpty() ? 70.5 : 999.99);
        // The race runs on the records in memory; a set-aside store is neither written nor its
        // save failure told after the race.
        game.RaceFinished(true, 61500);
        QCOMPARE(vantorConfig->FastestRaceTime(0, 10), 61.5);
    }
    QCOMPARE(boxes.Warnings().size(), problem.isEmpty() ? 0 : 1);
    if (problem.isEmpty()) {
        // Followed: the link stays, and the file it points to is rewritten with what it held.
        QCOMPARE(QFileInfo(storePath).symLinkTarget(), made);
        const QSettings target(made, QSettings::IniFormat);
        QCOMPARE(target.value("other/kept").toString(), QString("yes"));
        QCOMPARE(target.value("vantor/LapTime/Track0/TenLaps").toString(), QString("61.5"));
        return;
    }
    QCOMPARE(NodeState(storePath), before);
    const ShownWarning& box = boxes.Warnings().first();
    QCOMPARE(box.caption, QString("Vantor"));
    QCOMPARE(box.buttons, QStringList{"OK"});
    const QString file =
        linked && kind != "missing"
            ? QString("%1 (a link to %2)").arg(storePath, QFileInfo(made).canonicalFilePath())
            : storePath;
    QCOMPARE(box.text, QString("The race records file %1 %2.\n\nYour race records will not be kept "
                               "this time; the game leaves it as it is.")
                           .arg(file, problem));
}

// A records file kept by hand, with Windows line ends: a save changes the record lines it must
// and adds the missing ones to the records section; every other line stays as it was, in its
// place. Another program's INI file gets no group added by any store.
void TestRecords::onlyTheRecordLinesAreRewritten() {
    const QByteArray before =
        "; my records\r\n[remote \"origin\"]\r\n\turl = https://example.org/x.git\r\n"
        "[vantor]\r\n# the best so far\r\nLapTime\\Track0\\TenLaps = 70.5 ; good\r\n"
        "LapTime\\Track3\\FiveLaps=abc\r\nLapTime\\Track4\\FiveLaps = 33.5 ; mine\r\n\r\n"
        "[other]\r\nkept=yes";
    QDir(storePath).removeRecursively();
    QVERIFY(Write(storePath, before));
    UserSettings records;
    records.ReadFastestRaceTime();
    QCOMPARE(records.StoreProblem(), QString());
    records.UpdateFastestRaceTime(0, 10, 61.5);
    QVERIFY(records.WriteFastestRaceTime());
    const QByteArray after = Contents(storePath);
    const auto linesBut = [](const QByteArray& contents, const QByteArray& records) {
        QList<QByteArray> lines = contents.split('\n');
        lines.removeIf([&](const QByteArray& line) { return line.startsWith(records); });
        return lines;
    };
    // Every line but the changed and added records, byte for byte and in order.
    QCOMPARE(linesBut(after, "LapTime\\"), linesBut(before, "LapTime\\"));
    QVERIFY(after.contains("\r\nLapTime\\Track0\\TenLaps = 61.5\r\n"));
    QVERIFY(after.contains("\r\nLapTime\\Track3\\FiveLaps=999.99\r\n"));
    QVERIFY(after.contains("\r\nLapTime\\Track4\\FiveLaps = 33.5 ; mine\r\n"));
    QCOMPARE(after.count("\r\n"), after.count('\n'));
    // The records added stand in the records section, before the blank line that closes it.
    const Entries saved = Config(STORE_NAME).allEntries();
    QCOMPARE(Lines(saved),
             Lines(WithRecords({{"remote \"origin\"/url", "https://example.org/x.git"},
                                {"vantor/LapTime/Track0/TenLaps", "61.5"},
                                {"vantor/LapTime/Track4/FiveLaps", "33.5"},
                                {"other/kept", "yes"}})));
    const qsizetype added = after.indexOf("\r\nLapTime\\Track9\\OneLap=999.99\r\n");
    QVERIFY(added > after.indexOf("[vantor]") && added < after.indexOf("\r\n\r\n[other]"));

    // Saved again with nothing changed, the file stays as it is.
    QVERIFY(records.WriteFastestRaceTime());
    QCOMPARE(Contents(storePath), after);

    QVERIFY(Write(storePath, GIT_CONFIG));
    {
        Config settings(STORE_NAME);
        settings.setGroup("sound");
        settings.writeEntry("muted", "true");
        QCOMPARE(settings.save(), false);
        QCOMPARE(settings.errorString(), "it holds another program's settings");
    }
    QCOMPARE(Contents(storePath), GIT_CONFIG);
}

// Two games read the same file at start-up, and each saves its own new records after the other
// saved: every record survives, of two times for one race the faster, and nothing else is lost.
void TestRecords::twoGamesOnOneFileLoseNothing() {
    QDir(storePath).removeRecursively();
    QVERIFY(Write(storePath, "[other]\nkept=yes\n[vantor]\nLapTime\\Track5\\FiveLaps=40\n"));
    UserSettings first;
    UserSettings second;
    first.ReadFastestRaceTime();
    second.ReadFastestRaceTime();
    // track, laps, the first game's time, the second's (0: none), the time that stands
    const std::tuple<int, int, double, double, double> races[] = {
        {0, 5, 61.5, 0, 61.5},      // only the first game
        {1, 5, 0, 72.25, 72.25},    // only the second
        {2, 10, 90.0, 80.0, 80.0},  // both, the second faster
        {3, 1, 20.0, 25.0, 20.0},   // both, the first faster though it saved first
        {5, 5, 0, 0, 40.0},         // neither: the record from before stays
    };
    for (const auto& [track, laps, firstTime, secondTime, standing] : races) {
        first.UpdateFastestRaceTime(track, laps, firstTime);
        second.UpdateFastestRaceTime(track, laps, secondTime);
    }
    QVERIFY(first.WriteFastestRaceTime());
    QVERIFY(second.WriteFastestRaceTime());
    UserSettings after;
    after.ReadFastestRaceTime();
    for (const auto& [track, laps, firstTime, secondTime, standing] : races) {
        const QByteArray race = QByteArray::number(track) + " over " + QByteArray::number(laps);
        COMPARE_CASE(after.FastestRaceTime(track, laps), standing, "on disk: track " + race);
        // The game that saved last holds what is on disk; the other keeps what it knew.
        COMPARE_CASE(second.FastestRaceTime(track, laps), standing, "second game: track " + race);
    }
    QCOMPARE(first.FastestRaceTime(1, 5), UserSettings::NO_RECORD);
    QCOMPARE(Config(STORE_NAME).allEntries().value("other/kept"), QString("yes"));
}

// While another holder keeps the file's lock, a save waits a moment, then fails and says so,
// leaving the file as it was and the records in memory; the next save keeps them. A lock its
// holder left behind when it ended is taken over at once.
void TestRecords::aHeldLockNeitherHangsNorLosesRecords() {
    const QByteArray before = "[vantor]\nLapTime\\Track0\\FiveLaps=70.5\n";
    QDir(storePath).removeRecursively();
    QVERIFY(Write(storePath, before));
    UserSettings records;
    records.ReadFastestRaceTime();
    records.UpdateFastestRaceTime(0, 5, 61.5);
    QElapsedTimer waited;
    {
        QLockFile held(storePath + ".lock");
        QVERIFY(held.tryLock(0));
        waited.start();
        QCOMPARE(records.WriteFastestRaceTime(), false);
        QVERIFY2(waited.elapsed() < 3 * FileLock::WAIT_MS,
                 qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(records.SaveProblem(), "Could not save the race records to " + storePath +
                                            ": another game kept it locked.");
        QCOMPARE(Contents(storePath), before);
        QCOMPARE(records.FastestRaceTime(0, 5), 61.5);
    }
    QVERIFY(records.WriteFastestRaceTime());
    QCOMPARE(records.SaveProblem(), QString());
    QCOMPARE(Config(STORE_NAME).allEntries().value("vantor/LapTime/Track0/FiveLaps"), "61.5");

    // A game that ended holding the lock: a child process takes it and ends without a word.
    const pid_t child = fork();
    if (child == 0) {
        QLockFile left(storePath + ".lock");
        _exit(left.tryLock(0) ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QCOMPARE(status, 0);
    QVERIFY(QFileInfo::exists(storePath + ".lock"));
    records.UpdateFastestRaceTime(0, 5, 55.0);
    waited.start();
    QVERIFY(records.WriteFastestRaceTime());
    QVERIFY2(waited.elapsed() < FileLock::WAIT_MS, qPrintable(QString::number(waited.elapsed())));
    QCOMPARE(Config(STORE_NAME).allEntries().value("vantor/LapTime/Track0/FiveLaps"), "55");
    QVERIFY(!QFileInfo::exists(storePath + ".lock"));
}

// Root reads any file, so the unreadable case runs again in a child process as the user nobody.
void TestRecords::RunUnprivileged() {
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                            QCoreApplication::applicationFilePath(),
                            "onlyARegularFileIsTheStore:unreadable file"});
    if (!child.waitForFinished(60000))
        QSKIP("The unreadable case needs setpriv to run as the user nobody, which failed here.");
    const QString output = child.readAll();
    if (output.contains("SKIP   :"))
        QSKIP(qPrintable("Skipped as the user nobody: " + output));
    QVERIFY2(output.contains("PASS   : TestRecords::onlyARegularFileIsTheStore(unreadable file)"),
             qPrintable(output));
    QCOMPARE(child.exitCode(), 0);
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
