// SPDX-License-Identifier: GPL-3.0-or-later
// irconsole: control console for an infrared soldering station.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "config/AppPaths.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

// The packaged build keeps its files per user; every other build beside the executable.
#ifdef IRCONSOLE_PER_USER_FILES
constexpr config::FileLayout kFileLayout = config::FileLayout::PerUser;
#else
constexpr config::FileLayout kFileLayout = config::FileLayout::BesideExecutable;
#endif

QStringList rawArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char* argv[]) {
    // Read before the toolkit starts, so that --help and --version need no display.
    const app::CommandLine line =
        app::parseCommandLine(rawArguments(argc, argv), QStringLiteral(IRCONSOLE_VERSION));
    switch (line.action) {
    case app::CommandLine::Action::ShowHelp:
    case app::CommandLine::Action::ShowVersion:
        std::fputs(line.message.toLocal8Bit().constData(), stdout);
        return 0;
    case app::CommandLine::Action::Refuse:
        std::fputs((line.message + u'\n').toLocal8Bit().constData(), stderr);
        return app::kBadUsageExitCode;
    case app::CommandLine::Action::Run:
        break;
    }

    QApplication application(argc, argv);
    // A relative --settings path means the folder the console was started in.
    const config::ScopedFileChoice files(
        kFileLayout,
        line.settingsFile.isEmpty() ? QString() : QFileInfo(line.settingsFile).absoluteFilePath());
    config::prepareSettingsFolder();
    app::prepareApplication(application);
    app::Windows windows;
    windows.Form1.show();
    return QApplication::exec();
}
