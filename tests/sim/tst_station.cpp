// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station in-process, talked to through a real pseudo-terminal from the console's
// side.
#include "sim/Station.h"
#include "sim/StationCommands.h"
#include "sim/StationFrames.h"
#include "tests/sim/SlaveEnd.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using simtest::SlaveEnd;

namespace {

// How long the tests wait to be sure that nothing more arrives.
constexpr int kQuietMs = 300;

QByteArray statusFrame(std::uint8_t profile) {
    return sim::toBytes(station::buildStatusFrame(0, profile));
}

bool isTelemetry(const QByteArray& bytes) {
    return bytes.size() == qsizetype(station::kFrameSize) && quint8(bytes[0]) == 0xFF &&
           quint8(bytes[48]) == 0x5A && quint8(bytes[49]) == 0xA5;
}

QString zeros(int count) {
    QStringList bytes;
    for (int i = 0; i < count; ++i)
        bytes << QStringLiteral("00");
    return bytes.join(u' ');
}

} // namespace

class TstStation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void statusFrameGetsOneTelemetryFrame_data();
    void statusFrameGetsOneTelemetryFrame();
    void profileIsStoredAndARunFollowsIt();
    void badBytesAreSkippedAndTheNextFrameIsAnswered_data();
    void badBytesAreSkippedAndTheNextFrameIsAnswered();
    void burstAnswersWithSeveralFrames();
    void countingStationRaisesEveryReadingByOne();
    void answerTakesTheLineTimeUnlessInstant_data();
    void answerTakesTheLineTimeUnlessInstant();
    void doubledAnswerCarriesTheCommandInTheFirstFrameOnly();
    void noiseGoesOutBetweenAnswers();
    void deafStationReadsNothingUntilItListens();
    void splitDeliversTheSameFrameInPieces();
    void silentStationReadsButNeverAnswers();
    void garbageIsRepeatableWithASeed();
    void hangUpClosesTheTerminalAndRemovesTheLink();
    void logLinesAreExact();
    void demoStartsRunsByItself();

private:
    // Opens a station with these options and the console's end of its terminal.
    bool open(sim::StationOptions options);
    QString path(const QString& name) const { return m_dir->filePath(name); }
    // Sends a status frame and waits for `frames` frames back.
    QByteArray poll(std::uint8_t profile, int frames = 1);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<sim::Station> m_station;
    std::unique_ptr<SlaveEnd> m_slave;
};

void TstStation::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TstStation::cleanup() {
    m_slave.reset();
    m_station.reset();
    m_dir.reset();
}

bool TstStation::open(sim::StationOptions options) {
    if (!options.seed)
        options.seed = 1;
    m_station = std::make_unique<sim::Station>(options);
    QString error;
    if (!m_station->open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    m_slave = std::make_unique<SlaveEnd>(m_station->slavePath());
    return m_slave->isOpen();
}

QByteArray TstStation::poll(std::uint8_t profile, int frames) {
    const qsizetype size = frames * qsizetype(station::kFrameSize);
    if (!m_slave->write(statusFrame(profile)) || !m_slave->waitForBytes(size))
        return {};
    return m_slave->take(size);
}

void TstStation::statusFrameGetsOneTelemetryFrame_data() {
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::newRow("idle station at room temperature") << QStringList{} << 25 << 25;
    QTest::newRow("forced readings") << QStringList{"temp 200 120"} << 200 << 120;
    QTest::newRow("forced, then the model again")
        << QStringList{"temp 200 120", "temp off"} << 25 << 25;
}

void TstStation::statusFrameGetsOneTelemetryFrame() {
    QFETCH(QStringList, commands);
    QFETCH(int, top);
    QFETCH(int, bottom);
    QVERIFY(open({}));
    for (const QString& command : commands)
        QVERIFY(sim::runCommand(*m_station, command).ok);

    const QByteArray answer = poll(3);
    QVERIFY(isTelemetry(answer));
    const station::Telemetry telemetry = station::decodeTelemetry(sim::toFrame(answer));
    QCOMPARE(telemetry.command, 0);
    QCOMPARE(telemetry.top, top);
    QCOMPARE(telemetry.bottom, bottom);
    QCOMPARE(quint8(answer[sim::telemetry::kProfile]), 3);
    QCOMPARE(m_station->selectedProfile(), 3);

    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->received().size(), 0);
}

void TstStation::profileIsStoredAndARunFollowsIt() {
    sim::StationOptions options;
    options.speed = 100;
    QVERIFY(open(options));
    QSignalSpy started(m_station.get(), &sim::Station::runStarted);
    QSignalSpy ended(m_station.get(), &sim::Station::runEnded);

    // T0 40, TB 60, T1 80, S1 10, T3 100, S3 10: about a minute of station time.
    const station::ProfileValues values{40, 60, 80, 10, 100, 10};
    QVERIFY(m_slave->write(sim::toBytes(station::buildProfileFrame(4, values))));
    QTRY_COMPARE(m_station->storedProfile(4).T3, 100);
    const station::ProfileValues stored = m_station->storedProfile(4);
    QCOMPARE(stored.T0, 40);
    QCOMPARE(stored.TB, 60);
    QCOMPARE(stored.T1, 80);
    QCOMPARE(stored.S1, 10);
    QCOMPARE(stored.S3, 10);
    QCOMPARE(m_station->storedProfile(3).T3, 210); // the other slots keep what they had
    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->received().size(), 0); // a profile frame is not answered

    QVERIFY(isTelemetry(poll(4)));
    const sim::CommandOutcome start = sim::runCommand(*m_station, QStringLiteral("start"));
    QVERIFY(start.ok);
    QCOMPARE(start.reply, QStringLiteral("started profile 4"));
    QVERIFY(!sim::runCommand(*m_station, QStringLiteral("start")).ok);

    QList<station::Telemetry> seen;
    QList<int> phases;
    int stops = 0;
    QElapsedTimer clock;
    clock.start();
    while (stops < sim::Station::kCommandRepeats && clock.elapsed() < 20000) {
        const QByteArray answer = poll(4);
        QVERIFY(isTelemetry(answer));
        const station::Telemetry t = station::decodeTelemetry(sim::toFrame(answer));
        seen << t;
        phases << quint8(answer[sim::telemetry::kPhase]);
        if (t.command == station::kCommandStop)
            ++stops;
        QTest::qWait(20);
    }
    QCOMPARE(stops, sim::Station::kCommandRepeats);

    // 46 in the first answers of the run, 14 in the first after its end, nothing between.
    QString commands;
    for (const station::Telemetry& t : seen)
        commands += t.command == station::kCommandStart  ? u'S'
                    : t.command == station::kCommandStop ? u'E'
                    : t.command == 0                     ? u'-'
                                                         : u'?';
    QVERIFY2(QRegularExpression(QStringLiteral("^SSS-+EEE$")).match(commands).hasMatch(),
             qPrintable(commands));

    // Temperatures rose toward the profile's targets and no further.
    int topPeak = 0;
    int bottomPeak = 0;
    for (const station::Telemetry& t : seen) {
        topPeak = qMax(topPeak, t.top);
        bottomPeak = qMax(bottomPeak, t.bottom);
    }
    QVERIFY2(topPeak >= 99 && topPeak <= 102, qPrintable(QString::number(topPeak)));
    QVERIFY2(bottomPeak >= 59 && bottomPeak <= 62, qPrintable(QString::number(bottomPeak)));
    QVERIFY(seen.first().top < 40);

    // The phases went forward only, through the holds, and back to idle.
    QVERIFY(phases.contains(int(sim::RunPhase::HoldT1)));
    QVERIFY(phases.contains(int(sim::RunPhase::HoldT3)));
    QCOMPARE(phases.last(), int(sim::RunPhase::Idle));
    for (qsizetype i = 1; i + 1 < phases.size(); ++i)
        QVERIFY(phases[i] >= phases[i - 1] || phases[i] == int(sim::RunPhase::Idle));

    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().first().toInt(), 4);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().toBool(), true);
}

void TstStation::badBytesAreSkippedAndTheNextFrameIsAnswered_data() {
    QTest::addColumn<QByteArray>("junk");
    QByteArray wrongTrailer = statusFrame(2);
    wrongTrailer[48] = 0x00;
    QTest::newRow("stray bytes") << QByteArray("\x01\x02\x03", 3);
    QTest::newRow("stray start bytes") << QByteArray("\xFF\xFF\x00\xFF", 4);
    QTest::newRow("a cut-off frame") << statusFrame(2).left(20);
    QTest::newRow("a frame with a wrong trailer") << wrongTrailer;
}

void TstStation::badBytesAreSkippedAndTheNextFrameIsAnswered() {
    QFETCH(QByteArray, junk);
    QVERIFY(open({}));
    QSignalSpy received(m_station.get(), &sim::Station::frameReceived);

    QVERIFY(m_slave->write(junk));
    QVERIFY(m_slave->write(statusFrame(6)));
    QVERIFY(m_slave->waitForBytes(station::kFrameSize));
    const QByteArray answer = m_slave->take(station::kFrameSize);
    QVERIFY(isTelemetry(answer));
    QCOMPARE(quint8(answer[sim::telemetry::kProfile]), 6);

    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->received().size(), 0);
    QCOMPARE(received.size(), 2);
    QCOMPARE(received[0][0].value<sim::ReadKind>(), sim::ReadKind::Bad);
    QCOMPARE(received[0][1].toByteArray(), junk);
    QCOMPARE(received[1][0].value<sim::ReadKind>(), sim::ReadKind::Status);
}

void TstStation::burstAnswersWithSeveralFrames() {
    sim::StationOptions options;
    options.burst = 3;
    QVERIFY(open(options));
    const QByteArray answer = poll(1, 3);
    QCOMPARE(answer.size(), 3 * qsizetype(station::kFrameSize));
    for (int i = 0; i < 3; ++i)
        QVERIFY(isTelemetry(answer.mid(i * qsizetype(station::kFrameSize), station::kFrameSize)));
    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->received().size(), 0);

    // A remote command is in every frame of its answers, the newest one included,
    // so a console that reads only the newest frame of an answer still sees it.
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("start")).ok);
    for (int n = 0; n <= sim::Station::kCommandRepeats; ++n) {
        const QByteArray burst = poll(1, 3);
        QCOMPARE(burst.size(), 3 * qsizetype(station::kFrameSize));
        const int expected = n < sim::Station::kCommandRepeats ? station::kCommandStart : 0;
        for (int i = 0; i < 3; ++i) {
            const QByteArray frame =
                burst.mid(i * qsizetype(station::kFrameSize), station::kFrameSize);
            QCOMPARE(int(station::decodeTelemetry(sim::toFrame(frame)).command), expected);
        }
    }
}

void TstStation::countingStationRaisesEveryReadingByOne() {
    sim::StationOptions options;
    options.countUp = true;
    options.burst = 2;
    options.instant = true;
    QVERIFY(open(options));
    // Frame by frame, bursts included: 131/21, 132/22, ... and round past 255.
    const QList<std::pair<int, int>> expected{{131, 21}, {132, 22}, {133, 23}, {134, 24}};
    QList<std::pair<int, int>> seen;
    for (int answer = 0; answer < 2; ++answer) {
        const QByteArray burst = poll(1, 2);
        QCOMPARE(burst.size(), 2 * qsizetype(station::kFrameSize));
        for (int i = 0; i < 2; ++i) {
            const station::Telemetry telemetry = station::decodeTelemetry(
                sim::toFrame(burst.mid(i * qsizetype(station::kFrameSize), station::kFrameSize)));
            seen.append({telemetry.top, telemetry.bottom});
        }
    }
    QCOMPARE(seen, expected);

    // Forced readings win; counting goes on underneath and shows again after.
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("temp 200 120")).ok);
    QCOMPARE(station::decodeTelemetry(sim::toFrame(poll(1, 2).left(station::kFrameSize))).top, 200);
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("temp off")).ok);
    const station::Telemetry after =
        station::decodeTelemetry(sim::toFrame(poll(1, 2).left(station::kFrameSize)));
    QCOMPARE(after.top, 137);
    QCOMPARE(after.bottom, 27);

    // 130 + 126 wraps to 0 at the 126th frame.
    for (int answer = 0; answer < 58; ++answer)
        QVERIFY(!poll(1, 2).isEmpty());
    const QByteArray wrapped = poll(1, 2);
    QCOMPARE(station::decodeTelemetry(sim::toFrame(wrapped.left(station::kFrameSize))).top, 255);
    QCOMPARE(station::decodeTelemetry(sim::toFrame(wrapped.mid(station::kFrameSize))).top, 0);
}

void TstStation::answerTakesTheLineTimeUnlessInstant_data() {
    QTest::addColumn<bool>("instant");
    QTest::newRow("on the line's time") << false;
    QTest::newRow("instant") << true;
}

// At 1200 baud a status frame and its answer take 100 bytes x 10 bits / 1200 =
// 833 ms on a real line; the station delivers its answer no sooner, unless it
// answers at once: then the answer goes out while the station handles the status
// frame, before its event loop turns again. (How long each takes is measured by
// bench_station, not asserted here.)
void TstStation::answerTakesTheLineTimeUnlessInstant() {
    QFETCH(bool, instant);
    sim::StationOptions options;
    options.instant = instant;
    QVERIFY(open(options));
    QVERIFY(m_slave->setBaudRate(B1200));
    constexpr qint64 lineTimeMs = 833;

    // In order: the station read the status frame, wrote its answer, and its
    // event loop took up what was posted when it read the frame.
    QStringList events;
    QObject context;
    connect(m_station.get(), &sim::Station::frameReceived, &context, [&] {
        events << QStringLiteral("read");
        QMetaObject::invokeMethod(
            &context, [&] { events << QStringLiteral("next turn"); }, Qt::QueuedConnection);
    });
    connect(m_station.get(), &sim::Station::bytesSent, &context,
            [&] { events << QStringLiteral("sent"); });

    QElapsedTimer clock;
    clock.start();
    const QByteArray answer = poll(1);
    const qint64 took = clock.elapsed();
    QVERIFY(isTelemetry(answer));
    QVERIFY(QTest::qWaitFor([&] { return events.contains(QStringLiteral("next turn")); }));
    events.removeDuplicates(); // an answer may go out in more than one write
    if (instant) {
        QCOMPARE(events, (QStringList{"read", "sent", "next turn"}));
    } else {
        QCOMPARE(events, (QStringList{"read", "next turn", "sent"}));
        QVERIFY2(took >= lineTimeMs, qPrintable(QString::number(took)));
    }
}

// Two frames to each status frame; a remote command travels in the first only,
// so a console that reads only the newest frame misses it.
void TstStation::doubledAnswerCarriesTheCommandInTheFirstFrameOnly() {
    sim::StationOptions options;
    options.doubled = true;
    options.burst = 5; // overridden: always two
    QVERIFY(open(options));
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("start")).ok);
    for (int n = 0; n <= sim::Station::kCommandRepeats; ++n) {
        const QByteArray answer = poll(1, 2);
        QCOMPARE(answer.size(), 2 * qsizetype(station::kFrameSize));
        const QByteArray first = answer.first(station::kFrameSize);
        const QByteArray second = answer.mid(station::kFrameSize);
        QVERIFY(isTelemetry(first) && isTelemetry(second));
        const int expected = n < sim::Station::kCommandRepeats ? station::kCommandStart : 0;
        QCOMPARE(int(station::decodeTelemetry(sim::toFrame(first)).command), expected);
        QCOMPARE(int(station::decodeTelemetry(sim::toFrame(second)).command), 0);
        QCOMPARE(second.mid(3), first.mid(3)); // the same readings otherwise
    }
    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->received().size(), 0);
}

void TstStation::noiseGoesOutBetweenAnswers() {
    QVERIFY(open({}));
    const sim::CommandOutcome outcome = sim::runCommand(*m_station, QStringLiteral("noise 7"));
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.reply, QStringLiteral("noise 7"));
    QVERIFY(m_slave->waitForBytes(7));
    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->take(100).size(), 7);
    // The station goes on answering whole frames.
    QVERIFY(isTelemetry(poll(2)));
    for (const QString& bad : {QStringLiteral("noise"), QStringLiteral("noise 0"),
                               QStringLiteral("noise many"), QStringLiteral("noise 1048577")})
        QVERIFY2(!sim::runCommand(*m_station, bad).ok, qPrintable(bad));
}

void TstStation::deafStationReadsNothingUntilItListens() {
    QVERIFY(open({}));
    QSignalSpy frames(m_station.get(), &sim::Station::frameReceived);
    QCOMPARE(sim::runCommand(*m_station, QStringLiteral("deaf")).reply, QStringLiteral("deaf"));
    QVERIFY(!m_station->isListening());
    QVERIFY(m_slave->write(statusFrame(4)));
    QVERIFY(m_slave->write(statusFrame(5)));
    QTest::qWait(kQuietMs);
    QCOMPARE(frames.count(), 0);
    QCOMPARE(m_slave->received().size(), 0);

    // What waited on the line is read and answered, one answer a frame.
    QCOMPARE(sim::runCommand(*m_station, QStringLiteral("listen")).reply,
             QStringLiteral("listening"));
    QVERIFY(m_slave->waitForBytes(2 * qsizetype(station::kFrameSize)));
    QCOMPARE(frames.count(), 2);
    QCOMPARE(m_station->selectedProfile(), 5);
}

void TstStation::splitDeliversTheSameFrameInPieces() {
    sim::StationOptions options;
    options.split = true;
    QVERIFY(open(options));
    QSignalSpy sent(m_station.get(), &sim::Station::bytesSent);
    const QByteArray answer = poll(5);
    QVERIFY(isTelemetry(answer));
    QCOMPARE(answer[sim::telemetry::kTop], char(25));

    QVERIFY(sent.size() > 1);
    QByteArray joined;
    for (const QList<QVariant>& piece : sent) {
        const QByteArray bytes = piece.first().toByteArray();
        QVERIFY(bytes.size() >= 1 && bytes.size() <= sim::Station::kSplitMaxPiece);
        joined += bytes;
    }
    QCOMPARE(joined, answer);
}

void TstStation::silentStationReadsButNeverAnswers() {
    sim::StationOptions options;
    options.silent = true;
    QVERIFY(open(options));
    QSignalSpy received(m_station.get(), &sim::Station::frameReceived);
    QVERIFY(m_slave->write(statusFrame(0)));
    QVERIFY(m_slave->write(statusFrame(0)));
    QTRY_COMPARE(received.size(), 2);
    QTest::qWait(kQuietMs);
    QCOMPARE(m_slave->received().size(), 0);
}

void TstStation::garbageIsRepeatableWithASeed() {
    auto garbageAnswer = [this](std::uint32_t seed) {
        sim::StationOptions options;
        options.garbage = true;
        options.seed = seed;
        if (!open(options))
            return QByteArray();
        return poll(0);
    };
    const QByteArray first = garbageAnswer(42);
    const QByteArray again = garbageAnswer(42);
    const QByteArray other = garbageAnswer(43);
    QCOMPARE(first.size(), qsizetype(station::kFrameSize));
    QVERIFY(!isTelemetry(first));
    QCOMPARE(again, first);
    QCOMPARE(other.size(), first.size());
    QVERIFY(other != first);
}

void TstStation::hangUpClosesTheTerminalAndRemovesTheLink() {
    sim::StationOptions options;
    options.linkPath = path(QStringLiteral("com1"));
    options.logPath = path(QStringLiteral("station.log"));
    options.hangupAfter = 0.5;
    QVERIFY(open(options));
    QSignalSpy hungUp(m_station.get(), &sim::Station::hungUp);
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), m_station->slavePath());

    SlaveEnd viaLink(options.linkPath);
    QVERIFY(viaLink.isOpen());
    QVERIFY(viaLink.write(statusFrame(0)));
    QVERIFY(viaLink.waitForBytes(station::kFrameSize));
    QVERIFY(!viaLink.hungUp());

    QTRY_COMPARE_WITH_TIMEOUT(hungUp.size(), 1, 5000);
    QVERIFY(viaLink.hungUp());
    QVERIFY(!m_station->isOpen());
    QVERIFY(!QFileInfo(options.linkPath).isSymLink());
    QVERIFY(!QFileInfo::exists(options.linkPath));

    QFile log(options.logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    QVERIFY(lines.last().endsWith(" EV hangup"));
}

void TstStation::logLinesAreExact() {
    sim::StationOptions options;
    options.logPath = path(QStringLiteral("station.log"));
    QVERIFY(open(options));
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("temp 200 120")).ok);

    QVERIFY(isTelemetry(poll(3)));
    QVERIFY(m_slave->write(QByteArray("\x01\x02\x03", 3)));
    QVERIFY(isTelemetry(poll(3)));
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("start")).ok);
    QVERIFY(sim::runCommand(*m_station, QStringLiteral("stop")).ok);

    const QString status = QStringLiteral("FF 00 ") + zeros(6) + QStringLiteral(" 4B 03 ") +
                           zeros(24) + QStringLiteral(" FF 04 ") + zeros(6) +
                           QStringLiteral(" 4B ") + zeros(5) + QStringLiteral(" E1 29");
    // Marker, phase idle, no command, profile 3, top 200 (C8), bottom 120 (78), trailer.
    const QString telemetry = QStringLiteral("FF ") + zeros(8) + QStringLiteral(" 03 C8 ") +
                              zeros(15) + QStringLiteral(" 78 ") + zeros(21) +
                              QStringLiteral(" 5A A5");
    const QStringList expected{
        QStringLiteral("RX status ") + status,
        QStringLiteral("TX telemetry ") + telemetry,
        QStringLiteral("RX bad 3 01 02 03"),
        QStringLiteral("RX status ") + status,
        QStringLiteral("TX telemetry ") + telemetry,
        QStringLiteral("EV start 3"),
        QStringLiteral("EV stop"),
    };

    QFile log(options.logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), expected.size());
    const QRegularExpression time(QStringLiteral("^ *\\d+$"));
    qint64 previous = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        QVERIFY2(time.match(line.left(8)).hasMatch(), qPrintable(line));
        QCOMPARE(line.mid(8, 1), QStringLiteral(" "));
        QCOMPARE(line.mid(9), expected[i]);
        const qint64 ms = line.left(8).trimmed().toLongLong();
        QVERIFY(ms >= previous);
        previous = ms;
    }
}

void TstStation::demoStartsRunsByItself() {
    sim::StationOptions options;
    options.demo = true;
    options.speed = 200;
    QVERIFY(open(options));
    QList<double> starts;
    QList<double> ends;
    connect(m_station.get(), &sim::Station::runStarted, this,
            [&] { starts << m_station->stationTime(); });
    connect(m_station.get(), &sim::Station::runEnded, this,
            [&] { ends << m_station->stationTime(); });

    // No console, no run: the demo waits for the first status frame.
    QTest::qWait(kQuietMs);
    QVERIFY(starts.isEmpty());

    double firstStatus = -1.0;
    connect(m_station.get(), &sim::Station::frameReceived, this, [&] {
        if (firstStatus < 0.0)
            firstStatus = m_station->stationTime();
    });
    QVERIFY(isTelemetry(poll(9))); // the short test profile
    QTRY_COMPARE_WITH_TIMEOUT(starts.size(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(starts.size(), 2, 20000);

    // Station seconds; the model is stepped every 100 ms of wall time (20 s at this speed).
    const double slack = 200 * 0.1 * 2;
    QVERIFY2(starts[0] - firstStatus >= sim::Station::kDemoFirstDelay &&
                 starts[0] - firstStatus <= sim::Station::kDemoFirstDelay + slack,
             qPrintable(QString::number(starts[0] - firstStatus)));
    QVERIFY2(starts[1] - ends[0] >= sim::Station::kDemoPause &&
                 starts[1] - ends[0] <= sim::Station::kDemoPause + slack,
             qPrintable(QString::number(starts[1] - ends[0])));
}

QTEST_GUILESS_MAIN(TstStation)
#include "tst_station.moc"
