// SPDX-License-Identifier: GPL-3.0-or-later
// The run record: the seconds of the runs since the last reset, kept whole until the next one.
#include "record/RunRecord.h"

namespace record {

void RunRecord::clear() {
    // A reset run gives its memory back: a 24-hour run holds 86,400 seconds.
    std::vector<RunSecond>().swap(m_seconds);
    m_runs.clear();
    m_profiles.clear();
}

void RunRecord::beginRun(const RunHeader& header) {
    if (!m_runs.empty() && m_runs.back().first == size())
        m_runs.back().header = header; // the run before it recorded nothing
    else
        m_runs.push_back({size(), header});
    showProfile(header.profile);
}

void RunRecord::showProfile(const RunProfile& profile) {
    if (!m_profiles.empty() && m_profiles.back().profile == profile)
        return;
    if (!m_profiles.empty() && m_profiles.back().first == size()) {
        m_profiles.back().profile = profile;
        // Changed back before a second was recorded: nothing changed.
        if (m_profiles.size() > 1 && m_profiles[m_profiles.size() - 2].profile == profile)
            m_profiles.pop_back();
        return;
    }
    m_profiles.push_back({size(), profile});
}

const RunRecord::RunMark* RunRecord::runAt(qsizetype index) const {
    const RunMark* found = nullptr;
    for (const RunMark& run : m_runs) {
        if (run.first > index)
            break;
        found = &run;
    }
    return found;
}

} // namespace record
