// Reading the settings file's bytes: UTF-8, its byte-order mark, Windows-1251 and stray bytes.
#include "config/FileText.h"

#include <QStringDecoder>
#include <QTest>

class TestFileText : public QObject {
    Q_OBJECT

private slots:
    void decodesFileBytes_data();
    void decodesFileBytes();
    void windows1251TableMatchesTheCodePage();
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
    // One stray byte decides for the whole file.
    QTest::newRow("UTF-8 with one stray byte")
        << QByteArray("\xD1\x91 \xFF") << QStringLiteral("С‘ я");
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

QTEST_GUILESS_MAIN(TestFileText)
#include "tst_filetext.moc"
