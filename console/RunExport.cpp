// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a run's record: CSV text, the whole-run picture, file names and whole-file writes.
#include "console/RunExport.h"

#include "config/Errors.h"
#include "console/ChartAxis.h"
#include "console/Fonts.h"
#include "console/RunChart.h"
#include "record/RunReport.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImageWriter>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>

namespace console {

namespace {

// The picture's time axis aims at about as many grid lines as the screen shows
// over its 900 seconds.
constexpr double kTimeGridLines = 9;
// Text of a 960-pixel-high picture 22 pixels high: as readable as the screen's
// when the picture is shown whole on a smaller screen.
constexpr int kTextLinesPerHeight = 44;
constexpr int kLeastTextPixels = 11;

QLineSeries* addSeries(QChart* chart, const QColor& colour) {
    auto* series = new QLineSeries;
    series->setColor(colour);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    chart->addSeries(series);
    return series;
}

// Writes the whole file or leaves whatever was there untouched.
void writeWhole(const QString& path, const std::function<bool(QIODevice&)>& write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !write(file) || !file.commit())
        throw config::WriteError(path);
}

ProfileTargets targetsOf(const record::RunProfile& profile) {
    return {profile.T1, profile.T3, profile.TB};
}

// A profile shown from second index + 1 on is drawn from the start of that second.
std::vector<TargetSpan> targetSpans(const record::RunRecord& record, double lastSecond,
                                    const ProfileTargets& shown) {
    const std::vector<record::RunRecord::ProfileMark>& marks = record.profiles();
    if (marks.empty())
        return {{0, lastSecond, shown}};
    std::vector<TargetSpan> spans;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const double from = i == 0 ? 0 : double(marks[i].first);
        const double to = i + 1 < marks.size() ? double(marks[i + 1].first) : lastSecond;
        spans.push_back({from, to, targetsOf(marks[i].profile)});
    }
    return spans;
}

} // namespace

RunPicture renderRunChart(const record::RunRecord& record, QSize size,
                          const std::optional<ProfileTargets>& targets,
                          const record::ReferenceRun* reference) {
    QGraphicsScene scene;
    auto* chart = new QChart; // the scene owns it
    scene.addItem(chart);
    chart->setAnimationOptions(QChart::NoAnimation);
    // A picture handed over says what it shows: the run's title above, a
    // legend, and text readable at the picture's size.
    const int textPixels = std::max(kLeastTextPixels, size.height() / kTextLinesPerHeight);
    QFont titleFont = tahoma(textPixels * 5 / 4);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    QString title = record::pictureTitle(record);
    if (reference)
        title += (title.isEmpty() ? QString() : QStringLiteral("; ")) +
                 record::referenceTitle(*reference);
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->legend()->setFont(tahoma(textPixels));
    QMargins margins = chart->margins();
    margins.setRight(RunChart::kRightMargin);
    chart->setMargins(margins);

    const double lastSecond = record.isEmpty()
                                  ? RunChart::kSecondsShown
                                  : double(record::RunRecord::secondOf(record.size() - 1));
    QValueAxis* time = addRunAxis(chart, Qt::AlignBottom, lastSecond,
                                  gridStep(lastSecond, kTimeGridLines), RunChart::kTimeTitle);
    QValueAxis* temperature =
        addRunAxis(chart, Qt::AlignLeft, RunChart::kDegreesShown, RunChart::kDegreesPerGridLine,
                   RunChart::kTemperatureTitle);
    QFont axisTitleFont = tahoma(textPixels);
    axisTitleFont.setBold(true);
    for (QValueAxis* axis : {time, temperature}) {
        axis->setLabelsFont(tahoma(textPixels));
        axis->setTitleFont(axisTitleFont);
    }
    // The targets first, under the curves, as on screen.
    if (targets) {
        TargetLines lines(chart, time, temperature);
        lines.show(targetSpans(record, lastSecond, *targets));
        lines.nameInLegend(chart);
    }

    // The reference next, under the curves, over the record's seconds it lies under.
    QLineSeries* referenceTop = nullptr;
    QLineSeries* referenceBottom = nullptr;
    if (reference) {
        const qsizetype origin = record::referenceOrigin(record);
        const record::ReportCurves curves =
            record::referenceCurves(*reference, std::max<qint64>(record.size() - origin, 0));
        referenceTop = addSeries(chart, RunChart::kReferenceTopColour);
        referenceBottom = addSeries(chart, RunChart::kReferenceBottomColour);
        referenceTop->setName(curves.topCaption);
        referenceBottom->setName(curves.bottomCaption);
        for (QLineSeries* series : {referenceTop, referenceBottom}) {
            QPen pen = series->pen();
            pen.setStyle(RunChart::kReferenceStyle);
            pen.setWidthF(std::max(1.0, textPixels / 12.0));
            series->setPen(pen);
            series->attachAxis(time);
            series->attachAxis(temperature);
        }
        const auto count = qsizetype(curves.seconds.size());
        referenceTop->replace(
            RunChart::referencePoints(curves.seconds, origin, 0, count, &record::RunSample::top));
        referenceBottom->replace(RunChart::referencePoints(curves.seconds, origin, 0, count,
                                                           &record::RunSample::bottom));
    }

    QLineSeries* top = addSeries(chart, RunChart::kTopColour);
    QLineSeries* bottom = addSeries(chart, RunChart::kBottomColour);
    top->setName(QStringLiteral("Верх"));
    bottom->setName(QStringLiteral("Низ"));
    // Curves thick enough to be told from the grid on a picture this size.
    for (QLineSeries* series : {top, bottom}) {
        QPen pen = series->pen();
        pen.setWidthF(std::max(1.0, textPixels / 10.0));
        series->setPen(pen);
    }
    for (QLineSeries* series : {top, bottom}) {
        series->attachAxis(time);
        series->attachAxis(temperature);
    }

    // Every sample, drawn once: a day's 86,400 points per curve take a fraction
    // of a second, so nothing is thinned.
    top->replace(RunChart::curvePoints(record, 0, record.size(), &record::RunSample::top));
    bottom->replace(RunChart::curvePoints(record, 0, record.size(), &record::RunSample::bottom));
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    chart->layout()->activate();

    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    scene.render(&painter, whole, whole);
    painter.end();
    return {image, chart->plotArea()};
}

void writeCsvFile(const QString& path, const record::RunRecord& record) {
    const QByteArray text = record::csvText(record);
    writeWhole(path, [&text](QIODevice& file) { return file.write(text) == text.size(); });
}

void writeChartFile(const QString& path, const record::RunRecord& record, QSize size,
                    const std::optional<ProfileTargets>& targets,
                    const record::ReferenceRun* reference) {
    const QImage image = renderRunChart(record, size, targets, reference).image;
    writeWhole(path, [&image](QIODevice& file) {
        QImageWriter writer(&file, QByteArrayLiteral("png"));
        return writer.write(image);
    });
}

} // namespace console
