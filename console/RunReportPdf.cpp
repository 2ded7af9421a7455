// SPDX-License-Identifier: GPL-3.0-or-later
// The run report's page: title, chart with legend, targets and gaps, verdict and tables.
#include "console/RunReportPdf.h"

#include "console/ChartAxis.h"
#include "console/ProfileTargets.h"
#include "console/RunChart.h"
#include "console/RunVerdictLine.h"
#include "record/JournalWriter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <cerrno>
#include <cmath>
#include <functional>

namespace console {

namespace {

// A printed page is read from half a metre: text of 8 to 15 points.
constexpr double kTitlePoints = 15;
constexpr double kTextPoints = 9;
constexpr double kSmallPoints = 8;
constexpr double kMarginMm = 12;
constexpr double kChartWidthMm = 170;
constexpr int kResolution = 300; // dots per inch of the page's drawing
constexpr double kTimeGridLines = 10;

QFont reportFont(double points, bool bold = false) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

class Page {
public:
    Page(QPainter& painter, double dotsPerInch) : m_painter(painter), m_dpi(dotsPerInch) {}

    double mm(double millimetres) const { return millimetres * m_dpi / 25.4; }
    QPainter& painter() { return m_painter; }

    // Text wrapped into `width` from `top`; returns the height it took.
    double text(double left, double top, double width, const QString& text, const QFont& font,
                const QColor& colour = Qt::black, int flags = Qt::AlignLeft) {
        m_painter.setFont(font);
        m_painter.setPen(colour);
        QRectF used;
        m_painter.drawText(QRectF(left, top, width, mm(100)), flags | Qt::TextWordWrap, text,
                           &used);
        return used.height();
    }

private:
    QPainter& m_painter;
    double m_dpi;
};

void drawCurve(QPainter& painter, const std::vector<record::CurvePoint>& points,
               const std::function<QPointF(double, double)>& at) {
    QPainterPath path;
    bool open = false;
    for (const record::CurvePoint& point : points) {
        if (std::isnan(point.degrees)) {
            open = false;
            continue;
        }
        const QPointF p = at(point.second, point.degrees);
        if (open) {
            path.lineTo(p);
        } else {
            path.moveTo(p);
            // A lone reading between two gaps still shows as a dot.
            path.lineTo(p);
            open = true;
        }
    }
    painter.drawPath(path);
}

void drawChart(Page& page, const QRectF& area, const record::RunReport& report) {
    QPainter& painter = page.painter();
    const QFont small = reportFont(kSmallPoints);
    painter.setFont(small);
    const QFontMetricsF metrics(small, painter.device());
    // The legend takes one line, and a second for a reference's curves: one line
    // of them all would run past the chart into the verdict's column.
    const double legendLine = page.mm(5);
    const double legendHeight = page.mm(7) + (report.extra ? legendLine : 0);
    const QRectF plot(area.left() + page.mm(14), area.top() + legendHeight,
                      area.width() - page.mm(16), area.height() - legendHeight - page.mm(13));
    const double seconds = double(report.lastSecond);
    const double degrees = double(report.highestDegrees);
    auto at = [&plot, seconds, degrees](double second, double value) {
        return QPointF(plot.left() + plot.width() * second / seconds,
                       plot.bottom() - plot.height() * value / degrees);
    };

    // Where answers were lost, under everything.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(225, 225, 225));
    for (const record::ReportGap& gap : report.gaps) {
        const double left = at(gap.from, 0).x();
        const double right = std::max(at(gap.to, 0).x(), left + page.mm(0.3));
        painter.drawRect(QRectF(QPointF(left, plot.top()), QPointF(right, plot.bottom())));
    }
    painter.setBrush(Qt::NoBrush);

    // Grid and axis labels.
    const QPen grid(QColor(205, 205, 205), page.mm(0.15));
    const double timeStep = gridStep(seconds, kTimeGridLines);
    painter.setFont(small);
    const auto timeLines = qint64(seconds / timeStep + 1e-9);
    for (qint64 line = 0; line <= timeLines; ++line) {
        const double s = double(line) * timeStep;
        const double x = at(s, 0).x();
        painter.setPen(grid);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(x - page.mm(10), plot.bottom() + page.mm(1), page.mm(20), metrics.height()),
            Qt::AlignHCenter | Qt::AlignTop, QString::number(qint64(s)));
    }
    const auto degreeLines = qint64(degrees / RunChart::kDegreesPerGridLine + 1e-9);
    for (qint64 line = 0; line <= degreeLines; ++line) {
        const double d = double(line) * RunChart::kDegreesPerGridLine;
        const double y = at(0, d).y();
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(area.left(), y - metrics.height() / 2, page.mm(12.5), metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(qint64(d)));
    }
    painter.setPen(QPen(Qt::black, page.mm(0.25)));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawText(QRectF(plot.left(), plot.bottom() + page.mm(6), plot.width(), page.mm(6)),
                     Qt::AlignHCenter | Qt::AlignTop, RunChart::kTimeTitle);
    painter.save();
    painter.translate(area.left() + page.mm(1), plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, -page.mm(1), plot.height(), page.mm(5)),
                     Qt::AlignHCenter | Qt::AlignTop, RunChart::kTemperatureTitle);
    painter.restore();

    painter.save();
    painter.setClipRect(plot);
    // The targets, thin and pale and dashed, under the curves.
    auto targetPen = [&page](const QColor& colour) {
        QPen pen(colour, page.mm(0.3), Qt::DashLine);
        return pen;
    };
    for (const record::ReportTargets& span : report.targets) {
        painter.setPen(targetPen(kTopTargetColour));
        for (const std::int32_t t : {span.t1, span.t3})
            painter.drawLine(at(span.from, t), at(span.to, t));
        painter.setPen(targetPen(kBottomTargetColour));
        painter.drawLine(at(span.from, span.tb), at(span.to, span.tb));
    }
    // As many points as the plot has dots across: the envelope keeps every peak.
    const int columns = std::max(1, int(plot.width()));
    if (report.extra) {
        QPen top(RunChart::kReferenceTopColour, page.mm(0.3), RunChart::kReferenceStyle);
        painter.setPen(top);
        drawCurve(painter,
                  record::curveEnvelope(report.extra->seconds, &record::RunSample::top, columns),
                  at);
        QPen bottom(RunChart::kReferenceBottomColour, page.mm(0.3), RunChart::kReferenceStyle);
        painter.setPen(bottom);
        drawCurve(painter,
                  record::curveEnvelope(report.extra->seconds, &record::RunSample::bottom, columns),
                  at);
    }
    painter.setPen(QPen(RunChart::kTopColour, page.mm(0.35)));
    drawCurve(painter, record::curveEnvelope(report.run.seconds, &record::RunSample::top, columns),
              at);
    painter.setPen(QPen(RunChart::kBottomColour, page.mm(0.35)));
    drawCurve(painter,
              record::curveEnvelope(report.run.seconds, &record::RunSample::bottom, columns), at);
    painter.restore();

    // The legend, one line over the plot.
    struct Entry {
        QPen pen;
        QBrush fill;
        QString text;
    };
    std::vector<Entry> entries{
        {QPen(RunChart::kTopColour, page.mm(0.6)), Qt::NoBrush, report.run.topCaption},
        {QPen(RunChart::kBottomColour, page.mm(0.6)), Qt::NoBrush, report.run.bottomCaption},
        {targetPen(kTopTargetColour), Qt::NoBrush, QStringLiteral("Уставки T1, T3")},
        {targetPen(kBottomTargetColour), Qt::NoBrush, QStringLiteral("Уставка TB")},
        {Qt::NoPen, QColor(225, 225, 225), QStringLiteral("Пропуск связи")},
    };
    const std::size_t firstLine = entries.size();
    if (report.extra) {
        entries.push_back(
            {QPen(RunChart::kReferenceTopColour, page.mm(0.4), RunChart::kReferenceStyle),
             Qt::NoBrush, report.extra->topCaption});
        entries.push_back(
            {QPen(RunChart::kReferenceBottomColour, page.mm(0.4), RunChart::kReferenceStyle),
             Qt::NoBrush, report.extra->bottomCaption});
    }
    double x = plot.left();
    double y = area.top() + page.mm(3.5);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        if (i == firstLine) {
            x = plot.left();
            y += legendLine;
        }
        const QRectF swatch(x, y - page.mm(1.2), page.mm(8), page.mm(2.4));
        if (entry.fill.style() != Qt::NoBrush) {
            painter.fillRect(swatch, entry.fill);
        } else {
            painter.setPen(entry.pen);
            painter.drawLine(QPointF(swatch.left(), y), QPointF(swatch.right(), y));
        }
        painter.setPen(Qt::black);
        const double width = metrics.horizontalAdvance(entry.text);
        painter.drawText(QRectF(swatch.right() + page.mm(1.5), y - metrics.height() / 2, width + 2,
                                metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        x = swatch.right() + page.mm(1.5) + width + page.mm(5);
    }
}

// Label and value rows; returns the height taken.
double drawRows(Page& page, double left, double top, double width,
                const std::vector<record::SummaryRow>& rows) {
    const QFont font = reportFont(kSmallPoints);
    double y = top;
    for (const record::SummaryRow& row : rows) {
        const double labelHeight = page.text(left, y, width * 0.48, row.label, font);
        const double valueHeight = page.text(left + width * 0.5, y, width * 0.5, row.value, font);
        y += std::max(labelHeight, valueHeight) + page.mm(0.6);
    }
    return y - top;
}

} // namespace

void paintRunReport(QPainter& painter, const QRectF& pageRect, double dotsPerInch,
                    const record::RunReport& report) {
    Page page(painter, dotsPerInch);
    painter.setRenderHint(QPainter::Antialiasing);
    const double margin = page.mm(kMarginMm);
    const double left = pageRect.left() + margin;
    const double width = pageRect.width() - 2 * margin;
    double top = pageRect.top() + margin;

    top += page.text(left, top, width, report.title, reportFont(kTitlePoints, true));
    QStringList facts = report.facts;
    if (report.extra && !report.extraCaption.isEmpty())
        facts << report.extraCaption;
    top += page.text(left, top + page.mm(1), width, facts.join(QStringLiteral("     ")),
                     reportFont(kTextPoints)) +
           page.mm(4);

    const double footerHeight = page.mm(6);
    const double bottom = pageRect.bottom() - margin - footerHeight;
    const QRectF chart(left, top, page.mm(kChartWidthMm), bottom - top);
    drawChart(page, chart, report);

    // The right column: the verdict, then the tables.
    const double columnLeft = chart.right() + page.mm(8);
    const double columnWidth = pageRect.right() - margin - columnLeft;
    double y = top;
    y += page.text(columnLeft, y, columnWidth, report.verdict, reportFont(11, true),
                   verdictColour(report.outcome)) +
         page.mm(3);
    const QFont heading = reportFont(kTextPoints, true);
    y += page.text(columnLeft, y, columnWidth, QStringLiteral("Итоги прогона"), heading) +
         page.mm(1);
    y += drawRows(page, columnLeft, y, columnWidth, report.summary) + page.mm(3);
    y += page.text(columnLeft, y, columnWidth, QStringLiteral("Правила"), heading) + page.mm(1);
    for (const record::RunRule& rule : report.rules) {
        y += page.text(columnLeft, y, columnWidth,
                       record::ruleMark(rule.outcome) + QLatin1Char(' ') + rule.text(),
                       reportFont(kSmallPoints), verdictColour(rule.outcome)) +
             page.mm(0.6);
    }
    y += page.mm(3);
    y += page.text(columnLeft, y, columnWidth, QStringLiteral("Профиль и поправки"), heading) +
         page.mm(1);
    QStringList values;
    for (const record::SummaryRow& row : report.profile)
        values << row.label + QStringLiteral(" = ") + row.value;
    page.text(columnLeft, y, columnWidth, values.join(QStringLiteral(";  ")),
              reportFont(kSmallPoints));

    page.text(left, bottom + page.mm(2), width, report.footer, reportFont(kSmallPoints),
              QColor(90, 90, 90));
}

ReportWritten writeRunReport(const QString& path, const record::RunReport& report) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        const int error = errno;
        return {false, record::failureReason(error, file.errorString())};
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kResolution);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
        writer.setTitle(report.title);
        writer.setCreator(report.footer);
        QPainter painter;
        if (!painter.begin(&writer))
            return {false, QStringLiteral("не удалось начать страницу")};
        paintRunReport(painter, QRectF(writer.pageLayout().fullRectPixels(kResolution)),
                       kResolution, report);
        painter.end();
    }
    if (file.error() != QFileDevice::NoError || !file.commit()) {
        const int error = errno;
        return {false, record::failureReason(error, file.errorString())};
    }
    return {true, {}};
}

} // namespace console
