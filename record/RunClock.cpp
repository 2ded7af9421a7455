// SPDX-License-Identifier: GPL-3.0-or-later
// The run clock's seconds, laid on the monotonic clock, and the answers they record.
#include "record/RunClock.h"

#include <algorithm>

namespace record {

namespace {

// A read older than this many periods says nothing about where the next one falls.
constexpr double kReadStillGuides = 1.5;
// Reads this close to the middle of a second (as a share of the period) are left as they are.
constexpr double kPhaseSlack = 0.125;

} // namespace

RunClock::RunClock(Millis period) : m_period(std::max(period, Millis(1))) {}

void RunClock::setPeriod(Millis period) {
    m_period = std::max(period, Millis(1));
}

void RunClock::start(Millis now, std::optional<Millis> lastRead) {
    if (m_running)
        return;
    m_running = true;
    m_startedAt = now;
    m_pending.reset();
    const Millis half = m_period / 2;
    if (lastRead && *lastRead <= now &&
        double((now - *lastRead).count()) < kReadStillGuides * double(m_period.count())) {
        // The next read falls a period after the last one; the first second holds
        // it in its middle, however far from that read the start came.
        Millis nextRead = *lastRead + m_period;
        while (nextRead <= now)
            nextRead += m_period;
        m_secondEnd = nextRead + half;
    } else {
        m_secondEnd = now + m_period;
    }
}

std::vector<RunSecond> RunClock::stop(Millis now) {
    std::vector<RunSecond> ended = tick(now);
    m_running = false;
    m_pending.reset();
    return ended;
}

void RunClock::answer(Millis now, const RunSample& reading) {
    if (!m_running || now <= m_startedAt)
        return;
    // A late tick: the seconds that ended before this answer keep what they had.
    closeSecondsEndedBy(now);
    m_pending = reading;
}

std::vector<RunSecond> RunClock::tick(Millis now) {
    if (m_running)
        closeSecondsEndedBy(now);
    std::vector<RunSecond> ended;
    ended.swap(m_ended);
    return ended;
}

// A second is over at its end time: an answer read at that very millisecond
// belongs to the next one.
void RunClock::closeSecondsEndedBy(Millis now) {
    while (m_secondEnd <= now) {
        m_ended.push_back(m_pending);
        m_pending.reset();
        m_secondEnd += m_period;
    }
}

Millis RunClock::untilSecondEnd(Millis now) const {
    if (!m_running)
        return m_period;
    return std::max(m_secondEnd - now, Millis(0));
}

std::optional<Millis> RunClock::pollDelay(Millis now) const {
    if (!m_running)
        return std::nullopt;
    // The middles of the seconds lie half a period before each end.
    const Millis half = m_period / 2;
    Millis middle = m_secondEnd - half;
    while (middle < now + half)
        middle += m_period;
    while (middle - m_period >= now + half)
        middle -= m_period;
    const Millis delay = middle - now;
    const auto off = std::abs((delay - m_period).count());
    if (double(off) <= kPhaseSlack * double(m_period.count()))
        return std::nullopt;
    return delay;
}

} // namespace record
