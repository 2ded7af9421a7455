// SPDX-License-Identifier: GPL-3.0-or-later
// The baseline for the start-up benchmark: a bare Qt main window of the console's size.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(1024, 768);
    window.show();
    return QApplication::exec();
}
