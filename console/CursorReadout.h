// SPDX-License-Identifier: GPL-3.0-or-later
// What the box beside the mouse pointer over the chart says: the second under it and its rates.
#pragma once

#include "record/RunRecord.h"

#include <QString>

#include <optional>

namespace console {

// The rate of rise is measured over this many seconds before the second shown.
inline constexpr qint64 kRateSpanSeconds = 10;

struct CursorReading {
    qint64 second = 0;                       // run time under the pointer, whole seconds
    std::optional<record::RunSample> sample; // none: a gap, or a second the run has not reached
    std::optional<double> topRate;           // °C/s over the kRateSpanSeconds before `second`
    std::optional<double> bottomRate;

    friend bool operator==(const CursorReading&, const CursorReading&) = default;
};

// The reading at `seconds` of run time (the time axis' value under the pointer):
// the nearest whole second, its sample, and each heater's rise from the sample
// kRateSpanSeconds earlier. A rate needs both ends measured: none when either
// second is a gap or the earlier one lies before the run's first second.
CursorReading readingAt(const record::RunRecord& record, double seconds);

// Three lines: the run time as hh:mm:ss (hours not wrapped at a day), then each
// heater's temperature and rate, "—" where there is none.
QString readoutText(const CursorReading& reading);

} // namespace console
