// SPDX-License-Identifier: GPL-3.0-or-later
// build/station-sim as a separate process for the end-to-end tests: its link, its commands, its
// log.
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace e2e {

// One line of the simulator's log: "<ms> RX status <50 bytes>", "<ms> EV start 2", ...
struct LogLine {
    qint64 ms = 0;
    QString direction; // RX, TX or EV
    QString kind;      // status, profile, telemetry, garbage, bad; start, end, stop, hangup
    QByteArray bytes;  // the frame's bytes (RX/TX frames and bad bytes)
    QString detail;    // what follows the kind of an event line
};

// Parses one log line; a line that is not one of the simulator's yields an empty kind.
LogLine parseLogLine(const QString& line);

// The simulated station, started with its link "com1" in the given directory (where
// the console under test looks for it) and its log beside it. The process ends with
// the object: quit on stdin first, a kill if it does not go.
class StationProcess {
public:
    explicit StationProcess(const QString& directory);
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    // Starts build/station-sim of this build with the extra options and waits for
    // the terminal's path it prints first. False when it did not come up.
    bool start(const QStringList& options = {});
    QString terminal() const { return m_terminal; }
    QString linkPath() const;
    QString logPath() const;
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Everything the process wrote to stderr so far, for failure messages.
    QString errors();

    // Sends one stdin command and returns the line it answered on stdout (empty on time-out).
    QString command(const QString& line);
    // Sends quit and waits: true when the process ended by itself with exit code 0.
    bool quit();

    QList<LogLine> log() const;
    // Log lines of one direction and kind ("RX", "status"), oldest first.
    QList<LogLine> logged(const QString& direction, const QString& kind) const;
    // Waits until the log has a line matching the predicate after the first `skip` lines.
    bool waitForLog(const std::function<bool(const LogLine&)>& match, int timeoutMs,
                    qsizetype skip = 0) const;

private:
    QString nextLine(int timeoutMs);

    QString m_directory;
    QProcess m_process;
    QString m_terminal;
    QString m_stderr;
};

} // namespace e2e
