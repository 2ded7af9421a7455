// SPDX-License-Identifier: GPL-3.0-or-later
// The station's side of the frames.
#include "sim/StationFrames.h"

#include <algorithm>

namespace sim {

namespace {

// Where the profile frame carries each value.
constexpr std::size_t kOffsetT1 = 12;
constexpr std::size_t kOffsetT3 = 18;
constexpr std::size_t kOffsetS1 = 20;
constexpr std::size_t kOffsetT0 = 22;
constexpr std::size_t kOffsetTB = 24;
constexpr std::size_t kOffsetS3 = 30;
constexpr std::size_t kOffsetProfileNumber = 9;

} // namespace

station::StationFrame buildTelemetryFrame(const TelemetryReport& report) {
    station::StationFrame frame{};
    frame[telemetry::kMarker] = telemetry::kMarkerValue;
    frame[telemetry::kPhase] = report.phase;
    frame[telemetry::kCommand] = report.command;
    frame[telemetry::kProfile] = report.profile;
    frame[telemetry::kTop] = report.top;
    frame[telemetry::kTopPower] = report.topPower;
    frame[telemetry::kBottomPower] = report.bottomPower;
    frame[telemetry::kHoldLeft] = report.holdLeft;
    frame[telemetry::kBottom] = report.bottom;
    frame[telemetry::kTrailer0] = telemetry::kTrailer0Value;
    frame[telemetry::kTrailer1] = telemetry::kTrailer1Value;
    return frame;
}

std::uint8_t profileNumberOf(const station::StationFrame& frame) {
    return frame[kOffsetProfileNumber];
}

station::ProfileValues profileValuesOf(const station::StationFrame& frame) {
    station::ProfileValues values;
    values.T0 = frame[kOffsetT0];
    values.TB = frame[kOffsetTB];
    values.T1 = frame[kOffsetT1];
    values.S1 = frame[kOffsetS1];
    values.T3 = frame[kOffsetT3];
    values.S3 = frame[kOffsetS3];
    return values;
}

station::StationFrame toFrame(const QByteArray& bytes) {
    station::StationFrame frame{};
    const auto count = std::min<qsizetype>(bytes.size(), station::kFrameSize);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.constData()), count, frame.begin());
    return frame;
}

QByteArray toBytes(const station::StationFrame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), station::kFrameSize);
}

} // namespace sim
