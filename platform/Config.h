#pragma once

#include <QSettings>
#include <QString>

// A named settings store in the user's configuration folder: the store "Vantor" is the file
// Vantor.ini in $XDG_CONFIG_HOME (default ~/.config). Entries are text; the store is saved when
// the object is released, through a temporary file, so a failed save leaves the old file intact.
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
    QString fileName() const { return settings.fileName(); }

private:
    QString groupKey(const QString& key) const;

    QSettings settings;
    QString group;
};
