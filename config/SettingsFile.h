// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file accessor: Iniprofil.ini (see AppPaths for where), read and written by key.
#pragma once

#include "config/AppPaths.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace config {

// Opened for the span of one handler. Reads never fail: an absent file,
// section or key, a file that cannot be read, or a value that does not
// convert, gives the caller's default.
//
// Writes are made under the lock "<file>.lock", which every console takes; an
// accessor takes it at its first write and holds it until it is released. Each
// write reads the file as it is on disk at that moment, changes that one key and replaces
// the file whole (a temporary file beside it, synced, renamed over it), so
// that a write never undoes another console's. A write that cannot be made
// so raises WriteError and leaves the file byte for byte as it was: a full
// disk, a folder that refuses the temporary file (there is no rewriting in
// place), a file that exists but cannot be read, a lock held too long.
//
// Section and key names match regardless of letter case; existing keys keep
// their place, new keys go to the end of their section and new sections to the
// end of the file; comments and keys the program does not know are kept. Each
// line is read as UTF-8 when it is valid UTF-8, else as Windows-1251; a
// UTF-16 byte-order mark makes the file UTF-16. A rewrite keeps the file's
// byte-order mark, encoding and line breaks, and the bytes of each line whose
// text it writes unchanged (a hand-made layout, such as blanks around '=', is
// tidied to "key=value"); new text is UTF-8 (or UTF-16 in a UTF-16 file).
class SettingsFile {
public:
    SettingsFile(); // opens settingsFilePath()
    explicit SettingsFile(const QString& path);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const QString& path() const { return m_path; }

    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    std::int32_t ReadInteger(const QString& section, const QString& key,
                             std::int32_t defaultValue) const;
    void WriteInteger(const QString& section, const QString& key, std::int32_t value);

private:
    bool setValue(const QString& section, const QString& key, const QString& value);

    struct Document;
    QString m_path;
    std::unique_ptr<Document> m_doc;
};

} // namespace config
