// The port's receive side against a real pseudo-terminal: newest whole frame, tails kept
// across reads, and a queue that starts afresh with each open and close.
#include "link/PortUnit.h"
#include "sim/PseudoTerminal.h"

#include <QTest>
#include <QThread>

#include <chrono>
#include <memory>
#include <unistd.h>

using namespace station;

namespace {

constexpr int kArrivalTimeoutMs = 5000; // generous: two cores, other builds alongside

QByteArray bytesOf(const StationFrame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
}

// Telemetry-like frames that differ in every byte from one number to the next.
QByteArray numberedFrames(int first, int count) {
    QByteArray bytes;
    for (int n = first; n < first + count; ++n)
        for (int i = 0; i < int(kFrameSize); ++i)
            bytes.append(char(1 + (n * 31 + i) % 250));
    return bytes;
}

const QByteArray kZeroFrame(qsizetype(kFrameSize), '\0');

} // namespace

class TestPortReceive : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void takesTheNewestFrameAndKeepsTheTail();
    void queueStartsAfreshOnOpenAndClose_data();
    void queueStartsAfreshOnOpenAndClose();
    void closedPortReadsAsAllZeros();

private:
    void sendFromStation(const QByteArray& bytes);
    // Waits (without the event loop, as the poll does) until the port has this many waiting.
    bool waitForWaiting(std::int64_t count);

    std::unique_ptr<sim::PseudoTerminal> m_pty;
    std::unique_ptr<PortUnit> m_unit;
};

void TestPortReceive::init() {
    m_pty = std::make_unique<sim::PseudoTerminal>();
    QVERIFY2(m_pty->isOpen(), qPrintable(m_pty->error()));
    m_unit = std::make_unique<PortUnit>();
    QVERIFY(m_unit->open(m_pty->slavePath(), 19200).ok);
}

void TestPortReceive::cleanup() {
    m_unit.reset();
    m_pty.reset();
}

void TestPortReceive::sendFromStation(const QByteArray& bytes) {
    QCOMPARE(::write(m_pty->masterFd(), bytes.constData(), size_t(bytes.size())),
             ssize_t(bytes.size()));
}

bool TestPortReceive::waitForWaiting(std::int64_t count) {
    for (int waited = 0; waited < kArrivalTimeoutMs; waited += 5) {
        if (m_unit->bytesWaiting() >= count)
            return true;
        QThread::msleep(5);
    }
    return false;
}

void TestPortReceive::takesTheNewestFrameAndKeepsTheTail() {
    const QByteArray frames = numberedFrames(0, 3);
    sendFromStation(frames.first(125)); // two whole frames and half of the third
    QVERIFY(waitForWaiting(125));
    QCOMPARE(bytesOf(m_unit->readNewestFrame()).toHex(' '), frames.mid(50, 50).toHex(' '));

    sendFromStation(frames.mid(125));
    QVERIFY(waitForWaiting(25));
    QCOMPARE(bytesOf(m_unit->readNewestFrame()).toHex(' '), frames.mid(100, 50).toHex(' '));

    // Nothing new: the last reading is not handed out again.
    QCOMPARE(bytesOf(m_unit->readNewestFrame()).toHex(' '), kZeroFrame.toHex(' '));
}

void TestPortReceive::queueStartsAfreshOnOpenAndClose_data() {
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("close, then open") << true;
    QTest::newRow("open over the open port") << false;
}

void TestPortReceive::queueStartsAfreshOnOpenAndClose() {
    QFETCH(bool, closeFirst);

    const QByteArray tail = numberedFrames(7, 1).first(30);
    sendFromStation(tail);
    QVERIFY(waitForWaiting(30));
    QCOMPARE(bytesOf(m_unit->readNewestFrame()), kZeroFrame); // the 30 bytes are now queued

    if (closeFirst)
        m_unit->close();
    QVERIFY(m_unit->open(m_pty->slavePath(), 19200).ok);

    const QByteArray frame = numberedFrames(8, 1);
    sendFromStation(frame);
    QVERIFY(waitForWaiting(50));
    // Had the old tail stayed, this would be its 30 bytes and 20 of the new frame.
    QCOMPARE(bytesOf(m_unit->readNewestFrame()).toHex(' '), frame.toHex(' '));
}

void TestPortReceive::closedPortReadsAsAllZeros() {
    sendFromStation(numberedFrames(3, 1));
    QVERIFY(waitForWaiting(50));
    m_unit->close();
    QCOMPARE(bytesOf(m_unit->readNewestFrame()), kZeroFrame);
}

QTEST_GUILESS_MAIN(TestPortReceive)
#include "tst_portreceive.moc"
