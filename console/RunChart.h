// SPDX-License-Identifier: GPL-3.0-or-later
// The temperature chart: both heaters against run time, fed from the run record.
#pragma once

#include "console/ProfileTargets.h"
#include "record/ReferenceRun.h"
#include "record/RunRecord.h"

#include <QChartView>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
namespace record {
struct RunAssessment;
}
class QLineSeries;
class QValueAxis;

namespace console {

class RunVerdictLine;

// A fixed 900-second window over the run, 0..300 °C high, that the operator pans
// along the time axis only (mouse drag, or the arrow keys while it has focus); no
// zoom. The record keeps every sample; the two series hold only the samples the
// window shows (plus one on each side, so the lines run to its edges), because a
// line series redraws everything it holds each time a point is added. A second
// without a reading is a point without a value (NaN): the line series breaks
// its line there, so no line is drawn across a gap.
//
// Over the plot, a small box beside the mouse pointer reads the run off the
// curves (CursorReadout); the profile's targets may be drawn across the plot.
class RunChart : public QChartView {
    Q_OBJECT
public:
    // The window as it is when nothing has been panned.
    static constexpr double kSecondsShown = 900;
    static constexpr double kDegreesShown = 300;
    // The look of the curves and axes, which a saved picture of the run shares.
    static inline const QColor kTopColour{255, 0, 0};
    static inline const QColor kBottomColour{0, 0, 255};
    // A reference run: the curves' hues, lighter, dash-dotted and a little wider
    // than the profile's thin dashed targets, so that neither is taken for the other.
    static inline const QColor kReferenceTopColour{255, 90, 90};
    static inline const QColor kReferenceBottomColour{90, 90, 255};
    static constexpr Qt::PenStyle kReferenceStyle = Qt::DashDotLine;
    static inline const QString kTimeTitle = QStringLiteral("Время пайки (сек.)");
    static inline const QString kTemperatureTitle = QStringLiteral("Температура (°C)");
    static constexpr double kDegreesPerGridLine = 50;
    // Space after the time axis' maximum, in pixels.
    static constexpr int kRightMargin = 24;

    explicit RunChart(QWidget* parent = nullptr);

    QLineSeries* topSeries() const { return m_top; }
    QLineSeries* bottomSeries() const { return m_bottom; }
    QValueAxis* timeAxis() const { return m_time; }
    QValueAxis* temperatureAxis() const { return m_temperature; }
    const record::RunRecord& record() const { return m_record; }

    // One tick's sample, taken at the next second of run time.
    void appendSample(std::int32_t top, std::int32_t bottom);
    // A tick at which no reading was current: the next second is a gap.
    void appendGap();
    // Forgets every sample and brings the window back to 0..900 s.
    void clearSamples();
    // What the record keeps beside the samples: where a run begins, and which
    // profile the window shows from the next second on.
    // A run that begins takes the last run's verdict away.
    void beginRun(const record::RunHeader& header);
    void showProfile(const record::RunProfile& profile) { m_record.showProfile(profile); }
    void closeRun(const QByteArray& closing) { m_record.closeRun(closing); }
    // Moves the window along the time axis by this many pixels of the plot area
    // (positive: later in the run).
    void panBy(qreal pixels);

    // One curve's points for the record's seconds [first, end), a gap as NaN.
    static QList<QPointF> curvePoints(const record::RunRecord& record, qsizetype first,
                                      qsizetype end, std::int32_t record::RunSample::*value);

    // A reference's points for its entries [first, end), laid with entry 0 at the
    // record's index `origin` (second origin + 1), a gap as NaN.
    static QList<QPointF> referencePoints(const std::vector<record::RunSecond>& seconds,
                                          qsizetype origin, qsizetype first, qsizetype end,
                                          std::int32_t record::RunSample::*value);

    // The selected profile's targets, drawn as thin pale dashed lines under the
    // curves while shown.
    void setTargets(const ProfileTargets& targets);
    void setTargetsShown(bool shown);
    const ProfileTargets& targets() const { return m_targets; }
    bool targetsShown() const { return m_targetsShown; }
    // The targets when they are shown, for a picture of the chart as it looks.
    std::optional<ProfileTargets> shownTargets() const;

    // The box beside the pointer while it rests over the plot.
    QLabel* cursorReadout() const { return m_readout; }

    // The finished run's verdict in the plot's corner, until a run begins or the
    // record is reset.
    void showVerdict(const record::RunAssessment& assessment);
    QLabel* verdictLine() const;

    // A saved run laid under the curves, its second 1 at the first second of the
    // record's last run (record::referenceOrigin); none takes it away. As with
    // the curves, the series hold only the part of it the window shows.
    void setReference(std::shared_ptr<const record::ReferenceRun> reference);
    const record::ReferenceRun* reference() const { return m_reference.get(); }
    // The line in the plot's top left corner: the reference's caption once one
    // is laid, or what the window says about it (loading, or why it did not load).
    void showReferenceNote(const QString& note);
    // What the deviation line calls too far from the reference (the verdict's tolerance).
    void setTolerance(std::int32_t tolerance);
    QLineSeries* referenceTopSeries() const { return m_referenceTop; }
    QLineSeries* referenceBottomSeries() const { return m_referenceBottom; }
    QLabel* referenceNote() const { return m_referenceNote; }
    QLabel* deviationLine() const { return m_deviation; }

signals:
    // The record has grown by one second (a reading or a gap).
    void secondRecorded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    struct Span {
        qsizetype first = 0; // index of the first sample the series hold
        qsizetype end = 0;   // one past the last
        friend bool operator==(const Span&, const Span&) = default;
    };

    Span neededSpan() const;
    void showNeededSamples();
    void replaceSeries(Span span);
    // Shows the reading at this point of the viewport, or hides the box off the plot.
    void showReadoutAt(QPointF position);
    void secondAdded();
    void showTargetLines();
    void placeVerdict();
    Span neededReferenceSpan() const;
    void showReferenceSamples();
    void showDeviation();

    record::RunRecord m_record;
    QLineSeries* m_top = nullptr;
    QLineSeries* m_bottom = nullptr;
    QValueAxis* m_time = nullptr;
    QValueAxis* m_temperature = nullptr;
    Span m_shown;
    bool m_dragging = false;
    qreal m_lastDragX = 0;
    ProfileTargets m_targets;
    bool m_targetsShown = false;
    std::unique_ptr<TargetLines> m_targetLines;
    QLabel* m_readout = nullptr;
    QPointF m_readoutAt; // the pointer's last position over the plot
    RunVerdictLine* m_verdict = nullptr;
    std::shared_ptr<const record::ReferenceRun> m_reference;
    QLineSeries* m_referenceTop = nullptr;
    QLineSeries* m_referenceBottom = nullptr;
    Span m_referenceShown;
    qsizetype m_referenceOrigin = 0; // where the series' points were laid from
    QLabel* m_referenceNote = nullptr;
    QLabel* m_deviation = nullptr;
    bool m_deviationOutside = false; // the colour the line has
    std::int32_t m_tolerance = 5;
};

} // namespace console
