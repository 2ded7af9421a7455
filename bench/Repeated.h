// SPDX-License-Identifier: GPL-3.0-or-later
// One step timed several times over, for the benchmarks that report best, median and worst.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

// Runs work(1) to work(repeats), each timing itself and returning its time in
// ms, and prints the best, median and worst.
inline void reportTimes(const char* what, int repeats, const std::function<double(int)>& work) {
    std::vector<double> times;
    for (int round = 1; round <= repeats; ++round)
        times.push_back(work(round));
    std::sort(times.begin(), times.end());
    std::printf("%-44s best %8.2f ms   median %8.2f ms   worst %8.2f ms\n", what, times.front(),
                times[times.size() / 2], times.back());
}

// Runs work(1) to work(repeats) and prints the best, median and worst wall time, in ms.
inline void reportRepeated(const char* what, int repeats, const std::function<void(int)>& work) {
    reportTimes(what, repeats, [&work](int round) {
        QElapsedTimer timer;
        timer.start();
        work(round);
        return double(timer.nsecsElapsed()) / 1e6;
    });
}

} // namespace bench
