// SPDX-License-Identifier: GPL-3.0-or-later
// The receive queue on its own: which frames each read hands out for each way bytes can arrive.
#include "link/ReceiveQueue.h"

#include <QByteArray>
#include <QList>
#include <QTest>

#include <utility>

using namespace station;
using namespace std::chrono_literals;

namespace {

using Time = ReceiveQueue::Time;

// Pieces of one answer follow each other this closely (a split answer: 20 ms).
constexpr Time kWithinAnswer = 20ms;
// A silence the queue must take as the end of an answer.
constexpr Time kSilence = ReceiveQueue::kQuietGap + 300ms;

// A stream in which every 50-byte slice, at any offset, differs from every other
// and none is all zeros, so a frame taken at a wrong offset shows.
QByteArray stream(qsizetype size, int seed = 0) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(1 + (i * 7 + i / qsizetype(kFrameSize) * 13 + seed) % 251);
    return bytes;
}

QByteArray bytesOf(const StationFrame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
}

} // namespace

class TestReceiveQueue : public QObject {
    Q_OBJECT
private slots:
    void readsFramesAsTheLineDelimitsThem_data();
    void readsFramesAsTheLineDelimitsThem();
    void clearForgetsEverything();
};

void TestReceiveQueue::readsFramesAsTheLineDelimitsThem_data() {
    // Steps on one byte stream: "+N" the next N bytes right after the previous
    // ones (within one answer), "<D>ms+N" the same D milliseconds after them, "~N"
    // the next N bytes after a silence, "r" a read at once, "r~" a read after a
    // silence. `frames` lists, per read, the stream offsets of the frames it must
    // hand out, oldest first.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<QList<int>>>("frames");

    using Reads = QList<QList<int>>;
    QTest::newRow("nothing arrived") << QStringList{"r", "r~"} << Reads{{}, {}};
    QTest::newRow("one frame") << QStringList{"~50", "r~", "r~"} << Reads{{0}, {}};
    // A station that answers at once: its answer is still arriving (for all the
    // read can tell) and is read at the next read, once it has ended.
    QTest::newRow("an answer right before the read (instant station)")
        << QStringList{"~50", "r", "~50", "r", "r~"} << Reads{{}, {0}, {50}};
    QTest::newRow("two frames, both handed out oldest first")
        << QStringList{"~100", "r~"} << Reads{{0, 50}};
    QTest::newRow("a burst of four") << QStringList{"~200", "r~"} << Reads{{0, 50, 100, 150}};
    QTest::newRow("two answers between reads") << QStringList{"~50", "~50", "r~"} << Reads{{0, 50}};
    QTest::newRow("a split answer read in the middle")
        << QStringList{"~12", "+12", "r", "+12", "+14", "r~"} << Reads{{}, {0}};
    QTest::newRow("one and a half frames, then the other half")
        << QStringList{"~75", "r", "+25", "r~"} << Reads{{}, {0, 50}};
    QTest::newRow("one stray byte before a frame, in one piece")
        << QStringList{"~51", "r~", "~50", "r~"} << Reads{{}, {51}};
    QTest::newRow("one stray byte alone between answers")
        << QStringList{"~50", "r~", "~1", "~50", "r~"} << Reads{{0}, {51}};
    QTest::newRow("one stray byte right after a frame")
        << QStringList{"~50", "+1", "r~", "~50", "r~"} << Reads{{}, {51}};
    QTest::newRow("a frame read at once, then a stray byte after it")
        << QStringList{"~50", "r", "+1", "r~", "~50", "r~"} << Reads{{}, {}, {51}};
    // The bytes so far are a whole frame by chance: a stray byte glued to the front
    // of an answer, read after 49 of its bytes.
    QTest::newRow("a stray byte, 49 bytes of an answer, a read, its last byte")
        << QStringList{"~1", "+49", "r", "+1", "r~", "~50", "r~"} << Reads{{}, {}, {51}};
    QTest::newRow("a stray byte, 49 bytes of an answer, a read, its last byte 30 ms later")
        << QStringList{"~1", "+49", "r", "30ms+1", "r", "r~", "~50", "r~"}
        << Reads{{}, {}, {}, {51}};
    // An answer split at every position, read at the split: nothing of it until
    // it has ended, then all of it.
    for (int frames : {1, 2}) {
        const int size = frames * int(kFrameSize);
        for (int split = 1; split < size; ++split) {
            const QList<int> whole = frames == 1 ? QList<int>{0} : QList<int>{0, 50};
            QTest::addRow("%d-frame answer split after byte %d", frames, split)
                << QStringList{"~" + QString::number(split), "r",
                               "+" + QString::number(size - split), "r", "r~"}
                << Reads{{}, {}, whole};
        }
    }
    QTest::newRow("49 bytes of garbage alone")
        << QStringList{"~49", "r~", "~50", "r~"} << Reads{{}, {49}};
    QTest::newRow("49 bytes of garbage, then a frame in one piece")
        << QStringList{"~99", "r~", "~50", "r~"} << Reads{{}, {99}};
    QTest::newRow("1 MiB of garbage, then frames without a pause")
        << QStringList{"~1048576", "+50", "r~", "~50", "r~"} << Reads{{}, {1048626}};
    QTest::newRow("1 MiB of garbage in pieces, then frames after a pause")
        << QStringList{"~524288", "+524288", "r", "~50", "r~"} << Reads{{}, {1048576}};
    QTest::newRow("an answer cut by a silence is dropped, the next one read")
        << QStringList{"~25", "~25", "r~", "~50", "r~"} << Reads{{}, {50}};
    QTest::newRow("a station that falls silent and comes back")
        << QStringList{"~50", "r~", "r~", "r~", "r~", "~50", "r~"} << Reads{{0}, {}, {}, {}, {50}};
}

void TestReceiveQueue::readsFramesAsTheLineDelimitsThem() {
    QFETCH(QStringList, steps);
    QFETCH(QList<QList<int>>, frames);

    // A piece: its delay after the previous one and its size.
    const auto piece = [](const QString& step) -> std::pair<Time, int> {
        if (step.startsWith(u'~'))
            return {kSilence, step.mid(1).toInt()};
        const qsizetype plus = step.indexOf(u'+');
        const Time delay = plus == 0 ? kWithinAnswer : Time(step.first(plus - 2).toInt());
        return {delay, step.mid(plus + 1).toInt()};
    };
    qsizetype total = 0;
    for (const QString& step : std::as_const(steps))
        if (!step.startsWith(u'r'))
            total += piece(step).second;
    const QByteArray bytes = stream(total);

    ReceiveQueue queue;
    Time now{1000};
    qsizetype consumed = 0;
    qsizetype read = 0;
    for (const QString& step : std::as_const(steps)) {
        if (step.startsWith(u'r')) {
            if (step == u"r~")
                now += kSilence;
            QVERIFY2(read < frames.size(), "more reads than expected results");
            QStringList got;
            for (const StationFrame& frame : queue.takeFrames(now))
                got << QString::fromLatin1(bytesOf(frame).toHex(' '));
            QStringList expected;
            for (int offset : std::as_const(frames[read]))
                expected << QString::fromLatin1(bytes.mid(offset, kFrameSize).toHex(' '));
            QCOMPARE(got, expected);
            ++read;
            continue;
        }
        const auto [delay, size] = piece(step);
        now += delay;
        queue.append(bytes.mid(consumed, size), now);
        consumed += size;
    }
    QCOMPARE(read, frames.size());
    // Nothing is kept beyond a read after a silence: no backlog builds up.
    if (steps.last() == u"r~")
        QCOMPARE(queue.pendingBytes(), qsizetype(0));
}

void TestReceiveQueue::clearForgetsEverything() {
    ReceiveQueue queue;
    queue.append(stream(80, 1), Time{0}); // a frame and a tail
    queue.clear();
    QCOMPARE(queue.pendingBytes(), qsizetype(0));
    QVERIFY(queue.takeFrames(Time{10}).isEmpty());

    // Right after a clear (a reopened port) the next bytes start an answer, though
    // no silence was seen: the old tail does not shift them.
    const QByteArray next = stream(qsizetype(kFrameSize), 2);
    queue.append(next, Time{20});
    const QList<StationFrame> frames = queue.takeFrames(Time{20} + ReceiveQueue::kQuietGap);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(bytesOf(frames.first()).toHex(' '), next.toHex(' '));
}

QTEST_APPLESS_MAIN(TestReceiveQueue)
#include "tst_receivequeue.moc"
