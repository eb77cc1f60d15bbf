#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// A named settings store in the user's configuration folder: the store "Vantor" is the file
// Vantor.ini in $XDG_CONFIG_HOME (default ~/.config), in the INI layout QSettings uses
// ([group] sections, "a/b" keys written a\b). Entries are text. The store is saved when the object
// is released, through a temporary file that replaces the old one only once every byte of it is
// on disk, so a failed save (full disk, unwritable folder) leaves the old file as it was.
//
// Only a regular file is ever the store; a link to one is followed, and the file it points to is
// read and replaced where it lies. Anything else in its place is never opened, so that a FIFO or a
// device cannot stall or be overwritten, and a store that cannot be used is never written.
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
    };

    explicit Config(const QString& name);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    void setGroup(const QString& group);
    QString readEntry(const QString& key, const QString& defaultValue) const;
    void writeEntry(const QString& key, const QString& text);

    // Every entry of every group, keyed "group/key", as the store holds it.
    QMap<QString, QString> allEntries() const;

    // Saves now; false when the file could not be written, also when the store is not usable.
    bool save();
    QString fileName() const { return path; }
    // The file that is read and written: the file a link points to, otherwise fileName().
    QString targetName() const { return target; }
    Status status() const { return state; }

  private:
    using Section = QMap<QString, QString>;

    QString sectionName() const;
    static QString entryKey(const QString& key);
    void load();
    Status checkedContents(QByteArray& contents);
    bool parse(const QByteArray& contents);

    QString path;
    QString target;
    QString group;
    QMap<QString, Section> sections;
    Status state = Status::Usable;
    bool changed = false;
};
