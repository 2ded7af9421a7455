// SPDX-License-Identifier: GPL-3.0-or-later
// The value axes of a run's chart.
#include "console/ChartAxis.h"

#include <QChart>
#include <QValueAxis>

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

} // namespace console
