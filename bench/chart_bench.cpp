// SPDX-License-Identifier: GPL-3.0-or-later
// Run clock and chart benchmark: tick cost with the chart repainted as the run grows,
// pan steps across a day-long run, resident memory, and the run clock against wall time;
// for a run of readings, and for a run where the station misses every tenth second.
//
// usage: chart_bench ticks|pan|memory [gaps] | pan reference | reference | plain | memory-plain |
//        drift SECONDS
#include "bench/ResidentMemory.h"
#include "bench/StepTimes.h"
#include "config/SettingsFile.h"
#include "console/Form.h"
#include "console/RunChart.h"
#include "record/ReferenceRun.h"
#include "record/RunJournal.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

using bench::Figures;
using bench::figuresOf;
using bench::msSince;
using bench::StepTimes;
using bench::threadCpuMs;

constexpr int kDay = 86400;
constexpr int kSizes[] = {60, 3600, kDay};
constexpr int kTickRepeats = 25;
constexpr int kPlainRepeats = 8;
constexpr int kPanSteps = 120;

int topAt(int second) {
    return 25 + second % 230;
}
int bottomAt(int second) {
    return 25 + (second * 7) % 200;
}

// Which seconds of the run have no reading.
enum class Gaps { None, EveryTenth };

bool missed(Gaps gaps, int second) {
    return gaps == Gaps::EveryTenth && second % 10 == 0;
}

const char* nameOf(Gaps gaps) {
    return gaps == Gaps::None ? "a reading every second" : "a gap every tenth second";
}

// Lets the chart lay itself out, then repaints it whole, as the screen would show it.
void repaint(QChartView* view) {
    QCoreApplication::processEvents();
    view->viewport()->repaint();
}

// The console on the offscreen platform, after its start-up initialisation. No link
// runs here, so its own tick would record only gaps: the ticks feed its chart as the
// tick does, with the readings, and a gap where the run misses a second.
class Console {
public:
    explicit Console(Gaps gaps = Gaps::None) : m_override(m_dir.path()), m_gaps(gaps) {
        m_form.show();
        auto* works = m_form.findChild<QLabel*>(QStringLiteral("Works"));
        while (works->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        m_chart = m_form.findChild<console::RunChart*>(QStringLiteral("Chart1"));
        repaint(m_chart);
    }

    TForm1& form() { return m_form; }
    QString folder() const { return m_dir.path(); }
    // Flips a switch of the chart's menu as the operator's click does.
    void toggle(const char* action) {
        m_form.findChild<QAction*>(QLatin1String(action))->trigger();
    }
    console::RunChart* chart() { return m_chart; }
    // A run going on, as the journal needs one, on a clock that stands still: the
    // console's own tick then adds nothing while the bench feeds the chart.
    void startRunOnStillClock() {
        m_form.setClock([] { return std::chrono::milliseconds(0); });
        m_form.StatusConnect = 1;
        m_form.Start();
    }

    // One run-clock tick's entry in the chart.
    void tick() {
        const int second = int(m_chart->record().size()) + 1;
        if (missed(m_gaps, second))
            m_chart->appendGap();
        else
            m_chart->appendSample(topAt(second), bottomAt(second));
    }
    void resetAndFillTo(int samples) {
        m_form.findChild<QPushButton*>(QStringLiteral("TimerToZero"))->click();
        while (m_chart->record().size() < samples)
            tick();
    }

private:
    QTemporaryDir m_dir;
    config::ScopedAppDirectoryOverride m_override;
    Gaps m_gaps = Gaps::None;
    TForm1 m_form;
    console::RunChart* m_chart = nullptr;
};

// One tick, then the repaint it causes or a full one, timed.
void tickAndPaint(Console& console, StepTimes& times, bool fullRepaint) {
    times.time([&] {
        console.tick();
        if (fullRepaint)
            repaint(console.chart());
        else
            QCoreApplication::processEvents();
    });
}

// The window either stays at the first 900 s or has been panned to keep the
// newest second in view (each tick then adds a point to the series).
enum class View { Home, Following };

void showFollowing(console::RunChart* chart, int samples) {
    chart->timeAxis()->setRange(samples - 850, samples + 50);
}

// Two ways to count the chart's painting: what the tick itself makes the chart
// repaint (the event loop paints the region the new points dirtied; nothing when
// they fall outside the window), and that plus a full repaint of the chart, so
// every case pays for drawing everything the window shows.
// With gaps the measured tick, at a multiple of ten seconds, is one that adds a gap:
// the costlier kind, which replaces the window's points (a reading is appended).
void benchTicks(Gaps gaps) {
    Console console(gaps);
    std::printf("One run-clock tick (%d runs each), %s, ms; 'natural': the tick and the\n"
                "repaint it causes; 'full': the tick and a full repaint of the chart; 'cpu':\n"
                "the processor time of the same step (median):\n",
                kTickRepeats, nameOf(gaps));
    std::printf("%10s  %-10s %8s %8s %8s %8s  %8s %8s %8s %8s %8s\n", "samples", "window",
                "natural", "p90", "max", "cpu", "full", "p90", "max", "cpu", "points");
    for (View view : {View::Home, View::Following}) {
        for (int size : kSizes) {
            StepTimes natural;
            StepTimes full;
            qsizetype shown = 0;
            for (int run = 0; run < kTickRepeats; ++run) {
                for (bool fullRepaint : {false, true}) {
                    console.resetAndFillTo(size - 1);
                    if (view == View::Following)
                        showFollowing(console.chart(), size);
                    repaint(console.chart());
                    tickAndPaint(console, fullRepaint ? full : natural, fullRepaint);
                }
                shown = console.chart()->topSeries()->count();
            }
            const Figures n = figuresOf(natural.wall);
            const Figures f = figuresOf(full.wall);
            std::printf("%10d  %-10s %8.3f %8.3f %8.3f %8.3f  %8.3f %8.3f %8.3f %8.3f %8lld\n",
                        size, view == View::Home ? "0..900 s" : "following", n.median, n.p90, n.max,
                        figuresOf(natural.cpu).median, f.median, f.p90, f.max,
                        figuresOf(full.cpu).median, static_cast<long long>(shown));
        }
    }
}

// A reference file of `seconds` rows as the journal writes it, in `folder`.
QString writeReferenceFile(const QString& folder, int seconds) {
    QByteArray text = "# version: 1.0.0.2\n# start: 2026-12-09T10:00:00+03:00\n# profile: 2\n"
                      "# Name: BGA\ntime_s,top_c,bottom_c\n";
    for (int second = 1; second <= seconds; ++second)
        text += QByteArray::number(second) + ',' + QByteArray::number(topAt(second) - 3) + ',' +
                QByteArray::number(bottomAt(second) + 2) + '\n';
    const QString path = QDir(folder).filePath(QStringLiteral("reference-%1.csv").arg(seconds));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

std::shared_ptr<const record::ReferenceRun> dayReference(const QString& folder) {
    const record::ReferenceLoad load = record::loadReferenceRun(writeReferenceFile(folder, kDay));
    if (!load.run)
        qFatal("the day's reference did not load: %s", qPrintable(load.error));
    return load.run;
}

void benchPan(Gaps gaps, bool withReference = false) {
    Console console(gaps);
    if (withReference) {
        // Laid from the run's start, as when a run goes on from the reset.
        console.startRunOnStillClock();
        console.form().runJournal().setOn(false);
        console.chart()->setReference(dayReference(console.folder()));
    }
    console.resetAndFillTo(kDay);
    console::RunChart* chart = console.chart();
    chart->timeAxis()->setRange(40000, 40900);
    chart->setFocus();
    repaint(chart);

    std::vector<double> keys;
    std::vector<double> keysCpu;
    for (int step = 0; step < kPanSteps; ++step) {
        QKeyEvent press(QEvent::KeyPress, step % 40 < 20 ? Qt::Key_Right : Qt::Key_Left,
                        Qt::NoModifier);
        QElapsedTimer clock;
        const double cpu = threadCpuMs();
        clock.start();
        QCoreApplication::sendEvent(chart, &press);
        repaint(chart);
        keys.push_back(msSince(clock));
        keysCpu.push_back(threadCpuMs() - cpu);
    }
    std::vector<double> drags;
    std::vector<double> dragsCpu;
    const QPointF centre = chart->chart()->plotArea().center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, chart->viewport()->mapToGlobal(centre),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(chart->viewport(), &press);
    for (int step = 0; step < kPanSteps; ++step) {
        // Back and forth across 200 px, 10 px a step.
        const int along = step % 40 < 20 ? step % 20 : 20 - step % 20;
        const QPointF at = centre - QPointF(10.0 * along, 0);
        QMouseEvent move(QEvent::MouseMove, at, chart->viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QElapsedTimer clock;
        const double cpu = threadCpuMs();
        clock.start();
        QCoreApplication::sendEvent(chart->viewport(), &move);
        repaint(chart);
        drags.push_back(msSince(clock));
        dragsCpu.push_back(threadCpuMs() - cpu);
    }
    const Figures k = figuresOf(keys);
    const Figures d = figuresOf(drags);
    const Figures kc = figuresOf(keysCpu);
    const Figures dc = figuresOf(dragsCpu);
    std::printf("One pan step at %d samples per series, %s%s, chart repainted, ms\n"
                "(wall clock; and the processor time of the step):\n",
                kDay, nameOf(gaps), withReference ? ", a 24-hour reference under it" : "");
    std::printf(
        "  arrow key (90 s):  median %.3f  p90 %.3f  max %.3f   cpu median %.3f  p90 %.3f\n",
        k.median, k.p90, k.max, kc.median, kc.p90);
    std::printf(
        "  mouse drag (10 px): median %.3f  p90 %.3f  max %.3f   cpu median %.3f  p90 %.3f\n",
        d.median, d.p90, d.max, dc.median, dc.p90);
}

// The tick while the run journal appends each second to its file, and while the
// profile's targets are drawn over the chart: the newest second in view, the
// chart repainted after each tick (the repaint the tick causes, or a full one).
void benchRecord() {
    constexpr int kRecordSizes[] = {60, kDay};
    struct Setting {
        const char* name;
        bool journal;
        bool targets;
    };
    const Setting settings[] = {{"neither", false, false},
                                {"journal", true, false},
                                {"targets", false, true},
                                {"both", true, true}};
    std::printf("One run-clock tick, newest second in view (%d ticks each), ms; 'natural', 'full'\n"
                "and 'cpu' as above:\n",
                kTickRepeats);
    std::printf("%-8s %10s %8s %8s %8s %8s  %8s %8s %8s %8s\n", "setting", "samples", "natural",
                "p90", "max", "cpu", "full", "p90", "max", "cpu");
    for (const Setting& setting : settings) {
        Console console;
        console.startRunOnStillClock();
        console.form().runJournal().setOn(setting.journal);
        if (setting.targets)
            console.toggle("ActionShowTargets");
        for (int size : kRecordSizes) {
            StepTimes natural;
            StepTimes full;
            console.resetAndFillTo(size - 1);
            showFollowing(console.chart(), size + kTickRepeats);
            repaint(console.chart());
            for (int run = 0; run < kTickRepeats; ++run) {
                for (bool fullRepaint : {false, true})
                    tickAndPaint(console, fullRepaint ? full : natural, fullRepaint);
            }
            const Figures n = figuresOf(natural.wall);
            const Figures f = figuresOf(full.wall);
            std::printf("%-8s %10d %8.3f %8.3f %8.3f %8.3f  %8.3f %8.3f %8.3f %8.3f\n",
                        setting.name, size, n.median, n.p90, n.max, figuresOf(natural.cpu).median,
                        f.median, f.p90, f.max, figuresOf(full.cpu).median);
        }
        if (setting.journal) {
            console.form().runJournal().waitForWriter();
            const QStringList files =
                QDir(console.folder() + QStringLiteral("/runs")).entryList(QDir::Files);
            std::printf("%-8s journal files written: %lld\n", "",
                        static_cast<long long>(files.size()));
        }
    }
}

// A reference run: how long its file takes to load at 900 and 86,400 rows, and
// the tick with a 24-hour reference under the chart against the tick without,
// at 60 and 86,400 samples, for the window at the start and following the newest
// second (a run going on from the reset: the reference lies from its start).
void benchReference() {
    QTemporaryDir dir;
    constexpr int kLoads = 9;
    std::printf("Loading a reference file (%d loads each), ms:\n", kLoads);
    std::printf("%10s %10s %8s %8s %8s\n", "rows", "bytes", "median", "p90", "max");
    for (int rows : {900, kDay}) {
        const QString path = writeReferenceFile(dir.path(), rows);
        std::vector<double> ms;
        for (int load = 0; load < kLoads; ++load) {
            QElapsedTimer clock;
            clock.start();
            const record::ReferenceLoad loaded = record::loadReferenceRun(path);
            ms.push_back(msSince(clock));
            if (!loaded.run || qsizetype(loaded.run->seconds.size()) != rows)
                qFatal("the reference did not load whole");
        }
        const Figures f = figuresOf(ms);
        std::printf("%10d %10lld %8.3f %8.3f %8.3f\n", rows,
                    static_cast<long long>(QFileInfo(path).size()), f.median, f.p90, f.max);
    }
    // A file far past the limit is refused by its size alone.
    {
        const QString huge = QDir(dir.path()).filePath(QStringLiteral("huge.csv"));
        QFile file(huge);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(100) * 1024 * 1024))
            qFatal("cannot make the 100 MB file");
        file.close();
        QElapsedTimer clock;
        clock.start();
        const record::ReferenceLoad refused = record::loadReferenceRun(huge);
        std::printf("A 100 MB file: refused in %.3f ms (%s)\n", msSince(clock),
                    qPrintable(refused.error));
    }

    std::printf("One run-clock tick (%d runs each), a reading every second, ms; 'natural' and\n"
                "'full' as above:\n",
                kTickRepeats);
    std::printf("%-10s %10s  %-10s %8s %8s %8s  %8s %8s %8s %8s\n", "reference", "samples",
                "window", "natural", "p90", "max", "full", "p90", "max", "ref pts");
    for (bool withReference : {false, true}) {
        Console console;
        console.startRunOnStillClock();
        console.form().runJournal().setOn(false);
        if (withReference)
            console.chart()->setReference(dayReference(dir.path()));
        for (View view : {View::Home, View::Following}) {
            for (int size : {60, kDay}) {
                StepTimes natural;
                StepTimes full;
                for (int run = 0; run < kTickRepeats; ++run) {
                    for (bool fullRepaint : {false, true}) {
                        console.resetAndFillTo(size - 1);
                        if (view == View::Following)
                            showFollowing(console.chart(), size);
                        repaint(console.chart());
                        tickAndPaint(console, fullRepaint ? full : natural, fullRepaint);
                    }
                }
                const Figures n = figuresOf(natural.wall);
                const Figures f = figuresOf(full.wall);
                std::printf("%-10s %10d  %-10s %8.3f %8.3f %8.3f  %8.3f %8.3f %8.3f %8lld\n",
                            withReference ? "24 h" : "none", size,
                            view == View::Home ? "0..900 s" : "following", n.median, n.p90, n.max,
                            f.median, f.p90, f.max,
                            static_cast<long long>(console.chart()->referenceTopSeries()->count()));
            }
        }
    }
}

// The readout box at a day-long run: a pointer move over the plot (the box reads
// the second and moves) and the paint it causes, against a move over the axes
// (no box) and a move with the targets shown.
void benchReadout() {
    Console console;
    console.resetAndFillTo(kDay);
    console::RunChart* chart = console.chart();
    showFollowing(chart, kDay);
    repaint(chart);
    QWidget* surface = chart->viewport();
    const QRectF plot = chart->chart()->plotArea();

    struct MoveFigures {
        Figures wall;
        Figures cpu;
    };
    auto movesAlong = [&](double y, int steps) {
        StepTimes times;
        for (int step = 0; step < steps; ++step) {
            // Back and forth across the plot, 7 px a step.
            const int along = step % 200 < 100 ? step % 100 : 100 - step % 100;
            const QPointF at(plot.left() + 10 + 7.0 * along, y);
            QMouseEvent move(QEvent::MouseMove, at, surface->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            times.time([&] {
                QCoreApplication::sendEvent(surface, &move);
                QCoreApplication::processEvents();
            });
        }
        return MoveFigures{figuresOf(times.wall), figuresOf(times.cpu)};
    };
    constexpr int kMoves = 400;
    const MoveFigures over = movesAlong(plot.center().y(), kMoves);
    const MoveFigures below = movesAlong(plot.bottom() + 15, kMoves);
    console.toggle("ActionShowTargets");
    repaint(chart);
    const MoveFigures targets = movesAlong(plot.center().y(), kMoves);
    std::printf("One pointer move at %d samples per series, with the paint it causes, ms:\n", kDay);
    auto line = [](const char* what, const MoveFigures& f) {
        std::printf("  %-30s median %.3f  p90 %.3f  max %.3f   cpu median %.3f  p90 %.3f\n", what,
                    f.wall.median, f.wall.p90, f.wall.max, f.cpu.median, f.cpu.p90);
    };
    line("over the plot (readout):", over);
    line("over the time axis (no box):", below);
    line("over the plot, targets shown:", targets);
}

// A bare chart with the same axes whose series are appended every sample.
struct PlainChart {
    QChartView view;
    QLineSeries* top = new QLineSeries;
    QLineSeries* bottom = new QLineSeries;

    PlainChart() {
        auto* chart = new QChart;
        chart->legend()->hide();
        chart->addSeries(top);
        chart->addSeries(bottom);
        auto* x = new QValueAxis;
        x->setRange(0, 900);
        auto* y = new QValueAxis;
        y->setRange(0, 300);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QLineSeries* s : {top, bottom}) {
            s->attachAxis(x);
            s->attachAxis(y);
        }
        view.setChart(chart);
        view.resize(1008, 500);
        view.show();
        repaint(&view);
    }

    void fillTo(int samples) {
        QList<QPointF> t;
        QList<QPointF> b;
        for (int second = 1; second <= samples; ++second) {
            t.append({double(second), double(topAt(second))});
            b.append({double(second), double(bottomAt(second))});
        }
        top->replace(t);
        bottom->replace(b);
    }

    void append(int second) {
        top->append(second, topAt(second));
        bottom->append(second, bottomAt(second));
    }
};

void benchPlain() {
    PlainChart plain;
    std::printf("For comparison: a plain QLineSeries pair appended every sample (%d runs), ms:\n",
                kPlainRepeats);
    std::printf("%10s %8s %8s %8s\n", "samples", "median", "p90", "max");
    for (int size : kSizes) {
        std::vector<double> ms;
        for (int run = 0; run < kPlainRepeats; ++run) {
            plain.fillTo(size - 1);
            repaint(&plain.view);
            QElapsedTimer clock;
            clock.start();
            plain.append(size);
            repaint(&plain.view);
            ms.push_back(msSince(clock));
        }
        const Figures f = figuresOf(ms);
        std::printf("%10d %8.3f %8.3f %8.3f\n", size, f.median, f.p90, f.max);
    }
}

// The console's ticks one after another, painted as the screen would be every 900.
void benchMemory(Gaps gaps) {
    Console console(gaps);
    const long before = bench::residentKb();
    for (int second = 1; second <= kDay; ++second) {
        console.tick();
        if (second % 900 == 0)
            repaint(console.chart());
    }
    showFollowing(console.chart(), kDay);
    repaint(console.chart());
    const long after = bench::residentKb();
    std::printf("Resident memory, console, %s: %ld kB before, %ld kB after %d ticks: "
                "growth %.1f MB\n",
                nameOf(gaps), before, after, kDay, double(after - before) / 1024.0);
}

void benchMemoryPlain() {
    PlainChart plain;
    const long before = bench::residentKb();
    plain.fillTo(kDay);
    repaint(&plain.view);
    const long after = bench::residentKb();
    std::printf("Resident memory, plain QLineSeries pair: %ld kB before, %ld kB after %d samples: "
                "growth %.1f MB\n",
                before, after, kDay, double(after - before) / 1024.0);
}

// The real Timer1 for `seconds` of wall time: when its last tick came, against the
// second of run time that tick counted.
void benchDrift(int seconds) {
    Console console;
    TForm1& form = console.form();
    form.StatusConnect = 1;
    QElapsedTimer wall;
    qint64 lastTickNs = 0;
    QObject::connect(form.findChild<QTimer*>(QStringLiteral("Timer1")), &QTimer::timeout, qApp,
                     [&] { lastTickNs = wall.nsecsElapsed(); });
    form.Start();
    wall.start();
    QTimer::singleShot(seconds * 1000 + 500, Qt::PreciseTimer, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double lastTick = double(lastTickNs) / 1e9;
    std::printf("Run clock: tick %d came %.3f s after the start, off by %+.3f s\n", form.TGrafikY,
                lastTick, lastTick - double(form.TGrafikY));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("ticks");
    const Gaps gaps = argc > 2 && QByteArray(argv[2]) == "gaps" ? Gaps::EveryTenth : Gaps::None;
    std::printf("[%s build, %s platform]\n", IRCONSOLE_BUILD_TYPE,
                qPrintable(QGuiApplication::platformName()));
    if (mode == QLatin1String("ticks"))
        benchTicks(gaps);
    else if (mode == QLatin1String("pan"))
        benchPan(gaps, argc > 2 && QByteArray(argv[2]) == "reference");
    else if (mode == QLatin1String("reference"))
        benchReference();
    else if (mode == QLatin1String("plain"))
        benchPlain();
    else if (mode == QLatin1String("memory"))
        benchMemory(gaps);
    else if (mode == QLatin1String("memory-plain"))
        benchMemoryPlain();
    else if (mode == QLatin1String("record"))
        benchRecord();
    else if (mode == QLatin1String("readout"))
        benchReadout();
    else if (mode == QLatin1String("drift") && argc > 2)
        benchDrift(QString::fromLocal8Bit(argv[2]).toInt());
    else {
        std::fprintf(stderr,
                     "usage: chart_bench ticks|pan|memory [gaps] | plain|memory-plain|drift S\n");
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
