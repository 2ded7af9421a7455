// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion of the operator's text to whole numbers.
#include "config/IntegerText.h"

#include "config/Errors.h"

#include <limits>
#include <type_traits>

namespace config {

namespace {

constexpr int kHexDigits32 = 8;
constexpr int kHexDigits64 = 16;

int hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Position of the first hexadecimal digit when a hex prefix starts at `i`, or -1.
qsizetype hexDigitsStart(QStringView text, qsizetype i) {
    if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X'))
        return i + 1;
    if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
        return i + 2;
    return -1;
}

// One rule for both widths: hex digits are a two's-complement bit pattern of
// the full width, decimal digits must fit the signed range. Negation of a hex
// pattern wraps, as the pattern is bits rather than a magnitude.
template <typename Int> std::optional<Int> convert(QStringView text, int maxHexDigits) {
    using UInt = std::make_unsigned_t<Int>;
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    if (const qsizetype start = hexDigitsStart(text, i); start >= 0) {
        const qsizetype digits = text.size() - start;
        if (digits < 1 || digits > maxHexDigits)
            return std::nullopt;
        UInt pattern = 0;
        for (qsizetype k = start; k < text.size(); ++k) {
            const int v = hexDigitValue(text[k]);
            if (v < 0)
                return std::nullopt;
            pattern = static_cast<UInt>((pattern << 4) | static_cast<UInt>(v));
        }
        if (negative)
            pattern = static_cast<UInt>(UInt(0) - pattern);
        return static_cast<Int>(pattern);
    }

    if (i == text.size())
        return std::nullopt;
    const UInt limit = negative ? UInt(std::numeric_limits<Int>::max()) + 1
                                : UInt(std::numeric_limits<Int>::max());
    UInt value = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        const UInt digit = u - u'0';
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? static_cast<Int>(UInt(0) - value) : static_cast<Int>(value);
}

} // namespace

std::optional<std::int32_t> tryTextToInt(const QString& text) {
    return convert<std::int32_t>(text, kHexDigits32);
}

std::int32_t textToInt(const QString& text) {
    if (const auto value = tryTextToInt(text))
        return *value;
    throw ConversionError(text);
}

std::int64_t textToInt64(const QString& text) {
    if (const auto value = convert<std::int64_t>(text, kHexDigits64))
        return *value;
    throw ConversionError(text);
}

// The stored form is narrower than what the operator may type: no leading
// blanks, no "x" prefix, and hexadecimal only right after a leading "$".
std::optional<std::int32_t> parseStoredInteger(const QString& text) {
    const QString form =
        text.size() > 2 && text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
            ? QLatin1Char('$') + text.mid(2)
            : text;
    if (form.startsWith(u'$'))
        return convert<std::int32_t>(form, kHexDigits32);
    const qsizetype digitsStart = form.startsWith(u'+') || form.startsWith(u'-') ? 1 : 0;
    if (digitsStart == form.size())
        return std::nullopt;
    for (qsizetype i = digitsStart; i < form.size(); ++i) {
        if (form[i] < u'0' || form[i] > u'9')
            return std::nullopt;
    }
    return convert<std::int32_t>(form, kHexDigits32);
}

} // namespace config
