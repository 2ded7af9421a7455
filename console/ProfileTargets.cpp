// SPDX-License-Identifier: GPL-3.0-or-later
// The profile's targets as thin dashed series under the chart's curves.
#include "console/ProfileTargets.h"

#include "console/RunChart.h"

#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

namespace console {

namespace {

constexpr qreal kTargetLineWidth = 1;

QLineSeries* addLine(QChart* chart, QValueAxis* time, QValueAxis* temperature,
                     const QColor& colour) {
    auto* series = new QLineSeries(chart);
    QPen pen(colour, kTargetLineWidth, Qt::DashLine);
    pen.setCosmetic(true);
    series->setPen(pen);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    chart->addSeries(series);
    series->attachAxis(time);
    series->attachAxis(temperature);
    series->hide();
    return series;
}

bool onThePlot(std::int32_t degrees) {
    return degrees >= 0 && degrees <= RunChart::kDegreesShown;
}

} // namespace

TargetLines::TargetLines(QChart* chart, QValueAxis* time, QValueAxis* temperature)
    : m_t1(addLine(chart, time, temperature, kTopTargetColour)),
      m_t3(addLine(chart, time, temperature, kTopTargetColour)),
      m_tb(addLine(chart, time, temperature, kBottomTargetColour)) {}

void TargetLines::show(const std::vector<TargetSpan>& spans) {
    struct Line {
        QLineSeries* series;
        std::int32_t ProfileTargets::*target;
    };
    for (const Line line : {Line{m_t1, &ProfileTargets::t1}, Line{m_t3, &ProfileTargets::t3},
                            Line{m_tb, &ProfileTargets::tb}}) {
        // A point without a value breaks the line between spans.
        QList<QPointF> points;
        for (const TargetSpan& span : spans) {
            const std::int32_t degrees = span.targets.*line.target;
            if (!onThePlot(degrees))
                continue;
            if (!points.isEmpty())
                points.append({span.from, qQNaN()});
            points.append({span.from, double(degrees)});
            points.append({span.to, double(degrees)});
        }
        line.series->replace(points);
        line.series->setVisible(!points.isEmpty());
    }
}

void TargetLines::hide() {
    for (QLineSeries* series : {m_t1, m_t3, m_tb})
        series->hide();
}

} // namespace console
