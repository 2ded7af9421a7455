// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's log: one line per frame in each direction, for people and tests to read.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace sim {

// Line form, fields separated by one space:
//   <ms> RX|TX <kind> <hex bytes>       a frame; kind status, profile, telemetry, garbage
//   <ms> RX bad <count> <hex bytes>     bytes skipped before a frame lined up again
//   <ms> EV <event> [<detail>]          start <profile>, end, stop, hangup
// <ms> is milliseconds since the station started, right-aligned in 8 columns;
// hex bytes are two upper-case digits each.
QString formatFrameLine(qint64 ms, const char* direction, const char* kind,
                        const QByteArray& bytes);
QString formatBadLine(qint64 ms, const QByteArray& bytes);
QString formatEventLine(qint64 ms, const char* event, const QString& detail = {});

// Writes lines to a file as they happen; each line reaches the file at once so
// another process can follow it. Without a path it only keeps the clock.
class FrameLog {
public:
    FrameLog();
    // Opens (truncates) the file; false and a reason when it cannot.
    bool open(const QString& path, QString* error);

    qint64 elapsedMs() const { return m_clock.elapsed(); }

    void frame(const char* direction, const char* kind, const QByteArray& bytes);
    void bad(const QByteArray& bytes);
    void event(const char* event, const QString& detail = {});

private:
    void write(const QString& line);

    QElapsedTimer m_clock;
    QFile m_file;
};

} // namespace sim
