// SPDX-License-Identifier: GPL-3.0-or-later
// What a finished run did: its peaks, holds, rates and gaps, and whether it followed its profile.
#pragma once

#include "record/ReferenceRun.h"
#include "record/RunRecord.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace record {

// A heater's rate of rise is measured over this many seconds.
inline constexpr qint64 kRiseSpanSeconds = 10;

// What the verdict allows. Tolerance and Liquidus always hold a value; the two
// limits add a rule each only when set.
struct RunLimits {
    static constexpr std::int32_t kDefaultTolerance = 5;  // °C either side of a target
    static constexpr std::int32_t kDefaultLiquidus = 217; // °C, the usual lead-free alloy's

    std::int32_t tolerance = kDefaultTolerance;
    std::int32_t liquidus = kDefaultLiquidus;
    std::optional<double> maxRise;                  // °C/s, each heater over kRiseSpanSeconds
    std::optional<std::int32_t> minLiquidusSeconds; // the top at or above Liquidus

    friend bool operator==(const RunLimits&, const RunLimits&) = default;
};

// A run of consecutive seconds, by run time (the run's first second is 1).
struct Stretch {
    qint64 seconds = 0;
    qint64 first = 0; // 0 when there is none

    friend bool operator==(const Stretch&, const Stretch&) = default;
};

// A temperature and the second it was first reached.
struct Peak {
    std::int32_t value = 0;
    qint64 second = 0;

    friend bool operator==(const Peak&, const Peak&) = default;
};

// The figures of one run (start to stop), on the temperatures as shown (the
// corrections added, as the curves). Seconds count from 1 at the run's start.
// A figure that needs a measured second is absent when the run has none.
struct RunSummary {
    qint64 length = 0;   // seconds, gaps included
    qint64 measured = 0; // seconds with a reading
    std::optional<Peak> peakTop;
    std::optional<Peak> peakBottom;
    // The longest stretches of measured seconds within ±tolerance of a target.
    Stretch holdT1;                        // the top at T1
    Stretch holdT3;                        // the top at T3
    Stretch holdTB;                        // the bottom at TB
    std::optional<std::int32_t> overshoot; // the peak top above T3 (negative: below)
    std::optional<double> riseTop;         // °C/s, highest over kRiseSpanSeconds
    std::optional<double> riseBottom;
    qint64 liquidusSeconds = 0; // the top at or above Liquidus
    qint64 gapCount = 0;        // stretches of seconds without a reading
    qint64 gapSeconds = 0;
    qint64 longestGap = 0;
    // Against the reference run, when one was laid under the run.
    std::optional<ReferenceComparison> reference;

    friend bool operator==(const RunSummary&, const RunSummary&) = default;
};

// One rule of the verdict and how the run stands against it.
struct RunRule {
    enum class Outcome { Met, Failed, Unchecked };
    QString name; // "выдержка T3"
    Outcome outcome = Outcome::Met;
    QString figure; // "18 с из 30"

    // "выдержка T3: 18 с из 30"
    QString text() const;
    friend bool operator==(const RunRule&, const RunRule&) = default;
};

// The run against its profile: each rule in its order, and the answer they
// give. Met when every rule is met; Failed when any rule failed (the first
// failed one is the reason), however many others a gap left unchecked;
// Unchecked when no rule failed but a gap lies where a rule needed a reading.
struct RunVerdict {
    RunRule::Outcome outcome = RunRule::Outcome::Met;
    std::vector<RunRule> rules;

    // The rule that decides: the first failed one, else the first unchecked one.
    const RunRule* reason() const;
    // "Профиль выполнен", "Профиль не выполнен", "Не проверено".
    QString caption() const;
    // The caption and, unless met, the deciding rule: "Профиль не выполнен — выдержка T3: 18 с из
    // 30".
    QString line() const;
};

// What the chart, the journal and the report say about a finished run: computed
// once, handed to each.
struct RunAssessment {
    RunHeader header; // the run as it started: its profile is the one judged
    RunLimits limits;
    RunSummary summary;
    RunVerdict verdict;
};

// The run whose first second is `first` and which ends before `end`. With a
// reference, the run is also compared with it second by second (its second 1
// at `first`) and the verdict gains the rule "в допуске эталона".
RunAssessment assessRun(const RunRecord& record, qsizetype first, qsizetype end,
                        const RunHeader& header, const RunLimits& limits,
                        const ReferenceRun* reference = nullptr);
// The record's last run (the run going on, or the last one finished); none
// when the record holds no run with a second.
std::optional<RunAssessment> assessLastRun(const RunRecord& record, const RunLimits& limits,
                                           const ReferenceRun* reference = nullptr);

// The summary as label and value pairs, in Russian, for the chart's hover box
// and the report's table.
struct SummaryRow {
    QString label;
    QString value;
};
std::vector<SummaryRow> summaryRows(const RunAssessment& assessment);

// The whole summary as lines of text: the verdict, each figure, each rule
// with its mark ("✓" met, "✗" failed, "?" not checked).
QString summaryText(const RunAssessment& assessment);
// A rule's mark.
QString ruleMark(RunRule::Outcome outcome);

// The "#" lines that close a run's file: the summary and the verdict, one
// "# key: value" each, numbers with a decimal point.
QByteArray closingLines(const RunAssessment& assessment);

} // namespace record
