// SPDX-License-Identifier: GPL-3.0-or-later
// The connect press at a listed speed, through the console's link beside the executable to a
// pseudo-terminal: the settings read, the speed checked, the device opened, locked and set up.
// The port alone is timed too.
#include "bench/Repeated.h"
#include "config/SettingsFile.h"
#include "console/Form.h"
#include "link/PortUnit.h"
#include "sim/PseudoTerminal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kConnects = 101;

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QTemporaryDir dir;
    sim::PseudoTerminal terminal;
    if (!dir.isValid() || !terminal.isOpen())
        return 1;
    const config::ScopedAppDirectoryOverride appDir(dir.path());
    if (!QFile::link(terminal.slavePath(), dir.filePath(QStringLiteral("com1"))))
        return 1;
    QFile settings(dir.filePath(QStringLiteral("Iniprofil.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[Connect]\nComport=Com1\nBaudRate=19200\n[Global]\nHex=0\n");
    settings.close();

    TForm1 form1;
    form1.show();
    QCoreApplication::processEvents();
    // Connect and disconnect once: the first open loads what the port needs.
    form1.Connect();
    form1.Connect();
    if (form1.StatusConnect != 0)
        return 1;

    // Each press is timed alone; the disconnect between presses is not.
    std::vector<double> times;
    for (int round = 0; round < kConnects; ++round) {
        QElapsedTimer timer;
        timer.start();
        form1.Connect();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (form1.StatusConnect != 1)
            return 1;
        form1.Connect();
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s best %8.2f ms   median %8.2f ms   worst %8.2f ms\n",
                "connect press at 19200 (link to a pty)", times.front(), times[times.size() / 2],
                times.back());

    station::PortUnit port;
    bench::reportRepeated("port open and close alone at 19200", kConnects, [&](int) {
        if (!port.open(terminal.slavePath(), 19200).ok)
            std::abort();
        port.close();
    });
    return 0;
}
