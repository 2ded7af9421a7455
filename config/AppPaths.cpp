// SPDX-License-Identifier: GPL-3.0-or-later
// Where the console keeps its files.
#include "config/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace config {

namespace {

const QString kSettingsFileName = QStringLiteral("Iniprofil.ini");
const QString kRunsFolderName = QStringLiteral("runs");
// The program's own folder under the XDG base directories.
const QString kXdgFolderName = QStringLiteral("irconsole");

// What start-up and the tests choose; read by every call below.
struct Choice {
    QString appDirectoryOverride; // null while no override is alive
    FileLayout layout = FileLayout::BesideExecutable;
    QString settingsOption;
};

Choice& choice() {
    static Choice current;
    return current;
}

QString joined(const QString& directory, const QString& name) {
    return directory.endsWith(u'/') ? directory + name : directory + u'/' + name;
}

// An XDG variable counts only when it holds an absolute path.
QString baseDirectory(const QString& variable, const QString& home, const QString& fallback) {
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable))
        return variable;
    return joined(home, fallback);
}

PlaceInputs currentInputs() {
    const Choice& current = choice();
    PlaceInputs inputs;
    inputs.layout = current.layout;
    inputs.executableDirectory = appDirectory();
    inputs.settingsOption = current.settingsOption;
    inputs.home = qEnvironmentVariable("HOME", QDir::homePath());
    inputs.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    inputs.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    return inputs;
}

} // namespace

FilePlaces filePlaces(const PlaceInputs& inputs) {
    if (!inputs.settingsOption.isEmpty()) {
        const QFileInfo file(inputs.settingsOption);
        return {file.absoluteFilePath(), joined(file.absolutePath(), kRunsFolderName)};
    }
    if (inputs.layout == FileLayout::PerUser) {
        const QString config =
            baseDirectory(inputs.configHome, inputs.home, QStringLiteral(".config"));
        const QString data =
            baseDirectory(inputs.dataHome, inputs.home, QStringLiteral(".local/share"));
        return {joined(joined(config, kXdgFolderName), kSettingsFileName),
                joined(joined(data, kXdgFolderName), kRunsFolderName)};
    }
    return {joined(inputs.executableDirectory, kSettingsFileName),
            joined(inputs.executableDirectory, kRunsFolderName)};
}

QString appDirectory() {
    const QString& directory = choice().appDirectoryOverride;
    return directory.isNull() ? QCoreApplication::applicationDirPath() : directory;
}

QString settingsFilePath() {
    return filePlaces(currentInputs()).settingsFile;
}

QString runsDirectory() {
    return filePlaces(currentInputs()).runsFolder;
}

QString portLinkDirectory() {
    return QFileInfo(settingsFilePath()).absolutePath();
}

bool prepareSettingsFolder() {
    const Choice& current = choice();
    if (current.layout != FileLayout::PerUser || !current.settingsOption.isEmpty())
        return true;
    return QDir().mkpath(QFileInfo(settingsFilePath()).absolutePath());
}

ScopedAppDirectoryOverride::ScopedAppDirectoryOverride(const QString& directory)
    : m_previous(choice().appDirectoryOverride) {
    choice().appDirectoryOverride = directory.isNull() ? QStringLiteral("") : directory;
}

ScopedAppDirectoryOverride::~ScopedAppDirectoryOverride() {
    choice().appDirectoryOverride = m_previous;
}

ScopedFileChoice::ScopedFileChoice(FileLayout layout, const QString& settingsOption)
    : m_previousLayout(choice().layout), m_previousOption(choice().settingsOption) {
    choice().layout = layout;
    choice().settingsOption = settingsOption;
}

ScopedFileChoice::~ScopedFileChoice() {
    choice().layout = m_previousLayout;
    choice().settingsOption = m_previousOption;
}

} // namespace config
