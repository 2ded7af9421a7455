// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes of the settings file to text and back: per-line UTF-8 or Windows-1251, or UTF-16 by its
// mark.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace config {

// How a file's bytes were laid out, so that rewriting it keeps them: the same
// byte-order mark and encoding, the same line break, and the lines that were
// not UTF-8 with their own bytes.
struct TextForm {
    enum class Encoding { Utf8, Utf16LE, Utf16BE };
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false;
    QByteArray lineBreak = "\n";
    // Each line whose bytes are not the UTF-8 of its text (a Windows-1251
    // line, a NUL), keyed by the UTF-8 of the text it reads as.
    QHash<QByteArray, QByteArray> keptLines;
};

struct DecodedFile {
    QString text; // line breaks as in the file
    TextForm form;
};

// The file's text. A UTF-16 byte-order mark (either order) makes the whole
// file UTF-16; otherwise a leading UTF-8 mark is dropped and each line is read
// on its own: as UTF-8 where it is valid UTF-8, else as Windows-1251 (how older
// tools save it). NUL becomes U+FFFD so that nothing after it is lost.
DecodedFile decodeFile(const QByteArray& bytes);
QString decodeFileText(const QByteArray& bytes);

// Text in UTF-8 with '\n' line breaks, back to bytes in the form given: a line
// that reads as one of the form's kept lines is written with that line's own
// bytes, so a line nobody changed keeps its bytes.
QByteArray encodeFileText(const QByteArray& utf8Text, const TextForm& form);

// The Windows-1251 reading of every byte (0x98, unassigned, maps to U+0098).
QString decodeWindows1251(const QByteArray& bytes);

} // namespace config
