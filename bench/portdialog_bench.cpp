// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the connection dialog with the system's serial device list, timed against an opening
// with no devices to ask for, and the device list alone.
#include "config/SettingsFile.h"
#include "console/Form.h"
#include "dialogs/Unit4.h"
#include "link/SerialDevices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kOpenings = 21;

// Best and median of the openings, in milliseconds.
void report(const char* what, const std::function<void()>& work) {
    std::vector<double> times;
    for (int opening = 0; opening < kOpenings; ++opening) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s best %7.2f ms   median %7.2f ms   worst %7.2f ms\n", what, times.front(),
                times[times.size() / 2], times.back());
}

// One opening as the operator sees it: shown, loaded from the file, drawn; then
// left with "Выйти".
void openAndLeave(TForm4& dialog) {
    dialog.show();
    QCoreApplication::processEvents();
    dialog.CloseFormClick();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const config::ScopedAppDirectoryOverride appDir(dir.path());
    QFile settings(dir.filePath(QStringLiteral("Iniprofil.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[Connect]\nComport=/dev/serial/by-id/usb-absent-if00-port0\nBaudRate=19200\n");
    settings.close();

    TForm1 form1;
    form1.show();
    QCoreApplication::processEvents();
    TForm4 withSystem(form1, station::systemSerialDevices);
    TForm4 withNone(form1, [] { return QList<station::SerialDevice>(); });
    // The first showing of each builds the window; it is not what is measured.
    openAndLeave(withSystem);
    openAndLeave(withNone);

    std::printf("serial devices present: %lld (platform %s)\n",
                qlonglong(station::systemSerialDevices().size()),
                qPrintable(QGuiApplication::platformName()));
    report("opening with the system's device list", [&] { openAndLeave(withSystem); });
    report("opening with no device list to ask", [&] { openAndLeave(withNone); });
    report("the system's device list alone", [] { (void)station::systemSerialDevices(); });
    return 0;
}
