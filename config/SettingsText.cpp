// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's lines read as sections and keys, and the bytes a save makes of them.
#include "config/SettingsText.h"

#include <QSet>

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

bool isQuoted(const QString& text) {
    return text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
}

QString storedForm(const QString& value) {
    QString stored = readBackForm(value);
    if (!stored.isEmpty() &&
        (isBlank(stored.front().unicode()) || isBlank(stored.back().unicode()) || isQuoted(stored)))
        return u'"' + stored + u'"';
    return stored;
}

QString valueFromStored(const QString& stored) {
    return isQuoted(stored) ? stored.mid(1, stored.size() - 2) : stored;
}

QString folded(const QString& name) {
    return name.toCaseFolded();
}

// A byte-order mark, or bytes that would read as one, at the start of a file
// without one: the next read would take them for the mark and lose them.
bool opensLikeAMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
           bytes.startsWith("\xFE\xFF");
}

} // namespace

QString readBackForm(QString value) {
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

SettingsText::SettingsText() : m_sections{Section{}}, m_ids{{QString(), 0}} {}

SettingsText::SettingsText(QByteArray bytes)
    : m_bytes(std::move(bytes)), m_lines(splitLines(m_bytes)), m_sections{Section{}},
      m_ids{{QString(), 0}} {
    m_info.resize(m_lines.lines.size());
    int section = 0;
    for (qsizetype i = 0; i < m_lines.lines.size(); ++i) {
        const Shape shape = shapeOf(i);
        if (shape.kind == Kind::Header) {
            const QString name = textOf(i, shape.nameFrom, shape.nameTo);
            section = m_ids.value(folded(name), -1);
            if (section < 0) {
                section = int(m_sections.size());
                m_sections.append(Section{name, {}, -1});
                m_ids.insert(folded(name), section);
            }
        }
        m_info[i] = Line{shape.kind, section};
        if (shape.kind == Kind::Blank || shape.kind == Kind::Comment)
            continue;
        Section& current = m_sections[section];
        current.lastContent = i;
        if (shape.kind != Kind::Key)
            continue;
        const QString key = folded(textOf(i, shape.nameFrom, shape.nameTo));
        const auto first = current.keys.constFind(key);
        if (first == current.keys.cend())
            current.keys.insert(key, i);
        else
            m_repeats[first.value()].append(i);
    }
}

SettingsText::Shape SettingsText::shapeOf(qsizetype line) const {
    const LineSpan& span = m_lines.lines[line];
    const bool utf16 =
        span.encoding == FileEncoding::Utf16LE || span.encoding == FileEncoding::Utf16BE;
    const char* bytes = m_bytes.constData() + span.start;
    const auto unit = [&](qsizetype i) -> char16_t {
        if (!utf16)
            return static_cast<unsigned char>(bytes[i]);
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return span.encoding == FileEncoding::Utf16LE ? char16_t(a | b << 8)
                                                      : char16_t(a << 8 | b);
    };
    const auto trimmed = [&](qsizetype& from, qsizetype& to) {
        while (from < to && isBlank(unit(from)))
            ++from;
        while (to > from && isBlank(unit(to - 1)))
            --to;
    };
    const auto find = [&](char16_t c, qsizetype from, qsizetype to) {
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
        if (close >= 0) {
            shape.kind = Kind::Header;
            shape.nameFrom = from + 1;
            shape.nameTo = close;
            trimmed(shape.nameFrom, shape.nameTo);
        }
        return shape;
    }
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
    const qsizetype unitSize =
        span.encoding == FileEncoding::Utf16LE || span.encoding == FileEncoding::Utf16BE ? 2 : 1;
    return decodeLine(QByteArrayView(m_bytes).sliced(span.start + from * unitSize,
                                                     (to - from) * unitSize),
                      span.encoding);
}

QString SettingsText::valueOf(qsizetype line) const {
    const Shape shape = shapeOf(line);
    return valueFromStored(textOf(line, shape.valueFrom, shape.valueTo));
}

QString SettingsText::keyOf(qsizetype line) const {
    const Shape shape = shapeOf(line);
    return textOf(line, shape.nameFrom, shape.nameTo);
}

int SettingsText::sectionId(const QString& name) const {
    return m_ids.value(folded(name), -1);
}

std::optional<QString> SettingsText::value(const QString& section, const QString& key) const {
    const int id = sectionId(section);
    if (id < 0)
        return std::nullopt;
    const qsizetype line = m_sections[id].keys.value(folded(key), -1);
    if (line < 0)
        return std::nullopt;
    return valueOf(line);
}

QByteArray SettingsText::encodedLine(const QString& text) const {
    return encodeText(text, m_lines.encoding);
}

QByteArray SettingsText::withValues(const QList<Assignment>& assignments) const {
    // The last value of each key, in the order the keys were first written.
    QList<Assignment> writes;
    QHash<std::pair<QString, QString>, qsizetype> written;
    for (const Assignment& a : assignments) {
        const auto name = std::make_pair(folded(a.section), folded(a.key));
        const qsizetype at = written.value(name, -1);
        if (at >= 0) {
            writes[at].value = a.value;
        } else {
            written.insert(name, writes.size());
            writes.append(a);
        }
    }

    QHash<qsizetype, QByteArray> changed; // line -> its new bytes, without the line break
    QSet<qsizetype> dropped;              // later repeats of a changed key
    QHash<qsizetype, QList<QByteArray>> added; // after line (-1: before the first) -> new lines
    QList<std::pair<QString, QList<QByteArray>>> newSections;
    QHash<QString, qsizetype> newSectionAt;
    for (const Assignment& w : writes) {
        const QString stored = storedForm(w.value);
        const int id = sectionId(w.section);
        if (id < 0) {
            const QString name = folded(w.section);
            qsizetype at = newSectionAt.value(name, -1);
            if (at < 0) {
                at = newSections.size();
                newSectionAt.insert(name, at);
                newSections.append({w.section, {}});
            }
            newSections[at].second.append(encodedLine(w.key + u'=' + stored));
            continue;
        }
        const Section& section = m_sections[id];
        const qsizetype line = section.keys.value(folded(w.key), -1);
        if (line < 0) {
            added[section.lastContent].append(encodedLine(w.key + u'=' + stored));
            continue;
        }
        if (valueOf(line) == readBackForm(w.value))
            continue;
        changed.insert(line, encodedLine(keyOf(line) + u'=' + stored));
        for (const qsizetype repeat : m_repeats.value(line))
            dropped.insert(repeat);
    }

    const QByteArray lineBreak = encodedLine(m_lines.lineBreak);
    QByteArray out;
    out.reserve(m_bytes.size() + 64 * (writes.size() + 1));
    out += QByteArrayView(m_bytes).first(m_lines.prefixLength);
    bool open = false;       // the last line written has no line break yet
    bool afterBlank = true;  // no line yet, or the last one is empty
    const auto addLine = [&](const QByteArray& line) {
        if (open)
            out += lineBreak;
        out += line;
        out += lineBreak;
        open = false;
        afterBlank = line.isEmpty();
    };
    for (const QByteArray& line : added.value(-1))
        addLine(line);
    for (qsizetype i = 0; i < m_lines.lines.size(); ++i) {
        if (!dropped.contains(i)) {
            const LineSpan& span = m_lines.lines[i];
            const auto own = changed.constFind(i);
            if (own != changed.cend())
                out += own.value();
            else
                out += QByteArrayView(m_bytes).sliced(span.start, span.length);
            out += QByteArrayView(m_bytes).sliced(span.start + span.length, span.breakLength);
            open = span.breakLength == 0;
            afterBlank = m_info[i].kind == Kind::Blank;
        }
        for (const QByteArray& line : added.value(i))
            addLine(line);
    }
    for (const auto& [name, keys] : newSections) {
        if (!afterBlank)
            addLine({});
        addLine(encodedLine(u'[' + name + u']'));
        for (const QByteArray& line : keys)
            addLine(line);
    }
    if (m_lines.prefixLength == 0 && opensLikeAMark(out))
        out.prepend(lineBreak);
    return out;
}

} // namespace config
