// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file on disk: defaults, layout, encodings, odd files and refused writes.
#include "config/Errors.h"
#include "config/FileReplace.h"
#include "config/FileText.h"
#include "config/SettingsFile.h"
#include "tests/support/TestDirs.h"
#include "tests/support/Windows1251.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
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

// One save of one key, as the chart menu's switches make it.
void saveString(SettingsFile& settings, const QString& section, const QString& key,
                const QString& value) {
    settings.WriteString(section, key, value);
    settings.commit();
}

void saveInteger(SettingsFile& settings, const QString& section, const QString& key, int value) {
    settings.WriteInteger(section, key, value);
    settings.commit();
}

// The message of the refused save, or "written" when it went through.
QString refusalOf(SettingsFile& settings) {
    try {
        saveString(settings, QStringLiteral("Profil0"), QStringLiteral("Name"),
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

// Makes the general settings dialog's save: the answer is its refusal's
// message, or empty when it went through.
QString generalSettingsSave(const QString& path) {
    SettingsFile settings(path);
    for (const Write& write : kGeneralSettingsSave)
        settings.WriteInteger("Global", write.key, write.value);
    try {
        settings.commit();
    } catch (const config::AppError& error) {
        return error.message();
    }
    return {};
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
    void namesBeyondAsciiMatchAsWritten_data();
    void namesBeyondAsciiMatchAsWritten();
    void repeatedKeyReadsAndWritesTheFirst();
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
    void fullDiskRefusesTheWholeSave_data();
    void fullDiskRefusesTheWholeSave();
    void encodingsKeptOnRewrite_data();
    void encodingsKeptOnRewrite();
    void unreadableFileIsNeverReplaced();
    void twoConsolesSavingAtOnceLoseNothing();
    void lockOfAnotherConsole_data();
    void lockOfAnotherConsole();

    void writesAreSeenAtOnceAndReachTheFileAtTheSave();
    void characterTheFileCannotHoldRefusesTheWholeSave();
    void saveReadsOnceReplacesOnceAndSyncsTheFolder();
    void killedSavesLeaveNoTemporaryBehind();
    void lockLeftHalfMadeByAKilledConsole_data();
    void lockLeftHalfMadeByAKilledConsole();
    void twoConsolesSavingTheEditorAndTheConnection();
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
    settings.commit();

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
    again.commit();
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
    settings.WriteInteger("Profil0", "T0", 120);
    settings.WriteInteger("Profil0", "S1", 2);
    settings.WriteInteger("Profil1", "T0", 150);
    settings.commit();

    // Only the changed keys' lines are new; new keys go after the last line of
    // their section (a changed one too), in the order written, the new section
    // to the end, after an empty line.
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
                                "\n"
                                "[Service]\n"
                                "LastCheck=2024-05-01\n"
                                "[Profil0]\n"
                                "Name=New\n"
                                "T0=120\n"
                                "S1=2\n"
                                "; end of file\n"
                                "\n"
                                "# really the end\n"
                                "\n"
                                "[Profil1]\n"
                                "T0=150\n";
    // The file's own line breaks stay.
    QCOMPARE(fileBytes(), QByteArray(expected).replace("\n", "\r\n"));

    // Every later read, through this accessor or a new one, sees the new values.
    const SettingsFile reopened;
    for (const SettingsFile* s : {static_cast<const SettingsFile*>(&settings), &reopened}) {
        QCOMPARE(s->ReadInteger("Global", "EditP1", 0), 95);
        QCOMPARE(s->ReadString("Global", "Operator", ""), QStringLiteral("Ivanov"));
        QCOMPARE(s->ReadString("Service", "LastCheck", ""), QStringLiteral("2024-05-01"));
        QCOMPARE(s->ReadString("Profil0", "Name", ""), QStringLiteral("New"));
        QCOMPARE(s->ReadInteger("Profil0", "S1", 0), 2);
        QCOMPARE(s->ReadInteger("Profil1", "T0", 0), 150);
    }

    // A save of the value a key already holds changes nothing.
    SettingsFile again(m_dir->settingsPath());
    saveInteger(again, "Global", "Hex", 1);
    QCOMPARE(fileBytes(), QByteArray(expected).replace("\n", "\r\n"));
}

void TestSettingsFile::keysMatchInAnyLetterCase() {
    m_dir->writeSettings("[GLOBAL]\nhex=0\nCorrect1=3\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Global", "Correct1", 0), 3);
    QCOMPARE(settings.ReadInteger("global", "CORRECT1", 0), 3);
    saveInteger(settings, "Global", "Hex", 1);
    // The file's own spelling stays; no second key or section appears.
    QCOMPARE(fileBytes(), QByteArray("[GLOBAL]\nhex=1\nCorrect1=3\n"));
    QCOMPARE(SettingsFile().ReadInteger("Global", "Hex", 0), 1);
}

// ASCII letters of names match in any letter case, letters beyond ASCII only
// as written, in each encoding a line may have; a NUL in a name reads as
// U+FFFD. A save of a name the file does not hold adds it and leaves every line
// the file had.
void TestSettingsFile::namesBeyondAsciiMatchAsWritten_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const QByteArray utf8 = QStringLiteral("[Профиль]\nИмя=Медь\nИМЯ=Олово\n").toUtf8();
    QTest::newRow("UTF-8") << utf8 << QStringLiteral("Профиль") << QStringLiteral("Имя")
                           << QStringLiteral("Медь");
    QTest::newRow("UTF-8, the other spelling")
        << utf8 << QStringLiteral("Профиль") << QStringLiteral("ИМЯ") << QStringLiteral("Олово");
    QTest::newRow("UTF-8, a spelling not held")
        << utf8 << QStringLiteral("Профиль") << QStringLiteral("имя") << QString();
    QTest::newRow("UTF-8, section in other case")
        << utf8 << QStringLiteral("ПРОФИЛЬ") << QStringLiteral("Имя") << QString();
    const QByteArray windows1251 =
        testsupport::toWindows1251(QStringLiteral("[Профиль]\r\nИмя=Медь\r\nИМЯ=Олово\r\n"));
    QTest::newRow("Windows-1251") << windows1251 << QStringLiteral("Профиль")
                                  << QStringLiteral("ИМЯ") << QStringLiteral("Олово");
    QTest::newRow("Windows-1251, a spelling not held")
        << windows1251 << QStringLiteral("Профиль") << QStringLiteral("иМЯ") << QString();
    const QByteArray utf16 =
        "\xFF\xFE" +
        QStringEncoder(QStringEncoder::Utf16LE).encode(QStringLiteral("[Ёлка]\nКлюч=1\n"));
    QTest::newRow("UTF-16") << utf16 << QStringLiteral("Ёлка") << QStringLiteral("Ключ")
                            << QStringLiteral("1");
    QTest::newRow("UTF-16, a spelling not held")
        << utf16 << QStringLiteral("ёЛКА") << QStringLiteral("Ключ") << QString();
    QTest::newRow("NUL in a name") << QByteArray("[A]\nk\0ey=5\n", 11) << QStringLiteral("a")
                                   << QStringLiteral("K\uFFFDEY") << QStringLiteral("5");
    const QByteArray mixed = QStringLiteral("[Ab]\nKeyЖ=7\n").toUtf8();
    QTest::newRow("ASCII and beyond")
        << mixed << QStringLiteral("aB") << QStringLiteral("kEYЖ") << QStringLiteral("7");
    QTest::newRow("ASCII and beyond, a spelling not held")
        << mixed << QStringLiteral("aB") << QStringLiteral("kEYж") << QString();
}

void TestSettingsFile::namesBeyondAsciiMatchAsWritten() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    m_dir->writeSettings(bytes);
    SettingsFile settings;
    QCOMPARE(settings.ReadString(section, key, "absent"),
             value.isNull() ? QStringLiteral("absent") : value);
    saveString(settings, section, key, QStringLiteral("9"));
    const SettingsFile reread;
    QCOMPARE(reread.ReadString(section, key, "absent"), QStringLiteral("9"));
    const QString before = config::decodeFileText(bytes);
    const QString after = config::decodeFileText(fileBytes());
    QVERIFY(after.contains(QStringLiteral("=9\n")) || after.contains(QStringLiteral("=9\r\n")));
    if (value.isNull()) {
        // Added: every line the file had is still there, the key's spelling as written.
        QVERIFY(after.startsWith(before) || after.contains(u'[' + section + u']'));
        QVERIFY(after.contains(key + QStringLiteral("=9")));
        for (const QString& line : before.split(u'\n'))
            QVERIFY(after.contains(line));
    } else {
        // Changed in place: the file's own spelling stays, no line is added.
        QVERIFY(!after.contains(key + u'=') || before.contains(key + u'='));
        QCOMPARE(after.count(u'\n'), before.count(u'\n'));
        QVERIFY(!after.contains(u'=' + value));
    }
}

// Of a key that appears twice (or of a section that does) the first is read
// and written; the later ones, which nothing reads, keep their lines.
void TestSettingsFile::repeatedKeyReadsAndWritesTheFirst() {
    const QByteArray before =
        "[Profil0]\nT0=1\nName=first\nT0=2\n[Profil1]\nT0=5\n[Profil0]\nT0=3\n";
    m_dir->writeSettings(before);
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Profil0", "T0", 0), 1);
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("first"));
    saveInteger(settings, "Profil0", "T0", 9);
    QCOMPARE(fileBytes(), QByteArray(before).replace("T0=1", "T0=9"));
    QCOMPARE(SettingsFile().ReadInteger("Profil0", "T0", 0), 9);
    // A key new to a section that appears twice goes to the end of the last one.
    saveInteger(settings, "Profil0", "S1", 4);
    QCOMPARE(fileBytes(), QByteArray(before).replace("T0=1", "T0=9") + "S1=4\n");
}

// A header without its closing bracket names no section: the keys below it
// stay in the section above. Its line stays where it is, as every line does.
void TestSettingsFile::unclosedSectionHeaderIsSkipped() {
    const QByteArray before = "[Profil0]\nT0=1\n[Profil1\nT1=2\n[\nGlobal]\nHex=1\n";
    m_dir->writeSettings(before);
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Profil0", "T1", 0), 2);
    QCOMPARE(settings.ReadInteger("Profil0", "Hex", 0), 1);
    QCOMPARE(settings.ReadInteger("Profil1", "T1", 0), 0);
    QCOMPARE(settings.ReadInteger("Global", "Hex", 0), 0);
    saveInteger(settings, "Profil0", "T0", 5);
    QByteArray expected = before;
    expected.replace("T0=1", "T0=5");
    QCOMPARE(fileBytes(), expected);
    // A new key of the section goes after its last line, the broken header's keys included.
    saveInteger(settings, "Profil0", "S1", 7);
    QCOMPARE(fileBytes(), expected + "S1=7\n");
    QCOMPARE(SettingsFile().ReadInteger("Profil0", "S1", 0), 7);
}

// Keys above the first header (and under an empty "[]") have no section name.
void TestSettingsFile::keysAboveTheFirstHeaderStayOnTop() {
    const QByteArray before = "; note\norphan=1\n[Profil0]\nT0=1\n[]\nlate=2\n[Profil1]\n[ ]\n";
    m_dir->writeSettings(before);
    SettingsFile settings;
    QCOMPARE(settings.ReadString("", "orphan", ""), QStringLiteral("1"));
    saveInteger(settings, "Profil0", "T0", 5);
    QCOMPARE(fileBytes(), QByteArray(before).replace("T0=1", "T0=5"));
    QCOMPARE(SettingsFile().ReadInteger("Profil0", "T0", 0), 5);
    QCOMPARE(SettingsFile().ReadString("", "late", ""), QStringLiteral("2"));
    saveInteger(settings, "", "new", 3);
    QCOMPARE(fileBytes(),
             QByteArray("; note\norphan=1\n[Profil0]\nT0=5\n[]\nlate=2\n[Profil1]\n[ ]\nnew=3\n"));
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
    saveInteger(settings, "Global", "Correct1", value);
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
    // Seen before the save, as it will read back from the file.
    QCOMPARE(settings.ReadString("Profil5", "Name", "default"), value);
    settings.commit();
    QCOMPARE(settings.ReadString("Profil5", "Name", "default"), value);
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("Profil5", "Name", "default"), value);
    QCOMPARE(reopened.ReadString("Profil6", "Name", "default"), value);
    QCOMPARE(reopened.ReadInteger("Profil5", "T0", 0), 1);
}

void TestSettingsFile::lineBreaksInAValueStayOnItsLine() {
    SettingsFile settings;
    settings.WriteString("Profil0", "Name", "a\nT0=5\r\n[Global]\rHex=1");
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("a T0=5  [Global] Hex=1"));
    settings.commit();
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("Profil0", "Name", ""), QStringLiteral("a T0=5  [Global] Hex=1"));
    QCOMPARE(reopened.ReadInteger("Profil0", "T0", -1), -1);
    QCOMPARE(reopened.ReadInteger("Global", "Hex", -1), -1);
    QCOMPARE(fileBytes().count('\n'), 2);
}

// Lines a save does not change keep their bytes; in a Windows-1251 file the
// lines it writes are Windows-1251 too.
void TestSettingsFile::windows1251LinesKeepTheirBytes() {
    // "Профиль №1 «ёЁ»" and "Медь" as a Windows editor saves them.
    const QByteArray nameLine = "Name=\xCF\xF0\xEE\xF4\xE8\xEB\xFC \xB9\x31 \xAB\xB8\xA8\xBB\r\n";
    m_dir->writeSettings("[Profil0]\r\n" + nameLine + "; \xCC\xE5\xE4\xFC\r\nT0=120\r\n");
    const QString name = QStringLiteral("Профиль №1 «ёЁ»");
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), name);

    saveInteger(settings, "Profil0", "T0", 130);
    QCOMPARE(fileBytes(), "[Profil0]\r\n" + nameLine + "; \xCC\xE5\xE4\xFC\r\nT0=130\r\n");
    QCOMPARE(SettingsFile().ReadString("Profil0", "Name", ""), name);

    settings.WriteString("Profil0", "Name", QStringLiteral("Медь"));
    settings.WriteString("Profil1", "Name", QStringLiteral("Олово"));
    settings.commit();
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\r\nName=\xCC\xE5\xE4\xFC\r\n; \xCC\xE5\xE4\xFC\r\n"
                                     "T0=130\r\n\r\n[Profil1]\r\nName=\xCE\xEB\xEE\xE2\xEE\r\n"));
    QCOMPARE(SettingsFile().ReadString("Profil0", "Name", ""), QStringLiteral("Медь"));
}

void TestSettingsFile::byteOrderMarkIsKept() {
    m_dir->writeSettings("\xEF\xBB\xBF[Profil0]\nName=" + QStringLiteral("Олово").toUtf8() + "\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Олово"));
    saveInteger(settings, "Profil0", "T0", 1);
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
    saveInteger(settings, "Profil0", "T0", 2);
    saveInteger(settings, "Profil0", "T0", 3);
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
        settings.commit();
        // The noise keeps its bytes; what the console wrote is on lines of its own after it.
        QVERIFY(fileBytes().startsWith(bytes));
        QVERIFY(fileBytes().contains("Name=\" after noise \""));
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
    saveInteger(settings, "Global", "Hex", 0);
    // The line the save did not touch keeps its bytes, the NUL too.
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\nName=a\0b\n[Global]\nHex=0\n", 33));
}

void TestSettingsFile::veryLongLines() {
    const QString longName(1 << 20, u'Ж');
    const QByteArray junk(1 << 20, 'j');
    m_dir->writeSettings("[Profil0]\n" + junk + "\nT0=5\nName=" + longName.toUtf8() + "\n");
    SettingsFile settings;
    QCOMPARE(settings.ReadInteger("Profil0", "T0", 0), 5);
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), longName);
    saveString(settings, "Profil1", "Name", longName + u' ');
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
    SettingsFile settings;
    saveInteger(settings, "Profil0", "T0", 2);
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\nT0=2\n"));
    QCOMPARE(QFileInfo(m_dir->settingsPath()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             chosen & ~(QFile::ReadUser | QFile::WriteUser));
}

// A disk that fills up during the general settings save: at its first, middle
// or last byte (through the accessor's write limit), or on a real 64 KiB tmpfs
// (when the tests run as root, as in CI) without room for the file's second
// page. The save is refused with "Unable to write to <file>", the file keeps
// every byte, nothing of the save is in it, no temporary file is left, and once
// there is room again the same save goes through.
void TestSettingsFile::fullDiskRefusesTheWholeSave_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("first byte") << QStringLiteral("first");
    QTest::newRow("middle byte") << QStringLiteral("middle");
    QTest::newRow("last byte") << QStringLiteral("last");
    QTest::newRow("tmpfs full") << QStringLiteral("tmpfs");
}

void TestSettingsFile::fullDiskRefusesTheWholeSave() {
    QFETCH(QString, where);
    QByteArray before = "[Connect]\nComport=Com3\nBaudRate=19200\n\n[Global]\n; set below\n\n"
                        "[Profil0]\nT0=100\nName=" +
                        QStringLiteral("Бессвинцовый BGA").toUtf8() + "\n";
    const QString scratch = m_dir->path() + QStringLiteral("/scratch.ini");
    writeBytes(scratch, before);
    QCOMPARE(generalSettingsSave(scratch), QString());
    QByteArray saved = readBytes(scratch);

    std::optional<SmallDisk> disk;
    std::optional<config::ScopedWriteLimit> limit;
    QString directory = m_dir->path();
    if (where == u"tmpfs") {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root; the write-limit rows cover this");
        directory += QStringLiteral("/disk");
        disk.emplace(directory);
        if (!disk->mounted())
            QSKIP("cannot mount a tmpfs here; the write-limit rows cover this");
        // A file that fills its page; the save makes it longer.
        const QByteArray pad = "; " + QByteArray(kPageSize - before.size() - 3, 'x') + "\n";
        before.prepend(pad);
        saved.prepend(pad);
        QCOMPARE(before.size(), kPageSize);
    }
    const QString path = directory + QStringLiteral("/Iniprofil.ini");
    writeBytes(path, before);
    if (disk) {
        // Room for a lock file and a one-page temporary file, not for a two-page one.
        writeBytes(directory + QStringLiteral("/filler"),
                   QByteArray((disk->freePages() - 2) * kPageSize, 'f'));
        QCOMPARE(disk->freePages(), 2);
    } else {
        const qint64 bytes = saved.size();
        limit.emplace(where == u"first" ? 0 : where == u"middle" ? bytes / 2 : bytes - 1);
    }

    QCOMPARE(generalSettingsSave(path), unableToWrite(path));
    QCOMPARE(readBytes(path), before);
    QCOMPARE(entriesOf(directory).filter(QStringLiteral("Iniprofil")),
             QStringList{"Iniprofil.ini"});
    for (const Write& write : kGeneralSettingsSave)
        QCOMPARE(SettingsFile(path).ReadInteger("Global", write.key, -1), -1);

    // Room again: the same save goes through.
    limit.reset();
    if (disk)
        QVERIFY(QFile::remove(directory + QStringLiteral("/filler")));
    QCOMPARE(generalSettingsSave(path), QString());
    QCOMPARE(readBytes(path), saved);
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
    QTest::newRow("Windows-1251 throughout")
        << testsupport::toWindows1251(before) << testsupport::toWindows1251(after);
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

    saveInteger(settings, "Profil0", "T0", 130);
    QCOMPARE(fileBytes(), after);
    const SettingsFile reopened;
    QCOMPARE(reopened.ReadString("Profil0", "Name", ""), QStringLiteral("Профиль №1 «ёЁ»"));
    QCOMPARE(reopened.ReadString("Profil0", "Note", ""), QStringLiteral("Олово"));
    QCOMPARE(reopened.ReadInteger("Profil0", "T0", 0), 130);

    // A name the console writes reads back exactly, whatever the file's encoding.
    saveString(settings, "Profil1", "Name", QStringLiteral("Свинцовый QFN, ёмкость"));
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
    // A temporary as a console killed in the middle of a save leaves it. Only a
    // save that holds the lock may take it for a leftover.
    const QString leftover = m_dir->settingsPath() + QStringLiteral(".tmp1z141z3");
    writeBytes(leftover, "[Profil0]\nName=Hal");
    QProcess* holder = startWriter({QStringLiteral("hold-lock"), m_dir->settingsPath()}, this);
    QTRY_VERIFY_WITH_TIMEOUT(holder->canReadLine(), 30000);
    QCOMPARE(holder->readLine(), QByteArray("locked\n"));
    const QString lockPath = m_dir->settingsPath() + QStringLiteral(".lock");
    QVERIFY(QFileInfo::exists(lockPath));
    if (killHolder) {
        holder->kill();
        QVERIFY(holder->waitForFinished(30000));
    }

    SettingsFile settings;
    if (killHolder) {
        QCOMPARE(refusalOf(settings), QStringLiteral("written"));
        QCOMPARE(fileBytes(), QByteArray("[Profil0]\nName=New\nT0=1\n"));
        // The lock was this console's for the span of the save only; the leftover is gone.
        QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
    } else {
        QCOMPARE(refusalOf(settings), unableToWrite(m_dir->settingsPath()));
        QCOMPARE(fileBytes(), before);
        QVERIFY(QFileInfo::exists(lockPath));
        QCOMPARE(readBytes(leftover), QByteArray("[Profil0]\nName=Hal"));
    }
    holder->kill();
    holder->waitForFinished(30000);
}
// A console killed in the microseconds it creates the lock, or while it takes
// a dead console's lock over (under Qt's helper lock "<lock>.rmlock"), leaves
// a file that names no one. The next save clears it and is made.
void TestSettingsFile::lockLeftHalfMadeByAKilledConsole_data() {
    QTest::addColumn<bool>("deadHolder"); // a lock naming a console that is gone
    QTest::addColumn<bool>("emptyLock");
    QTest::addColumn<bool>("emptyHelper");
    QTest::newRow("lock created, not yet written") << false << true << false;
    QTest::newRow("take-over's helper created, not yet written") << true << false << true;
    QTest::newRow("both left empty") << false << true << true;
}

void TestSettingsFile::lockLeftHalfMadeByAKilledConsole() {
    QFETCH(bool, deadHolder);
    QFETCH(bool, emptyLock);
    QFETCH(bool, emptyHelper);
    m_dir->writeSettings("[Profil0]\nName=Old\nT0=1\n");
    const QString lockPath = m_dir->settingsPath() + QStringLiteral(".lock");
    if (deadHolder) {
        QProcess* holder = startWriter({QStringLiteral("hold-lock"), m_dir->settingsPath()}, this);
        QTRY_VERIFY_WITH_TIMEOUT(holder->canReadLine(), 30000);
        holder->kill();
        QVERIFY(holder->waitForFinished(30000));
        QVERIFY(readBytes(lockPath).size() > 0);
    }
    if (emptyLock)
        writeBytes(lockPath, QByteArray());
    if (emptyHelper)
        writeBytes(lockPath + QStringLiteral(".rmlock"), QByteArray());

    SettingsFile settings;
    QCOMPARE(refusalOf(settings), QStringLiteral("written"));
    QCOMPARE(fileBytes(), QByteArray("[Profil0]\nName=New\nT0=1\n"));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

// Keys written are read back by the same accessor at once, but reach the file
// only at the save; an accessor that goes without saving leaves the file alone
// (and says so, unless an error is on its way out).
void TestSettingsFile::writesAreSeenAtOnceAndReachTheFileAtTheSave() {
    const QByteArray before = "[Global]\nHex=0\n";
    m_dir->writeSettings(before);
    {
        SettingsFile settings;
        settings.WriteInteger("Global", "Hex", 1);
        settings.WriteString("GLOBAL", "hex", "2");
        settings.WriteString("Profil0", "Name", "a\tb\nc");
        QCOMPARE(settings.ReadInteger("Global", "Hex", -1), 2);
        QCOMPARE(settings.ReadString("profil0", "NAME", ""), QStringLiteral("a\tb c"));
        QCOMPARE(SettingsFile().ReadInteger("Global", "Hex", -1), 0);
        QCOMPARE(fileBytes(), before);
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("settings: 3 key(s) written to %1 but never "
                                                       "committed")
                                            .arg(m_dir->settingsPath())));
    }
    QCOMPARE(fileBytes(), before);

    try {
        SettingsFile settings;
        settings.WriteInteger("Global", "Hex", 1);
        throw config::ConversionError(QStringLiteral("75%"));
    } catch (const config::ConversionError&) {
    }
    QCOMPARE(fileBytes(), before);

    SettingsFile settings;
    settings.WriteInteger("Global", "Hex", 1);
    settings.WriteString("Global", "hex", "2");
    settings.commit();
    QCOMPARE(fileBytes(), QByteArray("[Global]\nHex=2\n"));
    // A save with nothing written does not touch the file.
    const QDateTime saved = QFileInfo(m_dir->settingsPath()).lastModified();
    settings.commit();
    QCOMPARE(QFileInfo(m_dir->settingsPath()).lastModified(), saved);
}

// In a Windows-1251 file, a value with a character that code page lacks
// refuses the whole save, the keys before it included: the message names the
// character, the file keeps every byte, and the accessor reads the file.
void TestSettingsFile::characterTheFileCannotHoldRefusesTheWholeSave() {
    const QByteArray before = testsupport::toWindows1251(
        QStringLiteral("[Profil0]\r\nT0=100\r\nName=Медь\r\n[Profil1]\r\nName=Олово\r\n"));
    m_dir->writeSettings(before);
    SettingsFile settings;
    settings.WriteInteger("Profil0", "T0", 120);
    settings.WriteString("Profil0", "Name", QStringLiteral("Медь ✓"));
    settings.WriteString("Profil1", "Name", QStringLiteral("Свинец"));
    QString message;
    try {
        settings.commit();
    } catch (const config::EncodingError& error) {
        message = error.message();
    }
    QCOMPARE(message, QStringLiteral("Символ «✓» (U+2713) нельзя записать в файл настроек в "
                                     "кодировке Windows-1251"));
    QCOMPARE(fileBytes(), before);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
    QCOMPARE(settings.ReadInteger("Profil0", "T0", 0), 100);
    QCOMPARE(settings.ReadString("Profil0", "Name", ""), QStringLiteral("Медь"));

    // The same names go into a UTF-8 file.
    m_dir->writeSettings(QStringLiteral("[Profil0]\nName=Медь\n").toUtf8());
    settings.WriteString("Profil0", "Name", QStringLiteral("Медь ✓"));
    settings.commit();
    QCOMPARE(fileBytes(), QStringLiteral("[Profil0]\nName=Медь ✓\n").toUtf8());
}

// What a save asks of the system, seen from outside (strace): the file read
// once, one temporary written and synced, one rename onto the file, then the
// folder synced. Without the folder's sync a power cut right after the save may
// bring the old file back.
void TestSettingsFile::saveReadsOnceReplacesOnceAndSyncsTheFolder() {
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        QSKIP("strace is not installed");
    m_dir->writeSettings("[Profil0]\nT0=1\n");
    QProcess traced;
    traced.setProgram(strace);
    traced.setArguments({"-f", "-e", "trace=openat,rename,renameat,renameat2,fsync,fdatasync", "-o",
                         m_dir->path() + QStringLiteral("/trace"), "--",
                         QStringLiteral(SETTINGS_WRITER), "serve", m_dir->settingsPath()});
    traced.start();
    QVERIFY(traced.waitForStarted(30000));
    traced.write("editor 3\n");
    traced.closeWriteChannel();
    QVERIFY(traced.waitForFinished(60000));
    if (traced.exitCode() != 0)
        QSKIP("strace cannot trace here (no ptrace)");
    QCOMPARE(QString::fromUtf8(traced.readAllStandardOutput()), QStringLiteral("done 3\n"));
    QCOMPARE(SettingsFile().ReadInteger("Profil9", "S3", 0), 395);

    // The calls on the settings file and its folder, with the descriptors named.
    const QString file = m_dir->settingsPath();
    const QString folder = m_dir->path();
    QStringList calls;
    QHash<QString, QString> named; // descriptor -> what it was opened on
    const QRegularExpression open(
        QStringLiteral("openat\\(AT_FDCWD, \"([^\"]*)\", ([^)]*)\\) = (\\d+)"));
    const QRegularExpression sync(QStringLiteral("(fsync|fdatasync)\\((\\d+)\\)"));
    const QRegularExpression rename(QStringLiteral("rename\\w*\\(.*\"([^\"]*)\".*\"([^\"]*)\""));
    for (const QString& line :
         QString::fromUtf8(readBytes(folder + QStringLiteral("/trace"))).split(u'\n')) {
        if (const auto m = open.match(line); m.hasMatch()) {
            const QString path = m.captured(1);
            const QString what = path == file                     ? QStringLiteral("file")
                                 : path == folder                 ? QStringLiteral("folder")
                                 : path.startsWith(file + ".tmp") ? QStringLiteral("temporary")
                                                                  : QString();
            named.insert(m.captured(3), what);
            // The folder is also opened to look for leftovers; only its sync counts.
            if (!what.isEmpty() && what != u"folder")
                calls << QStringLiteral("open %1").arg(what);
        } else if (const auto m = sync.match(line); m.hasMatch()) {
            const QString what = named.value(m.captured(2));
            if (!what.isEmpty())
                calls << QStringLiteral("sync %1").arg(what);
        } else if (const auto m = rename.match(line); m.hasMatch()) {
            if (m.captured(2) == file && m.captured(1).startsWith(file + ".tmp"))
                calls << QStringLiteral("rename temporary onto file");
        }
    }
    QCOMPARE(calls, QStringList({"open file", "open temporary", "sync temporary",
                                 "rename temporary onto file", "sync folder"}));
}

// Consoles killed at random moments while saving a file of a few megabytes:
// each save removes what the kills before it left, and so does the save after
// the last kill, together with a leftover of an older version's kill. The file
// is whole, as one save or another left it.
void TestSettingsFile::killedSavesLeaveNoTemporaryBehind() {
    QByteArray big = "[Profil0]\nName=" + QStringLiteral("Олово").toUtf8() + "\n";
    while (big.size() < qsizetype(4) * 1024 * 1024)
        big += "; " + QByteArray(98, char('a' + big.size() % 26)) + "\n";
    m_dir->writeSettings(big);
    QRandomGenerator random(25);
    for (int kill = 0; kill < 20; ++kill) {
        QProcess* writer = startWriter({QStringLiteral("save"), m_dir->settingsPath(),
                                        QStringLiteral("K"), QStringLiteral("100000")},
                                       this);
        QVERIFY(writer->waitForStarted(30000));
        QTest::qWait(20 + random.bounded(60));
        writer->kill();
        QVERIFY(writer->waitForFinished(30000));
        delete writer;
    }
    qInfo("%lld temporaries left after 20 kills",
          qlonglong(entriesOf(m_dir->path()).filter(QStringLiteral(".tmp")).size()));
    writeBytes(m_dir->settingsPath() + QStringLiteral(".tmpq0"), big.left(1000));
    // An operator's own file beside it is no temporary of ours.
    writeBytes(m_dir->settingsPath() + QStringLiteral(".tmp-notes.txt"), "mine");

    SettingsFile settings;
    saveString(settings, "Profil0", "Name", QStringLiteral("Медь"));
    // (A console killed while it took over another's lock may leave the lock's
    // own helper file; a save that finds the lock taken clears it, and one that
    // does not has no need to.)
    QCOMPARE(entriesOf(m_dir->path()).filter(QStringLiteral(".tmp")),
             QStringList{"Iniprofil.ini.tmp-notes.txt"});
    QVERIFY(entriesOf(m_dir->path()).contains(QStringLiteral("Iniprofil.ini")));
    const QByteArray after = fileBytes();
    QVERIFY(after.startsWith("[Profil0]\nName=" + QStringLiteral("Медь").toUtf8() + "\n"));
    QVERIFY(after.contains(big.mid(big.indexOf("\n; "))));
    const SettingsFile reread;
    const int saves = reread.ReadString("Common", "Last", "K-1").mid(1).toInt() + 1;
    for (int i = 0; i < saves; ++i)
        QCOMPARE(reread.ReadInteger("K", QStringLiteral("Save%1").arg(i), -1), i);
}

// Two consoles, one saving the profile editor and the other the connection
// 15 ms later, fifty times: each round leaves both saves whole in the file.
void TestSettingsFile::twoConsolesSavingTheEditorAndTheConnection() {
    constexpr int kRounds = 50;
    const QByteArray kept = "; \xCC\xE5\xE4\xFC\n[Global]\nHex=1\n";
    m_dir->writeSettings(kept);
    QProcess* editor = startWriter({QStringLiteral("serve"), m_dir->settingsPath()}, this);
    QProcess* connection = startWriter({QStringLiteral("serve"), m_dir->settingsPath()}, this);
    QVERIFY(editor->waitForStarted(30000) && connection->waitForStarted(30000));
    const auto answer = [](QProcess* console) {
        if (!console->canReadLine() && !console->waitForReadyRead(30000))
            return QByteArray("<none>");
        return console->readLine().trimmed();
    };
    for (int round = 0; round < kRounds; ++round) {
        editor->write(QByteArray("editor ") + QByteArray::number(round) + "\n");
        QTest::qWait(15);
        connection->write(QByteArray("connection ") + QByteArray::number(round) + "\n");
        QCOMPARE(answer(editor), QByteArray("done ") + QByteArray::number(round));
        QCOMPARE(answer(connection), QByteArray("done ") + QByteArray::number(round));

        const SettingsFile settings;
        for (int p = 0; p < 10; ++p) {
            const QString section = QStringLiteral("Profil%1").arg(p);
            int key = 0;
            for (const char* name : {"T0", "TB", "T1", "S1", "T3", "S3"})
                QCOMPARE(settings.ReadInteger(section, name, -1), round * 100 + p * 10 + key++);
            QCOMPARE(settings.ReadString(section, "Name", ""),
                     QStringLiteral("Профиль %1, круг %2").arg(p).arg(round));
        }
        QCOMPARE(settings.ReadString("Connect", "Comport", ""),
                 QStringLiteral("Com%1").arg(round % 6 + 1));
        QCOMPARE(settings.ReadString("Connect", "BaudRate", ""), QString::number(9600 + round));
        QCOMPARE(settings.ReadInteger("Global", "Hex", 0), 1);
    }
    editor->closeWriteChannel();
    connection->closeWriteChannel();
    QVERIFY(editor->waitForFinished(30000) && connection->waitForFinished(30000));
    QVERIFY(fileBytes().startsWith(kept));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
