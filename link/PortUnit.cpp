// SPDX-License-Identifier: GPL-3.0-or-later
// The port module: opens, configures, writes, reads and closes the station's serial port.
#include "link/PortUnit.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <chrono>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace station {

namespace {

// How long a frame write may wait for the driver to take bytes it could not take
// at once; only a stalled line ever gets near it (50 bytes at 1200 baud: 0.4 s on
// the wire, but the driver queues far more than that).
constexpr std::chrono::milliseconds kWriteDrainTimeout{200};

constexpr auto kLineDataBits = QSerialPort::Data8;
constexpr auto kLineParity = QSerialPort::NoParity;
constexpr auto kLineStopBits = QSerialPort::OneStop;

#ifdef Q_OS_UNIX
// QSerialPort puts a bare name under /dev; the path it ends up opening.
QString systemLocation(const QString& device) {
    return device.startsWith(QLatin1Char('/')) ? device : QStringLiteral("/dev/") + device;
}
#endif

// Qt reports a port held by someone else as a failed lock, a permission error.
// When the device itself is accessible to us, say that it is busy.
QString openFailureReason(const QSerialPort& port, const QString& device) {
    const QString reason = port.errorString();
#ifdef Q_OS_UNIX
    if (port.error() == QSerialPort::PermissionError &&
        ::access(QFile::encodeName(systemLocation(device)).constData(), R_OK | W_OK) == 0)
        return QStringLiteral("%1 (%2)").arg(qt_error_string(EBUSY), reason);
#else
    Q_UNUSED(device);
#endif
    return reason;
}

} // namespace

QString resolvePortDevice(const QString& storedName, const QString& appDir) {
#ifdef Q_OS_WIN
    Q_UNUSED(appDir);
    return storedName;
#else
    if (storedName.startsWith(QLatin1Char('/')))
        return storedName;
    static const QRegularExpression comName(
        QRegularExpression::anchoredPattern(QStringLiteral("com([0-9]+)")),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(storedName);
    if (!match.hasMatch())
        return storedName;
    bool ok = false;
    const uint number = match.captured(1).toUInt(&ok);
    if (!ok || number == 0)
        return storedName;
    // A link the user made wins, even when it dangles: opening it then tells what
    // is wrong with the device the user chose.
    const QString link = appDir + QStringLiteral("/com%1").arg(number);
    const QFileInfo linkInfo(link);
    if (linkInfo.exists() || linkInfo.isSymLink())
        return link;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

bool isFatalPortError(QSerialPort::SerialPortError error, bool deviceAnswers) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError: // its node vanished under an open handle
        return true;
    // The device went away (unplugged, hung up), or one transfer failed or would
    // have blocked; a hung-up tty reads as end of file, a plain read error. The
    // device itself tells which.
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
        return !deviceAnswers;
    case QSerialPort::NoError:
    case QSerialPort::PermissionError: // open-time only
    case QSerialPort::OpenError:       // open-time only
    case QSerialPort::NotOpenError:    // a call on a closed port, nothing failed
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::TimeoutError: // a bounded wait ran out
    case QSerialPort::UnknownError:
        return false;
    }
    return false;
}

PortUnit::PortUnit(QObject* parent) : QObject(parent), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::errorOccurred, this, &PortUnit::onError);
    // Bytes are queued as they arrive, so the queue knows where the line fell silent.
    connect(m_port, &QSerialPort::readyRead, this, &PortUnit::takeArrivedBytes);
    m_clock.start();
}

PortUnit::~PortUnit() {
    close();
}

OpenResult PortUnit::open(const QString& device, std::uint32_t baudRate) {
    close();
    OpenResult result;
    result.device = device;
    m_port->setPortName(device);
    // The settings take effect when the port opens, and the open fails if the driver
    // refuses one. A rate beyond the signed range wraps negative and is refused.
    m_port->setBaudRate(static_cast<qint32>(baudRate));
    m_port->setDataBits(kLineDataBits);
    m_port->setParity(kLineParity);
    m_port->setStopBits(kLineStopBits);
    // QSerialPort locks the device and asks the driver for exclusive use: no one
    // else may hold the port while the console does.
    if (!m_port->open(QIODevice::ReadWrite)) {
        // A failed open leaves nothing open: QSerialPort releases descriptor and lock.
        result.reason = openFailureReason(*m_port, device);
        m_port->clearError();
        return result;
    }
    result.ok = true;
    return result;
}

void PortUnit::close() {
    m_lostPending = false;
    m_lostReason.clear();
    // Bytes of the previous connection never start a frame of the next one.
    m_received.clear();
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

bool PortUnit::isOpen() const {
    return m_port->isOpen() && !m_lostPending;
}

bool PortUnit::writeFrame(const StationFrame& frame) {
    if (!isOpen())
        return false;
    // The line has not taken the last frame yet: it goes out whole when the line
    // takes it, and this one is dropped rather than queued behind it.
    if (m_port->bytesToWrite() > 0) {
        m_port->flush();
        if (!isOpen() || m_port->bytesToWrite() > 0)
            return false;
    }
    m_port->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    // Hand the bytes to the driver now: the transfer blocks the thread right after
    // a profile frame, and the frame must be on the wire during that pause.
    m_port->flush();
    if (isOpen() && m_port->bytesToWrite() > 0 &&
        !m_port->waitForBytesWritten(static_cast<int>(kWriteDrainTimeout.count())) && isOpen() &&
        m_port->error() == QSerialPort::TimeoutError)
        m_port->clearError();
    return isOpen();
}

std::int64_t PortUnit::bytesWaiting() {
    if (isOpen()) {
        pullFromDriver();
        if (isOpen())
            takeArrivedBytes();
    }
    return m_received.pendingBytes();
}

QList<StationFrame> PortUnit::readFrames() {
    if (isOpen()) {
        pullFromDriver();
        if (isOpen())
            takeArrivedBytes();
    }
    return m_received.takeFrames(now());
}

void PortUnit::takeArrivedBytes() {
    if (!m_port->isOpen() || m_lostPending)
        return;
    m_received.append(m_port->readAll(), now());
}

ReceiveQueue::Time PortUnit::now() const {
    return ReceiveQueue::Time(m_clock.elapsed());
}

// Moves what the driver holds into Qt's buffer without blocking: the poll asks for
// the waiting bytes right after writing, before the event loop has run.
void PortUnit::pullFromDriver() {
    if (!m_port->waitForReadyRead(0) && m_port->error() == QSerialPort::TimeoutError)
        m_port->clearError();
}

void PortUnit::onError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || !m_port->isOpen() || m_lostPending)
        return;
#ifdef Q_OS_UNIX
    const QString failure = deviceFailure();
#else
    // The device cannot be asked here: a resource error means it is gone.
    const QString failure = error == QSerialPort::ResourceError ? m_port->errorString() : QString();
#endif
    if (isFatalPortError(error, failure.isEmpty())) {
        markLost(failure.isEmpty() ? m_port->errorString() : failure);
        return;
    }
    // A write that would block, or one failed transfer, on a device that is still
    // there: the link goes on, and the next call starts with a clean state.
    if (error == QSerialPort::ResourceError || error == QSerialPort::WriteError ||
        error == QSerialPort::ReadError)
        m_port->clearError();
}

// The system's reason when the open device no longer answers, empty while it does.
QString PortUnit::deviceFailure() const {
#ifdef Q_OS_UNIX
    termios settings{};
    if (::tcgetattr(static_cast<int>(m_port->handle()), &settings) != 0)
        return qt_error_string(errno);
#endif
    return {};
}

// The close happens from the event loop, not inside QSerialPort's own notifier.
void PortUnit::markLost(const QString& reason) {
    m_lostPending = true;
    m_lostReason = reason;
    QMetaObject::invokeMethod(this, &PortUnit::reportLost, Qt::QueuedConnection);
}

void PortUnit::reportLost() {
    if (!m_lostPending)
        return;
    const QString reason = m_lostReason;
    close();
    emit lost(reason);
}

} // namespace station
