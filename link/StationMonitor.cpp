// SPDX-License-Identifier: GPL-3.0-or-later
// What the console makes of the station's frames and of the run clock's ticks.
#include "link/StationMonitor.h"

namespace station {

namespace {

// The corrected temperature: wraps as a 32-bit sum would, whatever correction is stored.
std::int32_t corrected(std::int32_t raw, std::int32_t correction) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(raw) +
                                     static_cast<std::uint32_t>(correction));
}

} // namespace

QString StationMonitor::linkCaption() const {
    switch (m_link) {
    case LinkState::NotConnected:
        return QStringLiteral("Не подключен");
    case LinkState::Connected:
        return QStringLiteral("Подключен");
    case LinkState::NoAnswer:
        return QStringLiteral("Нет ответа");
    }
    return {};
}

QString StationMonitor::readoutText(std::int32_t Readouts::*value) const {
    switch (m_readouts.kind) {
    case Readouts::Kind::Zero:
        return QStringLiteral("0");
    case Readouts::Kind::Reading:
        return QString::number(m_readouts.*value);
    case Readouts::Kind::NoReading:
        return QStringLiteral("\u2014"); // no value, rather than an old one
    }
    return {};
}

StationMonitor::StationMonitor(Millis period) : m_clock(period) {}

void StationMonitor::setPeriod(Millis period) {
    m_clock.setPeriod(period);
}

void StationMonitor::linkOpened() {
    m_health.restart();
    m_link = LinkState::Connected;
    m_lastPollRead.reset();
}

void StationMonitor::linkClosed() {
    m_health.restart();
    m_link = LinkState::NotConnected;
    m_readouts = Readouts{};
    m_lastPollRead.reset();
}

ReadOutcome StationMonitor::pollRead(Millis now, const QList<StationFrame>& frames,
                                     const ReadRules& rules) {
    m_lastPollRead = now;
    ReadOutcome outcome = read(now, frames, rules);
    m_health.pollRead(outcome.gotFrame);
    followHealth();
    return outcome;
}

ReadOutcome StationMonitor::otherRead(Millis now, const QList<StationFrame>& frames,
                                      const ReadRules& rules) {
    ReadOutcome outcome = read(now, frames, rules);
    followHealth();
    return outcome;
}

// Each frame is looked at for the remote command, oldest first, so a start and a
// stop that came together are both obeyed in order; the readouts, the fan and the
// run's second follow the newest. Without a frame nothing changes: no old reading
// is shown or recorded again.
ReadOutcome StationMonitor::read(Millis now, const QList<StationFrame>& frames,
                                 const ReadRules& rules) {
    ReadOutcome outcome;
    if (frames.isEmpty())
        return outcome;
    outcome.gotFrame = true;
    for (const StationFrame& frame : frames) {
        const Telemetry telemetry = decodeTelemetry(frame);
        if (!rules.obeyCommands)
            continue;
        if (telemetry.command == kCommandStart)
            outcome.commands.push_back(RemoteCommand::Start);
        if (telemetry.command == kCommandStop)
            outcome.commands.push_back(RemoteCommand::Stop);
    }
    const Telemetry newest = decodeTelemetry(frames.back());
    outcome.newest = newest;
    m_health.frameArrived();

    const std::int32_t top = corrected(newest.top, rules.correctTop);
    const std::int32_t bottom = corrected(newest.bottom, rules.correctBottom);
    m_readouts = Readouts{Readouts::Kind::Reading, top, bottom};
    // The automatic fan follows the top heater alone; at the threshold itself it
    // keeps whatever was last set.
    if (rules.automaticFan) {
        if (top > rules.fanThreshold)
            outcome.fanOn = true;
        else if (top < rules.fanThreshold)
            outcome.fanOn = false;
    }
    m_clock.answer(now, record::RunSample{top, bottom});
    return outcome;
}

// "Нет ответа" and no readings once the station is silent; "Подключен" again
// with its first frame. Only on an open link.
void StationMonitor::followHealth() {
    if (m_link == LinkState::NotConnected)
        return;
    if (m_health.isSilent()) {
        if (m_link != LinkState::NoAnswer) {
            m_link = LinkState::NoAnswer;
            m_readouts = Readouts{Readouts::Kind::NoReading, 0, 0};
        }
    } else if (m_link == LinkState::NoAnswer) {
        m_link = LinkState::Connected;
    }
}

void StationMonitor::runStarted(Millis now) {
    m_clock.start(now, m_link == LinkState::NotConnected ? std::nullopt : m_lastPollRead);
}

std::vector<record::RunSecond> StationMonitor::runStopped(Millis now) {
    return m_clock.stop(now);
}

std::optional<Millis> StationMonitor::pollWait(Millis now) {
    if (const std::optional<Millis> delay = m_clock.pollDelay(now)) {
        m_pollMoved = true;
        return delay;
    }
    if (!m_pollMoved)
        return std::nullopt;
    m_pollMoved = false;
    return m_clock.period();
}

Millis StationMonitor::untilClockTick(Millis now) const {
    return m_clock.untilSecondEnd(now);
}

} // namespace station
