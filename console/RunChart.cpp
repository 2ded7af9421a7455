// SPDX-License-Identifier: GPL-3.0-or-later
// The temperature chart: its fixed configuration, horizontal panning, and the samples it shows.
#include "console/RunChart.h"

#include "console/ChartAxis.h"
#include "console/CursorReadout.h"
#include "console/Fonts.h"
#include "console/RunVerdictLine.h"

#include <QChart>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QList>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <memory>

namespace console {

namespace {

// Grid lines and labels at whole multiples of these, wherever the window is panned.
constexpr double kSecondsPerGridLine = 100;

// An arrow key moves the window by this share of its width.
constexpr qreal kKeyPanShare = 0.1;

// The cursor readout: its distance from the pointer and its text size.
constexpr int kReadoutOffset = 14;
constexpr int kReadoutFontPx = 11;

// The corner notes: the reference's name and the deviation.
constexpr int kNoteFontPx = 12;
constexpr int kNoteInset = 4;
const QColor kWithinColour{60, 60, 60};
const QColor kOutsideColour{200, 0, 0};

QLineSeries* makeSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries(chart);
    series->setColor(colour);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    return series;
}

QLabel* makeNote(QWidget* parent, const QString& name) {
    auto* note = new QLabel(parent);
    note->setObjectName(name);
    note->setFont(tahoma(kNoteFontPx));
    note->setAttribute(Qt::WA_TransparentForMouseEvents);
    note->hide();
    return note;
}

void colourNote(QLabel* note, const QColor& colour) {
    note->setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 255, 255, 220); color: %1; "
                                       "padding: 1px 4px; }")
                            .arg(colour.name()));
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

    // Only a bottom and a left axis: no line is drawn along the top or the right.
    m_time = addRunAxis(chart, Qt::AlignBottom, kSecondsShown, kSecondsPerGridLine, kTimeTitle);
    m_temperature =
        addRunAxis(chart, Qt::AlignLeft, kDegreesShown, kDegreesPerGridLine, kTemperatureTitle);
    // The targets' lines first: the curves are drawn over them.
    m_targetLines = std::make_unique<TargetLines>(chart, m_time, m_temperature);

    // Then the reference's, under the curves too.
    m_referenceTop = makeSeries(chart, kReferenceTopColour);
    m_referenceBottom = makeSeries(chart, kReferenceBottomColour);
    m_referenceTop->setObjectName(QStringLiteral("ReferenceTop"));
    m_referenceBottom->setObjectName(QStringLiteral("ReferenceBottom"));
    for (QLineSeries* series : {m_referenceTop, m_referenceBottom}) {
        QPen pen = series->pen();
        pen.setStyle(kReferenceStyle);
        // A cosmetic pen: dashes along a long polyline stroke fast only that way.
        pen.setCosmetic(true);
        pen.setWidthF(1);
        series->setPen(pen);
        chart->addSeries(series);
        series->hide();
    }

    m_top = makeSeries(chart, kTopColour);
    m_bottom = makeSeries(chart, kBottomColour);
    chart->addSeries(m_top);
    chart->addSeries(m_bottom);
    for (QLineSeries* series : {m_referenceTop, m_referenceBottom, m_top, m_bottom}) {
        series->attachAxis(m_time);
        series->attachAxis(m_temperature);
    }

    // The chart keeps the series, but they belong among the window's controls,
    // where they are looked up by name.
    for (QLineSeries* series : {m_referenceTop, m_referenceBottom, m_top, m_bottom})
        series->setParent(this);
    setRubberBand(QChartView::NoRubberBand);
    setFocusPolicy(Qt::StrongFocus);

    // Whatever moves the window (drag, keys, a reset) brings the series along.
    connect(m_time, &QValueAxis::rangeChanged, this, &RunChart::showNeededSamples);
    connect(m_time, &QValueAxis::rangeChanged, this, &RunChart::showTargetLines);
    connect(m_time, &QValueAxis::rangeChanged, this, &RunChart::showReferenceSamples);
    // A resting pointer has another second under it once the window has moved.
    connect(m_time, &QValueAxis::rangeChanged, this, [this] {
        if (m_readout->isVisible())
            showReadoutAt(m_readoutAt);
    });

    // Pointer moves without a button come only while the pointer is over the
    // chart; elsewhere the readout costs nothing.
    viewport()->setMouseTracking(true);
    m_readout = new QLabel(viewport());
    m_readout->setObjectName(QStringLiteral("CursorReadout"));
    m_readout->setFont(tahoma(kReadoutFontPx));
    m_readout->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(255, 255, 255, 230); color: black; border: 1px solid gray; "
        "padding: 2px 4px; }"));
    m_readout->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_readout->hide();

    m_verdict = new RunVerdictLine(viewport());
    m_referenceNote = makeNote(viewport(), QStringLiteral("ReferenceNote"));
    colourNote(m_referenceNote, kWithinColour);
    m_deviation = makeNote(viewport(), QStringLiteral("ReferenceDeviation"));
    QFont bold = m_deviation->font();
    bold.setBold(true);
    m_deviation->setFont(bold);
    connect(chart, &QChart::plotAreaChanged, this, &RunChart::placeVerdict);
}

void RunChart::beginRun(const record::RunHeader& header) {
    m_record.beginRun(header);
    m_verdict->hide();
    // The reference now lies from this run's first second.
    showReferenceSamples();
    showDeviation();
    placeVerdict();
    if (m_reference && m_readout->isVisible())
        showReadoutAt(m_readoutAt);
}

void RunChart::showVerdict(const record::RunAssessment& assessment) {
    m_verdict->showAssessment(assessment);
    placeVerdict();
}

void RunChart::setReference(std::shared_ptr<const record::ReferenceRun> reference) {
    m_reference = std::move(reference);
    m_referenceShown = {};
    m_referenceTop->clear();
    m_referenceBottom->clear();
    m_referenceTop->setVisible(bool(m_reference));
    m_referenceBottom->setVisible(bool(m_reference));
    showReferenceSamples();
    showReferenceNote(m_reference ? m_reference->caption() : QString());
    showDeviation();
    // A resting pointer reads the reference now there (or no longer).
    if (m_readout->isVisible())
        showReadoutAt(m_readoutAt);
}

void RunChart::showReferenceNote(const QString& note) {
    m_referenceNote->setText(note);
    m_referenceNote->setToolTip(m_reference ? m_reference->path : QString());
    m_referenceNote->adjustSize();
    m_referenceNote->setVisible(!note.isEmpty());
    placeVerdict();
}

void RunChart::setTolerance(std::int32_t tolerance) {
    m_tolerance = tolerance;
    showDeviation();
}

// The newest second against the reference's same second: only while the newest
// second belongs to the run the reference lies under.
void RunChart::showDeviation() {
    if (!m_reference) {
        m_deviation->hide();
        return;
    }
    const qsizetype newest = m_record.size() - 1;
    const record::Deviation deviation =
        record::deviationAt(m_record, *m_reference, record::referenceOrigin(m_record), newest);
    // A style sheet costs a restyle: set only when the colour changes.
    const bool outside = deviation.outside(m_tolerance);
    if (outside != m_deviationOutside || m_deviation->styleSheet().isEmpty()) {
        colourNote(m_deviation, outside ? kOutsideColour : kWithinColour);
        m_deviationOutside = outside;
    }
    m_deviation->setText(record::deviationText(deviation));
    m_deviation->adjustSize();
    m_deviation->show();
    placeVerdict();
}

QLabel* RunChart::verdictLine() const {
    return m_verdict;
}

// Inside the plot's top corners, where the curves rarely go (near 300 °C): the
// verdict on the right with the deviation under it, the reference's name on the left.
void RunChart::placeVerdict() {
    const QRectF plot = chart()->plotArea();
    const QPoint right = mapFromScene(chart()->mapToScene(plot.topRight()));
    const QPoint left = mapFromScene(chart()->mapToScene(plot.topLeft()));
    m_verdict->placeAt(right.x() - kNoteInset, right.y() + kNoteInset);
    const int below = m_verdict->isVisible() ? m_verdict->geometry().bottom() + 1 + kNoteInset
                                             : right.y() + kNoteInset;
    m_deviation->move(std::max(0, right.x() - kNoteInset - m_deviation->width()), below);
    m_referenceNote->move(left.x() + kNoteInset, left.y() + kNoteInset);
    m_deviation->raise();
    m_referenceNote->raise();
}

void RunChart::appendSample(std::int32_t top, std::int32_t bottom) {
    m_record.append(top, bottom);
    secondAdded();
}

void RunChart::appendGap() {
    m_record.appendGap();
    secondAdded();
}

void RunChart::secondAdded() {
    showNeededSamples();
    showReferenceSamples();
    showDeviation();
    // The pointer may rest on the second just recorded.
    if (m_readout->isVisible())
        showReadoutAt(m_readoutAt);
    emit secondRecorded();
}

void RunChart::clearSamples() {
    m_record.clear();
    m_top->clear();
    m_bottom->clear();
    m_shown = {};
    m_time->setRange(0, kSecondsShown);
    m_verdict->hide();
    showReferenceSamples();
    showDeviation();
    if (m_readout->isVisible())
        showReadoutAt(m_readoutAt);
}

void RunChart::setTargets(const ProfileTargets& targets) {
    if (targets == m_targets)
        return;
    m_targets = targets;
    showTargetLines();
}

void RunChart::setTargetsShown(bool shown) {
    if (shown == m_targetsShown)
        return;
    m_targetsShown = shown;
    showTargetLines();
}

std::optional<ProfileTargets> RunChart::shownTargets() const {
    if (!m_targetsShown)
        return std::nullopt;
    return m_targets;
}

// Across the window, a little beyond each edge; they follow it when it pans.
void RunChart::showTargetLines() {
    if (m_targetsShown)
        m_targetLines->show({{m_time->min() - 1, m_time->max() + 1, m_targets}});
    else
        m_targetLines->hide();
}

void RunChart::showReadoutAt(QPointF position) {
    const QRectF plot = chart()->plotArea();
    if (!plot.contains(position) || plot.width() <= 0) {
        m_readout->hide();
        return;
    }
    m_readoutAt = position;
    const double seconds = m_time->min() + (position.x() - plot.left()) / plot.width() *
                                               (m_time->max() - m_time->min());
    m_readout->setText(readoutText(readingAt(m_record, seconds, m_reference.get())));
    m_readout->adjustSize();

    // Beside the pointer, on whichever side keeps the box inside the chart.
    const QSize size = m_readout->size();
    const QSize room = viewport()->size();
    int x = int(position.x()) + kReadoutOffset;
    int y = int(position.y()) + kReadoutOffset;
    if (x + size.width() > room.width())
        x = int(position.x()) - kReadoutOffset - size.width();
    if (y + size.height() > room.height())
        y = int(position.y()) - kReadoutOffset - size.height();
    m_readout->move(std::max(x, 0), std::max(y, 0));
    m_readout->show();
    m_readout->raise();
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
        if (const record::RunSecond second = m_record.sample(index)) {
            const auto x = qreal(record::RunRecord::secondOf(index));
            m_top->append(x, second->top);
            m_bottom->append(x, second->bottom);
            m_shown = needed;
            return;
        }
    }
    replaceSeries(needed);
}

// The reference's seconds whose lines cross the window, as for the curves; its
// entry j lies at the record's index origin + j.
RunChart::Span RunChart::neededReferenceSpan() const {
    if (!m_reference)
        return {};
    const auto size = qsizetype(m_reference->seconds.size());
    const qsizetype origin = record::referenceOrigin(m_record);
    const auto first = qsizetype(std::ceil(m_time->min())) - 2 - origin;
    const auto end = qsizetype(std::floor(m_time->max())) + 1 - origin;
    Span span;
    span.first = std::clamp<qsizetype>(first, 0, size);
    span.end = std::clamp<qsizetype>(end, span.first, size);
    return span;
}

// Called on every move of the window and every second; replaces the points only
// when the part shown or the place it lies from has changed.
void RunChart::showReferenceSamples() {
    if (!m_reference)
        return;
    const Span needed = neededReferenceSpan();
    const qsizetype origin = record::referenceOrigin(m_record);
    if (needed == m_referenceShown && origin == m_referenceOrigin)
        return;
    const std::vector<record::RunSecond>& seconds = m_reference->seconds;
    m_referenceTop->replace(
        referencePoints(seconds, origin, needed.first, needed.end, &record::RunSample::top));
    m_referenceBottom->replace(
        referencePoints(seconds, origin, needed.first, needed.end, &record::RunSample::bottom));
    m_referenceShown = needed;
    m_referenceOrigin = origin;
}

QList<QPointF> RunChart::referencePoints(const std::vector<record::RunSecond>& seconds,
                                         qsizetype origin, qsizetype first, qsizetype end,
                                         std::int32_t record::RunSample::*value) {
    QList<QPointF> points;
    points.reserve(end - first);
    for (qsizetype j = first; j < end; ++j) {
        const record::RunSecond& second = seconds[std::size_t(j)];
        points.append({qreal(record::RunRecord::secondOf(origin + j)),
                       second ? qreal((*second).*value) : qQNaN()});
    }
    return points;
}

void RunChart::replaceSeries(Span span) {
    m_top->replace(curvePoints(m_record, span.first, span.end, &record::RunSample::top));
    m_bottom->replace(curvePoints(m_record, span.first, span.end, &record::RunSample::bottom));
    m_shown = span;
}

QList<QPointF> RunChart::curvePoints(const record::RunRecord& record, qsizetype first,
                                     qsizetype end, std::int32_t record::RunSample::*value) {
    QList<QPointF> points;
    points.reserve(end - first);
    const std::vector<record::RunSecond>& seconds = record.samples();
    for (qsizetype index = first; index < end; ++index) {
        const record::RunSecond& second = seconds[std::size_t(index)];
        points.append({qreal(record::RunRecord::secondOf(index)),
                       second ? qreal((*second).*value) : qQNaN()});
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
        showReadoutAt(event->position());
        QChartView::mouseMoveEvent(event);
        return;
    }
    const qreal x = event->position().x();
    panBy(m_lastDragX - x);
    m_lastDragX = x;
    showReadoutAt(event->position());
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

// The pointer has left the chart: the readout goes with it.
bool RunChart::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave)
        m_readout->hide();
    return QChartView::viewportEvent(event);
}

// No zoom, and the wheel does not move the window either.
void RunChart::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

} // namespace console
