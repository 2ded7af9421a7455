// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station's heaters and run program, driven with model time only.
#include "sim/ThermalModel.h"

#include <QTest>

#include <optional>
#include <vector>

using sim::RunPhase;
using sim::ThermalModel;
using station::ProfileValues;

Q_DECLARE_METATYPE(ProfileValues)

namespace {

constexpr double kSampleStep = 0.1; // s

struct PhaseEntry {
    RunPhase phase;
    double at;     // model seconds since the run started
    double top;    // top sensor when the phase began
    double bottom; // bottom sensor when the phase began
};

// Runs a profile to its end (or the limit) and records each phase as it begins.
std::vector<PhaseEntry> recordRun(ThermalModel& model, const ProfileValues& profile,
                                  double limit = 2000.0) {
    model.startRun(profile);
    std::vector<PhaseEntry> entries{{model.phase(), 0.0, model.top(), model.bottom()}};
    for (double t = 0.0; model.isRunning() && t < limit;) {
        model.advance(kSampleStep);
        t += kSampleStep;
        if (model.phase() != entries.back().phase)
            entries.push_back({model.phase(), t, model.top(), model.bottom()});
    }
    return entries;
}

} // namespace

class TstThermalModel : public QObject {
    Q_OBJECT
private slots:
    void bottomHeaterSettlesAtTB_data();
    void bottomHeaterSettlesAtTB();
    void idleStationCoolsToAmbient();
    void readingsAreWholeDegreesWithinOneByte_data();
    void readingsAreWholeDegreesWithinOneByte();
    void runGoesThroughItsPhasesWithTheProfilesTimes_data();
    void runGoesThroughItsPhasesWithTheProfilesTimes();
    void stopEndsTheRunAndTheHeatersCool();
};

void TstThermalModel::bottomHeaterSettlesAtTB_data() {
    QTest::addColumn<int>("tb");
    QTest::newRow("low") << 60;
    QTest::newRow("typical") << 150;
    QTest::newRow("near the byte's top") << 250;
}

// First-order heating: not instantaneous, not endless, and no overshoot worth a degree.
void TstThermalModel::bottomHeaterSettlesAtTB() {
    QFETCH(int, tb);
    ThermalModel model;
    // Long holds at a low top temperature keep the run going while the bottom heats.
    model.startRun({0, tb, 40, 255, 40, 255});

    double t = 0.0;
    while (model.bottomReading() < tb && t < 400.0) {
        model.advance(kSampleStep);
        t += kSampleStep;
    }
    QCOMPARE(model.bottomReading(), tb);
    QVERIFY2(t > (tb - sim::kAmbient) / ThermalModel::kBottomMaxRate,
             qPrintable(QString::number(t)));
    QVERIFY(model.isRunning());

    for (int i = 0; i < 100; ++i) {
        model.advance(1.0);
        QVERIFY2(qAbs(model.bottom() - tb) <= 1.0, qPrintable(QString::number(model.bottom())));
    }
}

void TstThermalModel::idleStationCoolsToAmbient() {
    ThermalModel model;
    model.setTemperatures(240.0, 160.0);
    double top = model.top();
    double bottom = model.bottom();
    for (int i = 0; i < 10; ++i) {
        model.advance(3.0);
        QVERIFY(model.top() < top);
        QVERIFY(model.bottom() < bottom);
        top = model.top();
        bottom = model.bottom();
    }
    // Thirty seconds take a hot board well down, but nowhere near the room.
    QVERIFY(top < 200.0 && top > 100.0);
    QCOMPARE(model.topPower(), 0.0);
    QCOMPARE(model.bottomPower(), 0.0);

    model.advance(3600.0);
    QCOMPARE(model.topReading(), int(sim::kAmbient));
    QCOMPARE(model.bottomReading(), int(sim::kAmbient));
}

void TstThermalModel::readingsAreWholeDegreesWithinOneByte_data() {
    QTest::addColumn<double>("temperature");
    QTest::addColumn<int>("reading");
    QTest::newRow("above 255") << 300.0 << 255;
    QTest::newRow("below 0") << -10.0 << 0;
    QTest::newRow("rounds up") << 150.5 << 151;
    QTest::newRow("rounds down") << 24.4 << 24;
}

void TstThermalModel::readingsAreWholeDegreesWithinOneByte() {
    QFETCH(double, temperature);
    QFETCH(int, reading);
    ThermalModel model;
    model.setTemperatures(temperature, temperature);
    QCOMPARE(model.topReading(), reading);
    QCOMPARE(model.bottomReading(), reading);
}

void TstThermalModel::runGoesThroughItsPhasesWithTheProfilesTimes_data() {
    QTest::addColumn<ProfileValues>("profile");
    // T0, TB, T1, S1, T3, S3
    QTest::newRow("lead-free BGA") << ProfileValues{100, 160, 180, 60, 240, 30};
    QTest::newRow("small parts") << ProfileValues{60, 120, 150, 30, 220, 15};
    QTest::newRow("short") << ProfileValues{40, 60, 80, 10, 100, 10};
}

void TstThermalModel::runGoesThroughItsPhasesWithTheProfilesTimes() {
    QFETCH(ProfileValues, profile);
    ThermalModel model;
    const std::vector<PhaseEntry> run = recordRun(model, profile);

    const std::vector<RunPhase> expected{RunPhase::Preheat,  RunPhase::RampToT1, RunPhase::HoldT1,
                                         RunPhase::RampToT3, RunPhase::HoldT3,   RunPhase::Idle};
    QCOMPARE(run.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        QCOMPARE(sim::phaseName(run[i].phase), sim::phaseName(expected[i]));

    const PhaseEntry& rampT1 = run[1];
    const PhaseEntry& holdT1 = run[2];
    const PhaseEntry& rampT3 = run[3];
    const PhaseEntry& holdT3 = run[4];
    const PhaseEntry& end = run[5];
    const double tolerance = ThermalModel::kReachTolerance + 0.5;
    // The top heater comes on when the board reaches T0, not before.
    QVERIFY2(qAbs(rampT1.top - profile.T0) <= tolerance, qPrintable(QString::number(rampT1.top)));
    QVERIFY(rampT1.at < ThermalModel::kMaxPreheat);
    // Ramps climb at the station's rate: never faster, and not much slower.
    const double ramp1 = holdT1.at - rampT1.at;
    const double ramp2 = holdT3.at - rampT3.at;
    const double rate = ThermalModel::kTopRampRate;
    QVERIFY2(ramp1 >= (profile.T1 - profile.T0 - tolerance) / rate &&
                 ramp1 <= (profile.T1 - profile.T0) / rate + 15.0,
             qPrintable(QString::number(ramp1)));
    QVERIFY2(ramp2 >= (profile.T3 - profile.T1 - tolerance) / rate &&
                 ramp2 <= (profile.T3 - profile.T1) / rate + 15.0,
             qPrintable(QString::number(ramp2)));
    QVERIFY(qAbs(holdT1.top - profile.T1) <= tolerance);
    QVERIFY(qAbs(holdT3.top - profile.T3) <= tolerance);
    // Holds last their seconds.
    QVERIFY(qAbs(rampT3.at - holdT1.at - profile.S1) <= 2 * kSampleStep);
    QVERIFY(qAbs(end.at - holdT3.at - profile.S3) <= 2 * kSampleStep);
    // The bottom heater has reached TB by the peak.
    QVERIFY2(qAbs(holdT3.bottom - profile.TB) <= tolerance,
             qPrintable(QString::number(holdT3.bottom)));

    // After the end both heaters are off and the board cools.
    const double peak = model.top();
    model.advance(10.0);
    QCOMPARE(model.topPower(), 0.0);
    QCOMPARE(model.bottomPower(), 0.0);
    QVERIFY(model.top() < peak - 5.0);
}

void TstThermalModel::stopEndsTheRunAndTheHeatersCool() {
    ThermalModel model;
    QVERIFY(model.startRun({100, 160, 180, 60, 240, 30}));
    model.advance(60.0);
    QVERIFY(model.bottomPower() > 0.0);
    // A second start while running changes nothing.
    QVERIFY(!model.startRun({40, 60, 80, 10, 100, 10}));
    QCOMPARE(model.runProfile().TB, 160);

    const double bottom = model.bottom();
    model.stopRun();
    QCOMPARE(sim::phaseName(model.phase()), "idle");
    model.advance(5.0);
    QCOMPARE(model.bottomPower(), 0.0);
    QVERIFY(model.bottom() < bottom);
}

QTEST_APPLESS_MAIN(TstThermalModel)
#include "tst_thermal_model.moc"
