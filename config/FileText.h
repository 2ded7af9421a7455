// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes of the settings file cut into lines, each read in its own encoding, and new lines written
// in the file's.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <string>

namespace config {

enum class FileEncoding { Utf8, Windows1251, Utf16LE, Utf16BE };

// One line of the file: where its bytes are, how long its line break is, and
// how its bytes read.
struct LineSpan {
    qsizetype start = 0;
    qsizetype length = 0; // without the line break
    qsizetype breakLength = 0;
    FileEncoding encoding = FileEncoding::Utf8;
};

// A file's bytes as lines. A UTF-16 byte-order mark (either order) makes the
// whole file UTF-16; otherwise each line is read on its own, as UTF-8 where it
// is valid UTF-8, else as Windows-1251 (how Windows programs on a Russian
// system save it). Lines end at CR, LF or CR LF.
struct TextLines {
    // The byte-order marks at the start (a file saved twice with one may have
    // two): kept as they are, never text.
    qsizetype prefixLength = 0;
    // A last byte of a UTF-16 file that is half a character (the file was cut
    // short): never text, kept at the very end.
    qsizetype suffixLength = 0;
    // What the lines a save writes are written in: UTF-16 in a UTF-16 file;
    // Windows-1251 in a file whose lines beyond ASCII are all Windows-1251;
    // otherwise (a byte-order mark, a UTF-8 line beyond ASCII, nothing beyond
    // ASCII) UTF-8.
    FileEncoding encoding = FileEncoding::Utf8;
    // The file's first line break, for the lines a save adds.
    QString lineBreak = QStringLiteral("\n");
    QList<LineSpan> lines;
};

TextLines splitLines(QByteArrayView bytes);
// The UTF-16 code unit (little- or big-endian) whose two bytes start at `at`.
char16_t utf16UnitAt(const char* at, FileEncoding encoding);
// The length of the byte-order marks the bytes start with: TextLines::prefixLength.
qsizetype byteOrderMarksLength(QByteArrayView bytes);

// A line's text (or any part of it between two of its ASCII characters). NUL
// reads as U+FFFD, so that nothing after it is lost, and so does half a UTF-16
// character; a U+FEFF is text.
QString decodeLine(QByteArrayView bytes, FileEncoding encoding);

// Appends that text as UTF-8 (the INI parser's input) without making the
// QString first: decodeLine(bytes, encoding).toUtf8(), byte for byte.
void appendUtf8(std::string& out, QByteArrayView bytes, FileEncoding encoding);

// Text in the given encoding. A character that Windows-1251 has no byte for
// raises EncodingError naming it.
QByteArray encodeText(QStringView text, FileEncoding encoding);

// The file's whole text, its lines each read as above, with their line breaks.
QString decodeFileText(QByteArrayView bytes);

// The Windows-1251 reading of every byte (0x98, unassigned, maps to U+0098).
QString decodeWindows1251(QByteArrayView bytes);

} // namespace config
