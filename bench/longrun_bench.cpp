// SPDX-License-Identifier: GPL-3.0-or-later
// Long-run memory: the console's resident memory after a run of N run-clock ticks,
// one process per N (the tick cost at these sizes is chart_bench's "ticks"). No link
// runs here, so the console's own tick would record only gaps: each tick feeds the
// chart a reading, as the tick does while one is current.
//
// usage: longrun_bench SAMPLES
#include "bench/ResidentMemory.h"
#include "config/SettingsFile.h"
#include "console/Form.h"
#include "console/RunChart.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Lets the window lay itself out and paints the chart, as the screen would.
void paint(TForm1& form) {
    QCoreApplication::processEvents();
    form.findChild<console::RunChart*>(QStringLiteral("Chart1"))->viewport()->repaint();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int samples = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    if (samples <= 0) {
        std::fprintf(stderr, "usage: longrun_bench SAMPLES\n");
        return 2;
    }

    QTemporaryDir dir;
    const config::ScopedAppDirectoryOverride settingsHere(dir.path());
    TForm1 form;
    form.show();
    auto* works = form.findChild<QLabel*>(QStringLiteral("Works"));
    while (works->text().isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    auto* chart = form.findChild<console::RunChart*>(QStringLiteral("Chart1"));
    paint(form);

    const long before = bench::residentKb();
    for (int second = 1; second <= samples; ++second) {
        chart->appendSample(25 + second % 230, 25 + second % 200);
        if (second % 900 == 0) // the screen repaints as the run goes on
            paint(form);
    }
    paint(form);
    const long after = bench::residentKb();
    std::printf("%6lld samples per series: resident %ld kB, %+ld kB over the idle console\n",
                static_cast<long long>(chart->record().size()), after, after - before);
    return 0;
}
