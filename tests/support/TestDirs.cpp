// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestDirs.h"

#include <QDir>
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

} // namespace testsupport
