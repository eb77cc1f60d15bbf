#pragma once

#include <QMap>
#include <QString>

// The fastest race time, in seconds, of every built-in track and race length, kept between runs in
// the settings store "Vantor". The level plays no part: one record serves all three levels.
class UserSettings {
  public:
    // What a track and length without a record reads as: any finished race beats it.
    static constexpr double NO_RECORD = 999.99;

    UserSettings() = default;

    // Loads every record from the store. A missing or damaged entry reads as NO_RECORD. A store
    // that exists but cannot be used is set aside for the rest of the run: every record reads as
    // NO_RECORD and nothing is written to it.
    void ReadFastestRaceTime();
    // Writes the whole table to the store, merged with the records on disk: the file is read again
    // under its lock, so that records another game saved since are kept; of two records of a track
    // and race length the faster stands, also in this table afterwards, and every other entry in
    // the file is kept. False when the store could not be saved, or was set aside; the records
    // already on disk are then left as they were.
    bool WriteFastestRaceTime();
    // Why the store was set aside, in words for the player; empty when it is in use.
    const QString& StoreProblem() const { return storeProblem; }
    // Why the last save failed, in words for the player; empty after a save that succeeded, and
    // for a store set aside (StoreProblem() says why).
    const QString& SaveProblem() const { return saveProblem; }

    // NO_RECORD for a track or race length that holds no record.
    double FastestRaceTime(int track, int laps) const;
    // Sets the record without comparing: the caller decides whether the time is a record. Race
    // lengths the start menu cannot offer, tracks that do not exist and times that are not a
    // positive number of seconds are not recorded.
    void UpdateFastestRaceTime(int track, int laps, double seconds);

  private:
    using RaceTimes = QMap<int, double>;

    struct RaceLength {
        int laps;
        const char* keyWord;
        RaceTimes UserSettings::*times;
    };
    static const RaceLength RACE_LENGTHS[6];

    static const RaceLength* FindRaceLength(int laps);
    static QString RecordKey(int track, const RaceLength& length);

    RaceTimes fiveLapTimes;
    RaceTimes tenLapTimes;
    RaceTimes fifteenLapTimes;
    RaceTimes twentyLapTimes;
    RaceTimes twentyFiveLapTimes;
    // One-lap races are kept apart so that the 25-lap record only ever holds 25-lap times.
    RaceTimes oneLapTimes;
    QString storeProblem;
    QString saveProblem;
};
