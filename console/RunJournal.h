// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: every run written to the runs folder, second by second, as it is
// recorded.
#pragma once

#include "console/RunRecord.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <functional>

namespace console {

// While on, each run (the record from its first second after start-up or a reset
// until the next reset) goes to a CSV file of its own in `folder`, in the
// export's format. Each recorded second is appended and handed to the operating
// system at once, so closing the program or a crash loses nothing written; the
// file is never rewritten. A file that cannot be created or written ends the
// journal for that run with one writeFailed(); the record itself is never
// touched. The window decides what the operator sees.
class RunJournal : public QObject {
    Q_OBJECT
public:
    // The file name for a run that starts now (the export's suggested name). A
    // name that would leave the folder is refused as a failed write.
    using FileNamer = std::function<QString()>;

    RunJournal(const RunRecord& record, QString folder, FileNamer namer, QObject* parent = nullptr);

    bool isOn() const { return m_on; }
    // Switched on in the middle of a run, it writes the run so far at once.
    void setOn(bool on);

    // The record has grown by a second (a reading or a gap).
    void secondRecorded();
    // The record was reset: the next second starts a new run and a new file.
    void runCleared();

    // The file the current run goes to; empty while none is being written.
    QString currentPath() const { return m_file.isOpen() ? m_file.fileName() : QString(); }

signals:
    // The journal stopped writing this run: `path` could not be written.
    void writeFailed(const QString& path);

private:
    void writeNewSeconds();
    bool openRunFile();
    void fail(const QString& path);

    const RunRecord& m_record;
    QString m_folder;
    FileNamer m_namer;
    QFile m_file;
    bool m_on = false;
    bool m_failedThisRun = false;
    qsizetype m_written = 0; // seconds of the record already in the file
};

} // namespace console
