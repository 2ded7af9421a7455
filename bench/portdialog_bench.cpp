// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the connection dialog with the system's serial device list, timed against an opening
// with no devices to ask for, and the device list alone.
#include "bench/Repeated.h"
#include "config/SettingsFile.h"
#include "console/Form.h"
#include "dialogs/Unit4.h"
#include "link/SerialDevices.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kOpenings = 21;

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
    bench::reportRepeated("opening with the system's device list", kOpenings,
                          [&](int) { openAndLeave(withSystem); });
    bench::reportRepeated("opening with no device list to ask", kOpenings,
                          [&](int) { openAndLeave(withNone); });
    bench::reportRepeated("the system's device list alone", kOpenings,
                          [](int) { (void)station::systemSerialDevices(); });
    return 0;
}
