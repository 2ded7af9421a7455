// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station's two heaters and its run program.
#include "sim/ThermalModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Power (0..1) that makes a body approach its set point at the tracking rate,
// given how fast it drifts on its own and how fast full power heats it.
double controllerPower(double temperature, double setPoint, double passiveRate, double maxRate) {
    const double wanted = (setPoint - temperature) / ThermalModel::kTrackingTime;
    return std::clamp((wanted - passiveRate) / maxRate, 0.0, 1.0);
}

} // namespace

const char* phaseName(RunPhase phase) {
    switch (phase) {
    case RunPhase::Idle:
        return "idle";
    case RunPhase::Preheat:
        return "preheat";
    case RunPhase::RampToT1:
        return "ramp-t1";
    case RunPhase::HoldT1:
        return "hold-t1";
    case RunPhase::RampToT3:
        return "ramp-t3";
    case RunPhase::HoldT3:
        return "hold-t3";
    }
    return "?";
}

bool ThermalModel::startRun(const station::ProfileValues& profile) {
    if (isRunning())
        return false;
    m_profile = profile;
    enterPhase(RunPhase::Preheat);
    return true;
}

void ThermalModel::stopRun() {
    enterPhase(RunPhase::Idle);
    m_topPower = 0.0;
    m_bottomPower = 0.0;
}

void ThermalModel::advance(double seconds) {
    while (seconds > 0.0) {
        const double dt = std::min(seconds, kStep);
        step(dt);
        seconds -= dt;
    }
}

double ThermalModel::holdRemaining() const {
    if (m_phase == RunPhase::HoldT1)
        return std::max(0.0, m_profile.S1 - m_phaseElapsed);
    if (m_phase == RunPhase::HoldT3)
        return std::max(0.0, m_profile.S3 - m_phaseElapsed);
    return 0.0;
}

void ThermalModel::setTemperatures(double top, double bottom) {
    m_top = top;
    m_bottom = bottom;
}

int ThermalModel::toReading(double temperature) {
    return static_cast<int>(std::lround(std::clamp(temperature, 0.0, 255.0)));
}

double ThermalModel::topPassiveRate() const {
    return (kAmbient - m_top) / kTopLossTime + (m_bottom - m_top) / kTopCouplingTime;
}

void ThermalModel::step(double dt) {
    const bool topOn = m_phase == RunPhase::RampToT1 || m_phase == RunPhase::HoldT1 ||
                       m_phase == RunPhase::RampToT3 || m_phase == RunPhase::HoldT3;
    if (m_phase == RunPhase::RampToT1 || m_phase == RunPhase::RampToT3) {
        const double target = m_phase == RunPhase::RampToT1 ? m_profile.T1 : m_profile.T3;
        m_topSetPoint = std::min(target, m_topSetPoint + kTopRampRate * dt);
    }

    const double bottomPassive = (kAmbient - m_bottom) / kBottomLossTime;
    const double topPassive = topPassiveRate();
    m_bottomPower =
        isRunning() ? controllerPower(m_bottom, m_profile.TB, bottomPassive, kBottomMaxRate) : 0.0;
    m_topPower = topOn ? controllerPower(m_top, m_topSetPoint, topPassive, kTopMaxRate) : 0.0;

    m_bottom += (bottomPassive + m_bottomPower * kBottomMaxRate) * dt;
    m_top += (topPassive + m_topPower * kTopMaxRate) * dt;

    if (isRunning()) {
        m_phaseElapsed += dt;
        advancePhase();
    }
}

bool ThermalModel::rampDone(double target, double elapsedLimit) const {
    if (m_phaseElapsed >= elapsedLimit)
        return true;
    return m_topSetPoint >= target && std::abs(m_top - target) <= kReachTolerance;
}

// Moves on through every phase whose end has come; a zero hold or a target that
// is already reached passes in the same step.
void ThermalModel::advancePhase() {
    for (;;) {
        const RunPhase before = m_phase;
        switch (m_phase) {
        case RunPhase::Idle:
            return;
        case RunPhase::Preheat:
            if (m_top >= m_profile.T0 || m_phaseElapsed >= kMaxPreheat)
                enterPhase(RunPhase::RampToT1);
            break;
        case RunPhase::RampToT1:
            if (rampDone(m_profile.T1, kMaxRamp))
                enterPhase(RunPhase::HoldT1);
            break;
        case RunPhase::HoldT1:
            if (m_phaseElapsed >= m_profile.S1)
                enterPhase(RunPhase::RampToT3);
            break;
        case RunPhase::RampToT3:
            if (rampDone(m_profile.T3, kMaxRamp))
                enterPhase(RunPhase::HoldT3);
            break;
        case RunPhase::HoldT3:
            if (m_phaseElapsed >= m_profile.S3)
                enterPhase(RunPhase::Idle);
            break;
        }
        if (m_phase == before)
            return;
    }
}

void ThermalModel::enterPhase(RunPhase phase) {
    m_phase = phase;
    m_phaseElapsed = 0.0;
    switch (phase) {
    case RunPhase::RampToT1:
    case RunPhase::RampToT3: {
        // The set point starts where the board is; a lower target is taken at once.
        const double target = phase == RunPhase::RampToT1 ? m_profile.T1 : m_profile.T3;
        m_topSetPoint = std::min(m_top, static_cast<double>(target));
        break;
    }
    case RunPhase::HoldT1:
        m_topSetPoint = m_profile.T1;
        break;
    case RunPhase::HoldT3:
        m_topSetPoint = m_profile.T3;
        break;
    case RunPhase::Idle:
    case RunPhase::Preheat:
        m_topSetPoint = kAmbient;
        break;
    }
}

} // namespace sim
