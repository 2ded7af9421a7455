// SPDX-License-Identifier: GPL-3.0-or-later
// Messages of the program's own error types.
#include "config/Errors.h"

namespace config {

ConversionError::ConversionError(const QString& text)
    : AppError(QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value")),
      m_text(text) {}

WriteError::WriteError(const QString& path)
    : AppError(QStringLiteral("Unable to write to ") + path) {}

EncodingError::EncodingError(char32_t character, const QString& encoding)
    : AppError(QStringLiteral("Символ «%1» (U+%2) нельзя записать в файл настроек в кодировке %3")
                   .arg(QString::fromUcs4(&character, 1),
                        QString::number(character, 16).toUpper().rightJustified(4, u'0'),
                        encoding)),
      m_character(character) {}

} // namespace config
