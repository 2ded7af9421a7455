// SPDX-License-Identifier: GPL-3.0-or-later
// What the box beside the mouse pointer over the chart says: the second under it and its rates.
#pragma once

#include "record/ReferenceRun.h"
#include "record/RunRecord.h"
#include "record/RunSummary.h"

#include <QString>

#include <optional>

namespace console {

// The rate of rise is measured over this many seconds before the second shown.
inline constexpr qint64 kRateSpanSeconds = record::kRiseSpanSeconds;

struct CursorReading {
    qint64 second = 0;                       // run time under the pointer, whole seconds
    std::optional<record::RunSample> sample; // none: a gap, or a second the run has not reached
    std::optional<double> topRate;           // °C/s over the kRateSpanSeconds before `second`
    std::optional<double> bottomRate;
    // With a reference laid under the run: its reading at the same second and the
    // run's deviation from it.
    bool withReference = false;
    std::optional<record::RunSample> reference;
    record::Deviation deviation;

    friend bool operator==(const CursorReading&, const CursorReading&) = default;
};

// The reading at `seconds` of run time (the time axis' value under the pointer):
// the nearest whole second, its sample, and each heater's rise from the sample
// kRateSpanSeconds earlier. A rate needs both ends measured: none when either
// second is a gap or the earlier one lies before the run's first second. With a
// reference, its reading at that second as it lies under the record
// (record::referenceOrigin) and the deviation from it.
CursorReading readingAt(const record::RunRecord& record, double seconds,
                        const record::ReferenceRun* reference = nullptr);

// Three lines: the run time as hh:mm:ss (hours not wrapped at a day), then each
// heater's temperature and rate, "—" where there is none. With a reference, two
// more: "Эталон: верх 180 °C, низ 120 °C" and "Δ верх +3 °C  Δ низ −1 °C".
QString readoutText(const CursorReading& reading);

} // namespace console
