// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary directory that stands in for the executable's directory during one test, and
// reading back the files a test made.
#pragma once

#include "config/SettingsFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace testsupport {

// The settings file and the port links of the code under test live here for
// as long as the object does.
class TempAppDir {
public:
    TempAppDir();
    // Made inside `parent` instead of the system's temporary folder.
    explicit TempAppDir(const QString& parent);

    QString path() const { return m_dir.path(); }
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("Iniprofil.ini")); }

    // Writes the settings file with exactly these bytes.
    void writeSettings(const QByteArray& bytes) const;
    // The settings file's bytes, or nullopt when there is none.
    std::optional<QByteArray> readSettings() const;

private:
    QTemporaryDir m_dir;
    std::optional<config::ScopedAppDirectoryOverride> m_override;
};

// Where build artefacts of tests (screenshots) go; created on demand.
QString artifactsDir();

// A file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
// Every file below `folder`, as paths relative to it, sorted.
QStringList filesBelow(const QString& folder);

} // namespace testsupport
