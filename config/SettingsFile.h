// The settings-file accessor: Iniprofil.ini beside the executable, read and written by key.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

namespace config {

// Full path of the settings file: the executable's directory followed by
// "Iniprofil.ini", built afresh at each call.
QString settingsFilePath();

// Directory of the running executable (where the settings file and the port
// links "com1".."comN" live). Tests point it elsewhere with
// ScopedAppDirectoryOverride.
QString appDirectory();

// Redirects appDirectory() for the lifetime of the object; tests use it to keep
// their settings files in a temporary directory.
class ScopedAppDirectoryOverride {
public:
    explicit ScopedAppDirectoryOverride(const QString& directory);
    ~ScopedAppDirectoryOverride();
    ScopedAppDirectoryOverride(const ScopedAppDirectoryOverride&) = delete;
    ScopedAppDirectoryOverride& operator=(const ScopedAppDirectoryOverride&) = delete;

private:
    QString m_previous;
};

// Opened for the span of one handler. Reads never fail: an absent file,
// section or key, or a value that does not convert, gives the caller's
// default. Every write reaches the file at once and replaces it atomically;
// a refused write raises WriteError. Section and key names match regardless
// of letter case; existing keys keep their place, new keys go to the end of
// their section and new sections to the end of the file; comments and keys the
// program does not know are kept. Files are written in UTF-8; a file that is
// not valid UTF-8 is read as Windows-1251.
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
    struct Document;
    QString m_path;
    std::unique_ptr<Document> m_doc;
};

} // namespace config
