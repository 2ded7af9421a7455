// SPDX-License-Identifier: GPL-3.0-or-later
// build/station-sim as a separate process for the end-to-end tests.
#include "tests/e2e/StationProcess.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace e2e {

namespace {

const QString kBinary = QStringLiteral(IRCONSOLE_BINARY_DIR "/station-sim");
// Generous: in the sanitizer build the simulator starts several times slower.
constexpr int kStartTimeoutMs = 20000;
constexpr int kReplyTimeoutMs = 10000;
constexpr int kQuitTimeoutMs = 10000;

} // namespace

LogLine parseLogLine(const QString& line) {
    const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    LogLine parsed;
    if (fields.size() < 3)
        return parsed;
    bool ok = false;
    parsed.ms = fields[0].toLongLong(&ok);
    if (!ok)
        return parsed;
    parsed.direction = fields[1];
    parsed.kind = fields[2];
    if (parsed.direction == u"EV") {
        parsed.detail = fields.mid(3).join(QLatin1Char(' '));
        return parsed;
    }
    // "RX bad <count> <bytes>": the count comes before the bytes.
    const qsizetype firstByte = parsed.kind == u"bad" ? 4 : 3;
    for (qsizetype i = firstByte; i < fields.size(); ++i)
        parsed.bytes.append(char(fields[i].toUInt(&ok, 16)));
    return parsed;
}

StationProcess::StationProcess(const QString& directory) : m_directory(directory) {}

StationProcess::~StationProcess() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(kQuitTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString StationProcess::linkPath() const {
    return QDir(m_directory).filePath(QStringLiteral("com1"));
}

QString StationProcess::logPath() const {
    return QDir(m_directory).filePath(QStringLiteral("station-sim.log"));
}

bool StationProcess::start(const QStringList& options) {
    m_process.start(kBinary, QStringList{QStringLiteral("--link"), linkPath(),
                                         QStringLiteral("--log"), logPath()} +
                                 options);
    if (!m_process.waitForStarted(kStartTimeoutMs))
        return false;
    m_terminal = nextLine(kStartTimeoutMs);
    return m_terminal.startsWith(QLatin1Char('/'));
}

QString StationProcess::errors() {
    m_stderr += QString::fromUtf8(m_process.readAllStandardError());
    return m_stderr;
}

QString StationProcess::command(const QString& line) {
    m_process.write(line.toUtf8() + '\n');
    return nextLine(kReplyTimeoutMs);
}

bool StationProcess::quit() {
    if (m_process.state() == QProcess::NotRunning)
        return false;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(kQuitTimeoutMs))
        return false;
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QString StationProcess::nextLine(int timeoutMs) {
    if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, timeoutMs))
        return {};
    return QString::fromUtf8(m_process.readLine()).trimmed();
}

QList<LogLine> StationProcess::log() const {
    QList<LogLine> lines;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine();
        if (!raw.endsWith('\n'))
            break; // the simulator is still writing this one
        const LogLine line = parseLogLine(QString::fromLatin1(raw.trimmed()));
        if (!line.kind.isEmpty())
            lines.append(line);
    }
    return lines;
}

QList<LogLine> StationProcess::logged(const QString& direction, const QString& kind) const {
    QList<LogLine> matching;
    for (const LogLine& line : log()) {
        if (line.direction == direction && line.kind == kind)
            matching.append(line);
    }
    return matching;
}

bool StationProcess::waitForLog(const std::function<bool(const LogLine&)>& match, int timeoutMs,
                                qsizetype skip) const {
    return QTest::qWaitFor(
        [&] {
            const QList<LogLine> lines = log();
            for (qsizetype i = skip; i < lines.size(); ++i) {
                if (match(lines[i]))
                    return true;
            }
            return false;
        },
        timeoutMs);
}

} // namespace e2e
