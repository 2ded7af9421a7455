// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any text through the four integer conversions, with the rules' invariants checked.
#include "config/Errors.h"
#include "config/IntegerText.h"
#include "fuzz/FuzzCheck.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace {

std::optional<std::int64_t> tryTextToInt64(const QString& text) {
    try {
        return config::textToInt64(text);
    } catch (const config::ConversionError& error) {
        FUZZ_CHECK(error.text() == text);
        return std::nullopt;
    }
}

// Spaces, then an optional sign, then ASCII digits only: what QString::toInt
// also reads, so it can serve as a second opinion.
bool isPlainDecimal(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    return true;
}

bool hasHexPrefixLetter(const QString& text) {
    return text.contains(u'$') || text.contains(u'x') || text.contains(u'X');
}

void checkText(const QString& text) {
    const std::optional<std::int32_t> value = config::tryTextToInt(text);

    try {
        const std::int32_t thrown = config::textToInt(text);
        FUZZ_CHECK(value && *value == thrown);
    } catch (const config::ConversionError& error) {
        FUZZ_CHECK(!value);
        FUZZ_CHECK(error.message() ==
                   u'\'' + text + QStringLiteral("' is not a valid integer value"));
    }

    // Stored text reads by a narrower rule: what it accepts reads as typed, and
    // a plain decimal without blanks reads the same under both.
    const std::optional<std::int32_t> stored = config::parseStoredInteger(text);
    if (stored)
        FUZZ_CHECK(stored == value);
    if (isPlainDecimal(text) && !text.startsWith(u' '))
        FUZZ_CHECK(stored == value);

    // Leading spaces are skipped, and nothing may follow the digits.
    FUZZ_CHECK(config::tryTextToInt(u' ' + text) == value);
    FUZZ_CHECK(!config::tryTextToInt(text + u' '));

    const std::optional<std::int64_t> wide = tryTextToInt64(text);
    if (value) {
        FUZZ_CHECK(config::tryTextToInt(QString::number(*value)) == value);
        const QString hex = u'$' + QString::number(static_cast<std::uint32_t>(*value), 16);
        FUZZ_CHECK(config::tryTextToInt(hex) == value);
        FUZZ_CHECK(wide && static_cast<std::int32_t>(*wide) == *value);
    }
    if (wide)
        FUZZ_CHECK(tryTextToInt64(QString::number(*wide)) == wide);

    if (!hasHexPrefixLetter(text) && wide) {
        const bool fits = *wide >= INT32_MIN && *wide <= INT32_MAX;
        FUZZ_CHECK(fits ? value && *value == *wide : !value);
    }

    if (isPlainDecimal(text)) {
        bool ok = false;
        const int reference = text.trimmed().toInt(&ok);
        FUZZ_CHECK(ok == value.has_value());
        if (ok)
            FUZZ_CHECK(*value == reference);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const auto length = static_cast<qsizetype>(size);
    checkText(QString::fromUtf8(bytes, length));
    checkText(QString::fromLatin1(bytes, length));
    return 0;
}
