// SPDX-License-Identifier: GPL-3.0-or-later
// Counts how often one file in a folder changes, as the system reports it (inotify).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/inotify.h>
#include <unistd.h>

namespace testsupport {

// A change is a new file renamed onto the file's name, or the file written in
// place and closed. Reading the file is not one.
class FileChanges {
public:
    FileChanges(const QString& directory, const QString& name)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_name(QFile::encodeName(name)) {
        if (m_fd >= 0 && ::inotify_add_watch(m_fd, QFile::encodeName(directory).constData(),
                                             IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FileChanges() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileChanges(const FileChanges&) = delete;
    FileChanges& operator=(const FileChanges&) = delete;

    bool watching() const { return m_fd >= 0; }

    // The changes since the last call.
    int take() {
        int changes = 0;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t got = m_fd < 0 ? -1 : ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                return changes;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && m_name == event->name)
                    ++changes;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd = -1;
    QByteArray m_name;
};

} // namespace testsupport
