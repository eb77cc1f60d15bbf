#include "platform/TrustedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace TrustedFile {

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The kind of a node that is not missing, from its own (or its link target's) stat.
Status KindOf(const struct stat& node, qint64 maxBytes) {
    if (S_ISDIR(node.st_mode)) {
        return Status::Folder;
    }
    if (!S_ISREG(node.st_mode)) {
        return Status::NotAFile;
    }
    return node.st_size > maxBytes ? Status::TooLarge : Status::Usable;
}

}  // namespace

Node Inspect(const QString& path, qint64 maxBytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat node {};
    if (lstat(name.constData(), &node) != 0) {
        const int error = errno;
        return {error == ENOENT ? Status::Missing : Status::Unreadable, path, SystemError(error)};
    }
    if (!S_ISLNK(node.st_mode)) {
        return {KindOf(node, maxBytes), path, QString()};
    }
    const std::unique_ptr<char, decltype(&free)> resolved(realpath(name.constData(), nullptr),
                                                          &free);
    if (resolved == nullptr) {
        const int error = errno;
        return {error == EACCES ? Status::Unreadable : Status::BrokenLink, path,
                SystemError(error)};
    }
    const QString target = QFile::decodeName(resolved.get());
    if (stat(resolved.get(), &node) != 0) {
        return {Status::Unreadable, target, SystemError(errno)};
    }
    return {KindOf(node, maxBytes), target, QString()};
}

Opening Open(const QString& path, qint64 maxBytes) {
    Opening opening{Inspect(path, maxBytes), nullptr};
    Node& node = opening.node;
    if (node.status != Status::Usable) {
        return opening;
    }
    const int descriptor = open(QFile::encodeName(node.target).constData(),
                                O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        node = {Status::Unreadable, node.target, SystemError(errno)};
        return opening;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        close(descriptor);
        node = {Status::Unreadable, node.target, file->errorString()};
        return opening;
    }
    struct stat opened {};
    if (fstat(descriptor, &opened) != 0) {
        node = {Status::Unreadable, node.target, SystemError(errno)};
        return opening;
    }
    node.status = KindOf(opened, maxBytes);
    if (node.status == Status::Usable) {
        opening.file = std::move(file);
    }
    return opening;
}

Reading Read(const QString& path, qint64 maxBytes) {
    Opening opening = Open(path, maxBytes);
    Reading reading{opening.node, QByteArray()};
    if (opening.file == nullptr) {
        return reading;
    }
    // One byte more than allowed tells a file that grew since it was looked at.
    QByteArray contents = opening.file->read(maxBytes + 1);
    if (opening.file->error() != QFileDevice::NoError) {
        reading.node = {Status::Unreadable, reading.node.target, opening.file->errorString()};
    } else if (contents.size() > maxBytes) {
        reading.node.status = Status::TooLarge;
    } else {
        reading.contents = std::move(contents);
    }
    return reading;
}

Node Write(const QString& path, const QByteArray& contents, qint64 maxBytes) {
    Node node = Inspect(path, maxBytes);
    if (node.status != Status::Missing && node.status != Status::Usable) {
        return node;
    }
    node.error.clear();
    if (contents.size() > maxBytes) {
        return {Status::Unwritable, node.target,
                QStringLiteral("it would be too large to be read back")};
    }
    QSaveFile file(node.target);
    if (!file.open(QIODevice::WriteOnly)) {
        return {Status::Unwritable, node.target, file.errorString()};
    }
    // commit() does not report a failed final flush and would put a cut file in place of the old
    // one, so every byte must have reached the file before it is committed.
    if (file.write(contents) != contents.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return {Status::Unwritable, node.target, error};
    }
    if (!file.commit()) {
        return {Status::Unwritable, node.target, file.errorString()};
    }
    return {Status::Usable, node.target, QString()};
}

}  // namespace TrustedFile

FileLock::FileLock(const QString& file) : lock(file + QStringLiteral(".lock")) {
    lock.setStaleLockTime(STALE_MS);
    acquired = lock.tryLock(WAIT_MS);
}

QString FileLock::Problem() const {
    if (acquired) {
        return QString();
    }
    return lock.error() == QLockFile::LockFailedError
               ? QStringLiteral("another game kept it locked")
               : QStringLiteral("its lock file cannot be made beside it");
}
