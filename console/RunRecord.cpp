// The run record: the samples of one run, kept whole until the next reset.
#include "console/RunRecord.h"

namespace console {

void RunRecord::clear() {
    // A reset run gives its memory back: a 24-hour run holds 86,400 samples.
    std::vector<RunSample>().swap(m_samples);
}

} // namespace console
