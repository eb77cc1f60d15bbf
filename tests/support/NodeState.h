#pragma once

#include <sys/stat.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// What a file system node is, as one line to compare: type and permissions, device, size and
// modification time, without following a link; for a link also where it points and that node's
// state, for a regular file a digest of its bytes, for a folder its entries. Opens nothing that
// could block: a FIFO or a device is only looked at.
inline QString NodeState(const QString& path) {
    struct stat node {};
    if (lstat(QFile::encodeName(path).constData(), &node) != 0) {
        return QStringLiteral("missing");
    }
    QString state = QStringLiteral("mode %1 device %2 size %3 modified %4.%5")
                        .arg(node.st_mode, 0, 8)
                        .arg(node.st_rdev)
                        .arg(node.st_size)
                        .arg(node.st_mtim.tv_sec)
                        .arg(node.st_mtim.tv_nsec);
    QFile file(path);
    if (S_ISLNK(node.st_mode)) {
        const QString target = QFileInfo(path).symLinkTarget();
        state += " -> " + target + ": " + NodeState(target);
    } else if (S_ISREG(node.st_mode) && file.open(QIODevice::ReadOnly)) {
        state += ' ' + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
    } else if (S_ISDIR(node.st_mode)) {
        state += ' ' + QDir(path)
                           .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                      QDir::System)
                           .join(',');
    }
    return state;
}
