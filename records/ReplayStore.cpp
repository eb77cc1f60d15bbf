#include "records/ReplayStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/GameFacts.h"

namespace {

constexpr int LOCK_WAIT_MS = 2000;
constexpr int STALE_LOCK_MS = 10000;

// The regular file a name stands for: itself, or what a link to one points to; none for anything
// else, and for a name that is not there at all when mustExist.
std::optional<QString> RegularTarget(const QString& path, bool mustExist, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    struct stat node {};
    if (lstat(name.constData(), &node) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return errno == ENOENT && !mustExist ? std::optional(path) : std::nullopt;
    }
    QString target = path;
    if (S_ISLNK(node.st_mode)) {
        const std::unique_ptr<char, decltype(&free)> resolved(realpath(name.constData(), nullptr),
                                                              &free);
        if (resolved == nullptr || stat(resolved.get(), &node) != 0) {
            *why = QStringLiteral("it is a link to nothing");
            return std::nullopt;
        }
        target = QFile::decodeName(resolved.get());
    }
    if (!S_ISREG(node.st_mode)) {
        *why = QStringLiteral("it is not an ordinary file");
        return std::nullopt;
    }
    return target;
}

}  // namespace

const QString ReplayStore::LAST_RACE = QStringLiteral("last.replay");

ReplayStore::ReplayStore(QString replaysFolder) : folder(std::move(replaysFolder)) {}

QString ReplayStore::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vantor/replays");
}

QString ReplayStore::RecordName(int track, int laps) {
    return QStringLiteral("record-track%1-%2-%3.replay")
        .arg(track + 1)
        .arg(laps)
        .arg(laps == 1 ? QStringLiteral("lap") : QStringLiteral("laps"));
}

QString ReplayStore::PathOf(const QString& name) const {
    return folder + '/' + name;
}

bool ReplayStore::Has(const QString& name) const {
    QString why;
    const std::optional<QString> target = RegularTarget(PathOf(name), true, &why);
    return target && QFileInfo(*target).size() <= MAX_REPLAY_BYTES;
}

std::optional<QByteArray> ReplayStore::Read(const QString& name) const {
    QString why;
    return ReadFile(PathOf(name), &why);
}

std::optional<QByteArray> ReplayStore::ReadFile(const QString& path, QString* why) {
    const std::optional<QString> target = RegularTarget(path, true, why);
    if (!target) {
        return std::nullopt;
    }
    // Not blocking, and checked again once open, in case the node was swapped in the meantime.
    const int descriptor =
        open(QFile::encodeName(*target).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    QFile file;
    file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle);
    struct stat node {};
    if (fstat(descriptor, &node) != 0 || !S_ISREG(node.st_mode)) {
        *why = QStringLiteral("it is not an ordinary file");
        return std::nullopt;
    }
    QByteArray contents = file.read(MAX_REPLAY_BYTES + 1);
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return std::nullopt;
    }
    if (contents.size() > MAX_REPLAY_BYTES) {
        *why = QStringLiteral("it is larger than any replay");
        return std::nullopt;
    }
    return contents;
}

bool ReplayStore::Write(const QString& name, const QByteArray& contents,
                        const std::function<bool(const QByteArray& present)>& keep) {
    const QString path = PathOf(name);
    if (!QDir().mkpath(folder)) {
        return Fail(path, QStringLiteral("its folder cannot be made"));
    }
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(STALE_LOCK_MS);
    if (!lock.tryLock(LOCK_WAIT_MS)) {
        return Fail(path, QStringLiteral("another game kept it locked"));
    }
    QString why;
    const std::optional<QString> target = RegularTarget(path, false, &why);
    if (!target) {
        return Fail(path, why);
    }
    // A file larger than any replay is not one of ours: it stays as it is.
    if (QFileInfo(*target).size() > MAX_REPLAY_BYTES) {
        return Fail(path, QStringLiteral("it is larger than any replay"));
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
    QSaveFile file(*target);
    if (!file.open(QIODevice::WriteOnly)) {
        return Fail(path, file.errorString());
    }
    // commit() does not report a failed final flush, so every byte must be in the file first.
    if (file.write(contents) != contents.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return Fail(path, error);
    }
    if (!file.commit()) {
        return Fail(path, file.errorString());
    }
    return true;
}

bool ReplayStore::Fail(const QString& path, const QString& why) {
    if (problem.isEmpty()) {
        problem = QStringLiteral("Could not keep the replay %1: %2.").arg(path, why);
    }
    return false;
}
