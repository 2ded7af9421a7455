// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a run's record: the CSV table, the whole-run picture, the suggested file
// name, the chart's context menu and its save dialog, and a write that is refused.
#include "console/RunChart.h"
#include "console/RunExport.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include "record/RunReport.h"
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <functional>
#include <limits>
#include <optional>

using consoletest::control;
using consoletest::isBlue;
using consoletest::isRed;

namespace {

constexpr int kSecondsPerDay = 86400;

// The known run of the CSV tests, and its table.
const record::RunSample kKnownRun[] = {
    {195, 123},
    {-4, 310},
    {0, 0},
    {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()},
};
const QByteArray kKnownCsv = "time_s,top_c,bottom_c\n"
                             "1,195,123\n"
                             "2,-4,310\n"
                             "3,0,0\n"
                             "4,-2147483648,2147483647\n";

record::RunRecord knownRun() {
    record::RunRecord record;
    for (const record::RunSample& sample : kKnownRun)
        record.append(sample.top, sample.bottom);
    return record;
}

// A record written as readings "top/bottom" and gaps "-", one second each.
record::RunRecord runOf(const QStringList& seconds) {
    record::RunRecord record;
    for (const QString& second : seconds) {
        if (second == QLatin1String("-")) {
            record.appendGap();
        } else {
            const QStringList values = second.split(QLatin1Char('/'));
            record.append(values.at(0).toInt(), values.at(1).toInt());
        }
    }
    return record;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The table as a reader that skips "#" lines sees it, and the "#" lines alone.
QByteArray tableOf(const QByteArray& text) {
    QByteArray table;
    for (const QByteArray& line : text.split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            table += line + '\n';
    return table;
}
QList<QByteArray> commentsOf(const QByteArray& text) {
    QList<QByteArray> comments;
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith('#'))
            comments << line;
    return comments;
}

bool isCurve(QRgb pixel) {
    return isRed(pixel) || isBlue(pixel);
}

// Whether any pixel of the plot's column at `second` has a curve's colour.
bool curveInColumn(const console::RunPicture& picture, double lastSecond, double second) {
    const QRectF& plot = picture.plotArea;
    const int x = int(plot.left() + second / lastSecond * plot.width());
    for (int y = int(plot.top()); y <= int(plot.bottom()); ++y)
        if (isCurve(picture.image.pixel(x, y)))
            return true;
    return false;
}

// Whether a pixel of the colour lies within a few pixels of where second `second`
// at `degrees` is drawn on the picture.
bool colourNear(const console::RunPicture& picture, double lastSecond, double second,
                double degrees, bool (*colour)(QRgb)) {
    constexpr int kSlack = 3;
    const QRectF& plot = picture.plotArea;
    const int x = int(plot.left() + second / lastSecond * plot.width());
    const int y = int(plot.bottom() - degrees / console::RunChart::kDegreesShown * plot.height());
    for (int dx = -kSlack; dx <= kSlack; ++dx)
        for (int dy = -kSlack; dy <= kSlack; ++dy)
            if (picture.image.valid(x + dx, y + dy) && colour(picture.image.pixel(x + dx, y + dy)))
                return true;
    return false;
}

// While alive, hands every save dialog that opens to `answer`.
class FileDialogAnswerer : public QObject {
public:
    explicit FileDialogAnswerer(std::function<void(QFileDialog*)> answer)
        : m_answer(std::move(answer)) {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            ++m_seen;
            m_answer(dialog);
        });
        m_timer.start();
    }
    int seen() const { return m_seen; }

private:
    std::function<void(QFileDialog*)> m_answer;
    QTimer m_timer;
    int m_seen = 0;
};

} // namespace

class TestRunExport : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The export module on its own.
    void csvOfAKnownRunIsExact();
    void csvHasEmptyCellsWhereTheRunHasGaps_data();
    void csvHasEmptyCellsWhereTheRunHasGaps();
    void csvOfAnEmptyRunIsTheHeader();
    void pictureStretchesTheRunAcrossThePlot();
    void pictureDrawsEverySampleOfADay();
    void pictureSaysWhatItShows();
    void pictureBreaksTheCurvesAtGaps_data();
    void pictureBreaksTheCurvesAtGaps();
    void suggestedNameHoldsDateProfileAndSafeName_data();
    void suggestedNameHoldsDateProfileAndSafeName();

    // From the main window.
    void exportedFilesHoldTheRunAndLeaveTheConsoleAlone();
    void runWithoutALinkExportsOnlyGaps();
    void refusedWriteShowsTheErrorBoxAndChangesNothing_data();
    void refusedWriteShowsTheErrorBoxAndChangesNothing();
    void commandsAreDisabledWithoutSamples();
    void rightClickLeavesPanningAlone();
    void saveDialogOffersTheSuggestedNameAndWritesTheChoice();
    void cancelledSaveDialogWritesNothing();

private:
    // What the chart gets from a tick at which a reading is current.
    void record(int top, int bottom) { m_chart->appendSample(top, bottom); }
    // A second of the console's own run clock; with no link here it records a gap.
    void tick() {
        if (!m_runGoesOn) {
            consoletest::startRunWithoutLink(*m_form);
            m_runGoesOn = true;
        }
        consoletest::tickOneSecond(*m_form, *m_clock);
    }
    // Right-clicks the chart and returns the menu it opened, or null.
    QMenu* openChartMenu();
    struct SeenDialog {
        int count = 0;
        QString caption;
        QString offered; // the file name the dialog opened with
        QString folder;
    };
    // Opens the menu, runs the command, and chooses `path` in its save dialog.
    SeenDialog answerSaveDialog(const char* action, const QString& path);

    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<QTemporaryDir> m_out;
    std::unique_ptr<TForm1> m_form;
    std::optional<consoletest::HandClock> m_clock;
    bool m_runGoesOn = false;
    console::RunChart* m_chart = nullptr;
};

void TestRunExport::init() {
    m_dir.emplace();
    m_dir->writeSettings(consoletest::kFullSettings);
    m_out.emplace();
    QVERIFY(m_out->isValid());
    m_form = consoletest::startConsole();
    QVERIFY(m_form);
    m_clock.emplace(*m_form);
    m_runGoesOn = false;
    m_chart = control<console::RunChart>(*m_form, "Chart1");
    QVERIFY(m_chart);
}

void TestRunExport::cleanup() {
    m_clock.reset();
    m_form.reset();
    m_out.reset();
    m_dir.reset();
}

// A right click as the window system delivers it: the press, the context-menu
// request, the release.
QMenu* TestRunExport::openChartMenu() {
    QWidget* surface = m_chart->viewport();
    const QPoint at = m_chart->chart()->plotArea().center().toPoint();
    QTest::mousePress(surface, Qt::RightButton, {}, at);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, surface->mapToGlobal(at));
    QApplication::sendEvent(surface, &request);
    QTest::mouseRelease(surface, Qt::RightButton, {}, at);
    auto* menu = m_form->findChild<QMenu*>(QStringLiteral("ChartMenu"));
    if (!menu || !QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000))
        return nullptr;
    return menu;
}

TestRunExport::SeenDialog TestRunExport::answerSaveDialog(const char* action, const QString& path) {
    SeenDialog seen;
    FileDialogAnswerer answerer([&](QFileDialog* dialog) {
        seen.caption = dialog->windowTitle();
        seen.offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        seen.folder = dialog->directory().absolutePath();
        // Typed into the name field, as the operator would.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept(); // with the dialog's own checks
    });
    QMenu* menu = openChartMenu();
    if (!menu)
        return seen;
    QAction* command = m_form->findChild<QAction*>(QLatin1String(action));
    menu->close();
    if (command && command->isEnabled())
        command->trigger();
    seen.count = answerer.seen();
    return seen;
}

void TestRunExport::csvOfAKnownRunIsExact() {
    QCOMPARE(record::csvText(knownRun()), kKnownCsv);

    const QString path = m_out->filePath(QStringLiteral("run.csv"));
    console::writeCsvFile(path, knownRun());
    QCOMPARE(fileBytes(path), kKnownCsv);
}

void TestRunExport::csvHasEmptyCellsWhereTheRunHasGaps_data() {
    QTest::addColumn<QStringList>("seconds");
    QTest::addColumn<QByteArray>("rows");

    QTest::newRow("gap between readings")
        << QStringList{"195/123", "-", "-4/310"} << QByteArray("1,195,123\n2,,\n3,-4,310\n");
    QTest::newRow("gap first and last")
        << QStringList{"-", "0/0", "-"} << QByteArray("1,,\n2,0,0\n3,,\n");
    QTest::newRow("gaps in a row") << QStringList{"20/21", "-", "-", "-", "22/23"}
                                   << QByteArray("1,20,21\n2,,\n3,,\n4,,\n5,22,23\n");
    QTest::newRow("only gaps") << QStringList{"-", "-"} << QByteArray("1,,\n2,,\n");
    QTest::newRow("extremes beside a gap") << QStringList{"-2147483648/2147483647", "-"}
                                           << QByteArray("1,-2147483648,2147483647\n2,,\n");
}

void TestRunExport::csvHasEmptyCellsWhereTheRunHasGaps() {
    QFETCH(QStringList, seconds);
    QFETCH(QByteArray, rows);

    const QByteArray expected = "time_s,top_c,bottom_c\n" + rows;
    QCOMPARE(record::csvText(runOf(seconds)), expected);
    const QString path = m_out->filePath(QStringLiteral("gaps.csv"));
    console::writeCsvFile(path, runOf(seconds));
    QCOMPARE(fileBytes(path), expected);
}

void TestRunExport::csvOfAnEmptyRunIsTheHeader() {
    QCOMPARE(record::csvText(record::RunRecord()), QByteArray("time_s,top_c,bottom_c\n"));
}

// Ten minutes: the top heater at 200 °C for the first half, 250 °C for the second;
// the bottom one at 100 °C. The run fills the plot from left to right.
void TestRunExport::pictureStretchesTheRunAcrossThePlot() {
    constexpr int kLast = 600;
    record::RunRecord record;
    for (int second = 1; second <= kLast; ++second)
        record.append(second <= kLast / 2 ? 200 : 250, 100);

    const console::RunPicture picture = console::renderRunChart(record);
    picture.image.save(testsupport::artifactsDir() + QStringLiteral("/run-export-600s.png"));
    QCOMPARE(picture.image.size(), console::kRunPictureSize);
    QVERIFY(QRectF(QPointF(0, 0), QSizeF(console::kRunPictureSize)).contains(picture.plotArea));
    // The plot takes most of the picture: the curves are not squeezed into a corner.
    QVERIFY(picture.plotArea.width() > 0.8 * console::kRunPictureSize.width());
    QVERIFY(picture.plotArea.height() > 0.7 * console::kRunPictureSize.height());

    for (const double second : {10.0, 150.0, 290.0}) {
        QVERIFY2(colourNear(picture, kLast, second, 200, isRed),
                 qPrintable(QString::number(second)));
        QVERIFY(!colourNear(picture, kLast, second, 250, isRed));
        QVERIFY(colourNear(picture, kLast, second, 100, isBlue));
    }
    for (const double second : {310.0, 450.0, kLast - 2.0}) {
        QVERIFY2(colourNear(picture, kLast, second, 250, isRed),
                 qPrintable(QString::number(second)));
        QVERIFY(!colourNear(picture, kLast, second, 200, isRed));
        QVERIFY(colourNear(picture, kLast, second, 100, isBlue));
    }
    // Nothing of either curve above the hotter plateau.
    QVERIFY(!colourNear(picture, kLast, 450, 280, isRed));
    QVERIFY(!colourNear(picture, kLast, 450, 280, isBlue));
}

// Dark pixels (text) in a box of the picture: how many, and how many rows they span.
struct Ink {
    int pixels = 0;
    int rows = 0;
};
static Ink inkIn(const QImage& image, const QRect& box) {
    Ink ink;
    const QRect inside = box.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        int row = 0;
        for (int x = inside.left(); x <= inside.right(); ++x)
            row += qGray(image.pixel(x, y)) < 110;
        ink.pixels += row;
        ink.rows += row > 0;
    }
    return ink;
}
static int pixelsOf(const QImage& image, const QRect& box, const QColor& colour) {
    int count = 0;
    const QRect inside = box.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

// A picture handed over says what it shows: above the plot the run's title and a
// legend with both curves' colours and the targets' tones; the axis text is
// readable at the picture's size (it was 9 pixels high on 960).
void TestRunExport::pictureSaysWhatItShows() {
    record::RunRecord record;
    record.beginRun({QStringLiteral("1.0.0.2"),
                     QDateTime(QDate(2026, 12, 10), QTime(14, 3, 59), Qt::OffsetFromUTC, 10800),
                     QStringLiteral("Com3"),
                     0,
                     0,
                     {2, QStringLiteral("BGA"), 180, 150, 160, 60, 235, 30}});
    for (int second = 1; second <= 300; ++second)
        record.append(100 + second / 3, 50 + second / 4);
    const console::RunPicture picture = console::renderRunChart(
        record, console::kRunPictureSize, console::ProfileTargets{160, 235, 150});
    picture.image.save(testsupport::artifactsDir() + QStringLiteral("/run-export-titled.png"));
    const QImage& image = picture.image;
    const QRect plot = picture.plotArea.toAlignedRect();
    QCOMPARE(record::pictureTitle(record),
             QStringLiteral("Прогон: профиль 2 «BGA», 10.12.2026 14:03:59"));

    // Above the plot, clear of the topmost axis label: two lines of text.
    const QRect above(plot.left() + 60, 0, plot.width() - 60, plot.top() - 20);
    const Ink text = inkIn(image, above);
    QVERIFY2(text.pixels > 1500 && text.rows >= 30,
             qPrintable(QStringLiteral("%1 pixels over %2 rows").arg(text.pixels).arg(text.rows)));
    for (const QColor& colour : {console::RunChart::kTopColour, console::RunChart::kBottomColour,
                                 console::kTopTargetColour, console::kBottomTargetColour})
        QVERIFY2(pixelsOf(image, above, colour) >= 100, qPrintable(colour.name()));

    // The "0" under the time axis' start: at least 16 pixels high.
    const Ink zero = inkIn(image, QRect(plot.left() - 25, plot.bottom() + 3, 50, 40));
    QVERIFY2(zero.rows >= 16, qPrintable(QString::number(zero.rows)));
}

// A day at 100 °C on top with one second at 290 °C in the middle, and 50 °C
// below: that single sample still reaches the picture.
void TestRunExport::pictureDrawsEverySampleOfADay() {
    constexpr int kSpike = kSecondsPerDay / 2;
    record::RunRecord record;
    for (int second = 1; second <= kSecondsPerDay; ++second)
        record.append(second == kSpike ? 290 : 100, 50);

    const console::RunPicture picture = console::renderRunChart(record);
    QCOMPARE(picture.image.size(), console::kRunPictureSize);
    QVERIFY(colourNear(picture, kSecondsPerDay, kSpike, 290, isRed));
    QVERIFY(!colourNear(picture, kSecondsPerDay, kSpike / 2, 290, isRed));
    for (const double second : {1.0, double(kSecondsPerDay) / 4, double(kSecondsPerDay) - 1}) {
        QVERIFY(colourNear(picture, kSecondsPerDay, second, 100, isRed));
        QVERIFY(colourNear(picture, kSecondsPerDay, second, 50, isBlue));
    }
}

// Ten minutes at 200 °C on top and 100 °C below, with the station silent for the
// seconds in `silent`: no curve in the picture's columns of those seconds, both
// curves everywhere else.
void TestRunExport::pictureBreaksTheCurvesAtGaps_data() {
    QTest::addColumn<int>("firstSilent");
    QTest::addColumn<int>("lastSilent");
    QTest::newRow("one second") << 300 << 300;
    QTest::newRow("a minute and a half") << 250 << 340;
    QTest::newRow("at the start") << 1 << 60;
    QTest::newRow("at the end") << 541 << 600;
}

void TestRunExport::pictureBreaksTheCurvesAtGaps() {
    QFETCH(int, firstSilent);
    QFETCH(int, lastSilent);

    constexpr int kLast = 600;
    record::RunRecord record;
    for (int second = 1; second <= kLast; ++second) {
        if (second >= firstSilent && second <= lastSilent)
            record.appendGap();
        else
            record.append(200, 100);
    }
    const console::RunPicture picture = console::renderRunChart(record);
    picture.image.save(
        testsupport::artifactsDir() +
        QStringLiteral("/run-export-gap-%1-%2.png").arg(firstSilent).arg(lastSilent));

    // A line ends at the last reading before the gap and starts again at the
    // first one after it: no curve in the column of any silent second.
    const int before = firstSilent - 1;
    const int after = lastSilent + 1;
    for (int second = firstSilent; second <= lastSilent; ++second)
        QVERIFY2(!curveInColumn(picture, kLast, second), qPrintable(QString::number(second)));
    for (const double second : {20.0, 150.0, 299.0, 301.0, 450.0, kLast - 1.0}) {
        if (second >= before - 1 && second <= after + 1)
            continue;
        QVERIFY2(colourNear(picture, kLast, second, 200, isRed),
                 qPrintable(QString::number(second)));
        QVERIFY2(colourNear(picture, kLast, second, 100, isBlue),
                 qPrintable(QString::number(second)));
    }
}

void TestRunExport::suggestedNameHoldsDateProfileAndSafeName_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << 2 << "BGA"
                           << "png"
                           << "2026-12-10_14-03_profil2_BGA.png";
    QTest::newRow("cyrillic and spaces")
        << 0 << QStringLiteral("Бессвинцовый BGA 2") << "csv"
        << QStringLiteral("2026-12-10_14-03_profil0_Бессвинцовый_BGA_2.csv");
    QTest::newRow("refused characters") << 9 << QStringLiteral("a/b\\c:d*e?f\"g<h>i|j") << "png"
                                        << "2026-12-10_14-03_profil9_a_b_c_d_e_f_g_h_i_j.png";
    QTest::newRow("control characters") << 3 << QStringLiteral("x\ty\x01z\x7f") << "csv"
                                        << "2026-12-10_14-03_profil3_x_y_z_.csv";
    QTest::newRow("no name") << 5 << QString() << "png"
                             << "2026-12-10_14-03_profil5.png";
    QTest::newRow("surrounding spaces dropped") << 1 << "  lead  "
                                                << "csv"
                                                << "2026-12-10_14-03_profil1_lead.csv";
    QTest::newRow("long name cut") << 4 << QString(200, QChar(0x0416)) << "png"
                                   << QStringLiteral("2026-12-10_14-03_profil4_") +
                                          QString(80, QChar(0x0416)) + QStringLiteral(".png");
}

void TestRunExport::suggestedNameHoldsDateProfileAndSafeName() {
    QFETCH(int, profile);
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(QString, expected);

    const QDateTime now(QDate(2026, 12, 10), QTime(14, 3, 59));
    QCOMPARE(record::suggestedFileName(now, profile, name, extension), expected);
}

void TestRunExport::exportedFilesHoldTheRunAndLeaveTheConsoleAlone() {
    consoletest::startRunWithoutLink(*m_form);
    m_runGoesOn = true;
    for (const record::RunSample& sample : kKnownRun)
        record(sample.top, sample.bottom);
    tick(); // no answer comes without a link: a gap
    const QStringList top = consoletest::curveText(m_chart->topSeries());
    const double min = m_chart->timeAxis()->min();
    const QByteArray csvBefore = kKnownCsv + "5,,\n";

    testsupport::ModalWatcher boxes;
    const QString csv = m_out->filePath(QStringLiteral("run.csv"));
    const QString png = m_out->filePath(QStringLiteral("run.png"));
    QVERIFY(m_form->exportCsvTo(csv));
    QVERIFY(m_form->saveChartTo(png));
    QVERIFY(boxes.boxes().isEmpty());

    // The run's "#" lines, then the table as it was.
    QCOMPARE(tableOf(fileBytes(csv)), csvBefore);
    QVERIFY(fileBytes(csv).startsWith("# version: "));
    QCOMPARE(commentsOf(fileBytes(csv)).size(), 13);
    QImageReader reader(png);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), console::kRunPictureSize);
    QCOMPARE(image.convertToFormat(QImage::Format_RGB32),
             console::renderRunChart(m_form->runRecord()).image);

    // Writing over an earlier export replaces it whole.
    record(7, 8);
    QVERIFY(m_form->exportCsvTo(csv));
    QCOMPARE(tableOf(fileBytes(csv)), csvBefore + "6,7,8\n");

    QCOMPARE(control<QLabel>(*m_form, "FTimer")->text(), QStringLiteral("00:00:01"));
    QCOMPARE(m_form->TGrafikY, 1);
    QCOMPARE(m_chart->record().size(), qsizetype(6));
    QCOMPARE(consoletest::curveText(m_chart->topSeries()).mid(0, top.size()), top);
    QCOMPARE(m_chart->timeAxis()->min(), min);
}

// The console ticking with no link: every second is a gap, in the table (two empty
// cells per row) and in the picture (no curve at all).
void TestRunExport::runWithoutALinkExportsOnlyGaps() {
    control<QLabel>(*m_form, "INTemperatureUP")->setText(QStringLiteral("0"));
    control<QLabel>(*m_form, "INTemperatureDown")->setText(QStringLiteral("0"));
    for (int second = 1; second <= 3; ++second)
        tick();

    const QString csv = m_out->filePath(QStringLiteral("run.csv"));
    const QString png = m_out->filePath(QStringLiteral("run.png"));
    QVERIFY(m_form->exportCsvTo(csv));
    QVERIFY(m_form->saveChartTo(png));
    QCOMPARE(tableOf(fileBytes(csv)), QByteArray("time_s,top_c,bottom_c\n1,,\n2,,\n3,,\n"));
    const console::RunPicture picture{QImage(png).convertToFormat(QImage::Format_RGB32),
                                      console::renderRunChart(m_form->runRecord()).plotArea};
    QCOMPARE(picture.image.size(), console::kRunPictureSize);
    for (int x = int(picture.plotArea.left()); x <= int(picture.plotArea.right()); ++x)
        for (int y = int(picture.plotArea.top()); y <= int(picture.plotArea.bottom()); ++y)
            if (isCurve(picture.image.pixel(x, y)))
                QFAIL(qPrintable(QStringLiteral("curve colour at %1,%2").arg(x).arg(y)));
}

void TestRunExport::refusedWriteShowsTheErrorBoxAndChangesNothing_data() {
    QTest::addColumn<bool>("picture");
    QTest::newRow("Экспорт данных") << false;
    QTest::newRow("Сохранить график") << true;
}

// A path under a regular file: no one, not even root, can create it.
void TestRunExport::refusedWriteShowsTheErrorBoxAndChangesNothing() {
    QFETCH(bool, picture);
    for (int second = 1; second <= 75; ++second) {
        if (second % 10 == 0)
            tick(); // no link here: a gap that also steps the clock
        else
            record(200 + second, 100);
    }
    const QString blocker = m_out->filePath(QStringLiteral("not-a-folder"));
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    const QString path =
        blocker + (picture ? QStringLiteral("/run.png") : QStringLiteral("/run.csv"));

    const QString clock = control<QLabel>(*m_form, "FTimer")->text();
    const QStringList top = consoletest::curveText(m_chart->topSeries());
    const QStringList bottom = consoletest::curveText(m_chart->bottomSeries());
    const std::vector<record::RunSecond> samples = m_chart->record().samples();
    const double min = m_chart->timeAxis()->min();
    const double max = m_chart->timeAxis()->max();

    testsupport::ModalWatcher boxes;
    QVERIFY(!(picture ? m_form->saveChartTo(path) : m_form->exportCsvTo(path)));
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes().front().text, QStringLiteral("Unable to write to ") + path + '.');
    QCOMPARE(boxes.boxes().front().icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes().front().buttonCount, 1);

    QCOMPARE(control<QLabel>(*m_form, "FTimer")->text(), clock);
    QCOMPARE(clock, QStringLiteral("00:00:07"));
    QCOMPARE(m_form->TGrafikY, 7);
    QCOMPARE(m_chart->record().samples(), samples);
    QCOMPARE(consoletest::curveText(m_chart->topSeries()), top);
    QCOMPARE(consoletest::curveText(m_chart->bottomSeries()), bottom);
    QCOMPARE(m_chart->timeAxis()->min(), min);
    QCOMPARE(m_chart->timeAxis()->max(), max);
    QCOMPARE(fileBytes(blocker), QByteArray("x"));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("not-a-folder")});
}

void TestRunExport::commandsAreDisabledWithoutSamples() {
    auto* save = m_form->findChild<QAction*>(QStringLiteral("ActionSaveChart"));
    auto* data = m_form->findChild<QAction*>(QStringLiteral("ActionExportData"));
    QVERIFY(save && data);
    QCOMPARE(save->text(), QStringLiteral("Сохранить график..."));
    QCOMPARE(data->text(), QStringLiteral("Экспорт данных..."));

    auto* report = m_form->findChild<QAction*>(QStringLiteral("ActionSaveReport"));
    QVERIFY(report);

    QMenu* menu = openChartMenu();
    QVERIFY(menu);
    // The three commands, the record's two switches below a separator, the
    // run's limits below another, and the reference run's two commands below a third.
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 11);
    QCOMPARE(items.mid(0, 3), (QList<QAction*>{save, data, report}));
    QVERIFY(items.at(3)->isSeparator());
    QCOMPARE(items.at(4)->objectName(), QStringLiteral("ActionAutoSave"));
    QCOMPARE(items.at(5)->objectName(), QStringLiteral("ActionShowTargets"));
    QVERIFY(items.at(6)->isSeparator());
    QCOMPARE(items.at(7)->objectName(), QStringLiteral("ActionRunLimits"));
    QVERIFY(!save->isEnabled());
    QVERIFY(!data->isEnabled());
    QVERIFY(!report->isEnabled());
    QVERIFY(items.at(7)->isEnabled());
    QVERIFY(items.at(8)->isSeparator());
    QCOMPARE(items.at(9)->text(), QStringLiteral("Эталонный прогон..."));
    QCOMPARE(items.at(10)->text(), QStringLiteral("Убрать эталон"));
    QVERIFY(items.at(9)->isEnabled());
    QVERIFY(!items.at(10)->isEnabled()); // no reference to drop
    menu->close();

    // A second counted without a reading is already a run to keep.
    tick();
    menu = openChartMenu();
    QVERIFY(menu);
    QVERIFY(save->isEnabled());
    QVERIFY(data->isEnabled());
    QVERIFY(report->isEnabled()); // the run so far
    menu->close();

    // "<0>" empties the chart again; the run it ended keeps its report.
    control<QPushButton>(*m_form, "TimerToZero")->click();
    menu = openChartMenu();
    QVERIFY(menu);
    QVERIFY(!save->isEnabled());
    QVERIFY(!data->isEnabled());
    QVERIFY(report->isEnabled());
    menu->close();
}

void TestRunExport::rightClickLeavesPanningAlone() {
    for (int second = 1; second <= 1200; ++second)
        record(second % 300, 100);
    QWidget* surface = m_chart->viewport();
    const QPoint from = m_chart->chart()->plotArea().center().toPoint();
    const QList<QPointF> top = m_chart->topSeries()->points();

    // A right click and a move with the menu open pan nothing.
    QMenu* menu = openChartMenu();
    QVERIFY(menu);
    QTest::mouseMove(surface, from + QPoint(-200, 0));
    QCOMPARE(m_chart->timeAxis()->min(), 0.0);
    QCOMPARE(m_chart->topSeries()->points(), top);
    menu->close();

    // The left button still drags the window along the run.
    QTest::mousePress(surface, Qt::LeftButton, {}, from);
    QTest::mouseMove(surface, from + QPoint(-200, 0));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, from + QPoint(-200, 0));
    QVERIFY2(m_chart->timeAxis()->min() > 100,
             qPrintable(QString::number(m_chart->timeAxis()->min())));
    QVERIFY(qAbs(m_chart->timeAxis()->max() - m_chart->timeAxis()->min() - 900) < 1e-6);
}

// The menu command, its dialog with the suggested name, and the file the operator chose.
void TestRunExport::saveDialogOffersTheSuggestedNameAndWritesTheChoice() {
    for (const record::RunSample& sample : kKnownRun)
        record(sample.top, sample.bottom);
    const QString profileName = QStringLiteral("Бессвинцовый BGA"); // profile 0 of the settings

    // Chosen without an extension: the dialog adds it.
    const QDateTime before = QDateTime::currentDateTime();
    SeenDialog seen =
        answerSaveDialog("ActionExportData", m_out->filePath(QStringLiteral("моя пайка")));
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.caption, QStringLiteral("Экспорт данных"));
    QCOMPARE(seen.folder, QDir::homePath());
    QVERIFY2(
        seen.offered == record::suggestedFileName(before, 0, profileName, QStringLiteral("csv")) ||
            seen.offered == record::suggestedFileName(after, 0, profileName, QStringLiteral("csv")),
        qPrintable(seen.offered));
    QCOMPARE(fileBytes(m_out->filePath(QStringLiteral("моя пайка.csv"))), kKnownCsv);

    // The next export opens where the last one went, on the picture's name.
    seen = answerSaveDialog("ActionSaveChart", m_out->filePath(QStringLiteral("run.png")));
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.caption, QStringLiteral("Сохранить график"));
    QCOMPARE(seen.folder, QFileInfo(m_out->path()).absoluteFilePath());
    QVERIFY2(seen.offered.endsWith(QStringLiteral("_profil0_Бессвинцовый_BGA.png")),
             qPrintable(seen.offered));
    QCOMPARE(QImage(m_out->filePath(QStringLiteral("run.png"))).size(), console::kRunPictureSize);

    // A run's export is named as its journal: by the run's start and the profile
    // it started with, whatever is selected when it is saved.
    control<QPushButton>(*m_form, "TimerToZero")->click();
    const QDateTime started = QDateTime::currentDateTime();
    consoletest::startRunWithoutLink(*m_form);
    m_runGoesOn = true;
    record(1, 2);
    {
        testsupport::ModalWatcher boxes; // the warning a change during a run shows
        auto* combo = control<QComboBox>(*m_form, "ComboBox1");
        combo->setCurrentIndex(3);
        emit combo->activated(3);
    }
    seen = answerSaveDialog("ActionExportData", m_out->filePath(QStringLiteral("run.csv")));
    const QDateTime saved = QDateTime::currentDateTime();
    QVERIFY2(
        seen.offered == record::suggestedFileName(started, 0, profileName, QStringLiteral("csv")) ||
            seen.offered == record::suggestedFileName(saved, 0, profileName, QStringLiteral("csv")),
        qPrintable(seen.offered));
}

void TestRunExport::cancelledSaveDialogWritesNothing() {
    record(1, 2);
    testsupport::ModalWatcher boxes;
    FileDialogAnswerer answerer([&](QFileDialog* dialog) {
        dialog->setDirectory(m_out->path());
        dialog->reject();
    });
    m_form->findChild<QAction*>(QStringLiteral("ActionExportData"))->trigger();
    m_form->findChild<QAction*>(QStringLiteral("ActionSaveChart"))->trigger();
    QCOMPARE(answerer.seen(), 2);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(QDir(m_out->path()).isEmpty());
    QCOMPARE(m_chart->record().size(), qsizetype(1));
}

QTEST_MAIN(TestRunExport)
#include "tst_runexport.moc"
