// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file on disk: defaults, layout, encodings, odd files and refused writes.
#include "config/Errors.h"
#include "config/FileReplace.h"
#include "config/SettingsFile.h"
#include "tests/support/TestDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
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

// A small file system of its own (tmpfs), mounted for as long as the object
// lives: a disk that really fills up. Needs root.
class SmallDisk {
public:
    explicit SmallDisk(const QString& path) : m_path(QFile::encodeName(path)) {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }
    qint64 freePages() const {
        struct statvfs info {};
        return ::statvfs(m_path.constData(), &info) == 0 ? qint64(info.f_bavail) : -1;
    }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

constexpr qint64 kPageSize = 4096;

struct Write {
    const char* key;
    int value;
};

// The general settings dialog's save: the fifteen Global keys in its order.
const QList<Write> kGeneralSettingsSave = {
    {"EditP2", 80},        {"EditpGain", 200}, {"EditiGain", 10}, {"EditdGain", 5},
    {"EditTpid", 20},      {"EditpBH", 90},    {"EditkBH", 3},    {"EditP1", 70},
    {"Correct1", -5},      {"Correct2", 4},    {"Hex", 0},        {"VisibleProfil", 1},
    {"TempEnableFan", 60}, {"EnableFan", 1},   {"AutoStart", 0},
};

// The file's bytes before the save and after each of its writes.
QList<QByteArray> statesOfSave(const QString& path, const QByteArray& start) {
    writeBytes(path, start);
    QList<QByteArray> states{start};
    SettingsFile settings(path);
    for (const Write& write : kGeneralSettingsSave) {
        settings.WriteInteger("Global", write.key, write.value);
        states.append(readBytes(path));
    }
    return states;
}

// Runs the save until a write is refused: its number (0 when none was) and message.
std::pair<int, QString> runSave(const QString& path) {
    SettingsFile settings(path);
    for (qsizetype i = 0; i < kGeneralSettingsSave.size(); ++i) {
        try {
            settings.WriteInteger("Global", kGeneralSettingsSave[i].key,
                                  kGeneralSettingsSave[i].value);
        } catch (const config::WriteError& error) {
            return {int(i + 1), error.message()};
        }
    }
    return {0, QString()};
}

QByteArray utf16(const QString& text, QStringEncoder::Encoding encoding) {
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

enum class Permissions { AsThisProcess, Apply };

// The settings helper, run as a second console. With Permissions::Apply a root
// process runs it without the capabilities that pass over file permissions, so
// that they apply to it as to an operator.
QProcess* startWriter(const QStringList& arguments, QObject* parent,
                      Permissions permissions = Permissions::AsThisProcess) {
    auto* process = new QProcess(parent);
    if (permissions == Permissions::Apply && ::geteuid() == 0) {
        process->setProgram(QStringLiteral("setpriv"));
        process->setArguments(QStringList{"--bounding-set", "-dac_override,-dac_read_search", "--",
                                          QStringLiteral(SETTINGS_WRITER)} +
                              arguments);
    } else {
        process->setProgram(QStringLiteral(SETTINGS_WRITER));
        process->setArguments(arguments);
    }
    process->start();
    return process;
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

    void replacedFileKeepsItsPermissions();
    void fullDiskRefusesTheWriteThatFailed_data();
    void fullDiskRefusesTheWriteThatFailed();
    void encodingsKeptOnRewrite_data();
    void encodingsKeptOnRewrite();
    void unreadableFileIsNeverReplaced();
    void twoConsolesSavingAtOnceLoseNothing();
    void lockOfAnotherConsole_data();
    void lockOfAnotherConsole();
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
    {
        SettingsFile settings;
        QCOMPARE(settings.ReadString("Profil0", "Name", "default"), QStringLiteral("default"));
        QCOMPARE(refusalOf(settings), unableToWrite(m_dir->settingsPath()));
    }
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

// The file is replaced by a new one; the operator's permissions on it stay.
void TestSettingsFile::replacedFileKeepsItsPermissions() {
    m_dir->writeSettings("[Profil0]\nT0=1\n");
    const QFile::Permissions chosen = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(m_dir->settingsPath(), chosen));
    SettingsFile().WriteInteger("Profil0", "T0", 2);
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\nT0=2\n"));
    QCOMPARE(QFileInfo(m_dir->settingsPath()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             chosen & ~(QFile::ReadUser | QFile::WriteUser));
}

// A disk that fills up during the general settings save, at its first,
// second, third or fourth write: that write is refused with "Unable to write
// to <file>", the file holds exactly what the writes before it made of it, no
// temporary file is left, and once there is room again the save goes through.
// On a real 64 KiB tmpfs when the tests run as root (as in CI): the file is
// padded so that the failing write is the first to need a second page of the
// disk; elsewhere through the accessor's write limit, in the middle of that write.
void TestSettingsFile::fullDiskRefusesTheWriteThatFailed_data() {
    QTest::addColumn<bool>("realDisk");
    QTest::addColumn<int>("failingWrite");
    for (const bool realDisk : {true, false}) {
        for (int write = 1; write <= 4; ++write)
            QTest::addRow("%s, write %d", realDisk ? "tmpfs" : "write limit", write)
                << realDisk << write;
    }
}

void TestSettingsFile::fullDiskRefusesTheWriteThatFailed() {
    QFETCH(bool, realDisk);
    QFETCH(int, failingWrite);
    const QByteArray base = "[Connect]\nComport=Com3\nBaudRate=19200\n\n[Global]\n; set below\n\n"
                            "[Profil0]\nT0=100\nName=" +
                            QStringLiteral("Бессвинцовый BGA").toUtf8() + "\n";
    const QString scratch = m_dir->path() + QStringLiteral("/scratch.ini");
    QList<QByteArray> states = statesOfSave(scratch, base);

    std::optional<SmallDisk> disk;
    std::optional<config::ScopedWriteLimit> limit;
    QString directory = m_dir->path();
    if (realDisk) {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root; the write-limit rows cover this");
        directory += QStringLiteral("/disk");
        disk.emplace(directory);
        if (!disk->mounted())
            QSKIP("cannot mount a tmpfs here; the write-limit rows cover this");
        // After the writes before the failing one the file fills its page
        // exactly (the padding comment's own layout may shift it once).
        qint64 pad = kPageSize - states[failingWrite - 1].size();
        for (int attempt = 0; attempt < 3 && states[failingWrite - 1].size() != kPageSize;
             ++attempt) {
            QVERIFY(pad >= 3);
            states = statesOfSave(scratch, "; " + QByteArray(pad - 3, 'x') + "\n" + base);
            pad += kPageSize - states[failingWrite - 1].size();
        }
        QCOMPARE(states[failingWrite - 1].size(), kPageSize);
    }
    const QString path = directory + QStringLiteral("/Iniprofil.ini");
    writeBytes(path, states[0]);
    if (realDisk) {
        // Room for a lock file and a one-page temporary file, not for a two-page one.
        writeBytes(directory + QStringLiteral("/filler"),
                   QByteArray((disk->freePages() - 2) * kPageSize, 'f'));
        QCOMPARE(disk->freePages(), 2);
    } else {
        qint64 accepted = states[failingWrite].size() / 2;
        for (int write = 1; write < failingWrite; ++write)
            accepted += states[write].size();
        limit.emplace(accepted);
    }

    const auto [refusedWrite, message] = runSave(path);
    QCOMPARE(refusedWrite, failingWrite);
    QCOMPARE(message, unableToWrite(path));
    QCOMPARE(readBytes(path), states[failingWrite - 1]);
    QCOMPARE(entriesOf(directory).filter(QStringLiteral("Iniprofil")),
             QStringList{"Iniprofil.ini"});
    const SettingsFile reopened(path);
    for (int write = 1; write <= kGeneralSettingsSave.size(); ++write) {
        const Write& w = kGeneralSettingsSave[write - 1];
        QCOMPARE(reopened.ReadInteger("Global", w.key, -1), write < failingWrite ? w.value : -1);
    }
    QCOMPARE(reopened.ReadString("Profil0", "Name", ""), QStringLiteral("Бессвинцовый BGA"));

    // Room again: the same save goes through.
    limit.reset();
    if (realDisk)
        QVERIFY(QFile::remove(directory + QStringLiteral("/filler")));
    QCOMPARE(runSave(path).first, 0);
    QCOMPARE(readBytes(path), states.last());
}

// Files as other tools save them. Each reads as written, and a write of one key
// changes that key's line only: every other line keeps its bytes, the file its
// byte-order mark, encoding and line breaks.
void TestSettingsFile::encodingsKeptOnRewrite_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QString text = QStringLiteral("[Profil0]\r\nName=Профиль №1 «ёЁ»\r\n; Медь\r\n"
                                        "Note=Олово\r\nT0=%1\r\n");
    const QString before = text.arg(120);
    const QString after = text.arg(130);
    // The comment and the note as an older tool saved them, in Windows-1251.
    const auto withForeignLines = [](const QString& t) {
        return t.toUtf8()
            .replace(QStringLiteral("; Медь").toUtf8(), "; \xCC\xE5\xE4\xFC")
            .replace(QStringLiteral("Note=Олово").toUtf8(), "Note=\xCE\xEB\xEE\xE2\xEE");
    };
    QTest::newRow("Windows-1251 lines in UTF-8")
        << withForeignLines(before) << withForeignLines(after);
    QTest::newRow("UTF-8 with byte-order mark")
        << "\xEF\xBB\xBF" + before.toUtf8() << "\xEF\xBB\xBF" + after.toUtf8();
    QTest::newRow("UTF-16 LE with byte-order mark")
        << "\xFF\xFE" + utf16(before, QStringEncoder::Utf16LE)
        << "\xFF\xFE" + utf16(after, QStringEncoder::Utf16LE);
    QTest::newRow("UTF-16 BE with byte-order mark")
        << "\xFE\xFF" + utf16(before, QStringEncoder::Utf16BE)
        << "\xFE\xFF" + utf16(after, QStringEncoder::Utf16BE);
}

void TestSettingsFile::encodingsKeptOnRewrite() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    m_dir->writeSettings(before);
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Профиль №1 «ёЁ»"));
    QCOMPARE(settings.ReadString("Profil0", "Note", ""), QStringLiteral("Олово"));
    QCOMPARE(settings.ReadInteger("Profil0", "T0", 0), 120);

    settings.WriteInteger("Profil0", "T0", 130);
    QCOMPARE(fileBytes(), after);
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("Profil0", "Name", ""), QStringLiteral("Профиль №1 «ёЁ»"));
    QCOMPARE(reopened.ReadString("Profil0", "Note", ""), QStringLiteral("Олово"));
    QCOMPARE(reopened.ReadInteger("Profil0", "T0", 0), 130);

    // A name the console writes reads back exactly, whatever the file's encoding.
    settings.WriteString("Profil1", "Name", QStringLiteral("Свинцовый QFN, ёмкость"));
    QCOMPARE(SettingsFile().ReadString("Profil1", "Name", ""),
             QStringLiteral("Свинцовый QFN, ёмкость"));
    QCOMPARE(SettingsFile().ReadString("Profil0", "Note", ""), QStringLiteral("Олово"));
}

// A file that exists but may not be read (write-only for its owner) reads as
// the defaults, and the write is refused rather than replacing it with a file
// of the one key. Run in a second process without the capabilities by which
// root reads any file; chmod alone does not stop root.
void TestSettingsFile::unreadableFileIsNeverReplaced() {
    const QByteArray before = "[Profil0]\nName=Old\nT0=1\n[Global]\nHex=1\n";
    m_dir->writeSettings(before);
    QVERIFY(QFile::setPermissions(m_dir->settingsPath(), QFile::WriteOwner));
    if (::geteuid() == 0 && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("running as root without setpriv: file permissions cannot apply");
    QProcess* writer =
        startWriter({QStringLiteral("try"), m_dir->settingsPath()}, this, Permissions::Apply);
    QVERIFY(writer->waitForFinished(60000));
    QCOMPARE(writer->exitCode(), 0);
    QCOMPARE(
        QString::fromUtf8(writer->readAllStandardOutput()),
        QStringLiteral("read: <default>\nrefused: %1\n").arg(unableToWrite(m_dir->settingsPath())));
    QVERIFY(QFile::setPermissions(m_dir->settingsPath(), QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(fileBytes(), before);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

// Two consoles saving 200 times each into one file, at the same time: every
// key either of them wrote is in the file at the end, and so is the rest.
void TestSettingsFile::twoConsolesSavingAtOnceLoseNothing() {
    constexpr int kSaves = 200;
    const QByteArray kept = "; \xCC\xE5\xE4\xFC\n[Profil0]\nName=\xCE\xEB\xEE\xE2\xEE\n";
    m_dir->writeSettings(kept);
    const QString count = QString::number(kSaves);
    QProcess* first = startWriter(
        {QStringLiteral("save"), m_dir->settingsPath(), QStringLiteral("A"), count}, this);
    QProcess* second = startWriter(
        {QStringLiteral("save"), m_dir->settingsPath(), QStringLiteral("B"), count}, this);
    for (QProcess* writer : {first, second}) {
        QVERIFY(writer->waitForFinished(240000));
        QCOMPARE(QString::fromUtf8(writer->readAllStandardOutput()), QString());
        QCOMPARE(writer->exitCode(), 0);
    }
    const SettingsFile settings;
    for (const char* section : {"A", "B"}) {
        for (int i = 0; i < kSaves; ++i)
            QCOMPARE(settings.ReadInteger(section, QStringLiteral("Save%1").arg(i), -1), i);
    }
    const QString last = settings.ReadString("Common", "Last", "");
    QVERIFY2(last == QStringLiteral("A%1").arg(kSaves - 1) ||
                 last == QStringLiteral("B%1").arg(kSaves - 1),
             qPrintable(last));
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Олово"));
    // The lines nobody wrote keep their bytes.
    QVERIFY(fileBytes().startsWith("; \xCC\xE5\xE4\xFC\n"));
    QVERIFY(fileBytes().contains("\nName=\xCE\xEB\xEE\xE2\xEE\n"));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

// A lock left behind by a console that died is taken over at once and the
// write goes through. One held by a console that lives but never lets go is
// honoured for a few seconds, then the write is refused with the error, the
// file as it was: the console waits neither for ever nor on a dead lock.
void TestSettingsFile::lockOfAnotherConsole_data() {
    QTest::addColumn<bool>("killHolder");
    QTest::newRow("console killed while holding it") << true;
    QTest::newRow("console alive but stuck") << false;
}

void TestSettingsFile::lockOfAnotherConsole() {
    QFETCH(bool, killHolder);
    const QByteArray before = "[Profil0]\nName=Old\nT0=1\n";
    m_dir->writeSettings(before);
    QProcess* holder = startWriter({QStringLiteral("hold-lock"), m_dir->settingsPath()}, this);
    QTRY_VERIFY_WITH_TIMEOUT(holder->canReadLine(), 30000);
    QCOMPARE(holder->readLine(), QByteArray("locked\n"));
    const QString lockPath = m_dir->settingsPath() + QStringLiteral(".lock");
    QVERIFY(QFileInfo::exists(lockPath));
    if (killHolder) {
        holder->kill();
        QVERIFY(holder->waitForFinished(30000));
    }

    std::optional<SettingsFile> settings(std::in_place);
    if (killHolder) {
        QCOMPARE(refusalOf(*settings), QStringLiteral("written"));
        QCOMPARE(fileBytes(), QByteArray("[Profil0]\nName=New\nT0=1\n"));
        // The lock is this console's now, until its accessor is released.
        QCOMPARE(entriesOf(m_dir->path()), QStringList({"Iniprofil.ini", "Iniprofil.ini.lock"}));
        settings.reset();
        QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
    } else {
        QCOMPARE(refusalOf(*settings), unableToWrite(m_dir->settingsPath()));
        QCOMPARE(fileBytes(), before);
        QVERIFY(QFileInfo::exists(lockPath));
    }
    holder->kill();
    holder->waitForFinished(30000);
}
QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
