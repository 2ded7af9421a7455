// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the station answers: the count of quiet poll ticks.
#include "link/LinkHealth.h"

namespace station {

void LinkHealth::pollRead(bool gotFrame) {
    if (gotFrame)
        m_quietTicks = 0;
    else if (m_quietTicks < kQuietTicksToSilent)
        ++m_quietTicks; // saturates: a station silent for hours needs no bigger count
}

} // namespace station
