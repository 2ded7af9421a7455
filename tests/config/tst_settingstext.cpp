// SPDX-License-Identifier: GPL-3.0-or-later
// The settings text in memory: the INI parser's reading of odd files, and a save of any key it
// reads (or lacks) changing that key's line alone, so that the parser then reads the new value.
#include "config/FileText.h"
#include "config/SettingsText.h"
#include "tests/support/Windows1251.h"

#include <QStringEncoder>
#include <QTest>

#include <algorithm>

using config::SettingsEntry;
using config::SettingsText;

Q_DECLARE_METATYPE(QList<SettingsEntry>)

namespace {

using Entries = QList<SettingsEntry>;

Entries sorted(Entries entries) {
    std::sort(entries.begin(), entries.end(), [](const SettingsEntry& a, const SettingsEntry& b) {
        return std::tie(a.section, a.key) < std::tie(b.section, b.key);
    });
    return entries;
}

QStringList shown(const Entries& entries) {
    QStringList lines;
    for (const SettingsEntry& e : entries)
        lines.append(QStringLiteral("[%1] %2=%3").arg(e.section, e.key, e.value));
    return lines;
}

// The file's lines with their line breaks, as bytes.
QList<QByteArray> linesOf(const QByteArray& bytes) {
    const config::TextLines text = config::splitLines(bytes);
    QList<QByteArray> lines;
    for (const config::LineSpan& span : text.lines)
        lines.append(bytes.mid(span.start, span.length + span.breakLength));
    return lines;
}

// How many lines of `before` are gone and how many new lines stand in `after`,
// once the lines both start and end with are set aside.
std::pair<qsizetype, qsizetype> linesChanged(const QByteArray& before, const QByteArray& after) {
    const QList<QByteArray> a = linesOf(before);
    const QList<QByteArray> b = linesOf(after);
    qsizetype head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    qsizetype tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    return {a.size() - head - tail, b.size() - head - tail};
}

QByteArray utf16le(const QString& text) {
    return "\xFF\xFE" + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
}

} // namespace

class TestSettingsText : public QObject {
    Q_OBJECT

private slots:
    void parserReadsOddFiles_data();
    void parserReadsOddFiles();
    void saveChangesTheLineTheParserReads_data();
    void saveChangesTheLineTheParserReads();
    void copyReadsAsItsOriginal();
};

// Each row: the file, every key the parser reads from it (written by hand,
// not by the code), and names a save may write that the file holds in a way
// the parser does not read.
void TestSettingsText::parserReadsOddFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QStringList>("unread"); // "section/key"

    QTest::newRow("repeated keys, the first read")
        << QByteArray("[A]\nk=1\nK=2\nk=3\n") << Entries{{"A", "k", "1"}} << QStringList();
    QTest::newRow("a section twice")
        << QByteArray("[A]\nk=1\n[B]\nk=2\n[a]\nk=3\nj=4\n")
        << Entries{{"A", "k", "1"}, {"A", "j", "4"}, {"B", "k", "2"}} << QStringList();
    QTest::newRow("lines without '='")
        << QByteArray("[A]\njust some words\nk=1\nalone\n") << Entries{{"A", "k", "1"}}
        << QStringList{"A/just some words", "A/alone"};
    QTest::newRow("lines opening with '='")
        << QByteArray("[A]\n=a=b\n \t= c\nk=1\n") << Entries{{"A", "k", "1"}} << QStringList();
    QTest::newRow("unclosed headers") << QByteArray("[A]\nk=1\n[B\nj=2\n[\nC]\nm=3\n  [D  \n")
                                      << Entries{{"A", "k", "1"}, {"A", "j", "2"}, {"A", "m", "3"}}
                                      << QStringList{"B/j", "C/m", "D/k"};
    QTest::newRow("letter case: ASCII any, beyond ASCII as written")
        << QStringLiteral("[Global]\nHex=1\n[Профиль]\nИмя=Медь\nИМЯ=Олово\n").toUtf8()
        << Entries{{"Global", "Hex", "1"}, {"Профиль", "Имя", "Медь"}, {"Профиль", "ИМЯ", "Олово"}}
        << QStringList{"GLOBAL/hEX", "ПРОФИЛЬ/Имя", "профиль/имя", "Профиль/имя"};
    QTest::newRow("blanks around '=' and names")
        << QByteArray("[ A\t]\n  k \t=  v w \t\nj=\" x \"\n\tm=\nn = \"\"\n")
        << Entries{{"A", "k", "v w"}, {"A", "j", " x "}, {"A", "m", ""}, {"A", "n", ""}}
        << QStringList();
    QTest::newRow("comments")
        << QByteArray("; top\n[A]\n;k=1\n# j=2\n  ;m=3\n\t#n=4\nk=5\nv=; not a comment\n")
        << Entries{{"A", "k", "5"}, {"A", "v", "; not a comment"}}
        << QStringList{"A/j", "A/m", "A/n"};
    QTest::newRow("NUL bytes") << QByteArray("[A]\nk\0=1\nj=a\0b\n\0\nm=2\n\0[B]\nn=3\n", 30)
                               << Entries{{"A", "k\uFFFD", "1"},
                                          {"A", "j", "a\uFFFDb"},
                                          {"A", "m", "2"},
                                          {"A", "n", "3"}}
                               << QStringList{"B/n"};
    QTest::newRow("keys before the first section and under []")
        << QByteArray("orphan=1\n[A]\nk=2\n[]\nlate=3\n[ ]\nlast=4\n")
        << Entries{{"", "orphan", "1"}, {"", "late", "3"}, {"", "last", "4"}, {"A", "k", "2"}}
        << QStringList();
    QTest::newRow("text after a header")
        << QByteArray("[A] x=1\nk=2\n[B]]\nj=3\n") << Entries{{"A", "k", "2"}, {"B", "j", "3"}}
        << QStringList{"A/x"};
    QTest::newRow("U+FEFF opening a line")
        << QByteArray("\xEF\xBB\xBFk=1\n\xEF\xBB\xBFj=2\n")
        << Entries{{"", "k", "1"}, {"", QStringLiteral("\uFEFFj"), "2"}} << QStringList{"/j"};
    QTest::newRow("Windows-1251, CR LF")
        << testsupport::toWindows1251(
               QStringLiteral("[Profil0]\r\nName=Медь\r\nИмя=Олово\r\n\r\n[Профиль]\r\nT0=1\r\n"))
        << Entries{{"Profil0", "Name", "Медь"}, {"Profil0", "Имя", "Олово"}, {"Профиль", "T0", "1"}}
        << QStringList{"Profil0/ИМЯ"};
    QTest::newRow("UTF-16, CR only") << utf16le(QStringLiteral("[A]\rk=Ж\r[\rj=2\r"))
                                     << Entries{{"A", "k", "Ж"}, {"A", "j", "2"}} << QStringList();
    QTest::newRow("UTF-16, half a character in a name")
        << QByteArray("\xFF\xFE[\0A\0]\0\n\0k\0\x00\xD8=\0\x31\0\n\0j\0=\0\x00\xDC\n\0", 28)
        << Entries{{"A", "k\uFFFD", "1"}, {"A", "j", "\uFFFD"}} << QStringList();
    QTest::newRow("UTF-16, an indented first key opening with U+FEFF")
        << utf16le(QStringLiteral("\t\uFEFFk=1\n[A]\nj=2\n"))
        << Entries{{"", QStringLiteral("\uFEFFk"), "1"}, {"A", "j", "2"}} << QStringList{"/k"};
    QTest::newRow("indented keys") << QByteArray("[A]\n\t k = 1\n  j=2\n")
                                   << Entries{{"A", "k", "1"}, {"A", "j", "2"}} << QStringList();
    QTest::newRow("binary junk between keys")
        << QByteArray("[A]\n\xFF\xFE\x01\x02=\x80\n\x9F\x9Fjunk\nk=1\n")
        << Entries{{"A", "\u044F\u044E\u0001\u0002", "\u0402"}, {"A", "k", "1"}}
        << QStringList{"A/\u045F\u045Fjunk"};
}

void TestSettingsText::parserReadsOddFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(Entries, entries);
    QFETCH(QStringList, unread);
    const SettingsText text(bytes);
    QCOMPARE(shown(sorted(text.entries())), shown(sorted(entries)));
    // A read by name parses only the lines that may hold the key: it reads
    // what the whole text's parse reads, and nothing where that reads nothing.
    for (const SettingsEntry& e : entries)
        QCOMPARE(text.value(e.section, e.key), std::optional<QString>(e.value));
    for (const QString& name : unread) {
        const QString section = name.left(name.indexOf(u'/'));
        const QString key = name.mid(name.indexOf(u'/') + 1);
        std::optional<QString> expected;
        for (const SettingsEntry& e : entries) {
            if (config::SettingsName{e.section} == config::SettingsName{section} &&
                config::SettingsName{e.key} == config::SettingsName{key})
                expected = e.value;
        }
        QCOMPARE(text.value(section, key), expected);
    }
}

void TestSettingsText::saveChangesTheLineTheParserReads_data() {
    parserReadsOddFiles_data();
}

// A save of one key, whether the parser read it or not: the parser then reads
// the new value there and every other key as before; one line changed (a key
// it read) or added (one it lacked, with a header for a new section), the rest
// in place.
void TestSettingsText::saveChangesTheLineTheParserReads() {
    QFETCH(QByteArray, bytes);
    QFETCH(Entries, entries);
    QFETCH(QStringList, unread);
    QList<std::pair<QString, QString>> names;
    for (const SettingsEntry& e : entries)
        names.append({e.section, e.key});
    for (const QString& name : unread)
        names.append({name.section(u'/', 0, 0), name.section(u'/', 1)});

    const SettingsText text(bytes);
    for (const auto& [section, key] : names) {
        const QString value = QStringLiteral("Ж%1").arg(key.size());
        const QByteArray saved = text.withValues({{section, key, value}}).bytes();
        const SettingsText after(saved);
        Entries expected;
        bool held = false;
        for (const SettingsEntry& e : entries) {
            const bool same = config::SettingsName{e.section} == config::SettingsName{section} &&
                              config::SettingsName{e.key} == config::SettingsName{key};
            held = held || same;
            expected.append(same ? SettingsEntry{e.section, e.key, value} : e);
        }
        if (!held)
            expected.append({section, key, value});
        const QByteArray what = (section + u'/' + key).toUtf8();
        QVERIFY2(shown(sorted(after.entries())) == shown(sorted(expected)), what.constData());
        const auto [gone, added] = linesChanged(bytes, saved);
        if (held) {
            QVERIFY2(gone == 1 && added == 1, what.constData());
        } else {
            // A new key, and a header with an empty line above it for a new
            // section; a line that lacked its line break gets one.
            QVERIFY2(gone <= 1 && added >= 1 && added - gone <= 3, what.constData());
        }
    }
}

// A text's look-ups are prepared at the first read: a copy made before it
// reads every key right whichever of the two is read first.
void TestSettingsText::copyReadsAsItsOriginal() {
    QByteArray bytes = "[A]\n";
    for (int k = 39; k >= 0; --k) // names far from the order of their hashes
        bytes += "k" + QByteArray::number(k) + "=" + QByteArray::number(k * 7) + "\n";
    const SettingsText text(bytes);
    const SettingsText copy = text; // NOLINT(performance-unnecessary-copy-initialization)
    QCOMPARE(text.value(QStringLiteral("A"), QStringLiteral("k3")), QStringLiteral("21"));
    for (int k = 0; k < 40; ++k) {
        const QString key = u'k' + QString::number(k);
        QCOMPARE(copy.value(QStringLiteral("A"), key), QString::number(k * 7));
        QCOMPARE(text.value(QStringLiteral("A"), key), QString::number(k * 7));
    }
}

QTEST_GUILESS_MAIN(TestSettingsText)
#include "tst_settingstext.moc"
