// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's lines read as sections and keys, and the bytes a save makes of them.
#include "config/SettingsText.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <tuple>
#include <utility>

namespace config {

namespace {

// How values are kept on disk.
//
// Blanks (space, tab) around a value do not count, so a value that starts or
// ends with one is written between double quotes, and so is a value that is
// itself enclosed in double quotes; reading removes one pair of enclosing
// double quotes. A hand-written `Name="  x  "` therefore reads as "  x  ".
// Commas, '=' and ';' need nothing: only the first '=' of a line ends the key,
// and ';' starts a comment only at the start of a line.
//
// The program never writes a line break into a value; should one arrive, each
// CR and LF becomes a space so that the value stays on its line and cannot
// start a new key or section. A NUL becomes U+FFFD, as it does when read.
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// The parts one after the other, in one allocation.
QString joined(std::initializer_list<QStringView> parts) {
    qsizetype size = 0;
    for (const QStringView part : parts)
        size += part.size();
    QString text;
    text.reserve(size);
    for (const QStringView part : parts)
        text += part;
    return text;
}

bool isQuoted(const QString& text) {
    return text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
}

QString storedForm(const QString& value) {
    QString stored = readBackForm(value);
    if (!stored.isEmpty() &&
        (isBlank(stored.front().unicode()) || isBlank(stored.back().unicode()) || isQuoted(stored)))
        return joined({u"\"", stored, u"\""});
    return stored;
}

QString valueFromStored(const QString& stored) {
    return isQuoted(stored) ? stored.mid(1, stored.size() - 2) : stored;
}

size_t combinedHash(size_t hash, char32_t folded) {
    return hash * 31 + folded;
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Bytes of one of a line's units: a UTF-16 code unit, or a byte.
qsizetype unitSizeOf(const LineSpan& line) {
    return line.encoding == FileEncoding::Utf16LE || line.encoding == FileEncoding::Utf16BE ? 2 : 1;
}

} // namespace

bool operator==(const SettingsName& a, const SettingsName& b) {
    if (a.text.size() != b.text.size())
        return false;
    for (qsizetype i = 0; i < a.text.size(); ++i) {
        if (asciiLower(a.text[i].unicode()) != asciiLower(b.text[i].unicode()))
            return false;
    }
    return true;
}

// The hash of the name's UTF-16 units with ASCII letters lowered, the same
// for every spelling that compares equal, without making the lowered copy.
size_t qHash(const SettingsName& name, size_t seed) {
    size_t hash = seed;
    for (const QChar c : name.text)
        hash = combinedHash(hash, asciiLower(c.unicode()));
    return hash;
}

QString readBackForm(QString value) {
    // Nearly every value holds none of these: it is then returned as it came, uncopied.
    if (std::none_of(value.cbegin(), value.cend(),
                     [](QChar c) { return c == u'\r' || c == u'\n' || c == QChar(0); }))
        return value;
    for (QChar& c : value) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
        else if (c == QChar(0))
            c = QChar(QChar::ReplacementCharacter);
    }
    return value;
}

// Where a line's parts are, in its units (bytes, or UTF-16 code units).
struct SettingsText::Shape {
    Kind kind = Kind::Blank;
    qsizetype nameFrom = 0; // the section's or the key's name, blanks trimmed
    qsizetype nameTo = 0;
    qsizetype valueFrom = 0; // the key's value, blanks trimmed
    qsizetype valueTo = 0;
};

SettingsText::SettingsText() : m_sections{Section{}} {}

SettingsText::SettingsText(QByteArray bytes)
    : m_bytes(std::move(bytes)), m_lines(splitLines(m_bytes)), m_sections{Section{}} {
    m_info.resize(m_lines.lines.size());
    int section = 0;
    for (qsizetype i = 0; i < m_lines.lines.size(); ++i) {
        const Shape shape = shapeOf(i);
        if (shape.kind == Kind::Header) {
            const QString name = textOf(i, shape.nameFrom, shape.nameTo);
            section = sectionId(name);
            if (section < 0) {
                section = int(m_sections.size());
                m_sections.append(Section{});
                m_sections.last().name = name;
                m_ids.insert(Name{name}, section);
            }
            if (m_headers.empty()) // a file has a few headers: one allocation for them
                m_headers.reserve(16);
            m_headers.push_back(i);
        }
        m_info[i] = Line{shape.kind, section};
        if (shape.kind == Kind::Blank || shape.kind == Kind::Comment)
            continue;
        Section& current = m_sections[section];
        current.lastContent = i;
        if (shape.kind != Kind::Key)
            continue;
        if (m_keys.empty()) // as many as a file of the console's holds, in one allocation
            m_keys.reserve(128);
        m_keys.push_back(KeyLine{quint32(keyHash(i, shape)), section, i});
    }
}

// The hash qHash(SettingsName) gives the key's name (seed 0). A name whose
// units read as themselves (ASCII bytes, or UTF-16 without surrogates), as
// nearly every one does, is hashed from its units without decoding it.
size_t SettingsText::keyHash(qsizetype line, const Shape& shape) const {
    const LineSpan& span = m_lines.lines[line];
    const char* bytes = m_bytes.constData() + span.start;
    const bool utf16 = unitSizeOf(span) == 2;
    size_t hash = 0;
    for (qsizetype i = shape.nameFrom; i < shape.nameTo; ++i) {
        char16_t c = utf16 ? utf16UnitAt(bytes + 2 * i, span.encoding)
                           : static_cast<unsigned char>(bytes[i]);
        if (utf16 ? QChar::isSurrogate(c) : c >= 0x80)
            return qHash(Name{textOf(line, shape.nameFrom, shape.nameTo)}, 0);
        if (c == 0) // read as U+FFFD
            c = QChar::ReplacementCharacter;
        hash = combinedHash(hash, asciiLower(c));
    }
    return hash;
}

// Groups the key lines by section, once.
void SettingsText::groupKeys() const {
    if (!m_slices.empty())
        return;
    // Section numbers go up in the order the file first names them: only a
    // section named again puts them out of order.
    const auto bySection = [](const KeyLine& a, const KeyLine& b) {
        return a.section < b.section;
    };
    if (!std::is_sorted(m_keys.cbegin(), m_keys.cend(), bySection))
        std::stable_sort(m_keys.begin(), m_keys.end(), bySection);
    m_slices.resize(size_t(m_sections.size()));
    for (qsizetype k = 0; k < qsizetype(m_keys.size()); ++k) {
        KeySlice& slice = m_slices[size_t(m_keys[size_t(k)].section)];
        if (slice.end == 0)
            slice.first = k;
        slice.end = k + 1;
    }
}

// The section's key lines whose name hashes as `key` does, in file order.
SettingsText::KeyLines SettingsText::linesHashed(int section, const QString& key) const {
    groupKeys();
    KeySlice& slice = m_slices[size_t(section)];
    const auto begin = m_keys.begin() + slice.first;
    const auto end = m_keys.begin() + slice.end;
    if (!slice.sorted) {
        std::sort(begin, end, [](const KeyLine& a, const KeyLine& b) {
            return std::tie(a.hash, a.line) < std::tie(b.hash, b.line);
        });
        slice.sorted = true;
    }
    const KeyLine wanted{quint32(qHash(Name{key}, 0)), section};
    return std::equal_range(KeyLines::first_type(begin), KeyLines::first_type(end), wanted,
                            [](const KeyLine& a, const KeyLine& b) { return a.hash < b.hash; });
}

// Of a repeated key the first counts; the later ones are kept, unread.
qsizetype SettingsText::firstKeyLine(int section, const QString& key) const {
    const auto [begin, end] = linesHashed(section, key);
    for (auto it = begin; it != end; ++it) {
        if (keyIs(it->line, key))
            return it->line;
    }
    return -1;
}

// Whether the line's key is `key` in any letter case; ASCII against ASCII is
// compared in the file's bytes, without decoding them.
bool SettingsText::keyIs(qsizetype line, const QString& key) const {
    const LineSpan& span = m_lines.lines[line];
    const Shape shape = shapeOf(line);
    const qsizetype length = shape.nameTo - shape.nameFrom;
    if (unitSizeOf(span) == 1 && QtPrivate::isAscii(key)) {
        const char* name = m_bytes.constData() + span.start + shape.nameFrom;
        if (std::all_of(name, name + length, [](char c) { return c != 0 && (c & 0x80) == 0; })) {
            if (length != key.size())
                return false;
            for (qsizetype i = 0; i < length; ++i) {
                if (asciiLower(static_cast<unsigned char>(name[i])) != asciiLower(key[i].unicode()))
                    return false;
            }
            return true;
        }
    }
    return Name{textOf(line, shape.nameFrom, shape.nameTo)} == Name{key};
}

SettingsText::Shape SettingsText::shapeOf(qsizetype line) const {
    const LineSpan& span = m_lines.lines[line];
    const bool utf16 = unitSizeOf(span) == 2;
    const char* bytes = m_bytes.constData() + span.start;
    const auto unit = [&](qsizetype i) -> char16_t {
        return utf16 ? utf16UnitAt(bytes + 2 * i, span.encoding)
                     : static_cast<unsigned char>(bytes[i]);
    };
    const auto trimmed = [&](qsizetype& from, qsizetype& to) {
        while (from < to && isBlank(unit(from)))
            ++from;
        while (to > from && isBlank(unit(to - 1)))
            --to;
    };
    const auto find = [&](char16_t c, qsizetype from, qsizetype to) {
        if (!utf16) {
            const void* found = std::memchr(bytes + from, c, size_t(to - from));
            return found ? static_cast<const char*>(found) - bytes : qsizetype(-1);
        }
        for (qsizetype i = from; i < to; ++i) {
            if (unit(i) == c)
                return i;
        }
        return qsizetype(-1);
    };

    Shape shape;
    qsizetype from = 0;
    qsizetype to = utf16 ? span.length / 2 : span.length;
    trimmed(from, to);
    if (from == to)
        return shape;
    const char16_t first = unit(from);
    if (first == u';' || first == u'#') {
        shape.kind = Kind::Comment;
        return shape;
    }
    shape.kind = Kind::Other;
    if (first == u'[') {
        const qsizetype close = find(u']', from + 1, to);
        if (close < 0) {
            shape.kind = Kind::Unclosed;
            return shape;
        }
        shape.kind = Kind::Header;
        shape.nameFrom = from + 1;
        shape.nameTo = close;
        trimmed(shape.nameFrom, shape.nameTo);
        return shape;
    }
    // A line opening with '=' names no key: the parser skips it whole.
    if (first == u'=')
        return shape;
    const qsizetype equals = find(u'=', from + 1, to);
    if (equals < 0)
        return shape;
    shape.kind = Kind::Key;
    shape.nameFrom = from;
    shape.nameTo = equals;
    trimmed(shape.nameFrom, shape.nameTo);
    shape.valueFrom = equals + 1;
    shape.valueTo = to;
    trimmed(shape.valueFrom, shape.valueTo);
    return shape;
}

QString SettingsText::textOf(qsizetype line, qsizetype from, qsizetype to) const {
    const LineSpan& span = m_lines.lines[line];
    const qsizetype unitSize = unitSizeOf(span);
    return decodeLine(
        QByteArrayView(m_bytes).sliced(span.start + from * unitSize, (to - from) * unitSize),
        span.encoding);
}

QString SettingsText::valueOf(qsizetype line) const {
    const Shape shape = shapeOf(line);
    return valueFromStored(textOf(line, shape.valueFrom, shape.valueTo));
}

// The key as the file spells it, indented as it was, in its own bytes where
// the line is in the encoding the save writes (or ASCII), so that a NUL or a
// stray byte in the name stays; otherwise its text in that encoding.
QByteArray SettingsText::changedLine(qsizetype line, const QString& stored) const {
    const LineSpan& span = m_lines.lines[line];
    const Shape shape = shapeOf(line);
    if (span.encoding != m_lines.encoding && m_lines.encoding != FileEncoding::Windows1251)
        return encodedLine(joined({textOf(line, 0, shape.nameTo), u"=", stored}));
    QByteArray changed = encodedLine(joined({u"=", stored}));
    changed.prepend(QByteArrayView(m_bytes).sliced(span.start, shape.nameTo * unitSizeOf(span)));
    return changed;
}

// The unnamed section ("" or "[]") is always there, first.
int SettingsText::sectionId(const QString& name) const {
    if (name.isEmpty())
        return 0;
    return m_ids.value(Name{name}, -1);
}

// A decoded line as UTF-8. A NUL, which would end the parser's text, reads as U+FFFD.
void SettingsText::appendForParser(std::string& text, qsizetype line) const {
    const LineSpan& span = m_lines.lines[line];
    appendUtf8(text, QByteArrayView(m_bytes).sliced(span.start, span.length), span.encoding);
}

// The decoded lines as UTF-8, one '\n' after each but the last. A line that
// opens a header it never closes is left empty: the parser would take the
// lines below it into the broken name. The text starts with an empty line, so
// that a U+FEFF opening the first line stays text rather than being dropped as
// a byte-order mark (the file's own marks are not in the lines).
std::string SettingsText::parserText() const {
    std::string text;
    text.reserve(size_t(m_bytes.size()) + 1);
    text += '\n';
    for (qsizetype i = 0; i < m_lines.lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        if (m_info[i].kind != Kind::Unclosed)
            appendForParser(text, i);
    }
    return text;
}

// The part of the text the parser needs to read one key: the section's lines
// that may name it (its candidates, from linesHashed(), in file order), each
// under the header that opens its part of the section (lines above the first
// header have none). Other lines cannot change what the parser reads for the
// key, and a file with a log pasted into it holds a million of them.
std::string SettingsText::parserTextOf(KeyLines candidates) const {
    std::string text(1, '\n');
    qsizetype lastHeader = -1;
    for (auto it = candidates.first; it != candidates.second; ++it) {
        const qsizetype line = it->line;
        const auto above = std::upper_bound(m_headers.cbegin(), m_headers.cend(), line);
        if (above != m_headers.cbegin() && *(above - 1) != lastHeader) {
            lastHeader = *(above - 1);
            appendForParser(text, lastHeader);
            text += '\n';
        }
        appendForParser(text, line);
        text += '\n';
    }
    return text;
}

const IniParser& SettingsText::parsed() const {
    if (!m_parsed)
        m_parsed = std::make_shared<const IniParser>(parserText());
    return *m_parsed;
}

std::optional<QString> SettingsText::value(const QString& section, const QString& key) const {
    const int id = sectionId(section);
    if (id < 0)
        return std::nullopt;
    // No line of the section may name the key: nothing for the parser to read.
    const KeyLines candidates = linesHashed(id, key);
    if (candidates.first == candidates.second)
        return std::nullopt;
    const std::optional<QString> stored = IniParser(parserTextOf(candidates)).stored(section, key);
    if (!stored)
        return std::nullopt;
    return valueFromStored(*stored);
}

QList<SettingsEntry> SettingsText::entries() const {
    QList<SettingsEntry> entries = parsed().entries();
    for (SettingsEntry& e : entries)
        e.value = valueFromStored(e.value);
    return entries;
}

// The units of a line's break, read without decoding it (it is CR, LF or CR LF).
char16_t SettingsText::breakUnit(qsizetype line, qsizetype unit) const {
    const LineSpan& span = m_lines.lines[line];
    const qsizetype unitSize = unitSizeOf(span);
    if ((unit + 1) * unitSize > span.breakLength)
        return 0;
    const char* at = m_bytes.constData() + span.start + span.length + unit * unitSize;
    return unitSize == 1 ? static_cast<unsigned char>(*at) : utf16UnitAt(at, span.encoding);
}

bool SettingsText::endsWithLoneCr(qsizetype line) const {
    return breakUnit(line, 0) == u'\r' && breakUnit(line, 1) == 0;
}

// Whether the line is an empty one ending in LF: what a lone CR must not precede.
bool SettingsText::startsWithLineFeed(qsizetype line) const {
    return line >= 0 && line < m_lines.lines.size() && m_lines.lines[line].length == 0 &&
           breakUnit(line, 0) == u'\n';
}

QByteArray SettingsText::encodedLine(const QString& text) const {
    return encodeText(text, m_lines.encoding);
}

QByteArray SavedText::bytes() const {
    QByteArray joined;
    qsizetype size = 0;
    for (const QByteArray& piece : m_pieces)
        size += piece.size();
    joined.reserve(size);
    for (const QByteArray& piece : m_pieces)
        joined += piece;
    return joined;
}

void SavedText::appendOriginal(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return;
    m_pieces.append(QByteArray::fromRawData(bytes.data(), bytes.size()));
    m_lastIsNew = false;
}

void SavedText::appendNew(const QByteArray& bytes) {
    if (m_lastIsNew)
        m_pieces.last() += bytes;
    else
        m_pieces.append(bytes);
    m_lastIsNew = true;
}

SavedText SettingsText::withValues(const QList<Assignment>& assignments) const {
    // The last value of each key, in the order the keys were first written.
    QList<Assignment> writes;
    writes.reserve(assignments.size());
    QHash<std::pair<Name, Name>, qsizetype> written;
    written.reserve(assignments.size());
    for (const Assignment& a : assignments) {
        const auto name = std::make_pair(Name{a.section}, Name{a.key});
        const qsizetype at = written.value(name, -1);
        if (at >= 0) {
            writes[at].value = a.value;
        } else {
            written.insert(name, writes.size());
            writes.append(a);
        }
    }

    // What the save does at a line (-1: before the first): the line's new
    // bytes without the line break, or a line it adds after it.
    struct Edit {
        qsizetype line = -1;
        bool adds = false;
        qsizetype order = 0; // among the edits, as written
        QByteArray bytes;
    };
    std::vector<Edit> edits;
    edits.reserve(size_t(writes.size()));
    // The sections new to the file in the order first written, and their keys'
    // lines. A save names few of them: they are looked up one by one.
    QList<QString> newSections;
    struct NewKey {
        qsizetype section = 0; // in newSections
        qsizetype order = 0;   // as written
        QByteArray line;
    };
    std::vector<NewKey> newKeys;
    for (const Assignment& w : writes) {
        const QString stored = storedForm(w.value);
        const int id = sectionId(w.section);
        if (id < 0) {
            const qsizetype at =
                std::find_if(newSections.cbegin(), newSections.cend(),
                             [&](const QString& s) { return Name{s} == Name{w.section}; }) -
                newSections.cbegin();
            if (at == newSections.size())
                newSections.append(w.section);
            newKeys.push_back(
                {at, qsizetype(newKeys.size()), encodedLine(joined({w.key, u"=", stored}))});
            continue;
        }
        const Section& section = m_sections[id];
        const qsizetype line = firstKeyLine(id, w.key);
        if (line < 0) {
            edits.push_back({section.lastContent, true, qsizetype(edits.size()),
                             encodedLine(joined({w.key, u"=", stored}))});
            continue;
        }
        if (valueOf(line) == readBackForm(w.value))
            continue;
        edits.push_back({line, false, qsizetype(edits.size()), changedLine(line, stored)});
    }
    // By line; a line's own change before the lines added after it, which keep
    // the order they were written in.
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return std::tie(a.line, a.adds, a.order) < std::tie(b.line, b.adds, b.order);
    });
    // Each new section's keys together, in the order written.
    std::sort(newKeys.begin(), newKeys.end(), [](const NewKey& a, const NewKey& b) {
        return std::tie(a.section, a.order) < std::tie(b.section, b.order);
    });

    // The lines a save adds end as the file's first line does. A lone CR
    // followed by a LF would read as one line break, so next to each other they
    // become CR LF (a CR after a CR ends an empty line).
    const QString& fileBreak = m_lines.lineBreak;
    const QByteArray encodedBreak = encodedLine(fileBreak);
    SavedText out;
    out.m_changes = !edits.empty() || !newSections.isEmpty();
    // A run of the file and a new piece for each edit; the marks, the last
    // run, the new sections, the end and a line break after the marks.
    out.m_pieces.reserve(qsizetype(2 * edits.size()) + 5);
    out.appendOriginal(QByteArrayView(m_bytes).first(m_lines.prefixLength));
    bool open = false;      // the last line written has no line break yet
    bool afterCr = false;   // the last line written ends with a lone CR
    bool afterBlank = true; // no line yet, or the last one is empty
    const auto addLine = [&](const QByteArray& line, bool lineFeedNext) {
        if (open)
            out.appendNew(encodedBreak);
        out.appendNew(line);
        QString lineBreak = fileBreak;
        if (line.isEmpty() && afterCr && lineBreak == u"\n")
            lineBreak = QStringLiteral("\r");
        if (lineBreak == u"\r" && lineFeedNext)
            lineBreak = QStringLiteral("\r\n");
        out.appendNew(lineBreak == fileBreak ? encodedBreak : encodedLine(lineBreak));
        open = false;
        afterCr = lineBreak == u"\r";
        afterBlank = line.isEmpty();
    };

    // The lines between the changed ones and those lines are added after stay
    // as they are, in one piece each.
    qsizetype copied = m_lines.prefixLength; // bytes of the file already in `out`
    const auto copyUpTo = [&](qsizetype end) {
        out.appendOriginal(QByteArrayView(m_bytes).sliced(copied, end - copied));
        copied = end;
    };
    const auto passLine = [&](qsizetype i) {
        open = m_lines.lines[i].breakLength == 0;
        afterCr = endsWithLoneCr(i);
        afterBlank = m_info[i].kind == Kind::Blank;
    };
    for (size_t k = 0; k < edits.size(); ++k) {
        const Edit& edit = edits[k];
        const qsizetype i = edit.line;
        if (i >= 0 && (k == 0 || edits[k - 1].line != i)) {
            const LineSpan& span = m_lines.lines[i];
            if (!edit.adds) {
                copyUpTo(span.start);
                out.appendNew(edit.bytes);
                copied = span.start + span.length;
            }
            copyUpTo(span.start + span.length + span.breakLength);
            passLine(i);
        }
        if (edit.adds) {
            const bool lastAdded = k + 1 == edits.size() || edits[k + 1].line != i;
            addLine(edit.bytes, lastAdded && startsWithLineFeed(i + 1));
        }
    }
    const qsizetype textEnd = m_bytes.size() - m_lines.suffixLength;
    if (copied < textEnd) {
        copyUpTo(textEnd);
        passLine(m_lines.lines.size() - 1);
    }
    auto newKey = newKeys.cbegin();
    for (qsizetype n = 0; n < newSections.size(); ++n) {
        if (!afterBlank)
            addLine({}, false);
        addLine(encodedLine(joined({u"[", newSections[n], u"]"})), false);
        for (; newKey != newKeys.cend() && newKey->section == n; ++newKey)
            addLine(newKey->line, false);
    }
    out.appendOriginal(QByteArrayView(m_bytes).last(m_lines.suffixLength));
    // Text that starts right after the file's byte-order marks with bytes that
    // read as one more (a key named with a U+FEFF first) would be taken for a
    // mark by the next read and lost: a line break goes before it.
    if (out.m_changes) {
        const qsizetype prefix = m_lines.prefixLength;
        QByteArray head;
        head.reserve(prefix + 3);
        for (qsizetype k = 0; k < out.m_pieces.size() && head.size() < prefix + 3; ++k)
            head +=
                QByteArrayView(out.m_pieces[k])
                    .first(std::min<qsizetype>(prefix + 3 - head.size(), out.m_pieces[k].size()));
        // The marks are the first piece when there are any.
        if (byteOrderMarksLength(head) > prefix)
            out.m_pieces.insert(prefix > 0 ? 1 : 0, encodedBreak);
    }
    return out;
}

} // namespace config
