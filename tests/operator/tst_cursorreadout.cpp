// SPDX-License-Identifier: GPL-3.0-or-later
// The cursor readout: the second under the pointer, its temperatures and the rates of rise
// before it, in a box that follows the pointer over the plot.
#include "console/CursorReadout.h"
#include "console/RunChart.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/TestDirs.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QValueAxis>

#include <cmath>
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

QTEST_MAIN(TestCursorReadout)
#include "tst_cursorreadout.moc"
