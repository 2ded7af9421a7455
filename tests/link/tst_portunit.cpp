// SPDX-License-Identifier: GPL-3.0-or-later
// The port against a real pseudo-terminal: line settings, frames on the wire, waiting
// bytes, open failures and a device that disappears while open.
#include "link/PortUnit.h"
#include "sim/PseudoTerminal.h"
#include "tests/support/OpenFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace station;
using namespace std::chrono_literals;

namespace {

constexpr auto kArrivalTimeout = 5s; // generous: two cores, other builds alongside

QByteArray bytesOf(const StationFrame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), int(frame.size()));
}

// Reads from the pty master until `count` bytes came or the time is up.
QByteArray readMaster(int fd, int count, std::chrono::milliseconds timeout) {
    QByteArray received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms)
            break;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, int(left.count())) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, std::min<int>(sizeof buffer, count - received.size()));
        if (n > 0)
            received.append(buffer, n);
        else if (n == 0 || errno != EAGAIN)
            break;
    }
    return received;
}

void writeMaster(int fd, const QByteArray& bytes) {
    QCOMPARE(::write(fd, bytes.constData(), bytes.size()), ssize_t(bytes.size()));
}

// Polls without running the event loop, as the poll tick does right after its write.
template <typename Predicate> bool becomesTrueWithoutEventLoop(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + kArrivalTimeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QThread::msleep(5);
    }
    return true;
}

// For failure messages: the fault as a number and the system's error.
QByteArray describe(const PortFailure& failure) {
    return QStringLiteral("fault %1, error %2, device %3, node %4")
        .arg(int(failure.fault))
        .arg(failure.systemError)
        .arg(failure.device, failure.node)
        .toUtf8();
}

int lineSpeed(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return -1;
    return int(::cfgetospeed(&settings));
}

} // namespace

class TestPortUnit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void resolvesStoredNames_data();
    void resolvesStoredNames();
    void fatalErrors_data();
    void fatalErrors();

    void opensWithLineSettings_data();
    void opensWithLineSettings();
    void frameIsOnTheWireDuringABlockingPause();
    void waitingBytesAreCountedAndRead_data();
    void waitingBytesAreCountedAndRead();
    void systemErrorsReadAsFaults_data();
    void systemErrorsReadAsFaults();
    void probesWithoutOpening_data();
    void probesWithoutOpening();
    void failedOpenReportsTheFault_data();
    void failedOpenReportsTheFault();
    void openClosesThePreviousPort();
    void stationThatStopsReadingIsNoLostDevice();
    void vanishedDeviceIsLostOnce_data();
    void vanishedDeviceIsLostOnce();
    void closeByCallerIsQuiet();

private:
    std::unique_ptr<sim::PseudoTerminal> m_pty;
    QTemporaryDir m_appDir;
};

void TestPortUnit::init() {
    m_pty = std::make_unique<sim::PseudoTerminal>();
    QVERIFY2(m_pty->isOpen(), qPrintable(m_pty->error()));
}

void TestPortUnit::cleanup() {
    m_pty.reset();
}

void TestPortUnit::resolvesStoredNames_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected"); // "@" stands for the application directory

    QVERIFY(m_appDir.isValid());
    const QString dir = m_appDir.path();
    if (!QFileInfo::exists(dir + "/com1")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir + "/com1"));
        QVERIFY(QFile::link(dir + "/no-such-device", dir + "/com3"));
    }

    QTest::newRow("device path") << "/dev/pts/7"
                                 << "/dev/pts/7";
    QTest::newRow("link in app dir") << "Com1"
                                     << "@/com1";
    QTest::newRow("upper case") << "COM1"
                                << "@/com1";
    QTest::newRow("lower case") << "com1"
                                << "@/com1";
    QTest::newRow("dangling link still chosen") << "Com3"
                                                << "@/com3";
    QTest::newRow("no link: ttyS") << "Com2"
                                   << "/dev/ttyS1";
    QTest::newRow("two digits") << "cOm10"
                                << "/dev/ttyS9";
    QTest::newRow("Com0 unchanged") << "Com0"
                                    << "Com0";
    QTest::newRow("no number") << "Com"
                               << "Com";
    QTest::newRow("not a number") << "Comx"
                                  << "Comx";
    QTest::newRow("trailing space") << "Com1 "
                                    << "Com1 ";
    QTest::newRow("trailing newline") << "Com1\n"
                                      << "Com1\n";
    QTest::newRow("other name") << "ttyUSB0"
                                << "ttyUSB0";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPortUnit::resolvesStoredNames() {
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    expected.replace(QLatin1Char('@'), m_appDir.path());
    QCOMPARE(resolvePortDevice(stored, m_appDir.path()), expected);
}

void TestPortUnit::fatalErrors_data() {
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("deviceAnswers");
    QTest::addColumn<bool>("fatal");

    // The device is gone: the link cannot go on.
    QTest::newRow("resource error, device gone (unplugged)")
        << QSerialPort::ResourceError << false << true;
    QTest::newRow("device node vanished") << QSerialPort::DeviceNotFoundError << true << true;
    QTest::newRow("read error, device gone (hung up)") << QSerialPort::ReadError << false << true;
    QTest::newRow("write error, device gone") << QSerialPort::WriteError << false << true;
    // A write that would block (the station stopped reading) is a resource error
    // on a device that is still there.
    QTest::newRow("resource error, device answers (write would block)")
        << QSerialPort::ResourceError << true << false;
    // A bounded wait that ran out or one failed transfer says nothing about the device.
    QTest::newRow("timeout") << QSerialPort::TimeoutError << false << false;
    QTest::newRow("read error, device answers") << QSerialPort::ReadError << true << false;
    QTest::newRow("write error, device answers") << QSerialPort::WriteError << true << false;
    QTest::newRow("not open") << QSerialPort::NotOpenError << false << false;
    QTest::newRow("no error") << QSerialPort::NoError << false << false;
    QTest::newRow("unsupported operation")
        << QSerialPort::UnsupportedOperationError << false << false;
    QTest::newRow("unknown") << QSerialPort::UnknownError << false << false;
}

void TestPortUnit::fatalErrors() {
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, deviceAnswers);
    QFETCH(bool, fatal);
    QCOMPARE(isFatalPortError(error, deviceAnswers), fatal);
}

void TestPortUnit::opensWithLineSettings_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("speed");

    QTest::newRow("19200") << 19200 << int(B19200);
    QTest::newRow("9600") << 9600 << int(B9600);
    QTest::newRow("115200") << 115200 << int(B115200);
}

void TestPortUnit::opensWithLineSettings() {
    QFETCH(int, baud);
    QFETCH(int, speed);

    // Another user of the tty reads the line settings back; it opens first, since
    // the port is exclusive once the console holds it.
    const int fd =
        ::open(QFile::encodeName(m_pty->slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });

    PortUnit unit;
    const OpenResult result = unit.open(m_pty->slavePath(), std::uint32_t(baud));
    QVERIFY2(result.ok, describe(result.failure));
    QCOMPARE(result.failure.device, m_pty->slavePath());
    QCOMPARE(result.failure.node, m_pty->slavePath());
    QCOMPARE(result.failure.fault, PortFault::None);
    QVERIFY(unit.isOpen());

    QCOMPARE(m_pty->slaveBaudRate(), baud);
    termios settings{};
    QCOMPARE(::tcgetattr(fd, &settings), 0);
    QCOMPARE(int(::cfgetospeed(&settings)), speed);
    QCOMPARE(int(::cfgetispeed(&settings)), speed);
    QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(settings.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(settings.c_cflag & CSTOPB, tcflag_t(0));
}

void TestPortUnit::frameIsOnTheWireDuringABlockingPause() {
    PortUnit unit;
    QVERIFY(unit.open(m_pty->slavePath(), 19200).ok);
    const StationFrame frame = buildProfileFrame(2, ProfileValues{180, 150, 160, 60, 235, 30});

    // The station side reads on its own thread while this one blocks as the
    // transfer does; nothing runs the event loop until the pause is over.
    std::atomic<bool> arrived = false;
    QByteArray received;
    std::thread station([&] {
        received = readMaster(m_pty->masterFd(), int(kFrameSize), kArrivalTimeout);
        arrived = true;
    });
    unit.writeFrame(frame);
    QThread::sleep(2);
    const bool arrivedDuringPause = arrived;
    station.join();

    QVERIFY(arrivedDuringPause);
    QCOMPARE(received.toHex(' '), bytesOf(frame).toHex(' '));
    // Exactly one frame: nothing before, after or around it.
    QCOMPARE(readMaster(m_pty->masterFd(), 1, 200ms), QByteArray());
}

void TestPortUnit::waitingBytesAreCountedAndRead_data() {
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("frames");

    QTest::newRow("a few") << 7 << 0;
    QTest::newRow("one frame") << 50 << 1;
    QTest::newRow("three frames") << 150 << 3;
}

void TestPortUnit::waitingBytesAreCountedAndRead() {
    QFETCH(int, sent);
    QFETCH(int, frames);

    PortUnit unit;
    QVERIFY(unit.open(m_pty->slavePath(), 19200).ok);
    QCOMPARE(unit.bytesWaiting(), 0);

    QByteArray bytes(sent, '\0');
    for (int i = 0; i < sent; ++i)
        bytes[i] = char(i * 7 + 1);
    writeMaster(m_pty->masterFd(), bytes);

    // The count includes what the driver holds before the event loop has run.
    QVERIFY(becomesTrueWithoutEventLoop([&] { return unit.bytesWaiting() == sent; }));
    // The answer is read once the line has fallen silent after it.
    QVERIFY(unit.readFrames().isEmpty());
    QCOMPARE(unit.bytesWaiting(), sent);
    QTest::qWait(int(ReceiveQueue::kQuietGap.count()) + 100);
    const QList<StationFrame> read = unit.readFrames();
    QCOMPARE(read.size(), frames);
    for (int n = 0; n < frames; ++n)
        QCOMPARE(bytesOf(read[n]).toHex(' '), bytes.mid(n * 50, 50).toHex(' '));
    // An answer that ended is taken whole or dropped (7 bytes are no frame): nothing stays.
    QCOMPARE(unit.bytesWaiting(), 0);
    QVERIFY(unit.readFrames().isEmpty());
}

void TestPortUnit::systemErrorsReadAsFaults_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<PortFault>("atOpen");
    QTest::addColumn<PortFault>("whileOpen");

    QTest::newRow("none") << 0 << PortFault::None << PortFault::Disconnected;
    QTest::newRow("ENOENT") << ENOENT << PortFault::NoDevice << PortFault::Disconnected;
    QTest::newRow("ENOTDIR") << ENOTDIR << PortFault::NoDevice << PortFault::SystemError;
    QTest::newRow("ELOOP") << ELOOP << PortFault::NoDevice << PortFault::SystemError;
    QTest::newRow("ENXIO") << ENXIO << PortFault::NoDevice << PortFault::Disconnected;
    QTest::newRow("ENODEV") << ENODEV << PortFault::NoDevice << PortFault::Disconnected;
    QTest::newRow("EIO") << EIO << PortFault::NoDevice << PortFault::Disconnected;
    QTest::newRow("EBADF") << EBADF << PortFault::SystemError << PortFault::Disconnected;
    QTest::newRow("EACCES") << EACCES << PortFault::NoPermission << PortFault::SystemError;
    QTest::newRow("EPERM") << EPERM << PortFault::NoPermission << PortFault::SystemError;
    QTest::newRow("EROFS") << EROFS << PortFault::NoPermission << PortFault::SystemError;
    QTest::newRow("EBUSY") << EBUSY << PortFault::Busy << PortFault::SystemError;
    QTest::newRow("EWOULDBLOCK") << EWOULDBLOCK << PortFault::Busy << PortFault::SystemError;
    QTest::newRow("EISDIR") << EISDIR << PortFault::NotSerialPort << PortFault::SystemError;
    QTest::newRow("ENOTTY") << ENOTTY << PortFault::NotSerialPort << PortFault::SystemError;
    QTest::newRow("ENOMEM") << ENOMEM << PortFault::SystemError << PortFault::SystemError;
    QTest::newRow("EMFILE") << EMFILE << PortFault::SystemError << PortFault::SystemError;
}

void TestPortUnit::systemErrorsReadAsFaults() {
    QFETCH(int, error);
    QFETCH(PortFault, atOpen);
    QFETCH(PortFault, whileOpen);
    QCOMPARE(openFault(error), atOpen);
    QCOMPARE(lossFault(error), whileOpen);
}

void TestPortUnit::probesWithoutOpening_data() {
    QTest::addColumn<QString>("path"); // "<pty>": the terminal; "@": the temporary directory
    QTest::addColumn<PortFault>("fault");

    QTest::newRow("a terminal") << "<pty>" << PortFault::None;
    QTest::newRow("a link to a terminal") << "@/link-to-pty" << PortFault::None;
    QTest::newRow("a character device that is no terminal") << "/dev/null" << PortFault::None;
    QTest::newRow("nothing there") << "@/no-such-device" << PortFault::NoDevice;
    QTest::newRow("a dangling link") << "@/dangling" << PortFault::NoDevice;
    QTest::newRow("a path through a file") << "@/regular/ttyS0" << PortFault::NoDevice;
    QTest::newRow("a regular file") << "@/regular" << PortFault::NotSerialPort;
    QTest::newRow("a folder") << "@/folder" << PortFault::NotSerialPort;
    QTest::newRow("a bare name under /dev") << "null" << PortFault::None;
}

void TestPortUnit::probesWithoutOpening() {
    QFETCH(QString, path);
    QFETCH(PortFault, fault);
    QTemporaryDir dir;
    QVERIFY(QFile::link(m_pty->slavePath(), dir.filePath("link-to-pty")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QFile regular(dir.filePath("regular"));
    QVERIFY(regular.open(QIODevice::WriteOnly));
    regular.close();
    path.replace(QLatin1Char('@'), dir.path());
    if (path == u"<pty>")
        path = m_pty->slavePath();

    const int before = testsupport::descriptorsOn(m_pty->slavePath());
    QCOMPARE(probeDevice(path), fault);
    QCOMPARE(testsupport::descriptorsOn(m_pty->slavePath()), before);
}

void TestPortUnit::failedOpenReportsTheFault_data() {
    QTest::addColumn<QString>("device"); // "<pty>": the terminal; "@": the temporary directory
    QTest::addColumn<uint>("baud");
    QTest::addColumn<QString>("holder"); // the path another port holds the device by; empty: none
    QTest::addColumn<PortFault>("fault");
    QTest::addColumn<QString>("node"); // the node reported; "<pty>": the terminal

    QTest::newRow("missing path") << "/nonexistent-dir/ttyS0" << 19200u << "" << PortFault::NoDevice
                                  << "";
    QTest::newRow("dangling link") << "@/dangling" << 19200u << "" << PortFault::NoDevice << "";
    QTest::newRow("regular file") << "@/regular" << 19200u << "" << PortFault::NotSerialPort
                                  << "@/regular";
    QTest::newRow("folder") << "@/folder" << 19200u << "" << PortFault::NotSerialPort << "@/folder";
    QTest::newRow("/dev/null (no terminal)")
        << "/dev/null" << 19200u << "" << PortFault::NotSerialPort << "/dev/null";
    QTest::newRow("busy: the same path")
        << "<pty>" << 9600u << "<pty>" << PortFault::Busy << "<pty>";
    QTest::newRow("busy: a link to the device it holds")
        << "@/a/com1" << 9600u << "<pty>" << PortFault::Busy << "<pty>";
    QTest::newRow("busy: two links to one device")
        << "@/b/com1" << 9600u << "@/a/com1" << PortFault::Busy << "<pty>";
    QTest::newRow("busy: the device it holds by a link")
        << "<pty>" << 9600u << "@/a/com1" << PortFault::Busy << "<pty>";
    QTest::newRow("baud 0 refused") << "<pty>" << 0u << "" << PortFault::SettingsRefused << "<pty>";
    QTest::newRow("baud beyond range refused")
        << "<pty>" << 3000000000u << "" << PortFault::SettingsRefused << "<pty>";
}

// Nothing of a failed open stays behind or touches the device: a port that holds
// it keeps its line settings and its bytes, and once free, the device opens.
void TestPortUnit::failedOpenReportsTheFault() {
    QFETCH(QString, device);
    QFETCH(uint, baud);
    QFETCH(QString, holder);
    QFETCH(PortFault, fault);
    QFETCH(QString, node);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("a") && QDir(dir.path()).mkpath("b"));
    QVERIFY(QFile::link(m_pty->slavePath(), dir.filePath("a/com1")));
    QVERIFY(QFile::link(m_pty->slavePath(), dir.filePath("b/com1")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QFile regular(dir.filePath("regular"));
    QVERIFY(regular.open(QIODevice::WriteOnly));
    regular.write("not a tty");
    regular.close();
    for (QString* path : {&device, &holder, &node}) {
        path->replace(QLatin1Char('@'), dir.path());
        if (*path == u"<pty>")
            *path = m_pty->slavePath();
    }
    const int keeper =
        ::open(QFile::encodeName(m_pty->slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(keeper >= 0);
    const auto closeKeeper = qScopeGuard([keeper] { ::close(keeper); });

    PortUnit first;
    if (!holder.isEmpty())
        QVERIFY(first.open(holder, 19200).ok);
    const int descriptorsBefore = testsupport::descriptorsOn(m_pty->slavePath());

    PortUnit unit;
    const OpenResult result = unit.open(device, baud);
    QVERIFY(!result.ok);
    QCOMPARE(result.failure.fault, fault);
    QCOMPARE(result.failure.device, device);
    QCOMPARE(result.failure.node, node);
    QVERIFY(!unit.isOpen());
    QCOMPARE(testsupport::descriptorsOn(m_pty->slavePath()), descriptorsBefore);
    unit.writeFrame(buildStatusFrame(0, 0)); // harmless on the port that did not open
    QCOMPARE(unit.bytesWaiting(), 0);

    if (!holder.isEmpty()) {
        // The holder's line is as it set it, and its bytes still reach it alone.
        QCOMPARE(lineSpeed(keeper), int(B19200));
        QVERIFY(first.isOpen());
        const StationFrame frame = buildStatusFrame(0, 4);
        QVERIFY(first.writeFrame(frame));
        QCOMPARE(readMaster(m_pty->masterFd(), 51, 300ms).toHex(' '), bytesOf(frame).toHex(' '));
        writeMaster(m_pty->masterFd(), "answer");
        QVERIFY(becomesTrueWithoutEventLoop([&] { return first.bytesWaiting() == 6; }));
        QCOMPARE(unit.bytesWaiting(), 0);
        first.close();
    }
    if (node == m_pty->slavePath()) {
        const OpenResult again = unit.open(device, 19200);
        QVERIFY2(again.ok, describe(again.failure));
    }
}

void TestPortUnit::openClosesThePreviousPort() {
    PortUnit unit;
    QVERIFY(unit.open(m_pty->slavePath(), 19200).ok);
    QVERIFY(!unit.open("/nonexistent-dir/ttyS0", 19200).ok);
    QVERIFY(!unit.isOpen());

    PortUnit other;
    const OpenResult result = other.open(m_pty->slavePath(), 19200);
    QVERIFY2(result.ok, describe(result.failure));
}

// The station stops reading: the line's output buffer fills and a write would
// block. Each frame then goes out whole or not at all, the link stays open and
// nothing is reported; once the station reads again, frames flow again.
void TestPortUnit::stationThatStopsReadingIsNoLostDevice() {
    PortUnit unit;
    QSignalSpy lost(&unit, &PortUnit::lost);
    QVERIFY(unit.open(m_pty->slavePath(), 19200).ok);

    // Far more than a terminal buffers; the master is not read meanwhile.
    int dropped = 0;
    for (int i = 0; i < 4000 && dropped < 3; ++i) {
        if (!unit.writeFrame(buildStatusFrame(0, std::uint8_t(i % 10))))
            ++dropped;
        QCoreApplication::processEvents();
    }
    QCOMPARE(dropped, 3);
    QTest::qWait(300);
    QVERIFY(unit.isOpen());
    QCOMPARE(lost.count(), 0);

    // Everything that reached the station is whole status frames, back to back.
    QByteArray received;
    for (QByteArray more; !(more = readMaster(m_pty->masterFd(), 65536, 300ms)).isEmpty();) {
        received += more;
        QCoreApplication::processEvents(); // lets the port finish a frame it had begun
    }
    QVERIFY(received.size() > 0);
    QCOMPARE(received.size() % qsizetype(kFrameSize), 0);
    for (qsizetype at = 0; at < received.size(); at += qsizetype(kFrameSize)) {
        StationFrame frame{};
        std::copy_n(received.constBegin() + at, kFrameSize, frame.begin());
        QVERIFY2(isStatusFrame(frame), qPrintable(received.mid(at, 50).toHex(' ')));
    }

    // Reading again: the next frame goes out at once.
    const StationFrame next = buildStatusFrame(0, 7);
    QVERIFY(unit.writeFrame(next));
    QCOMPARE(readMaster(m_pty->masterFd(), int(kFrameSize), kArrivalTimeout).toHex(' '),
             bytesOf(next).toHex(' '));
    QVERIFY(unit.isOpen());
    QCOMPARE(lost.count(), 0);
}

void TestPortUnit::vanishedDeviceIsLostOnce_data() {
    QTest::addColumn<QString>("nextUse"); // what the console does right after the unplug

    QTest::newRow("event loop only") << "none";
    QTest::newRow("write a frame") << "write";
    QTest::newRow("read waiting bytes") << "read";
}

void TestPortUnit::vanishedDeviceIsLostOnce() {
    QFETCH(QString, nextUse);

    PortUnit unit;
    QSignalSpy lost(&unit, &PortUnit::lost);
    QVERIFY(unit.open(m_pty->slavePath(), 19200).ok);
    writeMaster(m_pty->masterFd(), "station");

    m_pty->close(); // the adapter is pulled
    if (nextUse == "write") {
        for (int i = 0; i < 3; ++i)
            unit.writeFrame(buildStatusFrame(0, 1));
    } else if (nextUse == "read") {
        unit.bytesWaiting();
        unit.readFrames();
    }

    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!unit.isOpen());
    // A hung-up tty answers every request with an I/O error: the device is gone.
    const auto failure = lost.first().first().value<PortFailure>();
    QCOMPARE(failure.fault, PortFault::Disconnected);
    QCOMPARE(failure.systemError, EIO);
    QCOMPARE(failure.device, m_pty->slavePath());
    QCOMPARE(failure.node, m_pty->slavePath());

    // The port is closed for good: further use does nothing and raises nothing.
    unit.writeFrame(buildStatusFrame(0, 1));
    QCOMPARE(unit.bytesWaiting(), 0);
    QVERIFY(unit.readFrames().isEmpty());
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);

    // A new device after the unplug opens and is watched again.
    sim::PseudoTerminal replacement;
    QVERIFY(unit.open(replacement.slavePath(), 19200).ok);
    replacement.close();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 2, 5000);
}

void TestPortUnit::closeByCallerIsQuiet() {
    PortUnit neverOpened;
    neverOpened.close();
    QVERIFY(!neverOpened.isOpen());

    PortUnit unit;
    QSignalSpy lost(&unit, &PortUnit::lost);
    QVERIFY(unit.open(m_pty->slavePath(), 19200).ok);
    unit.close();
    QVERIFY(!unit.isOpen());
    unit.close();
    m_pty->close();
    QTest::qWait(300);
    QCOMPARE(lost.count(), 0);
}

QTEST_GUILESS_MAIN(TestPortUnit)
#include "tst_portunit.moc"
