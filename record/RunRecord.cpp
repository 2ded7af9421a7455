// SPDX-License-Identifier: GPL-3.0-or-later
// The run record: the seconds of one run, kept whole until the next reset.
#include "record/RunRecord.h"

namespace record {

void RunRecord::clear() {
    // A reset run gives its memory back: a 24-hour run holds 86,400 seconds.
    std::vector<RunSecond>().swap(m_seconds);
}

} // namespace record
