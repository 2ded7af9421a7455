// SPDX-License-Identifier: GPL-3.0-or-later
// How long the simulated station takes to answer a status frame over its pseudo-terminal: at once
// (--instant) and on the line's time (the status frame and the answer, 100 bytes of 10 bits at the
// terminal's rate: 833 ms at 1200 baud, 52 ms at 19200), each from the status frame's write to the
// answer's last byte on the console's side.
#include "bench/Repeated.h"
#include "link/StationFrame.h"
#include "sim/Station.h"
#include "sim/StationFrames.h"
#include "tests/sim/SlaveEnd.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kRepeats = 11;
constexpr int kAnswerTimeoutMs = 5000;

void timeAnswers(const char* what, bool instant, speed_t speed) {
    sim::StationOptions options;
    options.instant = instant;
    options.seed = 1;
    sim::Station station(options);
    QString error;
    if (!station.open(&error)) {
        std::fprintf(stderr, "%s: %s\n", what, qPrintable(error));
        return;
    }
    simtest::SlaveEnd console(station.slavePath());
    if (!console.isOpen() || !console.setBaudRate(speed)) {
        std::fprintf(stderr, "%s: the terminal cannot be set up\n", what);
        return;
    }
    const QByteArray status = sim::toBytes(station::buildStatusFrame(0, 1));
    bench::reportRepeated(what, kRepeats, [&](int) {
        console.clear();
        if (!console.write(status) ||
            !console.waitForBytes(qsizetype(station::kFrameSize), kAnswerTimeoutMs))
            std::fprintf(stderr, "%s: no answer\n", what);
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    timeAnswers("answer at once, 1200 baud", true, B1200);
    timeAnswers("answer on the line's time, 1200 baud", false, B1200);
    timeAnswers("answer at once, 19200 baud", true, B19200);
    timeAnswers("answer on the line's time, 19200 baud", false, B19200);
    return 0;
}
