// SPDX-License-Identifier: GPL-3.0-or-later
// The poll exchange and the profile transfer against build/station-sim over a real
// pseudo-terminal: status frames, readouts, remote start and stop, the automatic fan,
// the transfer and its refusals, and the station's awkward modes.
#include "link/ReceiveQueue.h"
#include "record/RunJournal.h"
#include "record/RunRecord.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <optional>

using consoletest::control;

namespace {

const QString kStationBinary = QStringLiteral(IRCONSOLE_BINARY_DIR "/station-sim");
constexpr int kStartTimeoutMs = 10000;
// Generous: two cores, other builds alongside.
constexpr int kReadingTimeoutMs = 8000;

const QString kNoLink = QStringLiteral("Нет соединения со станцией!");
const QString kTransferWhileSoldering =
    QStringLiteral("Записывать профиль во время пайки запрещено!");
const QString kFanOn = QStringLiteral("Вентилятор (вкл.)");
const QString kFanOff = QStringLiteral("Вентилятор (выкл.)");
const QString kConnected = QStringLiteral("Подключен");
const QString kNoAnswer = QStringLiteral("Нет ответа");
const QString kNoReading = QStringLiteral("\u2014");

QByteArray settings(const QByteArray& global, const QByteArray& profiles = {}) {
    return "[Connect]\nComport=Com1\nBaudRate=19200\n[Global]\nHex=0\n" + global + "\n" + profiles;
}

// One line of the station's log: a frame it read (RX) or sent (TX), or an event.
struct LogLine {
    qint64 ms = 0;
    QByteArray direction;
    QByteArray kind;
    QByteArray bytes;
};

using Readouts = std::pair<QString, QString>;

} // namespace

class TestPollExchange : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusFrameEverySecondCarriesTheSelectedProfile();
    void readoutsShowTheCorrectedTemperatures();
    void remoteCommandsFollowAutoStart_data();
    void remoteCommandsFollowAutoStart();
    void automaticFanRule_data();
    void automaticFanRule();

    void transferRefusals_data();
    void transferRefusals();
    void transferSendsTheProfileFrame_data();
    void transferSendsTheProfileFrame();
    void valueOutsideAByteRefusesTheTransfer_data();
    void valueOutsideAByteRefusesTheTransfer();
    void captionThatIsNoNumberEndsTheTransfer();
    void transferLeavesTheReadoutsAlone_data();
    void transferLeavesTheReadoutsAlone();

    void silentStationShowsNoAnswer();
    void stationFallsSilentAndComesBack();
    void garbageIsDecodedFrameByFrame();
    void burstShowsTheNewestReading();
    void commandInTheOlderOfTwoFramesIsObeyed();
    void splitAnswersAreReassembled();
    void strayBytesHealWithoutReconnect();
    void hangUpClosesTheLinkOnce();

    void everyAnswerIsRecordedOnce();
    void slowDiskHoldsNeitherThePollNorTheClock();

private:
    // The readings of the run recorded so far, "-" for a gap.
    QList<int> recordedTops() const;
    // Starts the station (link com1 in the application directory, a log), then the
    // console with these settings; connects when asked.
    void startBoth(const QByteArray& settingsText, const QStringList& stationOptions = {},
                   bool connectNow = true);
    // A command on the station's stdin; returns once the station has answered it.
    void command(const QByteArray& line);
    QList<LogLine> log() const;
    QList<LogLine> frames(const QByteArray& direction, const QByteArray& kind) const;
    void waitForTicks(int count);
    Readouts readouts() const;
    // Records the readouts right after every poll tick from now on.
    void recordReadoutsPerTick();
    void selectProfile(int number);

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<QProcess> m_station;
    QString m_terminal; // the station's end of the line, as the console opens it
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<testsupport::ModalWatcher> m_watcher;
    std::unique_ptr<QSignalSpy> m_ticks;
    QList<Readouts> m_perTick;
};

void TestPollExchange::init() {
    QVERIFY(QFile::exists(kStationBinary));
    m_dir.emplace();
    m_perTick.clear();
}

void TestPollExchange::cleanup() {
    m_ticks.reset();
    m_watcher.reset();
    m_form.reset();
    if (m_station && m_station->state() != QProcess::NotRunning) {
        m_station->write("quit\n");
        if (!m_station->waitForFinished(3000)) {
            m_station->kill();
            m_station->waitForFinished();
        }
    }
    m_station.reset();
    m_dir.reset();
}

void TestPollExchange::startBoth(const QByteArray& settingsText, const QStringList& stationOptions,
                                 bool connectNow) {
    m_dir->writeSettings(settingsText);
    m_station = std::make_unique<QProcess>();
    m_station->start(kStationBinary,
                     QStringList{QStringLiteral("--link"), m_dir->path() + "/com1",
                                 QStringLiteral("--log"), m_dir->path() + "/station.log"} +
                         stationOptions);
    QVERIFY(m_station->waitForStarted(kStartTimeoutMs));
    // The terminal's path comes first, once the link is in place.
    QVERIFY(QTest::qWaitFor([this] { return m_station->canReadLine(); }, kStartTimeoutMs));
    const QByteArray terminal = m_station->readLine().trimmed();
    QVERIFY(terminal.startsWith("/dev/"));
    m_terminal = QString::fromLocal8Bit(terminal);

    m_form = consoletest::startConsole();
    QVERIFY(m_form);
    m_watcher = std::make_unique<testsupport::ModalWatcher>();
    m_ticks = std::make_unique<QSignalSpy>(control<QTimer>(*m_form, "Timer2"), &QTimer::timeout);
    if (connectNow) {
        control<QPushButton>(*m_form, "ButtonConnect")->click();
        QCOMPARE(control<QLabel>(*m_form, "TextLinks")->text(), QStringLiteral("Подключен"));
    }
}

void TestPollExchange::command(const QByteArray& line) {
    m_station->write(line + '\n');
    // Each command is answered with one line on stdout.
    QVERIFY2(QTest::qWaitFor([this] { return m_station->canReadLine(); }, kStartTimeoutMs),
             line.constData());
    m_station->readLine();
}

QList<LogLine> TestPollExchange::log() const {
    QFile file(m_dir->path() + "/station.log");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<LogLine> lines;
    for (const QByteArray& text : file.readAll().split('\n')) {
        const QList<QByteArray> fields = text.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        LogLine line{fields[0].toLongLong(), fields[1], fields[2], {}};
        for (qsizetype i = 3; i < fields.size(); ++i)
            line.bytes.append(char(fields[i].toUInt(nullptr, 16)));
        lines.append(line);
    }
    return lines;
}

QList<LogLine> TestPollExchange::frames(const QByteArray& direction, const QByteArray& kind) const {
    QList<LogLine> found;
    for (const LogLine& line : log())
        if (line.direction == direction && line.kind == kind)
            found.append(line);
    return found;
}

void TestPollExchange::waitForTicks(int count) {
    const qsizetype target = m_ticks->count() + count;
    QTRY_VERIFY_WITH_TIMEOUT(m_ticks->count() >= target, count * 1000 + kReadingTimeoutMs);
}

Readouts TestPollExchange::readouts() const {
    return {control<QLabel>(*m_form, "INTemperatureUP")->text(),
            control<QLabel>(*m_form, "INTemperatureDown")->text()};
}

void TestPollExchange::recordReadoutsPerTick() {
    // Connected after the console's own handler, so it sees what that tick decoded.
    connect(control<QTimer>(*m_form, "Timer2"), &QTimer::timeout, this,
            [this] { m_perTick.append(readouts()); });
}

void TestPollExchange::selectProfile(int number) {
    auto* combo = control<QComboBox>(*m_form, "ComboBox1");
    combo->setCurrentIndex(number);
    emit combo->activated(number); // as the operator's pick
}

// ---- the poll ----

void TestPollExchange::statusFrameEverySecondCarriesTheSelectedProfile() {
    startBoth(settings({}), {}, false);
    selectProfile(3);
    control<QPushButton>(*m_form, "ButtonConnect")->click();
    waitForTicks(6);
    control<QPushButton>(*m_form, "ButtonConnect")->click(); // disconnect: no more frames
    QTest::qWait(300);

    const QList<LogLine> status = frames("RX", "status");
    QVERIFY2(status.size() >= 6, qPrintable(QString::number(status.size())));
    const QByteArray expected = QByteArray::fromHex(
        "FF 00 00 00 00 00 00 00 4B 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
        "00 00 00 00 00 FF 04 00 00 00 00 00 00 4B 00 00 00 00 00 E1 29");
    for (const LogLine& line : status)
        QCOMPARE(line.bytes.toHex(' '), expected.toHex(' '));
    // Nothing else went to the station, and nothing it could not line up.
    QCOMPARE(log().size(), status.size() + frames("TX", "telemetry").size());

    // One a second: each gap near a second, and on average a second.
    for (qsizetype i = 1; i < status.size(); ++i) {
        const qint64 gap = status[i].ms - status[i - 1].ms;
        QVERIFY2(gap > 500 && gap < 1500, qPrintable(QString::number(gap)));
    }
    const double mean = double(status.last().ms - status.first().ms) / double(status.size() - 1);
    QVERIFY2(mean > 900 && mean < 1100, qPrintable(QString::number(mean)));
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::readoutsShowTheCorrectedTemperatures() {
    startBoth(settings("Correct1=-5\nCorrect2=3"));
    command("temp 200 120");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("195", "123"), kReadingTimeoutMs);
    QCOMPARE(m_form->RXVerh, 200);
    QCOMPARE(m_form->RXNiz, 120);

    // The top reading 250 stays 250, never a negative byte.
    command("temp 250 0");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("245", "3"), kReadingTimeoutMs);
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::remoteCommandsFollowAutoStart_data() {
    QTest::addColumn<int>("autoStart");
    QTest::newRow("AutoStart 1: obeyed") << 1;
    QTest::newRow("AutoStart 0: ignored") << 0;
}

void TestPollExchange::remoteCommandsFollowAutoStart() {
    QFETCH(int, autoStart);
    startBoth(settings("AutoStart=" + QByteArray::number(autoStart)));
    auto* works = control<QLabel>(*m_form, "Works");
    auto* runClock = control<QTimer>(*m_form, "Timer1");
    // The station repeats a command in three answers.
    const auto answersWith = [this](char command) {
        int sent = 0;
        for (const LogLine& line : frames("TX", "telemetry"))
            sent += line.bytes.at(2) == command ? 1 : 0;
        return sent;
    };
    waitForTicks(1);

    command("start");
    if (autoStart == 1) {
        QTRY_COMPARE_WITH_TIMEOUT(works->text(), QStringLiteral("Пайка"), kReadingTimeoutMs);
        QVERIFY(runClock->isActive());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(answersWith(46) >= 3, kReadingTimeoutMs);
        waitForTicks(2); // each answer is read on the tick after the one that asked for it
        QCOMPARE(works->text(), QStringLiteral("Простой"));
        QVERIFY(!runClock->isActive());
        m_form->Start(); // the operator starts it instead; the station's stop is ignored too
    }

    command("stop");
    if (autoStart == 1) {
        QTRY_COMPARE_WITH_TIMEOUT(works->text(), QStringLiteral("Простой"), kReadingTimeoutMs);
        QVERIFY(!runClock->isActive());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(answersWith(14) >= 3, kReadingTimeoutMs);
        waitForTicks(2);
        QCOMPARE(works->text(), QStringLiteral("Пайка"));
        QVERIFY(runClock->isActive());
    }
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::automaticFanRule_data() {
    QTest::addColumn<int>("enableFan");
    QTest::addColumn<int>("correction"); // Correct1, added to the top reading
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<bool>("onBefore"); // the caption the fan button left
    QTest::addColumn<bool>("onAfter");

    // The threshold is 150 in every row.
    QTest::newRow("above switches on") << 1 << 0 << 151 << 20 << false << true;
    QTest::newRow("at the threshold off stays off") << 1 << 0 << 150 << 20 << false << false;
    QTest::newRow("at the threshold on stays on") << 1 << 0 << 150 << 20 << true << true;
    QTest::newRow("below switches off") << 1 << 0 << 149 << 20 << true << false;
    QTest::newRow("correction lifts above") << 1 << 5 << 146 << 20 << false << true;
    QTest::newRow("correction drops below") << 1 << -5 << 154 << 20 << true << false;
    QTest::newRow("bottom heater never counts") << 1 << 0 << 150 << 255 << false << false;
    QTest::newRow("rule off: button's on stays") << 0 << 0 << 20 << 20 << true << true;
    QTest::newRow("rule off: button's off stays") << 0 << 0 << 200 << 20 << false << false;
}

void TestPollExchange::automaticFanRule() {
    QFETCH(int, enableFan);
    QFETCH(int, correction);
    QFETCH(int, top);
    QFETCH(int, bottom);
    QFETCH(bool, onBefore);
    QFETCH(bool, onAfter);

    startBoth(settings("EnableFan=" + QByteArray::number(enableFan) +
                       "\nTempEnableFan=150\nCorrect1=" + QByteArray::number(correction)));
    auto* fan = control<QPushButton>(*m_form, "Button3");
    command(QStringLiteral("temp %1 %2").arg(top).arg(bottom).toUtf8());
    QTRY_COMPARE_WITH_TIMEOUT(readouts().first, QString::number(top + correction),
                              kReadingTimeoutMs);

    // The operator's button sets the caption the rule then works on.
    for (int press = 0; press < 2 && (fan->text() == kFanOn) != onBefore; ++press)
        fan->click();
    QCOMPARE(fan->text(), onBefore ? kFanOn : kFanOff);
    const int toggle = m_form->StatusFan;

    waitForTicks(2);
    QCOMPARE(fan->text(), onAfter ? kFanOn : kFanOff);
    QCOMPARE(m_form->FanActiv, onAfter ? 64 : 0);
    QCOMPARE(m_form->StatusFan, toggle); // the rule leaves the button's own toggle alone
}

// ---- the transfer ----

void TestPollExchange::transferRefusals_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("message");
    QTest::newRow("not connected") << false << kNoLink;
    QTest::newRow("soldering") << true << kTransferWhileSoldering;
}

void TestPollExchange::transferRefusals() {
    QFETCH(bool, connected);
    QFETCH(QString, message);
    startBoth(settings({}, "[Profil0]\nT0=180\nTB=150\nT1=160\nS1=60\nT3=235\nS3=30\n"), {},
              connected);
    if (connected) {
        m_form->Start();
        waitForTicks(1);
    }

    control<QPushButton>(*m_form, "Button1")->click();
    QCOMPARE(m_watcher->texts(), QStringList{message});
    QCOMPARE(m_watcher->boxes().first().buttonCount, 1);
    QCOMPARE(control<QTimer>(*m_form, "Timer2")->isActive(), connected);
    waitForTicks(connected ? 2 : 0);
    QTest::qWait(500);
    QVERIFY(frames("RX", "profile").isEmpty());
}

void TestPollExchange::transferSendsTheProfileFrame_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("profile 2") << 2 << QByteArray("T0=180\nTB=150\nT1=160\nS1=60\nT3=235\nS3=30")
                               << QByteArray("FF 04 E0 FF 00 00 00 00 00 02 00 00 A0 00 00 00 00 "
                                             "00 EB 00 3C 00 B4 00 96 00 00 00 00 00 1E 00 00 00 "
                                             "FF 04 00 FF 04 00 00 00 00 00 00 4B 00 00 D0 AF");
    QTest::newRow("the ends of a byte")
        << 0 << QByteArray("T0=0\nTB=255\nT1=255\nS1=0\nT3=255\nS3=0")
        << QByteArray("FF 04 E0 FF 00 00 00 00 00 00 00 00 FF 00 "
                      "00 00 00 00 FF 00 00 00 00 00 FF 00 00 00 "
                      "00 00 00 00 00 00 FF 04 00 FF 04 00 00 00 "
                      "00 00 00 4B 00 00 D0 AF");
}

void TestPollExchange::transferSendsTheProfileFrame() {
    QFETCH(int, profile);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, frame);

    startBoth(settings({}, "[Profil" + QByteArray::number(profile) + "]\n" + section + "\n"), {},
              false);
    selectProfile(profile);
    control<QPushButton>(*m_form, "ButtonConnect")->click();
    command("temp 201 99");
    waitForTicks(3);
    // The answer to the last status frame has come and the line has been quiet
    // since: it has ended, and the transfer's own read takes it. (An answer that
    // came while the transfer held the console is not known to have ended; the
    // next poll reads it.)
    QTest::qWait(int(station::ReceiveQueue::kQuietGap.count()) + 100);

    // Only the transfer's own read can change the readouts until it returns.
    control<QLabel>(*m_form, "INTemperatureUP")->setText(QStringLiteral("-"));
    control<QLabel>(*m_form, "INTemperatureDown")->setText(QStringLiteral("-"));
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>(*m_form, "Button1")->click();
    const qint64 blocked = clock.elapsed();
    QVERIFY2(blocked >= 1900 && blocked < 4000, qPrintable(QString::number(blocked)));
    QCOMPARE(readouts(), Readouts("201", "99"));
    auto* poll = control<QTimer>(*m_form, "Timer2");
    QVERIFY(poll->isActive());
    QVERIFY2(poll->remainingTime() > 700, qPrintable(QString::number(poll->remainingTime())));

    // Wait for the status frame that follows the profile frame.
    QTRY_VERIFY_WITH_TIMEOUT(!frames("RX", "profile").isEmpty() &&
                                 frames("RX", "status").last().ms >
                                     frames("RX", "profile").first().ms,
                             kReadingTimeoutMs);
    const QList<LogLine> transferred = frames("RX", "profile");
    QCOMPARE(transferred.size(), 1);
    QCOMPARE(transferred.first().bytes.toHex(' ').toUpper(), frame);

    // The profile frame went out a second into the transfer: a second or more after
    // the status frame before it, and two seconds (the second pause, then a full
    // period) before the next one.
    qint64 before = -1;
    qint64 after = -1;
    for (const LogLine& line : frames("RX", "status")) {
        if (line.ms < transferred.first().ms)
            before = line.ms;
        else if (after < 0)
            after = line.ms;
    }
    QVERIFY(before >= 0 && after >= 0);
    const qint64 sinceStatus = transferred.first().ms - before;
    const qint64 untilStatus = after - transferred.first().ms;
    QVERIFY2(sinceStatus >= 900 && sinceStatus < 2500, qPrintable(QString::number(sinceStatus)));
    QVERIFY2(untilStatus >= 1700 && untilStatus < 3000, qPrintable(QString::number(untilStatus)));
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::valueOutsideAByteRefusesTheTransfer_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QString>("message");

    QTest::newRow("below 0") << QByteArray("T0=-5\nTB=150\nT1=160\nS1=60\nT3=235\nS3=30")
                             << "Значение T0 = -5 вне диапазона 0..255, профиль не передан!";
    QTest::newRow("above 255") << QByteArray("T0=180\nTB=150\nT1=160\nS1=60\nT3=300\nS3=30")
                               << "Значение T3 = 300 вне диапазона 0..255, профиль не передан!";
    QTest::newRow("256") << QByteArray("T0=180\nTB=150\nT1=160\nS1=60\nT3=235\nS3=256")
                         << "Значение S3 = 256 вне диапазона 0..255, профиль не передан!";
    QTest::newRow("the first in order is named")
        << QByteArray("T0=180\nTB=256\nT1=160\nS1=-1\nT3=235\nS3=30")
        << "Значение TB = 256 вне диапазона 0..255, профиль не передан!";
}

void TestPollExchange::valueOutsideAByteRefusesTheTransfer() {
    QFETCH(QByteArray, section);
    QFETCH(QString, message);

    startBoth(settings({}, "[Profil0]\n" + section + "\n"));
    waitForTicks(1);
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>(*m_form, "Button1")->click();
    // Refused before the first pause: the console was never held.
    QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_watcher->texts(), QStringList{message});
    QCOMPARE(m_watcher->boxes().first().buttonCount, 1);
    QVERIFY(control<QTimer>(*m_form, "Timer2")->isActive());

    waitForTicks(2);
    QVERIFY(frames("RX", "profile").isEmpty());
}

void TestPollExchange::captionThatIsNoNumberEndsTheTransfer() {
    startBoth(settings({}, "[Profil0]\nT0=180\nTB=150\nT1=160\nS1=60\nT3=235\nS3=30\n"));
    waitForTicks(1);
    control<QLabel>(*m_form, "Label8")->setText(QStringLiteral("abc"));
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>(*m_form, "Button1")->click();
    QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_watcher->texts(),
             QStringList{QStringLiteral("'abc' is not a valid integer value.")});
    QCOMPARE(m_watcher->boxes().first().icon, QMessageBox::Critical);
    QVERIFY(control<QTimer>(*m_form, "Timer2")->isActive());
    waitForTicks(2);
    QVERIFY(frames("RX", "profile").isEmpty());
}

// The transfer's own read takes the answer the next poll would have read: that
// poll, finding no new frame, leaves the readouts as they are. Against a station
// that answers on the line's time and one that answers at once.
void TestPollExchange::transferLeavesTheReadoutsAlone_data() {
    QTest::addColumn<QStringList>("stationOptions");
    QTest::newRow("answers on the line's time") << QStringList{};
    QTest::newRow("answers at once") << QStringList{QStringLiteral("--instant")};
}

void TestPollExchange::transferLeavesTheReadoutsAlone() {
    QFETCH(QStringList, stationOptions);
    startBoth(settings({}, "[Profil0]\nT0=180\nTB=150\nT1=160\nS1=60\nT3=235\nS3=30\n"),
              stationOptions);
    command("temp 201 99");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("201", "99"), kReadingTimeoutMs);
    recordReadoutsPerTick();
    for (int transfer = 0; transfer < 2; ++transfer) {
        control<QPushButton>(*m_form, "Button1")->click();
        m_perTick.append(readouts()); // what the transfer's own read left
        waitForTicks(3);
    }
    QCOMPARE(m_perTick, QList<Readouts>(m_perTick.size(), Readouts("201", "99")));
    QCOMPARE(control<QLabel>(*m_form, "TextLinks")->text(), kConnected);
    QCOMPARE(frames("RX", "profile").size(), 2);
    QVERIFY(m_watcher->boxes().isEmpty());
}

// ---- the station's awkward modes ----

// Nothing on the line: "Подключен" and "0" (nothing measured yet) for the first
// two ticks, then "Нет ответа" and no readings; the poll goes on.
void TestPollExchange::silentStationShowsNoAnswer() {
    startBoth(settings("Correct1=-5\nCorrect2=3"), {QStringLiteral("--silent")});
    auto* links = control<QLabel>(*m_form, "TextLinks");
    QList<QString> states;
    connect(control<QTimer>(*m_form, "Timer2"), &QTimer::timeout, this,
            [&] { states.append(links->text()); });
    recordReadoutsPerTick();
    waitForTicks(5);
    QCOMPARE(states.mid(0, 5),
             (QList<QString>{kConnected, kConnected, kNoAnswer, kNoAnswer, kNoAnswer}));
    QCOMPARE(m_perTick.mid(0, 5), (QList<Readouts>{{"0", "0"},
                                                   {"0", "0"},
                                                   {kNoReading, kNoReading},
                                                   {kNoReading, kNoReading},
                                                   {kNoReading, kNoReading}}));
    QVERIFY(frames("RX", "status").size() >= 5);
    QVERIFY(frames("TX", "telemetry").isEmpty());
    QVERIFY(m_watcher->boxes().isEmpty());

    // A disconnect is as ever: "Не подключен" and "0".
    control<QPushButton>(*m_form, "ButtonConnect")->click();
    QCOMPARE(links->text(), QStringLiteral("Не подключен"));
    QCOMPARE(readouts(), Readouts("0", "0"));
}

// A station that stops reading: the console's frames pile up on the line, no
// lost-device box, "Нет ответа" after three ticks; the automatic fan keeps what
// the last reading set (no reading is no temperature below the threshold). Once
// the station reads and answers again, "Подключен" and its readings are back.
void TestPollExchange::stationFallsSilentAndComesBack() {
    startBoth(settings("EnableFan=1\nTempEnableFan=150"));
    command("temp 180 90");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("180", "90"), kReadingTimeoutMs);
    auto* links = control<QLabel>(*m_form, "TextLinks");
    auto* fan = control<QPushButton>(*m_form, "Button3");
    QCOMPARE(fan->text(), kFanOn);

    command("deaf");
    QTRY_COMPARE_WITH_TIMEOUT(links->text(), kNoAnswer, 3000 + kReadingTimeoutMs);
    QCOMPARE(readouts(), Readouts(kNoReading, kNoReading));
    waitForTicks(2);
    QCOMPARE(fan->text(), kFanOn);
    QCOMPARE(m_form->FanActiv, 64);
    QCOMPARE(m_form->RXVerh, 180);

    command("temp 140 91");
    command("listen");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("140", "91"), kReadingTimeoutMs);
    QCOMPARE(links->text(), kConnected);
    QCOMPARE(fan->text(), kFanOff);
    QCOMPARE(m_form->StatusConnect, 1);
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::garbageIsDecodedFrameByFrame() {
    startBoth(settings("Correct1=1\nCorrect2=2"),
              {QStringLiteral("--garbage"), QStringLiteral("--seed"), QStringLiteral("7")});
    recordReadoutsPerTick();
    waitForTicks(5);

    // Whatever a tick shows is bytes 10 and 26 of one whole answer, or "0" before
    // the first one came.
    QSet<Readouts> answers;
    for (const LogLine& line : frames("TX", "garbage"))
        answers.insert({QString::number(quint8(line.bytes.at(10)) + 1),
                        QString::number(quint8(line.bytes.at(26)) + 2)});
    int decoded = 0;
    for (const Readouts& seen : std::as_const(m_perTick)) {
        QVERIFY2(answers.contains(seen) || seen == Readouts("0", "0"),
                 qPrintable(seen.first + " " + seen.second));
        decoded += answers.contains(seen) ? 1 : 0;
    }
    QVERIFY(decoded >= 3);
    QCOMPARE(control<QLabel>(*m_form, "Works")->text(), QStringLiteral("Простой"));
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::burstShowsTheNewestReading() {
    startBoth(settings({}), {QStringLiteral("--burst"), QStringLiteral("3")});
    command("temp 200 120");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("200", "120"), kReadingTimeoutMs);
    waitForTicks(4); // answers pile up three at a time meanwhile

    recordReadoutsPerTick();
    command("temp 210 130");
    // Read oldest first, the new reading would lag further behind with every tick.
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("210", "130"), 3000);
    waitForTicks(2);
    const qsizetype firstNew = m_perTick.indexOf(Readouts("210", "130"));
    QVERIFY(firstNew >= 0);
    for (qsizetype i = firstNew; i < m_perTick.size(); ++i)
        QCOMPARE(m_perTick[i], Readouts("210", "130"));
    QVERIFY(frames("TX", "telemetry").size() >= 3 * (frames("RX", "status").size() - 1));
    QVERIFY(m_watcher->boxes().isEmpty());
}

// Two frames to each status frame, the remote command in the older only: read
// newest only, the command would be lost; every frame is looked at, oldest first.
void TestPollExchange::commandInTheOlderOfTwoFramesIsObeyed() {
    startBoth(settings("AutoStart=1"), {QStringLiteral("--double")});
    command("temp 150 80");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("150", "80"), kReadingTimeoutMs);
    auto* works = control<QLabel>(*m_form, "Works");
    command("start");
    QTRY_COMPARE_WITH_TIMEOUT(works->text(), QStringLiteral("Пайка"), kReadingTimeoutMs);
    command("stop");
    QTRY_COMPARE_WITH_TIMEOUT(works->text(), QStringLiteral("Простой"), kReadingTimeoutMs);
    // The station did send the command in the first frame of each answer only.
    const QList<LogLine> sent = frames("TX", "telemetry");
    QVERIFY(sent.size() >= 4);
    for (qsizetype i = 1; i < sent.size(); i += 2)
        QCOMPARE(int(sent[i].bytes.at(2)), 0);
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::splitAnswersAreReassembled() {
    startBoth(settings({}),
              {QStringLiteral("--split"), QStringLiteral("--seed"), QStringLiteral("3")}, false);
    command("temp 200 120");
    control<QPushButton>(*m_form, "ButtonConnect")->click();
    recordReadoutsPerTick();
    waitForTicks(5);
    int whole = 0;
    for (const Readouts& seen : std::as_const(m_perTick)) {
        // "0": no whole answer yet; after that, only the station's reading.
        QVERIFY2(seen == Readouts("200", "120") || (whole == 0 && seen == Readouts("0", "0")),
                 qPrintable(seen.first + " " + seen.second));
        whole += seen == Readouts("200", "120") ? 1 : 0;
    }
    QVERIFY(whole >= 3);
    QVERIFY(m_watcher->boxes().isEmpty());
}

// Stray bytes on the line between answers: the readouts never show a value the
// station did not send, and are right again within two polls.
void TestPollExchange::strayBytesHealWithoutReconnect() {
    startBoth(settings({}), {QStringLiteral("--seed"), QStringLiteral("5")});
    command("temp 200 120");
    QTRY_COMPARE_WITH_TIMEOUT(readouts(), Readouts("200", "120"), kReadingTimeoutMs);
    recordReadoutsPerTick();
    for (const QByteArray count : {"1", "49", "4001"}) {
        command("noise " + count);
        waitForTicks(3);
    }
    QVERIFY(m_perTick.size() >= 9);
    QCOMPARE(m_perTick, QList<Readouts>(m_perTick.size(), Readouts("200", "120")));
    QCOMPARE(control<QLabel>(*m_form, "TextLinks")->text(), kConnected);
    QVERIFY(m_watcher->boxes().isEmpty());
}

void TestPollExchange::hangUpClosesTheLinkOnce() {
    startBoth(settings({}), {QStringLiteral("--hangup-after"), QStringLiteral("3")});
    m_form->Start();
    command("temp 180 90");
    QTRY_COMPARE_WITH_TIMEOUT(m_watcher->boxes().size(), 1, 10000);
    const QString link = m_dir->path() + QStringLiteral("/com1");
    QCOMPARE(m_watcher->boxes().first().text,
             QStringLiteral("Соединение со станцией потеряно, порт Com1 (%1 → %2): устройство "
                            "отключено.")
                 .arg(link, m_terminal));
    QCOMPARE(m_form->StatusConnect, 0);
    QCOMPARE(control<QLabel>(*m_form, "TextLinks")->text(), QStringLiteral("Не подключен"));
    QVERIFY(!control<QTimer>(*m_form, "Timer2")->isActive());
    QCOMPARE(readouts(), Readouts("0", "0"));
    // The run goes on; each second after the loss is a gap in the record, not a 0.
    // (The second under way when the loss was seen keeps an answer read before it.)
    QVERIFY(control<QTimer>(*m_form, "Timer1")->isActive());
    const int sample = m_form->TGrafikY;
    QTRY_VERIFY_WITH_TIMEOUT(m_form->TGrafikY > sample + 2, 5000);
    const record::RunRecord& record = m_form->runRecord();
    QCOMPARE(record.size(), qsizetype(m_form->TGrafikY));
    for (qsizetype index = sample + 1; index < record.size(); ++index)
        QVERIFY2(!record.sample(index).has_value(), qPrintable(QString::number(index + 1)));
    QCOMPARE(m_watcher->boxes().size(), 1);
}

// ---- the run's record ----

QList<int> TestPollExchange::recordedTops() const {
    QList<int> tops;
    for (const record::RunSecond& second : m_form->runRecord().samples())
        tops << (second ? second->top : -1);
    return tops;
}

// A station whose every answer is one degree higher than the one before, the
// run started and stopped by the station: every second of the run holds the next
// answer, none twice, none skipped, no gap. Then the station stops reading for a
// second and a half: its answers come late or not at all, and the seconds without
// one are gaps; no reading is recorded twice.
void TestPollExchange::everyAnswerIsRecordedOnce() {
    startBoth(settings("AutoStart=1"), {QStringLiteral("--count-up")});
    waitForTicks(2);
    command("start");
    QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(*m_form, "Works")->text(), QStringLiteral("Пайка"),
                              kReadingTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_form->runRecord().size() >= 6, 6 * 1000 + kReadingTimeoutMs);
    const qsizetype healthy = m_form->runRecord().size();
    command("deaf");
    QTest::qWait(1500);
    command("listen");
    QTRY_VERIFY_WITH_TIMEOUT(m_form->runRecord().size() >= healthy + 5,
                             5 * 1000 + kReadingTimeoutMs);
    command("stop");
    QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(*m_form, "Works")->text(), QStringLiteral("Простой"),
                              kReadingTimeoutMs);

    const QList<int> tops = recordedTops();
    int previous = -1;
    for (qsizetype i = 0; i < tops.size(); ++i) {
        const QString where =
            QStringLiteral("second %1: %2 after %3").arg(i + 1).arg(tops[i]).arg(previous);
        if (i < healthy) {
            QVERIFY2(tops[i] >= 0, qPrintable(where));
            QVERIFY2(i == 0 || (tops[i] - previous + 256) % 256 == 1, qPrintable(where));
        } else if (tops[i] >= 0) {
            QVERIFY2((tops[i] - previous + 256) % 256 >= 1 && (tops[i] - previous + 256) % 256 < 10,
                     qPrintable(where));
        }
        if (tops[i] >= 0)
            previous = tops[i];
    }
    // The last seconds, after the station listens again, hold an answer each.
    QVERIFY(tops.back() >= 0 && tops[tops.size() - 2] >= 0);
    QVERIFY(m_watcher->boxes().isEmpty());
}

// The journal's disk takes 800 ms for every sync (an SD card, a network folder):
// the status frames still go out once a second, measured on the line, the clock
// counts the seconds that pass, every answer is recorded once, and the journal's
// file gets every row in the end.
void TestPollExchange::slowDiskHoldsNeitherThePollNorTheClock() {
    startBoth(settings({}), {QStringLiteral("--count-up")});
    m_form->runJournal().writer().setSync([](int) {
        QThread::msleep(800);
        return true;
    });
    waitForTicks(2);
    QElapsedTimer clock;
    clock.start();
    m_form->Start();
    const qint64 runFromMs = frames("RX", "status").last().ms;
    QTRY_VERIFY_WITH_TIMEOUT(m_form->runRecord().size() >= 10, 10 * 1000 + kReadingTimeoutMs);
    m_form->Stop();
    const qint64 ranMs = clock.elapsed();

    // The clock: a second for every second that passed, give or take the first.
    const qsizetype seconds = m_form->runRecord().size();
    QVERIFY2(seconds >= ranMs / 1000 - 1 && seconds <= ranMs / 1000 + 1,
             qPrintable(QStringLiteral("%1 s in %2 ms").arg(seconds).arg(ranMs)));
    // The poll: a status frame every second all through the run.
    const QList<LogLine> status = frames("RX", "status");
    for (qsizetype i = 1; i < status.size(); ++i) {
        if (status[i].ms <= runFromMs)
            continue;
        const qint64 gap = status[i].ms - status[i - 1].ms;
        QVERIFY2(gap > 850 && gap < 1150, qPrintable(QString::number(gap)));
    }
    const QList<int> tops = recordedTops();
    for (qsizetype i = 1; i < tops.size(); ++i)
        QVERIFY2(tops[i] >= 0 && (tops[i] - tops[i - 1] + 256) % 256 == 1,
                 qPrintable(QString::number(i + 1)));

    m_form->runJournal().waitForWriter();
    QFile journal(m_dir->path() + QStringLiteral("/runs/") +
                  QDir(m_dir->path() + QStringLiteral("/runs")).entryList(QDir::Files).value(0));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QByteArray text = journal.readAll();
    const record::RunSecond last = m_form->runRecord().samples().back();
    QVERIFY(last.has_value());
    QVERIFY2(
        text.endsWith(
            QStringLiteral("\n%1,%2,%3\n").arg(seconds).arg(last->top).arg(last->bottom).toUtf8()),
        text.right(60).constData());
    QVERIFY(m_watcher->boxes().isEmpty());
}

QTEST_MAIN(TestPollExchange)
#include "tst_pollexchange.moc"
