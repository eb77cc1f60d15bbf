#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The replays folder, $XDG_DATA_HOME/vantor/replays (by default ~/.local/share/vantor/replays): the
// last race, and the record race of every track and race length. Files are read and written by the
// rules of platform/TrustedFile.h, with at most a replay's size: only regular files (or links to
// them), never opened in a way that blocks, each replaced whole or not at all. What cannot be kept
// is said in Problem(), for the player to be told once.
class ReplayStore {
  public:
    static const QString LAST_RACE;

    // The folder the game uses, or any other (for tests).
    explicit ReplayStore(QString folder = DefaultFolder());
    // Empty when the player has no data folder (see platform/UserFolders.h): nothing is then read,
    // and every write fails and says why.
    static QString DefaultFolder();

    // "record-track1-5-laps.replay": the record race of track index 0 over 5 laps.
    static QString RecordName(int track, int laps);
    // Empty without a folder.
    QString PathOf(const QString& name) const;

    // The file's contents; none when it is missing or is no file to read.
    std::optional<QByteArray> Read(const QString& name) const;
    // Any replay file by its path, read by the same rules; why says why there is none.
    static std::optional<QByteArray> ReadFile(const QString& path, QString* why);
    // Whether a file to read stands under this name, without opening it.
    bool Has(const QString& name) const;
    // Writes the file whole, unless keep says the file there now is to be kept; the test and the
    // write are made under a lock, so that two games cannot both win. False when it could not be
    // written; Problem() then says why.
    bool Write(const QString& name, const QByteArray& contents,
               const std::function<bool(const QByteArray& present)>& keep = {});

    // Why the first write that failed did, in words for the player; empty while every write
    // succeeded.
    const QString& Problem() const { return problem; }

  private:
    bool Fail(const QString& path, const QString& why);

    QString folder;
    QString problem;
};
