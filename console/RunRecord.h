// The run record: every (top, bottom) temperature sample of the run since the last reset.
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace console {

// One run-clock tick's sample: the two readouts as displayed (corrections added).
struct RunSample {
    std::int32_t top = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const RunSample&, const RunSample&) = default;
};

// Every sample since the last reset, none thinned or dropped. Sample i was taken at
// second i + 1 of run time, which is its x on the chart.
class RunRecord {
public:
    void append(std::int32_t top, std::int32_t bottom) { m_samples.push_back({top, bottom}); }
    void clear();

    qsizetype size() const { return qsizetype(m_samples.size()); }
    bool isEmpty() const { return m_samples.empty(); }
    RunSample sample(qsizetype index) const { return m_samples.at(std::size_t(index)); }
    const std::vector<RunSample>& samples() const { return m_samples; }

    // Seconds of run time at which sample `index` was taken.
    static qint64 secondOf(qsizetype index) { return qint64(index) + 1; }

private:
    std::vector<RunSample> m_samples;
};

} // namespace console
