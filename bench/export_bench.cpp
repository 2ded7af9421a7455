// SPDX-License-Identifier: GPL-3.0-or-later
// Exporting a 24-hour run: the CSV text and file, the picture and the PNG file, timed.
#include "console/RunExport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kRepeats = 5;

// A day of soldering runs: a ramp to 250 °C and back every 20 minutes on top,
// a slower wave below, and sensor noise on both.
console::RunRecord dayLongRun() {
    console::RunRecord record;
    for (int second = 1; second <= kSecondsPerDay; ++second) {
        const double phase = double(second % 1200) / 1200.0;
        const int top = int(25 + 225 * std::sin(phase * M_PI)) + int(qint64(second) * 7919 % 5) - 2;
        const int bottom = int(100 + 50 * std::sin(double(second) / 3000.0)) +
                           int(qint64(second) * 104729 % 3) - 1;
        record.append(top, bottom);
    }
    return record;
}

// Best and median of a few runs, in milliseconds.
void report(const char* what, const std::function<void()>& work) {
    std::vector<double> times;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-34s best %8.1f ms   median %8.1f ms\n", what, times.front(),
                times[times.size() / 2]);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTemporaryDir dir;
    // A path given on the command line keeps a copy of the picture to look at.
    const QString keep = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    const console::RunRecord record = dayLongRun();
    std::printf("export of a 24-hour run: %d samples per series, build %s\n", kSecondsPerDay,
                IRCONSOLE_BUILD_TYPE);

    qsizetype csvBytes = 0;
    report("CSV text", [&] { csvBytes = console::csvText(record).size(); });
    report("CSV file (text + write)",
           [&] { console::writeCsvFile(dir.filePath(QStringLiteral("run.csv")), record); });
    report("picture (render only)", [&] { console::renderRunChart(record); });
    const QString png = dir.filePath(QStringLiteral("run.png"));
    report("PNG file (render + encode + write)", [&] { console::writeChartFile(png, record); });
    std::printf("CSV %lld bytes, PNG %lld bytes, %d x %d px\n", qlonglong(csvBytes),
                qlonglong(QFileInfo(png).size()), console::kRunPictureSize.width(),
                console::kRunPictureSize.height());
    if (!keep.isEmpty()) {
        QFile::remove(keep);
        QFile::copy(png, keep);
    }
    return 0;
}
