#pragma once

#include <QMap>
#include <QString>

// A named settings store in the user's configuration folder: the store "Vantor" is the file
// Vantor.ini in $XDG_CONFIG_HOME (default ~/.config), in the INI layout QSettings uses
// ([group] sections, "a/b" keys written a\b). Entries are text. The store is saved when the object
// is released, through a temporary file that replaces the old one only once every byte of it is
// on disk, so a failed save (full disk, unwritable folder) leaves the old file as it was.
class Config {
  public:
    explicit Config(const QString& name);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    void setGroup(const QString& group);
    QString readEntry(const QString& key, const QString& defaultValue) const;
    void writeEntry(const QString& key, const QString& text);

    // Saves now; false when the file could not be written.
    bool save();
    QString fileName() const { return path; }

  private:
    using Section = QMap<QString, QString>;

    QString sectionName() const;
    static QString entryKey(const QString& key);
    void load();

    QString path;
    QString group;
    QMap<QString, Section> sections;
    // A store file that exists but cannot be read is never overwritten: what it holds is unknown.
    bool loaded = false;
    bool changed = false;
};
