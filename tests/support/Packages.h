// SPDX-License-Identifier: GPL-3.0-or-later
// Running a tool to its end, and asking the Debian package database which package
// brings a file and what a package pulls in.
#pragma once

#include <QProcessEnvironment>
#include <QSet>
#include <QString>
#include <QStringList>

namespace testsupport {

struct Finished {
    bool ran = false; // started and ended by itself, in time
    int exitCode = -1;
    QString output; // stdout and stderr together
};

Finished run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
             int timeoutMs = 120000);

// The packages that own `path` (dpkg -S), also under its other name on a system
// whose /lib is a link to /usr/lib; empty when none does.
QStringList owningPackages(const QString& path);

// The shared libraries `binary` loads, as resolved paths (ldd).
QStringList loadedLibraries(const QString& binary);

// Every package the given ones pull in through their dependencies, themselves included.
QSet<QString> dependencyClosure(const QStringList& packages);

// Whether dpkg and apt-cache are there to ask.
bool isDebianSystem();

// The files of `needed` that no package of `closure` brings, each with its
// owners ("/usr/lib/x.so comes from libx"); empty when all are covered.
QStringList uncoveredFiles(const QStringList& needed, const QSet<QString>& closure);

} // namespace testsupport
