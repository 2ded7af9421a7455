// SPDX-License-Identifier: GPL-3.0-or-later
// The profile's targets drawn over the run: thin pale dashed lines at T1, T3 (top) and TB
// (bottom), under the curves.
#pragma once

#include <QColor>

#include <cstdint>
#include <vector>

class QChart;
class QLineSeries;
class QValueAxis;

namespace console {

// The temperatures a profile aims at, in whole degrees as the settings file holds them.
struct ProfileTargets {
    std::int32_t t1 = 0; // flux activation, top heater
    std::int32_t t3 = 0; // top heater
    std::int32_t tb = 0; // bottom heater

    friend bool operator==(const ProfileTargets&, const ProfileTargets&) = default;
};

// The targets' tones: paler and thinner than the curves, so that a curve lying on
// its target (a hold), and a gap in it, stay in sight.
inline const QColor kTopTargetColour{255, 150, 150};
inline const QColor kBottomTargetColour{150, 150, 255};

// Targets that held over a stretch of run time, in seconds.
struct TargetSpan {
    double from = 0;
    double to = 0;
    ProfileTargets targets;
};

// The three lines as series of a chart, added before the curves so the curves
// are drawn over them (and the grid under them). A target outside 0..300 °C is
// not drawn; nothing of them is a sample.
class TargetLines {
public:
    TargetLines(QChart* chart, QValueAxis* time, QValueAxis* temperature);

    // Each span's lines over its own stretch; nothing between spans.
    void show(const std::vector<TargetSpan>& spans);
    void hide();

private:
    QLineSeries* m_t1 = nullptr;
    QLineSeries* m_t3 = nullptr;
    QLineSeries* m_tb = nullptr;
};

} // namespace console
