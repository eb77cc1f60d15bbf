#pragma once

#include <QFile>

// The peak of this process's resident memory (VmHWM) in KiB, first brought down to what is resident
// now when `reset`; -1 where the system does not tell.
inline long PeakMemoryKiB(bool reset = false) {
    QFile refs("/proc/self/clear_refs"), status("/proc/self/status");
    if (reset && !(refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush()))
        return -1;
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : "";
    const qsizetype at = text.indexOf("VmHWM:");
    return at < 0 ? -1 : text.mid(at + 6).trimmed().split(' ').first().toLong();
}
