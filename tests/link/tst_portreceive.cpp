// SPDX-License-Identifier: GPL-3.0-or-later
// The port's receive side against a real pseudo-terminal: whole frames handed out oldest first
// once their answer has ended, stray bytes healed by the line's silences, and a queue that starts
// afresh with each open and close.
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

QByteArray bytesOf(const QList<StationFrame>& frames) {
    QByteArray bytes;
    for (const StationFrame& frame : frames)
        bytes += bytesOf(frame);
    return bytes;
}

} // namespace

class TestPortReceive : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void handsOutAnAnswerOnceItHasEnded();
    void strayBytesCostAtMostOneReading_data();
    void strayBytesCostAtMostOneReading();
    void queueStartsAfreshOnOpenAndClose_data();
    void queueStartsAfreshOnOpenAndClose();
    void closedPortReadsNoFrame();

private:
    void sendFromStation(const QByteArray& bytes);
    // Waits (without the event loop, as the poll does) until the port has this many waiting.
    bool waitForWaiting(std::int64_t count);
    // Lets the line fall silent for longer than the gap that ends an answer.
    static void lineFallsSilent() { QTest::qWait(int(ReceiveQueue::kQuietGap.count()) + 300); }

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

void TestPortReceive::handsOutAnAnswerOnceItHasEnded() {
    const QByteArray frames = numberedFrames(0, 3);
    sendFromStation(frames.first(125)); // two whole frames and half of the third
    QVERIFY(waitForWaiting(125));
    // Still arriving as far as the port can tell, and not whole yet: nothing.
    QCOMPARE(bytesOf(m_unit->readFrames()).toHex(' '), QByteArray());

    sendFromStation(frames.mid(125));
    QVERIFY(waitForWaiting(150));
    // Whole now, but still arriving as far as the port can tell: a stray byte and
    // all but the last byte of an answer would look the same.
    QVERIFY(m_unit->readFrames().isEmpty());
    lineFallsSilent();
    QCOMPARE(bytesOf(m_unit->readFrames()).toHex(' '), frames.toHex(' '));

    // Nothing new: no old reading is handed out again.
    lineFallsSilent();
    QVERIFY(m_unit->readFrames().isEmpty());
}

void TestPortReceive::strayBytesCostAtMostOneReading_data() {
    // What the station's line carries before a run of good answers: `before` is
    // sent with the answer in one piece; `alone` goes out on its own between answers.
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("alone");

    QTest::newRow("one stray byte with an answer") << 1 << 0;
    QTest::newRow("49 bytes of garbage with an answer") << 49 << 0;
    QTest::newRow("one stray byte alone") << 0 << 1;
    QTest::newRow("a burst of 4001 bytes alone") << 0 << 4001;
}

void TestPortReceive::strayBytesCostAtMostOneReading() {
    QFETCH(int, before);
    QFETCH(int, alone);

    const QByteArray answers = numberedFrames(10, 4);
    if (alone > 0) {
        sendFromStation(QByteArray(alone, '\x55'));
        QVERIFY(waitForWaiting(alone));
        lineFallsSilent();
    }
    sendFromStation(QByteArray(before, '\x55') + answers.first(50));
    lineFallsSilent();
    const QList<StationFrame> first = m_unit->readFrames();
    // That answer is lost with the bytes mixed into it, or read whole; never shifted.
    QVERIFY2(first.isEmpty() || bytesOf(first) == answers.first(50),
             qPrintable(bytesOf(first).toHex(' ')));
    QCOMPARE(first.isEmpty(), before > 0);
    // From the next answer on, every frame is read whole: no reconnect.
    for (int n = 1; n < 4; ++n) {
        sendFromStation(answers.mid(n * 50, 50));
        QVERIFY(waitForWaiting(50));
        lineFallsSilent();
        QCOMPARE(bytesOf(m_unit->readFrames()).toHex(' '), answers.mid(n * 50, 50).toHex(' '));
    }
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
    QVERIFY(m_unit->readFrames().isEmpty()); // the 30 bytes are now queued

    if (closeFirst)
        m_unit->close();
    QVERIFY(m_unit->open(m_pty->slavePath(), 19200).ok);

    const QByteArray frame = numberedFrames(8, 1);
    sendFromStation(frame);
    QVERIFY(waitForWaiting(50));
    lineFallsSilent();
    // Had the old tail stayed, this would be its 30 bytes and 20 of the new frame.
    QCOMPARE(bytesOf(m_unit->readFrames()).toHex(' '), frame.toHex(' '));
}

void TestPortReceive::closedPortReadsNoFrame() {
    sendFromStation(numberedFrames(3, 1));
    QVERIFY(waitForWaiting(50));
    m_unit->close();
    QVERIFY(m_unit->readFrames().isEmpty());
}

QTEST_GUILESS_MAIN(TestPortReceive)
#include "tst_portreceive.moc"
