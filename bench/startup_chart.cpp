// SPDX-License-Identifier: GPL-3.0-or-later
// The fair floor for the start-up benchmark: a main window of the console's size holding a
// label and an empty chart view, what any console with a chart has to build and paint.
#include <QApplication>
#include <QChartView>
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    auto* central = new QWidget(&window);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(new QChartView(central), 1);
    // Along the bottom, as the console's status band is, so the driver's corner
    // pixel is window colour once the window has painted.
    layout->addWidget(new QLabel(QStringLiteral("Не подключен"), central));
    window.setCentralWidget(central);
    window.resize(1024, 768);
    window.show();
    return QApplication::exec();
}
