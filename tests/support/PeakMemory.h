#pragma once

#include <QFile>

// The peak of this process's resident memory (VmHWM) since it started or since the last
// ResetPeakMemory(), in KiB; -1 where the system does not tell.
inline long PeakMemoryKiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Sets the peak to what is resident now; false where the system cannot.
inline bool ResetPeakMemory() {
    QFile refs("/proc/self/clear_refs");
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush();
}
