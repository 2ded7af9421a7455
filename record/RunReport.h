// SPDX-License-Identifier: GPL-3.0-or-later
// What a run's one-page report says and shows: its texts, its tables and its curves, ready to draw.
#pragma once

#include "record/RunRecord.h"
#include "record/RunSummary.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace record {

// A pair of curves (top and bottom) over run seconds: entry i is second i + 1.
struct ReportCurves {
    QString topCaption; // the legend's words for each curve
    QString bottomCaption;
    std::vector<RunSecond> seconds;
};

// The targets the window showed over a stretch of run time, in seconds.
struct ReportTargets {
    double from = 0;
    double to = 0;
    std::int32_t t1 = 0;
    std::int32_t t3 = 0;
    std::int32_t tb = 0;
};

// Seconds without a reading: (from, to] in run seconds, shaded on the chart.
struct ReportGap {
    double from = 0;
    double to = 0;
};

// One page: a title and the run's facts above; the chart on the left, the
// verdict and the tables on the right; the console's version below.
struct RunReport {
    QString title;     // "Прогон: профиль 2 «BGA»"
    QStringList facts; // start, port, length
    RunRule::Outcome outcome = RunRule::Outcome::Met;
    QString verdict; // the verdict line
    std::vector<SummaryRow> summary;
    std::vector<RunRule> rules;
    std::vector<SummaryRow> profile; // the six values, the corrections, the tolerance
    QString footer;
    QString fileName; // named as the run's journal file, ".pdf"

    // The chart: the run's curves, what the profile aimed at, where answers were lost.
    ReportCurves run;
    std::vector<ReportTargets> targets;
    std::vector<ReportGap> gaps;
    // Another pair of curves drawn under the run's, lighter and dashed, and what
    // it is (shown with the run's facts).
    std::optional<ReportCurves> extra;
    QString extraCaption;
    qint64 lastSecond = 0;             // the time axis runs from 0 to here
    std::int32_t highestDegrees = 300; // the temperature axis runs from 0 to here
};

// "Прогон: профиль 2 «BGA»".
QString runCaption(const RunProfile& profile);
// The title of a picture of the record: its first run's caption and start,
// "Прогон: профиль 2 «BGA», 10.12.2026 14:03:59"; empty without a run.
QString pictureTitle(const RunRecord& record);

// The report of the run [first, end) of `record` that `assessment` judged; with
// a reference, its curves under the run's over the run's length, and its name.
RunReport makeRunReport(const RunRecord& record, qsizetype first, qsizetype end,
                        const RunAssessment& assessment, const ReferenceRun* reference = nullptr);
// The report of the record's last run (going on or finished); none without a second.
std::optional<RunReport> lastRunReport(const RunRecord& record, const RunLimits& limits,
                                       const ReferenceRun* reference = nullptr);
// The reference's curves over the run's first `seconds` seconds, and its name
// for a legend: "Эталон, верх", "Эталон, низ".
ReportCurves referenceCurves(const ReferenceRun& reference, qint64 seconds);
// "Эталон: профиль 2 «BGA», 10.12.2026 14:03 (2026-12-10_14-03_profil2_BGA.csv)".
QString referenceTitle(const ReferenceRun& reference);

// A curve as at most two points per column of `columns` across its seconds:
// the lowest and the highest reading of the column, in the order they came, so
// that a peak is never thinned away. A column without a reading is a gap (NaN
// between its neighbours). Points are (second, degrees).
struct CurvePoint {
    double second = 0;
    double degrees = 0; // NaN: the curve breaks here
};
std::vector<CurvePoint> curveEnvelope(const std::vector<RunSecond>& seconds,
                                      std::int32_t RunSample::*value, int columns);

// The reports that go beside the journal's files once each file is whole. A run's
// report waits for its file; files close in the order their runs ended, so when
// one closes, the reports of files before it are not coming (their file failed)
// and are dropped.
class DueReports {
public:
    void expect(quint64 file, RunReport report);
    // The report of the file that has closed, and where it goes: beside the
    // file, named as it is, ".pdf". None when no report waits for that file.
    struct Due {
        QString path;
        RunReport report;
    };
    std::optional<Due> fileClosed(quint64 file, const QString& filePath);

private:
    std::map<quint64, RunReport> m_due;
};

} // namespace record
