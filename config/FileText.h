// Bytes of the settings file to text and back: UTF-8 on disk, Windows-1251 accepted on read.
#pragma once

#include <QByteArray>
#include <QString>

namespace config {

// The file's text. A leading UTF-8 byte-order mark is dropped; bytes that are
// not valid UTF-8 are read as Windows-1251 (how older copies of the file were
// saved). NUL bytes become U+FFFD so that nothing after them is lost.
QString decodeFileText(const QByteArray& bytes);

// The Windows-1251 reading of every byte (0x98, unassigned, maps to U+0098).
QString decodeWindows1251(const QByteArray& bytes);

} // namespace config
