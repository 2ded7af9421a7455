// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: one CSV file per run in runs/, appended at each recorded second.
#include "record/RunJournal.h"

#include "record/RunCsv.h"

#include <QDir>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace record {

namespace {

// The row is on the disk, not only with the operating system, before the tick
// ends: a power cut then loses at most the second being written. A small append
// costs a few milliseconds of the tick's second.
bool syncData(QFile& file) {
#if defined(Q_OS_UNIX)
    return ::fdatasync(file.handle()) == 0;
#else
    return file.flush();
#endif
}

// Two runs that start in the same minute with the same profile get "_2", "_3"...
constexpr int kMostNamesTried = 1000;

// A name that stays in the folder: no separator, no "." or "..", nothing empty.
bool staysInFolder(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

QString numbered(const QString& name, int number) {
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.chopped(suffix.size() + 1);
    QString numberedName = base + QLatin1Char('_') + QString::number(number);
    if (!suffix.isEmpty())
        numberedName += QLatin1Char('.') + suffix;
    return numberedName;
}

} // namespace

RunJournal::RunJournal(const RunRecord& record, QString folder, FileNamer namer, QObject* parent)
    : QObject(parent), m_record(record), m_folder(std::move(folder)), m_namer(std::move(namer)) {}

void RunJournal::setOn(bool on) {
    if (on == m_on)
        return;
    m_on = on;
    m_file.close();
    m_written = 0;
    // Switching it on is the operator's say-so to try again after a failure.
    m_failedThisRun = false;
    if (m_on && !m_record.isEmpty())
        writeNewSeconds();
}

void RunJournal::secondRecorded() {
    if (m_on && !m_failedThisRun)
        writeNewSeconds();
}

void RunJournal::runCleared() {
    m_file.close();
    m_written = 0;
    m_failedThisRun = false;
}

// The seconds recorded since the last write, in one write: usually the one
// second of this tick, the whole run so far when the file is new.
void RunJournal::writeNewSeconds() {
    const bool fresh = !m_file.isOpen();
    if (fresh && !openRunFile())
        return;
    // A file removed under the journal would take every later row with it unseen.
    if (!fresh && !QFileInfo::exists(m_file.fileName())) {
        fail(m_file.fileName());
        return;
    }
    QByteArray text = fresh ? csvHeader() : QByteArray();
    appendCsvRows(text, m_record, m_written, m_record.size());
    if (text.isEmpty())
        return;
    if (m_file.write(text) != text.size() || !syncData(m_file)) {
        fail(m_file.fileName());
        return;
    }
    m_written = m_record.size();
}

bool RunJournal::openRunFile() {
    const QString name = m_namer();
    const QDir folder(m_folder);
    if (!staysInFolder(name)) {
        fail(folder.absoluteFilePath(name));
        return false;
    }
    if (!folder.mkpath(QStringLiteral("."))) {
        fail(folder.absoluteFilePath(name));
        return false;
    }
    QString candidate = name;
    for (int number = 2; QFileInfo::exists(folder.filePath(candidate)) && number <= kMostNamesTried;
         ++number)
        candidate = numbered(name, number);

    // Never an existing file: an earlier run's journal is not overwritten.
    // Unbuffered: each write goes to the operating system at once.
    m_file.setFileName(folder.absoluteFilePath(candidate));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        fail(m_file.fileName());
        return false;
    }
    m_written = 0;
    return true;
}

void RunJournal::fail(const QString& path) {
    m_failedThisRun = true;
    m_file.close();
    m_written = 0;
    emit writeFailed(path);
}

} // namespace record
