// SPDX-License-Identifier: GPL-3.0-or-later
// Small and read-only disks for the tests, mounted as tmpfs.
#include "tests/support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace testsupport {

bool runAsRoot() {
    return ::geteuid() == 0;
}

SmallDisk::SmallDisk(const QString& path, const QStringList& options) : m_path(path) {
    QDir().mkpath(path);
    m_mounted =
        runAsRoot() &&
        QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           options.join(QLatin1Char(',')), QStringLiteral("tmpfs"), path}) == 0;
}

SmallDisk::~SmallDisk() {
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), {m_path});
}

void fillUp(const QString& folder) {
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(512, 'f');
    while (filler.write(block) == block.size()) {
    }
    const QByteArray byte(1, 'f');
    while (filler.write(byte) == 1) {
    }
}

} // namespace testsupport
