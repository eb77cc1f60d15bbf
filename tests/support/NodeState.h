#pragma once

#include <sys/stat.h>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QString>

// What a file system node is, as one line to compare: type and permissions, inode, device, size and
// modification time (for a folder, that of its entries), without following a link; for a link also
// where it points and that node's state, for a regular file a digest of its bytes. Opens nothing
// that could block: a FIFO or a device is only looked at.
inline QString NodeState(const QString& path) {
    struct stat node {};
    if (lstat(QFile::encodeName(path).constData(), &node) != 0) {
        return QStringLiteral("missing");
    }
    QString state = QString::asprintf(
        "mode %o inode %llu device %llu size %llu modified %llu.%09llu", node.st_mode,
        qulonglong(node.st_ino), qulonglong(node.st_rdev), qulonglong(node.st_size),
        qulonglong(node.st_mtim.tv_sec), qulonglong(node.st_mtim.tv_nsec));
    QFile file(path);
    if (S_ISLNK(node.st_mode)) {
        const QString target = QFileInfo(path).symLinkTarget();
        state += " -> " + target + ": " + NodeState(target);
    } else if (S_ISREG(node.st_mode) && file.open(QIODevice::ReadOnly)) {
        state += ' ' + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
    }
    return state;
}
