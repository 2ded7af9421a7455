// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of the real irconsole binary on the test's X server, driven with real clicks and keys.
#include "tests/e2e/ConsoleProcess.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <utility>

namespace e2e {

namespace {

const QString kBinary = QStringLiteral(IRCONSOLE_BINARY_DIR "/irconsole");
// Generous: the sanitizer build starts and paints several times slower.
constexpr int kStartTimeoutMs = 30000;
constexpr int kToolTimeoutMs = 20000;

// The bottom band is 35 px high at the bottom of the window; the link state sits
// in it at 770, 4, 91 x 25, written in blue once the console has initialised.
constexpr int kBottomBandHeight = 35;
const QRect kLinkStateInBottomBand(770, 4, 91, 25);

// Runs a desktop tool to its end; its stdout, or nullopt when it failed.
std::optional<QByteArray> tool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

std::optional<QByteArray> xdotool(const QStringList& arguments) {
    return tool(QStringLiteral("xdotool"), arguments);
}

std::optional<XWindow> describe(const QString& id) {
    const std::optional<QByteArray> shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
    const std::optional<QByteArray> name = xdotool({QStringLiteral("getwindowname"), id});
    if (!shell || !name)
        return std::nullopt;
    XWindow window;
    window.id = id;
    window.name = QString::fromUtf8(*name).trimmed();
    int x = 0, y = 0, width = 0, height = 0;
    for (const QByteArray& line : shell->split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() != 2)
            continue;
        const int value = pair[1].toInt();
        if (pair[0] == "X")
            x = value;
        else if (pair[0] == "Y")
            y = value;
        else if (pair[0] == "WIDTH")
            width = value;
        else if (pair[0] == "HEIGHT")
            height = value;
    }
    window.geometry = QRect(x, y, width, height);
    return window;
}

bool looksBlue(QRgb pixel) {
    return qBlue(pixel) > 180 && qRed(pixel) < 100 && qGreen(pixel) < 100;
}

bool anyPixel(const QImage& image, const QRect& area, bool (*test)(QRgb)) {
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (test(image.pixel(x, y)))
                return true;
    return false;
}

} // namespace

std::optional<QString> missingDesktopTools() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("needs an X server (the suite runs this test under xvfb-run)");
    for (const char* name : {"xdotool", "import"}) {
        if (QStandardPaths::findExecutable(QLatin1String(name)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(name));
    }
    return std::nullopt;
}

ConsoleProcess::ConsoleProcess(const QString& directory)
    : m_launch{QDir(directory).filePath(QStringLiteral("irconsole")),
               {},
               QDir(directory).filePath(QStringLiteral("Iniprofil.ini"))} {}

ConsoleProcess::ConsoleProcess(Launch launch) : m_launch(std::move(launch)), m_copy(false) {}

ConsoleProcess::~ConsoleProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString ConsoleProcess::settingsPath() const {
    return m_launch.settingsFile;
}

bool ConsoleProcess::start() {
    const QString& binary = m_launch.program;
    if (m_copy && !QFile::exists(binary) && !QFile::copy(kBinary, binary))
        return false;
    m_process.setProgram(binary);
    m_process.setArguments(m_launch.arguments);
    m_process.setWorkingDirectory(QDir::rootPath());
    QProcessEnvironment environment = m_launch.environment;
    environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the X server, as an operator has
    m_process.setProcessEnvironment(environment);
    m_process.start();
    if (!m_process.waitForStarted(kStartTimeoutMs))
        return false;

    const bool shown = QTest::qWaitFor(
        [this] {
            for (const XWindow& window : windows()) {
                if (window.name == kMainWindowName) {
                    m_main = window;
                    return true;
                }
            }
            return false;
        },
        kStartTimeoutMs);
    if (!shown)
        return false;
    // Initialised: the link state is written in blue in the bottom band.
    const QRect linkState = kLinkStateInBottomBand.translated(inBottomBand(0, 0));
    if (!QTest::qWaitFor([&] { return anyPixel(grab(m_main), linkState, looksBlue); },
                         kStartTimeoutMs))
        return false;
    return measureLayout();
}

QString ConsoleProcess::errors() {
    m_stderr += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_stderr;
}

bool ConsoleProcess::waitForCleanExit(int timeoutMs) {
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs))
        return false;
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QList<XWindow> ConsoleProcess::windows() const {
    QList<XWindow> found;
    if (m_process.state() != QProcess::Running)
        return found;
    const std::optional<QByteArray> ids =
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 QString::number(m_process.processId())});
    if (!ids)
        return found;
    for (const QByteArray& id : ids->split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        if (const std::optional<XWindow> window = describe(QString::fromLatin1(id.trimmed())))
            found.append(*window);
    }
    return found;
}

std::optional<XWindow> ConsoleProcess::waitForWindow(const QString& name, int timeoutMs) const {
    std::optional<XWindow> match;
    (void)QTest::qWaitFor(
        [&] {
            for (const XWindow& window : windows()) {
                if (window.name == name) {
                    match = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return match;
}

bool ConsoleProcess::waitForWindowGone(const XWindow& window, int timeoutMs) const {
    return QTest::qWaitFor(
        [&] {
            for (const XWindow& shown : windows()) {
                if (shown.id == window.id)
                    return false;
            }
            return true;
        },
        timeoutMs);
}

void ConsoleProcess::raise(const XWindow& window) const {
    (void)xdotool({QStringLiteral("windowraise"), window.id});
}

void ConsoleProcess::click(const XWindow& window, QPoint at) const {
    (void)xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                   QStringLiteral("--window"), window.id, QString::number(at.x()),
                   QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void ConsoleProcess::keys(const QStringList& names) const {
    (void)xdotool(
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} +
        names);
}

void ConsoleProcess::type(const QString& text) const {
    (void)xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), text});
}

QImage ConsoleProcess::grab(const XWindow& window) const {
    const std::optional<QByteArray> png = tool(
        QStringLiteral("import"), {QStringLiteral("-window"), window.id, QStringLiteral("png:-")});
    QImage image;
    if (png)
        image.loadFromData(*png, "PNG");
    return image;
}

QPoint ConsoleProcess::inBottomBand(int x, int y) const {
    return {x, m_main.geometry.height() - kBottomBandHeight + y};
}

// The menu bar is measured rather than assumed, since its height follows the
// font: the top band starts at the first row of its raised frame's white edge,
// and the menu items are the runs of dark text above it.
bool ConsoleProcess::measureLayout() {
    const QImage image = grab(m_main);
    if (image.isNull())
        return false;
    constexpr int kEdgeColumn = 3;
    constexpr int kLongestMenuBar = 40;
    for (int y = 1; y < kLongestMenuBar && m_topBandY < 0; ++y) {
        if (image.pixel(kEdgeColumn, y) == qRgb(255, 255, 255))
            m_topBandY = y;
    }
    if (m_topBandY < 0)
        return false;

    // Words of one item are a few pixels apart, items much further.
    constexpr int kGapBetweenItems = 8;
    constexpr int kDark = 150;
    int runStart = -1;
    int lastDark = -kGapBetweenItems - 1;
    auto closeRun = [&] {
        if (runStart >= 0)
            m_menuItems.append({(runStart + lastDark) / 2, m_topBandY / 2});
    };
    for (int x = 0; x < image.width(); ++x) {
        bool dark = false;
        for (int y = 1; y < m_topBandY - 1 && !dark; ++y)
            dark = qGray(image.pixel(x, y)) < kDark;
        if (!dark)
            continue;
        if (x - lastDark > kGapBetweenItems) {
            closeRun();
            runStart = x;
        }
        lastDark = x;
    }
    closeRun();
    return m_menuItems.size() == 4;
}

} // namespace e2e
