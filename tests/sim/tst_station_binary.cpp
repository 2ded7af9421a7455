// SPDX-License-Identifier: GPL-3.0-or-later
// build/station-sim as another process: its link, its stdin commands, its log and how it ends.
#include "sim/StationFrames.h"
#include "tests/sim/SlaveEnd.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using simtest::SlaveEnd;

namespace {

const QString kBinary = QStringLiteral(IRCONSOLE_BINARY_DIR "/station-sim");
constexpr int kStartTimeoutMs = 10000;

QByteArray statusFrame(std::uint8_t profile) {
    return sim::toBytes(station::buildStatusFrame(0, profile));
}

// Waits for the next whole line on the process's stdout.
QString nextLine(QProcess& process) {
    if (!QTest::qWaitFor([&] { return process.canReadLine(); }, kStartTimeoutMs))
        return {};
    return QString::fromUtf8(process.readLine()).trimmed();
}

} // namespace

class TstStationBinary : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void answersThroughItsLinkAndQuitsOnCommand();
    void signalEndsItAndRemovesTheLink_data();
    void signalEndsItAndRemovesTheLink();
    void replacesAStaleLinkButNotAFile();

private:
    // Starts the simulator with a link in the temporary directory; returns the
    // terminal path it printed first.
    QString start(const QStringList& extra = {});
    QString link() const { return m_dir->filePath(QStringLiteral("com1")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
};

void TstStationBinary::init() {
    QVERIFY(QFileInfo::exists(kBinary));
    m_dir = std::make_unique<QTemporaryDir>();
    m_process = std::make_unique<QProcess>();
}

void TstStationBinary::cleanup() {
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished();
    }
    m_process.reset();
    m_dir.reset();
}

QString TstStationBinary::start(const QStringList& extra) {
    m_process->start(kBinary, QStringList{QStringLiteral("--link"), link()} + extra);
    if (!m_process->waitForStarted(kStartTimeoutMs))
        return {};
    return nextLine(*m_process);
}

void TstStationBinary::answersThroughItsLinkAndQuitsOnCommand() {
    const QString logPath = m_dir->filePath(QStringLiteral("station.log"));
    const QString terminal =
        start({QStringLiteral("--log"), logPath, QStringLiteral("--seed"), QStringLiteral("1")});
    QVERIFY2(terminal.startsWith(QStringLiteral("/dev/")), qPrintable(terminal));
    QCOMPARE(QFileInfo(link()).symLinkTarget(), terminal);

    SlaveEnd console(link());
    QVERIFY(console.isOpen());
    QVERIFY(console.write(statusFrame(2)));
    QVERIFY(console.waitForBytes(station::kFrameSize));
    station::Telemetry telemetry =
        station::decodeTelemetry(sim::toFrame(console.take(station::kFrameSize)));
    QCOMPARE(telemetry.top, 25);
    QCOMPARE(telemetry.bottom, 25);

    // A command is acknowledged on stdout before the next frame is answered with it.
    m_process->write("temp 180 90\n");
    QCOMPARE(nextLine(*m_process), QStringLiteral("temp 180 90"));
    QVERIFY(console.write(statusFrame(2)));
    QVERIFY(console.waitForBytes(station::kFrameSize));
    telemetry = station::decodeTelemetry(sim::toFrame(console.take(station::kFrameSize)));
    QCOMPARE(telemetry.top, 180);
    QCOMPARE(telemetry.bottom, 90);

    m_process->write("status\n");
    QVERIFY(nextLine(*m_process).startsWith(QStringLiteral("idle profile 2 top 25 bottom 25")));

    m_process->write("quit\n");
    QVERIFY(m_process->waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_process->exitCode(), 0);
    QVERIFY(!QFileInfo(link()).isSymLink());

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QCOMPARE(text.count(" RX status "), 2);
    QCOMPARE(text.count(" TX telemetry "), 2);
}

void TstStationBinary::signalEndsItAndRemovesTheLink_data() {
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TstStationBinary::signalEndsItAndRemovesTheLink() {
    QFETCH(int, sig);
    QVERIFY(!start().isEmpty());
    QVERIFY(QFileInfo(link()).isSymLink());

    // End of stdin leaves the station running: a test may close it and still talk to the station.
    m_process->closeWriteChannel();
    QTest::qWait(300);
    QCOMPARE(m_process->state(), QProcess::Running);
    SlaveEnd console(link());
    QVERIFY(console.write(statusFrame(0)));
    QVERIFY(console.waitForBytes(station::kFrameSize));

    ::kill(pid_t(m_process->processId()), sig);
    QVERIFY(m_process->waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_process->exitCode(), 0);
    QVERIFY(!QFileInfo(link()).isSymLink());
}

void TstStationBinary::replacesAStaleLinkButNotAFile() {
    // A link left by a killed simulator is taken over.
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/does-not-exist"), link()));
    const QString terminal = start();
    QCOMPARE(QFileInfo(link()).symLinkTarget(), terminal);
    m_process->write("quit\n");
    QVERIFY(m_process->waitForFinished(kStartTimeoutMs));
    QVERIFY(!QFileInfo(link()).isSymLink());

    // A real file of that name is left alone and the simulator refuses to start.
    QFile file(link());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    m_process->start(kBinary, {QStringLiteral("--link"), link()});
    QVERIFY(m_process->waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_process->exitCode(), 1);
    QVERIFY(m_process->readAllStandardError().contains("not a symbolic link"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

QTEST_GUILESS_MAIN(TstStationBinary)
#include "tst_station_binary.moc"
