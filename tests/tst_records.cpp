#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <tuple>

#include "records/UserSettings.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/GameFixture.h"

namespace {

struct StoredLength {
    int laps;
    const char* word;
};
constexpr StoredLength STORED_LENGTHS[] = {
    {1, "OneLap"},       {5, "FiveLaps"},    {10, "TenLaps"},
    {15, "FifteenLaps"}, {20, "TwentyLaps"}, {25, "TwentyFiveLaps"},
};
constexpr int TRACKS = 15;

QString Key(int track, const char* word) {
    return QString("vantor/LapTime/Track%1/%2").arg(track).arg(word);
}

// Distinct for every track and length, so that a record filed in the wrong place shows.
double DistinctTime(int track, int laps) {
    return 100.0 + track + laps / 100.0;
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
    void init() { QFile::remove(storePath); }
    void storesEveryRecordUnderItsOwnKey();
    void damagedEntriesReadAsNoRecordAndAreRepaired();
    void anUnwritableStoreLosesNothing();

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

    const TemporaryConfigHome home;
    const QString storePath = home.RecordsFile();
};

void TestRecords::storesEveryRecordUnderItsOwnKey() {
    UserSettings records = ReadRecords();
    records.UpdateFastestRaceTime(0, 5, 123.4567);
    records.UpdateFastestRaceTime(2, 15, 1234.5678);
    QVERIFY(records.WriteFastestRaceTime());
    QMap<QString, QString> expected;
    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            expected.insert(Key(track, length.word), "999.99");
        }
    }
    expected[Key(0, "FiveLaps")] = "123.457";
    expected[Key(2, "FifteenLaps")] = "1234.57";
    QCOMPARE(StoredFile(), expected);
    QCOMPARE(ReadRecords().FastestRaceTime(2, 15), 1234.57);

    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            records.UpdateFastestRaceTime(track, length.laps, DistinctTime(track, length.laps));
        }
    }
    // Lengths the menu cannot offer, missing tracks and times no race can beat are not kept.
    const std::tuple<int, int, double> refused[] = {{7, 2, 1.0},      {7, 24, 1.0},   {-1, 5, 1.0},
                                                    {15, 5, 1.0},     {7, 10, 0.0},   {7, 10, -3.0},
                                                    {7, 10, qQNaN()}, {7, 10, qInf()}};
    for (const auto& [track, laps, seconds] : refused) {
        records.UpdateFastestRaceTime(track, laps, seconds);
        QCOMPARE(records.FastestRaceTime(track, laps),
                 track == 7 && laps == 10 ? DistinctTime(7, 10) : 999.99);
    }
    QVERIFY(records.WriteFastestRaceTime());
    UserSettings second = ReadRecords();
    second.UpdateFastestRaceTime(3, 20, 50.0);
    QVERIFY(second.WriteFastestRaceTime());
    for (int track = 0; track < TRACKS; ++track) {
        for (const StoredLength& length : STORED_LENGTHS) {
            const bool updated = track == 3 && length.laps == 20;
            QCOMPARE(ReadRecords().FastestRaceTime(track, length.laps),
                     updated ? 50.0 : DistinctTime(track, length.laps));
        }
    }
}

void TestRecords::damagedEntriesReadAsNoRecordAndAreRepaired() {
    const QStringList damaged = {"", "abc", "nan", "inf", "-5", "0", "1e999", "12abc"};
    QFile file(storePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[other]\nkept=yes\n[vantor]\nLapTime\\Track8\\OneLap=88.5\n");
    for (int track = 0; track < damaged.size(); ++track) {
        file.write(
            QString("LapTime\\Track%1\\FiveLaps=%2\n").arg(track).arg(damaged[track]).toUtf8());
    }
    file.close();

    UserSettings records = ReadRecords();
    for (int track = 0; track < damaged.size(); ++track) {
        QCOMPARE(records.FastestRaceTime(track, 5), 999.99);
    }
    QCOMPARE(records.FastestRaceTime(8, 1), 88.5);
    QVERIFY(records.WriteFastestRaceTime());
    const QMap<QString, QString> stored = StoredFile();
    for (int track = 0; track < damaged.size(); ++track) {
        QCOMPARE(stored.value(Key(track, "FiveLaps")), QString("999.99"));
    }
    QCOMPARE(stored.value(Key(8, "OneLap")), QString("88.5"));
    QCOMPARE(stored.value("other/kept"), QString("yes"));
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

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
