#include "records/SoundSettings.h"

#include "platform/Config.h"

namespace {

const QString STORE_NAME = QStringLiteral("VantorSettings");
const QString STORE_GROUP = QStringLiteral("sound");
const QString MUTED_KEY = QStringLiteral("muted");
const QString YES = QStringLiteral("true");
const QString NO = QStringLiteral("false");

}  // namespace

bool SoundSettings::ReadMuted() {
    Config store(STORE_NAME);
    store.setGroup(STORE_GROUP);
    return store.readEntry(MUTED_KEY, NO) == YES;
}

bool SoundSettings::WriteMuted(bool muted) {
    Config store(STORE_NAME);
    store.setGroup(STORE_GROUP);
    store.writeEntry(MUTED_KEY, muted ? YES : NO);
    return store.save();
}

QString SoundSettings::FileName() {
    return Config(STORE_NAME).fileName();
}
