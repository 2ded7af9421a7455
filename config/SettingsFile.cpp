// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file accessor: reads from the file, saves as one locked replacement of it.
#include "config/SettingsFile.h"

#include "config/Errors.h"
#include "config/FileReplace.h"
#include "config/IntegerText.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QThread>

#include <chrono>
#include <exception>
#include <utility>

namespace config {

namespace {

// Every console saving the file takes "<file>.lock" beside it for the span of
// the save. A lock whose console has died is taken over at once (its process
// is gone, and with it the system lock it held on the file); one from a
// console that lives on is honoured, and a save that waits longer than this
// for it is refused rather than hanging the console.
constexpr std::chrono::milliseconds kLockWait{5000};
// A lock file without a live system lock (a file system that has none) is
// taken over when it is older than this; no save takes that long.
constexpr int kStaleLockMs = 5000;
// Short, uneven pauses between tries, so that two consoles saving at once take turns.
constexpr int kLockRetryMinMs = 1;
constexpr int kLockRetryMaxMs = 4;

// Writing a lock file takes microseconds: one that is still empty, or a
// take-over's helper that names no live console, this long after it was made
// was left by a console killed while it made it.
constexpr int kAbandonedLockMs = 1000;

// A console takes a dead console's lock over under a helper lock
// "<lock>.rmlock", for the microseconds the take-over lasts. A console killed
// within them, or while it wrote the lock itself, leaves a file that names no
// one: the helper would be honoured for 30 s and an empty lock for
// kStaleLockMs, both longer than a save waits, and every save until then
// refused. Such files are cleared, under the helper, once they are plainly
// abandoned.
void clearAbandonedLock(const QString& lockPath) {
    QLockFile helper(lockPath + QStringLiteral(".rmlock"));
    helper.setStaleLockTime(kAbandonedLockMs);
    if (!helper.tryLock(0))
        return; // a live console is taking the lock over right now
    const QFileInfo lock(lockPath);
    if (lock.exists() && lock.size() == 0 &&
        lock.lastModified().msecsTo(QDateTime::currentDateTime()) > kAbandonedLockMs)
        QFile::remove(lockPath);
    helper.unlock();
}

bool takeLock(QLockFile& lock, const QString& lockPath) {
    lock.setStaleLockTime(kStaleLockMs);
    const QDeadlineTimer deadline(kLockWait);
    for (;;) {
        if (lock.tryLock(0))
            return true;
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        clearAbandonedLock(lockPath);
        QThread::msleep(QRandomGenerator::global()->bounded(kLockRetryMinMs, kLockRetryMaxMs + 1));
    }
}

QString fullPath(const QString& path) {
    return QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
}

// The file's bytes: empty when there is no file (a directory in its place
// reads as none); nullopt when it exists but cannot be read.
std::optional<QByteArray> readFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool sameName(const Assignment& a, const QString& section, const QString& key) {
    return SettingsName{a.section} == SettingsName{section} &&
           SettingsName{a.key} == SettingsName{key};
}

} // namespace

SettingsFile::SettingsFile() : SettingsFile(settingsFilePath()) {}

SettingsFile::SettingsFile(const QString& path) : m_path(path) {}

SettingsFile::~SettingsFile() {
    // A handler that stopped on an error drops its keys on purpose; one that
    // ended normally with keys never committed has lost its save.
    if (!m_pending.isEmpty() && std::uncaught_exceptions() == 0)
        qWarning("settings: %lld key(s) written to %s but never committed",
                 static_cast<long long>(m_pending.size()), qPrintable(m_path));
}

const SettingsText& SettingsFile::text() const {
    if (!m_text)
        m_text.emplace(readFile(m_path).value_or(QByteArray()));
    return *m_text;
}

QString SettingsFile::ReadString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    for (const QList<Assignment>* written : {&m_pending, &m_committed}) {
        for (auto it = written->crbegin(); it != written->crend(); ++it) {
            if (sameName(*it, section, key))
                return readBackForm(it->value);
        }
    }
    return text().value(section, key).value_or(defaultValue);
}

void SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    m_pending.append(Assignment{section, key, value});
}

std::int32_t SettingsFile::ReadInteger(const QString& section, const QString& key,
                                       std::int32_t defaultValue) const {
    return parseStoredInteger(ReadString(section, key, QString())).value_or(defaultValue);
}

void SettingsFile::WriteInteger(const QString& section, const QString& key, std::int32_t value) {
    WriteString(section, key, QString::number(value));
}

// The file as it is on disk now, not as this accessor first read it: another
// console may have saved since. Under the lock no other console writes
// between the read and the replace, so neither loses the other's keys.
void SettingsFile::commit() {
    if (m_pending.isEmpty())
        return;
    const QList<Assignment> pending = std::exchange(m_pending, {});
    // Whatever happens, later reads see what is on disk.
    m_text.reset();
    m_committed.clear();
    const QString lockPath = replacedFile(fullPath(m_path)) + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    if (!takeLock(lock, lockPath))
        throw WriteError(fullPath(m_path));
    removeLeftoverTemporaries(m_path);
    const std::optional<QByteArray> onDisk = readFile(m_path);
    if (!onDisk)
        throw WriteError(fullPath(m_path));
    SettingsText current(*onDisk);
    const SavedText saved = current.withValues(pending);
    if ((saved.changes() || !QFileInfo::exists(m_path)) && !replaceFile(m_path, saved.pieces()))
        throw WriteError(fullPath(m_path));
    m_text = std::move(current);
    m_committed = pending;
}

} // namespace config
