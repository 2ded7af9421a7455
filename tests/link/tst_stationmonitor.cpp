// SPDX-License-Identifier: GPL-3.0-or-later
// The console's decisions about the station, without a station or a second of waiting: each
// answer recorded once, in the second it was read in; gaps where none came; the clock after a
// stall; the readouts, the link caption, the commands obeyed and the automatic fan.
#include "link/StationMonitor.h"

#include <QRegularExpression>
#include <QTest>

using namespace station;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kPeriod(1000);

// The n-th answer of a station whose every answer differs from the one before:
// top 130 + n, bottom 20 + n (as the counting simulator reports them).
StationFrame answerFrame(int n, std::uint8_t command = 0) {
    StationFrame frame{};
    frame[0] = 0xFF;
    frame[2] = command;
    frame[10] = std::uint8_t(130 + n);
    frame[26] = std::uint8_t(20 + n);
    return frame;
}

// The corrections of every table here.
const ReadRules kRules{-5, 3, true, false, 0};

// What answer n becomes in the record, worked out here from the rule above and
// the corrections, not by the code under test.
QString recorded(int n) {
    return QStringLiteral("%1/%2").arg(130 + n - 5).arg(20 + n + 3);
}

QString text(const record::RunSecond& second) {
    return second ? QStringLiteral("%1/%2").arg(second->top).arg(second->bottom)
                  : QStringLiteral("-");
}

// The readouts as the window shows them, "top/bottom".
QString readoutsOf(const StationMonitor& monitor) {
    return monitor.topReadout() + QLatin1Char('/') + monitor.bottomReadout();
}

// Plays a timeline on a monitor as the window would: each token is an event at
// a time in milliseconds.
//   o@T         the link opens          x@T   the link closes
//   s@T         the operator starts     p@T   the operator stops
//   t@T         the run clock ticks
//   r@T=        a poll read without a whole frame
//   r@T=4,5     a poll read bringing answers 4 and 5 (oldest first); "4!" is
//               answer 4 carrying the station's start, "4." its stop
// Commands are obeyed as the window obeys them, right after the read.
struct Played {
    QStringList seconds; // what each second of the run recorded, in order
    QString readouts;    // as the window shows them, "top/bottom"
    QString link;        // the link caption
};

Played play(StationMonitor& monitor, const QString& timeline) {
    Played played;
    auto keep = [&played](const std::vector<record::RunSecond>& seconds) {
        for (const record::RunSecond& second : seconds)
            played.seconds << text(second);
    };
    static const QRegularExpression token(QStringLiteral("^([osxptr])@(\\d+)(?:=(.*))?$"));
    for (const QString& word : timeline.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = token.match(word);
        if (!match.hasMatch()) {
            qWarning("bad token %s", qPrintable(word));
            return {};
        }
        const milliseconds at(match.captured(2).toLongLong());
        switch (match.captured(1).at(0).toLatin1()) {
        case 'o':
            monitor.linkOpened();
            break;
        case 'x':
            monitor.linkClosed();
            break;
        case 's':
            monitor.runStarted(at);
            break;
        case 'p':
            keep(monitor.runStopped(at));
            break;
        case 't':
            keep(monitor.clockTick(at));
            break;
        case 'r': {
            QList<StationFrame> frames;
            for (QString answer : match.captured(3).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                std::uint8_t command = 0;
                if (answer.endsWith(QLatin1Char('!')))
                    command = kCommandStart;
                else if (answer.endsWith(QLatin1Char('.')))
                    command = kCommandStop;
                if (command != 0)
                    answer.chop(1);
                frames << answerFrame(answer.toInt(), command);
            }
            const ReadOutcome outcome = monitor.pollRead(at, frames, kRules);
            for (const RemoteCommand command : outcome.commands) {
                if (command == RemoteCommand::Start && !monitor.runGoesOn())
                    monitor.runStarted(at);
                else if (command == RemoteCommand::Stop && monitor.runGoesOn())
                    keep(monitor.runStopped(at));
            }
            break;
        }
        }
    }
    played.readouts = readoutsOf(monitor);
    played.link = monitor.linkCaption();
    return played;
}

// "3 - 5": the record of answers 3 and 5 with a gap between.
QStringList expectedSeconds(const QString& answers) {
    QStringList seconds;
    for (const QString& answer : answers.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        seconds << (answer == QLatin1String("-") ? answer : recorded(answer.toInt()));
    return seconds;
}

// A poll that has read answers 1 and 2 once a second from 1000 ms, and a run
// started by the operator at 2300 ms: its first second holds the read at 3000 ms.
const QString kHealthyStart = QStringLiteral("o@0 r@1000=1 r@2000=2 s@2300 ");

} // namespace

class TestStationMonitor : public QObject {
    Q_OBJECT
private slots:
    void eachAnswerIsRecordedOnceInItsSecond_data();
    void eachAnswerIsRecordedOnceInItsSecond();
    void aRunsSecondsLieHalfAPeriodFromThePollsReads_data();
    void aRunsSecondsLieHalfAPeriodFromThePollsReads();
    void pollIsBroughtBackBetweenTheSeconds_data();
    void pollIsBroughtBackBetweenTheSeconds();
    void commandsAreObeyedOldestFirstWhenAllowed_data();
    void commandsAreObeyedOldestFirstWhenAllowed();
    void automaticFanFollowsTheNewestTopReading_data();
    void automaticFanFollowsTheNewestTopReading();
    void silenceAndCloseShowInTheReadouts();
};

void TestStationMonitor::eachAnswerIsRecordedOnceInItsSecond_data() {
    QTest::addColumn<QString>("timeline");
    QTest::addColumn<QString>("seconds");  // the answer each second records, "-" a gap
    QTest::addColumn<QString>("readouts"); // at the end
    QTest::addColumn<QString>("link");

    const QString healthy = kHealthyStart;
    QTest::newRow("every answer")
        << healthy + "r@3000=3 t@3500 r@4000=4 t@4500 r@5000=5 t@5500 r@6000=6 t@6500"
        << "3 4 5 6" << recorded(6) << "Подключен";
    QTest::newRow("every answer, reads a little late and early")
        << healthy + "r@3040=3 t@3501 r@3960=4 t@4500 r@5090=5 t@5502 r@5930=6 t@6500"
        << "3 4 5 6" << recorded(6) << "Подключен";
    QTest::newRow("one lost")
        << healthy + "r@3000=3 t@3500 r@4000= t@4500 r@5000=5 t@5500 r@6000=6 t@6500"
        << "3 - 5 6" << recorded(6) << "Подключен";
    QTest::newRow("two lost in a row")
        << healthy + "r@3000=3 t@3500 r@4000= t@4500 r@5000= t@5500 r@6000=6 t@6500"
        << "3 - - 6" << recorded(6) << "Подключен";
    QTest::newRow("ten lost: no answer after three, then the station is back")
        << healthy + "r@3000=3 t@3500 r@4000= t@4500 r@5000= t@5500 r@6000= t@6500 r@7000= t@7500 "
                     "r@8000= t@8500 r@9000= t@9500 r@10000= t@10500 r@11000= t@11500 r@12000= "
                     "t@12500 r@13000= t@13500 r@14000=14 t@14500"
        << "3 - - - - - - - - - - 14" << recorded(14) << "Подключен";
    QTest::newRow("ten lost: still silent")
        << healthy + "r@3000=3 t@3500 r@4000= t@4500 r@5000= t@5500 r@6000= t@6500"
        << "3 - - -"
        << "—/—"
        << "Нет ответа";
    QTest::newRow("two answers in one read: the newer is the second's")
        << healthy + "r@3000=3 t@3500 r@4000=4,5 t@4500 r@5000=6 t@5500"
        << "3 5 6" << recorded(6) << "Подключен";
    QTest::newRow("answers just before and just after the tick")
        << "o@0 s@0 r@999=1 t@1000 r@1001=2 t@2000 r@2999=3 t@3000 r@3001=4 t@4000"
        << "1 2 3 4" << recorded(4) << "Подключен";
    QTest::newRow("a late tick after the next second's answer")
        << "o@0 s@0 r@999=1 r@1001=2 t@1005 r@2500=3 t@3000"
        << "1 2 3" << recorded(3) << "Подключен";
    QTest::newRow("a stall of three seconds: the seconds it held are gaps")
        << healthy + "r@3000=3 t@3500 r@4000=4 t@7300 r@7300=5 t@7500 r@8300=6 t@8500"
        << "3 4 - - 5 6" << recorded(6) << "Подключен";
    QTest::newRow("a stall with the answers of its seconds read after it")
        << healthy + "r@3000=3 t@3500 r@6600=4,5,6 t@6600 t@7500"
        << "3 - - - 6" << recorded(6) << "Подключен";
    QTest::newRow("a disconnect mid-run: gaps from the next second on")
        << healthy + "r@3000=3 t@3500 r@4000=4 x@4200 t@4500 t@5500 t@6500"
        << "3 4 - -"
        << "0/0"
        << "Не подключен";
    QTest::newRow("started by the station: its own answer is before the run")
        << "o@0 r@1000=1 r@2000=2! r@3000=3 t@3500 r@4000=4 t@4500"
        << "3 4" << recorded(4) << "Подключен";
    QTest::newRow("stopped: the second under way is dropped")
        << healthy + "r@3000=3 t@3500 r@4000=4 t@4500 r@5000=5 p@5200 r@6000=6 r@7000=7"
        << "3 4" << recorded(7) << "Подключен";
    QTest::newRow("stopped by the station and started again: seconds start anew")
        << healthy + "r@3000=3 t@3500 r@4000=4. r@5000=5 r@6000=6! r@7000=7 t@7500 r@8000=8 t@8500"
        << "3 7 8" << recorded(8) << "Подключен";
    QTest::newRow("before any run nothing is recorded") << "o@0 r@1000=1 t@1500 r@2000=2 t@2500"
                                                        << "" << recorded(2) << "Подключен";
}

void TestStationMonitor::eachAnswerIsRecordedOnceInItsSecond() {
    QFETCH(QString, timeline);
    QFETCH(QString, seconds);
    QFETCH(QString, readouts);
    QFETCH(QString, link);

    StationMonitor monitor(kPeriod);
    const Played played = play(monitor, timeline);
    QCOMPARE(played.seconds, expectedSeconds(seconds));
    QCOMPARE(played.readouts, readouts);
    QCOMPARE(played.link, link);
    // No reading is recorded twice, whatever the pattern.
    QStringList readings = played.seconds;
    readings.removeAll(QStringLiteral("-"));
    QCOMPARE(readings.removeDuplicates(), 0);
}

// Where the first second of a run ends: half a period after the poll's next read
// while the poll reads, a period after the start without one.
void TestStationMonitor::aRunsSecondsLieHalfAPeriodFromThePollsReads_data() {
    QTest::addColumn<QString>("timeline");
    QTest::addColumn<int>("startAt");
    QTest::addColumn<int>("firstEnd");

    QTest::newRow("no link") << "" << 500 << 1500;
    QTest::newRow("a link not read yet") << "o@0" << 500 << 1500;
    QTest::newRow("started right after a read") << "o@0 r@1000=1" << 1010 << 2500;
    QTest::newRow("started just before the next read") << "o@0 r@1000=1" << 1990 << 2500;
    QTest::newRow("started just after the next read was due") << "o@0 r@1000=1" << 2010 << 3500;
    QTest::newRow("a poll that stopped reading is no guide") << "o@0 r@1000=1" << 2600 << 3600;
    QTest::newRow("a closed link is no guide") << "o@0 r@1000=1 x@1200" << 1300 << 2300;
}

void TestStationMonitor::aRunsSecondsLieHalfAPeriodFromThePollsReads() {
    QFETCH(QString, timeline);
    QFETCH(int, startAt);
    QFETCH(int, firstEnd);

    StationMonitor monitor(kPeriod);
    play(monitor, timeline);
    monitor.runStarted(milliseconds(startAt));
    QCOMPARE(monitor.untilClockTick(milliseconds(startAt)).count(), firstEnd - startAt);
    QVERIFY(monitor.clockTick(milliseconds(firstEnd - 1)).empty());
    QCOMPARE(monitor.clockTick(milliseconds(firstEnd)).size(), std::size_t(1));
    QCOMPARE(monitor.untilClockTick(milliseconds(firstEnd)).count(), kPeriod.count());
}

// After a read, the wait until the next one: none (the poll keeps its period)
// while the reads fall near the middle of the seconds, else the wait that brings
// the next read there, and the period once more after it.
void TestStationMonitor::pollIsBroughtBackBetweenTheSeconds_data() {
    QTest::addColumn<int>("readAt");
    QTest::addColumn<int>("delay"); // -1: none

    // A run started at 0 without a poll: its seconds end at 1000, 2000...
    QTest::newRow("in the middle") << 1500 << -1;
    QTest::newRow("a little off") << 1620 << -1;
    QTest::newRow("near the end of a second") << 1950 << 550;
    QTest::newRow("just after a second began") << 2030 << 1470;
    QTest::newRow("a quarter in") << 2250 << 1250;
    QTest::newRow("three quarters in") << 2750 << 750;
}

void TestStationMonitor::pollIsBroughtBackBetweenTheSeconds() {
    QFETCH(int, readAt);
    QFETCH(int, delay);

    StationMonitor monitor(kPeriod);
    QVERIFY(!monitor.pollWait(milliseconds(readAt)).has_value()); // no run: the period
    monitor.linkOpened();
    monitor.runStarted(milliseconds(0));
    monitor.pollRead(milliseconds(readAt), {answerFrame(1)}, kRules);
    const std::optional<milliseconds> wait = monitor.pollWait(milliseconds(readAt));
    QCOMPARE(wait ? int(wait->count()) : -1, delay);
    if (!wait)
        return;
    // The read it asks for falls in the middle of a second; from there the timer
    // is set to the period once more, then left alone.
    const int next = readAt + delay;
    QCOMPARE(next % 1000, 500);
    monitor.pollRead(milliseconds(next), {answerFrame(2)}, kRules);
    QCOMPARE(monitor.pollWait(milliseconds(next)), std::optional<milliseconds>(kPeriod));
    monitor.pollRead(milliseconds(next + 1000), {answerFrame(3)}, kRules);
    QCOMPARE(monitor.pollWait(milliseconds(next + 1000)), std::nullopt);
}

void TestStationMonitor::commandsAreObeyedOldestFirstWhenAllowed_data() {
    QTest::addColumn<bool>("obey");
    QTest::addColumn<QList<int>>("commandBytes"); // one frame each, oldest first
    QTest::addColumn<QString>("obeyed");          // S start, P stop

    QTest::newRow("start") << true << QList<int>{46} << "S";
    QTest::newRow("stop") << true << QList<int>{14} << "P";
    QTest::newRow("start and stop in one read") << true << QList<int>{46, 0, 14} << "SP";
    QTest::newRow("stop then start") << true << QList<int>{14, 46} << "PS";
    QTest::newRow("the command in the older frame") << true << QList<int>{46, 0} << "S";
    QTest::newRow("other bytes are no command") << true << QList<int>{45, 47, 13, 15, 0} << "";
    QTest::newRow("not obeyed with AutoStart off") << false << QList<int>{46, 14} << "";
}

void TestStationMonitor::commandsAreObeyedOldestFirstWhenAllowed() {
    QFETCH(bool, obey);
    QFETCH(QList<int>, commandBytes);
    QFETCH(QString, obeyed);

    QList<StationFrame> frames;
    for (qsizetype i = 0; i < commandBytes.size(); ++i)
        frames << answerFrame(int(i) + 1, std::uint8_t(commandBytes[i]));
    StationMonitor monitor(kPeriod);
    monitor.linkOpened();
    ReadRules rules = kRules;
    rules.obeyCommands = obey;
    const ReadOutcome outcome = monitor.pollRead(milliseconds(1000), frames, rules);
    QString seen;
    for (const RemoteCommand command : outcome.commands)
        seen += command == RemoteCommand::Start ? QLatin1Char('S') : QLatin1Char('P');
    QCOMPARE(seen, obeyed);
    // Whatever was obeyed, the readouts show the newest frame.
    QCOMPARE(readoutsOf(monitor), recorded(int(commandBytes.size())));
    QCOMPARE(outcome.newest->top, 130 + int(commandBytes.size()));
}

void TestStationMonitor::automaticFanFollowsTheNewestTopReading_data() {
    QTest::addColumn<bool>("rule");
    QTest::addColumn<int>("correction");
    QTest::addColumn<QList<int>>("tops"); // raw top readings, one frame each
    QTest::addColumn<QString>("fan");     // on, off, or "" to leave it

    // The threshold is 150 in every row.
    QTest::newRow("above") << true << 0 << QList<int>{151} << "on";
    QTest::newRow("at the threshold") << true << 0 << QList<int>{150} << "";
    QTest::newRow("below") << true << 0 << QList<int>{149} << "off";
    QTest::newRow("the correction lifts it above") << true << 5 << QList<int>{146} << "on";
    QTest::newRow("the newest of two frames") << true << 0 << QList<int>{200, 100} << "off";
    QTest::newRow("rule off") << false << 0 << QList<int>{200} << "";
}

void TestStationMonitor::automaticFanFollowsTheNewestTopReading() {
    QFETCH(bool, rule);
    QFETCH(int, correction);
    QFETCH(QList<int>, tops);
    QFETCH(QString, fan);

    QList<StationFrame> frames;
    for (const int top : tops) {
        StationFrame frame = answerFrame(0);
        frame[10] = std::uint8_t(top);
        frame[26] = 255; // the bottom heater never counts
        frames << frame;
    }
    StationMonitor monitor(kPeriod);
    monitor.linkOpened();
    const ReadRules rules{correction, 0, false, rule, 150};
    const ReadOutcome outcome = monitor.pollRead(milliseconds(1000), frames, rules);
    QCOMPARE(outcome.fanOn ? QString(*outcome.fanOn ? "on" : "off") : QString(), fan);
}

// The readouts keep the last reading until three quiet ticks make the station
// silent; the first frame brings them back; a close shows "0" and "Не подключен".
void TestStationMonitor::silenceAndCloseShowInTheReadouts() {
    StationMonitor monitor(kPeriod);
    QCOMPARE(monitor.linkCaption(), QStringLiteral("Не подключен"));
    monitor.linkOpened();
    QCOMPARE(monitor.linkCaption(), QStringLiteral("Подключен"));
    QCOMPARE(readoutsOf(monitor), QStringLiteral("0/0"));

    QStringList seen;
    const QStringList timeline{
        "r@1000=1", "r@2000=", "r@3000=", "r@4000=", "r@5000=", "r@6000=6", "r@7000="};
    for (const QString& event : timeline) {
        const Played played = play(monitor, event);
        seen << played.link + QLatin1Char(' ') + played.readouts;
    }
    QCOMPARE(seen, (QStringList{
                       "Подключен " + recorded(1),
                       "Подключен " + recorded(1),
                       "Подключен " + recorded(1),
                       QStringLiteral("Нет ответа —/—"),
                       QStringLiteral("Нет ответа —/—"),
                       "Подключен " + recorded(6),
                       "Подключен " + recorded(6),
                   }));

    // The transfer's read counts only when it brings a frame.
    QCOMPARE(monitor.otherRead(milliseconds(7500), {}, kRules).gotFrame, false);
    monitor.linkClosed();
    QCOMPARE(monitor.linkCaption(), QStringLiteral("Не подключен"));
    QCOMPARE(readoutsOf(monitor), QStringLiteral("0/0"));
}

QTEST_GUILESS_MAIN(TestStationMonitor)
#include "tst_stationmonitor.moc"
