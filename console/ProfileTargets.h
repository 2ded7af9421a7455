// SPDX-License-Identifier: GPL-3.0-or-later
// The selected profile's targets drawn over the run: dashed lines at T1, T3 (top) and TB (bottom).
#pragma once

#include <QRectF>

#include <cstdint>

class QPainter;

namespace console {

// The temperatures a profile aims at, in whole degrees as the settings file holds them.
struct ProfileTargets {
    std::int32_t t1 = 0; // flux activation, top heater
    std::int32_t t3 = 0; // top heater
    std::int32_t tb = 0; // bottom heater

    friend bool operator==(const ProfileTargets&, const ProfileTargets&) = default;
};

// Where a target lies on a plot of 0..`degreesShown` °C: the y of its line, or a
// negative number when the target lies outside the plot and is not drawn.
double targetLineY(const QRectF& plotArea, double degreesShown, std::int32_t degrees);

// Dashed lines across the whole width of the plot: T1 and T3 in the top heater's
// colour, TB in the bottom heater's. They are marks, not samples.
void drawTargets(QPainter& painter, const QRectF& plotArea, const ProfileTargets& targets);

} // namespace console
