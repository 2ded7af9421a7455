// SPDX-License-Identifier: GPL-3.0-or-later
// Exporting a 24-hour run: the CSV text and file, the picture and the PNG file, timed; the
// picture again with a 24-hour reference run under it.
#include "bench/Repeated.h"
#include "console/RunExport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kRepeats = 5;

// A day of soldering runs: a ramp to 250 °C and back every 20 minutes on top,
// a slower wave below, and sensor noise on both.
record::RunRecord dayLongRun() {
    record::RunRecord record;
    for (int second = 1; second <= kSecondsPerDay; ++second) {
        const double phase = double(second % 1200) / 1200.0;
        const int top = int(25 + 225 * std::sin(phase * M_PI)) + int(qint64(second) * 7919 % 5) - 2;
        const int bottom = int(100 + 50 * std::sin(double(second) / 3000.0)) +
                           int(qint64(second) * 104729 % 3) - 1;
        record.append(top, bottom);
    }
    return record;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTemporaryDir dir;
    // A path given on the command line keeps a copy of the picture to look at.
    const QString keep = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    const record::RunRecord record = dayLongRun();
    std::printf("export of a 24-hour run: %d samples per series, build %s\n", kSecondsPerDay,
                IRCONSOLE_BUILD_TYPE);

    qsizetype csvBytes = 0;
    bench::reportRepeated("CSV text", kRepeats,
                          [&](int) { csvBytes = record::csvText(record).size(); });
    bench::reportRepeated("CSV file (text + write)", kRepeats, [&](int) {
        console::writeCsvFile(dir.filePath(QStringLiteral("run.csv")), record);
    });
    bench::reportRepeated("picture (render only)", kRepeats,
                          [&](int) { console::renderRunChart(record); });
    const QString png = dir.filePath(QStringLiteral("run.png"));
    bench::reportRepeated("PNG file (render + encode + write)", kRepeats,
                          [&](int) { console::writeChartFile(png, record); });
    // The same day laid under itself 10 °C cooler, as a reference.
    record::ReferenceRun reference;
    reference.fileName = QStringLiteral("reference.csv");
    reference.seconds = record.samples();
    for (record::RunSecond& second : reference.seconds)
        *second = {second->top - 10, second->bottom - 10};
    bench::reportRepeated("picture with a 24-hour reference", kRepeats, [&](int) {
        console::renderRunChart(record, console::kRunPictureSize, std::nullopt, &reference);
    });
    std::printf("CSV %lld bytes, PNG %lld bytes, %d x %d px\n", qlonglong(csvBytes),
                qlonglong(QFileInfo(png).size()), console::kRunPictureSize.width(),
                console::kRunPictureSize.height());
    if (!keep.isEmpty()) {
        QFile::remove(keep);
        QFile::copy(png, keep);
    }
    return 0;
}
