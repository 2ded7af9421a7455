// SPDX-License-Identifier: GPL-3.0-or-later
// A run's summary and verdict, and its PDF report (contents, drawing, file), at 900 and 86,400
// seconds: the time each takes and the report's size.
#include "bench/Repeated.h"
#include "console/RunReportPdf.h"
#include "record/RunReport.h"
#include "record/RunSummary.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kRepeats = 7;

// Runs of a profile one after another (warm-up, T1 hold, T3 hold, cool-down in
// 15 minutes), every reading different from the one before, one answer in 97 lost.
record::RunRecord runOf(int seconds) {
    record::RunRecord record;
    record.beginRun({QStringLiteral("1.0.0.2"),
                     QDateTime::currentDateTime(),
                     QStringLiteral("Com3"),
                     -5,
                     7,
                     {2, QStringLiteral("BGA"), 180, 150, 160, 60, 235, 30}});
    for (int second = 1; second <= seconds; ++second) {
        if (second % 97 == 0) {
            record.appendGap();
            continue;
        }
        const int phase = second % 900;
        const int noise = int(qint64(second) * 7919 % 5) - 2;
        const int top = phase < 120   ? 25 + phase * 135 / 120
                        : phase < 180 ? 160
                        : phase < 240 ? 160 + (phase - 180) * 75 / 60
                        : phase < 270 ? 235
                                      : 235 - (phase - 270) * 210 / 630;
        const int bottom = int(100 + 50 * std::sin(double(second) / 300.0));
        record.append(top + noise, bottom + noise);
    }
    return record;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTemporaryDir dir;
    std::printf("run summary and PDF report, build %s\n", IRCONSOLE_BUILD_TYPE);
    record::RunLimits limits;
    limits.maxRise = 3;
    limits.minLiquidusSeconds = 30;
    for (const int seconds : {900, 86'400}) {
        const record::RunRecord record = runOf(seconds);
        std::printf("-- %d seconds\n", seconds);
        std::optional<record::RunAssessment> assessment;
        bench::reportRepeated("summary and verdict", kRepeats,
                              [&](int) { assessment = record::assessLastRun(record, limits); });
        std::printf("   %s\n", qPrintable(assessment->verdict.line()));
        std::optional<record::RunReport> report;
        bench::reportRepeated("report contents (record/)", kRepeats,
                              [&](int) { report = record::lastRunReport(record, limits); });
        const QString path = dir.filePath(QStringLiteral("report-%1.pdf").arg(seconds));
        bench::reportRepeated("PDF file (contents + draw + write)", kRepeats, [&](int) {
            report = record::lastRunReport(record, limits);
            if (!console::writeRunReport(path, *report).written)
                std::printf("   not written\n");
        });
        std::printf("   PDF %lld bytes\n", qlonglong(QFileInfo(path).size()));
    }
    return 0;
}
