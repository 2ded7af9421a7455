// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes of the settings file to text and back, line by line, keeping the bytes of foreign lines.
#include "config/FileText.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace config {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

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

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kUtf16LEBom("\xFF\xFE");
const QByteArray kUtf16BEBom("\xFE\xFF");

// A line's text: UTF-8 where its bytes are valid UTF-8, else Windows-1251. A
// U+FEFF at its start is text, not a mark.
QString decodeLine(QByteArrayView line) {
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(line);
    if (utf8.hasError())
        text = decodeWindows1251(line.toByteArray());
    text.replace(QChar(0), QChar(kReplacement));
    return text;
}

qsizetype lineEnd(QByteArrayView bytes, qsizetype from) {
    for (qsizetype i = from; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r')
            return i;
    }
    return bytes.size();
}

// Each line decoded on its own; lines whose bytes are not the UTF-8 of their
// text are remembered so that a rewrite can give them back.
QString decodeLines(QByteArrayView body, QHash<QByteArray, QByteArray>& kept) {
    if (!body.contains('\0')) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        QString whole = utf8.decode(body);
        if (!utf8.hasError())
            return whole;
    }
    QString text;
    text.reserve(body.size());
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = lineEnd(body, start);
        const QByteArrayView line = body.sliced(start, end - start);
        const QString lineText = decodeLine(line);
        const QByteArray asUtf8 = lineText.toUtf8();
        if (asUtf8 != line)
            kept.insert(asUtf8, line.toByteArray());
        text += lineText;
        if (end == body.size())
            break;
        const qsizetype breakLength =
            body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1;
        text += QLatin1StringView(body.sliced(end, breakLength));
        start = end + breakLength;
    }
    return text;
}

// A text that opens with a byte-order mark, or with bytes that would read as
// one, would lose them on the next read; an empty first line keeps them text.
bool opensLikeAMark(QByteArrayView body) {
    return body.startsWith(kUtf8Bom) || body.startsWith(kUtf16LEBom) ||
           body.startsWith(kUtf16BEBom);
}

QByteArray encodeUtf16(const QByteArray& utf8Text, const TextForm& form) {
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(utf8Text);
    if (form.lineBreak != "\n")
        text.replace(u'\n', QString::fromLatin1(form.lineBreak));
    if (text.startsWith(QChar(QChar::ByteOrderMark)))
        text.prepend(QString::fromLatin1(form.lineBreak));
    const bool little = form.encoding == TextForm::Encoding::Utf16LE;
    QStringEncoder encoder(little ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
    QByteArray bytes = form.byteOrderMark ? (little ? kUtf16LEBom : kUtf16BEBom) : QByteArray();
    bytes += encoder.encode(text);
    return bytes;
}

} // namespace

QString decodeWindows1251(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = byte < 0x80 ? QChar(byte) : QChar(kWindows1251High[byte - 0x80]);
    }
    return text;
}

DecodedFile decodeFile(const QByteArray& bytes) {
    DecodedFile file;
    TextForm& form = file.form;
    QByteArrayView body(bytes);
    if (body.startsWith(kUtf16LEBom) || body.startsWith(kUtf16BEBom)) {
        const bool little = body.startsWith(kUtf16LEBom);
        form.encoding = little ? TextForm::Encoding::Utf16LE : TextForm::Encoding::Utf16BE;
        form.byteOrderMark = true;
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless |
                                 QStringDecoder::Flag::ConvertInitialBom);
        file.text = utf16.decode(body.sliced(2));
        file.text.replace(QChar(0), QChar(kReplacement));
    } else {
        if (body.startsWith(kUtf8Bom)) {
            form.byteOrderMark = true;
            body = body.sliced(kUtf8Bom.size());
        }
        file.text = decodeLines(body, form.keptLines);
    }
    // A second mark (a file saved twice with one) is not text either.
    while (file.text.startsWith(QChar(QChar::ByteOrderMark)))
        file.text.remove(0, 1);
    const qsizetype firstBreak = file.text.indexOf(u'\n');
    if (firstBreak > 0 && file.text[firstBreak - 1] == u'\r')
        form.lineBreak = "\r\n";
    return file;
}

QString decodeFileText(const QByteArray& bytes) {
    return decodeFile(bytes).text;
}

QByteArray encodeFileText(const QByteArray& utf8Text, const TextForm& form) {
    if (form.encoding != TextForm::Encoding::Utf8)
        return encodeUtf16(utf8Text, form);
    QByteArray body;
    if (form.keptLines.isEmpty() && form.lineBreak == "\n") {
        body = utf8Text;
    } else {
        body.reserve(utf8Text.size() + utf8Text.size() / 8);
        const QList<QByteArray> lines = utf8Text.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                body += form.lineBreak;
            const auto kept = form.keptLines.constFind(lines[i]);
            body += kept == form.keptLines.cend() ? lines[i] : kept.value();
        }
    }
    if (opensLikeAMark(body))
        body.prepend(form.lineBreak);
    return form.byteOrderMark ? kUtf8Bom + body : body;
}

} // namespace config
