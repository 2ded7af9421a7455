// SPDX-License-Identifier: GPL-3.0-or-later
// The run record: every second of the run since the last reset, measured or a gap.
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

namespace record {

// One run-clock tick's sample: the two readouts as displayed (corrections added).
struct RunSample {
    std::int32_t top = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const RunSample&, const RunSample&) = default;
};

// One second of the record: the sample taken at that tick, or nothing when no
// reading from the station was current then (no link, no answer yet, a silent
// station). A gap is kept as a gap, never as a number nobody measured.
using RunSecond = std::optional<RunSample>;

// Every second since the last reset, none thinned or dropped. Entry i belongs to
// second i + 1 of run time, which is its x on the chart.
class RunRecord {
public:
    void append(std::int32_t top, std::int32_t bottom) {
        m_seconds.push_back(RunSample{top, bottom});
    }
    void appendGap() { m_seconds.push_back(std::nullopt); }
    void clear();

    qsizetype size() const { return qsizetype(m_seconds.size()); }
    bool isEmpty() const { return m_seconds.empty(); }
    RunSecond sample(qsizetype index) const { return m_seconds.at(std::size_t(index)); }
    const std::vector<RunSecond>& samples() const { return m_seconds; }

    // Seconds of run time at which sample `index` was taken.
    static qint64 secondOf(qsizetype index) { return qint64(index) + 1; }

private:
    std::vector<RunSecond> m_seconds;
};

} // namespace record
