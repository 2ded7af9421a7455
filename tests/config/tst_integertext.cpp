// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion of typed and stored text to whole numbers, and the conversion error's text.
#include "config/Errors.h"
#include "config/IntegerText.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>

using config::ConversionError;

namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

QString conversionMessage(const QString& text) {
    return QLatin1Char('\'') + text + QStringLiteral("' is not a valid integer value");
}

} // namespace

class TestIntegerText : public QObject {
    Q_OBJECT

private slots:
    void convertsOperatorText_data();
    void convertsOperatorText();
    void converts64BitText_data();
    void converts64BitText();
    void typedAndStoredReads_data();
    void typedAndStoredReads();
    void decimalAndHexFormsOfAnyValueConvertBack();
    void writeErrorNamesThePath();
};

void TestIntegerText::convertsOperatorText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << "125" << true << 125;
    QTest::newRow("leading zeros") << "007" << true << 7;
    QTest::newRow("many leading zeros") << "000000000000000000042" << true << 42;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("minus zero") << "-0" << true << 0;
    QTest::newRow("minus") << "-5" << true << -5;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("leading spaces") << "  12" << true << 12;
    QTest::newRow("one leading space") << " 12" << true << 12;
    QTest::newRow("space before sign") << "  -12" << true << -12;
    QTest::newRow("max") << "2147483647" << true << kMax32;
    QTest::newRow("min") << "-2147483648" << true << kMin32;
    QTest::newRow("max + 1") << "2147483648" << false << 0;
    QTest::newRow("min - 1") << "-2147483649" << false << 0;
    QTest::newRow("far too big") << "99999999999" << false << 0;
    QTest::newRow("huge with zeros") << "00000000009999999999" << false << 0;

    QTest::newRow("0x") << "0x1E" << true << 30;
    QTest::newRow("0X") << "0X1E" << true << 30;
    QTest::newRow("dollar") << "$1E" << true << 30;
    QTest::newRow("x") << "x1E" << true << 30;
    QTest::newRow("X") << "X1E" << true << 30;
    QTest::newRow("lower-case digits") << "$ff" << true << 255;
    QTest::newRow("all ones") << "$FFFFFFFF" << true << -1;
    QTest::newRow("sign bit") << "$80000000" << true << kMin32;
    QTest::newRow("eight digits") << "$12345678" << true << 0x12345678;
    QTest::newRow("eight with zeros") << "$00000001" << true << 1;
    QTest::newRow("nine digits") << "$123456789" << false << 0;
    QTest::newRow("nine with zeros") << "$000000001" << false << 0;
    QTest::newRow("minus dollar") << "-$10" << true << -16;
    QTest::newRow("plus dollar") << "+$10" << true << 16;
    QTest::newRow("minus 0x") << "-0x10" << true << -16;
    QTest::newRow("minus all ones") << "-$FFFFFFFF" << true << 1;
    QTest::newRow("minus sign bit wraps") << "-$80000000" << true << kMin32;
    QTest::newRow("spaces then hex") << "  $1E" << true << 30;

    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("spaces only") << "   " << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("trailing space") << "12 " << false << 0;
    QTest::newRow("inner space") << "1 2" << false << 0;
    QTest::newRow("space after sign") << "- 5" << false << 0;
    QTest::newRow("tab is not a space") << "\t12" << false << 0;
    QTest::newRow("no-break space") << QStringLiteral("\u00A012") << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("plus only") << "+" << false << 0;
    QTest::newRow("two signs") << "+-5" << false << 0;
    QTest::newRow("double minus") << "--5" << false << 0;
    QTest::newRow("dollar only") << "$" << false << 0;
    QTest::newRow("0x only") << "0x" << false << 0;
    QTest::newRow("x only") << "x" << false << 0;
    QTest::newRow("sign after dollar") << "$-5" << false << 0;
    QTest::newRow("space after dollar") << "$ 1E" << false << 0;
    QTest::newRow("not a hex digit") << "$1G" << false << 0;
    QTest::newRow("two prefixes") << "0x$1" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("fraction") << "1.0" << false << 0;
    QTest::newRow("digits then letters") << "75%" << false << 0;
    QTest::newRow("full-width digits") << QStringLiteral("\uFF11\uFF12") << false << 0;
    QTest::newRow("Arabic-Indic digit") << QStringLiteral("\u0663") << false << 0;
    QTest::newRow("Cyrillic letter") << QStringLiteral("1\u04350") << false << 0;
}

void TestIntegerText::convertsOperatorText() {
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(int, value);

    const std::optional<std::int32_t> result = config::tryTextToInt(text);
    QCOMPARE(result.has_value(), converts);
    if (converts) {
        QCOMPARE(*result, value);
        QCOMPARE(config::textToInt(text), value);
        return;
    }
    try {
        config::textToInt(text);
        QFAIL("textToInt accepted the text");
    } catch (const ConversionError& error) {
        QCOMPARE(error.text(), text);
        QCOMPARE(error.message(), conversionMessage(text));
        QCOMPARE(QString::fromUtf8(error.what()), conversionMessage(text));
    }
}

void TestIntegerText::converts64BitText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<qint64>("value");

    QTest::newRow("baud rate") << "19200" << true << qint64(19200);
    QTest::newRow("beyond 32 bits") << "4294967297" << true << qint64(4294967297);
    QTest::newRow("max") << "9223372036854775807" << true << qint64(kMax64);
    QTest::newRow("min") << "-9223372036854775808" << true << qint64(kMin64);
    QTest::newRow("max + 1") << "9223372036854775808" << false << qint64(0);
    QTest::newRow("min - 1") << "-9223372036854775809" << false << qint64(0);
    QTest::newRow("nine hex digits") << "$100000000" << true << qint64(0x100000000);
    QTest::newRow("sixteen ones") << "$FFFFFFFFFFFFFFFF" << true << qint64(-1);
    QTest::newRow("seventeen digits") << "$10000000000000000" << false << qint64(0);
    QTest::newRow("32-bit all ones") << "0xFFFFFFFF" << true << qint64(0xFFFFFFFF);
    QTest::newRow("minus hex") << "-x10" << true << qint64(-16);
    QTest::newRow("leading spaces") << "  9600" << true << qint64(9600);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("letters") << "fast" << false << qint64(0);
    QTest::newRow("trailing space") << "9600 " << false << qint64(0);
}

void TestIntegerText::converts64BitText() {
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(qint64, value);

    try {
        const std::int64_t result = config::textToInt64(text);
        QVERIFY2(converts, "textToInt64 accepted the text");
        QCOMPARE(result, value);
    } catch (const ConversionError& error) {
        QVERIFY2(!converts, "textToInt64 refused the text");
        QCOMPARE(error.message(), conversionMessage(text));
    }
}

// One text, two rules: what the dialogs accept from the operator and what a
// stored value reads as. An absent result is a conversion error for the
// dialogs and the caller's default for the settings file.
void TestIntegerText::typedAndStoredReads_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<std::int32_t>>("typed");
    QTest::addColumn<std::optional<std::int32_t>>("stored");

    using V = std::optional<std::int32_t>;
    const V none = std::nullopt;
    QTest::newRow("decimal") << "125" << V(125) << V(125);
    QTest::newRow("negative") << "-5" << V(-5) << V(-5);
    QTest::newRow("plus") << "+7" << V(7) << V(7);
    QTest::newRow("leading zeros") << "007" << V(7) << V(7);
    QTest::newRow("max") << "2147483647" << V(kMax32) << V(kMax32);
    QTest::newRow("min") << "-2147483648" << V(kMin32) << V(kMin32);
    QTest::newRow("overflow") << "2147483648" << none << none;
    QTest::newRow("0x") << "0x1E" << V(30) << V(30);
    QTest::newRow("0X") << "0X1E" << V(30) << V(30);
    QTest::newRow("lower-case digits") << "0x1e" << V(30) << V(30);
    QTest::newRow("dollar") << "$1E" << V(30) << V(30);
    QTest::newRow("0x all ones") << "0xFFFFFFFF" << V(-1) << V(-1);
    QTest::newRow("0x nine digits") << "0x123456789" << none << none;
    QTest::newRow("x") << "x10" << V(16) << none;
    QTest::newRow("X") << "X10" << V(16) << none;
    QTest::newRow("minus 0x") << "-0x10" << V(-16) << none;
    QTest::newRow("minus dollar") << "-$10" << V(-16) << none;
    QTest::newRow("plus dollar") << "+$10" << V(16) << none;
    QTest::newRow("minus x") << "-x10" << V(-16) << none;
    QTest::newRow("leading space") << " 12" << V(12) << none;
    QTest::newRow("space then hex") << " $1E" << V(30) << none;
    QTest::newRow("0x then dollar") << "0x$1" << none << none;
    QTest::newRow("0x then sign") << "0x-1" << none << none;
    QTest::newRow("0x alone") << "0x" << none << none;
    QTest::newRow("dollar alone") << "$" << none << none;
    QTest::newRow("sign alone") << "-" << none << none;
    QTest::newRow("trailing space") << "12 " << none << none;
    QTest::newRow("letters") << "abc" << none << none;
    QTest::newRow("empty") << "" << none << none;
    QTest::newRow("percent") << "75%" << none << none;
}

void TestIntegerText::typedAndStoredReads() {
    QFETCH(QString, text);
    QFETCH(std::optional<std::int32_t>, typed);
    QFETCH(std::optional<std::int32_t>, stored);

    QCOMPARE(config::tryTextToInt(text), typed);
    QCOMPARE(config::parseStoredInteger(text), stored);
}

// Every value is written back as decimal text; any 32-bit pattern may be typed in hex.
void TestIntegerText::decimalAndHexFormsOfAnyValueConvertBack() {
    QList<std::int32_t> values = {0, 1, -1, kMax32, kMin32, kMax32 - 1, kMin32 + 1, 255, -256};
    QRandomGenerator random(20240611);
    for (int i = 0; i < 2000; ++i)
        values.append(static_cast<std::int32_t>(random.generate()));

    for (const std::int32_t value : values) {
        const QString decimal = QString::number(value);
        const QString hex = QLatin1Char('$') + QString::number(static_cast<quint32>(value), 16);
        QCOMPARE(config::tryTextToInt(decimal), std::optional<std::int32_t>(value));
        QCOMPARE(config::tryTextToInt(hex), std::optional<std::int32_t>(value));
        QCOMPARE(config::textToInt64(decimal), std::int64_t(value));
    }
}

void TestIntegerText::writeErrorNamesThePath() {
    const config::WriteError error(QStringLiteral("/opt/station/Iniprofil.ini"));
    QCOMPARE(error.message(), QStringLiteral("Unable to write to /opt/station/Iniprofil.ini"));
}

QTEST_GUILESS_MAIN(TestIntegerText)
#include "tst_integertext.moc"
