// SPDX-License-Identifier: GPL-3.0-or-later
// What the console makes of the station: the readouts, the link caption, the commands to obey,
// the automatic fan, and what each second of a run records.
#pragma once

#include "link/LinkHealth.h"
#include "link/StationFrame.h"
#include "record/RunClock.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace station {

using record::Millis;

// The station-wide values a read goes by, as the console loaded them.
struct ReadRules {
    std::int32_t correctTop = 0;    // added to the top heater's reading (Correct1)
    std::int32_t correctBottom = 0; // added to the bottom heater's reading (Correct2)
    bool obeyCommands = false;      // the station's start and stop are obeyed (AutoStart 1)
    bool automaticFan = false;      // the fan follows the top heater (EnableFan 1)
    std::int32_t fanThreshold = 0;  // TempEnableFan, compared with the corrected top reading
};

// What the link caption says: "Не подключен", "Подключен", "Нет ответа".
enum class LinkState { NotConnected, Connected, NoAnswer };

enum class RemoteCommand { Start, Stop };

// What the two readouts show: "0" (no link, or nothing read yet on this link),
// the newest reading with the corrections added, or no value while the station
// is silent.
struct Readouts {
    enum class Kind { Zero, Reading, NoReading };
    Kind kind = Kind::Zero;
    std::int32_t top = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const Readouts&, const Readouts&) = default;
};

// What one read brought.
struct ReadOutcome {
    bool gotFrame = false;
    // Every frame's command to obey, oldest first (none unless commands are obeyed).
    std::vector<RemoteCommand> commands;
    // The newest frame as it came, and the automatic fan's decision on it: on,
    // off, or none to leave the fan as it is (rule off, reading at the threshold).
    std::optional<Telemetry> newest;
    std::optional<bool> fanOn;
};

// The console's one place of decision about the station and the run's seconds.
// The window passes in every read's frames and every clock tick with the time
// they happened (milliseconds of a monotonic clock) and shows what this says; it
// never waits and never looks at the clock itself, so a table of arrivals and
// ticks tests it without a station or a second of waiting.
class StationMonitor {
public:
    explicit StationMonitor(Millis period = std::chrono::milliseconds(1000));
    void setPeriod(Millis period);

    // The link. Opened: "Подключен", the readouts as they are until the first
    // frame. Closed: "Не подключен" and "0"; a run goes on, every second a gap.
    void linkOpened();
    void linkClosed();
    LinkState linkState() const { return m_link; }
    Readouts readouts() const { return m_readouts; }
    // The same as the window shows them: the link caption, and the two readouts'
    // texts ("0", the corrected temperature, or "—" while the station is silent).
    QString linkCaption() const;
    QString topReadout() const { return readoutText(&Readouts::top); }
    QString bottomReadout() const { return readoutText(&Readouts::bottom); }

    // A poll tick's read at `now`: every whole frame that came since the last read.
    // A few ticks in a row without one make the station silent.
    ReadOutcome pollRead(Millis now, const QList<StationFrame>& frames, const ReadRules& rules);
    // Any other read (the profile transfer's): counts only when it brings a frame.
    ReadOutcome otherRead(Millis now, const QList<StationFrame>& frames, const ReadRules& rules);

    // The run clock's part.
    bool runGoesOn() const { return m_clock.isRunning(); }
    void runStarted(Millis now);
    std::vector<record::RunSecond> runStopped(Millis now);
    // The seconds that ended by `now`, each the newest reading read in it or a gap.
    std::vector<record::RunSecond> clockTick(Millis now) { return m_clock.tick(now); }
    // When the clock should tick next: just after the second under way ends.
    Millis untilClockTick(Millis now) const;
    // After a poll read at `now`: the wait until the next read when the poll's
    // timer must be set again: a one-off wait that brings the reads back into the
    // middle of the run's seconds, then the period again; none to leave it be.
    std::optional<Millis> pollWait(Millis now);

private:
    QString readoutText(std::int32_t Readouts::*value) const;
    ReadOutcome read(Millis now, const QList<StationFrame>& frames, const ReadRules& rules);
    void followHealth();

    LinkHealth m_health;
    LinkState m_link = LinkState::NotConnected;
    Readouts m_readouts;
    record::RunClock m_clock;
    std::optional<Millis> m_lastPollRead;
    bool m_pollMoved = false; // the last wait was a one-off
};

} // namespace station
