#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <tuple>

#include "app/Globals.h"
#include "platform/Config.h"
#include "records/UserSettings.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/GameFixture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/NodeState.h"

namespace {

const char* const LENGTH_WORDS[] = {"OneLap",      "FiveLaps",   "TenLaps",
                                    "FifteenLaps", "TwentyLaps", "TwentyFiveLaps"};

QString Key(int track, const char* word) {
    return QString("vantor/LapTime/Track%1/%2").arg(track).arg(word);
}

UserSettings ReadRecords() {
    UserSettings records;
    records.ReadFastestRaceTime();
    return records;
}

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

  private slots:
    // Whatever stands where the store belongs: a file, link, FIFO or device, or a folder.
    void init() {
        QFile::remove(storePath);
        QDir(storePath).removeRecursively();
    }
    void storesEveryRecordUnderItsOwnKey();
    void damagedEntriesReadAsNoRecordAndAreRepaired();
    void anUnwritableStoreLosesNothing();
    void onlyARegularFileIsTheStore_data();
    void onlyARegularFileIsTheStore();

  private:
    // Every entry of the file as Qt's own INI reader sees it.
    QMap<QString, QString> StoredFile() const {
        const QSettings file(storePath, QSettings::IniFormat);
        QMap<QString, QString> entries;
        for (const QString& key : file.allKeys()) {
            entries.insert(key, file.value(key).toString());
        }
        return entries;
    }

    void RunUnprivileged();

    const TemporaryConfigHome home;
    const QString storePath = home.RecordsFile();
    const PreviewDirectory pictures;
};

// Which key holds which record is the fuzz test's, against Qt's own INI reader and writer.
void TestRecords::storesEveryRecordUnderItsOwnKey() {
    UserSettings records = ReadRecords();
    records.UpdateFastestRaceTime(0, 5, 123.4567);
    records.UpdateFastestRaceTime(2, 15, 1234.5678);
    records.UpdateFastestRaceTime(7, 10, 70.0);
    // Lengths the menu cannot offer, missing tracks and times no race can beat are not kept.
    const std::tuple<int, int, double> refused[] = {{7, 2, 1.0},      {7, 24, 1.0},   {-1, 5, 1.0},
                                                    {15, 5, 1.0},     {7, 10, 0.0},   {7, 10, -3.0},
                                                    {7, 10, qQNaN()}, {7, 10, qInf()}};
    for (const auto& [track, laps, seconds] : refused) {
        records.UpdateFastestRaceTime(track, laps, seconds);
        QCOMPARE(records.FastestRaceTime(track, laps), laps == 10 ? 70.0 : 999.99);
    }
    QVERIFY(records.WriteFastestRaceTime());
    QMap<QString, QString> expected;
    for (int track = 0; track < UserSettings::TRACK_COUNT; ++track) {
        for (const char* word : LENGTH_WORDS) {
            expected.insert(Key(track, word), "999.99");
        }
    }
    expected[Key(0, "FiveLaps")] = "123.457";
    expected[Key(2, "FifteenLaps")] = "1234.57";
    expected[Key(7, "TenLaps")] = "70";
    QCOMPARE(StoredFile(), expected);
    QCOMPARE(ReadRecords().FastestRaceTime(2, 15), 1234.57);
}

void TestRecords::damagedEntriesReadAsNoRecordAndAreRepaired() {
    const QStringList damaged = {"", "abc", "nan", "inf", "-5", "0", "1e999", "12abc"};
    QFile file(storePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF[vantor]\r\n");  // as some editors save it
    for (int track = 0; track < damaged.size(); ++track) {
        file.write(
            QString("LapTime\\Track%1\\FiveLaps=%2\n").arg(track).arg(damaged[track]).toUtf8());
    }
    file.close();

    UserSettings records = ReadRecords();
    for (int track = 0; track < damaged.size(); ++track) {
        QCOMPARE(records.FastestRaceTime(track, 5), 999.99);
    }
    QVERIFY(records.WriteFastestRaceTime());
    const QMap<QString, QString> stored = StoredFile();
    for (int track = 0; track < damaged.size(); ++track) {
        QCOMPARE(stored.value(Key(track, "FiveLaps")), QString("999.99"));
    }
}

void TestRecords::anUnwritableStoreLosesNothing() {
    UserSettings records = ReadRecords();
    records.UpdateFastestRaceTime(4, 10, 61.5);
    QVERIFY(records.WriteFastestRaceTime());
    const QMap<QString, QString> before = StoredFile();

    records.UpdateFastestRaceTime(4, 10, 55.25);
    QVERIFY(!WithFileSizeLimit(512, [&] { return records.WriteFastestRaceTime(); }));
    QCOMPARE(StoredFile(), before);
    QCOMPARE(QDir(QFileInfo(storePath).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Vantor.ini"});
    QVERIFY(records.WriteFastestRaceTime());
    QCOMPARE(ReadRecords().FastestRaceTime(4, 10), 55.25);
}

void TestRecords::onlyARegularFileIsTheStore_data() {
    QTest::addColumn<QString>("node");
    // What the player is told is wrong; nothing for a store in use.
    QTest::addColumn<QString>("problem");
    const QString notAFile = "is not an ordinary file";
    QTest::newRow("link to a file") << "link file"
                                    << "";
    QTest::newRow("link to a device") << "link device" << notAFile;
    QTest::newRow("link to a FIFO") << "link fifo" << notAFile;
    QTest::newRow("broken link") << "link missing"
                                 << "is a link to a file that does not exist";
    QTest::newRow("FIFO") << "fifo" << notAFile;
    QTest::newRow("folder") << "folder"
                            << "is a folder, not a file";
    QTest::newRow("oversized file") << "oversized"
                                    << "is too large to be a race records file (over 1 MiB)";
    QTest::newRow("damaged file") << "damaged"
                                  << "is damaged: it is not a race records file the game can read";
    QTest::newRow("unreadable file") << "unreadable"
                                     << "cannot be read";
}

// The store, or what stands in its place, is made here; the game starts on it, a race ends, and
// the game ends.
void TestRecords::onlyARegularFileIsTheStore() {
    QFETCH(QString, node);
    QFETCH(QString, problem);
    const QByteArray records = "[other]\nkept=yes\n[vantor]\nLapTime\\Track0\\TenLaps=70.5\n";
    const QTemporaryDir elsewhere;
    const bool linked = node.startsWith("link ");
    const QString made = linked ? elsewhere.filePath("target") : storePath;
    const QString kind = node.section(' ', -1);
    const auto write = [&](const QByteArray& contents, QFile::Permissions permissions) {
        QFile file(made);
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
               file.setPermissions(permissions);
    };
    const QFile::Permissions readWrite = QFile::ReadOwner | QFile::WriteOwner;
    bool ready = kind == "missing";
    if (kind == "file") {
        ready = write(records, readWrite);
    } else if (kind == "device") {
        // A character device like /dev/full, where any write fails.
        if (mknod(QFile::encodeName(made), S_IFCHR | 0666, makedev(1, 7)) != 0) {
            QSKIP("Making a device node needs root; the device cases are not run.");
        }
        ready = true;
    } else if (kind == "fifo") {
        ready = mkfifo(QFile::encodeName(made), 0666) == 0;
    } else if (kind == "folder") {
        ready = QDir().mkpath(made + "/inside");
    } else if (kind == "oversized") {
        ready = write(records + QByteArray(Config::MAX_FILE_BYTES, ';'), readWrite);
    } else if (kind == "damaged") {
        ready = write(records + "\x01\x02binary\n", readWrite);
    } else if (kind == "unreadable") {
        ready = write(records, {});
        if (geteuid() == 0) {
            return RunUnprivileged();
        }
        if (QFile(made).open(QIODevice::ReadOnly)) {
            QSKIP("A file without read permission is still readable here; not run.");
        }
    }
    QVERIFY(ready);
    if (linked) {
        QVERIFY(QFile::link(made, storePath));
    }
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
        QCOMPARE(QFileInfo(made).isFile(), true);
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

// Root reads any file, so the unreadable case runs again in a child process as the user nobody.
void TestRecords::RunUnprivileged() {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("onlyARegularFileIsTheStore:unreadable file")});
    child.setWorkingDirectory(QDir::rootPath());
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setChildProcessModifier([] {
        const gid_t nogroup = 65534;
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(nobody) != 0) {
            _exit(125);
        }
    });
    child.start();
    if (!child.waitForFinished(60000) || child.exitCode() == 125) {
        QSKIP("The unreadable case needs to run as the user nobody, which failed here.");
    }
    const QString output = child.readAll();
    if (output.contains("SKIP   :")) {
        QSKIP(qPrintable("Skipped as the user nobody: " + output));
    }
    QVERIFY2(output.contains("PASS   : TestRecords::onlyARegularFileIsTheStore(unreadable file)"),
             qPrintable(output));
    QCOMPARE(child.exitCode(), 0);
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
