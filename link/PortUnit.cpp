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
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// QSerialPort puts a bare name under /dev; the path it ends up opening.
QString systemLocation(const QString& device) {
#ifdef Q_OS_UNIX
    return device.startsWith(QLatin1Char('/')) ? device : QStringLiteral("/dev/") + device;
#else
    return device;
#endif
}

// A failed open of QSerialPort's own, after the device itself opened and locked
// for us: its lock file held by another program, or the device refusing.
PortFault qtOpenFault(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::PermissionError: // the lock file, or the device held exclusively
        return PortFault::Busy;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::ResourceError: // a port without its hardware answers with an I/O error
        return PortFault::NoDevice;
    case QSerialPort::UnsupportedOperationError:
        return PortFault::SettingsRefused;
    default:
        return PortFault::SystemError;
    }
}

} // namespace

PortFault openFault(int systemError) {
    switch (systemError) {
    case 0:
        return PortFault::None;
    case ENOENT:  // nothing there, or a dangling link
    case ENOTDIR: // a path through a file
    case ELOOP:   // links that lead in a circle
    case ENXIO:   // a node without its device
    case ENODEV:
    case EIO: // a serial port whose hardware is missing
        return PortFault::NoDevice;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortFault::NoPermission;
    case EBUSY: // held exclusively by another program
    case EWOULDBLOCK:
        return PortFault::Busy;
    case EISDIR:
    case ENOTTY:
        return PortFault::NotSerialPort;
    default:
        return PortFault::SystemError;
    }
}

PortFault lossFault(int systemError) {
    switch (systemError) {
    case 0:     // gone without a word from the system (its node vanished)
    case EIO:   // a hung-up terminal, an unplugged adapter
    case ENXIO: // the device behind the node is gone
    case ENODEV:
    case ENOENT:
    case EBADF:
        return PortFault::Disconnected;
    default:
        return PortFault::SystemError;
    }
}

QString deviceNode(const QString& device) {
    return QFileInfo(systemLocation(device)).canonicalFilePath();
}

PortFault probeDevice(const QString& path) {
#ifdef Q_OS_UNIX
    const QByteArray location = QFile::encodeName(systemLocation(path));
    struct stat status {};
    if (::stat(location.constData(), &status) != 0) {
        const PortFault fault = openFault(errno);
        return fault == PortFault::SystemError ? PortFault::NoDevice : fault;
    }
    if (!S_ISCHR(status.st_mode))
        return PortFault::NotSerialPort;
    if (::access(location.constData(), R_OK | W_OK) != 0)
        return PortFault::NoPermission;
    return PortFault::None;
#else
    Q_UNUSED(path);
    return PortFault::None;
#endif
}

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
    PortFailure& failure = result.failure;
    failure.device = device;
    failure.node = deviceNode(device);
    // QSerialPort takes a signed rate; one beyond it would wrap. Refused before the
    // device is touched.
    if (baudRate == 0 || baudRate > std::uint32_t(std::numeric_limits<qint32>::max())) {
        failure.fault = PortFault::SettingsRefused;
        return result;
    }
    // By its node, so that Qt's lock file too is named after the device, not the
    // path that led to it.
    const QString target = failure.node.isEmpty() ? systemLocation(device) : failure.node;
    failure.fault = lockDevice(target, failure.systemError);
    if (failure.fault != PortFault::None)
        return result;

    m_port->setPortName(target);
    // The settings take effect when the port opens, and the open fails if the driver
    // refuses one.
    m_port->setBaudRate(static_cast<qint32>(baudRate));
    m_port->setDataBits(kLineDataBits);
    m_port->setParity(kLineParity);
    m_port->setStopBits(kLineStopBits);
    // QSerialPort takes its lock file and asks the driver for exclusive use too.
    if (!m_port->open(QIODevice::ReadWrite)) {
        const int systemError = errno;
        // A failed open leaves nothing open: QSerialPort releases descriptor and lock.
        failure.fault = qtOpenFault(m_port->error());
        if (failure.fault == PortFault::SystemError)
            failure.systemError = systemError;
        m_port->clearError();
        unlockDevice();
        return result;
    }
    m_device = failure.device;
    m_node = failure.node;
    result.ok = true;
    return result;
}

// Opens the device node on a descriptor of our own and locks it (flock: whoever
// locks the same device, through any path, is refused, root included). None on
// success, with the descriptor kept until the port closes.
PortFault PortUnit::lockDevice(const QString& node, int& systemError) {
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(node).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        systemError = errno;
        return openFault(systemError);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode) || ::isatty(fd) == 0) {
        ::close(fd);
        return PortFault::NotSerialPort;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        systemError = errno;
        ::close(fd);
        return systemError == EWOULDBLOCK ? PortFault::Busy : openFault(systemError);
    }
    m_lockFd = fd;
#else
    Q_UNUSED(node);
    Q_UNUSED(systemError);
#endif
    return PortFault::None;
}

void PortUnit::unlockDevice() {
#ifdef Q_OS_UNIX
    if (m_lockFd >= 0)
        ::close(m_lockFd); // the lock goes with the descriptor
#endif
    m_lockFd = -1;
}

void PortUnit::close() {
    m_lostPending = false;
    m_lost = {};
    // Bytes of the previous connection never start a frame of the next one.
    m_received.clear();
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
    unlockDevice();
    m_device.clear();
    m_node.clear();
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
    const int failure = deviceFailure();
    const bool deviceAnswers = failure == 0;
#else
    // The device cannot be asked here: a resource error means it is gone.
    const int failure = 0;
    const bool deviceAnswers = error != QSerialPort::ResourceError;
#endif
    if (isFatalPortError(error, deviceAnswers)) {
        markLost(lossFault(failure), failure);
        return;
    }
    // A write that would block, or one failed transfer, on a device that is still
    // there: the link goes on, and the next call starts with a clean state.
    if (error == QSerialPort::ResourceError || error == QSerialPort::WriteError ||
        error == QSerialPort::ReadError)
        m_port->clearError();
}

// The system's error number when the open device no longer answers, 0 while it does.
int PortUnit::deviceFailure() const {
#ifdef Q_OS_UNIX
    termios settings{};
    if (::tcgetattr(static_cast<int>(m_port->handle()), &settings) != 0)
        return errno;
#endif
    return 0;
}

// The close happens from the event loop, not inside QSerialPort's own notifier.
void PortUnit::markLost(PortFault fault, int systemError) {
    m_lostPending = true;
    m_lost = {fault, m_device, m_node, systemError};
    QMetaObject::invokeMethod(this, &PortUnit::reportLost, Qt::QueuedConnection);
}

void PortUnit::reportLost() {
    if (!m_lostPending)
        return;
    const PortFailure failure = m_lost;
    close();
    emit lost(failure);
}

} // namespace station
