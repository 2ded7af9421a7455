// SPDX-License-Identifier: GPL-3.0-or-later
// What the main-window tests share: settings texts, starting a console, finding its controls.
#pragma once

#include "console/Form.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>

class QDialog;
class QXYSeries;

namespace consoletest {

// Every key the console reads, with values that differ from the defaults:
// the proprietary firmware (settings strip shown), the profile strip shown,
// profile 0 and profile 3 filled.
extern const QByteArray kFullSettings;

// A settings file that holds only these [Global] lines (and nothing else).
QByteArray globalOnly(const QByteArray& lines);

// Builds the main window, shows it and waits until its first activation has
// run the start-up initialisation. Null (with a test failure) if it never did.
std::unique_ptr<TForm1> startConsole();

// A named child of the window; the test fails when it is missing.
template <typename T> T* control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qWarning("no control %s", name);
    return found;
}

// Chart points as "x:y", and "x:gap" for a point without a value (the line breaks
// there), so lists of points with gaps compare and print readably.
QStringList curveText(const QList<QPointF>& points);
QStringList curveText(const QXYSeries* series);

// The colours of the top (red) and bottom (blue) curves on a picture of the chart,
// not the anti-aliased edges or the grey grid.
inline bool isRed(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}
inline bool isBlue(QRgb pixel) {
    return qBlue(pixel) > 200 && qRed(pixel) < 60 && qGreen(pixel) < 60;
}

// A monotonic clock for the console that moves only when the test moves it, so the
// run clock is stepped a second at a time without waiting. Set on a console, it
// stays its clock for the console's life.
class HandClock {
public:
    explicit HandClock(TForm1& form);
    std::chrono::milliseconds now() const { return m_now; }
    void advance(std::chrono::milliseconds by) { m_now += by; }

private:
    std::chrono::milliseconds m_now{0};
};

// A run going on without a link (each of its seconds a gap until the chart is fed
// otherwise), stepped by `clock`: the console counts as connected so Start is
// not refused, and the run starts now.
void startRunWithoutLink(TForm1& form);
// One second of the run clock: the time moves on a period and the clock ticks.
void tickOneSecond(TForm1& form, HandClock& clock);

// While alive, closes every modal dialog (not message boxes) as soon as it is
// shown and remembers the captions of those it closed.
class DialogCloser : public QObject {
public:
    DialogCloser();
    const QStringList& closed() const { return m_closed; }

private:
    void poll();
    QTimer m_timer;
    QStringList m_closed;
};

} // namespace consoletest
