// SPDX-License-Identifier: GPL-3.0-or-later
// What both settings fuzz targets make of their input: the file as another tool saved it, the
// names to read and write, and a second opinion on which lines and names the file holds.
#pragma once

#include "config/FileText.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace fuzzinput {

using Name = std::pair<QString, QString>; // section, key

constexpr qsizetype kMaxFoundNames = 64;
constexpr qsizetype kMaxValueLength = 48;

inline const QList<Name>& knownNames() {
    static const QList<Name> known = [] {
        QList<Name> names;
        for (const char* key : {"Comport", "BaudRate"})
            names.append(Name(QStringLiteral("Connect"), QString::fromLatin1(key)));
        for (const char* key : {"EditP1", "EditP2", "EditpGain", "EditiGain", "EditdGain",
                                "EditTpid", "EditpBH", "EditkBH", "Correct1", "Correct2", "Hex",
                                "VisibleProfil", "EnableFan", "TempEnableFan", "AutoStart"})
            names.append(Name(QStringLiteral("Global"), QString::fromLatin1(key)));
        for (int profile = 0; profile < 10; ++profile) {
            for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3", "Name"})
                names.append(
                    Name(QStringLiteral("Profil%1").arg(profile), QString::fromLatin1(key)));
        }
        names.append(Name(QStringLiteral("Record"), QStringLiteral("AutoSave")));
        names.append(Name(QString(), QStringLiteral("orphan")));
        return names;
    }();
    return known;
}

inline bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

inline QStringView trimBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// A line's key name, when the line is "key=value" (not a comment or header); else null.
inline QString keyOfLine(QStringView line) {
    const QStringView t = trimBlanks(line);
    if (t.isEmpty() || t.front() == u';' || t.front() == u'#' || t.front() == u'[')
        return {};
    const qsizetype equals = t.indexOf(u'=');
    return equals > 0 ? trimBlanks(t.first(equals)).toString() : QString();
}

// Sections and keys named in the text itself, found line by line.
inline QList<Name> namesInText(const QString& text) {
    QList<Name> names;
    QString section;
    qsizetype start = 0;
    while (start < text.size() && names.size() < kMaxFoundNames) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = QStringView(text).sliced(start, end - start);
        start = end + 1;
        const QStringView t = trimBlanks(line);
        if (t.startsWith(u'[')) {
            const qsizetype close = t.indexOf(u']');
            if (close > 0)
                section = trimBlanks(t.sliced(1, close - 1)).toString();
            continue;
        }
        QString key = keyOfLine(line);
        if (!key.isNull())
            names.append({section, std::move(key)});
    }
    return names;
}

inline bool sameName(const Name& a, const Name& b) {
    return a.first.compare(b.first, Qt::CaseInsensitive) == 0 &&
           a.second.compare(b.second, Qt::CaseInsensitive) == 0;
}

// The byte of each UTF-16 unit Windows-1251 has, from the decoding table; -1
// where it has none.
inline const std::array<qint16, 0x10000>& windows1251Bytes() {
    static const std::array<qint16, 0x10000> table = [] {
        std::array<qint16, 0x10000> t;
        t.fill(-1);
        for (int byte = 0; byte <= 0xFF; ++byte)
            t[config::decodeWindows1251(QByteArray(1, char(byte))).at(0).unicode()] = qint16(byte);
        return t;
    }();
    return table;
}

inline bool holdsInWindows1251(const QString& text) {
    for (const QChar c : text) {
        if (windows1251Bytes()[c.unicode()] < 0)
            return false;
    }
    return true;
}

// Characters Windows-1251 lacks become '?'.
inline QByteArray toWindows1251(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qint16 byte = windows1251Bytes()[text[i].unicode()];
        bytes[i] = byte < 0 ? '?' : char(byte);
    }
    return bytes;
}

// How the input's bytes become the file: as they are, or their text saved by
// another tool (UTF-16 either way with its mark, UTF-8 with its mark, every
// other line in Windows-1251, or all of it in Windows-1251 with CR LF).
enum class Saved { AsIs, Utf16LE, Utf16BE, Utf8Mark, AlternateLines1251, Windows1251, Count };

inline QByteArray savedAs(Saved saved, const QByteArray& input) {
    if (saved == Saved::AsIs || saved == Saved::Count)
        return input;
    const QString text = config::decodeFileText(input);
    switch (saved) {
    case Saved::Utf16LE:
        return "\xFF\xFE" + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case Saved::Utf16BE:
        return "\xFE\xFF" + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    case Saved::Utf8Mark:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Saved::AlternateLines1251: {
        QByteArray bytes;
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                bytes += '\n';
            bytes += i % 2 ? toWindows1251(lines[i]) : lines[i].toUtf8();
        }
        return bytes;
    }
    case Saved::Windows1251:
        return toWindows1251(QString(text)
                                 .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                 .replace(u'\n', QStringLiteral("\r\n")));
    default:
        return input;
    }
}

// The input as the targets read it: a control byte (how the file was saved and
// what to do with it), two bytes of a number, a byte choosing the first key;
// the rest is the file, and its first bytes give the values written.
struct Input {
    std::uint8_t control = 0;
    int number = 0;
    std::uint8_t choice = 0;
    QByteArray rest;

    static constexpr std::size_t kHeader = 4;

    Input(const std::uint8_t* data, std::size_t size) {
        control = size > 0 ? data[0] : 0;
        number = size > 2 ? data[1] | data[2] << 8 : 0;
        choice = size > 3 ? data[3] : 0;
        if (size > kHeader)
            rest = QByteArray(reinterpret_cast<const char*>(data) + kHeader,
                              qsizetype(size - kHeader));
    }

    Saved saved() const { return Saved(control % int(Saved::Count)); }

    // The w-th value written: a piece of the input read as UTF-8.
    QString value(int w) const {
        return QString::fromUtf8(rest.mid(w * kMaxValueLength, kMaxValueLength));
    }
};

} // namespace fuzzinput
