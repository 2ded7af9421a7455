// SPDX-License-Identifier: GPL-3.0-or-later
// A small or read-only disk for the tests of what a full or refusing disk does to a file.
#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// True when the tests run as root, which mounting a disk needs.
bool runAsRoot();

// A tmpfs mounted on `path` with these mount options ("size=16k", "ro") for as
// long as the object lives; mounted() says whether the machine allowed it.
class SmallDisk {
public:
    SmallDisk(const QString& path, const QStringList& options);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

// Fills what room is left on the file system of `folder` (a file "filler").
void fillUp(const QString& folder);

} // namespace testsupport
