// SPDX-License-Identifier: GPL-3.0-or-later
// The line speeds a station runs at: what the connection dialog offers and what a connect accepts.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace station {

// Slowest first, as the connection dialog lists them.
inline constexpr std::array<std::int32_t, 7> kLineSpeeds{9600,  14400, 19200, 28800,
                                                         38400, 57600, 115200};

// Any other speed is a typing error: the station would never answer at it.
constexpr bool isLineSpeed(std::int32_t speed) {
    return std::find(kLineSpeeds.begin(), kLineSpeeds.end(), speed) != kLineSpeeds.end();
}

} // namespace station
