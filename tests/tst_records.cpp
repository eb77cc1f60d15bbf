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

double StoredRaceTime(int track, int laps) {
    UserSettings records;
    records.ReadFastestRaceTime();
    return records.FastestRaceTime(track, laps);
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
    // Which key holds which record, damaged entries and other programs' entries are the fuzz
    // test's.
    void keepsRaceTimesAndSurvivesAFailedSave();
    void onlyARegularFileIsTheStore_data();
    void onlyARegularFileIsTheStore();

  private:
    void RunUnprivileged();

    const TemporaryConfigHome home;
    const QString storePath = home.RecordsFile();
    const PreviewDirectory pictures;
};

void TestRecords::keepsRaceTimesAndSurvivesAFailedSave() {
    UserSettings records;
    records.UpdateFastestRaceTime(7, 10, 1234.5678);
    // Lengths the menu cannot offer, missing tracks and times no race gives are not kept. Each time
    // differs, so that a failure's actual value names its row.
    const std::tuple<int, int, double> refused[] = {{7, 2, 1.0},      {7, 24, 2.0},   {-1, 5, 3.0},
                                                    {15, 5, 4.0},     {7, 10, 0.0},   {7, 10, -3.0},
                                                    {7, 10, qQNaN()}, {7, 10, qInf()}};
    for (const auto& [track, laps, seconds] : refused) {
        records.UpdateFastestRaceTime(track, laps, seconds);
        QCOMPARE(records.FastestRaceTime(track, laps),
                 laps == 10 ? 1234.5678 : UserSettings::NO_RECORD);
    }
    QVERIFY(records.WriteFastestRaceTime());
    QCOMPARE(StoredRaceTime(7, 10), 1234.57);  // six digits kept

    // A full disk: the file stays as it was, and no temporary file is left beside it.
    const QString before = NodeState(storePath);
    records.UpdateFastestRaceTime(7, 10, 55.25);
    QVERIFY(!WithFileSizeLimit(512, [&] { return records.WriteFastestRaceTime(); }));
    QCOMPARE(NodeState(storePath), before);
    QCOMPARE(QDir(home.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Vantor.ini"});
    QVERIFY(records.WriteFastestRaceTime());
    QCOMPARE(StoredRaceTime(7, 10), 55.25);
}

void TestRecords::onlyARegularFileIsTheStore_data() {
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("problem");  // what the player is told; nothing for a store in use
    const char* const notAFile = "is not an ordinary file";
    const char* const rows[][3] = {
        {"link to a file", "link file", ""},
        {"link to a device", "link device", notAFile},
        {"link to a FIFO", "link fifo", notAFile},
        {"broken link", "link missing", "is a link to a file that does not exist"},
        {"FIFO", "fifo", notAFile},
        {"folder", "folder", "is a folder, not a file"},
        {"oversized file", "oversized", "is too large to be a race records file (over 1 MiB)"},
        {"damaged file", "damaged", "is damaged: it is not a race records file the game can read"},
        {"unreadable file", "unreadable", "cannot be read"},
    };
    for (const auto& [name, node, problem] : rows) {
        QTest::newRow(name) << QString(node) << QString(problem);
    }
}

// The store, or what stands in its place, is made here; the game starts on it, a race ends, and
// the game ends.
void TestRecords::onlyARegularFileIsTheStore() {
    QFETCH(QString, node);
    QFETCH(QString, problem);
    const QTemporaryDir elsewhere;
    const bool linked = node.startsWith("link ");
    const QString made = linked ? elsewhere.filePath("target") : storePath;
    const QByteArray madeName = QFile::encodeName(made);
    const QString kind = node.section(' ', -1);
    if (kind == "unreadable" && geteuid() == 0) {
        return RunUnprivileged();
    }
    bool ready = true;
    if (kind == "device") {
        // A character device like /dev/full, where any write fails.
        if (mknod(madeName, S_IFCHR | 0666, makedev(1, 7)) != 0) {
            QSKIP("Making a device node needs root; the device cases are not run.");
        }
    } else if (kind == "fifo") {
        ready = mkfifo(madeName, 0666) == 0;
    } else if (kind == "folder") {
        ready = QDir().mkpath(made + "/inside");
    } else if (kind != "missing") {
        const QByteArray contents =
            "[other]\nkept=yes\n[vantor]\nLapTime\\Track0\\TenLaps=70.5\n" +
            QByteArray(kind == "oversized" ? Config::MAX_FILE_BYTES : 0, ';') +
            QByteArray(kind == "damaged" ? "\x01\x02binary\n" : "");
        QFile file(made);
        ready = file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
                file.setPermissions(kind == "unreadable" ? QFile::Permissions()
                                                         : QFile::ReadOwner | QFile::WriteOwner);
    }
    QVERIFY(ready);
    if (kind == "unreadable" && QFile(made).open(QIODevice::ReadOnly)) {
        QSKIP("A file without read permission is still readable here; not run.");
    }
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
    child.setWorkingDirectory(QDir::rootPath());
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setChildProcessModifier([] {
        const uid_t nobody = 65534;  // and its group, nogroup
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) {
            _exit(125);
        }
    });
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("onlyARegularFileIsTheStore:unreadable file")});
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
