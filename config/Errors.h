// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own error types: what a handler may raise and the error box shows.
#pragma once

#include <QString>

#include <exception>

namespace config {

// Base of every error that a handler may end with. The text is shown to the
// operator as it stands (the box adds the closing full stop).
class AppError : public std::exception {
public:
    explicit AppError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A text that does not convert to a whole number: "'%s' is not a valid integer value".
class ConversionError : public AppError {
public:
    explicit ConversionError(const QString& text);
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// A write that the file system refused: "Unable to write to %s" with the full path.
class WriteError : public AppError {
public:
    explicit WriteError(const QString& path);
};

// A character the settings file's encoding has no bytes for: the save that
// would write it is refused, naming it.
class EncodingError : public AppError {
public:
    EncodingError(char32_t character, const QString& encoding);
    char32_t character() const { return m_character; }

private:
    char32_t m_character;
};

} // namespace config
