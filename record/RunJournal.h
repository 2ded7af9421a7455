// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: every run written to a file of its own, second by second, as it is recorded.
#pragma once

#include "record/JournalWriter.h"
#include "record/RunRecord.h"

#include <QObject>
#include <QString>

#include <optional>

namespace record {

// Each run (from a start to the next stop or reset) goes to a CSV file of its own
// in `folder`, named by the run's start time and profile, its seconds counted from
// 1: the "#" lines of the run, the header row, then every second's row (with the
// "#" line of a profile change before the row of its second) as the record gets
// it. The file is created with the run's first second; the rows are handed to the
// writer at once, which puts them on the disk off the window's thread.
//
// Switched off in the middle of a run, the journal stops adding rows; switched on
// again, it adds the rows it missed to the same file. Switched on in a run that
// has no file yet, it writes the run so far. A file that cannot be written ends
// the journal for that run with one writeFailed(); switching it off and on tries
// again with a new file of the run so far. The record itself is never touched.
class RunJournal : public QObject {
    Q_OBJECT
public:
    RunJournal(const RunRecord& record, QString folder, QObject* parent = nullptr);

    bool isOn() const { return m_on; }
    void setOn(bool on);

    // The record has just begun a run (its newest run mark).
    void runStarted();
    // The record has grown by a second (a reading or a gap).
    void recordGrew();
    // The run is over: stopped, or the record is about to be reset.
    void runEnded();

    // The file of the run going on, once the writer has made it; empty otherwise.
    QString currentPath() const { return m_file && m_path ? *m_path : QString(); }
    JournalWriter& writer() { return m_writer; }
    // Waits for the writer and takes its reports (tests only).
    void waitForWriter();

signals:
    // The run's file could not be written: its path and why.
    void writeFailed(const QString& path, const QString& reason);

private:
    void writeNewSeconds();
    void created(quint64 file, const QString& path);
    void failed(quint64 file, const QString& path, const QString& reason);

    const RunRecord& m_record;
    QString m_folder;
    JournalWriter m_writer;
    bool m_on = false;
    bool m_inRun = false;
    bool m_failedThisRun = false;
    qsizetype m_origin = 0;  // the index of the run's first second
    qsizetype m_written = 0; // the seconds before this index are with the writer
    std::optional<quint64> m_file;
    std::optional<QString> m_path;
};

} // namespace record
