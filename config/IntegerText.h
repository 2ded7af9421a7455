// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion of the operator's text to whole numbers, shared by every dialog that saves numbers.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace config {

// The rule for text the operator typed: leading spaces are skipped, then an
// optional + or -, then either decimal digits that fit a signed 32-bit integer,
// or at most eight hexadecimal digits after "$", "x", "X", "0x" or "0X" read as a
// 32-bit two's-complement pattern. Nothing may follow the digits.
std::optional<std::int32_t> tryTextToInt(const QString& text);

// As tryTextToInt, but a failure raises ConversionError naming the text.
std::int32_t textToInt(const QString& text);

// The 64-bit form of the same rule (decimal within signed 64 bits, at most
// sixteen hexadecimal digits); raises ConversionError on failure.
std::int64_t textToInt64(const QString& text);

// How a stored integer value reads: a leading "0x"/"0X" (on a text longer than
// two characters) becomes "$"; then decimal digits with an optional sign, or at
// most eight hexadecimal digits after a leading "$". Anything else (blanks, an
// "x" prefix, a sign before a hex prefix) is nullopt, and the caller falls back
// to its default.
std::optional<std::int32_t> parseStoredInteger(const QString& text);

} // namespace config
