// SPDX-License-Identifier: GPL-3.0-or-later
// A step timed many times over: its wall-clock and processor times, and their median, p90, worst.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <ctime>
#include <vector>

namespace bench {

struct Figures {
    double median = 0;
    double p90 = 0;
    double max = 0;
};

inline Figures figuresOf(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back()};
}

inline double msSince(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// The processor time this thread has used, in ms: on a machine shared with other
// work it shows what a step costs when the wall-clock figure also holds waiting.
inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// One measured step: its wall-clock time and its processor time, in ms.
struct StepTimes {
    std::vector<double> wall;
    std::vector<double> cpu;

    template <typename Step> void time(Step&& step) {
        QElapsedTimer clock;
        const double cpuStart = threadCpuMs();
        clock.start();
        step();
        wall.push_back(msSince(clock));
        cpu.push_back(threadCpuMs() - cpuStart);
    }
};

} // namespace bench
