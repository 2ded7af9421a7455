// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station's two heaters and its run program; pure, time is passed in.
#pragma once

#include "link/StationFrame.h"

namespace sim {

inline constexpr double kAmbient = 25.0; // degrees Celsius

// Steps of a run, in the order they follow each other.
enum class RunPhase {
    Idle,     // no run: both heaters off
    Preheat,  // bottom heater to TB, top heater off until the top sensor reaches T0
    RampToT1, // top heater's set point climbs to T1
    HoldT1,   // top at T1 for S1 seconds
    RampToT3, // top heater's set point climbs to T3
    HoldT3,   // top at T3 for S3 seconds; then the run ends
};

const char* phaseName(RunPhase phase);

// Two first-order bodies. The bottom heater loses heat to the room; the top
// sensor sits on the board, so it loses heat to the room and gains it from the
// bottom heater, and the top infrared heater adds to it. Each heater is driven by
// a controller that tracks its set point as fast as the heater's power allows.
class ThermalModel {
public:
    // Heat loss of the bottom heater to the room, and its full-power heating rate at ambient.
    static constexpr double kBottomLossTime = 150.0; // s
    static constexpr double kBottomMaxRate = 2.0;    // degrees/s
    // Heat loss of the board to the room, heat from the bottom heater, full top heater power.
    static constexpr double kTopLossTime = 120.0;    // s
    static constexpr double kTopCouplingTime = 45.0; // s
    static constexpr double kTopMaxRate = 8.0;       // degrees/s
    // The station climbs the top heater's set point at this rate during a ramp.
    static constexpr double kTopRampRate = 2.0; // degrees/s
    // How fast a controller closes the gap to its set point when power allows.
    static constexpr double kTrackingTime = 3.0; // s
    // A ramp has reached its target when the top sensor is this close to it.
    static constexpr double kReachTolerance = 1.0; // degrees
    // A run that cannot reach T0, T1 or T3 (a target below what the board cools
    // to) moves on after these times instead of waiting for ever.
    static constexpr double kMaxPreheat = 180.0; // s
    static constexpr double kMaxRamp = 300.0;    // s
    // Integration step; advance() splits longer spans into steps of at most this.
    static constexpr double kStep = 0.05; // s

    // Starts a run with these values; a run already going on is left alone.
    // Returns whether a run was started.
    bool startRun(const station::ProfileValues& profile);
    // Ends a run at once: both heaters off.
    void stopRun();

    void advance(double seconds);

    bool isRunning() const { return m_phase != RunPhase::Idle; }
    RunPhase phase() const { return m_phase; }
    double phaseElapsed() const { return m_phaseElapsed; }
    // Seconds left of the hold going on, 0 outside a hold.
    double holdRemaining() const;
    const station::ProfileValues& runProfile() const { return m_profile; }

    double top() const { return m_top; }
    double bottom() const { return m_bottom; }
    // Heater power, 0..1, as set by the last step.
    double topPower() const { return m_topPower; }
    double bottomPower() const { return m_bottomPower; }
    // What the thermocouples report: whole degrees, 0..255.
    int topReading() const { return toReading(m_top); }
    int bottomReading() const { return toReading(m_bottom); }

    // Puts the bodies at these temperatures (a station that is still warm).
    void setTemperatures(double top, double bottom);

    static int toReading(double temperature);

private:
    void step(double dt);
    void advancePhase();
    void enterPhase(RunPhase phase);
    bool rampDone(double target, double elapsedLimit) const;
    double topPassiveRate() const;

    double m_top = kAmbient;
    double m_bottom = kAmbient;
    double m_topPower = 0.0;
    double m_bottomPower = 0.0;
    double m_topSetPoint = kAmbient;
    RunPhase m_phase = RunPhase::Idle;
    double m_phaseElapsed = 0.0;
    station::ProfileValues m_profile;
};

} // namespace sim
