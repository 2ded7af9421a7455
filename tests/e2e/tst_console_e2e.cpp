// SPDX-License-Identifier: GPL-3.0-or-later
// The real irconsole against the real station-sim on a pseudo-terminal, driven through the X
// server as an operator drives it: clicks, keys, what the screen shows, what the station logged.
#include "tests/e2e/ConsoleProcess.h"
#include "tests/e2e/IniText.h"
#include "tests/e2e/StationProcess.h"
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using e2e::ConsoleProcess;
using e2e::LogLine;
using e2e::StationProcess;
using e2e::XWindow;

namespace {

// Profile 0 is short, so that the station runs it in about ten seconds at --speed 8;
// profile 2 is the one whose frame is checked byte for byte.
const QByteArray kSettings = R"([Connect]
Comport=Com1
BaudRate=19200

[Global]
EditP2=70
EditpGain=40
EditiGain=5
EditdGain=10
EditTpid=20
EditpBH=80
EditkBH=10
EditP1=80
Correct1=0
Correct2=0
Hex=0
VisibleProfil=1
TempEnableFan=150
EnableFan=0
AutoStart=1

[Profil0]
T0=30
TB=60
T1=50
S1=40
T3=60
S3=40
Name=Короткий

[Profil2]
T0=180
TB=150
T1=160
S1=60
T3=235
S3=30
Name=QFN бессвинцовый
)";

// What the station must receive: a status frame naming the profile, and the
// profile frame of profile 2 above, both as the link's layout fixes them.
QByteArray statusFrame(int profile) {
    return e2e::frameBytes(QStringLiteral("FF 00*7 4B %1 00*24 FF 04 00*6 4B 00*5 E1 29")
                               .arg(profile, 2, 16, QLatin1Char('0')));
}
const QByteArray kProfile2Frame =
    e2e::frameBytes(QStringLiteral("FF 04 E0 FF 00*5 02 00*2 A0 00*5 EB 00 3C 00 B4 00 96 00*5 1E "
                                   "00*3 FF 04 00 FF 04 00*6 4B 00*2 D0 AF"));

// Main window controls, at their places in their bands.
const QPoint kConnectButton(7 + 55, 4 + 12);    // ButtonConnect, bottom band
const QPoint kTransferButton(116 + 55, 4 + 12); // Button1
const QRect kStartStopButtons(334, 4, 219, 25); // ButtonStart and ButtonStop
const QPoint kProfileSelector(7 + 47, 38 + 12); // ComboBox1, top band
const QRect kRunState(106, 4, 121, 27);         // Works
const QRect kRunClock(106, 37, 121, 27);        // FTimer
// The chart lies between the top band with the profile strip (73 + 48) and the bottom band.
constexpr int kBandsAboveChart = 73 + 48;
constexpr int kBottomBand = 35;
enum MenuItem { GeneralSettings, ProfileEditor, Exit, About };

// Dialog controls, in the dialog's own coordinates.
const QPoint kEditorT3Row0(545 + 25, 32 + 10); // Edit5 of the profile editor
const QPoint kEditorSave(443 + 50, 306 + 10);  // Button1 "Сохранить"
const QPoint kGeneralPGain(8 + 60, 50 + 12);   // EditpGain
const QPoint kGeneralSave(371 + 50, 311 + 10); // SaveForms
const QPoint kPortSetupButton(552 + 55, 4 + 12); // Button2 "Настройка порта", bottom band
const QPoint kPortSave(29 + 50, 71 + 10);        // SaveForms of the connection dialog

constexpr int kFrameTimeoutMs = 15000;
constexpr int kWindowTimeoutMs = 15000;
constexpr int kRunTimeoutMs = 90000;

// Text and thin lines are drawn smoothed, so their colour is only mostly pure.
bool isRed(QRgb p) {
    return qRed(p) > 150 && qRed(p) - std::max(qGreen(p), qBlue(p)) > 80;
}
bool isBlue(QRgb p) {
    return qBlue(p) > 150 && qBlue(p) - std::max(qRed(p), qGreen(p)) > 80;
}
bool isText(QRgb p) {
    return qGray(p) < 120;
}

int countPixels(const QImage& image, const QRect& area, bool (*test)(QRgb)) {
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    return count;
}

bool isStatus(const LogLine& line) {
    return line.direction == u"RX" && line.kind == u"status";
}

} // namespace

class TestConsoleE2e : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectSelectAndTransferReachTheStation();
    void stationRunsTheTransferredProfileByItself();
    void dialogsSaveToTheFileAndTheConsoleFollows();
    void storedTerminalPathSurvivesTheDialogAndConnects();
    void twoConsolesKeepTheirOwnSettingsAndRuns();

private:
    QRect topBand(const QRect& r) const { return r.translated(m_console->inTopBand(0, 0)); }
    QRect bottomBand(const QRect& r) const { return r.translated(m_console->inBottomBand(0, 0)); }
    QImage screen() const { return m_console->grab(m_console->mainWindow()); }
    void clickMain(QPoint at) const { m_console->click(m_console->mainWindow(), at); }
    void clickMenu(MenuItem item) const { clickMain(m_console->menuItems().value(item)); }
    // Starts the station with these options and the console, and connects.
    void startAndConnect(const QStringList& stationOptions = {});
    // The operator leaves through the menu; the console must end cleanly.
    void exitConsole();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationProcess> m_station;
    std::unique_ptr<ConsoleProcess> m_console;
};

void TestConsoleE2e::initTestCase() {
    if (const std::optional<QString> missing = e2e::missingDesktopTools())
        QSKIP(qPrintable(*missing));
}

void TestConsoleE2e::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_station = std::make_unique<StationProcess>(m_dir->path());
    m_console = std::make_unique<ConsoleProcess>(m_dir->path());
    QFile settings(m_console->settingsPath());
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(kSettings);
}

void TestConsoleE2e::cleanup() {
    m_console.reset();
    m_station.reset();
    m_dir.reset();
}

void TestConsoleE2e::startAndConnect(const QStringList& stationOptions) {
    QVERIFY2(m_station->start(stationOptions), qPrintable(m_station->errors()));
    QVERIFY2(m_console->start(), qPrintable(m_console->errors()));
    // Nothing is sent before the operator connects.
    QTest::qWait(1500);
    QVERIFY(m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).isEmpty());
    clickMain(m_console->inBottomBand(kConnectButton.x(), kConnectButton.y()));
    QVERIFY2(m_station->waitForLog(isStatus, kFrameTimeoutMs), "no status frame after connecting");
}

void TestConsoleE2e::exitConsole() {
    clickMenu(Exit);
    QVERIFY2(m_console->waitForCleanExit(kWindowTimeoutMs), qPrintable(m_console->errors()));
    QVERIFY2(m_station->quit(), qPrintable(m_station->errors()));
}

// Connect: a status frame for profile 0 each second. Choosing profile 2 in the
// selector puts 2 into the next status frame; "Передать профиль" sends profile 2's
// frame byte for byte and the poll goes on after it; a second press on
// "Подключение" stops the frames.
void TestConsoleE2e::connectSelectAndTransferReachTheStation() {
    startAndConnect();
    QTRY_VERIFY_WITH_TIMEOUT(
        m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size() >= 3,
        kFrameTimeoutMs);
    QList<LogLine> first;
    qsizetype answers = 0;
    for (const LogLine& line : m_station->log()) {
        if (isStatus(line))
            first.append(line);
        answers += line.kind == u"telemetry" ? 1 : 0;
    }
    QCOMPARE(first.front().bytes, statusFrame(0));
    for (qsizetype i = 1; i < first.size(); ++i) {
        QCOMPARE(first[i].bytes, statusFrame(0));
        QVERIFY2(first[i].ms - first[i - 1].ms >= 500, "status frames come about once a second");
    }
    // The console's own period: a second on average (the in-process tests of the
    // poll mostly run it faster).
    const double mean = double(first.back().ms - first.front().ms) / double(first.size() - 1);
    QVERIFY2(mean > 900 && mean < 1100, qPrintable(QString::number(mean)));
    // Each one answered (the newest answer may still be on its way into the log).
    QVERIFY(answers == first.size() || answers == first.size() - 1);

    clickMain(m_console->inTopBand(kProfileSelector.x(), kProfileSelector.y()));
    m_console->keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    QVERIFY2(m_station->waitForLog(
                 [](const LogLine& line) { return isStatus(line) && line.bytes == statusFrame(2); },
                 kFrameTimeoutMs),
             "the status frame does not name the chosen profile 2");

    const qsizetype beforeTransfer = m_station->log().size();
    clickMain(m_console->inBottomBand(kTransferButton.x(), kTransferButton.y()));
    QVERIFY2(m_station->waitForLog([](const LogLine& line) { return line.kind == u"profile"; },
                                   kFrameTimeoutMs, beforeTransfer),
             "no profile frame reached the station");
    const QList<LogLine> profiles =
        m_station->logged(QStringLiteral("RX"), QStringLiteral("profile"));
    QCOMPARE(profiles.size(), 1);
    QCOMPARE(profiles.front().bytes.toHex(' '), kProfile2Frame.toHex(' '));
    // The poll resumes after the transfer.
    const qsizetype afterTransfer = m_station->log().size();
    QVERIFY(m_station->waitForLog(isStatus, kFrameTimeoutMs, afterTransfer));

    clickMain(m_console->inBottomBand(kConnectButton.x(), kConnectButton.y()));
    QTest::qWait(1500); // a frame already on its way may still arrive
    const qsizetype afterDisconnect =
        m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size();
    QTest::qWait(2500);
    QCOMPARE(m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size(),
             afterDisconnect);

    exitConsole();
}

// With AutoStart 1 the start and stop buttons are hidden and the station runs
// the show: after the transfer of the short profile 0, the station's own start
// turns the run state red ("Пайка") and the clock counts; when the station ends
// the run, the state turns blue again, the clock stands still and the chart
// keeps both curves. A screenshot of the run is kept.
void TestConsoleE2e::stationRunsTheTransferredProfileByItself() {
    startAndConnect({QStringLiteral("--speed"), QStringLiteral("8")});
    QCOMPARE(countPixels(screen(), bottomBand(kStartStopButtons), isText), 0);

    const qsizetype beforeTransfer = m_station->log().size();
    clickMain(m_console->inBottomBand(kTransferButton.x(), kTransferButton.y()));
    QVERIFY(m_station->waitForLog([](const LogLine& line) { return line.kind == u"profile"; },
                                  kFrameTimeoutMs, beforeTransfer));
    QVERIFY(m_station->waitForLog(isStatus, kFrameTimeoutMs, m_station->log().size()));

    QCOMPARE(m_station->command(QStringLiteral("start")), QStringLiteral("started profile 0"));
    QVERIFY(m_station->waitForLog(
        [](const LogLine& line) { return line.kind == u"start" && line.detail == u"0"; },
        kFrameTimeoutMs));

    QImage running;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     running = screen();
                     return countPixels(running, topBand(kRunState), isRed) > 0;
                 },
                 kFrameTimeoutMs),
             "the run state never turned red");
    QTest::qWait(5000);
    const QImage later = screen();
    QVERIFY2(later.copy(topBand(kRunClock)) != running.copy(topBand(kRunClock)),
             "the run clock does not count during the run");
    const QString shot = QDir(testsupport::artifactsDir()).filePath(QStringLiteral("e2e-run.png"));
    QVERIFY(later.save(shot));
    qInfo("screenshot of the run: %s", qPrintable(shot));

    QVERIFY2(m_station->waitForLog([](const LogLine& line) { return line.kind == u"end"; },
                                   kRunTimeoutMs),
             "the station never ended the run");
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QImage image = screen();
                     return countPixels(image, topBand(kRunState), isBlue) > 0 &&
                            countPixels(image, topBand(kRunState), isRed) == 0;
                 },
                 kFrameTimeoutMs),
             "the run state did not return to idle");
    const QImage idle = screen();
    QTest::qWait(2500);
    const QImage idleLater = screen();
    QCOMPARE(idleLater.copy(topBand(kRunClock)), idle.copy(topBand(kRunClock)));
    const QRect chart(0, m_console->topBandY() + kBandsAboveChart, idle.width(),
                      idle.height() - m_console->topBandY() - kBandsAboveChart - kBottomBand);
    // A run of a few seconds is a short stroke on a 900-second axis: a few pixels each.
    const bool curves = countPixels(idle, chart, isRed) > 5 && countPixels(idle, chart, isBlue) > 5;
    if (!curves)
        idle.save(QDir(testsupport::artifactsDir()).filePath(QStringLiteral("e2e-run-end.png")));
    QVERIFY2(curves, "the chart lacks a curve (e2e-run-end.png shows it)");

    exitConsole();
}

// The profile editor and the general settings, edited with clicks and typing:
// each save changes exactly the edited key in the file, and the main window takes
// the new profile at once (the next transfer carries it).
void TestConsoleE2e::dialogsSaveToTheFileAndTheConsoleFollows() {
    const std::optional<e2e::IniValues> original = e2e::readIniValues(m_console->settingsPath());
    QVERIFY(original);
    startAndConnect();

    clickMenu(ProfileEditor);
    const std::optional<XWindow> editor =
        m_console->waitForWindow(QStringLiteral("Редактор профилей"), kWindowTimeoutMs);
    QVERIFY2(editor, "the profile editor did not open");
    m_console->click(*editor, kEditorT3Row0);
    m_console->keys({QStringLiteral("ctrl+a")});
    m_console->type(QStringLiteral("99"));
    m_console->click(*editor, kEditorSave);
    QVERIFY2(m_console->waitForWindowGone(*editor, kWindowTimeoutMs), "the editor stayed open");

    std::optional<e2e::IniValues> saved = e2e::readIniValues(m_console->settingsPath());
    QVERIFY(saved);
    QStringList changes = e2e::unexpectedChanges(
        *original, *saved, {{QStringLiteral("Profil0/T3"), QStringLiteral("99")}});
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral("; "))));

    clickMenu(GeneralSettings);
    const std::optional<XWindow> general =
        m_console->waitForWindow(QStringLiteral("Общие настройки станции"), kWindowTimeoutMs);
    QVERIFY2(general, "the general settings did not open");
    m_console->click(*general, kGeneralPGain);
    m_console->keys({QStringLiteral("ctrl+a")});
    m_console->type(QStringLiteral("200"));
    m_console->click(*general, kGeneralSave);
    QVERIFY2(m_console->waitForWindowGone(*general, kWindowTimeoutMs),
             "the general settings stayed open");

    const std::optional<e2e::IniValues> savedAgain = e2e::readIniValues(m_console->settingsPath());
    QVERIFY(savedAgain);
    changes = e2e::unexpectedChanges(*saved, *savedAgain,
                                     {{QStringLiteral("Global/EditpGain"), QStringLiteral("200")}});
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral("; "))));

    // The main window reloaded profile 0: its new T3 goes out at offset 18.
    const qsizetype beforeTransfer = m_station->log().size();
    clickMain(m_console->inBottomBand(kTransferButton.x(), kTransferButton.y()));
    QVERIFY(m_station->waitForLog([](const LogLine& line) { return line.kind == u"profile"; },
                                  kFrameTimeoutMs, beforeTransfer));
    const QByteArray frame =
        m_station->logged(QStringLiteral("RX"), QStringLiteral("profile")).last().bytes;
    QCOMPARE(frame.size(), 50);
    QCOMPARE(quint8(frame[18]), quint8(99));
    QCOMPARE(quint8(frame[12]), quint8(50)); // T1 as it was

    const std::optional<QByteArray> beforeExit = e2e::fileBytes(m_console->settingsPath());
    exitConsole();
    QCOMPARE(e2e::fileBytes(m_console->settingsPath()), beforeExit); // nothing written on exit
}

// The simulator's terminal path written into the file by hand, with no com1 link
// beside the console: "Сохранить" in "Настройка порта" keeps the path, and the
// console connects through it.
void TestConsoleE2e::storedTerminalPathSurvivesTheDialogAndConnects() {
    QVERIFY2(m_station->start(), qPrintable(m_station->errors()));
    QVERIFY(QFile::remove(m_station->linkPath()));
    QByteArray settings = kSettings;
    settings.replace("Comport=Com1", "Comport=" + m_station->terminal().toUtf8());
    {
        QFile file(m_console->settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(settings);
    }
    const std::optional<e2e::IniValues> original = e2e::readIniValues(m_console->settingsPath());
    QVERIFY(original);
    QCOMPARE(original->value(QStringLiteral("Connect/Comport")), m_station->terminal());
    QVERIFY2(m_console->start(), qPrintable(m_console->errors()));

    clickMain(m_console->inBottomBand(kPortSetupButton.x(), kPortSetupButton.y()));
    const std::optional<XWindow> dialog =
        m_console->waitForWindow(QStringLiteral("Настройки соединения"), kWindowTimeoutMs);
    QVERIFY2(dialog, "the connection settings did not open");
    m_console->click(*dialog, kPortSave);
    QVERIFY2(m_console->waitForWindowGone(*dialog, kWindowTimeoutMs),
             "the connection settings stayed open");
    const std::optional<e2e::IniValues> saved = e2e::readIniValues(m_console->settingsPath());
    QVERIFY(saved);
    const QStringList changes = e2e::unexpectedChanges(*original, *saved, {});
    QVERIFY2(changes.isEmpty(), qPrintable(changes.join(QStringLiteral("; "))));

    clickMain(m_console->inBottomBand(kConnectButton.x(), kConnectButton.y()));
    QVERIFY2(m_station->waitForLog(isStatus, kFrameTimeoutMs),
             "no status frame through the stored terminal path");
    QCOMPARE(m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).front().bytes,
             statusFrame(0));

    exitConsole();
}

// One computer, two stations: each console started with --settings FILE saves into
// that file, finds its port link beside it and journals into runs/ beside it.
void TestConsoleE2e::twoConsolesKeepTheirOwnSettingsAndRuns() {
    struct Station {
        QString folder;
        std::unique_ptr<StationProcess> station;
        std::unique_ptr<ConsoleProcess> console;
    };
    Station stations[2];
    for (int i = 0; i < 2; ++i) {
        Station& one = stations[i];
        one.folder = m_dir->filePath(QStringLiteral("station %1").arg(i + 1));
        QVERIFY(QDir().mkpath(one.folder));
        const QString file = one.folder + QStringLiteral("/st%1.ini").arg(i + 1);
        // Blanks around '=' as a hand edit leaves them: a save that does not change
        // the key keeps its line as it is.
        QByteArray settings = kSettings + "\n[Record]\nAutoSave=1\n";
        settings.replace("BaudRate=19200", "BaudRate = 19200");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(settings);
        out.close();
        // What a console killed during a save leaves behind; the next save beside
        // it removes it.
        QFile leftover(file + QStringLiteral(".tmp1x2y3z"));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        one.station = std::make_unique<StationProcess>(one.folder);
        QVERIFY2(one.station->start(), qPrintable(one.station->errors()));
        one.console = std::make_unique<ConsoleProcess>(
            ConsoleProcess::Launch{QStringLiteral(IRCONSOLE_BINARY_DIR "/irconsole"),
                                   {QStringLiteral("--settings"), file},
                                   file});
        QVERIFY2(one.console->start(), qPrintable(one.console->errors()));
    }
    const auto bytes = [&](int i) {
        return e2e::fileBytes(stations[i].console->settingsPath());
    };
    const auto runs = [&](int i) {
        return QDir(stations[i].folder + QStringLiteral("/runs"))
            .entryList({QStringLiteral("*.csv")}, QDir::Files);
    };

    // The first console's save goes into its own file only.
    const std::optional<QByteArray> secondBefore = bytes(1);
    QVERIFY(secondBefore && secondBefore->contains("BaudRate = 19200"));
    ConsoleProcess& first = *stations[0].console;
    first.raise(first.mainWindow()); // the second window lies over it
    first.click(first.mainWindow(), first.inBottomBand(kPortSetupButton.x(), kPortSetupButton.y()));
    const std::optional<XWindow> dialog =
        first.waitForWindow(QStringLiteral("Настройки соединения"), kWindowTimeoutMs);
    QVERIFY2(dialog, "the connection settings did not open");
    first.click(*dialog, kPortSave);
    QVERIFY(first.waitForWindowGone(*dialog, kWindowTimeoutMs));
    const std::optional<QByteArray> firstAfter = bytes(0);
    QVERIFY(firstAfter && firstAfter->contains("\nBaudRate = 19200\n"));
    const auto leftoverOf = [&](int i) {
        return QFileInfo::exists(stations[i].console->settingsPath() +
                                 QStringLiteral(".tmp1x2y3z"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(!leftoverOf(0), kWindowTimeoutMs); // the save was made there
    QVERIFY(leftoverOf(1));
    QCOMPARE(bytes(1), secondBefore);

    // Each connects to the station whose link lies beside its file, and a run
    // there is journalled beside that file.
    for (int i = 0; i < 2; ++i) {
        ConsoleProcess& console = *stations[i].console;
        console.raise(console.mainWindow());
        console.click(console.mainWindow(),
                      console.inBottomBand(kConnectButton.x(), kConnectButton.y()));
        QVERIFY2(stations[i].station->waitForLog(isStatus, kFrameTimeoutMs),
                 qPrintable(QStringLiteral("station %1 got no status frame").arg(i + 1)));
    }
    for (int i = 0; i < 2; ++i) {
        StationProcess& station = *stations[i].station;
        QCOMPARE(station.command(QStringLiteral("start")), QStringLiteral("started profile 0"));
        QVERIFY2(QTest::qWaitFor([&] { return runs(i).size() == 1; }, kRunTimeoutMs),
                 qPrintable(QStringLiteral("no journal beside st%1.ini").arg(i + 1)));
        QCOMPARE(station.command(QStringLiteral("stop")), QStringLiteral("stopped"));
        // The other console journals nothing of this run.
        QCOMPARE(runs(1 - i).size(), i == 0 ? 0 : 1);
    }
    for (Station& one : stations) {
        one.console->raise(one.console->mainWindow());
        one.console->click(one.console->mainWindow(), one.console->menuItems().value(Exit));
        QVERIFY2(one.console->waitForCleanExit(kWindowTimeoutMs),
                 qPrintable(one.console->errors()));
        QVERIFY2(one.station->quit(), qPrintable(one.station->errors()));
    }
}

// A GUI application, so that this process holds a connection to the X server for
// the whole run: without one, the server resets each time a console exits and
// turns the next console away while it does.
QTEST_MAIN(TestConsoleE2e)
#include "tst_console_e2e.moc"
