// SPDX-License-Identifier: GPL-3.0-or-later
// The value axes of a run's chart, set up alike on the screen and in a saved picture.
#pragma once

#include <QString>
#include <Qt>

class QChart;
class QValueAxis;

namespace console {

// Adds to `chart`, on `side`, an axis from 0 to `maximum` with its title, grid
// lines and whole-number labels at every multiple of `gridStep` wherever the
// range is later moved, and no minor ticks.
QValueAxis* addRunAxis(QChart* chart, Qt::Alignment side, double maximum, double gridStep,
                       const QString& title);

// A grid step for about `lines` grid lines over `span`: 1, 2 or 5 times a power
// of ten, whole numbers at least.
double gridStep(double span, double lines);

} // namespace console
