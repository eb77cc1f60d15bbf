#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>

#include "records/UserSettings.h"

namespace {

// The race lengths the start menu offers and the word each one's records are stored under.
struct StoredLength {
    int laps;
    const char* word;
};
constexpr StoredLength STORED_LENGTHS[] = {
    {1, "OneLap"},       {5, "FiveLaps"},    {10, "TenLaps"},
    {15, "FifteenLaps"}, {20, "TwentyLaps"}, {25, "TwentyFiveLaps"},
};
constexpr int TRACKS = 15;
const QString NO_RECORD_TEXT = "999.99";

// The key as it appears in the store file: "/LapTime/Track3/TenLaps" is written
// LapTime\Track3\TenLaps.
QString FileKey(int track, const char* word) {
    return QString("LapTime\\Track%1\\%2").arg(track).arg(word);
}

// A distinct time for every track and length, so that a record filed in the wrong place shows.
double DistinctTime(int track, int laps) {
    return 100.0 + track + laps / 100.0;
}

// Sets the soft limit on file sizes for the life of the object; a write that would pass it fails
// with "file too large", which stops root as surely as anybody else, like a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        applied = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isApplied() const { return applied; }

  private:
    rlimit previous{};
    void (*oldHandler)(int) = nullptr;
    bool applied = false;
};

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

  public:
    explicit TestRecords(QString configHome) : storePath(configHome + "/Vantor.ini") {}

  private slots:
    void init();
    void firstRaceWritesTheWholeTable();
    void storesSixSignificantDigits();
    void anUpdateChangesOnlyItsOwnRecord();
    void eachRaceLengthHasItsOwnRecords();
    void damagedEntriesReadAsNoRecord();
    void anUnwritableStoreLosesNothing();

  private:
    // The entries of every [group] as the file holds them, read without the store's own reader.
    QMap<QString, QMap<QString, QString>> StoredFile() const;
    QMap<QString, QString> StoredEntries() const { return StoredFile().value("[vantor]"); }
    void WriteStoreFile(const QByteArray& contents) const;

    const QString storePath;
};

void TestRecords::init() {
    QFile::remove(storePath);
    QDir(storePath).removeRecursively();
}

QMap<QString, QMap<QString, QString>> TestRecords::StoredFile() const {
    QMap<QString, QMap<QString, QString>> groups;
    QFile file(storePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return groups;
    }
    QString group;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith('[')) {
            group = line;
            groups[group];
        } else if (equals > 0) {
            groups[group].insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return groups;
}

void TestRecords::WriteStoreFile(const QByteArray& contents) const {
    QFile file(storePath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
}

void TestRecords::firstRaceWritesTheWholeTable() {
    QVERIFY(!QFileInfo::exists(storePath));
    UserSettings records;
    records.ReadFastestRaceTime();
    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            QCOMPARE(records.FastestRaceTime(track, length.laps), 999.99);
        }
    }
    // Reading alone creates nothing.
    QVERIFY(!QFileInfo::exists(storePath));

    records.UpdateFastestRaceTime(0, 5, 123.4567);
    QVERIFY(records.WriteFastestRaceTime());

    QVERIFY(QFileInfo(storePath).isFile());
    QCOMPARE(StoredFile().keys(), QStringList{"[vantor]"});
    QMap<QString, QString> expected;
    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            expected.insert(FileKey(track, length.word), NO_RECORD_TEXT);
        }
    }
    expected[FileKey(0, "FiveLaps")] = "123.457";
    QCOMPARE(expected.size(), 90);
    const QMap<QString, QString> stored = StoredEntries();
    QCOMPARE(stored, expected);
    const int oneLapKeys =
        int(std::count_if(stored.keyBegin(), stored.keyEnd(),
                          [](const QString& key) { return key.endsWith("\\OneLap"); }));
    QCOMPARE(oneLapKeys, 15);
    QCOMPARE(int(std::count(stored.cbegin(), stored.cend(), NO_RECORD_TEXT)), 89);
}

void TestRecords::storesSixSignificantDigits() {
    UserSettings records;
    records.ReadFastestRaceTime();
    records.UpdateFastestRaceTime(2, 10, 123.4567);
    records.UpdateFastestRaceTime(2, 15, 1234.5678);
    records.UpdateFastestRaceTime(2, 20, 59.5);
    records.UpdateFastestRaceTime(2, 25, 1000000.4);
    QVERIFY(records.WriteFastestRaceTime());

    const QMap<QString, QString> stored = StoredEntries();
    QCOMPARE(stored.value(FileKey(2, "TenLaps")), QString("123.457"));
    QCOMPARE(stored.value(FileKey(2, "FifteenLaps")), QString("1234.57"));
    QCOMPARE(stored.value(FileKey(2, "TwentyLaps")), QString("59.5"));
    QCOMPARE(stored.value(FileKey(2, "TwentyFiveLaps")), QString("1e+06"));

    // The running game keeps full precision; only a restart sees the stored digits.
    QCOMPARE(records.FastestRaceTime(2, 15), 1234.5678);
    UserSettings restarted;
    restarted.ReadFastestRaceTime();
    QCOMPARE(restarted.FastestRaceTime(2, 10), 123.457);
    QCOMPARE(restarted.FastestRaceTime(2, 15), 1234.57);
    QCOMPARE(restarted.FastestRaceTime(2, 25), 1e6);
}

void TestRecords::anUpdateChangesOnlyItsOwnRecord() {
    UserSettings first;
    first.ReadFastestRaceTime();
    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            first.UpdateFastestRaceTime(track, length.laps, DistinctTime(track, length.laps));
        }
    }
    QVERIFY(first.WriteFastestRaceTime());

    UserSettings second;
    second.ReadFastestRaceTime();
    second.UpdateFastestRaceTime(3, 20, 50.0);
    QCOMPARE(second.FastestRaceTime(3, 20), 50.0);
    QVERIFY(second.WriteFastestRaceTime());

    UserSettings third;
    third.ReadFastestRaceTime();
    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            const double expected =
                track == 3 && length.laps == 20 ? 50.0 : DistinctTime(track, length.laps);
            QCOMPARE(second.FastestRaceTime(track, length.laps), expected);
            QCOMPARE(third.FastestRaceTime(track, length.laps), expected);
        }
    }
    // A record is replaced without comparing: the caller decides what beats it.
    third.UpdateFastestRaceTime(3, 20, 70.0);
    QCOMPARE(third.FastestRaceTime(3, 20), 70.0);
}

void TestRecords::eachRaceLengthHasItsOwnRecords() {
    UserSettings records;
    records.ReadFastestRaceTime();
    for (const StoredLength& length : STORED_LENGTHS) {
        records.UpdateFastestRaceTime(7, length.laps, DistinctTime(7, length.laps));
    }
    for (const StoredLength& length : STORED_LENGTHS) {
        QCOMPARE(records.FastestRaceTime(7, length.laps), DistinctTime(7, length.laps));
    }

    // Lengths the menu cannot offer and tracks that do not exist are neither kept nor stored.
    for (const int laps : {0, -5, 2, 7, 24, 26, 30}) {
        records.UpdateFastestRaceTime(7, laps, 1.0);
        QCOMPARE(records.FastestRaceTime(7, laps), 999.99);
    }
    for (const int track : {-1, 15, 100}) {
        records.UpdateFastestRaceTime(track, 5, 1.0);
        QCOMPARE(records.FastestRaceTime(track, 5), 999.99);
    }
    // Nor are times that could never be beaten.
    for (const double seconds : {0.0, -3.0, qQNaN(), qInf()}) {
        records.UpdateFastestRaceTime(7, 10, seconds);
        QCOMPARE(records.FastestRaceTime(7, 10), DistinctTime(7, 10));
    }
    for (const StoredLength& length : STORED_LENGTHS) {
        QCOMPARE(records.FastestRaceTime(7, length.laps), DistinctTime(7, length.laps));
    }

    QVERIFY(records.WriteFastestRaceTime());
    const QMap<QString, QString> stored = StoredEntries();
    QCOMPARE(stored.size(), 90);
    for (const StoredLength& length : STORED_LENGTHS) {
        QCOMPARE(stored.value(FileKey(7, length.word)),
                 QString::number(DistinctTime(7, length.laps), 'g', 6));
        QCOMPARE(stored.value(FileKey(6, length.word)), NO_RECORD_TEXT);
    }
}

void TestRecords::damagedEntriesReadAsNoRecord() {
    WriteStoreFile(
        "[other]\n"
        "kept=yes\n"
        "\n"
        "[vantor]\n"
        "LapTime\\Track0\\FiveLaps=\n"
        "LapTime\\Track1\\FiveLaps=abc\n"
        "LapTime\\Track2\\FiveLaps=nan\n"
        "LapTime\\Track3\\FiveLaps=inf\n"
        "LapTime\\Track4\\FiveLaps=-5\n"
        "LapTime\\Track5\\FiveLaps=0\n"
        "LapTime\\Track6\\FiveLaps=-inf\n"
        "LapTime\\Track7\\FiveLaps=1e999\n"
        "LapTime\\Track8\\FiveLaps=88.5\n"
        "LapTime\\Track9\\FiveLaps=12abc\n"
        "LapTime\\Track10\\FiveLaps=\"1,5\"\n"
        "LapTime\\Track11\\OneLap=0.0\n"
        "LapTime\\Track12\\TwentyFiveLaps=301.25\n");

    UserSettings records;
    records.ReadFastestRaceTime();
    for (int track = 0; track <= 11; ++track) {
        const int laps = track == 11 ? 1 : 5;
        const double expected = track == 8 ? 88.5 : 999.99;
        QCOMPARE(records.FastestRaceTime(track, laps), expected);
    }
    QCOMPARE(records.FastestRaceTime(12, 25), 301.25);

    // A damaged entry does not block the record: the next race under 999.99 sets it.
    records.UpdateFastestRaceTime(1, 5, 500.0);
    QVERIFY(records.WriteFastestRaceTime());

    const QMap<QString, QString> stored = StoredEntries();
    QCOMPARE(stored.size(), 90);
    for (const int track : {0, 2, 3, 4, 5, 6, 7, 9, 10}) {
        QCOMPARE(stored.value(FileKey(track, "FiveLaps")), NO_RECORD_TEXT);
    }
    QCOMPARE(stored.value(FileKey(11, "OneLap")), NO_RECORD_TEXT);
    QCOMPARE(stored.value(FileKey(1, "FiveLaps")), QString("500"));
    QCOMPARE(stored.value(FileKey(8, "FiveLaps")), QString("88.5"));
    QCOMPARE(stored.value(FileKey(12, "TwentyFiveLaps")), QString("301.25"));
    // Whatever else shares the file stays.
    QCOMPARE(StoredFile().keys(), (QStringList{"[other]", "[vantor]"}));
}

void TestRecords::anUnwritableStoreLosesNothing() {
    // The store file's place is taken by a folder: nothing can be read or written.
    QVERIFY(QDir().mkpath(storePath));
    {
        UserSettings records;
        records.ReadFastestRaceTime();
        QCOMPARE(records.FastestRaceTime(0, 5), 999.99);
        records.UpdateFastestRaceTime(0, 5, 80.0);
        QVERIFY(!records.WriteFastestRaceTime());
        // The game goes on with the record it has.
        QCOMPARE(records.FastestRaceTime(0, 5), 80.0);
    }
    QVERIFY(QFileInfo(storePath).isDir());
    QVERIFY(QDir(storePath).removeRecursively());

    // A store on a full disk: the records already there survive a failed write whole.
    UserSettings before;
    before.ReadFastestRaceTime();
    before.UpdateFastestRaceTime(4, 10, 61.5);
    QVERIFY(before.WriteFastestRaceTime());
    QFile file(storePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray onDisk = file.readAll();
    file.close();
    QVERIFY(onDisk.size() > 1024);

    UserSettings records;
    records.ReadFastestRaceTime();
    QCOMPARE(records.FastestRaceTime(4, 10), 61.5);
    records.UpdateFastestRaceTime(4, 10, 55.25);
    {
        const FileSizeLimit full(512);
        QVERIFY(full.isApplied());
        QVERIFY(!records.WriteFastestRaceTime());
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), onDisk);
    file.close();
    QCOMPARE(QDir(QFileInfo(storePath).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Vantor.ini"});
    QCOMPARE(records.FastestRaceTime(4, 10), 55.25);

    // Once there is room again, the next write stores the record.
    QVERIFY(records.WriteFastestRaceTime());
    QCOMPARE(StoredEntries().value(FileKey(4, "TenLaps")), QString("55.25"));
}

int main(int argc, char** argv) {
    // The store finds its folder through XDG_CONFIG_HOME: point it at a private one first.
    QTemporaryDir configHome;
    if (!configHome.isValid()) {
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    TestRecords test(configHome.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_records.moc"
