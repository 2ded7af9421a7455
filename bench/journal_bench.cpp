// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window's thread waits on the run journal per tick: TICKS seconds recorded one
// per TICK_MS, each handed to the journal as the console does, on this machine's disk and on a
// disk that takes SYNC_MS for every sync; then how long the writer takes to catch up.
//
// usage: journal_bench [SYNC_MS [TICK_MS [TICKS]]]   (defaults 800 100 600)
#include "bench/StepTimes.h"
#include "record/RunJournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

// One run of `ticks` seconds; `syncMs` < 0 keeps the disk's own sync.
void measure(const char* disk, int syncMs, int tickMs, int ticks) {
    QTemporaryDir dir;
    record::RunRecord record;
    record::RunJournal journal(record, dir.filePath(QStringLiteral("runs")));
    if (syncMs >= 0)
        journal.writer().setSync([syncMs](int) {
            QThread::msleep(static_cast<unsigned long>(syncMs));
            return true;
        });
    journal.setOn(true);
    record.beginRun({QStringLiteral("bench"),
                     QDateTime::currentDateTime(),
                     QStringLiteral("Com1"),
                     0,
                     0,
                     {0, QStringLiteral("bench"), 180, 150, 160, 60, 235, 30}});
    journal.runStarted();

    bench::StepTimes times;
    QElapsedTimer clock;
    clock.start();
    for (int tick = 1; tick <= ticks; ++tick) {
        const qint64 due = qint64(tick) * tickMs;
        if (const qint64 left = due - clock.elapsed(); left > 0)
            QThread::msleep(static_cast<unsigned long>(left));
        record.append(25 + tick % 230, 25 + (tick * 7) % 200);
        times.time([&] { journal.recordGrew(); });
    }
    QElapsedTimer drain;
    drain.start();
    journal.waitForWriter();
    const double drainMs = double(drain.nsecsElapsed()) / 1e6;
    QFile file(journal.currentPath());
    qint64 rows = 0;
    if (file.open(QIODevice::ReadOnly))
        rows = file.readAll().count('\n') - 14;

    const bench::Figures w = bench::figuresOf(times.wall);
    const bench::Figures c = bench::figuresOf(times.cpu);
    std::printf("%-34s wait per tick ms: median %.4f  p90 %.4f  worst %.4f   cpu median %.4f  "
                "worst %.4f\n",
                disk, w.median, w.p90, w.max, c.median, c.max);
    std::printf("%-34s writer caught up %.0f ms after the last tick; rows in the file %lld of %d\n",
                "", drainMs, static_cast<long long>(rows), ticks);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int syncMs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 800;
    const int tickMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100;
    const int ticks = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 600;
    if (syncMs < 0 || tickMs <= 0 || ticks <= 0) {
        std::fprintf(stderr, "usage: journal_bench [SYNC_MS [TICK_MS [TICKS]]]\n");
        return 2;
    }
    std::printf("%d ticks, one every %d ms, each second handed to the journal:\n", ticks, tickMs);
    measure("this machine's disk:", -1, tickMs, ticks);
    const QByteArray slow = QByteArray::number(syncMs) + " ms per sync:";
    measure(slow.constData(), syncMs, tickMs, ticks);
    return 0;
}
