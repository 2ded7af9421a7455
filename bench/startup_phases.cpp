// SPDX-License-Identifier: GPL-3.0-or-later
// Where the console's own start-up time goes: the toolkit, the application's
// preparation, the six windows, and showing the main window to its first paint.
#include "app/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <cstdio>
#include <optional>

namespace {

// Ends the event loop at the main window's first paint.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer clock;
    clock.start();
    const auto phase = [&clock](const char* what) {
        std::printf("%-24s %7.2f ms\n", what, double(clock.nsecsElapsed()) / 1e6);
        clock.restart();
    };

    QApplication application(argc, argv);
    phase("toolkit");
    app::prepareApplication(application);
    phase("preparation");
    std::optional<app::Windows> windows;
    windows.emplace();
    phase("six windows");
    FirstPaint firstPaint;
    windows->Form1.installEventFilter(&firstPaint);
    windows->Form1.show();
    QApplication::exec();
    phase("show to first paint");
    return 0;
}
