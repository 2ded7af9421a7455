// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes of the settings file cut into lines, each read in its own encoding; new lines in the
// file's.
#include "config/FileText.h"

#include "config/Errors.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cstring>

namespace config {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kByteOrderMark = 0xFEFF;

// Upper half of Windows-1251; the lower half is ASCII.
constexpr std::array<char16_t, 128> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, //
};

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");
constexpr QByteArrayView kUtf16LEBom("\xFF\xFE");
constexpr QByteArrayView kUtf16BEBom("\xFE\xFF");

char16_t unitAt(QByteArrayView bytes, qsizetype at, FileEncoding encoding) {
    return utf16UnitAt(bytes.data() + at, encoding);
}

// Eight bytes at a time: large files are mostly ASCII.
bool isAscii(QByteArrayView bytes) {
    constexpr quint64 kHighBits = 0x8080808080808080ULL;
    const char* data = bytes.data();
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 word = 0;
        std::memcpy(&word, data + i, sizeof word);
        if (word & kHighBits)
            return false;
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    }
    return true;
}

// The next CR or LF byte at or after a position, found by memchr (which keeps
// a file of many lines linear: each of the two is looked for again only once passed).
class ByteBreaks {
public:
    ByteBreaks(QByteArrayView bytes, qsizetype end) : m_data(bytes.data()), m_end(end) {}

    qsizetype next(qsizetype at) {
        if (m_lf < at)
            m_lf = find('\n', at);
        if (m_cr < at)
            m_cr = find('\r', at);
        return std::min(m_lf, m_cr);
    }

private:
    qsizetype find(char c, qsizetype at) const {
        const void* found = at < m_end ? std::memchr(m_data + at, c, size_t(m_end - at)) : nullptr;
        return found ? static_cast<const char*>(found) - m_data : m_end;
    }

    const char* m_data;
    qsizetype m_end;
    qsizetype m_lf = -1;
    qsizetype m_cr = -1;
};

// Cuts the bytes from `from` to `end` into lines of units of `unitSize` bytes;
// `unit` gives the unit at a byte offset, `nextBreak` the next CR or LF unit
// at or after one (or `end`).
template <typename Unit, typename NextBreak>
void cutLines(qsizetype from, qsizetype end, qsizetype unitSize, const Unit& unit,
              NextBreak&& nextBreak, FileEncoding encoding, QList<LineSpan>& lines) {
    qsizetype start = from;
    while (start < end) {
        const qsizetype at = nextBreak(start);
        if (at >= end)
            break;
        qsizetype breakLength = unitSize;
        if (unit(at) == u'\r' && at + unitSize < end && unit(at + unitSize) == u'\n')
            breakLength += unitSize;
        lines.append(LineSpan{start, at - start, breakLength, encoding});
        start = at + breakLength;
    }
    if (start < end)
        lines.append(LineSpan{start, end - start, 0, encoding});
}

// A line's break (CR, LF or CR LF, in any of the encodings) as text.
QString breakText(QByteArrayView bytes, const LineSpan& line) {
    const bool utf16 =
        line.encoding == FileEncoding::Utf16LE || line.encoding == FileEncoding::Utf16BE;
    if (line.breakLength == (utf16 ? 4 : 2))
        return QStringLiteral("\r\n");
    const qsizetype at = line.start + line.length;
    const char16_t unit = utf16 ? unitAt(bytes, at, line.encoding) : char16_t(bytes[at]);
    return unit == u'\r' ? QStringLiteral("\r") : QStringLiteral("\n");
}

// Decodes the bytes with the decoder (stateless) straight onto the end of the text.
void appendWith(QStringDecoder& decoder, QString& text, QByteArrayView bytes) {
    const qsizetype from = text.size();
    text.resize(from + decoder.requiredSpace(bytes.size()));
    const QChar* end = decoder.appendToBuffer(text.data() + from, bytes);
    text.truncate(end - text.constData());
}

void appendUtf8Text(QString& text, QByteArrayView bytes) {
    if (isAscii(bytes)) {
        text.append(QLatin1StringView(bytes));
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    appendWith(utf8, text, bytes);
}

void appendUtf16Text(QString& text, QByteArrayView bytes, FileEncoding encoding) {
    QStringDecoder utf16(encoding == FileEncoding::Utf16LE ? QStringDecoder::Utf16LE
                                                           : QStringDecoder::Utf16BE,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const qsizetype from = text.size();
    appendWith(utf16, text, bytes);
    // Half a character (a surrogate without its other half) reads as U+FFFD, as
    // in UTF-8: it is no character, and no text could say it.
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar(kReplacement);
    }
}

void appendWindows1251(QString& text, QByteArrayView bytes) {
    const qsizetype from = text.size();
    text.resize(from + bytes.size());
    QChar* out = text.data() + from;
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        *out++ = byte < 0x80 ? QChar(byte) : QChar(kWindows1251High[byte - 0x80]);
    }
}

// The line's text onto the end of `text`, as decodeLine() reads it.
void appendDecoded(QString& text, QByteArrayView bytes, FileEncoding encoding) {
    const qsizetype from = text.size();
    switch (encoding) {
    case FileEncoding::Utf8:
        appendUtf8Text(text, bytes);
        break;
    case FileEncoding::Windows1251:
        appendWindows1251(text, bytes);
        break;
    case FileEncoding::Utf16LE:
    case FileEncoding::Utf16BE:
        appendUtf16Text(text, bytes, encoding);
        break;
    }
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text.at(i).isNull())
            text[i] = QChar(kReplacement);
    }
}

char windows1251Byte(char32_t c) {
    if (c < 0x80)
        return char(c);
    const auto found = std::find(kWindows1251High.begin(), kWindows1251High.end(), c);
    if (found == kWindows1251High.end())
        throw EncodingError(c, QStringLiteral("Windows-1251"));
    return char(0x80 + (found - kWindows1251High.begin()));
}

QByteArray windows1251Text(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        bytes += windows1251Byte(c);
    }
    return bytes;
}

} // namespace

char16_t utf16UnitAt(const char* at, FileEncoding encoding) {
    const auto first = static_cast<unsigned char>(at[0]);
    const auto second = static_cast<unsigned char>(at[1]);
    return encoding == FileEncoding::Utf16LE ? char16_t(first | second << 8)
                                             : char16_t(first << 8 | second);
}

QString decodeWindows1251(QByteArrayView bytes) {
    QString text;
    appendWindows1251(text, bytes);
    return text;
}

qsizetype byteOrderMarksLength(QByteArrayView bytes) {
    if (bytes.startsWith(kUtf16LEBom) || bytes.startsWith(kUtf16BEBom)) {
        const FileEncoding encoding =
            bytes.startsWith(kUtf16LEBom) ? FileEncoding::Utf16LE : FileEncoding::Utf16BE;
        qsizetype at = kUtf16LEBom.size();
        while (at + 1 < bytes.size() && unitAt(bytes, at, encoding) == kByteOrderMark)
            at += 2;
        return at;
    }
    qsizetype at = 0;
    while (bytes.sliced(at).startsWith(kUtf8Bom))
        at += kUtf8Bom.size();
    return at;
}

TextLines splitLines(QByteArrayView bytes) {
    TextLines text;
    text.prefixLength = byteOrderMarksLength(bytes);
    if (bytes.startsWith(kUtf16LEBom) || bytes.startsWith(kUtf16BEBom)) {
        const FileEncoding encoding =
            bytes.startsWith(kUtf16LEBom) ? FileEncoding::Utf16LE : FileEncoding::Utf16BE;
        text.encoding = encoding;
        const qsizetype at = text.prefixLength;
        text.suffixLength = (bytes.size() - at) % 2;
        const qsizetype end = bytes.size() - text.suffixLength;
        const auto unit = [&](qsizetype i) {
            return unitAt(bytes, i, encoding);
        };
        const auto nextBreak = [&](qsizetype i) {
            while (i < end && unit(i) != u'\n' && unit(i) != u'\r')
                i += 2;
            return i;
        };
        cutLines(at, end, 2, unit, nextBreak, encoding, text.lines);
    } else {
        const qsizetype at = text.prefixLength;
        text.lines.reserve(bytes.count('\n') + 1);
        ByteBreaks breaks(bytes, bytes.size());
        cutLines(
            at, bytes.size(), 1,
            [&](qsizetype i) { return char16_t(static_cast<unsigned char>(bytes[i])); },
            [&](qsizetype i) { return breaks.next(i); }, FileEncoding::Utf8, text.lines);
        // A file that is UTF-8 throughout is UTF-8 in every line; otherwise each line decides.
        if (!bytes.sliced(at).isValidUtf8()) {
            bool utf8BeyondAscii = false;
            bool windows1251 = false;
            for (LineSpan& line : text.lines) {
                const QByteArrayView lineBytes = bytes.sliced(line.start, line.length);
                if (isAscii(lineBytes))
                    continue;
                if (lineBytes.isValidUtf8()) {
                    utf8BeyondAscii = true;
                } else {
                    line.encoding = FileEncoding::Windows1251;
                    windows1251 = true;
                }
            }
            if (windows1251 && !utf8BeyondAscii && at == 0)
                text.encoding = FileEncoding::Windows1251;
        }
    }
    const auto firstBreak = std::find_if(text.lines.cbegin(), text.lines.cend(),
                                         [](const LineSpan& line) { return line.breakLength > 0; });
    if (firstBreak != text.lines.cend())
        text.lineBreak = breakText(bytes, *firstBreak);
    return text;
}

QString decodeLine(QByteArrayView bytes, FileEncoding encoding) {
    QString text;
    appendDecoded(text, bytes, encoding);
    return text;
}

void appendUtf8(std::string& out, QByteArrayView bytes, FileEncoding encoding) {
    const auto appendCharacter = [&out](char32_t c) { // never a surrogate here
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    };
    switch (encoding) {
    case FileEncoding::Utf8: {
        // A UTF-8 line is valid UTF-8: its bytes are the text, each NUL aside.
        const char* from = bytes.data();
        const char* const end = from + bytes.size();
        while (from < end) {
            const char* nul = static_cast<const char*>(std::memchr(from, 0, size_t(end - from)));
            out.append(from, nul ? nul : end);
            if (!nul)
                break;
            appendCharacter(kReplacement);
            from = nul + 1;
        }
        return;
    }
    case FileEncoding::Windows1251:
        for (const char b : bytes) {
            const auto byte = static_cast<unsigned char>(b);
            appendCharacter(byte == 0     ? kReplacement
                            : byte < 0x80 ? char16_t(byte)
                                          : kWindows1251High[byte - 0x80]);
        }
        return;
    case FileEncoding::Utf16LE:
    case FileEncoding::Utf16BE:
        // A pair of surrogates is one character; half a pair, NUL and a last
        // byte that is half a unit read as U+FFFD.
        for (qsizetype at = 0; at + 1 < bytes.size(); at += 2) {
            const char16_t unit = unitAt(bytes, at, encoding);
            if (QChar::isHighSurrogate(unit) && at + 3 < bytes.size() &&
                QChar::isLowSurrogate(unitAt(bytes, at + 2, encoding))) {
                appendCharacter(QChar::surrogateToUcs4(unit, unitAt(bytes, at + 2, encoding)));
                at += 2;
            } else {
                appendCharacter(unit == 0 || QChar::isSurrogate(unit) ? kReplacement : unit);
            }
        }
        if (bytes.size() % 2 != 0)
            appendCharacter(kReplacement);
        return;
    }
}

QByteArray encodeText(QStringView text, FileEncoding encoding) {
    switch (encoding) {
    case FileEncoding::Utf8:
        return text.toUtf8();
    case FileEncoding::Windows1251:
        return windows1251Text(text);
    case FileEncoding::Utf16LE:
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case FileEncoding::Utf16BE:
        return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    }
    return {};
}

QString decodeFileText(QByteArrayView bytes) {
    const TextLines lines = splitLines(bytes);
    const QByteArrayView body =
        bytes.sliced(lines.prefixLength, bytes.size() - lines.prefixLength - lines.suffixLength);
    // UTF-16, or UTF-8 throughout: every line reads the same decoded on its own or with the rest.
    if (lines.encoding != FileEncoding::Windows1251 &&
        std::all_of(lines.lines.cbegin(), lines.lines.cend(),
                    [&](const LineSpan& line) { return line.encoding == lines.encoding; }))
        return decodeLine(body, lines.encoding);
    QString text;
    text.reserve(body.size() + 1); // a decoder asks one place more than it fills
    for (const LineSpan& line : lines.lines) {
        appendDecoded(text, bytes.sliced(line.start, line.length), line.encoding);
        // A line break of an 8-bit file is ASCII.
        text += QLatin1StringView(bytes.sliced(line.start + line.length, line.breakLength));
    }
    return text;
}

} // namespace config
