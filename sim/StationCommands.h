// SPDX-License-Identifier: GPL-3.0-or-later
// The text commands that steer a running station: typed by a person or written by a test to stdin.
#pragma once

#include <QString>

namespace sim {

class Station;

struct CommandOutcome {
    bool ok = true;    // false: the line was not understood, `reply` says why
    bool quit = false; // the program should end
    QString reply;     // one line for the caller
};

// Commands: start, stop, temp TOP BOTTOM, temp off, hangup, status, help, quit.
CommandOutcome runCommand(Station& station, const QString& line);

QString commandHelp();

} // namespace sim
