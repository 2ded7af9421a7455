// SPDX-License-Identifier: GPL-3.0-or-later
// A finished run's figures and verdict, in one pass or two over its seconds.
#include "record/RunSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace record {

namespace {

using Outcome = RunRule::Outcome;

// Each profile value goes to the station as one byte: a temperature outside
// 1..255 or a hold outside 0..255 is not what the station ran.
constexpr std::int32_t kHighestByte = 255;

using Reading = std::function<bool(const RunSample&)>;

// The seconds [first, end) of the record, with run seconds counted from 1 at `first`.
struct RunSpan {
    const std::vector<RunSecond>& seconds;
    qsizetype first = 0;
    qsizetype end = 0;

    const RunSecond& at(qsizetype index) const { return seconds[std::size_t(index)]; }
    qint64 secondOf(qsizetype index) const { return qint64(index - first) + 1; }
};

// The stretches of a condition over the run. `known`: measured seconds that all
// meet it. `bridged`: the same, where a gap may stand for a second that met it
// (a hold the link lost part of may have been held). `firstMeeting`: the first
// known stretch of at least `needed` seconds, by index.
struct StretchScan {
    Stretch known;
    qint64 bridged = 0;
    std::optional<qsizetype> firstMeeting;
};

StretchScan scanStretches(const RunSpan& run, qsizetype from, const Reading& meets, qint64 needed) {
    StretchScan scan;
    qint64 known = 0;
    qint64 bridged = 0;
    for (qsizetype index = from; index < run.end; ++index) {
        const RunSecond& reading = run.at(index);
        if (!reading) {
            known = 0;
            ++bridged;
        } else if (meets(*reading)) {
            ++known;
            ++bridged;
            if (known > scan.known.seconds)
                scan.known = {known, run.secondOf(index - known + 1)};
            if (known >= needed && !scan.firstMeeting)
                scan.firstMeeting = index - known + 1;
        } else {
            known = 0;
            bridged = 0;
        }
        scan.bridged = std::max(scan.bridged, bridged);
    }
    return scan;
}

// A stretch of seconds without a reading, by index.
struct Gap {
    qsizetype first = 0;
    qsizetype end = 0;
};

std::vector<Gap> gapsOf(const RunSpan& run) {
    std::vector<Gap> gaps;
    for (qsizetype index = run.first; index < run.end; ++index) {
        if (run.at(index))
            continue;
        if (!gaps.empty() && gaps.back().end == index)
            gaps.back().end = index + 1;
        else
            gaps.push_back({index, index + 1});
    }
    return gaps;
}

// A gap that may hide what a rule looks for: one with a reading beside it that
// comes near (`near`), or with no reading on either side.
bool gapMayHide(const RunSpan& run, const std::vector<Gap>& gaps, const Reading& near) {
    for (const Gap& gap : gaps) {
        const bool hasBefore = gap.first > run.first;
        const bool hasAfter = gap.end < run.end;
        if (!hasBefore && !hasAfter)
            return true;
        if ((hasBefore && near(*run.at(gap.first - 1))) || (hasAfter && near(*run.at(gap.end))))
            return true;
    }
    return false;
}

// Seconds of gaps beside a reading that meets `meets`: they may have met it too.
qint64 gapSecondsBeside(const RunSpan& run, const std::vector<Gap>& gaps, const Reading& meets) {
    qint64 seconds = 0;
    for (const Gap& gap : gaps) {
        const bool before = gap.first > run.first && meets(*run.at(gap.first - 1));
        const bool after = gap.end < run.end && meets(*run.at(gap.end));
        if (before || after)
            seconds += gap.end - gap.first;
    }
    return seconds;
}

std::optional<double> highestRise(const RunSpan& run, std::int32_t RunSample::*value) {
    std::optional<double> highest;
    for (qsizetype index = run.first + kRiseSpanSeconds; index < run.end; ++index) {
        const RunSecond& now = run.at(index);
        const RunSecond& before = run.at(index - kRiseSpanSeconds);
        if (!now || !before)
            continue;
        const double rise = double((*now).*value - (*before).*value) / double(kRiseSpanSeconds);
        if (!highest || rise > *highest)
            highest = rise;
    }
    return highest;
}

bool withinBand(std::int32_t value, std::int32_t target, std::int32_t tolerance) {
    return std::abs(qint64(value) - qint64(target)) <= tolerance;
}

QString number(qint64 value) {
    return QString::number(value);
}

// Whole degrees as they are, other rates with one decimal and a comma, as
// Russian writes them.
QString decimal(double value) {
    return QString::number(value, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString signedNumber(qint64 value) {
    return value > 0 ? QLatin1Char('+') + number(value) : number(value);
}

QString outOfRange(const char* key, std::int32_t value, std::int32_t lowest) {
    return QStringLiteral("%1 = %2 вне %3…%4")
        .arg(QLatin1String(key), number(value), number(lowest), number(kHighestByte));
}

bool temperatureInRange(std::int32_t value) {
    return value >= 1 && value <= kHighestByte;
}

bool holdInRange(std::int32_t value) {
    return value >= 0 && value <= kHighestByte;
}

struct Judge {
    const RunSpan& run;
    const RunProfile& profile;
    const RunLimits& limits;
    const RunSummary& summary;
    const std::vector<Gap>& gaps;

    // A hold of the top at `target` for `needed` seconds, looked for from `from`.
    RunRule hold(const char* targetKey, std::int32_t target, const char* holdKey,
                 std::int32_t needed, qsizetype from, std::optional<qsizetype>* start) const {
        RunRule rule{QStringLiteral("выдержка %1").arg(QLatin1String(targetKey)), Outcome::Met, {}};
        if (!holdInRange(needed)) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = outOfRange(holdKey, needed, 0);
            return rule;
        }
        if (needed > 0 && !temperatureInRange(target)) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = outOfRange(targetKey, target, 1);
            return rule;
        }
        const std::int32_t tolerance = limits.tolerance;
        const StretchScan scan = scanStretches(
            run, from,
            [target, tolerance](const RunSample& s) {
                return withinBand(s.top, target, tolerance);
            },
            needed);
        rule.figure = QStringLiteral("%1 с из %2").arg(number(scan.known.seconds), number(needed));
        if (scan.known.seconds >= needed) {
            *start = scan.firstMeeting;
        } else if (scan.bridged >= needed) {
            rule.outcome = Outcome::Unchecked;
            rule.figure += QStringLiteral(", пропуск связи в выдержке");
        } else {
            rule.outcome = Outcome::Failed;
        }
        return rule;
    }

    RunRule bottomReached() const {
        RunRule rule{QStringLiteral("нагрев низа до TB"), Outcome::Met, {}};
        const std::int32_t target = profile.TB;
        if (!temperatureInRange(target)) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = outOfRange("TB", target, 1);
            return rule;
        }
        const std::int32_t lowest = target - limits.tolerance;
        if (!summary.peakBottom) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = QStringLiteral("нет показаний");
            return rule;
        }
        rule.figure =
            QStringLiteral("%1 °C из %2").arg(number(summary.peakBottom->value), number(target));
        if (summary.peakBottom->value >= lowest)
            return rule;
        const std::int32_t tolerance = limits.tolerance;
        const bool hidden = gapMayHide(run, gaps, [lowest, tolerance](const RunSample& s) {
            return s.bottom >= lowest - tolerance;
        });
        rule.outcome = hidden ? Outcome::Unchecked : Outcome::Failed;
        if (hidden)
            rule.figure += QStringLiteral(", пропуск связи у TB");
        return rule;
    }

    RunRule overshoot() const {
        RunRule rule{QStringLiteral("перегрев над T3"), Outcome::Met, {}};
        const std::int32_t target = profile.T3;
        if (!temperatureInRange(target)) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = outOfRange("T3", target, 1);
            return rule;
        }
        if (!summary.overshoot) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = QStringLiteral("нет показаний");
            return rule;
        }
        rule.figure = QStringLiteral("%1 °C при допуске %2")
                          .arg(signedNumber(*summary.overshoot), number(limits.tolerance));
        if (*summary.overshoot > limits.tolerance) {
            rule.outcome = Outcome::Failed;
            return rule;
        }
        // A gap at the top of the run may hide a peak the readings around it do not show.
        if (gapMayHide(run, gaps, [target](const RunSample& s) { return s.top >= target; })) {
            rule.outcome = Outcome::Unchecked;
            rule.figure += QStringLiteral(", пропуск связи у T3");
        }
        return rule;
    }

    RunRule rise(const QString& name, const std::optional<double>& highest, double limit) const {
        RunRule rule{name, Outcome::Met, {}};
        if (!highest) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = QStringLiteral("нет показаний");
            return rule;
        }
        rule.figure =
            QStringLiteral("%1 °C/с при пределе %2").arg(decimal(*highest), decimal(limit));
        if (*highest > limit)
            rule.outcome = Outcome::Failed;
        return rule;
    }

    // Every second both sides measured lies within the tolerance of the reference.
    RunRule withinReference(const ReferenceComparison& comparison) const {
        RunRule rule{QStringLiteral("в допуске эталона"), Outcome::Met, {}};
        if (comparison.compared == 0) {
            rule.outcome = Outcome::Unchecked;
            rule.figure = QStringLiteral("нет общих секунд с показаниями");
            return rule;
        }
        const QString band = QStringLiteral("±%1 °C").arg(number(limits.tolerance));
        if (comparison.outside > 0) {
            rule.outcome = Outcome::Failed;
            rule.figure = QStringLiteral("%1 с из %2 вне %3")
                              .arg(number(comparison.outside), number(comparison.compared), band);
        } else {
            rule.figure =
                QStringLiteral("%1 с в пределах %2").arg(number(comparison.compared), band);
        }
        return rule;
    }

    RunRule liquidus(std::int32_t needed) const {
        RunRule rule{QStringLiteral("выше ликвидуса"), Outcome::Met, {}};
        rule.figure =
            QStringLiteral("%1 с из %2").arg(number(summary.liquidusSeconds), number(needed));
        if (summary.liquidusSeconds >= needed)
            return rule;
        const std::int32_t level = limits.liquidus;
        const qint64 possible =
            summary.liquidusSeconds +
            gapSecondsBeside(run, gaps, [level](const RunSample& s) { return s.top >= level; });
        if (possible >= needed) {
            rule.outcome = Outcome::Unchecked;
            rule.figure += QStringLiteral(", пропуск связи выше ликвидуса");
        } else {
            rule.outcome = Outcome::Failed;
        }
        return rule;
    }
};

RunSummary summarise(const RunSpan& run, const RunProfile& profile, const RunLimits& limits,
                     const std::vector<Gap>& gaps) {
    RunSummary summary;
    summary.length = run.end - run.first;
    for (qsizetype index = run.first; index < run.end; ++index) {
        const RunSecond& reading = run.at(index);
        if (!reading)
            continue;
        ++summary.measured;
        const qint64 second = run.secondOf(index);
        if (!summary.peakTop || reading->top > summary.peakTop->value)
            summary.peakTop = Peak{reading->top, second};
        if (!summary.peakBottom || reading->bottom > summary.peakBottom->value)
            summary.peakBottom = Peak{reading->bottom, second};
        if (reading->top >= limits.liquidus)
            ++summary.liquidusSeconds;
    }
    const std::int32_t tolerance = limits.tolerance;
    auto longest = [&](std::int32_t target, std::int32_t RunSample::*value) {
        return scanStretches(
                   run, run.first,
                   [target, tolerance, value](const RunSample& s) {
                       return withinBand(s.*value, target, tolerance);
                   },
                   0)
            .known;
    };
    summary.holdT1 = longest(profile.T1, &RunSample::top);
    summary.holdT3 = longest(profile.T3, &RunSample::top);
    summary.holdTB = longest(profile.TB, &RunSample::bottom);
    if (summary.peakTop)
        summary.overshoot = std::int32_t(
            std::clamp<qint64>(qint64(summary.peakTop->value) - profile.T3, INT32_MIN, INT32_MAX));
    summary.riseTop = highestRise(run, &RunSample::top);
    summary.riseBottom = highestRise(run, &RunSample::bottom);
    summary.gapCount = qint64(gaps.size());
    for (const Gap& gap : gaps) {
        summary.gapSeconds += gap.end - gap.first;
        summary.longestGap = std::max<qint64>(summary.longestGap, gap.end - gap.first);
    }
    return summary;
}

RunVerdict judge(const Judge& judge) {
    RunVerdict verdict;
    const RunProfile& profile = judge.profile;
    std::optional<qsizetype> t1Start;
    verdict.rules.push_back(
        judge.hold("T1", profile.T1, "S1", profile.S1, judge.run.first, &t1Start));
    // T3 is held after T1: looked for from the start of the T1 hold when there is one.
    std::optional<qsizetype> t3Start;
    verdict.rules.push_back(judge.hold("T3", profile.T3, "S3", profile.S3,
                                       t1Start.value_or(judge.run.first), &t3Start));
    verdict.rules.push_back(judge.bottomReached());
    verdict.rules.push_back(judge.overshoot());
    if (judge.limits.maxRise) {
        verdict.rules.push_back(judge.rise(QStringLiteral("скорость нагрева верха"),
                                           judge.summary.riseTop, *judge.limits.maxRise));
        verdict.rules.push_back(judge.rise(QStringLiteral("скорость нагрева низа"),
                                           judge.summary.riseBottom, *judge.limits.maxRise));
    }
    if (judge.limits.minLiquidusSeconds)
        verdict.rules.push_back(judge.liquidus(*judge.limits.minLiquidusSeconds));
    if (judge.summary.reference)
        verdict.rules.push_back(judge.withinReference(*judge.summary.reference));
    if (const RunRule* reason = verdict.reason())
        verdict.outcome = reason->outcome;
    return verdict;
}

QString optionalText(const std::optional<Peak>& peak) {
    return peak ? QStringLiteral("%1 °C на %2 с").arg(number(peak->value), number(peak->second))
                : QStringLiteral("—");
}

QString stretchText(const Stretch& stretch) {
    return stretch.seconds > 0 ? QStringLiteral("%1 с (от %2 с)")
                                     .arg(number(stretch.seconds), number(stretch.first))
                               : QStringLiteral("0 с");
}

QString rateText(const std::optional<double>& rate) {
    return rate ? decimal(*rate) + QStringLiteral(" °C/с") : QStringLiteral("—");
}

void appendLine(QByteArray& text, const char* key, const QString& value) {
    text.append("# ").append(key).append(": ").append(value.toUtf8()).append('\n');
}

QString machineNumber(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', 1) : QStringLiteral("none");
}

QString machinePeak(const std::optional<Peak>& peak) {
    return peak ? QStringLiteral("%1 second=%2").arg(number(peak->value), number(peak->second))
                : QStringLiteral("none");
}

QString largestText(const std::optional<LargestDeviation>& largest) {
    return largest ? QStringLiteral("%1 °C на %2 с")
                         .arg(signedDegrees(largest->degrees), number(largest->second))
                   : QStringLiteral("—");
}

QString machineLargest(const std::optional<LargestDeviation>& largest) {
    return largest ? QStringLiteral("%1 second=%2")
                         .arg(number(largest->degrees), number(largest->second))
                   : QStringLiteral("none");
}

QString machineStretch(const Stretch& stretch) {
    return QStringLiteral("%1 first=%2").arg(number(stretch.seconds), number(stretch.first));
}

const char* outcomeKey(Outcome outcome) {
    switch (outcome) {
    case Outcome::Met:
        return "met";
    case Outcome::Failed:
        return "failed";
    case Outcome::Unchecked:
        return "unchecked";
    }
    return "";
}

} // namespace

QString RunRule::text() const {
    return name + QStringLiteral(": ") + figure;
}

const RunRule* RunVerdict::reason() const {
    for (Outcome wanted : {Outcome::Failed, Outcome::Unchecked}) {
        const auto found = std::find_if(rules.cbegin(), rules.cend(),
                                        [wanted](const RunRule& r) { return r.outcome == wanted; });
        if (found != rules.cend())
            return &*found;
    }
    return nullptr;
}

QString RunVerdict::caption() const {
    switch (outcome) {
    case Outcome::Met:
        return QStringLiteral("Профиль выполнен");
    case Outcome::Failed:
        return QStringLiteral("Профиль не выполнен");
    case Outcome::Unchecked:
        return QStringLiteral("Не проверено");
    }
    return {};
}

QString RunVerdict::line() const {
    const RunRule* decided = reason();
    return decided ? caption() + QStringLiteral(" — ") + decided->text() : caption();
}

RunAssessment assessRun(const RunRecord& record, qsizetype first, qsizetype end,
                        const RunHeader& header, const RunLimits& limits,
                        const ReferenceRun* reference) {
    first = std::clamp<qsizetype>(first, 0, record.size());
    end = std::clamp<qsizetype>(end, first, record.size());
    const RunSpan run{record.samples(), first, end};
    const std::vector<Gap> gaps = gapsOf(run);
    RunAssessment assessment{header, limits, {}, {}};
    assessment.summary = summarise(run, header.profile, limits, gaps);
    if (reference)
        assessment.summary.reference =
            compareWithReference(record, first, end, *reference, limits.tolerance);
    assessment.verdict = judge(Judge{run, header.profile, limits, assessment.summary, gaps});
    return assessment;
}

std::optional<RunAssessment> assessLastRun(const RunRecord& record, const RunLimits& limits,
                                           const ReferenceRun* reference) {
    if (record.runs().empty())
        return std::nullopt;
    const RunRecord::RunMark& last = record.runs().back();
    if (last.first >= record.size())
        return std::nullopt;
    return assessRun(record, last.first, record.size(), last.header, limits, reference);
}

std::vector<SummaryRow> summaryRows(const RunAssessment& assessment) {
    const RunSummary& s = assessment.summary;
    const QString band = QStringLiteral(" ±") + number(assessment.limits.tolerance);
    const QString none = QStringLiteral("—");
    std::vector<SummaryRow> rows{
        {QStringLiteral("Длительность"),
         QStringLiteral("%1 с, с показаниями %2 с").arg(number(s.length), number(s.measured))},
        {QStringLiteral("Пик верха"), optionalText(s.peakTop)},
        {QStringLiteral("Пик низа"), optionalText(s.peakBottom)},
        {QStringLiteral("Выдержка T1") + band, stretchText(s.holdT1)},
        {QStringLiteral("Выдержка T3") + band, stretchText(s.holdT3)},
        {QStringLiteral("Низ у TB") + band, stretchText(s.holdTB)},
        {QStringLiteral("Перегрев над T3"),
         s.overshoot ? signedNumber(*s.overshoot) + QStringLiteral(" °C") : none},
        {QStringLiteral("Скорость нагрева верха"), rateText(s.riseTop)},
        {QStringLiteral("Скорость нагрева низа"), rateText(s.riseBottom)},
        {QStringLiteral("Выше ликвидуса %1 °C").arg(number(assessment.limits.liquidus)),
         number(s.liquidusSeconds) + QStringLiteral(" с")},
        {QStringLiteral("Пропуски связи"),
         s.gapCount == 0
             ? QStringLiteral("нет")
             : QStringLiteral("%1, всего %2 с, самый долгий %3 с")
                   .arg(number(s.gapCount), number(s.gapSeconds), number(s.longestGap))},
    };
    if (const std::optional<ReferenceComparison>& reference = s.reference) {
        rows.push_back(
            {QStringLiteral("Наибольшее Δ верха от эталона"), largestText(reference->top)});
        rows.push_back(
            {QStringLiteral("Наибольшее Δ низа от эталона"), largestText(reference->bottom)});
        rows.push_back({QStringLiteral("Вне допуска эталона") + band,
                        QStringLiteral("%1 с из %2")
                            .arg(number(reference->outside), number(reference->compared))});
    }
    return rows;
}

QString ruleMark(RunRule::Outcome outcome) {
    switch (outcome) {
    case Outcome::Met:
        return QStringLiteral("✓");
    case Outcome::Failed:
        return QStringLiteral("✗");
    case Outcome::Unchecked:
        return QStringLiteral("?");
    }
    return {};
}

QString summaryText(const RunAssessment& assessment) {
    QStringList lines{assessment.verdict.line()};
    for (const SummaryRow& row : summaryRows(assessment))
        lines << row.label + QStringLiteral(": ") + row.value;
    for (const RunRule& rule : assessment.verdict.rules)
        lines << ruleMark(rule.outcome) + QLatin1Char(' ') + rule.text();
    return lines.join(QLatin1Char('\n'));
}

QByteArray closingLines(const RunAssessment& assessment) {
    const RunSummary& s = assessment.summary;
    const RunLimits& limits = assessment.limits;
    QByteArray text;
    appendLine(text, "length", number(s.length));
    appendLine(text, "measured", number(s.measured));
    appendLine(text, "peak_top", machinePeak(s.peakTop));
    appendLine(text, "peak_bottom", machinePeak(s.peakBottom));
    appendLine(text, "hold_T1", machineStretch(s.holdT1));
    appendLine(text, "hold_T3", machineStretch(s.holdT3));
    appendLine(text, "hold_TB", machineStretch(s.holdTB));
    appendLine(text, "overshoot", s.overshoot ? number(*s.overshoot) : QStringLiteral("none"));
    appendLine(text, "rise_top", machineNumber(s.riseTop));
    appendLine(text, "rise_bottom", machineNumber(s.riseBottom));
    appendLine(
        text, "liquidus_seconds",
        QStringLiteral("%1 liquidus=%2").arg(number(s.liquidusSeconds), number(limits.liquidus)));
    appendLine(text, "gaps",
               QStringLiteral("%1 seconds=%2 longest=%3")
                   .arg(number(s.gapCount), number(s.gapSeconds), number(s.longestGap)));
    if (const std::optional<ReferenceComparison>& reference = s.reference) {
        appendLine(text, "reference_top", machineLargest(reference->top));
        appendLine(text, "reference_bottom", machineLargest(reference->bottom));
        appendLine(text, "reference_outside",
                   QStringLiteral("%1 compared=%2")
                       .arg(number(reference->outside), number(reference->compared)));
    }
    appendLine(text, "tolerance", number(limits.tolerance));
    if (limits.maxRise)
        appendLine(text, "max_rise", machineNumber(limits.maxRise));
    if (limits.minLiquidusSeconds)
        appendLine(text, "min_liquidus_seconds", number(*limits.minLiquidusSeconds));
    for (const RunRule& rule : assessment.verdict.rules)
        appendLine(text, "rule",
                   QLatin1String(outcomeKey(rule.outcome)) + QLatin1Char(' ') + rule.text());
    appendLine(text, "verdict", assessment.verdict.line());
    return text;
}

} // namespace record
