// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a whole file: write a temporary file beside it, check every byte, sync, rename.
#include "config/FileReplace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace config {

namespace {

constexpr int kNameAttempts = 100;

// Null while no test limits the writes.
std::optional<qint64>& writeLimit() {
    static std::optional<qint64> limit;
    return limit;
}

// One write(2), cut short where a test has limited what the disk takes.
ssize_t writeSome(int fd, const char* data, size_t size) {
    std::optional<qint64>& limit = writeLimit();
    if (limit) {
        if (*limit <= 0) {
            errno = ENOSPC;
            return -1;
        }
        size = std::min<size_t>(size, size_t(*limit));
    }
    const ssize_t written = ::write(fd, data, size);
    if (limit && written > 0)
        *limit -= written;
    return written;
}

// A write may take fewer bytes than it was given; only all of them is success.
bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = writeSome(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= size_t(written);
    }
    return true;
}

// A new file of our own beside the target; the umask applies as to any new file.
int createTemporary(const QByteArray& target, QByteArray& name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = target + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A link is followed, so that the file it names is replaced and the link stays.
QByteArray targetOf(const QString& path) {
    const QFileInfo info(path);
    const QString real = info.isSymLink() ? info.canonicalFilePath() : QString();
    return QFile::encodeName(real.isEmpty() ? path : real);
}

} // namespace

bool replaceFile(const QString& path, const QByteArray& bytes) {
    const QByteArray target = targetOf(path);
    struct stat original {};
    const bool exists = ::stat(target.constData(), &original) == 0;
    if (exists && (!S_ISREG(original.st_mode) || ::access(target.constData(), W_OK) != 0))
        return false;

    QByteArray temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return false;
    bool ok = true;
    if (exists) {
        // Ownership is kept where the process may set it (root, or the same
        // owner); a file that changes owner is still a file saved. The mode always.
        [[maybe_unused]] const bool sameOwner = ::fchown(fd, original.st_uid, original.st_gid) == 0;
        ok = ::fchmod(fd, original.st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

ScopedWriteLimit::ScopedWriteLimit(qint64 bytes) : m_previous(writeLimit()) {
    writeLimit() = bytes;
}

ScopedWriteLimit::~ScopedWriteLimit() {
    writeLimit() = m_previous;
}

qint64 ScopedWriteLimit::remaining() const {
    return writeLimit().value_or(0);
}

} // namespace config
