// The run clock and the temperature chart: ticks driven directly, resets, runs
// that stop and go on, the chart's fixed configuration and horizontal panning.
#include "console/RunChart.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QChart>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include <optional>

using console::RunChart;
using consoletest::control;

namespace {

constexpr int kSecondsPerDay = 86400;

// Readouts that differ from tick to tick, so every sample can be told apart.
int topAt(int second) {
    return second % 301;
}
int bottomAt(int second) {
    return (second * 7) % 251;
}

QList<QPointF> pointsOf(const QLineSeries* series) {
    return series->points();
}

// The points the series should hold for the window [min, max]: every second
// inside it and one on each side.
QList<QPointF> expectedPoints(qint64 last, double min, double max, int (*value)(int)) {
    QList<QPointF> points;
    for (qint64 second = 1; second <= last; ++second)
        if (second >= std::ceil(min) - 1 && second <= std::floor(max) + 1)
            points.append({double(second), double(value(int(second)))});
    return points;
}

} // namespace

class TestRunClock : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstTickAfterResetPlotsAtSecondOne();
    void clockAfterTicks_data();
    void clockAfterTicks();
    void dayLongRunKeepsEverySampleAndShowsTheWindow();
    void stopThenStartResumesTheCount();
    void resetEmptiesTheChartAndLeavesTheTimer_data();
    void resetEmptiesTheChartAndLeavesTheTimer();
    void readoutThatIsNoNumberPlotsZeroWithoutABox();
    void runningClockTicksOnItsOwn();
    void chartIsConfiguredAsDesigned();
    void arrowKeysPanAlongTimeOnly();
    void mouseDragPansAlongTimeOnly();

private:
    // Sets the readouts as the poll would, then runs one tick.
    void tick(int top, int bottom);
    // Runs ticks until `last` samples were taken, with the readouts of topAt/bottomAt.
    void tickUpTo(int last);
    QString clock() const { return control<QLabel>(*m_form, "FTimer")->text(); }

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form;
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
    m_form.reset();
    m_dir.reset();
}

void TestRunClock::tick(int top, int bottom) {
    m_up->setText(QString::number(top));
    m_down->setText(QString::number(bottom));
    m_form->Timer1Timer();
}

void TestRunClock::tickUpTo(int last) {
    for (int second = m_form->TGrafikY + 1; second <= last; ++second)
        tick(topAt(second), bottomAt(second));
}

void TestRunClock::firstTickAfterResetPlotsAtSecondOne() {
    tick(195, 123);
    QCOMPARE(m_form->TGrafikX, 195);
    QCOMPARE(m_form->TGrafikX1, 123);
    QCOMPARE(m_form->TGrafikY, 1);
    QCOMPARE(pointsOf(m_top), (QList<QPointF>{{1, 195}}));
    QCOMPARE(pointsOf(m_bottom), (QList<QPointF>{{1, 123}}));
    QCOMPARE(clock(), QStringLiteral("00:00:01"));

    // A second tick adds one point to each series at the next second.
    tick(-4, 310);
    QCOMPARE(pointsOf(m_top), (QList<QPointF>{{1, 195}, {2, -4}}));
    QCOMPARE(pointsOf(m_bottom), (QList<QPointF>{{1, 123}, {2, 310}}));
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

    tickUpTo(ticks);
    QCOMPARE(clock(), shown);
    const auto zeroOrEmpty = [](QChar mark) {
        return mark == QLatin1Char('0') ? QStringLiteral("0") : QString();
    };
    QCOMPARE(m_form->THoursL, zeroOrEmpty(leadingZeros[0]));
    QCOMPARE(m_form->TMinutesL, zeroOrEmpty(leadingZeros[1]));
    QCOMPARE(m_form->TSecundesL, zeroOrEmpty(leadingZeros[2]));
    // The x values count on through the day's wrap.
    QCOMPARE(m_form->TGrafikY, ticks);
    QCOMPARE(m_chart->record().size(), qsizetype(ticks));
}

void TestRunClock::dayLongRunKeepsEverySampleAndShowsTheWindow() {
    tickUpTo(kSecondsPerDay);

    const console::RunRecord& record = m_form->runRecord();
    QCOMPARE(&record, &m_chart->record());
    QCOMPARE(record.size(), qsizetype(kSecondsPerDay));
    for (qsizetype index = 0; index < record.size(); ++index) {
        const int second = int(console::RunRecord::secondOf(index));
        if (record.sample(index) != console::RunSample{topAt(second), bottomAt(second)})
            QFAIL(qPrintable(QStringLiteral("sample at second %1 is wrong").arg(second)));
    }
    QCOMPARE(console::RunRecord::secondOf(record.size() - 1), qint64(kSecondsPerDay));

    // The window still shows the first 900 s: the series hold what it needs, not the day.
    QCOMPARE(m_chart->timeAxis()->min(), 0.0);
    QCOMPARE(m_chart->timeAxis()->max(), 900.0);
    QCOMPARE(pointsOf(m_top), expectedPoints(kSecondsPerDay, 0, 900, topAt));
    QCOMPARE(pointsOf(m_bottom), expectedPoints(kSecondsPerDay, 0, 900, bottomAt));

    // Panned to the end of the day, the newest points are there, both at x = 86400.
    m_chart->timeAxis()->setRange(kSecondsPerDay - 850, kSecondsPerDay + 50);
    QCOMPARE(pointsOf(m_top).last(), QPointF(kSecondsPerDay, topAt(kSecondsPerDay)));
    QCOMPARE(pointsOf(m_bottom).last(), QPointF(kSecondsPerDay, bottomAt(kSecondsPerDay)));
    QCOMPARE(pointsOf(m_top),
             expectedPoints(kSecondsPerDay, kSecondsPerDay - 850, kSecondsPerDay + 50, topAt));

    // While the newest second is in the window, each tick adds it.
    tick(77, 88);
    QCOMPARE(pointsOf(m_top).last(), QPointF(kSecondsPerDay + 1, 77));
    QCOMPARE(pointsOf(m_bottom).last(), QPointF(kSecondsPerDay + 1, 88));
    QCOMPARE(clock(), QStringLiteral("00:00:01"));
}

void TestRunClock::stopThenStartResumesTheCount() {
    m_form->StatusConnect = 1;
    auto* timer = control<QTimer>(*m_form, "Timer1");
    m_form->Start();
    tickUpTo(75);
    m_form->Stop();
    QVERIFY(!timer->isActive());
    QCOMPARE(clock(), QStringLiteral("00:01:15"));
    QCOMPARE(m_top->count(), 75);

    m_form->Start();
    QVERIFY(timer->isActive());
    QCOMPARE(clock(), QStringLiteral("00:01:15"));
    tick(140, 90);
    QCOMPARE(clock(), QStringLiteral("00:01:16"));
    QCOMPARE(m_top->count(), 76);
    QCOMPARE(m_top->points().last(), QPointF(76, 140));
    QCOMPARE(m_bottom->points().last(), QPointF(76, 90));
    QCOMPARE(m_top->points().first(), QPointF(1, topAt(1)));
}

void TestRunClock::resetEmptiesTheChartAndLeavesTheTimer_data() {
    QTest::addColumn<bool>("running");
    QTest::newRow("while idle") << false;
    QTest::newRow("while running") << true;
}

void TestRunClock::resetEmptiesTheChartAndLeavesTheTimer() {
    QFETCH(bool, running);

    m_form->StatusConnect = 1;
    auto* timer = control<QTimer>(*m_form, "Timer1");
    if (running)
        m_form->Start();
    tickUpTo(1500);
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
    tick(31, 32);
    QCOMPARE(clock(), QStringLiteral("00:00:01"));
    QCOMPARE(pointsOf(m_top), (QList<QPointF>{{1, 31}}));
    QCOMPARE(pointsOf(m_bottom), (QList<QPointF>{{1, 32}}));
}

void TestRunClock::readoutThatIsNoNumberPlotsZeroWithoutABox() {
    testsupport::ModalWatcher watcher;
    m_up->setText(QStringLiteral("abc"));
    m_down->setText(QString());
    m_form->Timer1Timer();
    QTest::qWait(50); // a box would have been seen by now
    QVERIFY(watcher.boxes().isEmpty());
    QCOMPARE(pointsOf(m_top), (QList<QPointF>{{1, 0}}));
    QCOMPARE(pointsOf(m_bottom), (QList<QPointF>{{1, 0}}));
    QCOMPARE(clock(), QStringLiteral("00:00:01"));
}

void TestRunClock::runningClockTicksOnItsOwn() {
    auto* timer = control<QTimer>(*m_form, "Timer1");
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    QCOMPARE(control<QTimer>(*m_form, "Timer2")->timerType(), Qt::PreciseTimer);
    m_form->StatusConnect = 1;
    m_up->setText(QStringLiteral("201"));
    m_down->setText(QStringLiteral("133"));
    m_form->Start();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->TGrafikY, 2, 5000);
    QCOMPARE(pointsOf(m_top), (QList<QPointF>{{1, 201}, {2, 201}}));
    QCOMPARE(pointsOf(m_bottom), (QList<QPointF>{{1, 133}, {2, 133}}));
    QCOMPARE(clock(), QStringLiteral("00:00:02"));
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
    tick(350, 20);
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
    tickUpTo(2000);
    QValueAxis* time = m_chart->timeAxis();
    QValueAxis* degrees = m_chart->temperatureAxis();
    m_chart->setFocus();
    QTRY_VERIFY(m_chart->hasFocus());

    for (int press = 0; press < 15; ++press)
        QTest::keyClick(m_chart, Qt::Key_Right);
    QCOMPARE(qRound(time->min()), 1350);
    QCOMPARE(qRound(time->max()), 2250);
    QCOMPARE(pointsOf(m_top), expectedPoints(2000, time->min(), time->max(), topAt));
    QCOMPARE(pointsOf(m_bottom), expectedPoints(2000, time->min(), time->max(), bottomAt));

    QTest::keyClick(m_chart, Qt::Key_Left);
    QCOMPARE(qRound(time->min()), 1260);
    QCOMPARE(pointsOf(m_top), expectedPoints(2000, time->min(), time->max(), topAt));

    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown})
        QTest::keyClick(m_chart, key);
    QCOMPARE(qRound(time->min()), 1260);
    QCOMPARE(degrees->min(), 0.0);
    QCOMPARE(degrees->max(), 300.0);
}

void TestRunClock::mouseDragPansAlongTimeOnly() {
    tickUpTo(1200);
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
    QCOMPARE(pointsOf(m_top), expectedPoints(1200, time->min(), time->max(), topAt));

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
