// The receive queue on its own: which frame each read hands out, what it keeps, and clear().
#include "link/ReceiveQueue.h"

#include <QByteArray>
#include <QList>
#include <QTest>

using namespace station;

namespace {

// A stream in which every 50-byte slice differs from every other and none is all
// zeros, so a frame taken at a wrong offset or from the wrong place shows.
QByteArray stream(qsizetype size, int seed = 0) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(1 + (i * 7 + i / qsizetype(kFrameSize) * 13 + seed) % 251);
    return bytes;
}

QByteArray bytesOf(const StationFrame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
}

const QByteArray kZeroFrame(qsizetype(kFrameSize), '\0');

} // namespace

class TestReceiveQueue : public QObject {
    Q_OBJECT
private slots:
    void eachReadTakesTheNewestWholeFrame_data();
    void eachReadTakesTheNewestWholeFrame();
    void clearForgetsAnIncompleteTail();
};

void TestReceiveQueue::eachReadTakesTheNewestWholeFrame_data() {
    // Each read first appends the next `arrives` bytes of one stream, then takes a
    // frame: the stream's frame number `frame` (counted from 0), or -1 for the
    // all-zero frame; `pending` bytes stay queued.
    QTest::addColumn<QList<int>>("arrives");
    QTest::addColumn<QList<int>>("frame");
    QTest::addColumn<QList<int>>("pending");

    QTest::newRow("0 bytes") << QList<int>{0} << QList<int>{-1} << QList<int>{0};
    QTest::newRow("49 bytes") << QList<int>{49} << QList<int>{-1} << QList<int>{49};
    QTest::newRow("50 bytes") << QList<int>{50} << QList<int>{0} << QList<int>{0};
    QTest::newRow("99 bytes") << QList<int>{99} << QList<int>{0} << QList<int>{49};
    QTest::newRow("100 bytes: the older frame dropped")
        << QList<int>{100} << QList<int>{1} << QList<int>{0};
    QTest::newRow("149 bytes") << QList<int>{149} << QList<int>{1} << QList<int>{49};
    QTest::newRow("tail completed on the next read")
        << QList<int>{49, 1} << QList<int>{-1, 0} << QList<int>{49, 0};
    QTest::newRow("tail then a frame and a new tail")
        << QList<int>{75, 50} << QList<int>{0, 1} << QList<int>{25, 25};
    QTest::newRow("burst then nothing: no old reading again")
        << QList<int>{150, 0} << QList<int>{2, -1} << QList<int>{0, 0};
    QTest::newRow("small pieces") << QList<int>{12, 12, 12, 12, 12, 12}
                                  << QList<int>{-1, -1, -1, -1, 0, -1}
                                  << QList<int>{12, 24, 36, 48, 10, 22};
}

void TestReceiveQueue::eachReadTakesTheNewestWholeFrame() {
    QFETCH(QList<int>, arrives);
    QFETCH(QList<int>, frame);
    QFETCH(QList<int>, pending);

    qsizetype total = 0;
    for (int size : std::as_const(arrives))
        total += size;
    const QByteArray bytes = stream(total);

    ReceiveQueue queue;
    qsizetype consumed = 0;
    for (qsizetype read = 0; read < arrives.size(); ++read) {
        queue.append(bytes.mid(consumed, arrives[read]));
        consumed += arrives[read];
        const QByteArray expected =
            frame[read] < 0 ? kZeroFrame
                            : bytes.mid(frame[read] * qsizetype(kFrameSize), kFrameSize);
        QCOMPARE(bytesOf(queue.takeNewestFrame()).toHex(' '), expected.toHex(' '));
        QCOMPARE(queue.pendingBytes(), qsizetype(pending[read]));
    }
}

void TestReceiveQueue::clearForgetsAnIncompleteTail() {
    ReceiveQueue queue;
    queue.append(stream(30, 1));
    queue.clear();
    QCOMPARE(queue.pendingBytes(), qsizetype(0));

    const QByteArray next = stream(int(kFrameSize), 2);
    queue.append(next);
    QCOMPARE(bytesOf(queue.takeNewestFrame()).toHex(' '), next.toHex(' '));
}

QTEST_APPLESS_MAIN(TestReceiveQueue)
#include "tst_receivequeue.moc"
