// SPDX-License-Identifier: GPL-3.0-or-later
// A run's record as text: the "#" lines that say what it records, the rows, and the lines of a
// profile change and of a later run between them, against tables written out by hand.
#include "record/RunCsv.h"

#include <QTest>

using namespace record;

namespace {

QDateTime at(int hour, int minute, int second, int offsetSeconds) {
    return QDateTime(QDate(2026, 12, 10), QTime(hour, minute, second), Qt::OffsetFromUTC,
                     offsetSeconds);
}

RunProfile leadFree() {
    return {2, QStringLiteral("Бессвинцовый BGA"), 180, 150, 160, 60, 235, 30};
}

RunHeader knownHeader() {
    return {QStringLiteral("1.0.0.2"),
            at(14, 3, 59, 3 * 3600),
            QStringLiteral("Com3"),
            -5,
            7,
            leadFree()};
}

const QByteArray kKnownHeaderLines = "# version: 1.0.0.2\n"
                                     "# start: 2026-12-10T14:03:59+03:00\n"
                                     "# port: Com3\n"
                                     "# Correct1: -5\n"
                                     "# Correct2: 7\n"
                                     "# profile: 2\n"
                                     "# Name: Бессвинцовый BGA\n"
                                     "# T0: 180\n"
                                     "# TB: 150\n"
                                     "# T1: 160\n"
                                     "# S1: 60\n"
                                     "# T3: 235\n"
                                     "# S3: 30\n";

} // namespace

class TestRunText : public QObject {
    Q_OBJECT
private slots:
    void headerLinesSayWhatTheRunRecords();
    void startTimeCarriesItsOffset_data();
    void startTimeCarriesItsOffset();
    void valuesStayOnTheirLine_data();
    void valuesStayOnTheirLine();
    void aRecordWithoutRunsIsThePlainTable();
    void changesAndLaterRunsStandBeforeTheirSecond();
    void rowsOfARunCountFromItsFirstSecond();
    void aReaderSkippingCommentsSeesThePlainTable();
};

void TestRunText::headerLinesSayWhatTheRunRecords() {
    QCOMPARE(headerLines(knownHeader()), kKnownHeaderLines);
    QCOMPARE(consoleVersion(), QStringLiteral(IRCONSOLE_PROJECT_VERSION));
}

void TestRunText::startTimeCarriesItsOffset_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("Moscow") << 3 * 3600 << "2026-12-10T14:03:59+03:00";
    QTest::newRow("UTC") << 0 << "2026-12-10T14:03:59+00:00";
    QTest::newRow("west, half hours") << -(3 * 3600 + 1800) << "2026-12-10T14:03:59-03:30";
    QTest::newRow("east, quarter hours") << 5 * 3600 + 2700 << "2026-12-10T14:03:59+05:45";
}

void TestRunText::startTimeCarriesItsOffset() {
    QFETCH(int, offset);
    QFETCH(QString, text);
    QCOMPARE(isoTimeWithOffset(at(14, 3, 59, offset)), text);
}

// A name or a port from the settings file with a line break in it would start a
// row of its own; every control character becomes a space.
void TestRunText::valuesStayOnTheirLine_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("line break") << QStringLiteral("a\nb") << QByteArray("# Name: a b");
    QTest::newRow("carriage return and tab")
        << QStringLiteral("a\r\tb") << QByteArray("# Name: a  b");
    QTest::newRow("unicode line separator")
        << QStringLiteral("a\u2028b") << QByteArray("# Name: a b");
    QTest::newRow("a comma and a hash stay")
        << QStringLiteral("#1, 2") << QByteArray("# Name: #1, 2");
    QTest::newRow("empty") << QString() << QByteArray("# Name: ");
}

void TestRunText::valuesStayOnTheirLine() {
    QFETCH(QString, name);
    QFETCH(QByteArray, line);
    RunHeader header = knownHeader();
    header.profile.name = name;
    header.port = name;
    const QList<QByteArray> lines = headerLines(header).split('\n');
    QCOMPARE(lines.size(), 14); // 13 lines and the end of the last
    QCOMPARE(lines.at(6), line);
    QCOMPARE(lines.at(2), QByteArray(line).replace("# Name: ", "# port: "));
    RunProfile profile = leadFree();
    profile.name = name;
    const QByteArray change = profileChangeLine(5, profile);
    QCOMPARE(change.count('\n'), 1);
    QVERIFY(change.endsWith("Name=" + line.mid(8) + '\n'));
}

void TestRunText::aRecordWithoutRunsIsThePlainTable() {
    RunRecord record;
    record.append(195, 123);
    record.appendGap();
    record.append(-4, 310);
    QCOMPARE(csvText(record), QByteArray("time_s,top_c,bottom_c\n1,195,123\n2,,\n3,-4,310\n"));
    QCOMPARE(csvText(RunRecord()), QByteArray("time_s,top_c,bottom_c\n"));
}

// A run with the profile changed before its third second (and changed twice
// before its fifth, back to where it was: nothing), stopped after five seconds
// and started again with another profile.
void TestRunText::changesAndLaterRunsStandBeforeTheirSecond() {
    RunRecord record;
    record.beginRun(knownHeader());
    record.append(20, 21);
    record.append(22, 23);
    RunProfile lead{3, QStringLiteral("Свинец"), 100, 120, 140, 45, 16, -7};
    record.showProfile(lead);
    record.append(24, 25);
    record.appendGap();
    record.showProfile(leadFree());
    record.showProfile(lead);
    record.append(26, 27);
    RunHeader later = knownHeader();
    later.start = at(14, 9, 12, 3 * 3600);
    later.profile = leadFree();
    record.beginRun(later);
    record.append(28, 29);

    QCOMPARE(csvText(record), kKnownHeaderLines +
                                  "time_s,top_c,bottom_c\n"
                                  "1,20,21\n"
                                  "2,22,23\n"
                                  "# profile_change: second=3 profile=3 T0=100 TB=120 T1=140 S1=45 "
                                  "T3=16 S3=-7 Name=Свинец\n"
                                  "3,24,25\n"
                                  "4,,\n"
                                  "5,26,27\n"
                                  "# run_start: second=6 start=2026-12-10T14:09:12+03:00\n"
                                  "# profile_change: second=6 profile=2 T0=180 TB=150 T1=160 "
                                  "S1=60 T3=235 S3=30 Name=Бессвинцовый BGA\n"
                                  "6,28,29\n");
}

// The second run alone, as its journal holds it: numbered from 1, its own profile
// said by its header and not again; a change before its first second is one.
void TestRunText::rowsOfARunCountFromItsFirstSecond() {
    RunRecord record;
    record.beginRun(knownHeader());
    record.append(20, 21);
    record.append(22, 23);
    RunHeader later = knownHeader();
    record.beginRun(later);
    record.append(24, 25);
    record.appendGap();

    QByteArray rows;
    appendCsvRows(rows, record, 2, 2, 4);
    QCOMPARE(rows, QByteArray("1,24,25\n2,,\n"));
    rows.clear();
    appendCsvRows(rows, record, 2, 3, 4);
    QCOMPARE(rows, QByteArray("2,,\n"));

    const RunProfile lead{3, QStringLiteral("Свинец"), 100, 120, 140, 45, 16, -7};
    record.beginRun(later);
    record.showProfile(lead);
    record.append(30, 31);
    rows.clear();
    appendCsvRows(rows, record, 4, 4, 5);
    QCOMPARE(rows, profileChangeLine(1, lead) + "1,30,31\n");
}

void TestRunText::aReaderSkippingCommentsSeesThePlainTable() {
    RunRecord record;
    record.beginRun(knownHeader());
    record.append(1, 2);
    record.showProfile({3, QStringLiteral("x"), 1, 2, 3, 4, 5, 6});
    record.appendGap();
    QByteArray table;
    for (const QByteArray& line : csvText(record).split('\n'))
        if (!line.startsWith('#') && !line.isEmpty())
            table += line + '\n';
    QCOMPARE(table, QByteArray("time_s,top_c,bottom_c\n1,1,2\n2,,\n"));
}

QTEST_GUILESS_MAIN(TestRunText)
#include "tst_runtext.moc"
