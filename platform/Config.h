#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

class FileLock;

// A named settings store in the user's configuration folder: the store "Vantor" is the file
// Vantor.ini in $XDG_CONFIG_HOME (default ~/.config; see UserFolders.h), in the INI layout
// QSettings uses
// ([group] sections, "a/b" keys written a\b). Entries are text. The store is saved when the object
// is released, through a temporary file that replaces the old one only once every byte of it is
// on disk, so a failed save (full disk, unwritable folder) leaves the old file as it was. A save
// changes only the lines of the entries written: every other line stays as it was, byte for byte.
//
// The file is read and written by the rules of TrustedFile.h: only a regular file (or a link to
// one) is ever the store, and a store that cannot be used is never written.
class Config {
  public:
    // Far above what any of the game's stores needs; a larger file is not read.
    static constexpr qint64 MAX_FILE_BYTES = 1024 * 1024;

    enum class Status {
        Usable,      // read, or no file yet
        Folder,      // a folder stands where the file belongs
        NotAFile,    // a FIFO, device, socket or a link to one
        BrokenLink,  // a link to nothing
        TooLarge,    // more than MAX_FILE_BYTES
        Unreadable,  // the system refused to let it be read
        Damaged,     // not text in the INI layout
        NoFolder,    // there is no folder for it: neither XDG_CONFIG_HOME nor HOME gives one
        Locked,      // another game held it for longer than a save takes
    };

    enum class Access {
        Read,  // the file as it is now
        // The file under its lock, held from before the read until the object is released, so that
        // what is read, merged and saved is never interleaved with another game's save.
        Update,
    };

    explicit Config(const QString& name, Access access = Access::Read);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    void setGroup(const QString& group);
    QString readEntry(const QString& key, const QString& defaultValue) const;
    void writeEntry(const QString& key, const QString& text);

    // Every entry of every group, keyed "group/key", as the store holds it.
    QMap<QString, QString> allEntries() const;

    // Whether the file is the store of a group's owner: no file yet, a blank one, or one that
    // holds the group. Another program's INI file is not, and a save never adds a group to it.
    bool belongsTo(const QString& group) const;

    // Saves now; false when the file could not be written, also when the store is not usable or
    // belongs to none of the groups written. Only the lines of the entries written change.
    bool save();
    QString fileName() const { return path; }
    // The file that is read and written: the file a link points to, otherwise fileName().
    QString targetName() const { return target; }
    Status status() const { return state; }
    // Why the store has no folder, why it cannot be read or why the last save failed, in the
    // system's words where it gave any; empty when nothing failed.
    const QString& errorString() const { return error; }

  private:
    using Section = QMap<QString, QString>;

    // One line of the file as read, so that a save rewrites only the entries it changes.
    struct Line {
        QByteArray raw;   // its bytes, without the '\n'
        QString section;  // the section a header opens or an entry is in; empty for the others
        QString key;      // an entry's key; empty for any other line
        QString value;    // an entry's text
    };

    QString sectionName() const;
    static QString entryKey(const QString& key);
    void load();
    bool parse(const QByteArray& contents);
    QByteArray rewritten() const;

    QString path;
    QString target;
    // Released after the save on release.
    std::unique_ptr<FileLock> lock;
    QString group;
    std::vector<Line> lines;
    bool lastLineOpen = false;  // the file's last line has no line break
    bool blank = true;          // nothing but blanks
    QSet<QString> heldSections;
    // Every entry as read and written, and those written since the last save.
    QMap<QString, Section> sections;
    QMap<QString, Section> edits;
    Status state = Status::Usable;
    QString error;
    bool changed = false;
};
