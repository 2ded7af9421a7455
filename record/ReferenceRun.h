// SPDX-License-Identifier: GPL-3.0-or-later
// A saved run to follow: read back from its CSV file, laid under the run going on, and the
// deviation of the run from it at every second.
#pragma once

#include "record/RunRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QObject;

namespace record {

// A day's run is about 1.3 MB of rows; anything past this is no run of ours and
// is refused before a byte of it is read.
inline constexpr qint64 kLargestReferenceBytes = 16 * 1024 * 1024;
// A week of seconds: a longer table is refused at the row that passes it.
inline constexpr qint64 kLongestReferenceSeconds = 7 * 86400;

// A run read back from a file the journal or the export wrote: what its "#"
// lines say about it and its first run's seconds, gaps kept as gaps. Entry i is
// the run's second i + 1.
struct ReferenceRun {
    QString path;     // as it was loaded
    QString fileName; // without its folder
    std::optional<RunProfile> profile;
    QDateTime start; // invalid when the file does not say
    std::vector<RunSecond> seconds;

    // "Эталон: профиль 2 «BGA», 10.12.2026 14:03" (what the file says of itself),
    // or the file's name when it says nothing.
    QString caption() const;
    // The reading at the run's second `second` (from 1); none past either end or in a gap.
    RunSecond at(qint64 second) const;
};

// A file read back, or why it could not be: "строка 12: температура верха «1x2» — не целое число".
struct ReferenceLoad {
    std::shared_ptr<const ReferenceRun> run;
    QString error;
};

// The table of a run file: "#" lines before the header row say what the run was
// ("# start:", "# profile:", "# Name:" and the six values); the rows after it are
// its seconds from 1 on, each the next second, both temperatures whole degrees
// or both empty (a gap). A "# run_start" line (an export of several runs) ends
// the first run, which is the one read. Other "#" lines, blank lines and a
// carriage return before a line end are passed over.
ReferenceLoad parseReferenceRun(const QByteArray& text);
// The file at `path`, refused without reading when it is not a plain file or is
// larger than kLargestReferenceBytes.
ReferenceLoad loadReferenceRun(const QString& path);

// How a load is done: loadReferenceRun, or a stand-in in a test.
using ReferenceLoader = std::function<ReferenceLoad(const QString& path)>;
// Loads `path` on a thread of its own and hands the result to `done` on
// `context`'s thread. A load that never ends (a network folder gone) holds only
// its own thread; once `context` is gone, `done` is never called.
void loadReferenceInBackground(QObject* context, const QString& path,
                               std::function<void(const ReferenceLoad&)> done,
                               ReferenceLoader load = loadReferenceRun);

// The record's index at which the reference's second 1 lies: the first second
// of the record's last run (going on, or finished until the next begins), or
// where a run would begin when the record holds none.
qsizetype referenceOrigin(const RunRecord& record);

// The run against the reference at one second: the run's reading minus the
// reference's, per heater; none where either side has no value.
struct Deviation {
    std::optional<qint64> top;
    std::optional<qint64> bottom;

    bool outside(qint64 tolerance) const;
    friend bool operator==(const Deviation&, const Deviation&) = default;
};
Deviation deviationOf(const RunSecond& run, const RunSecond& reference);
// At the record's index `index`, the reference laid from `origin`.
Deviation deviationAt(const RunRecord& record, const ReferenceRun& reference, qsizetype origin,
                      qsizetype index);
// "Δ верх +3 °C  Δ низ −1 °C", "—" for a heater without a value.
QString deviationText(const Deviation& deviation);
// "+3", "0", "−1" (a true minus sign).
QString signedDegrees(qint64 degrees);

// A run against the reference over the run's seconds: the largest deviation of
// each heater (by size, first reached) and the seconds either heater was outside
// the tolerance. Only seconds both sides have a value for are compared.
struct LargestDeviation {
    qint64 degrees = 0; // signed: the run hotter (+) or colder (−)
    qint64 second = 0;  // run second, from 1

    friend bool operator==(const LargestDeviation&, const LargestDeviation&) = default;
};
struct ReferenceComparison {
    qint64 compared = 0; // seconds with both heaters on both sides
    qint64 outside = 0;  // compared seconds with either heater outside the tolerance
    std::optional<LargestDeviation> top;
    std::optional<LargestDeviation> bottom;

    friend bool operator==(const ReferenceComparison&, const ReferenceComparison&) = default;
};
// The run's seconds [first, end) of the record against the reference laid from `first`.
ReferenceComparison compareWithReference(const RunRecord& record, qsizetype first, qsizetype end,
                                         const ReferenceRun& reference, qint64 tolerance);

} // namespace record
