// SPDX-License-Identifier: GPL-3.0-or-later
// The real irconsole binary on the test's X server, driven with real clicks and keys.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

namespace e2e {

// A top-level window on the X server as xdotool sees it.
struct XWindow {
    QString id;
    QString name;
    QRect geometry; // on the screen
};

// The console's main window caption, and the title of its message and error boxes
// (the executable's name, since the console sets no application title).
inline const QString kMainWindowName =
    QStringLiteral("Программа управления инфракрасной паяльной станцией");
inline const QString kBoxName = QStringLiteral("irconsole");

// Whether xdotool and ImageMagick's import are there, and an X display to use;
// the reason why not otherwise.
std::optional<QString> missingDesktopTools();

// The console copied into `directory` with its settings file beside it, as an
// operator installs it, and run there: its settings file and its port link com1
// are that directory's. Clicks and keys go through the X server (xdotool), and
// what the operator sees is read from screenshots. Nothing here looks inside the
// process. The process is killed with the object if it is still running.
class ConsoleProcess {
public:
    explicit ConsoleProcess(const QString& directory);
    // A console run as it stands (a build's, an installed one), with command-line
    // arguments and changes to the environment; `settingsFile` is where the test
    // expects its settings file.
    struct Launch {
        QString program;
        QStringList arguments;
        QString settingsFile;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    };
    explicit ConsoleProcess(Launch launch);
    ~ConsoleProcess();
    ConsoleProcess(const ConsoleProcess&) = delete;
    ConsoleProcess& operator=(const ConsoleProcess&) = delete;

    QString settingsPath() const;

    // Copies build/irconsole of this build (unless launched as it stands), starts
    // it and waits until its main window is shown and initialised from the
    // settings file.
    bool start();
    QString errors();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // The process, to hold it as a busy machine or a stopped process would.
    qint64 processId() const { return m_process.processId(); }
    // Waits for the process to end; true when it ended by itself with exit code 0
    // (in the sanitizer build a leak or any other finding changes the code).
    bool waitForCleanExit(int timeoutMs);

    const XWindow& mainWindow() const { return m_main; }
    // The visible windows of the process: the main window, dialogs, boxes, popups.
    QList<XWindow> windows() const;
    std::optional<XWindow> waitForWindow(const QString& name, int timeoutMs) const;
    bool waitForWindowGone(const XWindow& window, int timeoutMs) const;

    // Puts the window above the others (there is no window manager to do it on a click).
    void raise(const XWindow& window) const;
    // A left click at a point of the window (its own coordinates).
    void click(const XWindow& window, QPoint at) const;
    // Key presses to whichever window has the focus (xdotool key names: Return, ctrl+a).
    void keys(const QStringList& names) const;
    void type(const QString& text) const;
    QImage grab(const XWindow& window) const;

    // Main window layout, measured on the screen: the menu bar's height (where the
    // top band starts) and the centres of the four menu items, left to right.
    int topBandY() const { return m_topBandY; }
    QList<QPoint> menuItems() const { return m_menuItems; }
    // A point of the top band (its own coordinates) and of the bottom band.
    QPoint inTopBand(int x, int y) const { return {x, m_topBandY + y}; }
    QPoint inBottomBand(int x, int y) const;

private:
    bool measureLayout();

    Launch m_launch;
    bool m_copy = true; // copy build/irconsole to the program's place first
    QProcess m_process;
    XWindow m_main;
    int m_topBandY = -1;
    QList<QPoint> m_menuItems;
    QString m_stderr;
};

} // namespace e2e
