// SPDX-License-Identifier: GPL-3.0-or-later
// Messages of the program's own error types.
#include "config/Errors.h"

namespace config {

ConversionError::ConversionError(const QString& text)
    : AppError(QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value")),
      m_text(text) {}

WriteError::WriteError(const QString& path)
    : AppError(QStringLiteral("Unable to write to ") + path) {}

} // namespace config
