// SPDX-License-Identifier: GPL-3.0-or-later
// What a run's report says and shows, worked out without drawing it: texts, targets, gaps, axes,
// and the curve thinned to the page's dots with every peak kept.
#include "record/RunReport.h"

#include <QTest>

#include <cmath>

using namespace record;

namespace {

RunProfile profile2() {
    return {2, QStringLiteral("BGA/бессвинцовый"), 180, 150, 160, 60, 235, 30};
}

RunHeader header() {
    return {QStringLiteral("1.0.0.2"),
            QDateTime(QDate(2026, 12, 10), QTime(14, 3, 59), Qt::OffsetFromUTC, 3 * 3600),
            QStringLiteral("/dev/ttyUSB0"),
            -5,
            7,
            profile2()};
}

// NaN for a break, as the envelope gives it.
QString pointsText(const std::vector<CurvePoint>& points) {
    QStringList texts;
    for (const CurvePoint& point : points)
        texts << (std::isnan(point.degrees)
                      ? QStringLiteral("%1:-").arg(point.second)
                      : QStringLiteral("%1:%2").arg(point.second).arg(point.degrees));
    return texts.join(QLatin1Char(' '));
}

std::vector<RunSecond> secondsOf(const QString& text) {
    std::vector<RunSecond> seconds;
    for (const QString& value : text.split(QLatin1Char(' '))) {
        if (value == QLatin1String("-"))
            seconds.push_back(std::nullopt);
        else
            seconds.push_back(RunSample{value.toInt(), 0});
    }
    return seconds;
}

} // namespace

class TestRunReport : public QObject {
    Q_OBJECT
private slots:
    void reportSaysWhatRunItIs();
    void chartShowsTargetsAsShownAndGaps();
    void aSecondRunStandsOnItsOwn();
    void envelopeKeepsPeaksAndGaps_data();
    void envelopeKeepsPeaksAndGaps();
    void reportsGoBesideTheirFilesAsTheyClose_data();
    void reportsGoBesideTheirFilesAsTheyClose();
};

void TestRunReport::reportSaysWhatRunItIs() {
    RunRecord record;
    record.beginRun(header());
    record.append(150, 90);
    record.appendGap();
    record.append(320, 100); // off the screen's scale: the page's grows to the next 50
    const std::optional<RunReport> report = lastRunReport(record, RunLimits{});
    QVERIFY(report);
    QCOMPARE(report->title, QStringLiteral("Прогон: профиль 2 «BGA/бессвинцовый»"));
    QCOMPARE(report->facts, QStringList({"Начало: 10.12.2026 14:03:59 (UTC+03:00)",
                                         "Порт: /dev/ttyUSB0", "Длительность: 00:00:03"}));
    QCOMPARE(report->verdict, QStringLiteral("Профиль не выполнен — выдержка T1: 0 с из 60"));
    QCOMPARE(report->outcome, RunRule::Outcome::Failed);
    QCOMPARE(report->footer, QStringLiteral("irconsole 1.0.0.2"));
    // Named as the journal names the run's file; the slash cannot stay.
    QCOMPARE(report->fileName, QStringLiteral("2026-12-10_14-03_profil2_BGA_бессвинцовый.pdf"));
    QStringList profile;
    for (const SummaryRow& row : report->profile)
        profile << row.label + QLatin1Char('=') + row.value;
    QCOMPARE(profile, QStringList({"T0=180 °C", "TB=150 °C", "T1=160 °C", "S1=60 с", "T3=235 °C",
                                   "S3=30 с", "Correct1=-5 °C", "Correct2=7 °C", "Допуск=±5 °C"}));
    QCOMPARE(report->summary.size(), std::size_t(11));
    QCOMPARE(report->summary.at(1).value, QStringLiteral("320 °C на 3 с"));
    QCOMPARE(report->highestDegrees, 350);
    QCOMPARE(report->lastSecond, 60); // a short run still gets a minute of axis
    QCOMPARE(report->run.seconds.size(), std::size_t(3));
    QVERIFY(!report->extra);
}

void TestRunReport::chartShowsTargetsAsShownAndGaps() {
    RunRecord record;
    record.beginRun(header());
    for (int s = 1; s <= 100; ++s) {
        if (s == 40) {
            RunProfile changed = profile2();
            changed.T1 = 170;
            record.showProfile(changed);
        }
        if ((s >= 10 && s <= 12) || s == 50)
            record.appendGap();
        else
            record.append(100 + s, 50 + s);
    }
    const RunReport report = *lastRunReport(record, RunLimits{});
    QCOMPARE(report.targets.size(), std::size_t(2));
    QCOMPARE(report.targets[0].from, 0.0);
    QCOMPARE(report.targets[0].to, 39.0);
    QCOMPARE(report.targets[0].t1, 160);
    QCOMPARE(report.targets[1].from, 39.0);
    QCOMPARE(report.targets[1].to, 100.0);
    QCOMPARE(report.targets[1].t1, 170);
    QCOMPARE(report.targets[1].t3, 235);
    QCOMPARE(report.gaps.size(), std::size_t(2));
    QCOMPARE(report.gaps[0].from, 9.0);
    QCOMPARE(report.gaps[0].to, 12.0);
    QCOMPARE(report.gaps[1].from, 49.0);
    QCOMPARE(report.gaps[1].to, 50.0);
    QCOMPARE(report.lastSecond, 100);
    QCOMPARE(report.highestDegrees, 300);
}

// A stop and a start go on in the same record: the second run's report holds
// its own seconds from 1 and the targets it was shown.
void TestRunReport::aSecondRunStandsOnItsOwn() {
    RunRecord record;
    record.beginRun(header());
    record.append(1, 1);
    record.append(2, 2);
    RunHeader later = header();
    later.profile.number = 5;
    later.profile.T3 = 240;
    record.beginRun(later);
    record.append(30, 3);
    const RunReport report = *lastRunReport(record, RunLimits{});
    QCOMPARE(report.run.seconds.size(), std::size_t(1));
    QCOMPARE(report.run.seconds[0], RunSecond(RunSample{30, 3}));
    QCOMPARE(report.targets.size(), std::size_t(1));
    QCOMPARE(report.targets[0].from, 0.0);
    QCOMPARE(report.targets[0].to, 1.0);
    QCOMPARE(report.targets[0].t3, 240);
    QCOMPARE(report.title, QStringLiteral("Прогон: профиль 5 «BGA/бессвинцовый»"));
    // A profile without a name is not given empty quotes.
    later.profile.name = QStringLiteral("  ");
    QCOMPARE(runCaption(later.profile), QStringLiteral("Прогон: профиль 5"));
}

void TestRunReport::envelopeKeepsPeaksAndGaps_data() {
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("points");
    QTest::newRow("few seconds: all of them") << "10 20 - 40" << 2 << "1:10 2:20 3:- 4:40";
    QTest::newRow("low then high in a column")
        << "10 5 30 20 21 22 23 24 25 26 27 28" << 2 << "2:5 3:30 7:23 12:28";
    QTest::newRow("high then low, a one-second spike kept")
        << "20 20 99 20 20 20 1 20 20 20 20 20" << 2 << "1:20 3:99 7:1 8:20 12:20";
    QTest::newRow("a gap breaks the column's line where it is")
        << "10 11 12 - 14 15 16 17 18 19 20 21" << 2 << "1:10 4:- 6:15 7:16 12:21";
    QTest::newRow("a column of gaps")
        << "1 2 3 4 5 6 - - - - - - 13 14 15 16 17 18" << 3 << "1:1 6:6 7:- 13:13 18:18";
    QTest::newRow("flat column: one point") << "7 7 7 7 7 7 7 7 7" << 2 << "1:7 5:7 9:7";
}

void TestRunReport::envelopeKeepsPeaksAndGaps() {
    QFETCH(QString, seconds);
    QFETCH(int, columns);
    QFETCH(QString, points);
    QCOMPARE(pointsText(curveEnvelope(secondsOf(seconds), &RunSample::top, columns)), points);
}

// Runs 1, 2 and 3 ended and their reports wait for files 1, 2 and 3; each row
// closes files in its order and lists the reports written, told apart by their
// titles.
void TestRunReport::reportsGoBesideTheirFilesAsTheyClose_data() {
    QTest::addColumn<QString>("closed");
    QTest::addColumn<QString>("reports");
    QTest::newRow("each file in turn") << "1 2 3"
                                       << "run1 run2 run3";
    QTest::newRow("the second file failed") << "1 3"
                                            << "run1 run3";
    QTest::newRow("the last closes first: the others are not coming") << "3 1 2"
                                                                      << "run3";
    QTest::newRow("a file closed twice reports once") << "1 1 2"
                                                      << "run1 run2";
    QTest::newRow("a file no run waited for") << "7 1"
                                              << "run1";
}

void TestRunReport::reportsGoBesideTheirFilesAsTheyClose() {
    QFETCH(QString, closed);
    QFETCH(QString, reports);
    DueReports due;
    for (quint64 file : {1, 2, 3}) {
        RunReport report;
        report.title = QStringLiteral("run%1").arg(file);
        due.expect(file, report);
    }
    QStringList written;
    for (const QString& file : closed.split(u' ')) {
        const QString csv = QStringLiteral("/runs/2026-12-10 14-03-59 профиль %1.csv").arg(file);
        if (const std::optional<DueReports::Due> report = due.fileClosed(file.toULongLong(), csv)) {
            QCOMPARE(report->path,
                     QStringLiteral("/runs/2026-12-10 14-03-59 профиль %1.pdf").arg(file));
            written << report->report.title;
        }
    }
    QCOMPARE(written.join(u' '), reports);
}

QTEST_GUILESS_MAIN(TestRunReport)
#include "tst_runreport.moc"
