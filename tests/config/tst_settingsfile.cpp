// The settings file on disk: defaults, layout, encodings, odd files and refused writes.
#include "config/Errors.h"
#include "config/SettingsFile.h"
#include "tests/support/TestDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <optional>

using config::SettingsFile;

namespace {

// Marks a file or directory immutable for as long as the object lives: then
// even root may neither add, remove nor rename entries of the directory, nor
// write the file. Permission bits do not stop root; this does.
class Immutable {
public:
    explicit Immutable(const QString& path) : m_path(path) { m_applied = setFlag(true); }
    ~Immutable() {
        if (m_applied)
            setFlag(false);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool applied() const { return m_applied; }

private:
    bool setFlag(bool on) const {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    QString m_path;
    bool m_applied = false;
};

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString unableToWrite(const QString& path) {
    return QStringLiteral("Unable to write to ") + path;
}

// The message of the refused write, or "written" when it went through.
QString refusalOf(SettingsFile& settings) {
    try {
        settings.WriteString(QStringLiteral("Profil0"), QStringLiteral("Name"),
                             QStringLiteral("New"));
    } catch (const config::WriteError& error) {
        return error.message();
    }
    return QStringLiteral("written");
}

QStringList entriesOf(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

    QByteArray fileBytes() const { return m_dir->readSettings().value_or("<no file>"); }

    std::optional<testsupport::TempAppDir> m_dir;

private slots:
    void init();
    void cleanup();

    void appDirectoryFollowsNestedOverrides();
    void readsDefaultsWhereNothingIsStored_data();
    void readsDefaultsWhereNothingIsStored();
    void freshFileHasTheWritersOrder();
    void writeKeepsTheRestOfAHandEditedFile();
    void keysMatchInAnyLetterCase();
    void repeatedKeyReadsTheFirstAndWriteLeavesOne();
    void unclosedSectionHeaderIsSkipped();
    void keysAboveTheFirstHeaderStayOnTop();
    void integersRoundTrip_data();
    void integersRoundTrip();
    void storedIntegerForms_data();
    void storedIntegerForms();
    void valuesRoundTripExactly_data();
    void valuesRoundTripExactly();
    void lineBreaksInAValueStayOnItsLine();
    void windows1251LinesKeepTheirBytes();
    void byteOrderMarkIsKept();
    void byteOrderMarkInsideTheFileIsText();
    void binaryFileReadsAndCanBeWritten();
    void nulDoesNotHideTheRestOfTheFile();
    void veryLongLines();

    void directoryWhereTheFileShouldBe();
    void parentPathIsARegularFile();
    void fileNameTooLong();
    void readOnlyDirectoryRefusesANewFile();
    void readOnlyDirectoryRefusesEvenAWritableFile();
    void readOnlyFileInReadOnlyDirectory();
};

void TestSettingsFile::init() {
    m_dir.emplace();
}

void TestSettingsFile::cleanup() {
    m_dir.reset();
}

void TestSettingsFile::appDirectoryFollowsNestedOverrides() {
    const QString outer = m_dir->path();
    QCOMPARE(config::appDirectory(), outer);
    QCOMPARE(config::settingsFilePath(), outer + QStringLiteral("/Iniprofil.ini"));
    {
        const QString inner = outer + QStringLiteral("/inner");
        config::ScopedAppDirectoryOverride nested(inner);
        QCOMPARE(config::appDirectory(), inner);
        QCOMPARE(config::settingsFilePath(), inner + QStringLiteral("/Iniprofil.ini"));
        QCOMPARE(SettingsFile().path(), inner + QStringLiteral("/Iniprofil.ini"));
    }
    QCOMPARE(config::settingsFilePath(), outer + QStringLiteral("/Iniprofil.ini"));
    m_dir.reset();
    QCOMPARE(config::appDirectory(), QCoreApplication::applicationDirPath());
}

void TestSettingsFile::readsDefaultsWhereNothingIsStored_data() {
    QTest::addColumn<QByteArray>("bytes"); // null: no file at all
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("no section") << QByteArray("[Connect]\nComport=Com1\n");
    QTest::newRow("no key") << QByteArray("[Profil3]\nT0=100\n");
    QTest::newRow("empty integer") << QByteArray("[Profil3]\nT1=\n");
    QTest::newRow("bad integer") << QByteArray("[Profil3]\nT1=abc\nName\n");
    QTest::newRow("comments only") << QByteArray("; [Profil3]\n; T1=5\n# Name=x\n");
}

void TestSettingsFile::readsDefaultsWhereNothingIsStored() {
    QFETCH(QByteArray, bytes);
    if (!bytes.isNull())
        m_dir->writeSettings(bytes);

    const SettingsFile settings;
    QCOMPARE(settings.path(), m_dir->settingsPath());
    QCOMPARE(settings.ReadInteger("Profil3", "T1", 0), 0);
    QCOMPARE(settings.ReadInteger("Profil3", "T1", -77), -77);
    QCOMPARE(settings.ReadString("Profil3", "Name", QString()), QString());
    QCOMPARE(settings.ReadString("Profil3", "Name", "none"), QStringLiteral("none"));
    // Reading never creates or changes the file.
    QCOMPARE(fileBytes(), bytes.isNull() ? QByteArray("<no file>") : bytes);
}

void TestSettingsFile::freshFileHasTheWritersOrder() {
    SettingsFile settings;
    settings.WriteString("Connect", "Comport", "Com3");
    settings.WriteString("Connect", "BaudRate", "19200");
    const char* globalKeys[] = {"EditP2",        "EditpGain", "EditiGain", "EditdGain",
                                "EditTpid",      "EditpBH",   "EditkBH",   "EditP1",
                                "Correct1",      "Correct2",  "Hex",       "VisibleProfil",
                                "TempEnableFan", "EnableFan", "AutoStart"};
    int value = 0;
    for (const char* key : globalKeys)
        settings.WriteInteger("Global", key, value++);
    for (int profile = 0; profile < 2; ++profile) {
        const QString section = QStringLiteral("Profil%1").arg(profile);
        for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3"})
            settings.WriteInteger(section, key, 100 + profile);
        settings.WriteString(section, "Name", QStringLiteral("Свинец %1").arg(profile));
    }

    const QByteArray expected = "[Connect]\n"
                                "Comport=Com3\n"
                                "BaudRate=19200\n"
                                "\n"
                                "[Global]\n"
                                "EditP2=0\nEditpGain=1\nEditiGain=2\nEditdGain=3\nEditTpid=4\n"
                                "EditpBH=5\nEditkBH=6\nEditP1=7\nCorrect1=8\nCorrect2=9\nHex=10\n"
                                "VisibleProfil=11\nTempEnableFan=12\nEnableFan=13\nAutoStart=14\n"
                                "\n"
                                "[Profil0]\n"
                                "T0=100\nTB=100\nT1=100\nS1=100\nT3=100\nS3=100\n"
                                "Name=\xD0\xA1\xD0\xB2\xD0\xB8\xD0\xBD\xD0\xB5\xD1\x86 0\n"
                                "\n"
                                "[Profil1]\n"
                                "T0=101\nTB=101\nT1=101\nS1=101\nT3=101\nS3=101\n"
                                "Name=\xD0\xA1\xD0\xB2\xD0\xB8\xD0\xBD\xD0\xB5\xD1\x86 1\n";
    QCOMPARE(fileBytes(), QByteArray(expected));

    // Rewriting every key in the same order changes nothing but the values.
    SettingsFile again;
    value = 0;
    for (const char* key : globalKeys)
        again.WriteInteger("Global", key, value++);
    QCOMPARE(fileBytes(), QByteArray(expected));
}

void TestSettingsFile::writeKeepsTheRestOfAHandEditedFile() {
    m_dir->writeSettings("; Station settings, edited by hand\r\n"
                         "; second line\r\n"
                         "\r\n"
                         "; the PID block\r\n"
                         "[Global]\r\n"
                         "; top heater power\r\n"
                         "EditP1 = 80\r\n"
                         "Operator=Ivanov\r\n"
                         "\r\n"
                         "\r\n"
                         "[Service]\r\n"
                         "LastCheck=2024-05-01\r\n"
                         "[Profil0]\r\n"
                         "Name=Old\r\n"
                         "; end of file\r\n"
                         "\r\n"
                         "# really the end\r\n");
    SettingsFile settings;
    settings.WriteInteger("Global", "EditP1", 95);
    settings.WriteInteger("Global", "Hex", 1);
    settings.WriteString("Profil0", "Name", "New");
    settings.WriteInteger("Profil1", "T0", 150);

    const QByteArray expected = "; Station settings, edited by hand\n"
                                "; second line\n"
                                "\n"
                                "; the PID block\n"
                                "[Global]\n"
                                "; top heater power\n"
                                "EditP1=95\n"
                                "Operator=Ivanov\n"
                                "Hex=1\n"
                                "\n"
                                "[Service]\n"
                                "LastCheck=2024-05-01\n"
                                "\n"
                                "[Profil0]\n"
                                "Name=New\n"
                                "\n"
                                "[Profil1]\n"
                                "T0=150\n"
                                "\n"
                                "; end of file\n"
                                "\n"
                                "# really the end\n";
    // The file's own line breaks stay.
    QCOMPARE(fileBytes(), QByteArray(expected).replace("\n", "\r\n"));

    // Every later read, through this accessor or a new one, sees the new values.
    const SettingsFile reopened;
    for (const SettingsFile* s : {static_cast<const SettingsFile*>(&settings), &reopened}) {
        QCOMPARE(s->ReadInteger("Global", "EditP1", 0), 95);
        QCOMPARE(s->ReadString("Global", "Operator", ""), QStringLiteral("Ivanov"));
        QCOMPARE(s->ReadString("Service", "LastCheck", ""), QStringLiteral("2024-05-01"));
        QCOMPARE(s->ReadString("Profil0", "Name", ""), QStringLiteral("New"));
        QCOMPARE(s->ReadInteger("Profil1", "T0", 0), 150);
    }

    // A file in our own layout comes back unchanged from a write of the same value.
    SettingsFile(m_dir->settingsPath()).WriteInteger("Global", "Hex", 1);
    QCOMPARE(fileBytes(), QByteArray(expected).replace("\n", "\r\n"));
}

void TestSettingsFile::keysMatchInAnyLetterCase() {
    m_dir->writeSettings("[GLOBAL]\nhex=0\nCorrect1=3\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Global", "Correct1", 0), 3);
    QCOMPARE(settings.ReadInteger("global", "CORRECT1", 0), 3);
    settings.WriteInteger("Global", "Hex", 1);
    // The file's own spelling stays; no second key or section appears.
    QCOMPARE(fileBytes(), QByteArray("[GLOBAL]\nhex=1\nCorrect1=3\n"));
    QCOMPARE(SettingsFile().ReadInteger("Global", "Hex", 0), 1);
}

void TestSettingsFile::repeatedKeyReadsTheFirstAndWriteLeavesOne() {
    m_dir->writeSettings("[Profil0]\nT0=1\nName=first\nT0=2\n[Profil1]\nT0=5\n[Profil0]\nT0=3\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Profil0", "T0", 0), 1);
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("first"));
    settings.WriteInteger("Profil0", "T0", 9);
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\nT0=9\nName=first\n\n[Profil1]\nT0=5\n"));
}

// A header without its closing bracket names no section: the keys below it
// stay in the section above, and writes do not make the damage grow.
void TestSettingsFile::unclosedSectionHeaderIsSkipped() {
    m_dir->writeSettings("[Profil0]\nT0=1\n[Profil1\nT1=2\n[\nGlobal]\nHex=1\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Profil0", "T1", 0), 2);
    QCOMPARE(settings.ReadInteger("Profil0", "Hex", 0), 1);
    QCOMPARE(settings.ReadInteger("Profil1", "T1", 0), 0);
    QCOMPARE(settings.ReadInteger("Global", "Hex", 0), 0);
    settings.WriteInteger("Profil0", "T0", 5);
    const QByteArray expected = "[Profil0]\nT0=5\nT1=2\nHex=1\n";
    QCOMPARE(fileBytes(), expected);
    SettingsFile().WriteInteger("Profil0", "T0", 5);
    QCOMPARE(fileBytes(), expected);
}

// Keys above the first header (and under an empty "[]") have no section name;
// they are kept, together and on top, where they mean the same.
void TestSettingsFile::keysAboveTheFirstHeaderStayOnTop() {
    m_dir->writeSettings("; note\norphan=1\n[Profil0]\nT0=1\n[]\nlate=2\n[Profil1]\n[ ]\n");
    SettingsFile settings;
    settings.WriteInteger("Profil0", "T0", 5);
    QCOMPARE(fileBytes(),
             QByteArray("; note\n\norphan=1\nlate=2\n\n[Profil0]\nT0=5\n\n[Profil1]\n"));
    QCOMPARE(SettingsFile().ReadInteger("Profil0", "T0", 0), 5);
    QCOMPARE(SettingsFile().ReadString("", "late", ""), QStringLiteral("2"));
}

void TestSettingsFile::integersRoundTrip_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("minus five") << -5 << QByteArray("Correct1=-5\n");
    QTest::newRow("zero") << 0 << QByteArray("Correct1=0\n");
    QTest::newRow("max") << 2147483647 << QByteArray("Correct1=2147483647\n");
    QTest::newRow("min") << int(-2147483648LL) << QByteArray("Correct1=-2147483648\n");
}

void TestSettingsFile::integersRoundTrip() {
    QFETCH(int, value);
    QFETCH(QByteArray, line);
    SettingsFile settings;
    settings.WriteInteger("Global", "Correct1", value);
    QCOMPARE(fileBytes(), QByteArray("[Global]\n" + line));
    QCOMPARE(settings.ReadInteger("Global", "Correct1", 1), value);
    QCOMPARE(SettingsFile().ReadInteger("Global", "Correct1", 1), value);
}

void TestSettingsFile::storedIntegerForms_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("value");
    QTest::newRow("0x") << QByteArray("TempEnableFan=0x1E") << 30;
    QTest::newRow("0X") << QByteArray("TempEnableFan=0X1E") << 30;
    QTest::newRow("dollar") << QByteArray("TempEnableFan=$1E") << 30;
    QTest::newRow("blanks around") << QByteArray("TempEnableFan =  -12  ") << -12;
    QTest::newRow("quoted") << QByteArray("TempEnableFan=\"7\"") << 7;
    QTest::newRow("letters") << QByteArray("TempEnableFan=abc") << -1;
    QTest::newRow("empty") << QByteArray("TempEnableFan=") << -1;
    QTest::newRow("overflow") << QByteArray("TempEnableFan=99999999999") << -1;
    QTest::newRow("decimal fraction") << QByteArray("TempEnableFan=30.5") << -1;
}

void TestSettingsFile::storedIntegerForms() {
    QFETCH(QByteArray, line);
    QFETCH(int, value);
    m_dir->writeSettings("[Global]\n" + line + "\n");
    QCOMPARE(SettingsFile().ReadInteger("Global", "TempEnableFan", -1), value);
}

void TestSettingsFile::valuesRoundTripExactly_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("blanks around") << QStringLiteral("  Lead-free 2  ");
    QTest::newRow("leading blank") << QStringLiteral(" x");
    QTest::newRow("trailing blank") << QStringLiteral("x ");
    QTest::newRow("tabs around") << QStringLiteral("\tx\t");
    QTest::newRow("blanks only") << QStringLiteral("   ");
    QTest::newRow("commas") << QStringLiteral("BGA, 40x40, leaded");
    QTest::newRow("equals signs") << QStringLiteral("T1=150=S1");
    QTest::newRow("semicolons") << QStringLiteral("a;b ; c");
    QTest::newRow("starts like a comment") << QStringLiteral("; not a comment");
    QTest::newRow("hash") << QStringLiteral("#1");
    QTest::newRow("brackets") << QStringLiteral("[Global]");
    QTest::newRow("enclosed in quotes") << QStringLiteral("\"quoted\"");
    QTest::newRow("two quotes") << QStringLiteral("\"\"");
    QTest::newRow("one quote") << QStringLiteral("\"");
    QTest::newRow("quote inside") << QStringLiteral("12\" board");
    QTest::newRow("Cyrillic") << QStringLiteral("Бессвинцовый профиль №1 «ёЁ»");
    QTest::newRow("Cyrillic with blanks") << QStringLiteral("  Профиль  ");
    QTest::newRow("looks like a multi-line tag") << QStringLiteral("<<<END");
    QTest::newRow("starts with a byte-order mark") << QStringLiteral("\uFEFF[Profil3]");
    QTest::newRow("empty") << QString();
}

void TestSettingsFile::valuesRoundTripExactly() {
    QFETCH(QString, value);
    m_dir->writeSettings("[Profil5]\nT0=1\n");
    SettingsFile settings;
    settings.WriteString("Profil5", "Name", value);
    settings.WriteString("Profil6", "Name", value);
    QCOMPARE(settings.ReadString("Profil5", "Name", "default"), value);
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("Profil5", "Name", "default"), value);
    QCOMPARE(reopened.ReadString("Profil6", "Name", "default"), value);
    QCOMPARE(reopened.ReadInteger("Profil5", "T0", 0), 1);
}

void TestSettingsFile::lineBreaksInAValueStayOnItsLine() {
    SettingsFile settings;
    settings.WriteString("Profil0", "Name", "a\nT0=5\r\n[Global]\rHex=1");
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("Profil0", "Name", ""), QStringLiteral("a T0=5  [Global] Hex=1"));
    QCOMPARE(reopened.ReadInteger("Profil0", "T0", -1), -1);
    QCOMPARE(reopened.ReadInteger("Global", "Hex", -1), -1);
    QCOMPARE(fileBytes().count('\n'), 2);
}

// Lines a rewrite does not change keep their bytes, Windows-1251 ones included.
void TestSettingsFile::windows1251LinesKeepTheirBytes() {
    // "Профиль №1 «ёЁ»" and "Медь" as a Windows editor saves them.
    const QByteArray nameLine = "Name=\xCF\xF0\xEE\xF4\xE8\xEB\xFC \xB9\x31 \xAB\xB8\xA8\xBB\r\n";
    m_dir->writeSettings("[Profil0]\r\n" + nameLine + "; \xCC\xE5\xE4\xFC\r\nT0=120\r\n");
    const QString name = QStringLiteral("Профиль №1 «ёЁ»");
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), name);

    settings.WriteInteger("Profil0", "T0", 130);
    QCOMPARE(fileBytes(), "[Profil0]\r\n" + nameLine + "; \xCC\xE5\xE4\xFC\r\nT0=130\r\n");
    QCOMPARE(SettingsFile().ReadString("Profil0", "Name", ""), name);

    // A name the console writes is UTF-8; the lines around it stay as they were.
    settings.WriteString("Profil0", "Name", QStringLiteral("Медь"));
    QCOMPARE(fileBytes(), "[Profil0]\r\nName=" + QStringLiteral("Медь").toUtf8() +
                              "\r\n; \xCC\xE5\xE4\xFC\r\nT0=130\r\n");
    QCOMPARE(SettingsFile().ReadString("Profil0", "Name", ""), QStringLiteral("Медь"));
}

void TestSettingsFile::byteOrderMarkIsKept() {
    m_dir->writeSettings("\xEF\xBB\xBF[Profil0]\nName=" + QStringLiteral("Олово").toUtf8() + "\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Олово"));
    settings.WriteInteger("Profil0", "T0", 1);
    QCOMPARE(fileBytes(), QByteArray("\xEF\xBB\xBF[Profil0]\nName=" +
                                     QStringLiteral("Олово").toUtf8() + "\nT0=1\n"));
}

// Only the file's first bytes can be a byte-order mark; a key named with one
// must not become one when the write puts it first.
void TestSettingsFile::byteOrderMarkInsideTheFileIsText() {
    m_dir->writeSettings("[]\n\xEF\xBB\xBFodd=1\n[Profil0]\nT0=1\n");
    const QString key = QStringLiteral("\uFEFFodd");
    SettingsFile settings;
    QCOMPARE(settings.ReadString("", key, "absent"), QStringLiteral("1"));
    settings.WriteInteger("Profil0", "T0", 2);
    settings.WriteInteger("Profil0", "T0", 3);
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("", key, "absent"), QStringLiteral("1"));
    QCOMPARE(reopened.ReadString("", "odd", "absent"), QStringLiteral("absent"));
    QCOMPARE(reopened.ReadInteger("Profil0", "T0", 0), 3);
}

void TestSettingsFile::binaryFileReadsAndCanBeWritten() {
    QRandomGenerator random(1251);
    for (int round = 0; round < 20; ++round) {
        QByteArray bytes(4096, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        bytes[100] = '\0';
        m_dir->writeSettings(bytes);

        SettingsFile settings;
        for (const char* section : {"Connect", "Global", "Profil0", "Profil9"}) {
            settings.ReadString(section, "Name", "");
            settings.ReadInteger(section, "T0", 0);
        }
        settings.WriteString("Profil0", "Name", " after noise ");
        settings.WriteInteger("Global", "Hex", 1);
        // The noise keeps its bytes; what the console wrote is UTF-8 on lines of its own.
        QVERIFY(fileBytes().contains("\nName=\" after noise \"\n"));
        const SettingsFile reopened;
        QCOMPARE(reopened.ReadString("Profil0", "Name", ""), QStringLiteral(" after noise "));
        QCOMPARE(reopened.ReadInteger("Global", "Hex", 0), 1);
    }
}

void TestSettingsFile::nulDoesNotHideTheRestOfTheFile() {
    m_dir->writeSettings(QByteArray("[Profil0]\nName=a\0b\n[Global]\nHex=1\n", 33));
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("a\uFFFDb"));
    QCOMPARE(settings.ReadInteger("Global", "Hex", 0), 1);
    settings.WriteInteger("Global", "Hex", 0);
    // The line the write did not touch keeps its bytes, the NUL too.
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\nName=a\0b\n\n[Global]\nHex=0\n", 35));
}

void TestSettingsFile::veryLongLines() {
    const QString longName(1 << 20, u'Ж');
    const QByteArray junk(1 << 20, 'j');
    m_dir->writeSettings("[Profil0]\n" + junk + "\nT0=5\nName=" + longName.toUtf8() + "\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Profil0", "T0", 0), 5);
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), longName);
    settings.WriteString("Profil1", "Name", longName + u' ');
    QCOMPARE(SettingsFile().ReadString("Profil1", "Name", ""), longName + u' ');
}

void TestSettingsFile::directoryWhereTheFileShouldBe() {
    QVERIFY(QDir(m_dir->path()).mkdir("Iniprofil.ini"));
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", "default"), QStringLiteral("default"));
    QCOMPARE(refusalOf(settings), unableToWrite(m_dir->settingsPath()));
    QVERIFY(QFileInfo(m_dir->settingsPath()).isDir());
    QCOMPARE(entriesOf(m_dir->settingsPath()), QStringList());
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

void TestSettingsFile::parentPathIsARegularFile() {
    const QString plain = m_dir->path() + QStringLiteral("/plain");
    writeBytes(plain, "not a directory");
    const QString path = plain + QStringLiteral("/Iniprofil.ini");
    SettingsFile settings(path);
    QCOMPARE(refusalOf(settings), unableToWrite(path));
    QCOMPARE(readBytes(plain), QByteArray("not a directory"));
}

void TestSettingsFile::fileNameTooLong() {
    const QString path = m_dir->path() + u'/' + QString(300, u'n') + QStringLiteral(".ini");
    SettingsFile settings(path);
    QCOMPARE(refusalOf(settings), unableToWrite(path));
    QCOMPARE(entriesOf(m_dir->path()), QStringList());
}

void TestSettingsFile::readOnlyDirectoryRefusesANewFile() {
    const Immutable readOnly(m_dir->path());
    if (!readOnly.applied())
        QSKIP("cannot mark the directory immutable here (needs CAP_LINUX_IMMUTABLE and ext4-like "
              "file system); permission bits alone do not stop root");
    SettingsFile settings;
    QCOMPARE(refusalOf(settings), unableToWrite(m_dir->settingsPath()));
    QCOMPARE(settings.ReadString("Profil0", "Name", "default"), QStringLiteral("default"));
    QCOMPARE(entriesOf(m_dir->path()), QStringList());
}

// Rewriting the file in place could leave it half written; with no room for a
// temporary file beside it, the write is refused instead.
void TestSettingsFile::readOnlyDirectoryRefusesEvenAWritableFile() {
    const QByteArray before = "; kept\n[Profil0]\nName=Old\nT0=1\n";
    m_dir->writeSettings(before);
    const Immutable readOnly(m_dir->path());
    if (!readOnly.applied())
        QSKIP("cannot mark the directory immutable here");
    SettingsFile settings;
    QCOMPARE(refusalOf(settings), unableToWrite(m_dir->settingsPath()));
    QCOMPARE(fileBytes(), before);
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Old"));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

void TestSettingsFile::readOnlyFileInReadOnlyDirectory() {
    const QByteArray before = "[Profil0]\nName=Old\nT0=1\n";
    m_dir->writeSettings(before);
    const Immutable fileReadOnly(m_dir->settingsPath());
    const Immutable dirReadOnly(m_dir->path());
    if (!fileReadOnly.applied() || !dirReadOnly.applied())
        QSKIP("cannot mark the file and directory immutable here");
    SettingsFile settings;
    QCOMPARE(refusalOf(settings), unableToWrite(m_dir->settingsPath()));
    QCOMPARE(fileBytes(), QByteArray(before));
    // The refused value is not pretended to be stored.
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Old"));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
