// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file's bytes and text: per-line UTF-8 or Windows-1251, byte-order marks, and back.
#include "config/FileText.h"

#include <QStringDecoder>
#include <QTest>

class TestFileText : public QObject {
    Q_OBJECT

private slots:
    void decodesFileBytes_data();
    void decodesFileBytes();
    void windows1251TableMatchesTheCodePage();
    void rewriteKeepsTheFilesForm_data();
    void rewriteKeepsTheFilesForm();
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

// Text decoded from a file and encoded back unchanged gives the file's bytes.
void TestFileText::rewriteKeepsTheFilesForm_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8") << QByteArray("[Profil0]\nName=\xD1\x91\n");
    QTest::newRow("UTF-8 with mark and CR LF") << QByteArray("\xEF\xBB\xBF[A]\r\nk=\xD1\x91\r\n");
    QTest::newRow("Windows-1251 lines") << QByteArray("; \xCC\xE5\xE4\xFC\nk=\xD1\x91\nn=\xC0\n");
    QTest::newRow("NUL kept") << QByteArray("k=a\0b\n", 7);
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE[\0A\0]\0\r\0\n\0\x01\x04", 14);
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0[\0A\0]\0\n\x04\x01", 12);
}

void TestFileText::rewriteKeepsTheFilesForm() {
    QFETCH(QByteArray, bytes);
    const config::DecodedFile decoded = config::decodeFile(bytes);
    QString text = decoded.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(config::encodeFileText(text.toUtf8(), decoded.form), bytes);
}

QTEST_GUILESS_MAIN(TestFileText)
#include "tst_filetext.moc"
