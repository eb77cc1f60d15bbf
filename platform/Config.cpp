#include "platform/Config.h"

Config::Config(const QString& name)
    : settings(QSettings::IniFormat, QSettings::UserScope, name) {}

Config::~Config() { settings.sync(); }

void Config::setGroup(const QString& newGroup) { group = newGroup; }

QString Config::groupKey(const QString& key) const {
    QString path = key;
    while (path.startsWith('/')) {
        path.remove(0, 1);
    }
    return group.isEmpty() ? path : group + '/' + path;
}

QString Config::readEntry(const QString& key, const QString& defaultValue) const {
    return settings.value(groupKey(key), defaultValue).toString();
}

void Config::writeEntry(const QString& key, const QString& text) {
    settings.setValue(groupKey(key), text);
}

bool Config::save() {
    settings.sync();
    return settings.status() == QSettings::NoError;
}
