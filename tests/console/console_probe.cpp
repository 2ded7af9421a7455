// SPDX-License-Identifier: GPL-3.0-or-later
// A console in a process of its own, for the tests that need a second console, another user or
// another locale: the console's six windows with their settings in the given directory, a press
// of the connect button, and what the operator then sees printed line by line on stdout:
//   links <caption of TextLinks>   each time it changes
//   readings <top> <bottom>        each time the readouts change
//   box <text>                     each message or error box (answered with OK)
//
//   console_probe <directory>          connects, prints, and ends
//   console_probe <directory> --hold   stays connected, printing, until stdin closes or says quit
#include "app/Application.h"
#include "config/SettingsFile.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

void print(const QString& kind, const QString& text) {
    std::fputs(qPrintable(kind + u' ' + text + u'\n'), stdout);
    std::fflush(stdout);
}

// Prints each new box and each change of the connection caption.
class Reporter : public QObject {
public:
    Reporter(const testsupport::ModalWatcher& watcher, const QLabel& links, const QLabel& top,
             const QLabel& bottom)
        : m_watcher(watcher), m_links(links), m_top(top), m_bottom(bottom) {}

    void report() {
        for (; m_boxesSeen < m_watcher.boxes().size(); ++m_boxesSeen)
            print(QStringLiteral("box"), m_watcher.boxes().at(m_boxesSeen).text);
        if (m_links.text() != m_lastLinks) {
            m_lastLinks = m_links.text();
            print(QStringLiteral("links"), m_lastLinks);
        }
        const QString readings = m_top.text() + u' ' + m_bottom.text();
        if (readings != m_lastReadings) {
            m_lastReadings = readings;
            print(QStringLiteral("readings"), readings);
        }
    }

private:
    const testsupport::ModalWatcher& m_watcher;
    const QLabel& m_links;
    const QLabel& m_top;
    const QLabel& m_bottom;
    qsizetype m_boxesSeen = 0;
    QString m_lastLinks;
    QString m_lastReadings;
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fputs("usage: console_probe <directory> [--hold]\n", stderr);
        return 2;
    }
    const bool hold = arguments.contains(QStringLiteral("--hold"));
    const config::ScopedAppDirectoryOverride directory(arguments.at(1));

    app::prepareApplication(application);
    app::Windows windows;
    windows.Form1.show();
    const auto* works = windows.Form1.findChild<QLabel*>(QStringLiteral("Works"));
    const auto* links = windows.Form1.findChild<QLabel*>(QStringLiteral("TextLinks"));
    const auto* top = windows.Form1.findChild<QLabel*>(QStringLiteral("INTemperatureUP"));
    const auto* bottom = windows.Form1.findChild<QLabel*>(QStringLiteral("INTemperatureDown"));
    auto* connectButton = windows.Form1.findChild<QPushButton*>(QStringLiteral("ButtonConnect"));
    if (!works || !links || !top || !bottom || !connectButton ||
        !QTest::qWaitFor([works] { return !works->text().isEmpty(); }, 10000)) {
        std::fputs("the console did not start\n", stderr);
        return 1;
    }

    testsupport::ModalWatcher watcher;
    Reporter reporter(watcher, *links, *top, *bottom);
    connectButton->click();
    // The watcher answers a box within a few milliseconds of its showing.
    QTest::qWait(300);
    reporter.report();
    if (!hold)
        return 0;

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &reporter, [&reporter] { reporter.report(); });
    ticker.start(50);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&input] {
        char line[64];
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line);
        if (n <= 0 || QByteArray(line, int(n)).trimmed() == "quit") {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    print(QStringLiteral("holding"), QString());
    QApplication::exec();
    reporter.report();
    return 0;
}
