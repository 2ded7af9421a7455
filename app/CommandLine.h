// SPDX-License-Identifier: GPL-3.0-or-later
// The console's command line: --help, --version and --settings FILE.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// What a start of the console is asked to do.
struct CommandLine {
    enum class Action {
        Run,         // open the window
        ShowHelp,    // print the help on stdout, exit 0
        ShowVersion, // print the version on stdout, exit 0
        Refuse,      // print `message` on stderr, exit with kBadUsageExitCode
    };
    Action action = Action::Run;
    QString settingsFile; // --settings FILE, as given; empty when not given
    QString message;      // the help, the version line or the refusal, ready to print
};

inline constexpr int kBadUsageExitCode = 2;

// Reads the arguments as the process got them (the program's name first). The
// toolkit's own options (-platform, -style, -display...) are let through for it
// to take; anything else unknown, a positional argument or --settings without
// a file is refused with one line.
CommandLine parseCommandLine(const QStringList& arguments, const QString& version);

} // namespace app
