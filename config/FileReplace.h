// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a whole file so that it is never left short: temporary file, sync, rename.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace config {

// Writes the bytes to a new file beside `path` (named "<file>.tmp" and a few
// letters or digits), makes sure every one of them reached the disk (each write
// complete, then fsync), and only then renames it over `path`, keeping the old
// file's permissions; then syncs the folder, so that after a power cut the
// folder names the new file, not the old one. On any failure before the rename
// (no space, quota, I/O error, a directory that refuses the new file) the
// temporary file is removed, `path` keeps its bytes and the answer is false. A
// folder that cannot be synced after the rename (an I/O error) answers false
// too, though the file then holds the new bytes. A `path` that is not a regular
// file, or that may not be written, is never replaced. A link is followed: the
// file it names is replaced, the link stays.
bool replaceFile(const QString& path, const QByteArray& bytes);
// The same with the bytes in pieces, written one after the other.
bool replaceFile(const QString& path, const QList<QByteArray>& pieces);

// The file that replaceFile(path) replaces: `path`, or the file a link there names.
QString replacedFile(const QString& path);

// Removes the temporaries that replacements of `path` left behind when their
// process was killed before the rename. Only for a caller that keeps every
// other writer of the file out (its lock): a temporary beside the file is then
// never one being written. Answers how many were removed.
int removeLeftoverTemporaries(const QString& path);

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
