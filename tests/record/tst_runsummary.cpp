// SPDX-License-Identifier: GPL-3.0-or-later
// What a finished run did and whether it followed its profile, on hand-made runs whose figures
// were worked out by hand: a run that follows the profile, and the same run with one thing wrong.
#include "record/RunSummary.h"

#include <QTest>

using namespace record;

namespace {

// The profile the hand-made runs aim at: T1 160 held 20 s, then T3 230 held 15 s, bottom 150.
RunProfile aimedAt() {
    return {4, QStringLiteral("Тест"), 100, 150, 160, 20, 230, 15};
}

RunHeader headerFor(const RunProfile& profile) {
    return {QStringLiteral("1.0.0.2"),
            QDateTime(QDate(2026, 12, 10), QTime(9, 15, 0), Qt::OffsetFromUTC, 3 * 3600),
            QStringLiteral("Com3"),
            0,
            0,
            profile};
}

// Builds a run second by second. Holds wobble -2, -1, 0, +1, +2 around their
// value, so that no two neighbouring readings are the same.
class Run {
public:
    // n seconds from (top0, bottom0) towards (top1, bottom1): the k-th second is
    // at start + (end - start) * k / n, so the start itself is not a reading.
    Run& ramp(int top0, int top1, int bottom0, int bottom1, int n) {
        for (int k = 1; k <= n; ++k)
            add(top0 + (top1 - top0) * k / n, bottom0 + (bottom1 - bottom0) * k / n);
        return *this;
    }
    Run& hold(int top, int bottom, int n) {
        static constexpr int kWobble[] = {-2, -1, 0, 1, 2};
        for (int k = 0; k < n; ++k)
            add(top + kWobble[k % 5], bottom + kWobble[k % 5]);
        return *this;
    }
    Run& at(int top, int bottom) {
        add(top, bottom);
        return *this;
    }
    Run& gap(int n) {
        for (int k = 0; k < n; ++k)
            m_seconds.push_back(std::nullopt);
        return *this;
    }
    // Every reading moved by these degrees, as a sensor correction would show it.
    Run& shifted(int top, int bottom) {
        for (RunSecond& second : m_seconds) {
            if (second)
                *second = {second->top + top, second->bottom + bottom};
        }
        return *this;
    }
    RunRecord record(const RunProfile& profile = aimedAt()) const {
        RunRecord record;
        record.beginRun(headerFor(profile));
        for (const RunSecond& second : m_seconds) {
            if (second)
                record.append(second->top, second->bottom);
            else
                record.appendGap();
        }
        return record;
    }

private:
    void add(int top, int bottom) { m_seconds.push_back(RunSample{top, bottom}); }
    std::vector<RunSecond> m_seconds;
};

// Warm-up to 140/150 in 30 s (4 °C/s), T1 held, a climb from 170 to 200, T3
// held, the cool-down from 216: no ramp second lies within 5 °C of T1 or T3.
Run rampToT1() {
    return Run().ramp(20, 140, 30, 150, 30);
}
Run& climbToT3(Run& run) {
    return run.ramp(170, 200, 150, 150, 10);
}
Run& coolDown(Run& run) {
    return run.ramp(220, 100, 150, 90, 30);
}
Run followedRun() {
    Run run = rampToT1();
    run.hold(160, 150, 20);
    climbToT3(run).hold(230, 150, 15);
    return coolDown(run);
}

RunAssessment assess(const RunRecord& record, const RunLimits& limits = {}) {
    const std::optional<RunAssessment> assessment = assessLastRun(record, limits);
    if (!assessment)
        qFatal("a hand-made run without a second");
    return *assessment;
}

} // namespace

Q_DECLARE_METATYPE(record::RunRecord)
Q_DECLARE_METATYPE(record::RunLimits)
Q_DECLARE_METATYPE(record::RunRule::Outcome)

class TestRunSummary : public QObject {
    Q_OBJECT
private slots:
    void figuresOfAFollowedRun();
    void gapsAreCountedAsStretches();
    void riseNeedsBothEndsMeasured();
    void verdictOnHandMadeRuns_data();
    void verdictOnHandMadeRuns();
    void everyRuleIsListedInItsOrder();
    void aDayLongRunIsJudgedWhole();
    void onlyTheLastRunIsJudged();
    void closingLinesHoldTheFigures();
};

// Figures worked out by hand from the phases of followedRun().
void TestRunSummary::figuresOfAFollowedRun() {
    const RunSummary s = assess(followedRun().record()).summary;
    QCOMPARE(s.length, 105);
    QCOMPARE(s.measured, 105);
    // 228, 229, 230, 231, 232 from second 61: the first 232 is second 65.
    QCOMPARE(s.peakTop, Peak({232, 65}));
    // The bottom wobbles to 152 first at second 35 (the fifth second of the T1 hold).
    QCOMPARE(s.peakBottom, Peak({152, 35}));
    QCOMPARE(s.holdT1, Stretch({20, 31}));
    QCOMPARE(s.holdT3, Stretch({15, 61}));
    // The bottom enters 145..155 at second 29 (146) and leaves it at second 78 (144).
    QCOMPARE(s.holdTB, Stretch({49, 29}));
    QCOMPARE(s.overshoot, 2);
    // Top: 228 at second 61 against 173 at second 51. Bottom: the warm-up's 4 °C/s.
    QCOMPARE(s.riseTop, 5.5);
    QCOMPARE(s.riseBottom, 4.0);
    QCOMPARE(s.liquidusSeconds, 15); // the T3 hold only; the cool-down starts at 216
    QCOMPARE(s.gapCount, 0);
    QCOMPARE(s.gapSeconds, 0);
    QCOMPARE(s.longestGap, 0);
}

void TestRunSummary::gapsAreCountedAsStretches() {
    const RunSummary s = assess(Run()
                                    .ramp(20, 60, 20, 60, 4)
                                    .gap(1)
                                    .ramp(60, 100, 60, 100, 4)
                                    .gap(3)
                                    .at(101, 99)
                                    .gap(2)
                                    .record())
                             .summary;
    QCOMPARE(s.length, 15);
    QCOMPARE(s.measured, 9);
    QCOMPARE(s.gapCount, 3);
    QCOMPARE(s.gapSeconds, 6);
    QCOMPARE(s.longestGap, 3);
    QCOMPARE(s.peakTop, Peak({101, 13}));
    QCOMPARE(s.peakBottom, Peak({100, 9}));
}

// Top climbs 3 °C a second, bottom 1; a rate needs a reading at both ends of its
// ten seconds, so the jump after ten lost seconds is no rate.
void TestRunSummary::riseNeedsBothEndsMeasured() {
    Run run;
    for (int k = 1; k <= 25; ++k)
        run.at(20 + 3 * k, 20 + k);
    run.gap(10).at(250, 250);
    const RunSummary s = assess(run.record()).summary;
    QCOMPARE(s.riseTop, 3.0);
    QCOMPARE(s.riseBottom, 1.0);

    const RunSummary tooShort = assess(Run().ramp(20, 60, 20, 60, 10).record()).summary;
    QCOMPARE(tooShort.riseTop, std::nullopt);
}

void TestRunSummary::verdictOnHandMadeRuns_data() {
    QTest::addColumn<RunRecord>("record");
    QTest::addColumn<RunLimits>("limits");
    QTest::addColumn<RunRule::Outcome>("outcome");
    QTest::addColumn<QString>("line");
    using O = RunRule::Outcome;
    const RunLimits defaults;
    RunProfile profile = aimedAt();

    QTest::newRow("followed") << followedRun().record() << defaults << O::Met << "Профиль выполнен";
    {
        Run run = rampToT1();
        run.hold(160, 150, 19);
        climbToT3(run).hold(230, 150, 15);
        QTest::newRow("T1 held a second short") << coolDown(run).record() << defaults << O::Failed
                                                << "Профиль не выполнен — выдержка T1: 19 с из 20";
    }
    {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 14);
        QTest::newRow("T3 held a second short") << coolDown(run).record() << defaults << O::Failed
                                                << "Профиль не выполнен — выдержка T3: 14 с из 15";
    }
    {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 15).at(236, 150);
        QTest::newRow("overshoot by tolerance + 1")
            << coolDown(run).record() << defaults << O::Failed
            << "Профиль не выполнен — перегрев над T3: +6 °C при допуске 5";
    }
    {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 15).at(235, 150);
        QTest::newRow("overshoot exactly the tolerance")
            << coolDown(run).record() << defaults << O::Met << "Профиль выполнен";
    }
    {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 7).gap(2).hold(230, 150, 6);
        QTest::newRow("gap inside the T3 hold")
            << coolDown(run).record() << defaults << O::Unchecked
            << "Не проверено — выдержка T3: 7 с из 15, пропуск связи в выдержке";
    }
    {
        Run run = Run().ramp(20, 56, 30, 66, 9).gap(3).ramp(68, 140, 78, 150, 18);
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 15);
        QTest::newRow("gap outside any hold")
            << coolDown(run).record() << defaults << O::Met << "Профиль выполнен";
    }
    {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 7).gap(2).hold(230, 150, 6);
        coolDown(run).shifted(0, -20);
        QTest::newRow("a failure outweighs a gap")
            << run.record() << defaults << O::Failed
            << "Профиль не выполнен — нагрев низа до TB: 132 °C из 150";
    }
    {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        QTest::newRow("stopped before T3") << climbToT3(run).record() << defaults << O::Failed
                                           << "Профиль не выполнен — выдержка T3: 0 с из 15";
    }
    QTest::newRow("one second") << Run().at(24, 34).record() << defaults << O::Failed
                                << "Профиль не выполнен — выдержка T1: 0 с из 20";
    QTest::newRow("only gaps, too short to hold") << Run().gap(10).record() << defaults << O::Failed
                                                  << "Профиль не выполнен — выдержка T1: 0 с из 20";
    // The record holds the temperatures as shown: a correction of -5 on the top
    // puts the T1 hold at 153..157, of which 155, 156, 157 stay in 155..165.
    QTest::newRow("negative correction on the top")
        << followedRun().shifted(-5, 0).record() << defaults << O::Failed
        << "Профиль не выполнен — выдержка T1: 3 с из 20";
    QTest::newRow("negative correction within tolerance")
        << followedRun().shifted(-1, -3).record() << defaults << O::Met << "Профиль выполнен";

    profile = aimedAt();
    profile.T3 = 0;
    QTest::newRow("T3 of 0") << followedRun().record(profile) << defaults << O::Unchecked
                             << "Не проверено — выдержка T3: T3 = 0 вне 1…255";
    profile = aimedAt();
    profile.T1 = 300;
    QTest::newRow("T1 beyond a byte") << followedRun().record(profile) << defaults << O::Unchecked
                                      << "Не проверено — выдержка T1: T1 = 300 вне 1…255";
    profile = aimedAt();
    profile.S1 = -7;
    QTest::newRow("negative S1") << followedRun().record(profile) << defaults << O::Unchecked
                                 << "Не проверено — выдержка T1: S1 = -7 вне 0…255";
    profile = aimedAt();
    profile.S1 = 0;
    profile.T1 = 0;
    QTest::newRow("no T1 hold asked for")
        << followedRun().record(profile) << defaults << O::Met << "Профиль выполнен";
    QTest::newRow("a profile of zeros")
        << followedRun().record(RunProfile{}) << defaults << O::Unchecked
        << "Не проверено — нагрев низа до TB: TB = 0 вне 1…255";

    RunLimits limits;
    limits.maxRise = 5.0;
    QTest::newRow("rise above MaxRise")
        << followedRun().record() << limits << O::Failed
        << "Профиль не выполнен — скорость нагрева верха: 5,5 °C/с при пределе 5,0";
    limits.maxRise = 5.5;
    QTest::newRow("rise at MaxRise")
        << followedRun().record() << limits << O::Met << "Профиль выполнен";
    limits = {};
    limits.minLiquidusSeconds = 16;
    QTest::newRow("a second short above liquidus")
        << followedRun().record() << limits << O::Failed
        << "Профиль не выполнен — выше ликвидуса: 15 с из 16";
    limits.minLiquidusSeconds = 15;
    QTest::newRow("enough above liquidus")
        << followedRun().record() << limits << O::Met << "Профиль выполнен";
    limits = {};
    limits.tolerance = 1;
    QTest::newRow("a tighter tolerance") << followedRun().record() << limits << O::Failed
                                         << "Профиль не выполнен — выдержка T1: 3 с из 20";
    limits.tolerance = 7;
    QTest::newRow("a wider tolerance takes the overshoot") << [] {
        Run run = rampToT1();
        run.hold(160, 150, 20);
        climbToT3(run).hold(230, 150, 15).at(236, 150);
        return coolDown(run).record();
    }() << limits << O::Met << "Профиль выполнен";
}

void TestRunSummary::verdictOnHandMadeRuns() {
    QFETCH(RunRecord, record);
    QFETCH(RunLimits, limits);
    QFETCH(RunRule::Outcome, outcome);
    QFETCH(QString, line);
    const RunVerdict verdict = assess(record, limits).verdict;
    QCOMPARE(verdict.line(), line);
    QCOMPARE(verdict.outcome, outcome);
}

void TestRunSummary::everyRuleIsListedInItsOrder() {
    RunLimits limits;
    limits.maxRise = 6;
    limits.minLiquidusSeconds = 10;
    const RunVerdict verdict = assess(followedRun().record(), limits).verdict;
    QStringList texts;
    for (const RunRule& rule : verdict.rules) {
        QCOMPARE(rule.outcome, RunRule::Outcome::Met);
        texts << rule.text();
    }
    QCOMPARE(texts, QStringList({"выдержка T1: 20 с из 20", "выдержка T3: 15 с из 15",
                                 "нагрев низа до TB: 152 °C из 150",
                                 "перегрев над T3: +2 °C при допуске 5",
                                 "скорость нагрева верха: 5,5 °C/с при пределе 6,0",
                                 "скорость нагрева низа: 4,0 °C/с при пределе 6,0",
                                 "выше ликвидуса: 15 с из 10"}));
    QCOMPARE(verdict.caption(), QStringLiteral("Профиль выполнен"));
}

// A day at T3 after the profile's holds: every second counts, none is thinned.
void TestRunSummary::aDayLongRunIsJudgedWhole() {
    Run run = rampToT1();
    run.hold(160, 150, 20);
    climbToT3(run).hold(230, 150, 86'400 - 60 - 1).gap(1);
    const RunAssessment assessment = assess(run.record());
    QCOMPARE(assessment.summary.length, 86'400);
    QCOMPARE(assessment.summary.holdT3, Stretch({86'339, 61}));
    QCOMPARE(assessment.summary.liquidusSeconds, 86'339);
    QCOMPARE(assessment.summary.gapCount, 1);
    // The last second is lost: the readings beside it are at T3, so a peak may hide there.
    QCOMPARE(
        assessment.verdict.line(),
        QStringLiteral("Не проверено — перегрев над T3: +2 °C при допуске 5, пропуск связи у T3"));
}

// The record of the window holds every run since "<0>": a stop and a start make
// a new run, judged on its own seconds.
void TestRunSummary::onlyTheLastRunIsJudged() {
    RunRecord record = followedRun().record();
    RunProfile other = aimedAt();
    other.S3 = 40;
    record.beginRun(headerFor(other));
    record.append(25, 25);
    record.append(27, 26);
    const RunAssessment assessment = assess(record);
    QCOMPARE(assessment.summary.length, 2);
    QCOMPARE(assessment.summary.peakTop, Peak({27, 2}));
    QCOMPARE(assessment.header.profile.S3, 40);
    QCOMPARE(assessLastRun(RunRecord(), {}).has_value(), false);
    RunRecord noSecond;
    noSecond.beginRun(headerFor(aimedAt()));
    QCOMPARE(assessLastRun(noSecond, {}).has_value(), false);
}

void TestRunSummary::closingLinesHoldTheFigures() {
    RunLimits limits;
    limits.maxRise = 2.5;
    const QByteArray lines = closingLines(assess(followedRun().record(), limits));
    QCOMPARE(lines, QByteArray("# length: 105\n"
                               "# measured: 105\n"
                               "# peak_top: 232 second=65\n"
                               "# peak_bottom: 152 second=35\n"
                               "# hold_T1: 20 first=31\n"
                               "# hold_T3: 15 first=61\n"
                               "# hold_TB: 49 first=29\n"
                               "# overshoot: 2\n"
                               "# rise_top: 5.5\n"
                               "# rise_bottom: 4.0\n"
                               "# liquidus_seconds: 15 liquidus=217\n"
                               "# gaps: 0 seconds=0 longest=0\n"
                               "# tolerance: 5\n"
                               "# max_rise: 2.5\n"
                               "# rule: met выдержка T1: 20 с из 20\n"
                               "# rule: met выдержка T3: 15 с из 15\n"
                               "# rule: met нагрев низа до TB: 152 °C из 150\n"
                               "# rule: met перегрев над T3: +2 °C при допуске 5\n"
                               "# rule: failed скорость нагрева верха: 5,5 °C/с при пределе 2,5\n"
                               "# rule: failed скорость нагрева низа: 4,0 °C/с при пределе 2,5\n"
                               "# verdict: Профиль не выполнен — скорость нагрева верха: 5,5 °C/с "
                               "при пределе 2,5\n"));
}

QTEST_GUILESS_MAIN(TestRunSummary)
#include "tst_runsummary.moc"
