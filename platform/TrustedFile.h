#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QString>
#include <memory>

class QFile;

// The one set of rules for the files the game reads and writes in the player's folders (the records
// store, the replays, the track previews). Only a regular file, or a link to one (which is
// followed, and the file it points to read and replaced where it lies), of at most a given size is
// ever read or written. Anything else in its place is only looked at, never opened, so that a FIFO
// or a device cannot stall the game or be written to; a file is opened without blocking and checked
// again once open, in case the node was swapped in the meantime. A write replaces the file whole or
// not at all.
namespace TrustedFile {

enum class Status {
    Missing,     // nothing there yet
    Usable,      // a regular file within the size bound, or a link to one
    Folder,      // a folder, or a link to one
    NotAFile,    // a FIFO, device or socket, or a link to one
    BrokenLink,  // a link to nothing
    TooLarge,    // a regular file over the size bound
    Unreadable,  // the system refused to let it be looked at or read
    Unwritable,  // the system refused to let it be written
};

// What stands at a path.
struct Node {
    Status status = Status::Missing;
    // The file that is read and written: the file a link points to, otherwise the path itself.
    QString target;
    // The system's own words, where it gave any (Missing, Unreadable, Unwritable).
    QString error;
};

// Looks without opening anything.
Node Inspect(const QString& path, qint64 maxBytes);

struct Opening {
    Node node;
    // Open for reading when the node is usable, otherwise null.
    std::unique_ptr<QFile> file;
};
Opening Open(const QString& path, qint64 maxBytes);

struct Reading {
    Node node;
    // The whole file when the node is usable.
    QByteArray contents;
};
Reading Read(const QString& path, qint64 maxBytes);

// Replaces the file (or the file a link points to) with `contents`, or makes it where nothing
// stood. Usable when every byte is on disk; otherwise what stood there, or Unwritable with the
// reason, and the old file is as it was. Contents over the size bound are not written: they could
// not be read back. The folder must exist.
Node Write(const QString& path, const QByteArray& contents, qint64 maxBytes);

}  // namespace TrustedFile

// A lock beside a file's name (the name and ".lock", also where the name is a link) held while it
// lives, so that two games never
// interleave a read and the write that follows it. Taken with a short wait: a save never holds it
// longer than a moment, so a holder that keeps it longer is stuck, and the game goes on without it
// rather than freeze. A lock left behind by a game that ended, or held far longer than any save
// takes, is stale and taken over.
class FileLock {
  public:
    static constexpr int WAIT_MS = 1000;
    static constexpr int STALE_MS = 10000;

    // The folder of `file` must exist.
    explicit FileLock(const QString& file);

    bool Acquired() const { return acquired; }
    // Why it was not, in words for the player; empty when it was.
    QString Problem() const;

  private:
    QLockFile lock;
    bool acquired;
};
