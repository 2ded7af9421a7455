// SPDX-License-Identifier: GPL-3.0-or-later
// The fault matrix: each way the link or the settings file can go wrong, what the operator sees,
// and that nothing is lost. The console's six windows run in this process (their texts, the boxes
// and the recorded run are read from the widgets); the station is build/station-sim in a process
// of its own on a pseudo-terminal, and the settings files are real files.
#include "app/Application.h"
#include "config/FileReplace.h"
#include "config/SettingsFile.h"
#include "tests/e2e/StationProcess.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QXYSeries>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

using testsupport::ModalWatcher;

namespace {

const QString kSettingsText = QStringLiteral(R"([Connect]
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
T0=100
TB=160
T1=180
S1=60
T3=240
S3=30
Name=Бессвинцовый BGA

[Profil3]
T0=90
TB=140
T1=150
S1=45
T3=220
S3=20
Name=Свинцовый QFN, ёмкость
)");

// The link's boxes: the port, the device (the link and the node it leads to), why.
const QString kLinkLost = QStringLiteral("Соединение со станцией потеряно, порт Com1 (%1): %2.");
const QString kOpenFailed = QStringLiteral("Не удалось открыть порт Com1 (%1): %2.");
const QString kConnected = QStringLiteral("Подключен");
const QString kNoAnswer = QStringLiteral("Нет ответа");
const QString kNoReading = QStringLiteral("\u2014");

constexpr int kTickTimeoutMs = 10000; // a few poll ticks, with room for a loaded machine
constexpr int kCapDacOverride = 1;    // its bit in the capability sets

// Whether this process is subject to file permission bits: not so for root with
// the capability that overrides them.
bool permissionBitsApply() {
    if (::geteuid() != 0)
        return true;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("CapEff:")) {
            const quint64 effective = line.mid(7).trimmed().toULongLong(nullptr, 16);
            return (effective & (quint64(1) << kCapDacOverride)) == 0;
        }
    }
    return false;
}

// Windows-1251, as the console's older files were written: Cyrillic letters only
// need mapping, the rest of the text is ASCII.
QByteArray toWindows1251(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            bytes.append(char(u));
        else if (u >= 0x0410 && u <= 0x044F)
            bytes.append(char(0xC0 + (u - 0x0410)));
        else if (u == 0x0401)
            bytes.append(char(0xA8));
        else if (u == 0x0451)
            bytes.append(char(0xB8));
        else
            bytes.append('?');
    }
    return bytes;
}

// Every value the console keeps, as the console reads it (absent numbers read as
// 0, absent texts as empty).
QStringList everyValue(const QString& path) {
    const config::SettingsFile file(path);
    QStringList values;
    auto text = [&](const QString& section, const char* key) {
        values << section + u'/' + QLatin1String(key) + u'=' +
                      file.ReadString(section, QLatin1String(key), {});
    };
    auto number = [&](const QString& section, const char* key) {
        values << section + u'/' + QLatin1String(key) + u'=' +
                      QString::number(file.ReadInteger(section, QLatin1String(key), 0));
    };
    text(QStringLiteral("Connect"), "Comport");
    text(QStringLiteral("Connect"), "BaudRate");
    for (const char* key : {"EditP2", "EditpGain", "EditiGain", "EditdGain", "EditTpid", "EditpBH",
                            "EditkBH", "EditP1", "Correct1", "Correct2", "Hex", "VisibleProfil",
                            "TempEnableFan", "EnableFan", "AutoStart"})
        number(QStringLiteral("Global"), key);
    for (int p = 0; p < 10; ++p) {
        const QString section = QStringLiteral("Profil%1").arg(p);
        for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3"})
            number(section, key);
        text(section, "Name");
    }
    return values;
}

std::optional<QByteArray> bytesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QStringList entriesOf(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                     QDir::Name);
}

} // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The link.
    void portMissing();
    void portWithoutPermission();
    void adapterVanishesMidRun();
    void secondConsoleOnTheSameStation();
    void silentStation();
    void stationStopsReading();
    void instantStationShowsOnlyWhatItSent();
    void strayByteMidRun();
    void garbageFromStation();
    void burstsFromStation();
    void twoFramesCommandInTheOlder();
    void splitFrames();

    // The settings file.
    void settingsDirectoryReadOnly_data();
    void settingsDirectoryReadOnly();
    void settingsFileReplacedByADirectory();
    void binarySettingsFile();
    void windows1251SettingsFile();
    void settingsDiskFullDuringSave();

private:
    bool startConsole();
    TForm1& form() { return m_windows->Form1; }
    QString text(const char* name) const;
    QString text(const QObject& window, const char* name) const;
    void press(const QObject& window, const char* name);
    void type(const QObject& window, const char* field, const QString& text);
    // Starts the station with these options and the console, and connects.
    void connectToStation(const QStringList& options);
    QList<QPointF> topCurve() const;
    // Both readouts as the operator sees them, "top bottom".
    QString readouts() const;
    // Every reading pair the station sent in a telemetry frame so far, "top bottom".
    QSet<QString> sentReadings() const;
    // Opens a dialog as the operator does and runs `body` inside its modal run;
    // false when the dialog did not become the modal window.
    // Opens the general settings, types the proportional gain (unless null) and
    // saves: whether the dialog stayed open (then it is closed), or nullopt when
    // it never showed.
    std::optional<bool> saveGeneralSettings(const QString& pGain);
    bool inDialog(const std::function<void()>& open, QDialog* dialog,
                  const std::function<void()>& body);
    // Opens each dialog and leaves it without saving.
    void browseEveryDialog();
    // The settings file must still hold the bytes it held when the test began.
    void verifySettingsUntouched();

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<e2e::StationProcess> m_station;
    std::optional<app::Windows> m_windows;
    std::optional<ModalWatcher> m_watcher;
    std::optional<QByteArray> m_originalSettings;
};

void TestFaultMatrix::initTestCase() {
    app::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

void TestFaultMatrix::init() {
    m_dir.emplace();
    m_dir->writeSettings(kSettingsText.toUtf8());
    m_originalSettings = m_dir->readSettings();
    m_station = std::make_unique<e2e::StationProcess>(m_dir->path());
}

void TestFaultMatrix::cleanup() {
    m_watcher.reset();
    m_windows.reset();
    m_station.reset();
    // A case may have taken the write permission; give it back so the directory can go.
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0700);
    m_dir.reset();
}

bool TestFaultMatrix::startConsole() {
    m_windows.emplace();
    form().show();
    m_watcher.emplace();
    const auto* works = form().findChild<QLabel*>(QStringLiteral("Works"));
    return QTest::qWaitFor([works] { return !works->text().isEmpty(); }, kTickTimeoutMs);
}

QString TestFaultMatrix::text(const char* name) const {
    return text(m_windows->Form1, name);
}

QString TestFaultMatrix::text(const QObject& window, const char* name) const {
    if (const auto* label = window.findChild<QLabel*>(QLatin1String(name)))
        return label->text();
    if (const auto* edit = window.findChild<QLineEdit*>(QLatin1String(name)))
        return edit->text();
    return QStringLiteral("<no %1>").arg(QLatin1String(name));
}

void TestFaultMatrix::press(const QObject& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestFaultMatrix::type(const QObject& window, const char* field, const QString& text) {
    auto* edit = window.findChild<QLineEdit*>(QLatin1String(field));
    QVERIFY2(edit, field);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

void TestFaultMatrix::connectToStation(const QStringList& options) {
    QVERIFY2(m_station->start(options), qPrintable(m_station->errors()));
    QVERIFY(startConsole());
    press(form(), "ButtonConnect");
    QCOMPARE(text("TextLinks"), QStringLiteral("Подключен"));
}

QList<QPointF> TestFaultMatrix::topCurve() const {
    // The top heater's curve, among the chart's series by its name.
    const auto* curve = m_windows->Form1.findChild<QXYSeries*>(QStringLiteral("Series1"));
    return curve ? curve->points() : QList<QPointF>{};
}

QString TestFaultMatrix::readouts() const {
    return text("INTemperatureUP") + u' ' + text("INTemperatureDown");
}

QSet<QString> TestFaultMatrix::sentReadings() const {
    QSet<QString> sent;
    for (const e2e::LogLine& line :
         m_station->logged(QStringLiteral("TX"), QStringLiteral("telemetry")))
        sent.insert(
            QStringLiteral("%1 %2").arg(quint8(line.bytes[10])).arg(quint8(line.bytes[26])));
    return sent;
}

bool TestFaultMatrix::inDialog(const std::function<void()>& open, QDialog* dialog,
                               const std::function<void()>& body) {
    bool modal = false;
    // Posted before the modal run starts, so the dialog's own loop dispatches it.
    QTimer::singleShot(0, dialog, [&] {
        modal = QApplication::activeModalWidget() == dialog;
        body();
        if (dialog->isVisible()) // a failed check returned early: end the run anyway
            dialog->done(QDialog::Rejected);
    });
    open();
    return modal;
}

void TestFaultMatrix::browseEveryDialog() {
    app::Windows& w = *m_windows;
    const auto trigger = [this](const char* item) {
        return [this, item] {
            form().findChild<QAction*>(QLatin1String(item))->trigger();
        };
    };
    QVERIFY(inDialog(trigger("N3"), &w.Form2, [&] { press(w.Form2, "CloseForm"); }));
    QVERIFY(inDialog(trigger("N4"), &w.Form6, [&] { press(w.Form6, "Button2"); }));
    QVERIFY(inDialog([this] { press(form(), "Button2"); }, &w.Form4,
                     [&] { press(w.Form4, "CloseForm"); }));
    QVERIFY(inDialog(trigger("N2"), &w.Form3, [&] { w.Form3.close(); }));
}

std::optional<bool> TestFaultMatrix::saveGeneralSettings(const QString& pGain) {
    app::Windows& w = *m_windows;
    bool stayedOpen = false;
    const bool shown =
        inDialog([this] { form().findChild<QAction*>(QStringLiteral("N3"))->trigger(); }, &w.Form2,
                 [&] {
                     if (!pGain.isNull())
                         type(w.Form2, "EditpGain", pGain);
                     press(w.Form2, "SaveForms");
                     stayedOpen = w.Form2.isVisible();
                     if (stayedOpen)
                         press(w.Form2, "CloseForm");
                 });
    return shown ? std::optional<bool>(stayedOpen) : std::nullopt;
}

void TestFaultMatrix::verifySettingsUntouched() {
    QVERIFY2(m_dir->readSettings() == m_originalSettings,
             "the settings file changed although nothing was saved");
}

// Port missing (the adapter's device is gone before the connect: com1 points
// nowhere). The operator sees the error box "Не удалось открыть порт Com1 (<link>):
// нет устройства." and the console stays "Не подключен". Nothing is sent, nothing lost.
void TestFaultMatrix::portMissing() {
    const QString link = QDir(m_dir->path()).filePath(QStringLiteral("com1"));
    QVERIFY(QFile::link(QDir(m_dir->path()).filePath(QStringLiteral("no-such-adapter")), link));
    QVERIFY(startConsole());

    press(form(), "ButtonConnect");
    QCOMPARE(m_watcher->boxes().size(), 1);
    const testsupport::SeenBox box = m_watcher->boxes().first();
    QCOMPARE(box.text, kOpenFailed.arg(link, QStringLiteral("нет устройства")));
    QCOMPARE(box.icon, QMessageBox::Critical);
    qInfo("the operator sees: %s", qPrintable(box.text));
    QCOMPARE(text("TextLinks"), QStringLiteral("Не подключен"));
    QCOMPARE(form().StatusConnect, 0);
    verifySettingsUntouched();
}

// Port without permission (the operator is not allowed to open the device, as
// without membership of the dialout group). The operator sees the error box
// naming the port, its device and "нет прав на доступ к устройству", and the
// console stays "Не подключен"; the station receives nothing.
void TestFaultMatrix::portWithoutPermission() {
    if (!permissionBitsApply())
        QSKIP("this process may open any file; the permission cases need a user (or root "
              "without CAP_DAC_OVERRIDE, which this test arranges through setpriv)");
    QVERIFY2(m_station->start(), qPrintable(m_station->errors()));
    QVERIFY(::chmod(QFile::encodeName(m_station->terminal()).constData(), 0) == 0);
    QVERIFY(startConsole());

    press(form(), "ButtonConnect");
    QCOMPARE(m_watcher->boxes().size(), 1);
    const testsupport::SeenBox box = m_watcher->boxes().first();
    QCOMPARE(box.text,
             kOpenFailed.arg(m_station->linkPath() + QStringLiteral(" → ") + m_station->terminal(),
                             QStringLiteral("нет прав на доступ к устройству")));
    QCOMPARE(box.icon, QMessageBox::Critical);
    qInfo("the operator sees: %s", qPrintable(box.text));
    QCOMPARE(text("TextLinks"), QStringLiteral("Не подключен"));
    QTest::qWait(1500);
    QVERIFY(m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).isEmpty());
    verifySettingsUntouched();
}

// The adapter vanishes mid-run (the station hangs up). The operator sees one error
// box "Соединение со станцией потеряно, порт Com1 (<link> → <device>): устройство
// отключено.", "Не подключен" and both readouts
// at 0; the run goes on ("Пайка", the clock counts) and the chart keeps every point
// recorded before the loss, then records each second as a gap: no line, never a 0.
void TestFaultMatrix::adapterVanishesMidRun() {
    connectToStation({});
    QVERIFY(m_station->command(QStringLiteral("start")).startsWith(QStringLiteral("started")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Пайка"), kTickTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(topCurve().size() >= 3, kTickTimeoutMs);
    const QList<QPointF> beforeLoss = topCurve();
    // Each point is a reading the station sent or a gap, none a 0 it never sent.
    QVERIFY(std::none_of(beforeLoss.cbegin(), beforeLoss.cend(),
                         [](const QPointF& p) { return p.y() == 0; }));
    // ...and the station's readings did reach the chart.
    QVERIFY(std::any_of(beforeLoss.cbegin(), beforeLoss.cend(),
                        [](const QPointF& p) { return p.y() > 0; }));

    QCOMPARE(m_station->command(QStringLiteral("hangup")), QStringLiteral("hung up"));
    QTRY_COMPARE_WITH_TIMEOUT(m_watcher->boxes().size(), 1, kTickTimeoutMs);
    const testsupport::SeenBox box = m_watcher->boxes().first();
    QCOMPARE(box.text,
             kLinkLost.arg(m_station->linkPath() + QStringLiteral(" → ") + m_station->terminal(),
                           QStringLiteral("устройство отключено")));
    QCOMPARE(box.icon, QMessageBox::Critical);
    qInfo("the operator sees: %s", qPrintable(box.text));
    QCOMPARE(text("TextLinks"), QStringLiteral("Не подключен"));
    QCOMPARE(text("INTemperatureUP"), QStringLiteral("0"));
    QCOMPARE(text("INTemperatureDown"), QStringLiteral("0"));

    const qsizetype atLoss = topCurve().size();
    QTRY_VERIFY_WITH_TIMEOUT(topCurve().size() >= atLoss + 2, kTickTimeoutMs);
    QCOMPARE(text("Works"), QStringLiteral("Пайка"));
    const QList<QPointF> afterLoss = topCurve();
    const auto samePoint = [](const QPointF& a, const QPointF& b) {
        return a.x() == b.x() && (a.y() == b.y() || (std::isnan(a.y()) && std::isnan(b.y())));
    };
    QVERIFY(std::equal(beforeLoss.cbegin(), beforeLoss.cend(), afterLoss.cbegin(), samePoint));
    QVERIFY(std::all_of(afterLoss.cbegin() + atLoss, afterLoss.cend(),
                        [](const QPointF& p) { return std::isnan(p.y()); }));
    QCOMPARE(m_watcher->boxes().size(), 1); // said once, not at every tick
    verifySettingsUntouched();
}

// A second console reaches the same station through a link of its own folder (as
// root, whom the driver's exclusive mode does not stop). It is refused with the
// device named; the first keeps its link and its answers, and the station receives
// the status frames of one console only.
void TestFaultMatrix::secondConsoleOnTheSameStation() {
    connectToStation({});
    QCOMPARE(m_station->command(QStringLiteral("temp 150 70")), QStringLiteral("temp 150 70"));
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), QStringLiteral("150 70"), kTickTimeoutMs);
    {
        const testsupport::TempAppDir otherFolder;
        otherFolder.writeSettings("[Connect]\nComport=Com1\nBaudRate=9600\n[Global]\nHex=0\n");
        const QString otherLink = QDir(otherFolder.path()).filePath(QStringLiteral("com1"));
        QVERIFY(QFile::link(m_station->terminal(), otherLink));
        TForm1 second;
        second.show();
        const auto* works = second.findChild<QLabel*>(QStringLiteral("Works"));
        QVERIFY(QTest::qWaitFor([works] { return !works->text().isEmpty(); }, kTickTimeoutMs));
        press(second, "ButtonConnect");
        QCOMPARE(m_watcher->texts(), QStringList(kOpenFailed.arg(
                                         otherLink + QStringLiteral(" → ") + m_station->terminal(),
                                         QStringLiteral("порт занят другой программой или "
                                                        "консолью"))));
        qInfo("the second console sees: %s", qPrintable(m_watcher->texts().first()));
        QCOMPARE(text(second, "TextLinks"), QStringLiteral("Не подключен"));
    }

    const auto statusFrames = [this] {
        return m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size();
    };
    const qsizetype before = statusFrames();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_station->command(QStringLiteral("temp 151 71")), QStringLiteral("temp 151 71"));
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), QStringLiteral("151 71"), kTickTimeoutMs);
    QTest::qWait(2000);
    // One poll a second, from one console: never more than one frame a second
    // (and one at the start of the count).
    const qsizetype received = statusFrames() - before;
    QVERIFY2(
        received <= clock.elapsed() / 1000 + 1,
        qPrintable(QStringLiteral("%1 status frames in %2 ms").arg(received).arg(clock.elapsed())));
    QCOMPARE(text("TextLinks"), kConnected);
    QCOMPARE(m_watcher->boxes().size(), 1);
    verifySettingsUntouched();
}

// A silent station (nothing on the line: a wrong device, a switched-off station):
// "Подключен" and "0" for the first two ticks, then "Нет ответа" and "—" in both
// readouts; status frames go on each second, no run starts, nothing is reported.
void TestFaultMatrix::silentStation() {
    connectToStation({QStringLiteral("--silent")});
    QCOMPARE(readouts(), QStringLiteral("0 0"));
    QTRY_COMPARE_WITH_TIMEOUT(text("TextLinks"), kNoAnswer, kTickTimeoutMs);
    QVERIFY(m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size() >= 3);
    QCOMPARE(readouts(), kNoReading + u' ' + kNoReading);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size() >= 5,
        kTickTimeoutMs);
    QVERIFY(m_station->logged(QStringLiteral("TX"), QStringLiteral("telemetry")).isEmpty());
    QCOMPARE(text("TextLinks"), kNoAnswer);
    QCOMPARE(text("Works"), QStringLiteral("Простой"));
    QVERIFY(m_watcher->boxes().isEmpty());

    // A disconnect is as ever.
    press(form(), "ButtonConnect");
    QCOMPARE(text("TextLinks"), QStringLiteral("Не подключен"));
    QCOMPARE(readouts(), QStringLiteral("0 0"));
    verifySettingsUntouched();
}

// A station that stops reading the line while the console keeps writing: no
// lost-device box, "Нет ответа" after three ticks; when it reads and answers
// again, "Подключен" and its readings come back without a reconnect.
void TestFaultMatrix::stationStopsReading() {
    connectToStation({});
    QCOMPARE(m_station->command(QStringLiteral("temp 170 85")), QStringLiteral("temp 170 85"));
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), QStringLiteral("170 85"), kTickTimeoutMs);

    const qsizetype readBefore =
        m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size();
    QCOMPARE(m_station->command(QStringLiteral("deaf")), QStringLiteral("deaf"));
    QTRY_COMPARE_WITH_TIMEOUT(text("TextLinks"), kNoAnswer, kTickTimeoutMs);
    QCOMPARE(readouts(), kNoReading + u' ' + kNoReading);
    QTest::qWait(2000);
    QVERIFY(m_watcher->boxes().isEmpty());
    QVERIFY(m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size() <=
            readBefore + 1); // the station really read nothing more

    QCOMPARE(m_station->command(QStringLiteral("temp 172 86")), QStringLiteral("temp 172 86"));
    QCOMPARE(m_station->command(QStringLiteral("listen")), QStringLiteral("listening"));
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), QStringLiteral("172 86"), kTickTimeoutMs);
    QCOMPARE(text("TextLinks"), kConnected);
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();
}

// A station that answers at once (its answer may come before the console reads):
// over 30 s of polling, with the readings changing and a profile transfer in the
// middle, the readouts sampled every 100 ms only ever show a pair the station
// sent ("0 0" only before its first answer), never "—", and the link stays
// "Подключен".
void TestFaultMatrix::instantStationShowsOnlyWhatItSent() {
    connectToStation({QStringLiteral("--instant")});
    QCOMPARE(m_station->command(QStringLiteral("temp 120 60")), QStringLiteral("temp 120 60"));

    QStringList samples;
    QStringList links;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        samples << readouts();
        links << text("TextLinks");
    });
    sampler.start(100);
    QElapsedTimer clock;
    clock.start();
    for (int step = 1; clock.elapsed() < 32000; ++step) {
        QTest::qWait(1500);
        const QString temp = QStringLiteral("temp %1 %2").arg(120 + step).arg(60 + 2 * step);
        QCOMPARE(m_station->command(temp), temp);
        if (step == 10)
            press(form(), "Button1"); // the transfer holds the console two seconds
    }
    sampler.stop();
    QTest::qWait(1500); // the newest answers reach the log

    QCOMPARE(m_station->logged(QStringLiteral("RX"), QStringLiteral("profile")).size(), 1);
    QVERIFY2(samples.size() >= 250, qPrintable(QString::number(samples.size())));
    const QSet<QString> sent = sentReadings();
    bool answered = false;
    for (const QString& shown : std::as_const(samples)) {
        answered = answered || shown != u"0 0";
        QVERIFY2(sent.contains(shown) || (!answered && shown == u"0 0"), qPrintable(shown));
    }
    QVERIFY(answered);
    qInfo("%lld readout samples, every one a pair the station sent (%lld pairs sent)",
          qlonglong(samples.size()), qlonglong(sent.size()));
    QCOMPARE(links, QStringList(links.size(), kConnected));
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();
}

// One stray byte on the line mid-run (noise, a station reset), then a burst: the
// readouts never show a pair the station did not send and are right again within
// two polls; the link stays up without a reconnect.
void TestFaultMatrix::strayByteMidRun() {
    connectToStation({});
    QCOMPARE(m_station->command(QStringLiteral("temp 200 120")), QStringLiteral("temp 200 120"));
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), QStringLiteral("200 120"), kTickTimeoutMs);
    QVERIFY(m_station->command(QStringLiteral("start")).startsWith(QStringLiteral("started")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Пайка"), kTickTimeoutMs);

    QSignalSpy polls(form().findChild<QTimer*>(QStringLiteral("Timer2")), &QTimer::timeout);
    int step = 0;
    for (const QString& noise : {QStringLiteral("noise 1"), QStringLiteral("noise 65537")}) {
        ++step;
        QStringList shown;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { shown << readouts(); });
        sampler.start(100);
        const QString changed = QStringLiteral("%1 %2").arg(200 + step).arg(120 + step);
        QCOMPARE(m_station->command(noise), noise);
        const QString temp = QStringLiteral("temp ") + changed;
        QCOMPARE(m_station->command(temp), temp);
        polls.clear();
        QTRY_COMPARE_WITH_TIMEOUT(readouts(), changed, kTickTimeoutMs);
        // The poll whose answer the noise spoiled shows nothing new; the next one
        // asked with the change in place reads it (a poll reads the answer to the
        // one before it).
        QVERIFY2(polls.size() <= 3, qPrintable(QString::number(polls.size())));
        QTest::qWait(2500);
        sampler.stop();
        const QSet<QString> sent = sentReadings();
        for (const QString& pair : std::as_const(shown))
            QVERIFY2(sent.contains(pair), qPrintable(pair));
        QCOMPARE(readouts(), changed);
    }
    QCOMPARE(text("TextLinks"), kConnected);
    QCOMPARE(text("Works"), QStringLiteral("Пайка"));
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();
}

// Garbage in place of telemetry. The console checks no constant byte of what it
// reads, so the operator sees bytes 10 and 26 of the station's garbage as the two
// readings; but each pair shown is one the station sent in one answer (the frames
// stay aligned), "0 0" only before the first answer, the link stays up and
// nothing is reported.
void TestFaultMatrix::garbageFromStation() {
    connectToStation({QStringLiteral("--garbage"), QStringLiteral("--seed"), QStringLiteral("7")});
    int matched = 0;
    for (int tick = 0; tick < 5; ++tick) {
        QTest::qWait(1000);
        const QString shown = text("INTemperatureUP") + u' ' + text("INTemperatureDown");
        QStringList sent;
        for (const e2e::LogLine& line :
             m_station->logged(QStringLiteral("TX"), QStringLiteral("garbage")))
            sent << QStringLiteral("%1 %2").arg(quint8(line.bytes[10])).arg(quint8(line.bytes[26]));
        // "0 0": no whole answer had arrived yet.
        QVERIFY2((matched == 0 && shown == u"0 0") || sent.contains(shown), qPrintable(shown));
        matched += sent.contains(shown) ? 1 : 0;
    }
    QVERIFY2(matched >= 2, "the readouts did not follow the station's answers");
    QCOMPARE(text("TextLinks"), QStringLiteral("Подключен"));
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();
}

// Bursts of four frames to each status frame: the readouts follow the station's
// newest reading (no backlog of old frames), and a remote start and stop sent in
// a burst must both be obeyed.
void TestFaultMatrix::burstsFromStation() {
    connectToStation({QStringLiteral("--burst"), QStringLiteral("4")});
    QCOMPARE(m_station->command(QStringLiteral("temp 180 90")), QStringLiteral("temp 180 90"));
    QTRY_COMPARE_WITH_TIMEOUT(text("INTemperatureUP"), QStringLiteral("180"), kTickTimeoutMs);
    QCOMPARE(text("INTemperatureDown"), QStringLiteral("90"));
    QCOMPARE(m_station->command(QStringLiteral("temp 200 100")), QStringLiteral("temp 200 100"));
    QTRY_COMPARE_WITH_TIMEOUT(text("INTemperatureUP"), QStringLiteral("200"), kTickTimeoutMs);
    QCOMPARE(text("INTemperatureDown"), QStringLiteral("100"));
    // The station did answer in bursts.
    const qsizetype asked =
        m_station->logged(QStringLiteral("RX"), QStringLiteral("status")).size();
    QVERIFY(m_station->logged(QStringLiteral("TX"), QStringLiteral("telemetry")).size() >=
            3 * (asked - 1)); // the newest answer may still be on its way into the log
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();

    // The station's command is in every frame of a burst, the newest one included.
    QVERIFY(m_station->command(QStringLiteral("start")).startsWith(QStringLiteral("started")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Пайка"), kTickTimeoutMs);
    QVERIFY(m_station->command(QStringLiteral("stop")).startsWith(QStringLiteral("stop")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Простой"), kTickTimeoutMs);
}

// Two frames to each status frame, the remote command in the older only: both
// the station's start and its stop are obeyed, and the readouts show its readings.
void TestFaultMatrix::twoFramesCommandInTheOlder() {
    connectToStation({QStringLiteral("--double")});
    QCOMPARE(m_station->command(QStringLiteral("temp 160 70")), QStringLiteral("temp 160 70"));
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), QStringLiteral("160 70"), kTickTimeoutMs);
    QVERIFY(m_station->command(QStringLiteral("start")).startsWith(QStringLiteral("started")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Пайка"), kTickTimeoutMs);
    QVERIFY(m_station->command(QStringLiteral("stop")).startsWith(QStringLiteral("stop")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Простой"), kTickTimeoutMs);
    QCOMPARE(readouts(), QStringLiteral("160 70"));
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();
}

// Frames split into pieces of 1..12 bytes: the pieces are put together, so the
// readouts show the station's readings and a remote start and stop are obeyed.
void TestFaultMatrix::splitFrames() {
    connectToStation({QStringLiteral("--split"), QStringLiteral("--seed"), QStringLiteral("3")});
    QCOMPARE(m_station->command(QStringLiteral("temp 181 91")), QStringLiteral("temp 181 91"));
    QTRY_COMPARE_WITH_TIMEOUT(text("INTemperatureUP"), QStringLiteral("181"), kTickTimeoutMs);
    QCOMPARE(text("INTemperatureDown"), QStringLiteral("91"));

    QVERIFY(m_station->command(QStringLiteral("start")).startsWith(QStringLiteral("started")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Пайка"), kTickTimeoutMs);
    QVERIFY(m_station->command(QStringLiteral("stop")).startsWith(QStringLiteral("stop")));
    QTRY_COMPARE_WITH_TIMEOUT(text("Works"), QStringLiteral("Простой"), kTickTimeoutMs);
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();
}

// The settings directory is read-only (the console installed where the operator
// may not write). A save replaces the file by a new one beside it, so it cannot
// be made there, whether the file itself is writable, read-only or absent: each
// save (general settings, profile editor, connection) shows the error box
// "Unable to write to <file>." and its dialog stays open with the operator's
// input; the file keeps its bytes (or stays absent) and no stray file is left
// beside it. Rewriting the file in place could leave it half written.
void TestFaultMatrix::settingsDirectoryReadOnly_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("file writable") << QStringLiteral("writable");
    QTest::newRow("file read-only") << QStringLiteral("read-only");
    QTest::newRow("no file yet") << QStringLiteral("absent");
}

void TestFaultMatrix::settingsDirectoryReadOnly() {
    QFETCH(QString, file);
    if (!permissionBitsApply())
        QSKIP("this process may write anywhere; the read-only case needs a user (or root "
              "without CAP_DAC_OVERRIDE, which this test arranges through setpriv)");
    const QByteArray settingsFile = QFile::encodeName(m_dir->settingsPath());
    if (file == u"absent") {
        QVERIFY(QFile::remove(m_dir->settingsPath()));
        m_originalSettings.reset();
    } else if (file == u"read-only") {
        QVERIFY(::chmod(settingsFile.constData(), 0444) == 0);
    }
    const QStringList before = everyValue(m_dir->settingsPath());
    const QStringList entries = entriesOf(m_dir->path());
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0555) == 0);
    QVERIFY(startConsole());
    QCOMPARE(text("Label37"), file == u"absent" ? QString() : QStringLiteral("Бессвинцовый BGA"));

    app::Windows& w = *m_windows;
    bool generalOpen = false, editorOpen = false, connectionOpen = false;
    QString typed;
    QVERIFY(inDialog([this] { form().findChild<QAction*>(QStringLiteral("N3"))->trigger(); },
                     &w.Form2,
                     [&] {
                         type(w.Form2, "EditpGain", QStringLiteral("200"));
                         press(w.Form2, "SaveForms");
                         generalOpen = w.Form2.isVisible();
                         typed = text(w.Form2, "EditpGain");
                     }));
    QVERIFY(inDialog([this] { form().findChild<QAction*>(QStringLiteral("N4"))->trigger(); },
                     &w.Form6,
                     [&] {
                         type(w.Form6, "Edit1", QStringLiteral("123"));
                         press(w.Form6, "Button1");
                         editorOpen = w.Form6.isVisible();
                     }));
    QVERIFY(inDialog([this] { press(form(), "Button2"); }, &w.Form4,
                     [&] {
                         press(w.Form4, "SaveForms");
                         connectionOpen = w.Form4.isVisible();
                     }));
    QCOMPARE(entriesOf(m_dir->path()), entries);

    const QString refused = QStringLiteral("Unable to write to %1.").arg(m_dir->settingsPath());
    QCOMPARE(m_watcher->texts(), QStringList({refused, refused, refused}));
    for (const testsupport::SeenBox& box : m_watcher->boxes())
        QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(generalOpen && editorOpen && connectionOpen);
    QCOMPARE(typed, QStringLiteral("200"));
    QCOMPARE(text("Label4"), file == u"absent" ? QStringLiteral("0") : QStringLiteral("100"));
    QCOMPARE(everyValue(m_dir->settingsPath()), before);
    verifySettingsUntouched();
}

// The settings file has been replaced by a directory. The console starts on the
// defaults (no port, profile of zeros, QMR firmware); a save shows "Unable to write
// to <path>." and the directory and what it holds stay as they were.
void TestFaultMatrix::settingsFileReplacedByADirectory() {
    QVERIFY(QFile::remove(m_dir->settingsPath()));
    QVERIFY(QDir().mkdir(m_dir->settingsPath()));
    const QString inside = QDir(m_dir->settingsPath()).filePath(QStringLiteral("notes.txt"));
    {
        QFile notes(inside);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("kept\n");
    }
    const QStringList entries = entriesOf(m_dir->path());
    QVERIFY(startConsole());
    QCOMPARE(text("Label1"), QString());
    QCOMPARE(text("Label37"), QString());
    QCOMPARE(text("Label4"), QStringLiteral("0"));
    QCOMPARE(text("Label36"), QStringLiteral("Прошивка от QMR"));
    QVERIFY(m_watcher->boxes().isEmpty());

    QCOMPARE(saveGeneralSettings(QString()), std::optional<bool>(true));
    QCOMPARE(m_watcher->texts(),
             QStringList(QStringLiteral("Unable to write to %1.").arg(m_dir->settingsPath())));
    QVERIFY(QFileInfo(m_dir->settingsPath()).isDir());
    QCOMPARE(bytesOf(inside), std::optional<QByteArray>("kept\n"));
    QCOMPARE(entriesOf(m_dir->path()), entries);
}

// A binary settings file (random bytes, NULs included). The console starts without
// a word and on the defaults; opening and leaving every dialog leaves the file as
// it was. A save then goes through and stores what the operator typed.
void TestFaultMatrix::binarySettingsFile() {
    QRandomGenerator random(20240501);
    QByteArray binary(4096, Qt::Uninitialized);
    for (char& byte : binary)
        byte = char(random.bounded(256));
    binary[100] = '\0';
    m_dir->writeSettings(binary);
    m_originalSettings = binary;

    QVERIFY(startConsole());
    QCOMPARE(text("Works"), QStringLiteral("Простой"));
    QCOMPARE(text("Label4"), QStringLiteral("0"));
    browseEveryDialog();
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();

    QCOMPARE(saveGeneralSettings(QStringLiteral("200")), std::optional<bool>(false));
    QVERIFY(m_watcher->boxes().isEmpty());
    QCOMPARE(config::SettingsFile(m_dir->settingsPath())
                 .ReadInteger(QStringLiteral("Global"), QStringLiteral("EditpGain"), -1),
             200);
}

// A settings file in Windows-1251, as older consoles wrote it. The operator sees the
// Cyrillic profile names as they were written; leaving the dialogs without saving
// leaves the file's bytes alone; a save keeps the bytes of every line it does not
// change, the names' Windows-1251 included, and every value reads back the same.
void TestFaultMatrix::windows1251SettingsFile() {
    const QByteArray legacy = toWindows1251(kSettingsText);
    QVERIFY(legacy != kSettingsText.toUtf8());
    m_dir->writeSettings(legacy);
    m_originalSettings = legacy;
    const QStringList before = everyValue(m_dir->settingsPath());
    QVERIFY(before.contains(QStringLiteral("Profil3/Name=Свинцовый QFN, ёмкость")));

    QVERIFY(startConsole());
    QCOMPARE(text("Label37"), QStringLiteral("Бессвинцовый BGA"));
    browseEveryDialog();
    QVERIFY(m_watcher->boxes().isEmpty());
    verifySettingsUntouched();

    app::Windows& w = *m_windows;
    QString nameShown;
    QVERIFY(inDialog([this] { form().findChild<QAction*>(QStringLiteral("N4"))->trigger(); },
                     &w.Form6,
                     [&] {
                         nameShown = text(w.Form6, "Edit64");
                         press(w.Form6, "Button1");
                     }));
    QCOMPARE(nameShown, QStringLiteral("Свинцовый QFN, ёмкость"));
    QVERIFY(m_watcher->boxes().isEmpty());
    const std::optional<QByteArray> saved = m_dir->readSettings();
    QVERIFY(saved && saved->contains(toWindows1251(QStringLiteral("Свинцовый QFN, ёмкость"))));
    QCOMPARE(everyValue(m_dir->settingsPath()), before);
}

// The disk is full when the operator saves the general settings: the first write
// that would change the file fails mid-write. The operator sees "Unable to write
// to <file>." and the dialog stays open with the typed value; the file keeps
// every byte and no temporary file is left beside it. With room again, the same
// save goes through.
void TestFaultMatrix::settingsDiskFullDuringSave() {
    const QStringList entries = entriesOf(m_dir->path());
    QVERIFY(startConsole());
    {
        const config::ScopedWriteLimit fullDisk(100);
        QCOMPARE(saveGeneralSettings(QStringLiteral("200")), std::optional<bool>(true));
    }
    QCOMPARE(m_watcher->texts(),
             QStringList(QStringLiteral("Unable to write to %1.").arg(m_dir->settingsPath())));
    QCOMPARE(entriesOf(m_dir->path()), entries);
    verifySettingsUntouched();

    QCOMPARE(saveGeneralSettings(QStringLiteral("200")), std::optional<bool>(false));
    QCOMPARE(m_watcher->texts().size(), 1);
    QCOMPARE(config::SettingsFile(m_dir->settingsPath())
                 .ReadInteger(QStringLiteral("Global"), QStringLiteral("EditpGain"), -1),
             200);
}

// As root, file permission bits do not apply, and neither a port nor a directory
// without permission would refuse. So the matrix runs itself again as root without
// the capabilities that bypass them; then it meets refusals as an operator does.
static void runWithoutPermissionOverride(char** argv) {
    if (permissionBitsApply() || qEnvironmentVariableIsSet("IRCONSOLE_NO_DAC_OVERRIDE"))
        return;
    ::setenv("IRCONSOLE_NO_DAC_OVERRIDE", "1", 1);
    QList<char*> arguments = {const_cast<char*>("setpriv"), const_cast<char*>("--bounding-set"),
                              const_cast<char*>("-dac_override,-dac_read_search"),
                              const_cast<char*>("--")};
    for (char** a = argv; *a; ++a)
        arguments.append(*a);
    arguments.append(nullptr);
    ::execvp("setpriv", arguments.data());
    // No setpriv: go on as we are; the permission cases skip and say why.
}

int main(int argc, char** argv) {
    runWithoutPermissionOverride(argv);
    QApplication application(argc, argv);
    TestFaultMatrix test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faultmatrix.moc"
