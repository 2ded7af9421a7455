// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file accessor: Iniprofil.ini (see AppPaths for where), read by key, written by save.
#pragma once

#include "config/AppPaths.h"
#include "config/SettingsText.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace config {

// Opened for the span of one handler. Reads never fail: an absent file,
// section or key, a file that cannot be read, or a value that does not
// convert, gives the caller's default. The file is read at the first read or
// at commit(), whichever comes first.
//
// Writes are a save: WriteString and WriteInteger only collect keys (later
// reads through this accessor see them), and commit() makes them one change of
// the file, all of them or none:
//
//     config::SettingsFile ini;
//     ini.WriteInteger(QStringLiteral("Record"), QStringLiteral("Tolerance"), 5);
//     ini.WriteString(QStringLiteral("Record"), QStringLiteral("Reference"), name);
//     ini.commit(); // raises WriteError or EncodingError; then nothing was written
//
// A commit takes the lock "<file>.lock", which every console takes to save,
// removes the temporaries of saves that were killed, reads the file as it is on
// disk at that moment, changes every key, and replaces the file whole (a
// temporary file beside it, synced, renamed over it, the folder synced), so
// that a save never undoes another console's. A save that cannot be made so
// leaves the file byte for byte as it was: a full disk, a folder that refuses
// the temporary file (there is no rewriting in place), a file that exists but
// cannot be read, a lock held too long (WriteError); a value the file's
// encoding cannot hold (EncodingError). Keys written but not committed when the
// accessor goes (a handler that stopped on an error) are dropped.
//
// How keys are found, which lines a save changes and in which encoding it
// writes them: SettingsText.
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

    // Makes the keys written since the last commit one change of the file.
    void commit();

private:
    const SettingsText& text() const;

    QString m_path;
    mutable std::optional<SettingsText> m_text; // the file as last read
    // The keys of the last commit: with m_text, the file as it wrote it (a save
    // changes those keys' lines only), so that reads after it need not read or
    // parse a large file again.
    QList<Assignment> m_committed;
    QList<Assignment> m_pending; // written, not yet committed
};

} // namespace config
