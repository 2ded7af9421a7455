// SPDX-License-Identifier: GPL-3.0-or-later
// The 50-byte station frames: building the two outgoing kinds and reading telemetry.
#include "link/StationFrame.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace station {

namespace {

// Offsets of the status frame's variable bytes.
constexpr std::size_t kStatusSoldDesold = 1;
constexpr std::size_t kStatusProfile = 9;

// Offsets of the profile frame's variable bytes. The station expects the values in
// the order T1, T3, S1, T0, TB, S3, each followed by at least one zero.
constexpr std::size_t kProfileNumber = 9;
constexpr std::size_t kProfileT1 = 12;
constexpr std::size_t kProfileT3 = 18;
constexpr std::size_t kProfileS1 = 20;
constexpr std::size_t kProfileT0 = 22;
constexpr std::size_t kProfileTB = 24;
constexpr std::size_t kProfileS3 = 30;

// Offsets the console reads from a telemetry frame.
constexpr std::size_t kTelemetryCommand = 2;
constexpr std::size_t kTelemetryTop = 10;
constexpr std::size_t kTelemetryBottom = 26;

using ConstantBytes = std::initializer_list<std::pair<std::size_t, std::uint8_t>>;

constexpr StationFrame frameWith(ConstantBytes bytes) {
    StationFrame frame{};
    for (const auto& [offset, value] : bytes)
        frame[offset] = value;
    return frame;
}

// Every byte not listed is zero; the variable bytes are zero in the template too.
constexpr StationFrame kStatusTemplate = frameWith({
    {0, 0xFF},
    {8, 0x4B},
    {34, 0xFF},
    {35, 0x04},
    {42, 0x4B},
    {48, 0xE1},
    {49, 0x29},
});

constexpr StationFrame kProfileTemplate = frameWith({
    {0, 0xFF},
    {1, 0x04},
    {2, 0xE0},
    {3, 0xFF},
    {34, 0xFF},
    {35, 0x04},
    {37, 0xFF},
    {38, 0x04},
    {45, 0x4B},
    {48, 0xD0},
    {49, 0xAF},
});

constexpr std::size_t kStatusVariable[] = {kStatusSoldDesold, kStatusProfile};
constexpr std::size_t kProfileVariable[] = {kProfileNumber, kProfileT1, kProfileT3, kProfileS1,
                                            kProfileT0,     kProfileTB, kProfileS3};

// A value wider than a byte travels as its low 8 bits, two's complement for negatives.
constexpr std::uint8_t lowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

template <std::size_t N>
bool matchesConstantBytes(const StationFrame& frame, const StationFrame& pattern,
                          const std::size_t (&variable)[N]) {
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        const bool isVariable =
            std::find(std::begin(variable), std::end(variable), i) != std::end(variable);
        if (!isVariable && frame[i] != pattern[i])
            return false;
    }
    return true;
}

} // namespace

StationFrame buildStatusFrame(std::uint8_t soldDesold, std::uint8_t profileNumber) {
    StationFrame frame = kStatusTemplate;
    frame[kStatusSoldDesold] = soldDesold;
    frame[kStatusProfile] = profileNumber;
    return frame;
}

StationFrame buildProfileFrame(std::uint8_t profileNumber, const ProfileValues& values) {
    StationFrame frame = kProfileTemplate;
    frame[kProfileNumber] = profileNumber;
    frame[kProfileT1] = lowByte(values.T1);
    frame[kProfileT3] = lowByte(values.T3);
    frame[kProfileS1] = lowByte(values.S1);
    frame[kProfileT0] = lowByte(values.T0);
    frame[kProfileTB] = lowByte(values.TB);
    frame[kProfileS3] = lowByte(values.S3);
    return frame;
}

Telemetry decodeTelemetry(const StationFrame& frame) {
    Telemetry telemetry;
    telemetry.command = frame[kTelemetryCommand];
    telemetry.top = frame[kTelemetryTop];
    telemetry.bottom = frame[kTelemetryBottom];
    return telemetry;
}

bool isStatusFrame(const StationFrame& frame) {
    return matchesConstantBytes(frame, kStatusTemplate, kStatusVariable);
}

bool isProfileFrame(const StationFrame& frame) {
    return matchesConstantBytes(frame, kProfileTemplate, kProfileVariable);
}

} // namespace station
