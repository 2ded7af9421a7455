// SPDX-License-Identifier: GPL-3.0-or-later
// The cursor readout: the second under the pointer, its temperatures and the rates of rise
// before it, in a box that follows the pointer over the plot; and a reference run laid under the
// curves, which the readout and the corner's deviation line read against.
#include "config/AppPaths.h"
#include "config/SettingsFile.h"
#include "console/CursorReadout.h"
#include "console/RecordOptions.h"
#include "console/RunChart.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QValueAxis>

#include <cmath>
#include <future>
#include <limits>
#include <optional>

using consoletest::control;

namespace {

// The known run: the top heater climbs 2 °C/s for 30 s, then falls 3 °C/s; the
// bottom one climbs 1 °C/s. Second 15 is a gap. 40 seconds.
constexpr int kKnownLength = 40;
constexpr int kKnownGap = 15;

std::int32_t knownTop(int second) {
    return second <= 30 ? 100 + 2 * second : 160 - 3 * (second - 30);
}
std::int32_t knownBottom(int second) {
    return 50 + second;
}

record::RunRecord knownRun() {
    record::RunRecord record;
    for (int second = 1; second <= kKnownLength; ++second) {
        if (second == kKnownGap)
            record.appendGap();
        else
            record.append(knownTop(second), knownBottom(second));
    }
    return record;
}

// A rate as the table writes it: a number, or "-" for none.
std::optional<double> rateOf(const QString& text) {
    if (text == QLatin1String("-"))
        return std::nullopt;
    return text.toDouble();
}

// A reference run as the journal writes it: `length` seconds, the s-th at top
// 100 + 2s - s % 3 and bottom 51 + s, second 4 a gap.
std::int32_t referenceTop(int s) {
    return 100 + 2 * s - s % 3;
}
std::int32_t referenceBottom(int s) {
    return 51 + s;
}
constexpr int kReferenceGap = 4;

QByteArray referenceFile(int length) {
    QByteArray text = "# version: 1.0.0.2\n# start: 2026-12-09T10:00:05+03:00\n# profile: 2\n"
                      "# Name: BGA\ntime_s,top_c,bottom_c\n";
    for (int s = 1; s <= length; ++s) {
        text += QByteArray::number(s) + ',';
        if (s == kReferenceGap)
            text += ',';
        else
            text +=
                QByteArray::number(referenceTop(s)) + ',' + QByteArray::number(referenceBottom(s));
        text += '\n';
    }
    return text;
}

QString writeReference(const QString& name, const QByteArray& text) {
    QDir().mkpath(config::runsDirectory());
    const QString path = QDir(config::runsDirectory()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

// Five seconds of a stopped run, then a run whose s-th second reads top 100 + 2s,
// bottom 50 + s: against the reference above, Δ верх is s % 3 and Δ низ is −1.
record::RunRecord twoRuns(int secondRun) {
    record::RunRecord record;
    record.beginRun({});
    for (int i = 0; i < 5; ++i)
        record.append(500, 500);
    record.closeRun({});
    record.beginRun({});
    for (int s = 1; s <= secondRun; ++s)
        record.append(100 + 2 * s, 50 + s);
    return record;
}

// The reference's points as the series should hold them: second s at x origin + s.
QStringList referencePoints(int origin, int fromSecond, int toSecond, std::int32_t (*value)(int)) {
    QStringList points;
    for (int s = fromSecond; s <= toSecond; ++s)
        points << (s == kReferenceGap ? QStringLiteral("%1:gap").arg(origin + s)
                                      : QStringLiteral("%1:%2").arg(origin + s).arg(value(s)));
    return points;
}

} // namespace

class TestCursorReadout : public QObject {
    Q_OBJECT

private slots:
    void readingIsTheSecondUnderThePointer_data();
    void readingIsTheSecondUnderThePointer();
    void textShowsTimeTemperaturesAndRates_data();
    void textShowsTimeTemperaturesAndRates();

    void boxFollowsThePointerOverThePlot();
    void boxGoesWhenThePointerLeaves();
    void boxGoesWhenTheChartMenuOpens();
    void boxReadsTheSecondJustRecordedUnderARestingPointer();

    void readingAgainstTheReference_data();
    void readingAgainstTheReference();
    void textWithTheReference_data();
    void textWithTheReference();
    void referenceLiesUnderTheRunAndIsKept();
    void referenceFollowsEachRunsStart();
    void deviationLineReadsTheNewestSecond();
    void badReferenceChangesNothing_data();
    void badReferenceChangesNothing();
    void keptReferenceLoadsAtStartWithoutABox_data();
    void keptReferenceLoadsAtStartWithoutABox();
    void keptReferenceThatHangsDoesNotHoldTheStart();

private:
    struct Console {
        testsupport::TempAppDir dir;
        std::unique_ptr<TForm1> form;
        console::RunChart* chart = nullptr;
        QLabel* box = nullptr;
    };
    static bool start(Console& console);
    // A pointer move without a button, as the window system sends it.
    static void moveTo(console::RunChart* chart, QPointF at);
    // The viewport point over `second` of run time, halfway up the plot.
    static QPointF pointAt(const console::RunChart* chart, double second);
    // The run time under a viewport point.
    static double secondAt(const console::RunChart* chart, QPointF at);
};

void TestCursorReadout::readingIsTheSecondUnderThePointer_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<qint64>("second");
    QTest::addColumn<bool>("measured");
    QTest::addColumn<QString>("topRate");
    QTest::addColumn<QString>("bottomRate");

    QTest::newRow("on a second") << 12.0 << qint64(12) << true << "2"
                                 << "1";
    QTest::newRow("nearest second below") << 11.4 << qint64(11) << true << "2"
                                          << "1";
    QTest::newRow("nearest second above") << 10.6 << qint64(11) << true << "2"
                                          << "1";
    QTest::newRow("too early for a rate") << 10.0 << qint64(10) << true << "-"
                                          << "-";
    QTest::newRow("first second") << 1.0 << qint64(1) << true << "-"
                                  << "-";
    QTest::newRow("the gap itself") << 15.0 << qint64(15) << false << "-"
                                    << "-";
    QTest::newRow("ten seconds after the gap") << 25.0 << qint64(25) << true << "-"
                                               << "-";
    QTest::newRow("eleven after the gap") << 26.0 << qint64(26) << true << "2"
                                          << "1";
    QTest::newRow("falling") << 40.0 << qint64(40) << true << "-3"
                             << "1";
    QTest::newRow("across the turn") << 35.0 << qint64(35) << true << "-0.5"
                                     << "1";
    QTest::newRow("before the run") << 0.3 << qint64(0) << false << "-"
                                    << "-";
    QTest::newRow("left of the axis") << -30.0 << qint64(0) << false << "-"
                                      << "-";
    QTest::newRow("after the run") << 500.0 << qint64(500) << false << "-"
                                   << "-";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << qint64(0) << false
                                  << "-"
                                  << "-";
}

void TestCursorReadout::readingIsTheSecondUnderThePointer() {
    QFETCH(double, x);
    QFETCH(qint64, second);
    QFETCH(bool, measured);
    QFETCH(QString, topRate);
    QFETCH(QString, bottomRate);

    const console::CursorReading reading = console::readingAt(knownRun(), x);
    QCOMPARE(reading.second, second);
    QCOMPARE(reading.sample.has_value(), measured);
    if (measured) {
        QCOMPARE(reading.sample->top, knownTop(int(second)));
        QCOMPARE(reading.sample->bottom, knownBottom(int(second)));
    }
    QCOMPARE(reading.topRate, rateOf(topRate));
    QCOMPARE(reading.bottomRate, rateOf(bottomRate));
}

void TestCursorReadout::textShowsTimeTemperaturesAndRates_data() {
    QTest::addColumn<qint64>("second");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("topRate");
    QTest::addColumn<QString>("bottomRate");
    QTest::addColumn<QString>("text");

    QTest::newRow("rising") << qint64(312) << "195/123"
                            << "2"
                            << "0.35"
                            << QStringLiteral("00:05:12\nВерх: 195 °C, +2,0 °C/с\n"
                                              "Низ: 123 °C, +0,4 °C/с");
    QTest::newRow("falling and still") << qint64(3725) << "-4/310"
                                       << "-1.25"
                                       << "0.02"
                                       << QStringLiteral("01:02:05\nВерх: -4 °C, -1,3 °C/с\n"
                                                         "Низ: 310 °C, 0,0 °C/с");
    QTest::newRow("gap") << qint64(59) << "-"
                         << "-"
                         << "-"
                         << QStringLiteral("00:00:59\nВерх: — °C, — °C/с\nНиз: — °C, — °C/с");
    QTest::newRow("too early") << qint64(3) << "20/21"
                               << "-"
                               << "-"
                               << QStringLiteral("00:00:03\nВерх: 20 °C, — °C/с\n"
                                                 "Низ: 21 °C, — °C/с");
    // Run time, not the clock's: past a day the hours go on.
    QTest::newRow("past a day") << qint64(90000) << "100/100"
                                << "0"
                                << "0"
                                << QStringLiteral("25:00:00\nВерх: 100 °C, 0,0 °C/с\n"
                                                  "Низ: 100 °C, 0,0 °C/с");
}

void TestCursorReadout::textShowsTimeTemperaturesAndRates() {
    QFETCH(qint64, second);
    QFETCH(QString, sample);
    QFETCH(QString, topRate);
    QFETCH(QString, bottomRate);
    QFETCH(QString, text);

    console::CursorReading reading;
    reading.second = second;
    if (sample != QLatin1String("-")) {
        const QStringList values = sample.split(QLatin1Char('/'));
        reading.sample = record::RunSample{values.at(0).toInt(), values.at(1).toInt()};
    }
    reading.topRate = rateOf(topRate);
    reading.bottomRate = rateOf(bottomRate);
    QCOMPARE(console::readoutText(reading), text);
}

bool TestCursorReadout::start(Console& console) {
    console.dir.writeSettings(consoletest::kFullSettings);
    console.form = consoletest::startConsole();
    if (!console.form)
        return false;
    console.chart = control<console::RunChart>(*console.form, "Chart1");
    console.box = console.chart ? console.chart->cursorReadout() : nullptr;
    return console.box && !console.box->isVisible();
}

void TestCursorReadout::moveTo(console::RunChart* chart, QPointF at) {
    QWidget* surface = chart->viewport();
    QMouseEvent move(QEvent::MouseMove, at, surface->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
}

QPointF TestCursorReadout::pointAt(const console::RunChart* chart, double second) {
    const QRectF plot = chart->chart()->plotArea();
    const double min = chart->timeAxis()->min();
    const double max = chart->timeAxis()->max();
    return {plot.left() + (second - min) / (max - min) * plot.width(), plot.center().y()};
}

double TestCursorReadout::secondAt(const console::RunChart* chart, QPointF at) {
    const QRectF plot = chart->chart()->plotArea();
    const double min = chart->timeAxis()->min();
    const double max = chart->timeAxis()->max();
    return min + (at.x() - plot.left()) / plot.width() * (max - min);
}

void TestCursorReadout::boxFollowsThePointerOverThePlot() {
    Console console;
    QVERIFY(start(console));
    for (int second = 1; second <= 1200; ++second)
        console.chart->appendSample(knownTop(second % 60), knownBottom(second % 60));
    const record::RunRecord& record = console.chart->record();

    // Mouse tracking brings moves without a button to the chart.
    QVERIFY(console.chart->viewport()->hasMouseTracking());
    QTest::mouseMove(console.chart->viewport(), pointAt(console.chart, 300).toPoint());
    QTRY_VERIFY(console.box->isVisible());

    for (const double second : {100.0, 450.0, 899.0}) {
        const QPointF at = pointAt(console.chart, second);
        moveTo(console.chart, at);
        QVERIFY(console.box->isVisible());
        QCOMPARE(console.box->text(),
                 console::readoutText(console::readingAt(record, std::round(second))));
        // Beside the pointer, not under it, and inside the chart.
        const QRect box = console.box->geometry();
        QVERIFY(!box.contains(at.toPoint()));
        QVERIFY((box.center() - at.toPoint()).manhattanLength() < 3 * box.width());
        QVERIFY2(console.chart->viewport()->rect().contains(box),
                 qPrintable(QString::number(second)));
    }

    // Panned along the run, the box reads the seconds the window now shows, even
    // before the pointer moves again.
    const QPointF resting = pointAt(console.chart, 200);
    moveTo(console.chart, resting);
    console.chart->timeAxis()->setRange(1000, 1900);
    QCOMPARE(console.box->text(),
             console::readoutText(console::readingAt(record, secondAt(console.chart, resting))));
    QVERIFY(std::abs(secondAt(console.chart, resting) - 1200) < 3);
    moveTo(console.chart, pointAt(console.chart, 1100));
    QCOMPARE(console.box->text(), console::readoutText(console::readingAt(record, 1100)));

    // Off the plot (over the axis titles) the box goes.
    const QRectF plot = console.chart->chart()->plotArea();
    moveTo(console.chart, QPointF(plot.left() - 20, plot.center().y()));
    QVERIFY(!console.box->isVisible());
    moveTo(console.chart, QPointF(plot.center().x(), plot.bottom() + 15));
    QVERIFY(!console.box->isVisible());
}

void TestCursorReadout::boxGoesWhenThePointerLeaves() {
    Console console;
    QVERIFY(start(console));
    console.chart->appendSample(100, 50);
    moveTo(console.chart, pointAt(console.chart, 1));
    QVERIFY(console.box->isVisible());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(console.chart->viewport(), &leave);
    QVERIFY(!console.box->isVisible());
    // New seconds do not bring it back while the pointer is away.
    console.chart->appendSample(101, 51);
    QVERIFY(!console.box->isVisible());
}

// The chart's menu opens where the pointer rests: the box would stay over it.
void TestCursorReadout::boxGoesWhenTheChartMenuOpens() {
    Console console;
    QVERIFY(start(console));
    console.chart->appendSample(100, 50);
    const QPointF at = pointAt(console.chart, 1);
    moveTo(console.chart, at);
    QVERIFY(console.box->isVisible());

    QWidget* surface = console.chart->viewport();
    QContextMenuEvent request(QContextMenuEvent::Mouse, at.toPoint(),
                              surface->mapToGlobal(at.toPoint()));
    QApplication::sendEvent(surface, &request);
    auto* menu = console.form->findChild<QMenu*>(QStringLiteral("ChartMenu"));
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(!console.box->isVisible());
    console.chart->appendSample(101, 51);
    QVERIFY(!console.box->isVisible());
    menu->close();
}

void TestCursorReadout::boxReadsTheSecondJustRecordedUnderARestingPointer() {
    Console console;
    QVERIFY(start(console));
    for (int second = 1; second <= 12; ++second)
        console.chart->appendSample(knownTop(second), knownBottom(second));
    moveTo(console.chart, pointAt(console.chart, 14));
    QCOMPARE(console.box->text(),
             QStringLiteral("00:00:14\nВерх: — °C, — °C/с\nНиз: — °C, — °C/с"));

    console.chart->appendSample(knownTop(13), knownBottom(13));
    console.chart->appendSample(knownTop(14), knownBottom(14));
    QCOMPARE(console.box->text(),
             QStringLiteral("00:00:14\nВерх: 128 °C, +2,0 °C/с\nНиз: 64 °C, +1,0 °C/с"));

    // "<0>" empties the run under it.
    console.chart->clearSamples();
    QCOMPARE(console.box->text(),
             QStringLiteral("00:00:14\nВерх: — °C, — °C/с\nНиз: — °C, — °C/с"));
}

void TestCursorReadout::readingAgainstTheReference_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("reference"); // "top/bottom" or "-"
    QTest::addColumn<QString>("deviation");
    // The second run starts at x 6: its second s lies at x 5 + s.
    QTest::newRow("the stopped run before") << 3.0 << "-" << QStringLiteral("Δ верх —  Δ низ —");
    QTest::newRow("the run's first second")
        << 6.0 << "101/52" << QStringLiteral("Δ верх +1 °C  Δ низ −1 °C");
    QTest::newRow("no deviation on the top")
        << 8.0 << "106/54" << QStringLiteral("Δ верх 0 °C  Δ низ −1 °C");
    QTest::newRow("a gap in the reference") << 9.0 << "-" << QStringLiteral("Δ верх —  Δ низ —");
    QTest::newRow("the run's last second")
        << 11.8 << "113/58" << QStringLiteral("Δ верх +1 °C  Δ низ −1 °C");
    QTest::newRow("past the run, within the reference")
        << 13.0 << "114/59" << QStringLiteral("Δ верх —  Δ низ —");
    QTest::newRow("past the reference") << 14.0 << "-" << QStringLiteral("Δ верх —  Δ низ —");
    QTest::newRow("before any second") << 0.0 << "-" << QStringLiteral("Δ верх —  Δ низ —");
}

void TestCursorReadout::readingAgainstTheReference() {
    QFETCH(double, x);
    QFETCH(QString, reference);
    QFETCH(QString, deviation);
    const record::ReferenceLoad load = record::parseReferenceRun(referenceFile(8));
    QVERIFY(load.run);
    // The run has 7 seconds (x 6..12); the reference 8 (x 6..13).
    const console::CursorReading reading = console::readingAt(twoRuns(7), x, load.run.get());
    QVERIFY(reading.withReference);
    if (reference == QLatin1String("-")) {
        QVERIFY(!reading.reference);
    } else {
        const QStringList values = reference.split(QLatin1Char('/'));
        QCOMPARE(reading.reference,
                 (record::RunSample{values.at(0).toInt(), values.at(1).toInt()}));
    }
    QCOMPARE(record::deviationText(reading.deviation), deviation);
    QVERIFY(!console::readingAt(twoRuns(7), x).withReference);
}

void TestCursorReadout::textWithTheReference_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<record::Deviation>("deviation");
    QTest::addColumn<QString>("text");
    const QString head = QStringLiteral("00:00:07\nВерх: 104 °C, — °C/с\nНиз: 52 °C, — °C/с\n");
    QTest::newRow("both") << "101/55" << record::Deviation{3, -3}
                          << head + QStringLiteral("Эталон: верх 101 °C, низ 55 °C\n"
                                                   "Δ верх +3 °C  Δ низ −3 °C");
    QTest::newRow("reference gap") << "-" << record::Deviation{}
                                   << head + QStringLiteral("Эталон: верх —, низ —\n"
                                                            "Δ верх —  Δ низ —");
}

void TestCursorReadout::textWithTheReference() {
    QFETCH(QString, reference);
    QFETCH(record::Deviation, deviation);
    QFETCH(QString, text);
    console::CursorReading reading;
    reading.second = 7;
    reading.sample = record::RunSample{104, 52};
    reading.withReference = true;
    if (reference != QLatin1String("-")) {
        const QStringList values = reference.split(QLatin1Char('/'));
        reading.reference = record::RunSample{values.at(0).toInt(), values.at(1).toInt()};
    }
    reading.deviation = deviation;
    QCOMPARE(console::readoutText(reading), text);
}

// Chosen from the menu's command: laid under the curves over the window only,
// named in the corner, kept in the settings, read by the cursor, and gone with
// "Убрать эталон". Deleted on the disk, it stays until the next load.
void TestCursorReadout::referenceLiesUnderTheRunAndIsKept() {
    Console console;
    QVERIFY(start(console));
    const QString path = writeReference(QStringLiteral("эталон №1.csv"), referenceFile(1200));
    QVERIFY(!path.isEmpty());
    QLineSeries* top = console.chart->referenceTopSeries();
    QLineSeries* bottom = console.chart->referenceBottomSeries();
    QVERIFY(!top->isVisible());

    QVERIFY(console.form->chooseReference(path));
    QCOMPARE(console::readReferencePath(config::SettingsFile()), path);
    QVERIFY(top->isVisible() && bottom->isVisible());
    QCOMPARE(console.chart->referenceNote()->text(),
             QStringLiteral("Эталон: профиль 2 «BGA», 09.12.2026 10:00"));
    QVERIFY(console.chart->referenceNote()->isVisible());
    // No run yet: the reference lies where a start would begin, and only the
    // window's part of it (0..900 s, one more on the right) is in the series.
    QCOMPARE(consoletest::curveText(top), referencePoints(0, 1, 901, referenceTop));
    QCOMPARE(consoletest::curveText(bottom), referencePoints(0, 1, 901, referenceBottom));
    // Dash-dotted, not the targets' dashes.
    QCOMPARE(top->pen().style(), Qt::DashDotLine);

    console.chart->timeAxis()->setRange(1000, 1900);
    // One second before the window's left edge, as the curves.
    QCOMPARE(consoletest::curveText(top), referencePoints(0, 999, 1200, referenceTop));

    // The file goes away: what was loaded stays.
    QVERIFY(QFile::remove(path));
    console.chart->timeAxis()->setRange(0, 900);
    QCOMPARE(consoletest::curveText(bottom), referencePoints(0, 1, 901, referenceBottom));
    console.chart->beginRun({});
    console.chart->appendSample(104, 50);
    moveTo(console.chart, pointAt(console.chart, 1));
    QVERIFY(console.box->text().endsWith(
        QStringLiteral("Эталон: верх 101 °C, низ 52 °C\nΔ верх +3 °C  Δ низ −2 °C")));

    QVERIFY(console.form->dropReference());
    QCOMPARE(console::readReferencePath(config::SettingsFile()), QString());
    QVERIFY(!top->isVisible() && !bottom->isVisible());
    QVERIFY(!console.chart->referenceNote()->isVisible());
    QVERIFY(!console.chart->deviationLine()->isVisible());
    QVERIFY(!console.box->text().contains(QStringLiteral("Эталон")));
}

// A run stopped and started again: the next run's first second is the
// reference's second 1; "<0>" brings it back to the record's start.
void TestCursorReadout::referenceFollowsEachRunsStart() {
    Console console;
    QVERIFY(start(console));
    const QString path = writeReference(QStringLiteral("ref.csv"), referenceFile(20));
    QVERIFY(console.form->chooseReference(path));
    QLineSeries* top = console.chart->referenceTopSeries();

    console.chart->beginRun({});
    for (int s = 1; s <= 7; ++s)
        console.chart->appendSample(200, 100);
    QCOMPARE(consoletest::curveText(top), referencePoints(0, 1, 20, referenceTop));
    console.chart->closeRun({});
    // Until the next run begins, the finished one keeps it.
    QCOMPARE(consoletest::curveText(top), referencePoints(0, 1, 20, referenceTop));
    console.chart->beginRun({});
    QCOMPARE(consoletest::curveText(top), referencePoints(7, 1, 20, referenceTop));
    console.chart->appendSample(102, 51);
    QCOMPARE(console.chart->deviationLine()->text(), QStringLiteral("Δ верх +1 °C  Δ низ −1 °C"));
    console.chart->clearSamples();
    QCOMPARE(consoletest::curveText(top), referencePoints(0, 1, 20, referenceTop));
}

// The deviation line beside the verdict: the newest second against the
// reference's same second, red past the tolerance, "—" where a side has none.
void TestCursorReadout::deviationLineReadsTheNewestSecond() {
    Console console;
    QVERIFY(start(console));
    QVERIFY(
        console.form->chooseReference(writeReference(QStringLiteral("ref.csv"), referenceFile(6))));
    QLabel* line = console.chart->deviationLine();
    QVERIFY(line->isVisible());
    QCOMPARE(line->text(), QStringLiteral("Δ верх —  Δ низ —"));
    console.chart->setTolerance(5);

    struct Second {
        std::optional<record::RunSample> live;
        QString text;
        bool red;
    };
    // Reference: s1 101/52, s2 102/53, s3 106/54, s4 gap, s5 108/56, s6 112/57.
    const Second seconds[] = {
        {record::RunSample{104, 49}, QStringLiteral("Δ верх +3 °C  Δ низ −3 °C"), false},
        {record::RunSample{110, 53}, QStringLiteral("Δ верх +8 °C  Δ низ 0 °C"), true},
        {std::nullopt, QStringLiteral("Δ верх —  Δ низ —"), false},
        {record::RunSample{130, 10}, QStringLiteral("Δ верх —  Δ низ —"), false},
        {record::RunSample{109, 51}, QStringLiteral("Δ верх +1 °C  Δ низ −5 °C"), false},
        {record::RunSample{112, 67}, QStringLiteral("Δ верх 0 °C  Δ низ +10 °C"), true},
        {record::RunSample{300, 300}, QStringLiteral("Δ верх —  Δ низ —"), false},
    };
    console.chart->beginRun({});
    for (const Second& second : seconds) {
        if (second.live)
            console.chart->appendSample(second.live->top, second.live->bottom);
        else
            console.chart->appendGap();
        QCOMPARE(line->text(), second.text);
        QCOMPARE(line->styleSheet().contains(QStringLiteral("#c80000")), second.red);
    }
    // A wider tolerance from the run's limits takes the red away.
    console.chart->appendGap();
    console.chart->clearSamples();
    console.chart->beginRun({});
    console.chart->appendSample(107, 52);
    QCOMPARE(line->text(), QStringLiteral("Δ верх +6 °C  Δ низ 0 °C"));
    QVERIFY(line->styleSheet().contains(QStringLiteral("#c80000")));
    console.chart->setTolerance(6);
    QVERIFY(!line->styleSheet().contains(QStringLiteral("#c80000")));
    // Beside the verdict: in the plot's top right corner, clear of the name's.
    const QRect plot = console.chart->chart()->plotArea().toRect();
    QVERIFY(line->geometry().right() <= plot.right());
    QVERIFY(line->geometry().left() > console.chart->referenceNote()->geometry().right());

    // With the run's verdict shown, the line goes under it, clear of it.
    const std::optional<record::RunAssessment> assessment = record::assessLastRun(
        console.chart->record(), record::RunLimits{}, console.chart->reference());
    QVERIFY(assessment);
    console.chart->showVerdict(*assessment);
    QLabel* verdict = console.chart->verdictLine();
    QVERIFY(verdict->isVisible());
    QVERIFY(!verdict->geometry().intersects(line->geometry()));
    QVERIFY(line->geometry().top() > verdict->geometry().bottom());
    QVERIFY(line->geometry().right() <= plot.right());
    // Kept among the test artefacts for a look.
    console.chart->grab().save(
        QDir(testsupport::artifactsDir()).filePath(QStringLiteral("reference-chart.png")));
}

void TestCursorReadout::badReferenceChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size"); // a sparse file of this size instead of the text
    QTest::addColumn<QString>("reason");
    QTest::newRow("garbage cell") << QStringLiteral("bad.csv")
                                  << QByteArray("time_s,top_c,bottom_c\n1,100,50\n2,1x2,51\n")
                                  << qint64(0)
                                  << QStringLiteral("строка 3: температура верха «1x2» — не "
                                                    "целое число");
    QTest::newRow("a picture") << QStringLiteral("chart.png")
                               << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << qint64(0)
                               << QStringLiteral("строка 3: двоичные данные, а не таблица прогона");
    QTest::newRow("100 MB") << QStringLiteral("huge.csv") << QByteArray()
                            << qint64(100) * 1024 * 1024
                            << QStringLiteral("файл больше 16 МБ (100 МБ)");
    QTest::newRow("gone") << QStringLiteral("gone.csv") << QByteArray() << qint64(-1)
                          << QStringLiteral("файла нет");
}

// A file that does not load: one box naming it and why; the reference shown,
// the kept key and the run going on stay as they were.
void TestCursorReadout::badReferenceChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QFETCH(QString, reason);
    Console console;
    QVERIFY(start(console));
    const QString good = writeReference(QStringLiteral("good.csv"), referenceFile(30));
    QVERIFY(console.form->chooseReference(good));
    for (int s = 1; s <= 3; ++s)
        console.chart->appendSample(100 + s, 50 + s);
    const QStringList shown = consoletest::curveText(console.chart->referenceTopSeries());
    const std::optional<QByteArray> settings = console.dir.readSettings();

    const QString path = QDir(config::runsDirectory()).filePath(name);
    if (size > 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
    } else if (size == 0) {
        QVERIFY(!writeReference(name, text).isEmpty());
    }
    testsupport::ModalWatcher boxes;
    QVERIFY(!console.form->chooseReference(path));
    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("Эталон не загружен: %1 — %2.").arg(path, reason)});
    QCOMPARE(console.dir.readSettings(), settings);
    QCOMPARE(console.chart->reference()->path, good);
    QCOMPARE(consoletest::curveText(console.chart->referenceTopSeries()), shown);
    QCOMPARE(console.chart->record().size(), qsizetype(3));
}

void TestCursorReadout::keptReferenceLoadsAtStartWithoutABox_data() {
    QTest::addColumn<QString>("kept"); // "good": a file that loads
    QTest::addColumn<QString>("note");
    QTest::newRow("loads") << "good" << QStringLiteral("Эталон: профиль 2 «BGA», 09.12.2026 10:00");
    QTest::newRow("a network folder gone")
        << "/nonexistent-share/runs/run.csv"
        << QStringLiteral("Эталон не загружен: run.csv — файла нет");
    QTest::newRow("a folder") << "/tmp" << QStringLiteral("Эталон не загружен: tmp — это не файл");
}

void TestCursorReadout::keptReferenceLoadsAtStartWithoutABox() {
    QFETCH(QString, kept);
    QFETCH(QString, note);
    Console console;
    const QString path = kept == QLatin1String("good")
                             ? writeReference(QStringLiteral("good.csv"), referenceFile(10))
                             : kept;
    console.dir.writeSettings(consoletest::kFullSettings +
                              "\r\n[Record]\r\nReference=" + path.toLatin1() + "\r\n");
    testsupport::ModalWatcher boxes;
    console.form = consoletest::startConsole();
    QVERIFY(console.form);
    console.chart = control<console::RunChart>(*console.form, "Chart1");
    QTRY_COMPARE(console.chart->referenceNote()->text(), note);
    QVERIFY(console.chart->referenceNote()->isVisible());
    QCOMPARE(bool(console.chart->reference()), kept == QLatin1String("good"));
    QCOMPARE(console.chart->referenceTopSeries()->isVisible(), kept == QLatin1String("good"));
    QVERIFY(boxes.boxes().isEmpty());
    // The key stays: the folder may come back.
    QCOMPARE(console::readReferencePath(config::SettingsFile()), path);
}

// A kept path on a network folder that does not answer: the window starts and
// runs while the load waits, says so in the corner, and takes the reference
// when the load comes back.
void TestCursorReadout::keptReferenceThatHangsDoesNotHoldTheStart() {
    Console console;
    console.dir.writeSettings(consoletest::kFullSettings +
                              "\r\n[Record]\r\nReference=/mnt/share/runs/run.csv\r\n");
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    console.form = std::make_unique<TForm1>();
    console.form->setReferenceLoader([released](const QString&) {
        released.wait();
        return record::parseReferenceRun(referenceFile(10));
    });
    console.form->show();
    auto* works = control<QLabel>(*console.form, "Works");
    QTRY_VERIFY(!works->text().isEmpty()); // the start-up initialisation has run
    console.chart = control<console::RunChart>(*console.form, "Chart1");
    QCOMPARE(console.chart->referenceNote()->text(), QStringLiteral("Эталон загружается: run.csv"));
    // The window goes on: the chart takes a run's seconds.
    console.chart->beginRun({});
    console.chart->appendSample(104, 50);
    QVERIFY(!console.chart->reference());

    release->set_value();
    QTRY_VERIFY(console.chart->reference());
    QCOMPARE(console.chart->referenceNote()->text(),
             QStringLiteral("Эталон: профиль 2 «BGA», 09.12.2026 10:00"));
    QCOMPARE(console.chart->deviationLine()->text(), QStringLiteral("Δ верх +3 °C  Δ низ −2 °C"));
}

QTEST_MAIN(TestCursorReadout)
#include "tst_cursorreadout.moc"
