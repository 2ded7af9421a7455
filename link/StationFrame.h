// SPDX-License-Identifier: GPL-3.0-or-later
// The 50-byte frames exchanged with the station: the two the console sends and the one it reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace station {

inline constexpr std::size_t kFrameSize = 50;
using StationFrame = std::array<std::uint8_t, kFrameSize>;

// Remote commands the station puts at offset 2 of its telemetry frame.
inline constexpr std::uint8_t kCommandStart = 46;
inline constexpr std::uint8_t kCommandStop = 14;

// The six values of a profile, as stored (signed 32-bit); each travels as its low 8 bits.
struct ProfileValues {
    std::int32_t T0 = 0; // top heater switch-on temperature
    std::int32_t TB = 0; // bottom heater temperature
    std::int32_t T1 = 0; // flux activation temperature
    std::int32_t S1 = 0; // hold time at T1, seconds
    std::int32_t T3 = 0; // top heater temperature
    std::int32_t S3 = 0; // hold time at T3, seconds
};

// What the console takes from a telemetry frame.
struct Telemetry {
    std::uint8_t command = 0; // offset 2: 46 start, 14 stop, anything else nothing
    int top = 0;              // offset 10, raw top sensor, 0..255
    int bottom = 0;           // offset 26, raw bottom sensor, 0..255
};

// Status frame, sent on every poll tick.
StationFrame buildStatusFrame(std::uint8_t soldDesold, std::uint8_t profileNumber);

// Profile frame, sent once per transfer.
StationFrame buildProfileFrame(std::uint8_t profileNumber, const ProfileValues& values);

// Takes the command and the two raw temperatures; checks nothing else.
Telemetry decodeTelemetry(const StationFrame& frame);

// Recognise an outgoing frame by its constant bytes (used by the station simulator).
bool isStatusFrame(const StationFrame& frame);
bool isProfileFrame(const StationFrame& frame);

} // namespace station
