#include "records/UserSettings.h"

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

// What is wrong with a store that cannot be used, and what that means for this run; empty for a
// usable one.
QString ProblemText(const Config& store) {
    QString what;
    switch (store.status()) {
        case Config::Status::Usable:
        // Nothing to read; each save tells why there is nowhere to keep the records.
        case Config::Status::NoFolder:
            return QString();
        case Config::Status::Folder:
            what = QStringLiteral("is a folder, not a file");
            break;
        case Config::Status::NotAFile:
            what = QStringLiteral("is not an ordinary file");
            break;
        case Config::Status::BrokenLink:
            what = QStringLiteral("is a link to a file that does not exist");
            break;
        case Config::Status::TooLarge:
            what = QStringLiteral("is too large to be a race records file (over %1 MiB)")
                       .arg(Config::MAX_FILE_BYTES / (1024 * 1024));
            break;
        case Config::Status::Unreadable:
            what = QStringLiteral("cannot be read");
            break;
        case Config::Status::Damaged:
            what = QStringLiteral("is damaged: it is not a race records file the game can read");
            break;
    }
    const QString file =
        store.targetName() == store.fileName()
            ? store.fileName()
            : QStringLiteral("%1 (a link to %2)").arg(store.fileName(), store.targetName());
    return QStringLiteral(
               "The race records file %1 %2.\n\nYour race records will not be kept "
               "this time; the game leaves it as it is.")
        .arg(file, what);
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
            bool converted = false;
            const double seconds =
                store.readEntry(RecordKey(track, length), NO_RECORD_TEXT).toDouble(&converted);
            (this->*length.times)[track] = converted && IsRaceTime(seconds) ? seconds : NO_RECORD;
        }
    }
}

bool UserSettings::WriteFastestRaceTime() {
    // A store set aside stays untouched even if it was mended meanwhile: the player was told that
    // this run keeps no records.
    if (!storeProblem.isEmpty()) {
        return false;
    }
    Config store(STORE_NAME);
    store.setGroup(STORE_GROUP);
    for (int track = 0; track < TRACK_COUNT; ++track) {
        for (const RaceLength& length : RACE_LENGTHS) {
            const double seconds = (this->*length.times).value(track, NO_RECORD);
            store.writeEntry(RecordKey(track, length),
                             QString::number(seconds, 'g', STORED_DIGITS));
        }
    }
    return store.save();
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
