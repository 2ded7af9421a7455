// SPDX-License-Identifier: GPL-3.0-or-later
// The run clock and the temperature chart: ticks driven directly on a clock the
// test moves (no link here, so every second records a gap), the chart fed with
// readings and gaps, resets, runs that stop and go on, a held thread, the chart's
// fixed configuration and horizontal panning.
#include "console/RunChart.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QChart>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <optional>

using console::RunChart;
using consoletest::control;
using consoletest::curveText;
using consoletest::isBlue;
using consoletest::isRed;

namespace {

constexpr int kSecondsPerDay = 86400;

// Readouts that differ from tick to tick, so every sample can be told apart.
int topAt(int second) {
    return second % 301;
}
int bottomAt(int second) {
    return (second * 7) % 251;
}

bool noGap(int) {
    return false;
}
// A station that misses every tenth second.
bool everyTenthMissed(int second) {
    return second % 10 == 0;
}

// The curve the series should hold for the window [min, max] of a run recorded up
// to `last`: every second inside it and one on each side, a gap where `missed`.
QStringList expectedCurve(qint64 last, double min, double max, int (*value)(int),
                          bool (*missed)(int) = noGap) {
    QStringList curve;
    for (qint64 second = 1; second <= last; ++second)
        if (second >= std::ceil(min) - 1 && second <= std::floor(max) + 1)
            curve << QString::number(second) + QLatin1Char(':') +
                         (missed(int(second)) ? QStringLiteral("gap")
                                              : QString::number(value(int(second))));
    return curve;
}

// Whether any pixel of the plot's column at `second` has the colour, between
// `fromDegrees` and `toDegrees`.
bool colourInColumn(const QImage& image, const QRectF& plot, double second, double fromDegrees,
                    double toDegrees, bool (*colour)(QRgb)) {
    const int x = int(plot.left() + second / RunChart::kSecondsShown * plot.width());
    const auto yOf = [&](double degrees) {
        return int(plot.bottom() - degrees / RunChart::kDegreesShown * plot.height());
    };
    for (int y = yOf(toDegrees); y <= yOf(fromDegrees); ++y)
        if (image.valid(x, y) && colour(image.pixel(x, y)))
            return true;
    return false;
}

} // namespace

class TestRunClock : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstReadingAfterResetPlotsAtSecondOne();
    void tickWithoutAReadingRecordsAGap_data();
    void tickWithoutAReadingRecordsAGap();
    void gapsBreakTheLinesWhereNoReadingWas_data();
    void gapsBreakTheLinesWhereNoReadingWas();
    void gapShowsOnTheScreen();
    void clockAfterTicks_data();
    void clockAfterTicks();
    void dayLongRunKeepsEverySecondAndShowsTheWindow();
    void stopThenStartResumesTheCount();
    void resetEmptiesTheChartAndLeavesTheTimer_data();
    void resetEmptiesTheChartAndLeavesTheTimer();
    void runningClockTicksOnItsOwn();
    void heldThreadLosesNoSecond_data();
    void heldThreadLosesNoSecond();
    void tickPeriodIsOneSecondOfTheClock();
    void chartIsConfiguredAsDesigned();
    void arrowKeysPanAlongTimeOnly();
    void mouseDragPansAlongTimeOnly();

private:
    // A second of the console's own run clock; with no link here no answer comes,
    // so each one records a gap.
    void tick() { consoletest::tickOneSecond(*m_form, *m_clock); }
    void startRun() { consoletest::startRunWithoutLink(*m_form); }
    // Runs ticks until the clock has counted `last` seconds.
    void tickUpTo(int last);
    // What the chart gets from a tick at which a reading is current.
    void record(int top, int bottom) { m_chart->appendSample(top, bottom); }
    // Feeds the chart up to second `last` with topAt/bottomAt, a gap where `missed`.
    void recordUpTo(int last, bool (*missed)(int) = noGap);
    QString clock() const { return control<QLabel>(*m_form, "FTimer")->text(); }

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form;
    std::optional<consoletest::HandClock> m_clock;
    RunChart* m_chart = nullptr;
    QLineSeries* m_top = nullptr;
    QLineSeries* m_bottom = nullptr;
    QLabel* m_up = nullptr;
    QLabel* m_down = nullptr;
};

void TestRunClock::init() {
    m_dir.emplace();
    m_form = consoletest::startConsole();
    QVERIFY(m_form);
    m_clock.emplace(*m_form);
    m_chart = control<RunChart>(*m_form, "Chart1");
    m_top = control<QLineSeries>(*m_form, "Series1");
    m_bottom = control<QLineSeries>(*m_form, "Series2");
    m_up = control<QLabel>(*m_form, "INTemperatureUP");
    m_down = control<QLabel>(*m_form, "INTemperatureDown");
    QVERIFY(m_chart && m_top && m_bottom && m_up && m_down);
    QCOMPARE(m_chart->topSeries(), m_top);
    QCOMPARE(m_chart->bottomSeries(), m_bottom);
}

void TestRunClock::cleanup() {
    m_clock.reset();
    m_form.reset();
    m_dir.reset();
}

void TestRunClock::tickUpTo(int last) {
    while (m_form->TGrafikY < last)
        tick();
}

void TestRunClock::recordUpTo(int last, bool (*missed)(int)) {
    for (int second = int(m_chart->record().size()) + 1; second <= last; ++second) {
        if (missed(second))
            m_chart->appendGap();
        else
            record(topAt(second), bottomAt(second));
    }
}

void TestRunClock::firstReadingAfterResetPlotsAtSecondOne() {
    record(195, 123);
    QCOMPARE(curveText(m_top), QStringList{"1:195"});
    QCOMPARE(curveText(m_bottom), QStringList{"1:123"});
    QCOMPARE(m_chart->record().sample(0), (record::RunSample{195, 123}));

    // The next reading adds one point to each series at the next second.
    record(-4, 310);
    QCOMPARE(curveText(m_top), (QStringList{"1:195", "2:-4"}));
    QCOMPARE(curveText(m_bottom), (QStringList{"1:123", "2:310"}));
}

// Whatever the readouts show when no reading is current (the last reading, the "0"
// of a closed link, the dash of a silent station, or no number at all), the tick
// records a gap and the clock counts the second.
void TestRunClock::tickWithoutAReadingRecordsAGap_data() {
    QTest::addColumn<QString>("up");
    QTest::addColumn<QString>("down");
    QTest::newRow("stale reading") << "195"
                                   << "123";
    QTest::newRow("closed link") << "0"
                                 << "0";
    QTest::newRow("silent station") << QStringLiteral("—") << QStringLiteral("—");
    QTest::newRow("no number") << "abc" << QString();
}

void TestRunClock::tickWithoutAReadingRecordsAGap() {
    QFETCH(QString, up);
    QFETCH(QString, down);

    testsupport::ModalWatcher watcher;
    startRun();
    m_up->setText(up);
    m_down->setText(down);
    tick();
    tick();
    QCOMPARE(clock(), QStringLiteral("00:00:02"));
    QCOMPARE(m_form->TGrafikY, 2);
    QCOMPARE(m_form->TGrafikX, 0);
    QCOMPARE(m_form->TGrafikX1, 0);
    QCOMPARE(m_chart->record().samples(), (std::vector<record::RunSecond>{{}, {}}));
    QCOMPARE(curveText(m_top), (QStringList{"1:gap", "2:gap"}));
    QCOMPARE(curveText(m_bottom), (QStringList{"1:gap", "2:gap"}));

    // The next reading starts the line again at the next second.
    record(150, 90);
    QCOMPARE(curveText(m_top), (QStringList{"1:gap", "2:gap", "3:150"}));
    QCOMPARE(curveText(m_bottom), (QStringList{"1:gap", "2:gap", "3:90"}));
    QTest::qWait(50); // a box would have been seen by now
    QVERIFY(watcher.boxes().isEmpty());
}

// Readings (R) and gaps (-) second by second: the record keeps each as it came,
// the series hold a point without a value at each gap, also after the window
// has been panned away and back (the series rebuilt from the record).
void TestRunClock::gapsBreakTheLinesWhereNoReadingWas_data() {
    QTest::addColumn<QString>("pattern");
    QTest::newRow("readings only") << "RRRR";
    QTest::newRow("one gap between readings") << "RR-RR";
    QTest::newRow("gap first") << "-RRR";
    QTest::newRow("gap last") << "RRR-";
    QTest::newRow("gaps in a row") << "RR---RR";
    QTest::newRow("reading between gaps") << "-R-R-";
    QTest::newRow("only gaps") << "---";
    QTest::newRow("every tenth second") << QStringLiteral("RRRRRRRRR-").repeated(5);
}

void TestRunClock::gapsBreakTheLinesWhereNoReadingWas() {
    QFETCH(QString, pattern);

    QStringList top;
    QStringList bottom;
    std::vector<record::RunSecond> seconds;
    for (int second = 1; second <= pattern.size(); ++second) {
        const QString x = QString::number(second) + QLatin1Char(':');
        if (pattern[second - 1] == QLatin1Char('-')) {
            m_chart->appendGap();
            top << x + "gap";
            bottom << x + "gap";
            seconds.push_back(std::nullopt);
        } else {
            record(topAt(second), bottomAt(second));
            top << x + QString::number(topAt(second));
            bottom << x + QString::number(bottomAt(second));
            seconds.push_back(record::RunSample{topAt(second), bottomAt(second)});
        }
        QCOMPARE(curveText(m_top), top);
        QCOMPARE(curveText(m_bottom), bottom);
    }
    QCOMPARE(m_chart->record().samples(), seconds);

    m_chart->timeAxis()->setRange(1000, 1900);
    QVERIFY(m_top->points().isEmpty());
    m_chart->timeAxis()->setRange(0, RunChart::kSecondsShown);
    QCOMPARE(curveText(m_top), top);
    QCOMPARE(curveText(m_bottom), bottom);
}

// What the operator sees: ten minutes at 200 °C on top and 100 °C below with the
// station silent from second 301 to 400: no line of either colour across those
// seconds, and the lines on both sides of them.
void TestRunClock::gapShowsOnTheScreen() {
    for (int second = 1; second <= 600; ++second) {
        if (second > 300 && second <= 400)
            m_chart->appendGap();
        else
            record(200, 100);
    }
    QWidget* surface = m_chart->viewport();
    const QRectF plot = m_chart->chart()->plotArea();
    QImage image;
    // The chart draws its lines from the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(
        (image = surface->grab().toImage(), colourInColumn(image, plot, 200, 190, 210, isRed)),
        5000);
    for (const double second : {100.0, 299.0, 402.0, 550.0}) {
        QVERIFY2(colourInColumn(image, plot, second, 190, 210, isRed),
                 qPrintable(QString::number(second)));
        QVERIFY2(colourInColumn(image, plot, second, 90, 110, isBlue),
                 qPrintable(QString::number(second)));
    }
    for (const double second : {302.0, 350.0, 399.0}) {
        QVERIFY2(!colourInColumn(image, plot, second, 0, 300, isRed),
                 qPrintable(QString::number(second)));
        QVERIFY2(!colourInColumn(image, plot, second, 0, 300, isBlue),
                 qPrintable(QString::number(second)));
    }
}

void TestRunClock::clockAfterTicks_data() {
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("leadingZeros"); // THoursL, TMinutesL, TSecundesL

    QTest::newRow("9") << 9 << "00:00:09"
                       << "000";
    QTest::newRow("10") << 10 << "00:00:10"
                        << "00-";
    QTest::newRow("59") << 59 << "00:00:59"
                        << "00-";
    QTest::newRow("60") << 60 << "00:01:00"
                        << "000";
    QTest::newRow("61") << 61 << "00:01:01"
                        << "000";
    QTest::newRow("600") << 600 << "00:10:00"
                         << "0-0";
    QTest::newRow("3599") << 3599 << "00:59:59"
                          << "0--";
    QTest::newRow("3600") << 3600 << "01:00:00"
                          << "000";
    QTest::newRow("3661") << 3661 << "01:01:01"
                          << "000";
    QTest::newRow("36000") << 36000 << "10:00:00"
                           << "-00";
    QTest::newRow("86399") << 86399 << "23:59:59"
                           << "---";
    QTest::newRow("86400 wraps") << 86400 << "00:00:00"
                                 << "000";
    QTest::newRow("86401") << 86401 << "00:00:01"
                           << "000";
}

void TestRunClock::clockAfterTicks() {
    QFETCH(int, ticks);
    QFETCH(QString, shown);
    QFETCH(QString, leadingZeros);

    startRun();
    tickUpTo(ticks);
    QCOMPARE(clock(), shown);
    const auto zeroOrEmpty = [](QChar mark) {
        return mark == QLatin1Char('0') ? QStringLiteral("0") : QString();
    };
    QCOMPARE(m_form->THoursL, zeroOrEmpty(leadingZeros[0]));
    QCOMPARE(m_form->TMinutesL, zeroOrEmpty(leadingZeros[1]));
    QCOMPARE(m_form->TSecundesL, zeroOrEmpty(leadingZeros[2]));
    // The x values count on through the day's wrap; without a link each second is a gap.
    QCOMPARE(m_form->TGrafikY, ticks);
    const std::vector<record::RunSecond>& seconds = m_chart->record().samples();
    QCOMPARE(qsizetype(seconds.size()), qsizetype(ticks));
    QVERIFY(std::none_of(seconds.cbegin(), seconds.cend(),
                         [](const record::RunSecond& second) { return second.has_value(); }));
}

// A day with a gap every tenth second.
void TestRunClock::dayLongRunKeepsEverySecondAndShowsTheWindow() {
    recordUpTo(kSecondsPerDay, everyTenthMissed);

    const record::RunRecord& kept = m_form->runRecord();
    QCOMPARE(&kept, &m_chart->record());
    QCOMPARE(kept.size(), qsizetype(kSecondsPerDay));
    for (qsizetype index = 0; index < kept.size(); ++index) {
        const int second = int(record::RunRecord::secondOf(index));
        const record::RunSecond entry = kept.sample(index);
        if (everyTenthMissed(second) ? entry.has_value()
                                     : entry != record::RunSample{topAt(second), bottomAt(second)})
            QFAIL(qPrintable(QStringLiteral("second %1 is wrong").arg(second)));
    }
    QCOMPARE(record::RunRecord::secondOf(kept.size() - 1), qint64(kSecondsPerDay));

    // The window still shows the first 900 s: the series hold what it needs, not the day.
    QCOMPARE(m_chart->timeAxis()->min(), 0.0);
    QCOMPARE(m_chart->timeAxis()->max(), 900.0);
    QCOMPARE(curveText(m_top), expectedCurve(kSecondsPerDay, 0, 900, topAt, everyTenthMissed));
    QCOMPARE(curveText(m_bottom),
             expectedCurve(kSecondsPerDay, 0, 900, bottomAt, everyTenthMissed));

    // Panned to the end of the day, the newest points are there, both at x = 86400.
    m_chart->timeAxis()->setRange(kSecondsPerDay - 850, kSecondsPerDay + 50);
    QCOMPARE(curveText(m_top).last(), QStringLiteral("86400:gap"));
    QCOMPARE(curveText(m_bottom).last(), QStringLiteral("86400:gap"));
    QCOMPARE(curveText(m_top), expectedCurve(kSecondsPerDay, kSecondsPerDay - 850,
                                             kSecondsPerDay + 50, topAt, everyTenthMissed));

    // While the newest second is in the window, each reading and each gap comes in.
    record(77, 88);
    QCOMPARE(curveText(m_top).last(), QStringLiteral("86401:77"));
    QCOMPARE(curveText(m_bottom).last(), QStringLiteral("86401:88"));
    m_chart->appendGap();
    QCOMPARE(curveText(m_top).last(), QStringLiteral("86402:gap"));
    record(79, 90);
    QCOMPARE(curveText(m_top).mid(curveText(m_top).size() - 4),
             (QStringList{"86400:gap", "86401:77", "86402:gap", "86403:79"}));
    QCOMPARE(curveText(m_bottom).last(), QStringLiteral("86403:90"));
}

void TestRunClock::stopThenStartResumesTheCount() {
    auto* timer = control<QTimer>(*m_form, "Timer1");
    startRun();
    tickUpTo(75);
    m_form->Stop();
    QVERIFY(!timer->isActive());
    QCOMPARE(clock(), QStringLiteral("00:01:15"));
    QCOMPARE(m_top->count(), 75);

    m_form->Start();
    QVERIFY(timer->isActive());
    QCOMPARE(clock(), QStringLiteral("00:01:15"));
    tick();
    QCOMPARE(clock(), QStringLiteral("00:01:16"));
    QCOMPARE(m_top->count(), 76);
    QCOMPARE(curveText(m_top).last(), QStringLiteral("76:gap"));
    QCOMPARE(curveText(m_bottom).last(), QStringLiteral("76:gap"));
    QCOMPARE(curveText(m_top).first(), QStringLiteral("1:gap"));
}

void TestRunClock::resetEmptiesTheChartAndLeavesTheTimer_data() {
    QTest::addColumn<bool>("running");
    QTest::newRow("while idle") << false;
    QTest::newRow("while running") << true;
}

void TestRunClock::resetEmptiesTheChartAndLeavesTheTimer() {
    QFETCH(bool, running);

    auto* timer = control<QTimer>(*m_form, "Timer1");
    startRun();
    tickUpTo(1500);
    if (!running)
        m_form->Stop();
    m_chart->timeAxis()->setRange(700, 1600); // the operator panned meanwhile

    control<QPushButton>(*m_form, "TimerToZero")->click();
    QCOMPARE(clock(), QStringLiteral("00:00:00"));
    QCOMPARE(m_form->TGrafikY, 0);
    QCOMPARE(m_form->THoursL + m_form->TMinutesL + m_form->TSecundesL, QStringLiteral("000"));
    QCOMPARE(m_top->count(), 0);
    QCOMPARE(m_bottom->count(), 0);
    QCOMPARE(m_chart->record().size(), qsizetype(0));
    QCOMPARE(timer->isActive(), running);
    // The new run is shown from its start.
    QCOMPARE(m_chart->timeAxis()->min(), 0.0);
    QCOMPARE(m_chart->timeAxis()->max(), 900.0);

    if (!running)
        m_form->Start();
    tick();
    QCOMPARE(clock(), QStringLiteral("00:00:01"));
    QCOMPARE(curveText(m_top), QStringList{"1:gap"});
    QCOMPARE(curveText(m_bottom), QStringList{"1:gap"});
}

void TestRunClock::runningClockTicksOnItsOwn() {
    m_form->setClock({}); // the monotonic clock of the machine
    auto* timer = control<QTimer>(*m_form, "Timer1");
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    QCOMPARE(control<QTimer>(*m_form, "Timer2")->timerType(), Qt::PreciseTimer);
    m_form->StatusConnect = 1;
    m_up->setText(QStringLiteral("201"));
    m_down->setText(QStringLiteral("133"));
    m_form->Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->TGrafikY, 2, 5000);
    // No link behind the readouts: the seconds are counted as gaps.
    QCOMPARE(curveText(m_top), (QStringList{"1:gap", "2:gap"}));
    QCOMPARE(curveText(m_bottom), (QStringList{"1:gap", "2:gap"}));
    QCOMPARE(clock(), QStringLiteral("00:00:02"));
    m_form->Stop();
}

// The window's thread held (a slow disk, a busy machine, a stopped process): the
// next tick shows the time that really passed, every second it held a gap, and
// the partial second under way is not yet one.
void TestRunClock::heldThreadLosesNoSecond_data() {
    QTest::addColumn<int>("heldMs");
    QTest::addColumn<int>("seconds"); // counted after five ticks and the hold
    QTest::addColumn<QString>("shown");
    QTest::newRow("three seconds") << 3000 << 8 << "00:00:08";
    QTest::newRow("just under four") << 3999 << 8 << "00:00:08";
    QTest::newRow("four") << 4000 << 9 << "00:00:09";
    QTest::newRow("less than a second") << 700 << 5 << "00:00:05";
    QTest::newRow("an hour") << 3600 * 1000 << 3605 << "01:00:05";
}

void TestRunClock::heldThreadLosesNoSecond() {
    QFETCH(int, heldMs);
    QFETCH(int, seconds);
    QFETCH(QString, shown);

    startRun();
    tickUpTo(5);
    m_clock->advance(std::chrono::milliseconds(heldMs));
    m_form->Timer1Timer();
    QCOMPARE(m_form->TGrafikY, seconds);
    QCOMPARE(clock(), shown);
    QCOMPARE(m_chart->record().size(), qsizetype(seconds));
    QCOMPARE(m_chart->record().sample(seconds - 1), std::nullopt);
    // The clock goes on a second a tick from there.
    tick();
    QCOMPARE(m_form->TGrafikY, seconds + 1);
}

// One place sets the length of a tick: both timers and one second of the run clock.
void TestRunClock::tickPeriodIsOneSecondOfTheClock() {
    auto* runClock = control<QTimer>(*m_form, "Timer1");
    auto* poll = control<QTimer>(*m_form, "Timer2");
    QCOMPARE(runClock->interval(), 1000);
    QCOMPARE(poll->interval(), 1000);
    m_form->setTickPeriod(std::chrono::milliseconds(100));
    QCOMPARE(runClock->interval(), 100);
    QCOMPARE(poll->interval(), 100);

    startRun();
    QCOMPARE(runClock->remainingTime() <= 100, true);
    m_clock->advance(std::chrono::milliseconds(99));
    m_form->Timer1Timer();
    QCOMPARE(clock(), QStringLiteral("00:00:00"));
    m_clock->advance(std::chrono::milliseconds(1));
    m_form->Timer1Timer();
    QCOMPARE(clock(), QStringLiteral("00:00:01"));
    m_clock->advance(std::chrono::milliseconds(250));
    m_form->Timer1Timer();
    QCOMPARE(clock(), QStringLiteral("00:00:03"));
    m_form->Stop();
}

void TestRunClock::chartIsConfiguredAsDesigned() {
    QChart* chart = m_chart->chart();
    QVERIFY(!chart->legend()->isVisible());
    QVERIFY(chart->title().isEmpty());
    QCOMPARE(m_chart->rubberBand(), QChartView::NoRubberBand);
    QCOMPARE(chart->margins().right(), 24);

    // Exactly two axes, both fixed, at the bottom and on the left.
    QCOMPARE(chart->axes().size(), 2);
    QValueAxis* time = m_chart->timeAxis();
    QValueAxis* degrees = m_chart->temperatureAxis();
    QCOMPARE(chart->axes(Qt::Horizontal), QList<QAbstractAxis*>{time});
    QCOMPARE(chart->axes(Qt::Vertical), QList<QAbstractAxis*>{degrees});
    QCOMPARE(time->alignment(), Qt::AlignBottom);
    QCOMPARE(degrees->alignment(), Qt::AlignLeft);
    QCOMPARE(time->min(), 0.0);
    QCOMPARE(time->max(), 900.0);
    QCOMPARE(degrees->min(), 0.0);
    QCOMPARE(degrees->max(), 300.0);
    QCOMPARE(time->titleText(), QStringLiteral("Время пайки (сек.)"));
    QCOMPARE(degrees->titleText(), QStringLiteral("Температура (°C)"));

    for (auto [series, colour] :
         {std::pair{m_top, QColor(255, 0, 0)}, std::pair{m_bottom, QColor(0, 0, 255)}}) {
        QCOMPARE(series->color(), colour);
        QVERIFY(!series->pointsVisible());
        QVERIFY(!series->pointLabelsVisible());
        QCOMPARE(series->attachedAxes(), (QList<QAbstractAxis*>{time, degrees}));
    }

    // A temperature beyond the axis does not stretch it.
    record(350, 20);
    QCOMPARE(degrees->max(), 300.0);

    // The axis labels are whole numbers, at whole hundreds of seconds and fifties
    // of degrees.
    QTest::qWait(50); // the chart lays its labels out from the event loop
    QStringList numbers;
    for (QGraphicsItem* item : m_chart->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item))
            if (!text->toPlainText().isEmpty() && text->toPlainText().front().isDigit())
                numbers << text->toPlainText();
    for (const char* label : {"0", "100", "900", "50", "300"})
        QVERIFY2(numbers.contains(QLatin1String(label)), qPrintable(numbers.join(' ')));
    const QRegularExpression whole(QStringLiteral("^[0-9]+$"));
    for (const QString& number : std::as_const(numbers))
        QVERIFY2(whole.match(number).hasMatch(), qPrintable(number));
}

void TestRunClock::arrowKeysPanAlongTimeOnly() {
    recordUpTo(2000, everyTenthMissed);
    QValueAxis* time = m_chart->timeAxis();
    QValueAxis* degrees = m_chart->temperatureAxis();
    m_chart->setFocus();
    QTRY_VERIFY(m_chart->hasFocus());

    for (int press = 0; press < 15; ++press)
        QTest::keyClick(m_chart, Qt::Key_Right);
    QCOMPARE(qRound(time->min()), 1350);
    QCOMPARE(qRound(time->max()), 2250);
    QCOMPARE(curveText(m_top),
             expectedCurve(2000, time->min(), time->max(), topAt, everyTenthMissed));
    QCOMPARE(curveText(m_bottom),
             expectedCurve(2000, time->min(), time->max(), bottomAt, everyTenthMissed));

    QTest::keyClick(m_chart, Qt::Key_Left);
    QCOMPARE(qRound(time->min()), 1260);
    QCOMPARE(curveText(m_top),
             expectedCurve(2000, time->min(), time->max(), topAt, everyTenthMissed));

    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown})
        QTest::keyClick(m_chart, key);
    QCOMPARE(qRound(time->min()), 1260);
    QCOMPARE(degrees->min(), 0.0);
    QCOMPARE(degrees->max(), 300.0);
}

void TestRunClock::mouseDragPansAlongTimeOnly() {
    recordUpTo(1200);
    QValueAxis* time = m_chart->timeAxis();
    QValueAxis* degrees = m_chart->temperatureAxis();
    QWidget* surface = m_chart->viewport();
    const QRectF plot = m_chart->chart()->plotArea();
    const QPoint from = plot.center().toPoint();
    const double secondsPerPixel = 900.0 / plot.width();

    // Dragging to the left and upwards brings later seconds in; the height is ignored.
    QTest::mousePress(surface, Qt::LeftButton, {}, from);
    QTest::mouseMove(surface, from + QPoint(-100, -60));
    QTest::mouseMove(surface, from + QPoint(-300, -120));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, from + QPoint(-300, -120));
    QVERIFY2(qAbs(time->min() - 300 * secondsPerPixel) < 1.0,
             qPrintable(QString::number(time->min())));
    QVERIFY(qAbs(time->max() - time->min() - 900) < 1e-6);
    QCOMPARE(degrees->min(), 0.0);
    QCOMPARE(degrees->max(), 300.0);
    QCOMPARE(curveText(m_top), expectedCurve(1200, time->min(), time->max(), topAt));

    // Moving the mouse without a button held pans nothing; the wheel neither pans nor zooms.
    const double min = time->min();
    QTest::mouseMove(surface, from + QPoint(200, 0));
    QWheelEvent wheel(QPointF(from), m_chart->mapToGlobal(QPointF(from)), {}, QPoint(0, 120),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &wheel);
    QCOMPARE(time->min(), min);
    QVERIFY(qAbs(time->max() - time->min() - 900) < 1e-6);
    QCOMPARE(degrees->max(), 300.0);
}

QTEST_MAIN(TestRunClock)
#include "tst_runclock.moc"
