// SPDX-License-Identifier: GPL-3.0-or-later
// The INI parser (SimpleIni) reading a settings text given as UTF-8.
#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace config {

// One key as the file holds it.
struct SettingsEntry {
    QString section;
    QString key;
    QString value;
    friend bool operator==(const SettingsEntry&, const SettingsEntry&) = default;
};

// The parser's reading: keys repeated in a section are kept and the first is
// read, a section repeated is one section, names compare with their ASCII
// letters in any case, the unnamed section is "", values are single lines with
// the blanks around them gone. Values are as stored (quotes kept).
class IniParser {
public:
    explicit IniParser(const std::string& utf8);
    ~IniParser();
    IniParser(const IniParser&) = delete;
    IniParser& operator=(const IniParser&) = delete;

    std::optional<QString> stored(const QString& section, const QString& key) const;
    // Every key (of a repeated one the first), section by section in the order
    // the text first names them.
    QList<SettingsEntry> entries() const;

private:
    struct Ini;
    std::unique_ptr<Ini> m_ini;
};

} // namespace config
