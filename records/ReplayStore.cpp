#include "records/ReplayStore.h"

#include <QDir>

#include "platform/GameFacts.h"
#include "platform/TrustedFile.h"
#include "platform/UserFolders.h"

namespace {

// Why a node cannot be read or written as a replay, in words for the player.
QString Why(const TrustedFile::Node& node) {
    switch (node.status) {
        case TrustedFile::Status::BrokenLink:
            return QStringLiteral("it is a link to nothing");
        case TrustedFile::Status::Folder:
        case TrustedFile::Status::NotAFile:
            return QStringLiteral("it is not an ordinary file");
        case TrustedFile::Status::TooLarge:
            return QStringLiteral("it is larger than any replay");
        case TrustedFile::Status::Missing:
        case TrustedFile::Status::Usable:
        case TrustedFile::Status::Unreadable:
        case TrustedFile::Status::Unwritable:
            break;
    }
    return node.error;
}

}  // namespace

const QString ReplayStore::LAST_RACE = QStringLiteral("last.replay");

ReplayStore::ReplayStore(QString replaysFolder) : folder(std::move(replaysFolder)) {}

QString ReplayStore::DefaultFolder() {
    const UserFolder data = DataHome();
    return data.path.isEmpty() ? QString() : data.path + QStringLiteral("/vantor/replays");
}

QString ReplayStore::RecordName(int track, int laps) {
    return QStringLiteral("record-track%1-%2-%3.replay")
        .arg(track + 1)
        .arg(laps)
        .arg(laps == 1 ? QStringLiteral("lap") : QStringLiteral("laps"));
}

QString ReplayStore::PathOf(const QString& name) const {
    return folder.isEmpty() ? QString() : folder + '/' + name;
}

bool ReplayStore::Has(const QString& name) const {
    return TrustedFile::Inspect(PathOf(name), MAX_REPLAY_BYTES).status ==
           TrustedFile::Status::Usable;
}

std::optional<QByteArray> ReplayStore::Read(const QString& name) const {
    QString why;
    return ReadFile(PathOf(name), &why);
}

std::optional<QByteArray> ReplayStore::ReadFile(const QString& path, QString* why) {
    TrustedFile::Reading reading = TrustedFile::Read(path, MAX_REPLAY_BYTES);
    if (reading.node.status != TrustedFile::Status::Usable) {
        *why = Why(reading.node);
        return std::nullopt;
    }
    return std::move(reading.contents);
}

bool ReplayStore::Write(const QString& name, const QByteArray& contents,
                        const std::function<bool(const QByteArray& present)>& keep) {
    if (folder.isEmpty()) {
        return Fail(name,
                    QStringLiteral("there is no folder to keep it in, as ") + DataHome().problem);
    }
    const QString path = PathOf(name);
    if (!QDir().mkpath(folder)) {
        return Fail(path, QStringLiteral("its folder cannot be made"));
    }
    const FileLock lock(path);
    if (!lock.Acquired()) {
        return Fail(path, lock.Problem());
    }
    const TrustedFile::Node node = TrustedFile::Inspect(path, MAX_REPLAY_BYTES);
    if (node.status != TrustedFile::Status::Missing && node.status != TrustedFile::Status::Usable) {
        return Fail(path, Why(node));
    }
    if (keep) {
        const std::optional<QByteArray> present = Read(name);
        if (present && keep(*present)) {
            return true;
        }
    }
    if (contents.size() > MAX_REPLAY_BYTES) {
        return Fail(path, QStringLiteral("the replay is too large to be read back"));
    }
    const TrustedFile::Node written = TrustedFile::Write(path, contents, MAX_REPLAY_BYTES);
    return written.status == TrustedFile::Status::Usable || Fail(path, Why(written));
}

bool ReplayStore::Fail(const QString& path, const QString& why) {
    if (problem.isEmpty()) {
        problem = QStringLiteral("Could not keep the replay %1: %2.").arg(path, why);
    }
    return false;
}
