// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a whole file so that it is never left short: temporary file, sync, rename.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace config {

// Writes the bytes to a new file beside `path`, makes sure every one of them
// reached the disk (each write complete, then fsync), and only then renames it
// over `path`, keeping the old file's permissions. On any failure (no space,
// quota, I/O error, a directory that refuses the new file) the temporary file
// is removed, `path` keeps its bytes and the answer is false. A `path` that is
// not a regular file, or that may not be written, is never replaced.
bool replaceFile(const QString& path, const QByteArray& bytes);

// A file system that refuses mid-write, for tests: while the object lives, the
// writes of replaceFile() accept this many more bytes in all and then fail as
// on a full disk (ENOSPC).
class ScopedWriteLimit {
public:
    explicit ScopedWriteLimit(qint64 bytes);
    ~ScopedWriteLimit();
    ScopedWriteLimit(const ScopedWriteLimit&) = delete;
    ScopedWriteLimit& operator=(const ScopedWriteLimit&) = delete;

    // Bytes still accepted.
    qint64 remaining() const;

private:
    std::optional<qint64> m_previous;
};

} // namespace config
