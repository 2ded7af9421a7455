// SPDX-License-Identifier: GPL-3.0-or-later
// The run record: every second since the last reset, measured or a gap, and what each run
// says about itself.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

namespace record {

// One second's reading: both heaters as the readouts showed it (corrections added).
struct RunSample {
    std::int32_t top = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const RunSample&, const RunSample&) = default;
};

// One second of the record: the newest answer the station gave in that second, or
// nothing when none came (no link, no answer yet, a silent station, an answer
// lost). A gap is kept as a gap, never as a number nobody measured.
using RunSecond = std::optional<RunSample>;

// A profile as the window showed it: its number, name and six values.
struct RunProfile {
    std::int32_t number = 0;
    QString name;
    std::int32_t T0 = 0; // top heater switch-on temperature
    std::int32_t TB = 0; // bottom heater temperature
    std::int32_t T1 = 0; // flux activation temperature
    std::int32_t S1 = 0; // hold time at T1, seconds
    std::int32_t T3 = 0; // top heater temperature
    std::int32_t S3 = 0; // hold time at T3, seconds

    friend bool operator==(const RunProfile&, const RunProfile&) = default;
};

// What a run says about itself, as it stood when the run started.
struct RunHeader {
    QString version;           // the console's
    QDateTime start;           // local time, with its offset from UTC
    QString port;              // the port of the link
    std::int32_t correct1 = 0; // the sensor corrections, Correct1 (top) and Correct2 (bottom)
    std::int32_t correct2 = 0;
    RunProfile profile;
    QString reference = {}; // the file of the run laid under this one, if any

    friend bool operator==(const RunHeader&, const RunHeader&) = default;
};

// Every second since the last reset, none thinned or dropped. Entry i belongs to
// second i + 1 of run time, which is its x on the chart. Beside the seconds, the
// record keeps where each run began (a start after a stop goes on in the same
// record) and which profile the window showed from which second.
class RunRecord {
public:
    struct RunMark {
        qsizetype first = 0; // the index of the run's first second
        RunHeader header;
        QByteArray closing; // what the run did, once it is over ("#" lines)
    };
    struct ProfileMark {
        qsizetype first = 0; // shown from this index on
        RunProfile profile;
    };

    void append(std::int32_t top, std::int32_t bottom) {
        m_seconds.push_back(RunSample{top, bottom});
    }
    void appendGap() { m_seconds.push_back(std::nullopt); }
    void clear();

    // A run begins with the next second recorded, showing its header's profile.
    void beginRun(const RunHeader& header);
    // The newest run is over; `closing` ("#" lines) says what it did.
    void closeRun(const QByteArray& closing);
    // The window shows `profile` from the next second on. The same profile again
    // marks nothing; a change before that second is recorded replaces the last one.
    void showProfile(const RunProfile& profile);

    qsizetype size() const { return qsizetype(m_seconds.size()); }
    bool isEmpty() const { return m_seconds.empty(); }
    RunSecond sample(qsizetype index) const { return m_seconds.at(std::size_t(index)); }
    const std::vector<RunSecond>& samples() const { return m_seconds; }
    const std::vector<RunMark>& runs() const { return m_runs; }
    const std::vector<ProfileMark>& profiles() const { return m_profiles; }
    // The run that second `index` belongs to, if any.
    const RunMark* runAt(qsizetype index) const;

    // Seconds of run time at which sample `index` was taken.
    static qint64 secondOf(qsizetype index) { return qint64(index) + 1; }

private:
    std::vector<RunSecond> m_seconds;
    std::vector<RunMark> m_runs;
    std::vector<ProfileMark> m_profiles;
};

} // namespace record
