// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1251 as a Windows program writes and reads it, for the characters the tests use; kept
// apart from the console's own tables so that a test can tell them wrong.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <utility>

namespace testsupport {

namespace windows1251 {

// Beyond ASCII and the letters А..я (0xC0..0xFF).
constexpr std::array<std::pair<char16_t, unsigned char>, 5> kOthers{{
    {0x0401, 0xA8}, // Ё
    {0x0451, 0xB8}, // ё
    {0x2116, 0xB9}, // №
    {0x00AB, 0xAB}, // «
    {0x00BB, 0xBB}, // »
}};

} // namespace windows1251

// A character the table does not know becomes '?', which no test expects.
inline QByteArray toWindows1251(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        char byte = '?';
        if (u < 0x80)
            byte = char(u);
        else if (u >= 0x0410 && u <= 0x044F)
            byte = char(0xC0 + (u - 0x0410));
        for (const auto& [character, code] : windows1251::kOthers) {
            if (u == character)
                byte = char(code);
        }
        bytes.append(byte);
    }
    return bytes;
}

// A byte the table does not know reads as U+FFFD.
inline QString fromWindows1251(const QByteArray& bytes) {
    QString text;
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        QChar c(QChar::ReplacementCharacter);
        if (b < 0x80)
            c = QChar(b);
        else if (b >= 0xC0)
            c = QChar(char16_t(0x0410 + (b - 0xC0)));
        for (const auto& [character, code] : windows1251::kOthers) {
            if (b == code)
                c = QChar(character);
        }
        text += c;
    }
    return text;
}

} // namespace testsupport
