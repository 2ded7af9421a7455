// SPDX-License-Identifier: GPL-3.0-or-later
// The value axes of a run's chart.
#include "console/ChartAxis.h"

#include <QChart>
#include <QValueAxis>

#include <cmath>

namespace console {

QValueAxis* addRunAxis(QChart* chart, Qt::Alignment side, double maximum, double gridStep,
                       const QString& title) {
    auto* axis = new QValueAxis;
    axis->setRange(0, maximum);
    // Dynamic ticks anchored at 0 keep the grid on whole multiples while panning.
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(gridStep);
    axis->setMinorTickCount(0);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setTitleText(title);
    chart->addAxis(axis, side);
    return axis;
}

double gridStep(double span, double lines) {
    const double rough = span / lines;
    if (rough <= 1)
        return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= rough)
            return factor * magnitude;
    }
    return 10 * magnitude;
}

} // namespace console
