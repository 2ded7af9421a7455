// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: one CSV file per run, its rows handed to the writer as each second is recorded.
#include "record/RunJournal.h"

#include "record/RunCsv.h"

#include <QCoreApplication>

namespace record {

RunJournal::RunJournal(const RunRecord& record, QString folder, QObject* parent)
    : QObject(parent), m_record(record), m_folder(std::move(folder)) {
    connect(&m_writer, &JournalWriter::created, this, &RunJournal::created, Qt::QueuedConnection);
    connect(&m_writer, &JournalWriter::failed, this, &RunJournal::failed, Qt::QueuedConnection);
}

void RunJournal::setOn(bool on) {
    if (on == m_on)
        return;
    m_on = on;
    if (!m_on || !m_inRun)
        return;
    // Switching it on is the operator's say-so to try again after a failure: a
    // new file, from the run's first second.
    if (m_failedThisRun) {
        m_failedThisRun = false;
        m_file.reset();
        m_path.reset();
        m_written = m_origin;
    }
    writeNewSeconds();
}

void RunJournal::runStarted() {
    runEnded();
    m_inRun = true;
    m_failedThisRun = false;
    m_origin = m_record.size();
    m_written = m_origin;
}

void RunJournal::recordGrew() {
    if (m_on && m_inRun && !m_failedThisRun)
        writeNewSeconds();
}

void RunJournal::runEnded() {
    if (m_file)
        m_writer.close(*m_file);
    m_file.reset();
    m_path.reset();
    m_inRun = false;
}

// The seconds recorded since the last hand-over, in one append: usually the one
// second of this tick, the whole run so far when the file is new.
void RunJournal::writeNewSeconds() {
    const qsizetype size = m_record.size();
    if (size <= m_written)
        return;
    if (!m_file) {
        const RunRecord::RunMark* run = m_record.runAt(m_origin);
        if (!run || run->first != m_origin)
            return; // a run the record does not know: nothing to name it by
        m_file = m_writer.create(m_folder, suggestedFileName(run->header, QStringLiteral("csv")),
                                 headerLines(run->header) + csvHeader());
    }
    QByteArray rows;
    appendCsvRows(rows, m_record, m_origin, m_written, size);
    m_writer.append(*m_file, rows);
    m_written = size;
}

void RunJournal::created(quint64 file, const QString& path) {
    if (m_file == file)
        m_path = path;
}

void RunJournal::failed(quint64 file, const QString& path, const QString& reason) {
    if (m_file == file) {
        m_failedThisRun = true;
        m_file.reset();
        m_path.reset();
    }
    emit writeFailed(path, reason);
}

void RunJournal::waitForWriter() {
    m_writer.waitUntilIdle();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

} // namespace record
