// SPDX-License-Identifier: GPL-3.0-or-later
// The journal's writer thread: creating, appending, syncing, and cutting back a failed append.
#include "record/JournalWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace record {

namespace {

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

// The operator reads the reason in Russian where we know it; otherwise the
// system's own words.
QString reasonOf(int error, const QString& systemText) {
    switch (error) {
    case ENOSPC:
        return QStringLiteral("диск заполнен");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case EROFS:
        return QStringLiteral("диск только для чтения");
    default:
        return systemText;
    }
}

bool syncToDisk(int handle) {
#if defined(Q_OS_UNIX)
    return ::fdatasync(handle) == 0 || errno == EINVAL; // a folder on some file systems
#else
    Q_UNUSED(handle);
    return true;
#endif
}

// A file that was removed while the journal wrote it would take every later row
// with it unseen.
bool removedUnderUs(const QFile& file) {
#if defined(Q_OS_UNIX)
    struct stat status {};
    return ::fstat(file.handle(), &status) == 0 && status.st_nlink == 0;
#else
    return !QFileInfo::exists(file.fileName());
#endif
}

} // namespace

struct JournalWriter::OpenFile {
    QFile file;
    qint64 complete = 0;   // bytes of complete lines in the file
    qint64 headerSize = 0; // the first lines, without which the file is no journal
};

JournalWriter::JournalWriter(QObject* parent)
    : QObject(parent), m_sync(syncToDisk), m_thread([this] { run(); }) {}

JournalWriter::~JournalWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void JournalWriter::setSync(Sync sync) {
    const std::lock_guard lock(m_mutex);
    m_sync = sync ? std::move(sync) : Sync(syncToDisk);
}

quint64 JournalWriter::create(const QString& folder, const QString& name,
                              const QByteArray& header) {
    Job job;
    job.kind = Job::Kind::Create;
    job.folder = folder;
    job.name = name;
    job.bytes = header;
    {
        const std::lock_guard lock(m_mutex);
        job.file = ++m_lastFile;
    }
    const quint64 file = job.file;
    push(std::move(job));
    return file;
}

void JournalWriter::append(quint64 file, const QByteArray& lines) {
    if (lines.isEmpty())
        return;
    Job job;
    job.kind = Job::Kind::Append;
    job.file = file;
    job.bytes = lines;
    push(std::move(job));
}

void JournalWriter::close(quint64 file) {
    Job job;
    job.kind = Job::Kind::Close;
    job.file = file;
    push(std::move(job));
}

void JournalWriter::push(Job job) {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void JournalWriter::waitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

// Takes every job waiting at once; appends to one file that follow each other go
// out in one write and one sync.
void JournalWriter::run() {
    for (;;) {
        std::deque<Job> jobs;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            if (m_jobs.empty())
                m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                break; // stopping, and everything is written
            jobs.swap(m_jobs);
            m_busy = true;
        }
        while (!jobs.empty()) {
            Job job = std::move(jobs.front());
            jobs.pop_front();
            switch (job.kind) {
            case Job::Kind::Create:
                doCreate(job);
                break;
            case Job::Kind::Close:
                doClose(job.file);
                break;
            case Job::Kind::Append: {
                QByteArray bytes = std::move(job.bytes);
                while (!jobs.empty() && jobs.front().kind == Job::Kind::Append &&
                       jobs.front().file == job.file) {
                    bytes += jobs.front().bytes;
                    jobs.pop_front();
                }
                doAppend(job.file, bytes);
                break;
            }
            }
        }
    }
    // The files go with the thread that made them.
    m_files.clear();
}

bool JournalWriter::sync(int handle) {
    Sync sync;
    {
        const std::lock_guard lock(m_mutex);
        sync = m_sync;
    }
    return sync(handle);
}

void JournalWriter::doCreate(const Job& job) {
    const QDir folder(job.folder);
    const QString wanted = folder.absoluteFilePath(job.name);
    if (!staysInFolder(job.name)) {
        fail(job.file, wanted, QStringLiteral("недопустимое имя файла"));
        return;
    }
    const QFileInfo folderInfo(folder.absolutePath());
    if (folderInfo.exists() && !folderInfo.isDir()) {
        fail(job.file, wanted,
             QStringLiteral("на месте папки %1 лежит файл").arg(folderInfo.fileName()));
        return;
    }
    if (!folder.mkpath(QStringLiteral("."))) {
        fail(job.file, wanted,
             QStringLiteral("не удалось создать папку %1").arg(folder.absolutePath()));
        return;
    }

    QString candidate = job.name;
    for (int number = 2; QFileInfo::exists(folder.filePath(candidate)) && number <= kMostNamesTried;
         ++number)
        candidate = numbered(job.name, number);
    auto open = std::make_unique<OpenFile>();
    open->file.setFileName(folder.absoluteFilePath(candidate));
    // Never an existing file; unbuffered, so each write reaches the system at once.
    if (!open->file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const int error = errno;
        fail(job.file, open->file.fileName(), reasonOf(error, open->file.errorString()));
        return;
    }
#if defined(Q_OS_UNIX)
    // The folder's new entry reaches the disk once, with the file.
    const int folderHandle = ::open(QFile::encodeName(folder.absolutePath()).constData(),
                                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderHandle >= 0) {
        sync(folderHandle);
        ::close(folderHandle);
    }
#endif
    open->headerSize = job.bytes.size();
    const QString path = open->file.fileName();
    m_files[job.file] = std::move(open);
    emit created(job.file, path);
    doAppend(job.file, job.bytes);
}

void JournalWriter::doAppend(quint64 file, const QByteArray& bytes) {
    const auto found = m_files.find(file);
    if (found == m_files.end() || bytes.isEmpty())
        return; // never created, failed, or closed
    OpenFile& open = *found->second;
    const QString path = open.file.fileName();
    if (removedUnderUs(open.file)) {
        fail(file, path, QStringLiteral("файл удалён"));
        return;
    }
    const qint64 written = open.file.write(bytes);
    if (written != bytes.size()) {
        const int error = errno;
        const QString reason = reasonOf(error, open.file.errorString());
        // Whatever reached the file up to its last line end stays; a cut line goes.
        const qint64 kept = written > 0 ? bytes.first(written).lastIndexOf('\n') + 1 : qint64(0);
        open.complete += kept;
        if (open.complete < open.headerSize || open.complete == 0) {
            open.file.close();
            open.file.remove();
        } else {
            open.file.resize(open.complete);
            sync(open.file.handle());
        }
        fail(file, path, reason);
        return;
    }
    open.complete += written;
    if (!sync(open.file.handle())) {
        const int error = errno;
        fail(file, path, reasonOf(error, QStringLiteral("диск не сохранил записанное")));
        return;
    }
}

void JournalWriter::doClose(quint64 file) {
    m_files.erase(file);
}

void JournalWriter::fail(quint64 file, const QString& path, const QString& reason) {
    m_files.erase(file);
    emit failed(file, path, reason);
}

} // namespace record
