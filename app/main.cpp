// SPDX-License-Identifier: GPL-3.0-or-later
// irconsole: control console for an infrared soldering station.
#include "app/Application.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    app::prepareApplication(application);
    app::Windows windows;
    windows.Form1.show();
    return QApplication::exec();
}
