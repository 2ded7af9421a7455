// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's log.
#include "sim/FrameLog.h"

namespace sim {

namespace {

constexpr int kTimeWidth = 8;

QString prefix(qint64 ms, const char* direction, const char* kind) {
    return QStringLiteral("%1 %2 %3")
        .arg(ms, kTimeWidth)
        .arg(QLatin1String(direction), QLatin1String(kind));
}

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

QString formatFrameLine(qint64 ms, const char* direction, const char* kind,
                        const QByteArray& bytes) {
    return prefix(ms, direction, kind) + u' ' + hex(bytes);
}

QString formatBadLine(qint64 ms, const QByteArray& bytes) {
    return prefix(ms, "RX", "bad") + u' ' + QString::number(bytes.size()) + u' ' + hex(bytes);
}

QString formatEventLine(qint64 ms, const char* event, const QString& detail) {
    QString line = prefix(ms, "EV", event);
    if (!detail.isEmpty())
        line += u' ' + detail;
    return line;
}

FrameLog::FrameLog() {
    m_clock.start();
}

bool FrameLog::open(const QString& path, QString* error) {
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return true;
    if (error)
        *error = m_file.errorString();
    return false;
}

void FrameLog::frame(const char* direction, const char* kind, const QByteArray& bytes) {
    write(formatFrameLine(elapsedMs(), direction, kind, bytes));
}

void FrameLog::bad(const QByteArray& bytes) {
    write(formatBadLine(elapsedMs(), bytes));
}

void FrameLog::event(const char* event, const QString& detail) {
    write(formatEventLine(elapsedMs(), event, detail));
}

void FrameLog::write(const QString& line) {
    if (!m_file.isOpen())
        return;
    m_file.write(line.toLatin1());
    m_file.write("\n");
    m_file.flush();
}

} // namespace sim
