// SPDX-License-Identifier: GPL-3.0-or-later
// The journal's writer: files created, appended and synced to the disk on a thread of its own.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace record {

// The window hands over whole lines and goes on at once: creating a file, writing
// and syncing it happen on the writer's own thread, so a slow disk (an SD card, a
// USB stick, a network folder) never holds the poll or the run clock. Lines that
// pile up while the disk is slow go out together in one write and one sync.
//
// A file is never left with a cut line: an append that fails part-way cuts the
// file back to its last complete line, and a file that could not take even its
// first lines (the header) is removed. A new file's folder is synced once, so the
// file's name survives a power cut as its rows do. Each file fails at most once;
// what is sent to it afterwards is dropped.
class JournalWriter : public QObject {
    Q_OBJECT
public:
    // Hands the bytes written to a file (or a folder's new entry) to the disk;
    // false when the disk refused. The default asks the operating system to
    // write them through (fdatasync, fsync for a folder).
    using Sync = std::function<bool(int handle)>;

    explicit JournalWriter(QObject* parent = nullptr);
    // Writes what is queued, then ends the thread.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // For a disk of another speed; takes effect from the next job.
    void setSync(Sync sync);

    // A new file `name` in `folder` (made when missing), starting with `header`
    // (complete lines). An existing file is never opened: a name that is taken
    // gets "_2", "_3"... before its extension. Returns the number the file's
    // appends go to; created() or failed() tells how it went.
    quint64 create(const QString& folder, const QString& name, const QByteArray& header);
    // Complete lines for the end of the file.
    void append(quint64 file, const QByteArray& lines);
    // The file is done with; what was queued for it is still written.
    void close(quint64 file);

    // Blocks until every job handed over so far is done. For tests and the end of
    // the program only: the window never waits for the disk otherwise.
    void waitUntilIdle();

signals:
    // Emitted from the writer's thread; a receiver in the window's thread gets
    // them queued.
    void created(quint64 file, const QString& path);
    void failed(quint64 file, const QString& path, const QString& reason);

private:
    struct Job {
        enum class Kind { Create, Append, Close } kind = Kind::Append;
        quint64 file = 0;
        QString folder;
        QString name;
        QByteArray bytes;
    };
    struct OpenFile;

    void run();
    void push(Job job);
    void doCreate(const Job& job);
    void doAppend(quint64 file, const QByteArray& bytes);
    void doClose(quint64 file);
    void fail(quint64 file, const QString& path, const QString& reason);
    bool sync(int handle);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stopping = false;
    quint64 m_lastFile = 0;
    Sync m_sync;

    // Owned by the writer's thread.
    std::map<quint64, std::unique_ptr<OpenFile>> m_files;

    std::thread m_thread;
};

} // namespace record
