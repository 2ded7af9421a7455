// SPDX-License-Identifier: GPL-3.0-or-later
// Resident memory of the benchmark's own process, for the memory figures.
#pragma once

#include <QByteArray>
#include <QFile>

namespace bench {

// VmRSS in KiB, or -1 where /proc does not tell.
inline long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace bench
