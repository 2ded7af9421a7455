// SPDX-License-Identifier: GPL-3.0-or-later
// The real irconsole's run journal against the real station-sim whose every answer differs
// from the one before: on with no setting, a file per run, every answer once, and a process
// held for three seconds losing no second.
#include "tests/e2e/ConsoleProcess.h"
#include "tests/e2e/StationProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using e2e::ConsoleProcess;
using e2e::LogLine;
using e2e::StationProcess;

namespace {

// No [Record] section: the journal is on by default. The station starts and stops
// the runs.
const QByteArray kSettings = R"([Connect]
Comport=Com1
BaudRate=19200

[Global]
Correct1=-3
Correct2=4
Hex=0
VisibleProfil=1
AutoStart=1

[Profil0]
T0=30
TB=60
T1=50
S1=40
T3=60
S3=40
Name=Короткий
)";

const QPoint kConnectButton(7 + 55, 4 + 12); // ButtonConnect, bottom band
constexpr int kFrameTimeoutMs = 15000;
constexpr int kHeldMs = 3000;
// The console's tick, which nothing here changes: one status frame and one
// second of the run clock per 1000 ms.
constexpr qint64 kTickMs = 1000;

bool isStatus(const LogLine& line) {
    return line.direction == u"RX" && line.kind == u"status";
}

// One row of a journal file: its second and the top reading, -1 for a gap.
struct Row {
    int second = 0;
    int top = -1;
};

struct RunFile {
    QList<QByteArray> header;
    QList<Row> rows;
};

RunFile readRunFile(const QString& path) {
    RunFile run;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return run;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith('#'))
            run.header << line;
        else if (!line.isEmpty() && !line.startsWith("time_s")) {
            const QList<QByteArray> cells = line.split(',');
            run.rows << Row{cells.value(0).toInt(),
                            cells.value(1).isEmpty() ? -1 : cells.value(1).toInt()};
        }
    }
    return run;
}

} // namespace

class TestRecordE2e : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void heldProcessLosesNoSecondAndEachRunHasItsFile();

private:
    // The poll ticks at which the console obeyed the station's n-th command `byte`:
    // the status frame the console sent right after reading the first answer that
    // carried it.
    qint64 tickThatRead(int byte, int nth) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationProcess> m_station;
    std::unique_ptr<ConsoleProcess> m_console;
};

void TestRecordE2e::initTestCase() {
    if (const std::optional<QString> missing = e2e::missingDesktopTools())
        QSKIP(qPrintable(*missing));
}

void TestRecordE2e::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_station = std::make_unique<StationProcess>(m_dir->path());
    m_console = std::make_unique<ConsoleProcess>(m_dir->path());
    QFile settings(m_console->settingsPath());
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(kSettings);
}

void TestRecordE2e::cleanup() {
    if (m_console && m_console->isRunning())
        ::kill(pid_t(m_console->processId()), SIGCONT);
    m_console.reset();
    m_station.reset();
    m_dir.reset();
}

qint64 TestRecordE2e::tickThatRead(int byte, int nth) const {
    const QList<LogLine> lines = m_station->log();
    int seen = 0;
    bool carried = false;
    for (const LogLine& line : lines) {
        if (line.direction == u"TX" && line.kind == u"telemetry" && line.bytes.size() > 2) {
            const bool carries = quint8(line.bytes.at(2)) == byte;
            if (carries && !carried && ++seen == nth) {
                // The console reads it at its next tick, which sends a status frame first.
                for (const LogLine& after : lines)
                    if (isStatus(after) && after.ms > line.ms)
                        return after.ms;
                return -1;
            }
            carried = carries;
        }
    }
    return -1;
}

// Two runs from the station's start and stop; in the first, the console is
// stopped for three seconds (SIGSTOP). The first file has a row for every second
// the run lasted on the line, the held ones gaps; every answer read is recorded
// once; the second file counts from 1 again.
void TestRecordE2e::heldProcessLosesNoSecondAndEachRunHasItsFile() {
    QVERIFY2(m_station->start({QStringLiteral("--count-up")}), qPrintable(m_station->errors()));
    QVERIFY2(m_console->start(), qPrintable(m_console->errors()));
    m_console->click(m_console->mainWindow(),
                     m_console->inBottomBand(kConnectButton.x(), kConnectButton.y()));
    QVERIFY2(m_station->waitForLog(isStatus, kFrameTimeoutMs), "no status frame after connecting");
    QTest::qWait(2500);

    QVERIFY(!m_station->command(QStringLiteral("start")).isEmpty());
    QTest::qWait(6000);
    const pid_t console = pid_t(m_console->processId());
    QCOMPARE(::kill(console, SIGSTOP), 0);
    QTest::qWait(kHeldMs);
    QCOMPARE(::kill(console, SIGCONT), 0);
    QTest::qWait(6000);
    QVERIFY(!m_station->command(QStringLiteral("stop")).isEmpty());
    QTest::qWait(3000);
    QVERIFY(!m_station->command(QStringLiteral("start")).isEmpty());
    QTest::qWait(4000);
    QVERIFY(!m_station->command(QStringLiteral("stop")).isEmpty());
    QTest::qWait(3000);

    const QDir runs(m_dir->path() + QStringLiteral("/runs"));
    const QStringList names = runs.entryList(QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 2);
    const RunFile first = readRunFile(runs.filePath(names[0]));
    const RunFile second = readRunFile(runs.filePath(names[1]));

    // What each file says about its run.
    for (const RunFile* run : {&first, &second}) {
        QCOMPARE(run->header.size(), 13);
        QVERIFY(run->header.contains("# port: Com1"));
        QVERIFY(run->header.contains("# Correct1: -3"));
        QVERIFY(run->header.contains("# Name: Короткий"));
        QVERIFY(!run->rows.isEmpty());
        for (qsizetype i = 0; i < run->rows.size(); ++i)
            QCOMPARE(run->rows[i].second, int(i) + 1);
    }

    // The first run on the line: from the tick that read the station's start to
    // the one that read its stop. Its whole seconds are all in the file, the three
    // held ones too; a clock that counted its timer's ticks would have lost two.
    const qint64 started = tickThatRead(46, 1);
    const qint64 stopped = tickThatRead(14, 1);
    QVERIFY(started > 0 && stopped > started);
    const qint64 seconds = (stopped - started + kTickMs / 2) / kTickMs;
    QVERIFY2(first.rows.size() >= seconds - 1 && first.rows.size() <= seconds,
             qPrintable(QStringLiteral("%1 rows for a run of %2 ms")
                            .arg(first.rows.size())
                            .arg(stopped - started)));

    // Every reading once, one degree higher each time outside the held seconds
    // (the station's count goes up by one per answer; Correct1 -3).
    int gaps = 0;
    int previous = -1;
    for (const Row& row : first.rows) {
        if (row.top < 0) {
            ++gaps;
            continue;
        }
        if (previous >= 0)
            QVERIFY2((row.top - previous + 256) % 256 >= 1,
                     qPrintable(QString::number(row.second)));
        previous = row.top;
    }
    QVERIFY2(gaps >= 2 && gaps <= 4, qPrintable(QString::number(gaps)));
    for (qsizetype i = 1; i < second.rows.size(); ++i)
        QCOMPARE((second.rows[i].top - second.rows[i - 1].top + 256) % 256, 1);
}

QTEST_MAIN(TestRecordE2e)
#include "tst_record_e2e.moc"
