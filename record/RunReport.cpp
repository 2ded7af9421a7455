// SPDX-License-Identifier: GPL-3.0-or-later
// The one-page report's contents, worked out from the record and the run's assessment.
#include "record/RunReport.h"

#include "record/RunCsv.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace record {

namespace {

constexpr std::int32_t kDegreesShown = 300;
constexpr std::int32_t kDegreesPerGridLine = 50;
constexpr qint64 kSecondsShownAtLeast = 60;

QString clockText(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::vector<ReportTargets> targetsOf(const RunRecord& record, qsizetype first, qsizetype end) {
    std::vector<ReportTargets> spans;
    const std::vector<RunRecord::ProfileMark>& marks = record.profiles();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const qsizetype from = std::max(marks[i].first, first);
        const qsizetype to = i + 1 < marks.size() ? std::min(marks[i + 1].first, end) : end;
        if (to <= from)
            continue;
        const RunProfile& p = marks[i].profile;
        spans.push_back(
            {from == first ? 0.0 : double(from - first), double(to - first), p.T1, p.T3, p.TB});
    }
    return spans;
}

std::vector<ReportGap> gapsOf(const std::vector<RunSecond>& seconds) {
    std::vector<ReportGap> gaps;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        if (seconds[i])
            continue;
        const double second = double(i + 1);
        if (!gaps.empty() && gaps.back().to == second - 1)
            gaps.back().to = second;
        else
            gaps.push_back({second - 1, second});
    }
    return gaps;
}

} // namespace

QString runCaption(const RunProfile& profile) {
    const QString name = profile.name.trimmed();
    return name.isEmpty() ? QStringLiteral("Прогон: профиль %1").arg(profile.number)
                          : QStringLiteral("Прогон: профиль %1 «%2»").arg(profile.number).arg(name);
}

QString pictureTitle(const RunRecord& record) {
    if (record.runs().empty())
        return {};
    const RunHeader& header = record.runs().front().header;
    return runCaption(header.profile) + QStringLiteral(", ") +
           header.start.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

RunReport makeRunReport(const RunRecord& record, qsizetype first, qsizetype end,
                        const RunAssessment& assessment, const ReferenceRun* reference) {
    first = std::clamp<qsizetype>(first, 0, record.size());
    end = std::clamp<qsizetype>(end, first, record.size());
    const RunHeader& header = assessment.header;
    const RunProfile& profile = header.profile;
    RunReport report;
    report.title = runCaption(profile);
    report.facts = {
        QStringLiteral("Начало: %1 (UTC%2)")
            .arg(header.start.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                 isoTimeWithOffset(header.start).right(6)),
        QStringLiteral("Порт: %1").arg(header.port.isEmpty() ? QStringLiteral("—") : header.port),
        QStringLiteral("Длительность: %1").arg(clockText(assessment.summary.length)),
    };
    report.outcome = assessment.verdict.outcome;
    report.verdict = assessment.verdict.line();
    report.summary = summaryRows(assessment);
    report.rules = assessment.verdict.rules;
    auto value = [](const char* key, qint64 number, const char* unit) {
        return SummaryRow{QLatin1String(key), QString::number(number) + QString::fromUtf8(unit)};
    };
    report.profile = {
        value("T0", profile.T0, " °C"),
        value("TB", profile.TB, " °C"),
        value("T1", profile.T1, " °C"),
        value("S1", profile.S1, " с"),
        value("T3", profile.T3, " °C"),
        value("S3", profile.S3, " с"),
        value("Correct1", header.correct1, " °C"),
        value("Correct2", header.correct2, " °C"),
        {QStringLiteral("Допуск"), QStringLiteral("±%1 °C").arg(assessment.limits.tolerance)},
    };
    report.footer = QStringLiteral("irconsole %1").arg(header.version);
    report.fileName = suggestedFileName(header, QStringLiteral("pdf"));

    report.run.topCaption = QStringLiteral("Верх");
    report.run.bottomCaption = QStringLiteral("Низ");
    report.run.seconds.assign(record.samples().begin() + first, record.samples().begin() + end);
    report.targets = targetsOf(record, first, end);
    report.gaps = gapsOf(report.run.seconds);
    report.lastSecond = std::max<qint64>(end - first, kSecondsShownAtLeast);
    if (reference) {
        report.extra = referenceCurves(*reference, end - first);
        report.extraCaption = referenceTitle(*reference);
    }
    std::int32_t hottest = kDegreesShown;
    if (assessment.summary.peakTop)
        hottest = std::max(hottest, assessment.summary.peakTop->value);
    if (assessment.summary.peakBottom)
        hottest = std::max(hottest, assessment.summary.peakBottom->value);
    // Whole grid lines above the hottest reading; a reading far off the scale
    // (a broken thermocouple) is not worth a page of empty chart.
    hottest = std::min(hottest, 2 * kDegreesShown);
    report.highestDegrees =
        (hottest + kDegreesPerGridLine - 1) / kDegreesPerGridLine * kDegreesPerGridLine;
    return report;
}

std::optional<RunReport> lastRunReport(const RunRecord& record, const RunLimits& limits,
                                       const ReferenceRun* reference) {
    const std::optional<RunAssessment> assessment = assessLastRun(record, limits, reference);
    if (!assessment)
        return std::nullopt;
    return makeRunReport(record, record.runs().back().first, record.size(), *assessment, reference);
}

ReportCurves referenceCurves(const ReferenceRun& reference, qint64 seconds) {
    ReportCurves curves{QStringLiteral("Эталон, верх"), QStringLiteral("Эталон, низ"), {}};
    const auto count =
        std::size_t(std::clamp<qint64>(seconds, 0, qint64(reference.seconds.size())));
    curves.seconds.assign(reference.seconds.begin(), reference.seconds.begin() + qsizetype(count));
    return curves;
}

QString referenceTitle(const ReferenceRun& reference) {
    const QString caption = reference.caption();
    return reference.fileName.isEmpty() || caption.endsWith(reference.fileName)
               ? caption
               : caption + QStringLiteral(" (") + reference.fileName + QLatin1Char(')');
}

std::vector<CurvePoint> curveEnvelope(const std::vector<RunSecond>& seconds,
                                      std::int32_t RunSample::*value, int columns) {
    constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();
    std::vector<CurvePoint> points;
    const std::size_t count = seconds.size();
    if (count == 0 || columns <= 0)
        return points;
    // Few enough seconds: every one of them.
    if (count <= std::size_t(columns) * 2) {
        points.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            points.push_back({double(i + 1), seconds[i] ? double((*seconds[i]).*value) : kBreak});
        return points;
    }
    points.reserve(std::size_t(columns) * 2);
    for (int column = 0; column < columns; ++column) {
        const std::size_t from = count * std::size_t(column) / std::size_t(columns);
        const std::size_t to = count * std::size_t(column + 1) / std::size_t(columns);
        std::optional<std::size_t> low;
        std::optional<std::size_t> high;
        std::optional<std::size_t> gap; // the column's first lost second
        for (std::size_t i = from; i < to; ++i) {
            if (!seconds[i]) {
                if (!gap)
                    gap = i;
                continue;
            }
            const std::int32_t v = (*seconds[i]).*value;
            if (!low || v < (*seconds[*low]).*value)
                low = i;
            if (!high || v > (*seconds[*high]).*value)
                high = i;
        }
        // A lost answer inside the column breaks the line there, as on screen.
        std::vector<CurvePoint> columnPoints;
        if (gap)
            columnPoints.push_back({double(*gap + 1), kBreak});
        if (low) {
            columnPoints.push_back({double(*low + 1), double((*seconds[*low]).*value)});
            if (*high != *low)
                columnPoints.push_back({double(*high + 1), double((*seconds[*high]).*value)});
        }
        std::sort(columnPoints.begin(), columnPoints.end(),
                  [](const CurvePoint& a, const CurvePoint& b) { return a.second < b.second; });
        points.insert(points.end(), columnPoints.begin(), columnPoints.end());
    }
    // The line runs to the last reading, not only to the last column's extremes.
    const double last = double(count);
    if (seconds.back() && (points.empty() || points.back().second != last))
        points.push_back({last, double((*seconds.back()).*value)});
    return points;
}

void DueReports::expect(quint64 file, RunReport report) {
    m_due[file] = std::move(report);
}

std::optional<DueReports::Due> DueReports::fileClosed(quint64 file, const QString& filePath) {
    const auto due = m_due.find(file);
    if (due == m_due.end())
        return std::nullopt;
    RunReport report = std::move(due->second);
    m_due.erase(m_due.begin(), std::next(due));
    const QFileInfo beside(filePath);
    return Due{beside.dir().filePath(beside.completeBaseName() + QStringLiteral(".pdf")),
               std::move(report)};
}

} // namespace record
