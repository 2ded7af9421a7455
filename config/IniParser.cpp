// SPDX-License-Identifier: GPL-3.0-or-later
// The INI parser (SimpleIni) reading a settings text given as UTF-8.
#include "config/IniParser.h"

#include <QByteArrayView>

#include <algorithm>
#include <utility>
#include <vector>

// Plain char storage: the text handed to the parser is always UTF-8, made by
// us from the decoded lines, so the parser needs no converter of its own.
// Debian's header compiles its template bodies only where asked; this is the
// one place.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace config {

namespace {

// The parser's text back to ours. QString::fromUtf8() would drop a leading
// U+FEFF, which here is part of a name or value, not a byte-order mark.
QString textFromParser(const char* utf8) {
    const QByteArrayView text(utf8);
    if (!text.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(text);
    return QChar(0xFEFF) + textFromParser(utf8 + 3);
}

} // namespace

struct IniParser::Ini {
    // UTF-8, repeated keys kept, no multi-line values.
    CSimpleIniA ini{true, true, false};
};

IniParser::IniParser(const std::string& utf8) : m_ini(std::make_unique<Ini>()) {
    // The parser fails only when it runs out of memory; it then reads nothing.
    if (m_ini->ini.LoadData(utf8) < 0)
        m_ini->ini.Reset();
}

IniParser::~IniParser() = default;

std::optional<QString> IniParser::stored(const QString& section, const QString& key) const {
    const char* value =
        m_ini->ini.GetValue(section.toUtf8().constData(), key.toUtf8().constData(), nullptr);
    if (!value)
        return std::nullopt;
    return textFromParser(value);
}

QList<SettingsEntry> IniParser::entries() const {
    using Entry = CSimpleIniA::Entry;
    const CSimpleIniA& ini = m_ini->ini;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(Entry::LoadOrder());
    // The key lines, repeats among them: as many entries at most.
    size_t keyLines = 0;
    for (const Entry& section : sections) {
        if (const CSimpleIniA::TKeyVal* lines = ini.GetSection(section.pItem))
            keyLines += lines->size();
    }
    QList<SettingsEntry> entries;
    entries.reserve(qsizetype(keyLines));
    std::vector<std::pair<Entry, const char*>> keys; // each key's first line and its value
    keys.reserve(std::min<size_t>(keyLines, 64));
    for (const Entry& section : sections) {
        const CSimpleIniA::TKeyVal* lines = ini.GetSection(section.pItem);
        if (!lines)
            continue;
        // A repeated key's lines sit together, in the order read: the first
        // of them is the one a read by name gets.
        keys.clear();
        for (const auto& [key, value] : *lines) {
            if (keys.empty() || Entry::KeyOrder()(keys.back().first, key))
                keys.emplace_back(key, value);
        }
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
            return Entry::LoadOrder()(a.first, b.first);
        });
        const QString sectionName = textFromParser(section.pItem);
        for (const auto& [key, value] : keys)
            entries.append({sectionName, textFromParser(key.pItem), textFromParser(value)});
    }
    return entries;
}

} // namespace config
