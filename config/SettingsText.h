// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's text in memory: its lines, the sections and keys they hold, and the file's
// bytes as a save changes them.
#pragma once

#include "config/FileText.h"
#include "config/IniParser.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace config {

// One key a save writes.
struct Assignment {
    QString section;
    QString key;
    QString value;
};

// The file's bytes as a save makes them, in pieces to be written one after the
// other: runs of the file as it was (not copied: they point into the
// SettingsText that made them, which must outlive them) and the lines the save
// wrote.
class SavedText {
public:
    const QList<QByteArray>& pieces() const { return m_pieces; }
    // Whether the save changes any byte of the file.
    bool changes() const { return m_changes; }
    // The pieces joined.
    QByteArray bytes() const;

private:
    friend class SettingsText;
    void appendOriginal(QByteArrayView bytes);
    void appendNew(const QByteArray& bytes);

    QList<QByteArray> m_pieces;
    bool m_lastIsNew = false;
    bool m_changes = false;
};

// A section's or key's name as a hash key: names match whatever the letter
// case of their ASCII letters ("Global", "GLOBAL"); letters beyond ASCII match
// only as written ("Имя" is not "ИМЯ"), as the INI parser compares them.
struct SettingsName {
    QString text;
    friend bool operator==(const SettingsName& a, const SettingsName& b);
};
size_t qHash(const SettingsName& name, size_t seed = 0);

// What a value reads back as once written: the file keeps it on its line, so a
// line break in it becomes a space; NUL reads as U+FFFD.
QString readBackForm(QString value);

// A settings file's text: its values as the INI parser (SimpleIni) reads the
// decoded text, and its lines, which this class keeps for what the parser
// cannot do: every line's place and bytes, the line a save changes, where a
// new key goes, the encoding.
//
// Both read the text alike: "[name]" starts a section; "key=value" is a key of
// the section above it (the unnamed section above the first header and under
// "[]"); blanks (space, tab) around names and values do not count; a line
// whose first non-blank character is ';' or '#' is a comment; a line without
// '=', or with nothing before its first '=', holds no key. A header without its
// closing bracket names no section, so the keys below it stay in the section
// above (the parser is given the text without such lines, as it would run the
// broken name on into the next ones). A section may appear more than once; its
// keys are all of them. Names match as SettingsName says, and of a repeated key
// the first counts. A NUL reads as U+FFFD.
//
// A save changes the bytes of the lines it changes and of no other: blank
// lines, comments, lines without '=', binary junk, keys it does not write and
// keys it writes with the value they already hold keep their place and bytes.
// A changed key is rewritten as "key=value" (the key as the file spells it,
// indented as it was)
// with the line's own line break; later repeats of it, which no read sees, stay. A key new to
// its section goes after the section's last line that is neither blank nor a
// comment; a new section goes to the end of the file, after an empty line, with
// its keys in the order written. New and changed lines are written in the file's
// encoding with its line break (see TextLines).
class SettingsText {
public:
    SettingsText(); // no file
    explicit SettingsText(QByteArray bytes);

    const QByteArray& bytes() const { return m_bytes; }
    // What the lines a save writes are written in.
    FileEncoding encoding() const { return m_lines.encoding; }

    // The key's value as the parser reads it, one pair of enclosing double
    // quotes removed; nullopt when the section or key is absent.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // Every key the parser reads (of a repeated one the first), section by
    // section in the order the file first names them.
    QList<SettingsEntry> entries() const;

    // The file's bytes with the keys written, in order (a later write of a key
    // wins over an earlier one). A value that the file's encoding cannot hold
    // raises EncodingError.
    SavedText withValues(const QList<Assignment>& assignments) const;

private:
    // Unclosed: a line opening a header that it never closes.
    enum class Kind : quint8 { Blank, Comment, Header, Key, Unclosed, Other };
    struct Line {
        Kind kind = Kind::Blank;
        int section = 0;
    };
    using Name = SettingsName;
    // A key line, its section and the hash of its name (qHash(SettingsName),
    // seed 0, its low 32 bits: a million keys fit in 16 MB).
    struct KeyLine {
        quint32 hash = 0;
        int section = 0;
        qsizetype line = 0;
    };
    struct Section {
        QString name;
        qsizetype lastContent = -1; // last line neither blank nor a comment; -1: none
    };
    // A section's key lines in m_keys once grouped; sorted by hash and line at
    // its first look-up, so that a file of a million keys costs no more than a
    // pass to read, and a look-up in one section no sort of the others.
    struct KeySlice {
        qsizetype first = 0;
        qsizetype end = 0;
        bool sorted = false;
    };
    struct Shape;

    Shape shapeOf(qsizetype line) const;
    QString textOf(qsizetype line, qsizetype from, qsizetype to) const;
    size_t keyHash(qsizetype line, const Shape& shape) const;
    // The key lines of a section whose names hash alike, in file order.
    using KeyLines =
        std::pair<std::vector<KeyLine>::const_iterator, std::vector<KeyLine>::const_iterator>;
    KeyLines linesHashed(int section, const QString& key) const;
    void groupKeys() const;
    qsizetype firstKeyLine(int section, const QString& key) const;
    bool keyIs(qsizetype line, const QString& key) const;
    QString valueOf(qsizetype line) const;
    QByteArray changedLine(qsizetype line, const QString& stored) const;
    int sectionId(const QString& name) const;
    char16_t breakUnit(qsizetype line, qsizetype unit) const;
    bool endsWithLoneCr(qsizetype line) const;
    bool startsWithLineFeed(qsizetype line) const;
    QByteArray encodedLine(const QString& text) const;
    void appendForParser(std::string& text, qsizetype line) const;
    std::string parserText() const;
    std::string parserTextOf(KeyLines candidates) const;
    const IniParser& parsed() const;

    QByteArray m_bytes;
    TextLines m_lines;
    QList<Line> m_info;
    QList<Section> m_sections; // the unnamed section first
    QHash<Name, int> m_ids;    // named section -> index in m_sections
    // Every key line, in file order as read; at the first look-up grouped by
    // section (file order kept), which they already are unless a section
    // appears twice.
    mutable std::vector<KeyLine> m_keys;
    mutable std::vector<KeySlice> m_slices; // by section; empty until grouped
    // The section headers' lines, in file order: the one above a key line opens its part of its
    // section.
    std::vector<qsizetype> m_headers;
    // The parser's reading of the whole text, made at the first call of
    // entries(): a save needs only the lines, and a read of one key only the
    // lines that may hold it.
    mutable std::shared_ptr<const IniParser> m_parsed;
};

} // namespace config
