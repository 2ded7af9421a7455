// SPDX-License-Identifier: GPL-3.0-or-later
// The package database, asked through its own tools.
#include "tests/support/Packages.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace testsupport {

Finished run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Finished result;
    result.ran = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    if (!result.ran && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

QStringList owningPackages(const QString& path) {
    QStringList candidates{path};
    if (path.startsWith(QStringLiteral("/usr/lib/")))
        candidates << path.mid(4);
    else if (path.startsWith(QStringLiteral("/lib/")))
        candidates << QStringLiteral("/usr") + path;
    for (const QString& candidate : candidates) {
        const Finished searched = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), candidate});
        if (!searched.ran || searched.exitCode != 0)
            continue;
        // "libqt6core6:amd64: /usr/lib/..." or "a, b: /path" for a shared file.
        const QString owners = searched.output.section(QStringLiteral(": "), 0, 0);
        QStringList packages;
        for (const QString& owner : owners.split(QStringLiteral(", ")))
            packages << owner.section(QLatin1Char(':'), 0, 0).trimmed();
        return packages;
    }
    return {};
}

QStringList loadedLibraries(const QString& binary) {
    const Finished listed = run(QStringLiteral("ldd"), {binary});
    QStringList libraries;
    static const QRegularExpression resolved(QStringLiteral("=> (/\\S+)"));
    for (const QString& line : listed.output.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = resolved.match(line);
        if (match.hasMatch())
            libraries << QFileInfo(match.captured(1)).canonicalFilePath();
    }
    return libraries;
}

QSet<QString> dependencyClosure(const QStringList& packages) {
    const Finished listed =
        run(QStringLiteral("apt-cache"),
            QStringList{QStringLiteral("depends"), QStringLiteral("--recurse"),
                        QStringLiteral("--no-recommends"), QStringLiteral("--no-suggests"),
                        QStringLiteral("--no-conflicts"), QStringLiteral("--no-breaks"),
                        QStringLiteral("--no-replaces"), QStringLiteral("--no-enhances")} +
                packages);
    QSet<QString> closure;
    for (const QString& line : listed.output.split(QLatin1Char('\n'))) {
        QString name = line.trimmed();
        if (name.startsWith(QStringLiteral("Depends:")) ||
            name.startsWith(QStringLiteral("PreDepends:")) ||
            name.startsWith(QStringLiteral("|Depends:")))
            name = name.section(QLatin1Char(':'), 1).trimmed();
        else if (line.startsWith(QLatin1Char(' ')))
            continue;
        closure.insert(name.section(QLatin1Char(':'), 0, 0));
    }
    return closure;
}

bool isDebianSystem() {
    return !QStandardPaths::findExecutable(QStringLiteral("dpkg")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("apt-cache")).isEmpty();
}

QStringList uncoveredFiles(const QStringList& needed, const QSet<QString>& closure) {
    QStringList uncovered;
    for (const QString& file : needed) {
        const QStringList owners = owningPackages(file);
        bool covered = false;
        for (const QString& owner : owners)
            covered = covered || closure.contains(owner);
        if (!covered)
            uncovered << (owners.isEmpty() ? file + QStringLiteral(" belongs to no package")
                                           : file + QStringLiteral(" comes from ") +
                                                 owners.join(QStringLiteral(", ")));
    }
    return uncovered;
}

} // namespace testsupport
