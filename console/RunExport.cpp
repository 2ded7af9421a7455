// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a run's record: CSV text, the whole-run picture, file names and whole-file writes.
#include "console/RunExport.h"

#include "config/Errors.h"
#include "console/ChartAxis.h"
#include "console/RunChart.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImageWriter>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QValueAxis>

#include <cmath>
#include <functional>

namespace console {

namespace {

// The picture's time axis aims at about as many grid lines as the screen shows
// over its 900 seconds.
constexpr double kTimeGridLines = 9;

// A grid step of 1, 2 or 5 times a power of ten, whole seconds at least.
double timeGridStep(double seconds) {
    const double rough = seconds / kTimeGridLines;
    if (rough <= 1)
        return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= rough)
            return factor * magnitude;
    }
    return 10 * magnitude;
}

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
                          const std::optional<ProfileTargets>& targets) {
    QGraphicsScene scene;
    auto* chart = new QChart; // the scene owns it
    scene.addItem(chart);
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setAnimationOptions(QChart::NoAnimation);
    QMargins margins = chart->margins();
    margins.setRight(RunChart::kRightMargin);
    chart->setMargins(margins);

    const double lastSecond = record.isEmpty()
                                  ? RunChart::kSecondsShown
                                  : double(record::RunRecord::secondOf(record.size() - 1));
    QValueAxis* time = addRunAxis(chart, Qt::AlignBottom, lastSecond, timeGridStep(lastSecond),
                                  RunChart::kTimeTitle);
    QValueAxis* temperature =
        addRunAxis(chart, Qt::AlignLeft, RunChart::kDegreesShown, RunChart::kDegreesPerGridLine,
                   RunChart::kTemperatureTitle);
    // The targets first, under the curves, as on screen.
    if (targets)
        TargetLines(chart, time, temperature).show(targetSpans(record, lastSecond, *targets));

    QLineSeries* top = addSeries(chart, RunChart::kTopColour);
    QLineSeries* bottom = addSeries(chart, RunChart::kBottomColour);
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
                    const std::optional<ProfileTargets>& targets) {
    const QImage image = renderRunChart(record, size, targets).image;
    writeWhole(path, [&image](QIODevice& file) {
        QImageWriter writer(&file, QByteArrayLiteral("png"));
        return writer.write(image);
    });
}

} // namespace console
