// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's link: connect and disconnect over a real pseudo-terminal, and the failures.
#include "sim/PseudoTerminal.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <optional>

using consoletest::control;

namespace {

QString label(const TForm1& form, const char* name) {
    return control<QLabel>(form, name)->text();
}

QByteArray connectSettings(const QByteArray& comport, const QByteArray& baudRate) {
    return "[Connect]\nComport=" + comport + "\nBaudRate=" + baudRate + "\n[Global]\nHex=0\n";
}

} // namespace

class TestConsoleLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twoPressesConnectThenDisconnect();
    void badSpeedRefusesUntilCorrected_data();
    void badSpeedRefusesUntilCorrected();
    void missingPortIsReportedAndStaysDisconnected();
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

void TestConsoleLink::badSpeedRefusesUntilCorrected_data() {
    QTest::addColumn<QByteArray>("speed");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << QByteArray("fast")
                             << QStringLiteral("'fast' is not a valid integer value.");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("'' is not a valid integer value.");
}

void TestConsoleLink::badSpeedRefusesUntilCorrected() {
    QFETCH(QByteArray, speed);
    QFETCH(QString, message);

    linkPortAs(QStringLiteral("com2"));
    m_dir->writeSettings(connectSettings("Com2", speed));
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
    QCOMPARE(watcher.boxes().size(), 1);
    const testsupport::SeenBox box = watcher.boxes().first();
    const QString expectedStart = QStringLiteral("Не удалось открыть порт %1 (%1): ").arg(device);
    QVERIFY2(box.text.startsWith(expectedStart), qPrintable(box.text));
    QVERIFY2(box.text.size() > expectedStart.size() + 1, "the system's reason is missing");
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(label(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QVERIFY(!control<QTimer>(*form, "Timer2")->isActive());
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
    QVERIFY2(watcher.boxes().first().text.startsWith(
                 QStringLiteral("Соединение со станцией потеряно: ")),
             qPrintable(watcher.boxes().first().text));
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
    const QString dangling = QDir(m_dir->path()).filePath(QStringLiteral("com1"));
    QVERIFY(QFile::remove(dangling));
    QVERIFY(QFile::link(QDir(m_dir->path()).filePath(QStringLiteral("pulled-out")), dangling));
    control<QPushButton>(*form, "ButtonConnect")->click();
    QCOMPARE(watcher.boxes().size(), 2);
    QVERIFY2(watcher.boxes().last().text.startsWith(
                 QStringLiteral("Не удалось открыть порт Com1 (%1): ").arg(dangling)),
             qPrintable(watcher.boxes().last().text));
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
