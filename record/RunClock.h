// SPDX-License-Identifier: GPL-3.0-or-later
// The run clock's seconds: which answer of the station each second of a run records.
#pragma once

#include "record/RunRecord.h"

#include <chrono>
#include <optional>
#include <vector>

namespace record {

// Time as a monotonic clock gives it, in milliseconds. Only differences count.
using Millis = std::chrono::milliseconds;

// The machine's monotonic clock, which no change of the date or time moves.
inline Millis monotonicNow() {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch());
}

// The seconds of a run follow the monotonic clock, not the count of timer ticks:
// a thread held for three seconds finds three seconds ended at its next tick.
// Each second records the newest answer that arrived in it (by the time it was
// read), or is a gap when none did; an answer belongs to one second only, so no
// reading is ever recorded twice.
//
// The poll reads once a period. Seconds that end just where the reads fall would
// let two reads land in one second and none in the next, whenever the two timers
// jitter past each other; so a run's seconds are laid half a period away from the
// reads: a run that starts while the poll reads ends its first second half a
// period after the next read, and pollDelay() says how to bring the poll back to
// the middle of the seconds when something (a stall, a new link) moved it.
class RunClock {
public:
    explicit RunClock(Millis period = std::chrono::milliseconds(1000));

    // The length of one second of the run clock; takes effect at the next start.
    void setPeriod(Millis period);
    Millis period() const { return m_period; }

    bool isRunning() const { return m_running; }
    // A run starts, or goes on after a stop. `lastRead`: when the poll last read,
    // none without a poll; a read older than a period and a half is no guide.
    void start(Millis now, std::optional<Millis> lastRead);
    // The run stops: the seconds that ended by now, oldest first. The second
    // under way is not one: it is dropped with whatever answer it had.
    std::vector<RunSecond> stop(Millis now);

    // An answer read at `now`: the newest reading of the second under way. Before
    // the run, or at the very moment it starts, it belongs to no second.
    void answer(Millis now, const RunSample& reading);
    // The seconds that ended by `now` and were not handed out yet, oldest first.
    std::vector<RunSecond> tick(Millis now);

    // When the second under way ends (meaningful while running).
    Millis secondEnd() const { return m_secondEnd; }
    // How long until then, never negative; the period when stopped.
    Millis untilSecondEnd(Millis now) const;
    // After a poll read at `now`: the wait until the next read that brings the
    // reads back to the middle of the seconds, or none when they are there already
    // (within an eighth of a period) or no run goes on.
    std::optional<Millis> pollDelay(Millis now) const;

private:
    void closeSecondsEndedBy(Millis now);

    Millis m_period;
    bool m_running = false;
    Millis m_startedAt{0};
    Millis m_secondEnd{0};
    std::optional<RunSample> m_pending; // the newest answer of the second under way
    std::vector<RunSecond> m_ended;     // ended, not handed out yet
};

} // namespace record
