// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/OpenFiles.h"

#include <QDir>
#include <QFileInfo>

namespace testsupport {

int descriptorsOn(const QString& path) {
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == path)
            ++count;
    return count;
}

} // namespace testsupport
