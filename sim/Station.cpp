// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station on a pseudo-terminal.
#include "sim/Station.h"

#include "sim/DemoProfiles.h"
#include "sim/StationFrames.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits.h>
#include <unistd.h>

namespace sim {

namespace {

// After a read error (no slave side left open) the master is polled again this much later.
constexpr std::chrono::milliseconds kReadRetry{250};
constexpr qsizetype kReadChunk = 4096;

std::uint8_t toByte(double value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

QString readLinkTarget(const QString& path) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, n)) : QString();
}

} // namespace

Station::Station(StationOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_seed = m_options.seed ? *m_options.seed : std::random_device{}();
    m_random.seed(m_seed);
    m_options.burst = std::max(1, m_options.burst);
    if (!(m_options.speed > 0.0))
        m_options.speed = 1.0;
    for (std::size_t slot = 0; slot < m_profiles.size(); ++slot)
        m_profiles[slot] = demoProfiles()[slot].values;

    m_modelTimer.setInterval(kModelTick);
    connect(&m_modelTimer, &QTimer::timeout, this, &Station::updateModel);
    m_splitTimer.setInterval(kSplitGap);
    m_splitTimer.setSingleShot(true);
    connect(&m_splitTimer, &QTimer::timeout, this, &Station::sendNextPiece);
    m_hangupTimer.setSingleShot(true);
    connect(&m_hangupTimer, &QTimer::timeout, this, &Station::hangUp);
    m_readRetryTimer.setInterval(kReadRetry);
    m_readRetryTimer.setSingleShot(true);
    connect(&m_readRetryTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier && !m_deaf)
            m_readNotifier->setEnabled(true);
    });
}

Station::~Station() {
    removeLink();
    // The notifiers go before the descriptor they watch is closed.
    delete m_readNotifier;
    delete m_writeNotifier;
}

bool Station::open(QString* error) {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!m_options.logPath.isEmpty()) {
        QString reason;
        if (!m_log.open(m_options.logPath, &reason))
            return fail(
                QStringLiteral("cannot write the log %1: %2").arg(m_options.logPath, reason));
    }
    m_pty = std::make_unique<PseudoTerminal>();
    if (!m_pty->isOpen())
        return fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(m_pty->error()));
    if (!makeLink(error)) {
        m_pty->close();
        return false;
    }

    m_readNotifier = new QSocketNotifier(m_pty->masterFd(), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &Station::onReadable);
    m_writeNotifier = new QSocketNotifier(m_pty->masterFd(), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &Station::onWritable);

    m_lastUpdateMs = m_log.elapsedMs();
    m_modelTimer.start();
    if (m_options.hangupAfter > 0.0)
        m_hangupTimer.start(std::chrono::milliseconds(std::llround(m_options.hangupAfter * 1000)));
    return true;
}

bool Station::isOpen() const {
    return m_pty && m_pty->isOpen();
}

QString Station::slavePath() const {
    return m_pty ? m_pty->slavePath() : QString();
}

bool Station::makeLink(QString* error) {
    const QString& link = m_options.linkPath;
    if (link.isEmpty())
        return true;
    const QFileInfo info(link);
    // A link left by a station that was killed is replaced; anything else is not ours.
    if (info.isSymLink()) {
        QFile::remove(link);
    } else if (info.exists()) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(link);
        return false;
    }
    if (::symlink(QFile::encodeName(m_pty->slavePath()).constData(),
                  QFile::encodeName(link).constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot make the link %1: %2")
                         .arg(link, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_linkMade = true;
    return true;
}

void Station::removeLink() {
    if (!m_linkMade)
        return;
    m_linkMade = false;
    // Only our own link: another station may have taken the name since.
    if (m_pty && readLinkTarget(m_options.linkPath) == m_pty->slavePath())
        QFile::remove(m_options.linkPath);
}

void Station::hangUp() {
    if (!isOpen())
        return;
    removeLink();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_splitTimer.stop();
    m_hangupTimer.stop();
    m_splitQueue.clear();
    m_outgoing.clear();
    m_pty->close();
    m_log.event("hangup");
    emit hungUp();
}

station::ProfileValues Station::storedProfile(int slot) const {
    return m_profiles.at(static_cast<std::size_t>(slot));
}

QString Station::describe() const {
    QString line = QStringLiteral("%1 profile %2 top %3 bottom %4")
                       .arg(QLatin1String(phaseName(m_model.phase())))
                       .arg(m_model.isRunning() ? m_runProfile : m_selected)
                       .arg(m_model.topReading())
                       .arg(m_model.bottomReading());
    if (m_forced)
        line += QStringLiteral(" forced %1 %2").arg(m_forced->first).arg(m_forced->second);
    if (m_model.holdRemaining() > 0.0)
        line += QStringLiteral(" hold %1 s").arg(std::ceil(m_model.holdRemaining()));
    if (!isOpen())
        line += QStringLiteral(" hung-up");
    else if (const int baud = m_pty->slaveBaudRate(); baud > 0)
        line += QStringLiteral(" line %1 baud").arg(baud);
    return line;
}

void Station::onReadable() {
    if (!isOpen() || m_deaf)
        return;
    char buffer[kReadChunk];
    QByteArray received;
    for (;;) {
        const ssize_t n = ::read(m_pty->masterFd(), buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // No slave side is open: the master would report readable for ever.
            m_readNotifier->setEnabled(false);
            m_readRetryTimer.start();
        }
        break;
    }
    if (received.isEmpty())
        return;
    for (const ReadPiece& piece : m_reader.feed(received))
        handle(piece);
}

void Station::handle(const ReadPiece& piece) {
    updateModel();
    switch (piece.kind) {
    case ReadKind::Bad:
        m_log.bad(piece.bytes);
        break;
    case ReadKind::Status:
        m_log.frame("RX", "status", piece.bytes);
        break;
    case ReadKind::Profile:
        m_log.frame("RX", "profile", piece.bytes);
        break;
    }
    emit frameReceived(piece.kind, piece.bytes);
    if (piece.kind == ReadKind::Bad)
        return;

    const station::StationFrame frame = toFrame(piece.bytes);
    const int number = profileNumberOf(frame);
    if (piece.kind == ReadKind::Profile) {
        // The station keeps what it is sent; a slot it does not have is ignored.
        if (number < kProfileCount)
            m_profiles[static_cast<std::size_t>(number)] = profileValuesOf(frame);
        return;
    }
    if (number < kProfileCount)
        m_selected = number;
    if (m_options.demo && !m_sawStatus && !m_model.isRunning())
        m_demoStartAt = m_stationTime + kDemoFirstDelay;
    m_sawStatus = true;
    answerStatus();
}

void Station::answerStatus() {
    if (m_options.silent)
        return;
    std::uint8_t command = 0;
    if (m_commandRepeatsLeft > 0) {
        command = m_command;
        --m_commandRepeatsLeft;
    }
    const int frames = m_options.doubled ? 2 : m_options.burst;
    QByteArray answer;
    for (int i = 0; i < frames; ++i) {
        const std::uint8_t carried = m_options.doubled && i > 0 ? 0 : command;
        answer += m_options.garbage ? garbageFrame() : telemetryFrame(carried);
    }
    if (m_options.instant) {
        send(answer);
        return;
    }
    QTimer::singleShot(lineTime(answer.size()), this, [this, answer] { send(answer); });
}

std::chrono::milliseconds Station::lineTime(qsizetype answerBytes) const {
    const int baud = isOpen() && m_pty->slaveBaudRate() > 0 ? m_pty->slaveBaudRate() : kDefaultBaud;
    const qint64 bits =
        (static_cast<qint64>(station::kFrameSize) + answerBytes) * kLineBitsPerByte * 1000;
    return std::chrono::milliseconds((bits + baud - 1) / baud);
}

void Station::sendNoise(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& b : bytes)
        b = static_cast<char>(byte(m_random));
    m_log.event("noise", QString::number(count));
    writeOut(bytes);
}

void Station::stopListening() {
    m_deaf = true;
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    m_log.event("deaf");
}

void Station::listen() {
    m_deaf = false;
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    m_log.event("listen");
}

QByteArray Station::telemetryFrame(std::uint8_t command) {
    TelemetryReport report;
    report.phase = static_cast<std::uint8_t>(m_model.phase());
    report.command = command;
    report.profile = static_cast<std::uint8_t>(m_model.isRunning() ? m_runProfile : m_selected);
    report.top = static_cast<std::uint8_t>(m_forced ? m_forced->first : m_model.topReading());
    report.bottom =
        static_cast<std::uint8_t>(m_forced ? m_forced->second : m_model.bottomReading());
    ++m_framesMade;
    if (m_options.countUp && !m_forced) {
        report.top = static_cast<std::uint8_t>(kCountUpTop + m_framesMade);
        report.bottom = static_cast<std::uint8_t>(kCountUpBottom + m_framesMade);
    }
    report.topPower = toByte(m_model.topPower() * 100.0);
    report.bottomPower = toByte(m_model.bottomPower() * 100.0);
    report.holdLeft = toByte(std::ceil(m_model.holdRemaining()));
    QByteArray bytes = toBytes(buildTelemetryFrame(report));
    m_log.frame("TX", "telemetry", bytes);
    return bytes;
}

QByteArray Station::garbageFrame() {
    QByteArray bytes(static_cast<qsizetype>(station::kFrameSize), Qt::Uninitialized);
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& b : bytes)
        b = static_cast<char>(byte(m_random));
    m_log.frame("TX", "garbage", bytes);
    return bytes;
}

void Station::send(const QByteArray& bytes) {
    if (!m_options.split) {
        writeOut(bytes);
        return;
    }
    m_splitQueue += bytes;
    if (!m_splitTimer.isActive())
        sendNextPiece();
}

void Station::sendNextPiece() {
    if (m_splitQueue.isEmpty())
        return;
    std::uniform_int_distribution<int> size(1, kSplitMaxPiece);
    const qsizetype n = std::min<qsizetype>(size(m_random), m_splitQueue.size());
    writeOut(m_splitQueue.left(n));
    m_splitQueue.remove(0, n);
    if (!m_splitQueue.isEmpty())
        m_splitTimer.start();
}

void Station::writeOut(const QByteArray& bytes) {
    if (!isOpen())
        return;
    m_outgoing += bytes;
    if (m_outgoing.size() > kMaxOutgoing)
        m_outgoing.remove(0, m_outgoing.size() - kMaxOutgoing);
    flushOutgoing();
}

void Station::onWritable() {
    flushOutgoing();
}

void Station::flushOutgoing() {
    while (!m_outgoing.isEmpty()) {
        const ssize_t n = ::write(m_pty->masterFd(), m_outgoing.constData(),
                                  static_cast<size_t>(m_outgoing.size()));
        if (n > 0) {
            emit bytesSent(m_outgoing.left(n));
            m_outgoing.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            m_outgoing.clear(); // nobody on the other side to take it
        break;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_outgoing.isEmpty());
}

void Station::updateModel() {
    const qint64 now = m_log.elapsedMs();
    const double dt = static_cast<double>(now - m_lastUpdateMs) / 1000.0 * m_options.speed;
    m_lastUpdateMs = now;
    const bool wasRunning = m_model.isRunning();
    m_model.advance(dt);
    m_stationTime += dt;
    if (wasRunning && !m_model.isRunning()) {
        queueCommand(station::kCommandStop);
        m_log.event("end");
        if (m_options.demo)
            m_demoStartAt = m_stationTime + kDemoPause;
        emit runEnded(true);
    }
    if (m_demoStartAt && m_stationTime >= *m_demoStartAt && !m_model.isRunning())
        beginRun();
}

bool Station::startRun() {
    updateModel();
    return beginRun();
}

bool Station::beginRun() {
    if (!m_model.startRun(m_profiles[static_cast<std::size_t>(m_selected)]))
        return false;
    m_runProfile = m_selected;
    m_demoStartAt.reset();
    queueCommand(station::kCommandStart);
    m_log.event("start", QString::number(m_runProfile));
    emit runStarted(m_runProfile);
    return true;
}

bool Station::stopRun() {
    updateModel();
    if (!m_model.isRunning())
        return false;
    m_model.stopRun();
    queueCommand(station::kCommandStop);
    m_log.event("stop");
    if (m_options.demo)
        m_demoStartAt = m_stationTime + kDemoPause;
    emit runEnded(false);
    return true;
}

void Station::queueCommand(std::uint8_t command) {
    m_command = command;
    m_commandRepeatsLeft = kCommandRepeats;
}

void Station::forceReadings(int top, int bottom) {
    m_forced = std::make_pair(std::clamp(top, 0, 255), std::clamp(bottom, 0, 255));
}

void Station::releaseReadings() {
    m_forced.reset();
}

} // namespace sim
