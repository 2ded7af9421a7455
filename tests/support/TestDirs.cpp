// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace testsupport {

TempAppDir::TempAppDir() {
    m_override.emplace(m_dir.path());
}

TempAppDir::TempAppDir(const QString& parent)
    : m_dir(parent + QStringLiteral("/irconsole-test-XXXXXX")) {
    m_override.emplace(m_dir.path());
}

void TempAppDir::writeSettings(const QByteArray& bytes) const {
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

std::optional<QByteArray> TempAppDir::readSettings() const {
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString artifactsDir() {
    QString dir = qEnvironmentVariable("IRCONSOLE_ARTIFACTS",
                                       QStringLiteral(IRCONSOLE_BINARY_DIR "/artifacts"));
    QDir().mkpath(dir);
    return dir;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace testsupport
