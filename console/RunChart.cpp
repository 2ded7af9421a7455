// The temperature chart: its fixed configuration, horizontal panning, and the samples it shows.
#include "console/RunChart.h"

#include "console/ChartAxis.h"

#include <QChart>
#include <QKeyEvent>
#include <QLineSeries>
#include <QList>
#include <QMouseEvent>
#include <QPointF>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace console {

namespace {

// Grid lines and labels at whole multiples of these, wherever the window is panned.
constexpr double kSecondsPerGridLine = 100;

// An arrow key moves the window by this share of its width.
constexpr qreal kKeyPanShare = 0.1;

QLineSeries* makeSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries(chart);
    series->setColor(colour);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    return series;
}

} // namespace

// The view owns the chart it is built with; setChart() would hand the view's own
// first chart back to the caller instead of deleting it.
RunChart::RunChart(QWidget* parent) : QChartView(new QChart, parent) {
    QChart* chart = this->chart();
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setAnimationOptions(QChart::NoAnimation);
    QMargins margins = chart->margins();
    margins.setRight(kRightMargin);
    chart->setMargins(margins);

    m_top = makeSeries(chart, kTopColour);
    m_bottom = makeSeries(chart, kBottomColour);
    chart->addSeries(m_top);
    chart->addSeries(m_bottom);

    // Only a bottom and a left axis: no line is drawn along the top or the right.
    m_time = addRunAxis(chart, Qt::AlignBottom, kSecondsShown, kSecondsPerGridLine, kTimeTitle);
    m_temperature =
        addRunAxis(chart, Qt::AlignLeft, kDegreesShown, kDegreesPerGridLine, kTemperatureTitle);
    for (QLineSeries* series : {m_top, m_bottom}) {
        series->attachAxis(m_time);
        series->attachAxis(m_temperature);
    }

    // The chart keeps the series, but they belong among the window's controls,
    // where they are looked up by name.
    m_top->setParent(this);
    m_bottom->setParent(this);
    setRubberBand(QChartView::NoRubberBand);
    setFocusPolicy(Qt::StrongFocus);

    // Whatever moves the window (drag, keys, a reset) brings the series along.
    connect(m_time, &QValueAxis::rangeChanged, this, &RunChart::showNeededSamples);
}

void RunChart::appendSample(std::int32_t top, std::int32_t bottom) {
    m_record.append(top, bottom);
    showNeededSamples();
}

void RunChart::appendGap() {
    m_record.appendGap();
    showNeededSamples();
}

void RunChart::clearSamples() {
    m_record.clear();
    m_top->clear();
    m_bottom->clear();
    m_shown = {};
    m_time->setRange(0, kSecondsShown);
}

void RunChart::panBy(qreal pixels) {
    chart()->scroll(pixels, 0);
}

// The samples whose lines cross the window: those inside it and one on each side.
RunChart::Span RunChart::neededSpan() const {
    const qsizetype size = m_record.size();
    // Sample i lies at second i + 1.
    const auto first = qsizetype(std::ceil(m_time->min())) - 2;
    const auto end = qsizetype(std::floor(m_time->max())) + 1;
    Span span;
    span.first = std::clamp<qsizetype>(first, 0, size);
    span.end = std::clamp<qsizetype>(end, span.first, size);
    return span;
}

void RunChart::showNeededSamples() {
    const Span needed = neededSpan();
    if (needed == m_shown)
        return;
    // The usual tick while the newest second is in view: one more point each.
    // A line series refuses to append a NaN, so a gap comes in by replacing the
    // window's points, which costs what a pan step costs.
    if (needed.first == m_shown.first && needed.end == m_shown.end + 1 &&
        needed.end == m_record.size()) {
        const qsizetype index = needed.end - 1;
        if (const RunSecond second = m_record.sample(index)) {
            const auto x = qreal(RunRecord::secondOf(index));
            m_top->append(x, second->top);
            m_bottom->append(x, second->bottom);
            m_shown = needed;
            return;
        }
    }
    replaceSeries(needed);
}

void RunChart::replaceSeries(Span span) {
    m_top->replace(curvePoints(m_record, span.first, span.end, &RunSample::top));
    m_bottom->replace(curvePoints(m_record, span.first, span.end, &RunSample::bottom));
    m_shown = span;
}

QList<QPointF> RunChart::curvePoints(const RunRecord& record, qsizetype first, qsizetype end,
                                     std::int32_t RunSample::*value) {
    QList<QPointF> points;
    points.reserve(end - first);
    const std::vector<RunSecond>& seconds = record.samples();
    for (qsizetype index = first; index < end; ++index) {
        const RunSecond& second = seconds[std::size_t(index)];
        points.append(
            {qreal(RunRecord::secondOf(index)), second ? qreal((*second).*value) : qQNaN()});
    }
    return points;
}

void RunChart::keyPressEvent(QKeyEvent* event) {
    const qreal step = chart()->plotArea().width() * kKeyPanShare;
    switch (event->key()) {
    case Qt::Key_Left:
        panBy(-step);
        break;
    case Qt::Key_Right:
        panBy(step);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        break; // the temperature axis stays where it is
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RunChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QChartView::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_lastDragX = event->position().x();
    event->accept();
}

// The curves follow the pointer: dragging to the right shows earlier seconds.
void RunChart::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QChartView::mouseMoveEvent(event);
        return;
    }
    const qreal x = event->position().x();
    panBy(m_lastDragX - x);
    m_lastDragX = x;
    event->accept();
}

void RunChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    event->accept();
}

// No zoom, and the wheel does not move the window either.
void RunChart::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

} // namespace console
