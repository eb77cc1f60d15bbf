#pragma once

#include <QByteArray>
#include <QString>

// What a file system node is, as one line to compare: type and permissions, inode, device, size and
// modification time (for a folder, that of its entries), without following a link; for a link also
// where it points and that node's state, for a regular file a digest of its bytes. Opens nothing
// that could block: a FIFO or a device is only looked at.
QString NodeState(const QString& path);

// A file's bytes; "(unreadable)" when it cannot be read.
QByteArray Contents(const QString& path);
