// SPDX-License-Identifier: GPL-3.0-or-later
// The station's side of the frames: what it reads from a status or profile frame and the telemetry
// it sends.
#pragma once

#include "link/StationFrame.h"

#include <QByteArray>

#include <cstdint>

namespace sim {

inline constexpr int kProfileCount = 10;

// Offsets of the station's telemetry frame. The console reads 2, 10 and 26; the
// rest is the station's own report, for people and tests reading the log.
namespace telemetry {
inline constexpr std::size_t kMarker = 0;       // 0xFF, like the console's frames
inline constexpr std::size_t kPhase = 1;        // run phase, 0 idle .. 5 hold at T3
inline constexpr std::size_t kCommand = 2;      // 46 start, 14 stop, 0 nothing
inline constexpr std::size_t kProfile = 9;      // profile the station runs or would run
inline constexpr std::size_t kTop = 10;         // top sensor, whole degrees 0..255
inline constexpr std::size_t kTopPower = 12;    // top heater power, percent
inline constexpr std::size_t kBottomPower = 14; // bottom heater power, percent
inline constexpr std::size_t kHoldLeft = 18;    // seconds left of the hold going on, 0..255
inline constexpr std::size_t kBottom = 26;      // bottom sensor, whole degrees 0..255
inline constexpr std::size_t kTrailer0 = 48;    // constant 0x5A
inline constexpr std::size_t kTrailer1 = 49;    // constant 0xA5
inline constexpr std::uint8_t kMarkerValue = 0xFF;
inline constexpr std::uint8_t kTrailer0Value = 0x5A;
inline constexpr std::uint8_t kTrailer1Value = 0xA5;
} // namespace telemetry

// Everything a telemetry frame reports.
struct TelemetryReport {
    std::uint8_t phase = 0;
    std::uint8_t command = 0;
    std::uint8_t profile = 0;
    std::uint8_t top = 0;
    std::uint8_t topPower = 0;
    std::uint8_t bottomPower = 0;
    std::uint8_t holdLeft = 0;
    std::uint8_t bottom = 0;
};

station::StationFrame buildTelemetryFrame(const TelemetryReport& report);

// Offset 9 of both outgoing kinds: the selected profile, or the slot a profile
// frame is meant for.
std::uint8_t profileNumberOf(const station::StationFrame& frame);

// The six values of a profile frame, each the unsigned byte that travelled.
station::ProfileValues profileValuesOf(const station::StationFrame& frame);

station::StationFrame toFrame(const QByteArray& bytes); // the first 50 bytes
QByteArray toBytes(const station::StationFrame& frame);

} // namespace sim
