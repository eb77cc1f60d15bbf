#include "tests/support/NodeState.h"

#include <sys/stat.h>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QString NodeState(const QString& path) {
    struct stat node {};
    if (lstat(QFile::encodeName(path).constData(), &node) != 0)
        return QStringLiteral("missing");
    QString state = QString::asprintf(
        "mode %o inode %llu device %llu size %llu modified %llu.%09llu", node.st_mode,
        qulonglong(node.st_ino), qulonglong(node.st_rdev), qulonglong(node.st_size),
        qulonglong(node.st_mtim.tv_sec), qulonglong(node.st_mtim.tv_nsec));
    if (S_ISLNK(node.st_mode)) {
        const QString target = QFileInfo(path).symLinkTarget();
        state += " -> " + target + ": " + NodeState(target);
    } else if (S_ISREG(node.st_mode)) {
        state += ' ' + QCryptographicHash::hash(Contents(path), QCryptographicHash::Sha1).toHex();
    }
    return state;
}
