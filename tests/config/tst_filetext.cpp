// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's bytes and text: lines, per-line UTF-8 or Windows-1251, byte-order marks, and
// new text in the file's encoding.
#include "config/Errors.h"
#include "config/FileText.h"

#include <QStringDecoder>
#include <QTest>

class TestFileText : public QObject {
    Q_OBJECT

private slots:
    void decodesFileBytes_data();
    void decodesFileBytes();
    void windows1251TableMatchesTheCodePage();
    void lineAppendsAsUtf8_data();
    void lineAppendsAsUtf8();
    void linesKeepTheirBytes_data();
    void linesKeepTheirBytes();
    void newLinesFollowTheFile_data();
    void newLinesFollowTheFile();
    void encodesNewText_data();
    void encodesNewText();
    void characterOutsideWindows1251IsRefused_data();
    void characterOutsideWindows1251IsRefused();
};

void TestFileText::decodesFileBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ASCII") << QByteArray("[Global]\nHex=0\n")
                           << QStringLiteral("[Global]\nHex=0\n");
    QTest::newRow("UTF-8 Cyrillic")
        << QByteArray("Name=\xD0\x9F\xD1\x80\xD0\xBE\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C")
        << QStringLiteral("Name=Профиль");
    QTest::newRow("UTF-8 with byte-order mark")
        << QByteArray("\xEF\xBB\xBFName=\xD1\x91") << QStringLiteral("Name=ё");
    QTest::newRow("two byte-order marks")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[A]") << QStringLiteral("[A]");
    // Bytes as a Windows editor saves "Профиль №1 «ёЁ»".
    QTest::newRow("Windows-1251")
        << QByteArray("Name=\xCF\xF0\xEE\xF4\xE8\xEB\xFC \xB9\x31 \xAB\xB8\xA8\xBB")
        << QStringLiteral("Name=Профиль №1 «ёЁ»");
    QTest::newRow("Windows-1251 after a byte-order mark")
        << QByteArray("\xEF\xBB\xBF\xC0\xE1\xE2") << QStringLiteral("Абв");
    // One stray byte decides for its own line only.
    QTest::newRow("UTF-8 with one stray byte")
        << QByteArray("\xD1\x91 \xFF") << QStringLiteral("С‘ я");
    QTest::newRow("one Windows-1251 line among UTF-8 lines")
        << QByteArray("Name=\xD1\x91\r\n; \xCC\xE5\xE4\xFC\rNote=\xD0\x81\n")
        << QStringLiteral("Name=ё\r\n; Медь\rNote=Ё\n");
    QTest::newRow("UTF-16 LE with byte-order mark")
        << QByteArray("\xFF\xFE[\0A\0]\0\n\0\x01\x04", 12) << QStringLiteral("[A]\nЁ");
    QTest::newRow("UTF-16 BE with byte-order mark")
        << QByteArray("\xFE\xFF\0[\0A\0]\0\n\x04\x01", 12) << QStringLiteral("[A]\nЁ");
    QTest::newRow("overlong UTF-8 is not UTF-8") << QByteArray("\xC0\xAF") << QStringLiteral("АЇ");
    QTest::newRow("encoded surrogate is not UTF-8")
        << QByteArray("\xED\xA0\x80") << QStringLiteral("нLЂ").replace(u'L', QChar(0x00A0));
    QTest::newRow("NUL in UTF-8") << QByteArray("a\0b", 3) << QStringLiteral("a\uFFFDb");
    QTest::newRow("NUL in Windows-1251") << QByteArray("\xC0\0", 2) << QStringLiteral("А\uFFFD");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestFileText::decodesFileBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(config::decodeFileText(bytes), text);
}

// Compared with the system's own converter where Qt has one.
void TestFileText::windows1251TableMatchesTheCodePage() {
    QStringDecoder reference("windows-1251");
    if (!reference.isValid())
        QSKIP("this Qt has no Windows-1251 converter to compare with");
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (byte == 0x98) // unassigned in the code page
            continue;
        const QByteArray one(1, char(byte));
        QCOMPARE(config::decodeWindows1251(one), QString(reference.decode(one)));
    }
    QCOMPARE(config::decodeWindows1251(QByteArray(1, char(0x98))), QString(QChar(0x98)));
}

// What the INI parser is given for a line: its text in UTF-8, written out here
// by hand, and the same as the decoded QString's UTF-8.
void TestFileText::lineAppendsAsUtf8_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<config::FileEncoding>("encoding");
    QTest::addColumn<QByteArray>("utf8");
    using config::FileEncoding;
    QTest::newRow("ASCII") << QByteArray("Name=1") << FileEncoding::Utf8 << QByteArray("Name=1");
    QTest::newRow("UTF-8, NUL") << QByteArray("a\0b", 3) << FileEncoding::Utf8
                                << QByteArray("a\xEF\xBF\xBD"
                                              "b");
    QTest::newRow("UTF-8, Cyrillic and a leading U+FEFF")
        << QByteArray("\xEF\xBB\xBF\xD0\x98\xD0\xBC\xD1\x8F") << FileEncoding::Utf8
        << QByteArray("\xEF\xBB\xBF\xD0\x98\xD0\xBC\xD1\x8F");
    QTest::newRow("Windows-1251, Cyrillic")
        << QByteArray("\xC8\xEC\xFF=\xE0") << FileEncoding::Windows1251
        << QByteArray("\xD0\x98\xD0\xBC\xD1\x8F=\xD0\xB0");
    QTest::newRow("Windows-1251, NUL, 0x98, euro, no-break space")
        << QByteArray("\0\x98\x88\xA0", 4) << FileEncoding::Windows1251
        << QByteArray("\xEF\xBF\xBD\xC2\x98\xE2\x82\xAC\xC2\xA0");
    QByteArray everyByte;
    for (int byte = 0; byte <= 0xFF; ++byte)
        everyByte += char(byte);
    QTest::newRow("Windows-1251, every byte")
        << everyByte << FileEncoding::Windows1251
        << config::decodeLine(everyByte, FileEncoding::Windows1251).toUtf8();
    QTest::newRow("UTF-16LE, a pair and half a one")
        << QByteArray("\x3D\xD8\x00\xDE\x3D\xD8\x41\x00", 8) << FileEncoding::Utf16LE
        << QByteArray("\xF0\x9F\x98\x80\xEF\xBF\xBD"
                      "A");
    QTest::newRow("UTF-16BE, NUL") << QByteArray("\0\0\0\x41\x04\x18", 6) << FileEncoding::Utf16BE
                                   << QByteArray("\xEF\xBF\xBD"
                                                 "A\xD0\x98");
    QTest::newRow("UTF-16LE, a low half alone, a high half last")
        << QByteArray("\x00\xDC\x41\x00\x3D\xD8", 6) << FileEncoding::Utf16LE
        << QByteArray("\xEF\xBF\xBD"
                      "A\xEF\xBF\xBD");
    QTest::newRow("UTF-16BE, U+FEFF first, a pair last")
        << QByteArray("\xFE\xFF\xD8\x3D\xDE\x00", 6) << FileEncoding::Utf16BE
        << QByteArray("\xEF\xBB\xBF\xF0\x9F\x98\x80");
    QTest::newRow("UTF-16LE, half a unit at the end")
        << QByteArray("\x41\x00\x42", 3) << FileEncoding::Utf16LE << QByteArray("A\xEF\xBF\xBD");
}

void TestFileText::lineAppendsAsUtf8() {
    QFETCH(QByteArray, bytes);
    QFETCH(config::FileEncoding, encoding);
    QFETCH(QByteArray, utf8);
    std::string out = "kept ";
    config::appendUtf8(out, bytes, encoding);
    QCOMPARE(QByteArray::fromStdString(out), "kept " + utf8);
    QCOMPARE(config::decodeLine(bytes, encoding).toUtf8(), utf8);
}

// Cut into lines and put together again, the file has its bytes back; a
// line's break is its own (CR, LF or CR LF), a last line may have none.
void TestFileText::linesKeepTheirBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<int>>("breaks");
    QTest::newRow("every kind of break")
        << QByteArray("a\r\nb\rc\n\nd") << QList<QByteArray>{"a", "b", "c", "", "d"}
        << QList<int>{2, 1, 1, 1, 0};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\n") << QList<QByteArray>{"a", ""}
                              << QList<int>{1, 2};
    QTest::newRow("UTF-8 marks and NUL") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFk=\0\n", 10)
                                         << QList<QByteArray>{{"k=\0", 3}} << QList<int>{1};
    QTest::newRow("UTF-16 LE, CR LF")
        << QByteArray("\xFF\xFE[\0A\0]\0\r\0\n\0\x01\x04", 14)
        << QList<QByteArray>{{"[\0A\0]\0", 6}, "\x01\x04"} << QList<int>{4, 0};
    QTest::newRow("UTF-16 BE, half a character at the end")
        << QByteArray("\xFE\xFF\0a\0\n\0", 7) << QList<QByteArray>{{"\0a", 2}} << QList<int>{2};
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{} << QList<int>{};
}

void TestFileText::linesKeepTheirBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<int>, breaks);
    const config::TextLines text = config::splitLines(bytes);
    QList<QByteArray> cut;
    QList<int> cutBreaks;
    QByteArray whole = bytes.first(text.prefixLength);
    for (const config::LineSpan& line : text.lines) {
        cut << bytes.mid(line.start, line.length);
        cutBreaks << int(line.breakLength);
        whole += bytes.mid(line.start, line.length + line.breakLength);
    }
    whole += bytes.last(text.suffixLength);
    QCOMPARE(cut, lines);
    QCOMPARE(cutBreaks, breaks);
    QCOMPARE(whole, bytes);
}

// The encoding and the line break of the lines a save writes into the file.
void TestFileText::newLinesFollowTheFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<config::FileEncoding>("encoding");
    QTest::addColumn<QString>("lineBreak");
    using E = config::FileEncoding;
    QTest::newRow("no file") << QByteArray() << E::Utf8 << QStringLiteral("\n");
    QTest::newRow("ASCII, CR LF") << QByteArray("[A]\r\nk=1\r\n") << E::Utf8
                                  << QStringLiteral("\r\n");
    QTest::newRow("UTF-8 Cyrillic")
        << QByteArray("Name=\xD1\x91\n") << E::Utf8 << QStringLiteral("\n");
    QTest::newRow("Windows-1251, CR LF") << QByteArray("[A]\r\nName=\xCC\xE5\xE4\xFC\r\n; \xC0\r\n")
                                         << E::Windows1251 << QStringLiteral("\r\n");
    QTest::newRow("Windows-1251, CR")
        << QByteArray("Name=\xC0\r") << E::Windows1251 << QStringLiteral("\r");
    QTest::newRow("Windows-1251 and UTF-8 lines")
        << QByteArray("a=\xC0\nb=\xD1\x91\n") << E::Utf8 << QStringLiteral("\n");
    QTest::newRow("Windows-1251 after a UTF-8 mark")
        << QByteArray("\xEF\xBB\xBF[A]\na=\xC0\n") << E::Utf8 << QStringLiteral("\n");
    QTest::newRow("binary junk") << QByteArray("\x01\x9A\xFF\x80\x00\x10", 6) << E::Windows1251
                                 << QStringLiteral("\n");
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE[\0A\0]\0\r\0\n\0", 12) << E::Utf16LE
                               << QStringLiteral("\r\n");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0[\0A\0]\0\n", 10) << E::Utf16BE
                               << QStringLiteral("\n");
}

void TestFileText::newLinesFollowTheFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(config::FileEncoding, encoding);
    QFETCH(QString, lineBreak);
    const config::TextLines text = config::splitLines(bytes);
    QCOMPARE(text.encoding, encoding);
    QCOMPARE(text.lineBreak, lineBreak);
}

// New text in each encoding; the Windows-1251 bytes as a Windows editor saves them.
void TestFileText::encodesNewText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<config::FileEncoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    using E = config::FileEncoding;
    const QString name = QStringLiteral("Name=Профиль №1 «ёЁ» €");
    QTest::newRow("Windows-1251")
        << name << E::Windows1251
        << QByteArray("Name=\xCF\xF0\xEE\xF4\xE8\xEB\xFC \xB9\x31 \xAB\xB8\xA8\xBB \x88");
    QTest::newRow("Windows-1251, unassigned 0x98 back to its byte")
        << QStringLiteral("\u0098") << E::Windows1251 << QByteArray("\x98");
    QTest::newRow("UTF-8") << QStringLiteral("Name=ё") << E::Utf8 << QByteArray("Name=\xD1\x91");
    QTest::newRow("UTF-16 LE") << QStringLiteral("a=Ё") << E::Utf16LE
                               << QByteArray("a\0=\0\x01\x04", 6);
    QTest::newRow("UTF-16 BE") << QStringLiteral("a=Ё") << E::Utf16BE
                               << QByteArray("\0a\0=\x04\x01", 6);
}

void TestFileText::encodesNewText() {
    QFETCH(QString, text);
    QFETCH(config::FileEncoding, encoding);
    QFETCH(QByteArray, bytes);
    QCOMPARE(config::encodeText(text, encoding), bytes);
    QCOMPARE(config::decodeLine(bytes, encoding), text);
}

// A character Windows-1251 has no byte for is refused, named whole (a
// character beyond U+FFFF too), with its code.
void TestFileText::characterOutsideWindows1251IsRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("character");
    QTest::addColumn<QString>("message");
    const QString tail =
        QStringLiteral(" нельзя записать в файл настроек в кодировке Windows-1251");
    QTest::newRow("check mark") << QStringLiteral("Медь ✓") << 0x2713u
                                << QStringLiteral("Символ «✓» (U+2713)") + tail;
    QTest::newRow("Chinese") << QStringLiteral("焊") << 0x710Au
                             << QStringLiteral("Символ «焊» (U+710A)") + tail;
    QTest::newRow("Latin with accent")
        << QStringLiteral("Café") << 0xE9u << QStringLiteral("Символ «é» (U+00E9)") + tail;
    QTest::newRow("beyond U+FFFF") << QStringLiteral("Ёлка \U0001F384") << 0x1F384u
                                   << QStringLiteral("Символ «\U0001F384» (U+1F384)") + tail;
}

void TestFileText::characterOutsideWindows1251IsRefused() {
    QFETCH(QString, text);
    QFETCH(uint, character);
    QFETCH(QString, message);
    try {
        config::encodeText(text, config::FileEncoding::Windows1251);
        QFAIL("encoded");
    } catch (const config::EncodingError& error) {
        QCOMPARE(uint(error.character()), character);
        QCOMPARE(error.message(), message);
    }
    // The other encodings hold every character.
    QCOMPARE(config::decodeLine(config::encodeText(text, config::FileEncoding::Utf8),
                                config::FileEncoding::Utf8),
             text);
}

QTEST_GUILESS_MAIN(TestFileText)
#include "tst_filetext.moc"
