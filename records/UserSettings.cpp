#include "records/UserSettings.h"

#include <algorithm>
#include <cmath>

#include "platform/Config.h"
#include "platform/GameFacts.h"

namespace {

const QString STORE_NAME = QStringLiteral("Vantor");
const QString STORE_GROUP = QStringLiteral("vantor");
const QString NO_RECORD_TEXT = QString::number(UserSettings::NO_RECORD, 'g', 6);
constexpr int STORED_DIGITS = 6;

// Anything else in the store (empty, damaged, zero, negative) would stand as a record no race can
// beat, so it counts as no record and is repaired by the next write.
bool IsRaceTime(double seconds) {
    return std::isfinite(seconds) && seconds > 0.0;
}

bool IsTrack(int track) {
    return track >= 0 && track < TRACK_COUNT;
}

// The store's file as the player knows it: its name, and where a link leads.
QString FileWords(const Config& store) {
    return store.targetName() == store.fileName()
               ? store.fileName()
               : QStringLiteral("%1 (a link to %2)").arg(store.fileName(), store.targetName());
}

// What is wrong with the store's file, after "The race records file ... "; empty when it can be
// read and written, and when there is no file to look at (Config::Status::NoFolder, Locked: the
// store's errorString() says why).
QString Defect(const Config& store) {
    switch (store.status()) {
        case Config::Status::Usable:
            // Another program's INI file, or a link to one, is never rewritten.
            if (!store.belongsTo(STORE_GROUP)) {
                return QStringLiteral("is not a race records file (it has no [%1] section)")
                    .arg(STORE_GROUP);
            }
            break;
        case Config::Status::NoFolder:
        case Config::Status::Locked:
            break;
        case Config::Status::Folder:
            return QStringLiteral("is a folder, not a file");
        case Config::Status::NotAFile:
            return QStringLiteral("is not an ordinary file");
        case Config::Status::BrokenLink:
            return QStringLiteral("is a link to a file that does not exist");
        case Config::Status::TooLarge:
            return QStringLiteral("is too large to be a race records file (over %1 MiB)")
                .arg(Config::MAX_FILE_BYTES / (1024 * 1024));
        case Config::Status::Unreadable:
            return QStringLiteral("cannot be read");
        case Config::Status::Damaged:
            return QStringLiteral("is damaged: it is not a race records file the game can read");
    }
    return QString();
}

// What the player is told at start-up about a store that cannot be used; empty for a usable one.
// Without a folder for the store there is nothing to read: each save says why nothing is kept.
QString ProblemText(const Config& store) {
    const QString defect = Defect(store);
    if (defect.isEmpty()) {
        return QString();
    }
    return QStringLiteral(
               "The race records file %1 %2.\n\nYour race records will not be kept "
               "this time; the game leaves it as it is.")
        .arg(FileWords(store), defect);
}

// Why a save did not happen, for the player.
QString SaveFailure(const Config& store) {
    const QString failure = QStringLiteral("Could not save the race records");
    if (store.status() == Config::Status::NoFolder) {
        return QStringLiteral("%1: there is no folder to keep them in, as %2.")
            .arg(failure, store.errorString());
    }
    const QString defect = Defect(store);
    return QStringLiteral("%1 to %2: %3.")
        .arg(failure, FileWords(store),
             defect.isEmpty() ? store.errorString() : QStringLiteral("it ") + defect);
}

// A stored record; NO_RECORD for a missing or damaged entry.
double StoredTime(const Config& store, const QString& key) {
    bool converted = false;
    const double seconds = store.readEntry(key, NO_RECORD_TEXT).toDouble(&converted);
    return converted && IsRaceTime(seconds) ? seconds : UserSettings::NO_RECORD;
}

}  // namespace

const UserSettings::RaceLength UserSettings::RACE_LENGTHS[6] = {
    {5, "/FiveLaps", &UserSettings::fiveLapTimes},
    {10, "/TenLaps", &UserSettings::tenLapTimes},
    {15, "/FifteenLaps", &UserSettings::fifteenLapTimes},
    {20, "/TwentyLaps", &UserSettings::twentyLapTimes},
    {25, "/TwentyFiveLaps", &UserSettings::twentyFiveLapTimes},
    {1, "/OneLap", &UserSettings::oneLapTimes},
};

const UserSettings::RaceLength* UserSettings::FindRaceLength(int laps) {
    for (const RaceLength& length : RACE_LENGTHS) {
        if (length.laps == laps) {
            return &length;
        }
    }
    return nullptr;
}

// "/LapTime/Track0/FiveLaps" for track index 0 over 5 laps.
QString UserSettings::RecordKey(int track, const RaceLength& length) {
    return QStringLiteral("/LapTime/") + QStringLiteral("Track") + QString::number(track, 10) +
           QLatin1String(length.keyWord);
}

void UserSettings::ReadFastestRaceTime() {
    Config store(STORE_NAME);
    store.setGroup(STORE_GROUP);
    storeProblem = ProblemText(store);
    for (int track = 0; track < TRACK_COUNT; ++track) {
        for (const RaceLength& length : RACE_LENGTHS) {
            (this->*length.times)[track] = StoredTime(store, RecordKey(track, length));
        }
    }
}

bool UserSettings::WriteFastestRaceTime() {
    saveProblem.clear();
    // A store set aside stays untouched even if it was mended meanwhile: the player was told that
    // this run keeps no records.
    if (!storeProblem.isEmpty()) {
        return false;
    }
    // The file as it is now, under its lock: another game may have saved records since this one
    // read them, and every record of both is kept, the faster where both hold one.
    Config store(STORE_NAME, Config::Access::Update);
    store.setGroup(STORE_GROUP);
    if (store.status() != Config::Status::Usable || !store.belongsTo(STORE_GROUP)) {
        saveProblem = SaveFailure(store);
        return false;
    }
    for (int track = 0; track < TRACK_COUNT; ++track) {
        for (const RaceLength& length : RACE_LENGTHS) {
            const QString key = RecordKey(track, length);
            double& record = (this->*length.times)[track];
            record = std::min(record, StoredTime(store, key));
            store.writeEntry(key, QString::number(record, 'g', STORED_DIGITS));
        }
    }
    if (!store.save()) {
        saveProblem = SaveFailure(store);
        return false;
    }
    return true;
}

double UserSettings::FastestRaceTime(int track, int laps) const {
    const RaceLength* length = FindRaceLength(laps);
    return length != nullptr ? (this->*length->times).value(track, NO_RECORD) : NO_RECORD;
}

void UserSettings::UpdateFastestRaceTime(int track, int laps, double seconds) {
    const RaceLength* length = FindRaceLength(laps);
    if (length != nullptr && IsTrack(track) && IsRaceTime(seconds)) {
        (this->*length->times)[track] = seconds;
    }
}
