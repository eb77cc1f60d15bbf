// The records store against generated and damaged files: a fixed seed, so a failure repeats.
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QtTest>

#include <cmath>

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
const char* const LENGTH_WORDS[] = {"OneLap",      "FiveLaps",   "TenLaps",
                                    "FifteenLaps", "TwentyLaps", "TwentyFiveLaps"};
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

// Every file is saved twice; syncing each to a disk would take a minute.
QString MemoryFolder() {
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                              : QDir::tempPath();
}

using Entries = QMap<QString, QString>;  // "group/key" to text

QString RecordKey(int track, const char* word) {
    return QStringLiteral("vantor/LapTime/Track%1/%2").arg(track).arg(word);
}

// What the store writes back after reading `entries`: all of them, and every record as the text it
// stores, a missing or damaged one as no record.
Entries Healed(Entries entries) {
    for (int track = 0; track < UserSettings::TRACK_COUNT; ++track) {
        for (const char* word : LENGTH_WORDS) {
            bool number = false;
            const double seconds = entries.value(RecordKey(track, word)).toDouble(&number);
            const bool raceTime = number && std::isfinite(seconds) && seconds > 0;
            entries.insert(RecordKey(track, word),
                           QString::number(raceTime ? seconds : UserSettings::NO_RECORD, 'g', 6));
        }
    }
    return entries;
}

// As "key=text" lines, so that a failure shows the first entry that differs.
QStringList Lines(const Entries& entries) {
    QStringList lines;
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
        lines += entry.key() + '=' + entry.value();
    }
    return lines;
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

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
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
            const QString key = RecordKey(random.bounded(UserSettings::TRACK_COUNT),
                                          LENGTH_WORDS[random.bounded(6)]);
            const int damage = random.bounded(4 * int(std::size(DAMAGED_ENDINGS)));
            file.setValue(key, damage < int(std::size(DAMAGED_ENDINGS))
                                   ? RandomText(random, 4) + DAMAGED_ENDINGS[damage]
                                   : QString::number(random.bounded(1, 200000) / 100.0));
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
        const QString source = home.Path() + QStringLiteral("/source%1.ini").arg(generated);
        const QByteArray original = GeneratedFile(random, source);
        const Entries written = QtEntries(source);
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
            QFile file(storePath);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(contents), contents.size());
            file.close();
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
            QVERIFY(records.WriteFastestRaceTime());
            // Every entry kept and every valid record read, whatever else the file held.
            const Entries saved = Config(STORE_NAME).allEntries();
            QCOMPARE(Lines(saved), Lines(Healed(read)));
            if (mutant == 0) {
                QCOMPARE(Lines(QtEntries(storePath)), Lines(saved));  // and as Qt's reader reads it
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestStoreFuzz)
#include "tst_store_fuzz.moc"
