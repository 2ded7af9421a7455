// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a whole file: write a temporary file beside it, check every byte, sync, rename.
#include "config/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace config {

namespace {

constexpr int kNameAttempts = 100;
constexpr int kTemporaryBase = 36;

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
        name = target + ".tmp" +
               QByteArray::number(QRandomGenerator::global()->generate(), kTemporaryBase);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The rename is only durable once the folder's own entry list is on the disk.
// A file system that cannot sync a folder (EINVAL) keeps its entries by other means.
bool syncFolderOf(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : target.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    return ::close(fd) == 0 && synced;
}

} // namespace

QString replacedFile(const QString& path) {
    const QFileInfo info(path);
    const QString real = info.isSymLink() ? info.canonicalFilePath() : QString();
    return real.isEmpty() ? path : real;
}

int removeLeftoverTemporaries(const QString& path) {
    const QFileInfo target(replacedFile(path));
    // The names createTemporary() gives: ".tmp" and the base-36 digits of 32 random bits.
    const QRegularExpression name(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.tmp[0-9a-z]{1,7}")));
    const QDir folder = target.dir();
    int removed = 0;
    const QStringList candidates = folder.entryList({target.fileName() + QStringLiteral(".tmp*")},
                                                    QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& candidate : candidates) {
        const QFileInfo leftover(folder.filePath(candidate));
        if (name.match(candidate).hasMatch() && !leftover.isSymLink() &&
            QFile::remove(leftover.filePath()))
            ++removed;
    }
    return removed;
}

bool replaceFile(const QString& path, const QByteArray& bytes) {
    return replaceFile(path, QList<QByteArray>{bytes});
}

bool replaceFile(const QString& path, const QList<QByteArray>& pieces) {
    const QByteArray target = QFile::encodeName(replacedFile(path));
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
    for (const QByteArray& piece : pieces)
        ok = ok && writeAll(fd, piece);
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    return syncFolderOf(target);
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
