// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a run's record: CSV text, the whole-run picture, file names and whole-file writes.
#include "console/RunExport.h"

#include "config/Errors.h"
#include "console/ChartAxis.h"
#include "console/RunChart.h"

#include <QChart>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImageWriter>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QValueAxis>

#include <array>
#include <charconv>
#include <cmath>
#include <functional>

namespace console {

namespace {

const QByteArray kCsvHeader = QByteArrayLiteral("time_s,top_c,bottom_c\n");
// The longest row: two full-width signed 32-bit numbers, a 64-bit second, commas, LF.
constexpr int kLongestCsvRow = 20 + 2 * 11 + 3;

// The picture's time axis aims at about as many grid lines as the screen shows
// over its 900 seconds.
constexpr double kTimeGridLines = 9;

// File names stay well inside the 255 bytes most file systems allow, even for
// a name made of two-byte Cyrillic letters.
constexpr qsizetype kLongestNameInFileName = 80;

const QString kForbiddenInFileNames = QStringLiteral("/\\:*?\"<>|");

void appendNumber(QByteArray& text, qint64 number) {
    std::array<char, 24> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    Q_UNUSED(error); // 24 characters hold any 64-bit number
    text.append(digits.data(), end - digits.data());
}

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

bool refusedInFileName(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control || kForbiddenInFileNames.contains(c);
}

} // namespace

QByteArray csvHeader() {
    return kCsvHeader;
}

void appendCsvRows(QByteArray& text, const RunRecord& record, qsizetype first, qsizetype end) {
    text.reserve(text.size() + (end - first) * kLongestCsvRow);
    const std::vector<RunSecond>& seconds = record.samples();
    for (qsizetype index = first; index < end; ++index) {
        appendNumber(text, RunRecord::secondOf(index));
        text.append(',');
        // A gap leaves both temperature cells empty.
        if (const RunSecond& second = seconds[std::size_t(index)]) {
            appendNumber(text, second->top);
            text.append(',');
            appendNumber(text, second->bottom);
        } else {
            text.append(',');
        }
        text.append('\n');
    }
}

QByteArray csvText(const RunRecord& record) {
    QByteArray text = kCsvHeader;
    appendCsvRows(text, record, 0, record.size());
    return text;
}

RunPicture renderRunChart(const RunRecord& record, QSize size,
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

    QLineSeries* top = addSeries(chart, RunChart::kTopColour);
    QLineSeries* bottom = addSeries(chart, RunChart::kBottomColour);
    const double lastSecond =
        record.isEmpty() ? RunChart::kSecondsShown : double(RunRecord::secondOf(record.size() - 1));
    QValueAxis* time = addRunAxis(chart, Qt::AlignBottom, lastSecond, timeGridStep(lastSecond),
                                  RunChart::kTimeTitle);
    QValueAxis* temperature =
        addRunAxis(chart, Qt::AlignLeft, RunChart::kDegreesShown, RunChart::kDegreesPerGridLine,
                   RunChart::kTemperatureTitle);
    for (QLineSeries* series : {top, bottom}) {
        series->attachAxis(time);
        series->attachAxis(temperature);
    }

    // Every sample, drawn once: a day's 86,400 points per curve take a fraction
    // of a second, so nothing is thinned.
    top->replace(RunChart::curvePoints(record, 0, record.size(), &RunSample::top));
    bottom->replace(RunChart::curvePoints(record, 0, record.size(), &RunSample::bottom));
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
    chart->layout()->activate();

    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    scene.render(&painter, whole, whole);
    if (targets)
        drawTargets(painter, chart->plotArea(), *targets);
    painter.end();
    return {image, chart->plotArea()};
}

QString suggestedFileName(const QDateTime& now, int profileNumber, const QString& profileName,
                          const QString& extension) {
    QString name = profileName.trimmed();
    for (QChar& c : name) {
        if (refusedInFileName(c))
            c = QLatin1Char('_');
    }
    if (name.size() > kLongestNameInFileName) {
        name.truncate(kLongestNameInFileName);
        if (name.back().isHighSurrogate())
            name.chop(1);
    }

    QString fileName = now.toString(QStringLiteral("yyyy-MM-dd_HH-mm")) +
                       QStringLiteral("_profil") + QString::number(profileNumber);
    if (!name.isEmpty())
        fileName += QLatin1Char('_') + name;
    return fileName + QLatin1Char('.') + extension;
}

void writeCsvFile(const QString& path, const RunRecord& record) {
    const QByteArray text = csvText(record);
    writeWhole(path, [&text](QIODevice& file) { return file.write(text) == text.size(); });
}

void writeChartFile(const QString& path, const RunRecord& record, QSize size,
                    const std::optional<ProfileTargets>& targets) {
    const QImage image = renderRunChart(record, size, targets).image;
    writeWhole(path, [&image](QIODevice& file) {
        QImageWriter writer(&file, QByteArrayLiteral("png"));
        return writer.write(image);
    });
}

} // namespace console
