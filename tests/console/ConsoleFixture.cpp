// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/console/ConsoleFixture.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QXYSeries>

#include <cmath>

namespace consoletest {

const QByteArray kFullSettings = R"([Connect]
Comport=Com3
BaudRate=19200
[Global]
EditP2=80
EditpGain=120
EditiGain=3
EditdGain=40
EditTpid=20
EditpBH=70
EditkBH=5
EditP1=90
Correct1=-5
Correct2=7
Hex=1
VisibleProfil=1
TempEnableFan=150
EnableFan=1
AutoStart=0
[Profil0]
T0=180
TB=150
T1=160
S1=60
T3=235
S3=30
Name=Бессвинцовый BGA
[Profil3]
T0=100
TB=120
T1=140
S1=45
T3=0x10
S3=-7
Name=Свинец
)";

QByteArray globalOnly(const QByteArray& lines) {
    return "[Global]\n" + lines + "\n";
}

std::unique_ptr<TForm1> startConsole() {
    auto form = std::make_unique<TForm1>();
    form->show();
    const auto* works = form->findChild<QLabel*>(QStringLiteral("Works"));
    // The start-up initialisation is the only thing that puts a caption on Works.
    if (!QTest::qWaitFor([&] { return works && !works->text().isEmpty(); }, 10000)) {
        QTest::qFail("the start-up initialisation did not run", __FILE__, __LINE__);
        return nullptr;
    }
    return form;
}

QStringList curveText(const QList<QPointF>& points) {
    QStringList text;
    text.reserve(points.size());
    for (const QPointF& point : points)
        text << QString::number(point.x()) + QLatin1Char(':') +
                    (std::isnan(point.y()) ? QStringLiteral("gap") : QString::number(point.y()));
    return text;
}

QStringList curveText(const QXYSeries* series) {
    return curveText(series->points());
}

HandClock::HandClock(TForm1& form) {
    form.setClock([this] { return m_now; });
}

void startRunWithoutLink(TForm1& form) {
    form.StatusConnect = 1;
    form.Start();
}

void tickOneSecond(TForm1& form, HandClock& clock) {
    clock.advance(std::chrono::milliseconds(1000));
    form.Timer1Timer();
}

DialogCloser::DialogCloser() {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &DialogCloser::poll);
    m_timer.start();
}

void DialogCloser::poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || qobject_cast<QMessageBox*>(dialog) || !dialog->isVisible())
        return;
    m_closed << dialog->windowTitle();
    dialog->reject();
}

} // namespace consoletest
