// The records store against generated and damaged files: a fixed seed, so a failure repeats.
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QtTest>

#include "platform/Config.h"
#include "records/UserSettings.h"
#include "tests/support/GameFixture.h"

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
constexpr int RACE_LENGTHS[] = {1, 5, 10, 15, 20, 25};
const char* const LENGTH_WORDS[] = {"OneLap",      "FiveLaps",   "TenLaps",
                                    "FifteenLaps", "TwentyLaps", "TwentyFiveLaps"};
// What the INI layout has to quote, escape or trim, and text beyond Latin-1.
const QString TRICKY_TEXT =
    QStringLiteral(" \t\r\n\x01;,=\"\\%/[]#@$ab19\u00fc\u00df\u263a\U0001F697");
// Bytes and pieces that break lines, quotes, escapes, sections and UTF-8; an entry with half a
// surrogate pair.
const QList<QByteArray> MUTATION_PIECES = QByteArrayLiteral(
                                              "\n|\r\n|[|]|=|\"|\\|\\xdc00|;|%|%U|@|\0|\xff|\xc3| "
                                              "|[vantor]\n|\xef\xbb\xbf|9|e9|\nlone=\"\\xdc00\"\n")
                                              .split('|');

// Every file is saved twice; syncing each to a disk would take a minute.
QString MemoryFolder() {
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                              : QDir::tempPath();
}

using Entries = QMap<QString, QString>;  // "group/key" to text

// Every record under its key, as the text the store writes; `seconds` gives the time of a track
// and race length, NO_RECORD where there is none.
template <typename Seconds>
Entries Records(Seconds seconds) {
    Entries texts;
    for (int track = 0; track < UserSettings::TRACK_COUNT; ++track) {
        for (int length = 0; length < int(std::size(RACE_LENGTHS)); ++length) {
            texts.insert(
                QStringLiteral("vantor/LapTime/Track%1/%2").arg(track).arg(LENGTH_WORDS[length]),
                QString::number(seconds(track, RACE_LENGTHS[length], LENGTH_WORDS[length]), 'g',
                                6));
        }
    }
    return texts;
}

Entries Records(const UserSettings& records) {
    return Records(
        [&](int track, int laps, const char*) { return records.FastestRaceTime(track, laps); });
}

// The records in a file as Qt's own INI reader found them.
Entries RecordsIn(const Entries& entries) {
    return Records([&](int track, int, const char* word) {
        bool number = false;
        const double seconds =
            entries.value(QStringLiteral("vantor/LapTime/Track%1/%2").arg(track).arg(word))
                .toDouble(&number);
        return number ? seconds : UserSettings::NO_RECORD;
    });
}

// The entries that are not records.
Entries OtherEntries(Entries entries) {
    for (const QString& key : RecordsIn({}).keys()) {
        entries.remove(key);
    }
    return entries;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void Replace(const QString& path, const QByteArray& contents) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
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

// Every entry of a file as Qt's own INI reader sees it; empty when it finds the file malformed.
Entries QtEntries(const QString& path) {
    const QSettings file(path, QSettings::IniFormat);
    Entries entries;
    for (const QString& key : file.allKeys()) {
        entries.insert(key, file.value(key).toString());
    }
    return file.status() == QSettings::NoError ? entries : Entries{{"status", "malformed"}};
}

}  // namespace

class TestStoreFuzz : public QObject {
    Q_OBJECT

  private slots:
    void generatedAndDamagedFilesRoundTrip();

  private:
    const TemporaryConfigHome home{MemoryFolder()};
    const QString storePath = home.RecordsFile();
};

void TestStoreFuzz::generatedAndDamagedFilesRoundTrip() {
    QRandomGenerator random(SEED);
    QByteArray contents;  // the file under test, shown when a check fails
    int files = 0;
    const auto showFailingFile = qScopeGuard([&] {
        if (QTest::currentTestFailed()) {
            qInfo() << "file" << files << "of seed" << SEED << contents;
        }
    });
    for (int generated = 0; generated < GENERATED_FILES; ++generated) {
        // Written by Qt's own INI writer: valid and damaged records, and entries of other programs.
        const QString source = home.Path() + QStringLiteral("/source%1.ini").arg(generated);
        Entries foreign;
        {
            QSettings file(source, QSettings::IniFormat);
            for (int entry = random.bounded(12); entry > 0; --entry) {
                const QString key = QStringLiteral("vantor/LapTime/Track%1/%2")
                                        .arg(random.bounded(UserSettings::TRACK_COUNT))
                                        .arg(LENGTH_WORDS[random.bounded(6)]);
                const double seconds = random.bounded(1, 200000) / 100.0;
                const bool damaged = random.bounded(4) == 0;
                file.setValue(key,
                              damaged ? RandomText(random, 4) + "x" : QString::number(seconds));
            }
            for (int entry = random.bounded(8); entry > 0; --entry) {
                const QString key = QStringLiteral("other%1/").arg(random.bounded(3)) +
                                    RandomText(random, 8).remove('/').remove('\\') + 'k';
                foreign.insert(key, RandomText(random, 12));
                file.setValue(key, foreign.value(key));
            }
        }
        const Entries expected = RecordsIn(QtEntries(source));
        const QByteArray original = Contents(source);
        QFile::remove(source);

        for (int mutant = 0; mutant <= MUTANTS_PER_FILE; ++mutant, ++files) {
            contents = original;
            for (int change = mutant == 0 ? 0 : random.bounded(1, 4); change > 0; --change) {
                const qsizetype at = random.bounded(contents.size() + 1);
                switch (random.bounded(3)) {
                    case 0:
                        contents.insert(
                            at, MUTATION_PIECES[random.bounded(int(MUTATION_PIECES.size()))]);
                        break;
                    case 1:
                        contents.remove(at, random.bounded(1, 8));
                        break;
                    default:
                        contents.truncate(at);
                }
            }
            Replace(storePath, contents);
            UserSettings records;
            records.ReadFastestRaceTime();
            const Entries first = Records(records);
            if (mutant == 0) {
                QCOMPARE(first, expected);  // every valid record read, damaged ones as no record
            }
            const bool usable = records.StoreProblem().isEmpty();
            const Entries held = OtherEntries(Config(STORE_NAME).allEntries());
            QCOMPARE(records.WriteFastestRaceTime(), usable);
            if (!usable) {
                QCOMPARE(Contents(storePath), contents);  // a store set aside stays as it was
                continue;
            }
            UserSettings again;
            again.ReadFastestRaceTime();
            QCOMPARE(Records(again), first);
            QCOMPARE(OtherEntries(Config(STORE_NAME).allEntries()), held);
            if (mutant == 0) {
                // Qt's own reader finds every record and every other program's entry.
                const Entries stored = QtEntries(storePath);
                QCOMPARE(RecordsIn(stored), first);
                QCOMPARE(OtherEntries(stored), foreign);
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestStoreFuzz)
#include "tst_store_fuzz.moc"
