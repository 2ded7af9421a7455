// SPDX-License-Identifier: GPL-3.0-or-later
// The profile's targets as dashed lines across the chart's plot.
#include "console/ProfileTargets.h"

#include "console/RunChart.h"

#include <QPainter>
#include <QPen>

namespace console {

namespace {

constexpr qreal kTargetLineWidth = 2;

} // namespace

double targetLineY(const QRectF& plotArea, double degreesShown, std::int32_t degrees) {
    if (degrees < 0 || degrees > degreesShown || degreesShown <= 0)
        return -1;
    return plotArea.bottom() - double(degrees) / degreesShown * plotArea.height();
}

void drawTargets(QPainter& painter, const QRectF& plotArea, const ProfileTargets& targets) {
    struct Line {
        std::int32_t degrees;
        const QColor& colour;
    };
    const Line lines[] = {{targets.t1, RunChart::kTopColour},
                          {targets.t3, RunChart::kTopColour},
                          {targets.tb, RunChart::kBottomColour}};
    painter.save();
    painter.setClipRect(plotArea);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Line& line : lines) {
        const double y = targetLineY(plotArea, RunChart::kDegreesShown, line.degrees);
        if (y < 0)
            continue;
        QPen pen(line.colour, kTargetLineWidth, Qt::DashLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLine(QPointF(plotArea.left(), y), QPointF(plotArea.right(), y));
    }
    painter.restore();
}

} // namespace console
