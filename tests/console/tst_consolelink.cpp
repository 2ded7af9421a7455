// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's link: connect and disconnect over a real pseudo-terminal, and the failures.
#include "link/PortUnit.h"
#include "sim/PseudoTerminal.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/OpenFiles.h"
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>

using consoletest::control;

namespace {

QString label(const TForm1& form, const char* name) {
    return control<QLabel>(form, name)->text();
}

QByteArray connectSettings(const QByteArray& comport, const QByteArray& baudRate) {
    return "[Connect]\nComport=" + comport + "\nBaudRate=" + baudRate + "\n[Global]\nHex=0\n";
}

// The connect refusals and the lost-device box, as the operator reads them.
QString openRefused(const QString& port, const QString& device, const QString& why) {
    return QStringLiteral("Не удалось открыть порт %1 (%2): %3.").arg(port, device, why);
}
QString linkLost(const QString& port, const QString& device, const QString& why) {
    return QStringLiteral("Соединение со станцией потеряно, порт %1 (%2): %3.")
        .arg(port, device, why);
}
QString speedRefused(const QString& speed) {
    return QStringLiteral("Скорость обмена %1 не поддерживается. Допустимые скорости: 9600, "
                          "14400, 19200, 28800, 38400, 57600, 115200.")
        .arg(speed);
}
QString viaLink(const QString& link, const QString& node) {
    return link + QStringLiteral(" → ") + node;
}
const QString kNoDevice = QStringLiteral("нет устройства");
const QString kNotSerialPort = QStringLiteral("это не последовательный порт");
const QString kNoPermission = QStringLiteral("нет прав на доступ к устройству");
const QString kBusy = QStringLiteral("порт занят другой программой или консолью");
const QString kDisconnected = QStringLiteral("устройство отключено");

// A telemetry frame with these readings.
QByteArray telemetry(int top, int bottom) {
    QByteArray frame(50, '\0');
    frame[10] = char(top);
    frame[26] = char(bottom);
    return frame;
}

// Whether a process may run another as the unprivileged user: only root can, with
// setpriv (util-linux).
std::optional<QString> cannotRunAsAnotherUser() {
    if (::geteuid() != 0)
        return QStringLiteral("not root: cannot start a console as another user");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("setpriv (util-linux) is not installed");
    return std::nullopt;
}

// A console in a process of its own (tests/console/console_probe): its settings in
// `directory`, connected at start, what the operator sees read line by line. As
// another user it runs as nobody, to whom file permissions apply.
class ConsoleProbe {
public:
    enum class User { This, Nobody };

    ConsoleProbe(const QString& directory, bool hold, const QByteArray& lang = "C.UTF-8",
                 User user = User::This) {
        QStringList arguments{directory};
        if (hold)
            arguments << QStringLiteral("--hold");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("LC_ALL"));
        environment.remove(QStringLiteral("LC_MESSAGES"));
        environment.remove(QStringLiteral("LANGUAGE"));
        environment.insert(QStringLiteral("LANG"), QString::fromLatin1(lang));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString probe = QStringLiteral(IRCONSOLE_BINARY_DIR "/tests/console/console_probe");
        if (user == User::Nobody) {
            environment.insert(QStringLiteral("HOME"), directory);
            m_process.setProgram(QStringLiteral("setpriv"));
            m_process.setArguments(
                QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", probe} +
                arguments);
        } else {
            m_process.setProgram(probe);
            m_process.setArguments(arguments);
        }
        m_process.setProcessEnvironment(environment);
        m_process.start();
    }
    ~ConsoleProbe() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
    ConsoleProbe(const ConsoleProbe&) = delete;
    ConsoleProbe& operator=(const ConsoleProbe&) = delete;

    QStringList lines() {
        m_output += m_process.readAllStandardOutput();
        return QString::fromUtf8(m_output).split(u'\n', Qt::SkipEmptyParts);
    }
    bool waitForLine(const QString& line, int timeoutMs = 10000) {
        return QTest::qWaitFor([&] { return lines().contains(line); }, timeoutMs);
    }
    // Ends a holding probe (or waits for one that ends by itself).
    bool finish() {
        m_process.closeWriteChannel();
        const bool ended = m_process.waitForFinished(10000) &&
                           m_process.exitStatus() == QProcess::NormalExit &&
                           m_process.exitCode() == 0;
        lines();
        return ended;
    }
    QStringList boxes() {
        QStringList texts;
        for (const QString& line : lines())
            if (line.startsWith(u"box "))
                texts << line.mid(4);
        return texts;
    }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QByteArray m_output;
};

} // namespace

class TestConsoleLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twoPressesConnectThenDisconnect();
    void everyOfferedSpeedConnects_data();
    void everyOfferedSpeedConnects();
    void badSpeedRefusesUntilCorrected_data();
    void badSpeedRefusesUntilCorrected();
    void missingPortIsReportedAndStaysDisconnected();
    void secondConsoleOnOneDeviceIsRefused_data();
    void secondConsoleOnOneDeviceIsRefused();
    void troublesAreToldInRussianWhateverTheLocale_data();
    void troublesAreToldInRussianWhateverTheLocale();
    void vanishedDeviceClosesTheLinkAndSaysSoOnce();
    void vanishedDeviceAfterDisconnectSaysNothing();
    void fullOutputBufferIsNoLostDevice();
    void everyFrameOfAReadCountsOldestFirst_data();
    void everyFrameOfAReadCountsOldestFirst();

private:
    void linkPortAs(const QString& name);

    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<sim::PseudoTerminal> m_pty;
};

void TestConsoleLink::init() {
    m_dir.emplace();
    m_pty.emplace();
    QVERIFY2(m_pty->isOpen(), qPrintable(m_pty->error()));
}

void TestConsoleLink::cleanup() {
    m_pty.reset();
    m_dir.reset();
}

// "ComN" names the link comN beside the executable, as the simulator sets it up.
void TestConsoleLink::linkPortAs(const QString& name) {
    QVERIFY(QFile::link(m_pty->slavePath(), QDir(m_dir->path()).filePath(name)));
}

void TestConsoleLink::twoPressesConnectThenDisconnect() {
    linkPortAs(QStringLiteral("com1"));
    m_dir->writeSettings(connectSettings("Com1", "19200"));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    auto* connectButton = control<QPushButton>(*form, "ButtonConnect");
    auto* poll = control<QTimer>(*form, "Timer2");
    testsupport::ModalWatcher watcher;

    connectButton->click();
    QCOMPARE(form->StatusConnect, 1);
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));
    QVERIFY(poll->isActive());
    QCOMPARE(form->NumberPort, QStringLiteral("Com1"));
    QCOMPARE(form->BaudRate, 19200u);
    QCOMPARE(m_pty->slaveBaudRate(), 19200);

    // What the poll would have shown meanwhile.
    control<QLabel>(*form, "INTemperatureUP")->setText(QStringLiteral("188"));
    control<QLabel>(*form, "INTemperatureDown")->setText(QStringLiteral("142"));

    connectButton->click();
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QVERIFY(!poll->isActive());
    QCOMPARE(label(*form, "INTemperatureUP"), QStringLiteral("0"));
    QCOMPARE(label(*form, "INTemperatureDown"), QStringLiteral("0"));
    QVERIFY(watcher.boxes().isEmpty());

    // The port was really let go: it can be taken again at once.
    connectButton->click();
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));
    QVERIFY(watcher.boxes().isEmpty());
}

void TestConsoleLink::everyOfferedSpeedConnects_data() {
    QTest::addColumn<int>("speed");
    for (int speed : {9600, 14400, 19200, 28800, 38400, 57600, 115200})
        QTest::addRow("%d", speed) << speed;
}

void TestConsoleLink::everyOfferedSpeedConnects() {
    QFETCH(int, speed);
    linkPortAs(QStringLiteral("com1"));
    m_dir->writeSettings(connectSettings("Com1", QByteArray::number(speed)));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    testsupport::ModalWatcher watcher;

    control<QPushButton>(*form, "ButtonConnect")->click();
    QVERIFY2(watcher.boxes().isEmpty(), qPrintable(watcher.texts().join(u'\n')));
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));
    QCOMPARE(form->BaudRate, std::uint32_t(speed));
    QCOMPARE(m_pty->slaveBaudRate(), speed);
}

void TestConsoleLink::badSpeedRefusesUntilCorrected_data() {
    QTest::addColumn<QByteArray>("speed");
    QTest::addColumn<QString>("message");
    // Not a 32-bit integer: the conversion box, never a wrapped value.
    QTest::newRow("letters") << QByteArray("fast")
                             << QStringLiteral("'fast' is not a valid integer value.");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("'' is not a valid integer value.");
    QTest::newRow("2^32 + 19200") << QByteArray("4294986496")
                                  << QStringLiteral("'4294986496' is not a valid integer value.");
    QTest::newRow("twenty nines") << QByteArray("99999999999999999999")
                                  << QStringLiteral(
                                         "'99999999999999999999' is not a valid integer value.");
    // An integer that is none of the dialog's speeds: a typing error.
    QTest::newRow("0") << QByteArray("0") << speedRefused(QStringLiteral("0"));
    QTest::newRow("1") << QByteArray("1") << speedRefused(QStringLiteral("1"));
    QTest::newRow("12345") << QByteArray("12345") << speedRefused(QStringLiteral("12345"));
    QTest::newRow("-9600") << QByteArray("-9600") << speedRefused(QStringLiteral("-9600"));
    QTest::newRow("hex of -1") << QByteArray("$FFFFFFFF") << speedRefused(QStringLiteral("-1"));
}

// In every refusal nothing is opened and the settings file is unchanged; after the
// value is corrected, the next press connects.
void TestConsoleLink::badSpeedRefusesUntilCorrected() {
    QFETCH(QByteArray, speed);
    QFETCH(QString, message);

    linkPortAs(QStringLiteral("com2"));
    m_dir->writeSettings(connectSettings("Com2", speed));
    const std::optional<QByteArray> stored = m_dir->readSettings();
    const int speedBefore = m_pty->slaveBaudRate();
    const int descriptorsBefore = testsupport::descriptorsOn(m_pty->slavePath());
    auto form = consoletest::startConsole();
    QVERIFY(form);
    auto* connectButton = control<QPushButton>(*form, "ButtonConnect");
    testsupport::ModalWatcher watcher;

    connectButton->click();
    QCOMPARE(watcher.texts(), QStringList{message});
    QCOMPARE(watcher.boxes().first().icon, QMessageBox::Critical);
    QCOMPARE(watcher.boxes().first().title, QCoreApplication::applicationName());
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(form->NumberPort, QStringLiteral("Com2")); // taken before the speed failed
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QVERIFY(!control<QTimer>(*form, "Timer2")->isActive());
    QCOMPARE(testsupport::descriptorsOn(m_pty->slavePath()), descriptorsBefore);
    QCOMPARE(m_pty->slaveBaudRate(), speedBefore);
    QCOMPARE(m_dir->readSettings(), stored);

    m_dir->writeSettings(connectSettings("Com2", "9600"));
    connectButton->click();
    QCOMPARE(watcher.boxes().size(), 1);
    QCOMPARE(form->StatusConnect, 1);
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));
    QCOMPARE(m_pty->slaveBaudRate(), 9600);
}

void TestConsoleLink::missingPortIsReportedAndStaysDisconnected() {
    const QString device = QDir(m_dir->path()).filePath(QStringLiteral("no-such-port"));
    m_dir->writeSettings(connectSettings(device.toUtf8(), "19200"));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    testsupport::ModalWatcher watcher;

    control<QPushButton>(*form, "ButtonConnect")->click();
    QCOMPARE(watcher.texts(), QStringList{openRefused(device, device, kNoDevice)});
    QCOMPARE(watcher.boxes().first().icon, QMessageBox::Critical);
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QVERIFY(!control<QTimer>(*form, "Timer2")->isActive());
}

void TestConsoleLink::secondConsoleOnOneDeviceIsRefused_data() {
    // Each console here stores its own port: "Com1" (the link com1 beside the
    // settings) or the absolute path of a second link, b/com1, to the same device.
    QTest::addColumn<bool>("firstIsProcess");  // the first console: a process of its own
    QTest::addColumn<bool>("secondIsProcess"); // the second: a process of its own
    QTest::addColumn<bool>("otherUser");       // that process runs as nobody
    QTest::addColumn<bool>("secondByOtherLink");

    QTest::newRow("the same path") << false << false << false << false;
    QTest::newRow("two links to one device") << false << false << false << true;
    QTest::newRow("another process, the same path") << false << true << false << false;
    QTest::newRow("root first, then a console as another user") << false << true << true << true;
    QTest::newRow("a console as another user first, then root") << true << false << true << true;
}

// The second console is refused with the device named; the first keeps its link,
// its line settings and its answers.
void TestConsoleLink::secondConsoleOnOneDeviceIsRefused() {
    QFETCH(bool, firstIsProcess);
    QFETCH(bool, secondIsProcess);
    QFETCH(bool, otherUser);
    QFETCH(bool, secondByOtherLink);
    if (otherUser)
        if (const std::optional<QString> why = cannotRunAsAnotherUser())
            QSKIP(qPrintable(*why));

    const QDir dir(m_dir->path());
    linkPortAs(QStringLiteral("com1"));
    QVERIFY(dir.mkdir(QStringLiteral("b")));
    const QString otherDir = dir.filePath(QStringLiteral("b"));
    const QString otherLink = dir.filePath(QStringLiteral("b/com1"));
    QVERIFY(QFile::link(m_pty->slavePath(), otherLink));
    if (otherUser) {
        // Room for a console as nobody: its settings, its device.
        for (const QString& path : {m_dir->path(), otherDir})
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_pty->slavePath()).constData(), 0666) == 0);
    }
    // The first at 19200, the second at 9600: a second console that reached the
    // line would show in its speed.
    const QByteArray firstSettings = connectSettings("Com1", "19200");
    const QByteArray secondSettings =
        connectSettings(secondByOtherLink ? otherLink.toUtf8() : QByteArray("Com1"), "9600");
    const QString secondPort = secondByOtherLink ? otherLink : QStringLiteral("Com1");
    const QString secondDevice = viaLink(
        secondByOtherLink ? otherLink : dir.filePath(QStringLiteral("com1")), m_pty->slavePath());
    const QString refusal = openRefused(secondPort, secondDevice, kBusy);
    const auto user = otherUser ? ConsoleProbe::User::Nobody : ConsoleProbe::User::This;
    testsupport::ModalWatcher watcher;

    std::unique_ptr<TForm1> first;
    std::optional<ConsoleProbe> firstProcess;
    if (firstIsProcess) {
        QFile::remove(m_dir->settingsPath());
        m_dir->writeSettings(firstSettings);
        QVERIFY(::chmod(QFile::encodeName(m_dir->settingsPath()).constData(), 0644) == 0);
        firstProcess.emplace(m_dir->path(), true, "C.UTF-8", user);
        QVERIFY2(firstProcess->waitForLine(QStringLiteral("links Подключен")),
                 qPrintable(firstProcess->lines().join(u'\n') + firstProcess->errors()));
    } else {
        m_dir->writeSettings(firstSettings);
        first = consoletest::startConsole();
        QVERIFY(first);
        control<QPushButton>(*first, "ButtonConnect")->click();
        QCOMPARE(label(*first, "TextLinks"), QStringLiteral("Подключен"));
    }
    QCOMPARE(m_pty->slaveBaudRate(), 19200);

    if (secondIsProcess) {
        // Beside the first console's settings, or in a folder of its own.
        const QString secondDir = secondByOtherLink ? otherDir : m_dir->path();
        const QString settings = QDir(secondDir).filePath(QStringLiteral("Iniprofil.ini"));
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(secondSettings);
        file.close();
        QVERIFY(::chmod(QFile::encodeName(settings).constData(), 0644) == 0);
        ConsoleProbe second(secondDir, false, "C.UTF-8", user);
        QVERIFY2(second.finish(), qPrintable(second.errors()));
        QCOMPARE(second.boxes(), QStringList{refusal});
        QVERIFY(second.lines().contains(QStringLiteral("links Не подключен")));
    } else {
        m_dir->writeSettings(secondSettings);
        auto second = consoletest::startConsole();
        QVERIFY(second);
        control<QPushButton>(*second, "ButtonConnect")->click();
        QCOMPARE(watcher.texts(), QStringList{refusal});
        QCOMPARE(second->StatusConnect, 0);
        QCOMPARE(label(*second, "TextLinks"), QStringLiteral("Не подключен"));
    }

    // The first console's line is as it set it, and the station's answer reaches it.
    QCOMPARE(m_pty->slaveBaudRate(), 19200);
    const QByteArray answer = telemetry(201, 99);
    QCOMPARE(::write(m_pty->masterFd(), answer.constData(), 50), ssize_t(50));
    if (firstProcess) {
        QVERIFY2(firstProcess->waitForLine(QStringLiteral("readings 201 99")),
                 qPrintable(firstProcess->lines().join(u'\n')));
        QVERIFY(firstProcess->boxes().isEmpty());
        QVERIFY(!firstProcess->lines().contains(QStringLiteral("links Не подключен")));
        QVERIFY(firstProcess->finish());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(label(*first, "INTemperatureUP"), QStringLiteral("201"), 10000);
        QCOMPARE(label(*first, "INTemperatureDown"), QStringLiteral("99"));
        QCOMPARE(first->StatusConnect, 1);
        QCOMPARE(label(*first, "TextLinks"), QStringLiteral("Подключен"));
    }
    QCOMPARE(watcher.boxes().size(), secondIsProcess ? 0 : 1);
}

void TestConsoleLink::troublesAreToldInRussianWhateverTheLocale_data() {
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QByteArray>("lang");
    for (const char* trouble :
         {"a device that vanishes", "a busy device", "a device without permission",
          "a regular file", "a folder", "nothing there"})
        for (const char* lang : {"C", "ru_RU.UTF-8"})
            QTest::addRow("%s, LANG=%s", trouble, lang)
                << QString::fromLatin1(trouble) << QByteArray(lang);
}

// Each trouble in its own words, naming the device, in a console started with
// either locale: no system text, English or Russian, reaches the operator.
void TestConsoleLink::troublesAreToldInRussianWhateverTheLocale() {
    QFETCH(QString, trouble);
    QFETCH(QByteArray, lang);

    const QDir dir(m_dir->path());
    const QString link = dir.filePath(QStringLiteral("com1"));
    const QString pty = m_pty->slavePath();
    auto user = ConsoleProbe::User::This;
    QString expected;
    if (trouble == u"a device that vanishes") {
        QVERIFY(QFile::link(pty, link));
        expected = linkLost(QStringLiteral("Com1"), viaLink(link, pty), kDisconnected);
    } else if (trouble == u"a busy device") {
        QVERIFY(QFile::link(pty, link));
        expected = openRefused(QStringLiteral("Com1"), viaLink(link, pty), kBusy);
    } else if (trouble == u"a device without permission") {
        if (const std::optional<QString> why = cannotRunAsAnotherUser())
            QSKIP(qPrintable(*why));
        QVERIFY(QFile::link(pty, link));
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(pty).constData(), 0600) == 0);
        user = ConsoleProbe::User::Nobody;
        expected = openRefused(QStringLiteral("Com1"), viaLink(link, pty), kNoPermission);
    } else if (trouble == u"a regular file" || trouble == u"a folder") {
        const QString target = dir.filePath(QStringLiteral("target"));
        if (trouble == u"a folder") {
            QVERIFY(dir.mkdir(QStringLiteral("target")));
        } else {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a tty");
        }
        QVERIFY(QFile::link(target, link));
        expected =
            openRefused(QStringLiteral("Com1"),
                        viaLink(link, QFileInfo(target).canonicalFilePath()), kNotSerialPort);
    } else {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), link));
        expected = openRefused(QStringLiteral("Com1"), link, kNoDevice);
    }
    m_dir->writeSettings(connectSettings("Com1", "19200"));
    QVERIFY(::chmod(QFile::encodeName(m_dir->settingsPath()).constData(), 0644) == 0);

    station::PortUnit holder;
    if (trouble == u"a busy device")
        QVERIFY(holder.open(pty, 19200).ok);
    const bool vanishes = trouble == u"a device that vanishes";
    ConsoleProbe console(m_dir->path(), vanishes, lang, user);
    if (vanishes) {
        QVERIFY2(console.waitForLine(QStringLiteral("links Подключен")),
                 qPrintable(console.lines().join(u'\n') + console.errors()));
        m_pty->close(); // the adapter is pulled out
        QVERIFY2(console.waitForLine(QStringLiteral("links Не подключен")),
                 qPrintable(console.lines().join(u'\n')));
    }
    QVERIFY2(console.finish(), qPrintable(console.errors()));
    QCOMPARE(console.boxes(), QStringList{expected});
}

void TestConsoleLink::vanishedDeviceClosesTheLinkAndSaysSoOnce() {
    linkPortAs(QStringLiteral("com1"));
    m_dir->writeSettings(connectSettings("Com1", "19200"));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    control<QPushButton>(*form, "ButtonConnect")->click();
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));
    form->Start();
    control<QLabel>(*form, "INTemperatureUP")->setText(QStringLiteral("188"));
    control<QLabel>(*form, "FTimer")->setText(QStringLiteral("00:02:03"));
    testsupport::ModalWatcher watcher;

    m_pty->close(); // the adapter is pulled out

    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes().size(), 1, 10000);
    const QString link = QDir(m_dir->path()).filePath(QStringLiteral("com1"));
    QCOMPARE(watcher.boxes().first().text,
             linkLost(QStringLiteral("Com1"), viaLink(link, m_pty->slavePath()), kDisconnected));
    QCOMPARE(watcher.boxes().first().icon, QMessageBox::Critical);
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QVERIFY(!control<QTimer>(*form, "Timer2")->isActive());
    QCOMPARE(label(*form, "INTemperatureUP"), QStringLiteral("0"));
    QCOMPARE(label(*form, "INTemperatureDown"), QStringLiteral("0"));
    // The run and its clock are not the link's business.
    QCOMPARE(label(*form, "Works"), QStringLiteral("Пайка"));
    QCOMPARE(label(*form, "FTimer"), QStringLiteral("00:02:03"));
    QVERIFY(control<QTimer>(*form, "Timer1")->isActive());

    // One report per failure, and the next press opens afresh (and fails to: it's gone).
    QTest::qWait(1500);
    QCOMPARE(watcher.boxes().size(), 1);
    // The freed terminal's number goes to the next terminal opened on the machine (a
    // test running beside this one): point the link at a node that cannot come back.
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(QDir(m_dir->path()).filePath(QStringLiteral("pulled-out")), link));
    control<QPushButton>(*form, "ButtonConnect")->click();
    QCOMPARE(watcher.boxes().size(), 2);
    QCOMPARE(watcher.boxes().last().text, openRefused(QStringLiteral("Com1"), link, kNoDevice));
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
}

void TestConsoleLink::vanishedDeviceAfterDisconnectSaysNothing() {
    linkPortAs(QStringLiteral("com1"));
    m_dir->writeSettings(connectSettings("Com1", "19200"));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    auto* connectButton = control<QPushButton>(*form, "ButtonConnect");
    connectButton->click();
    connectButton->click();
    testsupport::ModalWatcher watcher;

    m_pty->close();
    QTest::qWait(1500);
    QVERIFY(watcher.boxes().isEmpty());
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
}

// The station stops reading: the line's output buffer is full and every write
// would block. No lost-device box and no close: each status frame goes out whole
// or not at all, the silence shows as "Нет ответа", and the first answer after the
// station reads again brings back "Подключен" and the readings.
void TestConsoleLink::fullOutputBufferIsNoLostDevice() {
    linkPortAs(QStringLiteral("com1"));
    m_dir->writeSettings(connectSettings("Com1", "19200"));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    testsupport::ModalWatcher watcher;
    control<QPushButton>(*form, "ButtonConnect")->click();
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));

    // Fill the line towards the station through a second handle on the terminal
    // (only a privileged process may open a port held exclusively), with zeros,
    // which no status frame starts with.
    const int filler =
        ::open(QFile::encodeName(m_pty->slavePath()).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (filler < 0)
        QSKIP("the terminal cannot be opened a second time to fill its buffer");
    qsizetype filled = 0;
    const char zero = 0;
    while (::write(filler, &zero, 1) == 1)
        ++filled;
    const int fillError = errno;
    ::close(filler);
    QCOMPARE(fillError, EAGAIN);

    QTRY_COMPARE_WITH_TIMEOUT(label(*form, "TextLinks"), QStringLiteral("Нет ответа"), 10000);
    QTest::qWait(1500); // more ticks, each meeting the full buffer
    QVERIFY(watcher.boxes().isEmpty());
    QCOMPARE(form->StatusConnect, 1);
    QVERIFY(control<QTimer>(*form, "Timer2")->isActive());

    // The station reads again: past the filler, only whole status frames. It reads
    // for a few ticks, then up to the end of a frame that is still coming.
    QByteArray received;
    QElapsedTimer reading;
    reading.start();
    while (reading.elapsed() < 3000 || received.size() <= filled ||
           (received.size() - filled) % 50 != 0) {
        QVERIFY(reading.elapsed() < 20000);
        QTest::qWait(50);
        char buffer[4096];
        const ssize_t n = ::read(m_pty->masterFd(), buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
    }
    QCOMPARE(received.first(filled), QByteArray(filled, '\0'));
    const QByteArray frames = received.mid(filled);
    QVERIFY(!frames.isEmpty());
    QCOMPARE(frames.size() % 50, 0);
    for (qsizetype at = 0; at < frames.size(); at += 50)
        QCOMPARE(quint8(frames[at]), quint8(0xFF));

    // And answers: a telemetry frame with 200 and 120.
    QByteArray answer(50, '\0');
    answer[10] = char(200);
    answer[26] = char(120);
    QCOMPARE(::write(m_pty->masterFd(), answer.constData(), 50), ssize_t(50));
    QTRY_COMPARE_WITH_TIMEOUT(label(*form, "INTemperatureUP"), QStringLiteral("200"), 10000);
    QCOMPARE(label(*form, "INTemperatureDown"), QStringLiteral("120"));
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Подключен"));
    QVERIFY(watcher.boxes().isEmpty());
}

void TestConsoleLink::everyFrameOfAReadCountsOldestFirst_data() {
    // The frames the station sends in one piece between two polls: the remote
    // command at offset 2 and the top reading of each (the bottom is the top
    // less 100). AutoStart 1, the automatic fan with threshold 150.
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QList<int>>("tops");
    QTest::addColumn<QString>("works");
    QTest::addColumn<QString>("fan");

    const QString soldering = QStringLiteral("Пайка");
    const QString idle = QStringLiteral("Простой");
    const QString fanOn = QStringLiteral("Вентилятор (вкл.)");
    const QString fanOff = QStringLiteral("Вентилятор (выкл.)");
    QTest::newRow("start in the older, the newer without")
        << QList<int>{46, 0} << QList<int>{200, 120} << soldering << fanOff;
    QTest::newRow("start, then stop: both, in order")
        << QList<int>{46, 14} << QList<int>{120, 200} << idle << fanOn;
    QTest::newRow("stop, then start: both, in order")
        << QList<int>{14, 46} << QList<int>{200, 120} << soldering << fanOff;
    QTest::newRow("start in each of three")
        << QList<int>{46, 46, 46} << QList<int>{140, 160, 151} << soldering << fanOn;
    QTest::newRow("no command") << QList<int>{0, 0} << QList<int>{160, 149} << idle << fanOff;
}

// Every whole frame that came since the last poll is looked at for the remote
// command, oldest first; the readouts and the automatic fan follow the newest.
void TestConsoleLink::everyFrameOfAReadCountsOldestFirst() {
    QFETCH(QList<int>, commands);
    QFETCH(QList<int>, tops);
    QFETCH(QString, works);
    QFETCH(QString, fan);

    linkPortAs(QStringLiteral("com1"));
    m_dir->writeSettings(connectSettings("Com1", "19200") +
                         "AutoStart=1\nEnableFan=1\nTempEnableFan=150\n");
    auto form = consoletest::startConsole();
    QVERIFY(form);
    testsupport::ModalWatcher watcher;
    control<QPushButton>(*form, "ButtonConnect")->click();

    QByteArray answer;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        QByteArray frame(50, '\0');
        frame[2] = char(commands[i]);
        frame[10] = char(tops[i]);
        frame[26] = char(tops[i] - 100);
        answer += frame;
    }
    QCOMPARE(::write(m_pty->masterFd(), answer.constData(), size_t(answer.size())),
             ssize_t(answer.size()));
    const QString newestTop = QString::number(tops.last());
    QTRY_COMPARE_WITH_TIMEOUT(label(*form, "INTemperatureUP"), newestTop, 10000);
    QCOMPARE(label(*form, "INTemperatureDown"), QString::number(tops.last() - 100));
    QCOMPARE(label(*form, "Works"), works);
    QCOMPARE(control<QPushButton>(*form, "Button3")->text(), fan);
    QCOMPARE(control<QTimer>(*form, "Timer1")->isActive(), works == u"Пайка");
    QVERIFY(watcher.boxes().isEmpty());
}

QTEST_MAIN(TestConsoleLink)
#include "tst_consolelink.moc"
