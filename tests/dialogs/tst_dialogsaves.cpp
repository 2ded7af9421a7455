// SPDX-License-Identifier: GPL-3.0-or-later
// Each save the operator makes (the general settings, the connection, the profile editor, the chart
// menu's switches) as one change of the settings file: all of it or none, one replacement of the
// file, a Windows-1251 file kept in Windows-1251, and the lines the console does not know kept in
// their place. The console's windows run in this process on real files.
#include "app/Application.h"
#include "config/FileReplace.h"
#include "config/SettingsFile.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/FileChanges.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"
#include "tests/support/Windows1251.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

using testsupport::ModalWatcher;

namespace {

// A file as the console writes it, every section present.
QByteArray consoleFile() {
    QString text =
        QStringLiteral("[Connect]\nComport=Com1\nBaudRate=19200\n\n[Global]\n"
                       "EditP2=70\nEditpGain=40\nEditiGain=5\nEditdGain=10\nEditTpid=20\n"
                       "EditpBH=80\nEditkBH=10\nEditP1=80\nCorrect1=0\nCorrect2=0\n"
                       "Hex=0\nVisibleProfil=1\nTempEnableFan=150\nEnableFan=0\n"
                       "AutoStart=1\n");
    const QStringList names = {"Бессвинцовый BGA", "Свинец", "Медь, ёмкость",  "QFN 5×5",
                               "Олово №2",         "Ремонт", "Пайка «мягкая»", "Проверка",
                               "Разогрев",         "Ёлка"};
    for (int p = 0; p < 10; ++p)
        text += QStringLiteral("\n[Profil%1]\nT0=%2\nTB=%3\nT1=%4\nS1=%5\nT3=%6\nS3=%7\nName=%8\n")
                    .arg(p)
                    .arg(100 + p)
                    .arg(150 + p)
                    .arg(170 + p)
                    .arg(60 + p)
                    .arg(230 + p)
                    .arg(30 + p)
                    .arg(names[p]);
    return text.toUtf8();
}

// The file's lines with their line breaks.
QList<QByteArray> linesOf(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        lines.append(bytes.mid(start, next - start));
        start = next;
    }
    return lines;
}

// Whether `part` is `whole` with some lines left out, the rest in order.
bool keptInOrder(const QList<QByteArray>& part, const QList<QByteArray>& whole) {
    qsizetype at = 0;
    for (const QByteArray& line : part) {
        while (at < whole.size() && whole[at] != line)
            ++at;
        if (at == whole.size())
            return false;
        ++at;
    }
    return true;
}

QStringList entriesOf(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                     QDir::Name);
}

// The saves an operator makes.
enum class Save { General, Connection, Editor, AutoSave, Targets };

// What the main window shows of the settings file.
const char* const kMainWindowControls[] = {"Label1", "Label2", "Label4", "Label5",  "Label6",
                                           "Label7", "Label8", "Label9", "Label36", "Label37"};

} // namespace

Q_DECLARE_METATYPE(Save)

class TestDialogSaves : public QObject {
    Q_OBJECT

    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<app::Windows> m_windows;

    void startConsole();
    void press(const QObject& window, const char* name);
    void type(const QObject& window, const char* field, const QString& text);
    // Makes the save as the operator does; for a dialog, whether it stayed open.
    bool save(Save which);
    // Opens the profile editor, types `name` into profile `profile`'s name field
    // and saves; whether the editor stayed open.
    bool saveProfileName(int profile, const QString& name, int secondProfile = -1,
                         const QString& secondName = {});
    QStringList mainWindow() const;

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void eachSaveIsOneChangeOfTheFile_data();
    void eachSaveIsOneChangeOfTheFile();
    void refusedSaveLeavesTheFileAsItWas_data();
    void refusedSaveLeavesTheFileAsItWas();
    void windows1251FileStaysWindows1251();
    void nameOutsideWindows1251IsRefused_data();
    void nameOutsideWindows1251IsRefused();
    void linesTheConsoleDoesNotKnowKeepTheirPlace_data();
    void linesTheConsoleDoesNotKnowKeepTheirPlace();
};

void TestDialogSaves::initTestCase() {
    app::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

void TestDialogSaves::init() {
    m_dir.emplace();
}

void TestDialogSaves::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

void TestDialogSaves::startConsole() {
    m_windows.emplace();
    m_windows->Form1.show();
    const auto* works = m_windows->Form1.findChild<QLabel*>(QStringLiteral("Works"));
    QVERIFY(QTest::qWaitFor([works] { return !works->text().isEmpty(); }, 10000));
}

void TestDialogSaves::press(const QObject& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestDialogSaves::type(const QObject& window, const char* field, const QString& text) {
    auto* edit = window.findChild<QLineEdit*>(QLatin1String(field));
    QVERIFY2(edit, field);
    edit->setText(text);
}

bool TestDialogSaves::save(Save which) {
    app::Windows& w = *m_windows;
    TForm1& main = w.Form1;
    const auto menu = [&main](const char* item) {
        return [&main, item] {
            main.findChild<QAction*>(QLatin1String(item))->trigger();
        };
    };
    bool stayedOpen = false;
    switch (which) {
    case Save::General:
        dialogtest::duringModalRun(menu("N3"), &w.Form2, [&] {
            type(w.Form2, "EditpGain", QStringLiteral("201"));
            type(w.Form2, "Edit1", QStringLiteral("-3"));
            press(w.Form2, "SaveForms");
            stayedOpen = w.Form2.isVisible();
        });
        break;
    case Save::Connection:
        dialogtest::duringModalRun(
            [&] { press(main, "Button2"); }, &w.Form4,
            [&] {
                w.Form4.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setCurrentIndex(1);
                w.Form4.findChild<QComboBox*>(QStringLiteral("ComboBox2"))->setCurrentIndex(5);
                press(w.Form4, "SaveForms");
                stayedOpen = w.Form4.isVisible();
            });
        break;
    case Save::Editor:
        dialogtest::duringModalRun(menu("N4"), &w.Form6, [&] {
            type(w.Form6, "Edit1", QStringLiteral("111"));
            type(w.Form6, "Edit60", QStringLiteral("44"));
            type(w.Form6, "Edit65", QStringLiteral("Новое имя"));
            press(w.Form6, "Button1");
            stayedOpen = w.Form6.isVisible();
        });
        break;
    case Save::AutoSave:
        menu("ActionAutoSave")();
        break;
    case Save::Targets:
        menu("ActionShowTargets")();
        break;
    }
    return stayedOpen;
}

bool TestDialogSaves::saveProfileName(int profile, const QString& name, int secondProfile,
                                      const QString& secondName) {
    app::Windows& w = *m_windows;
    bool stayedOpen = false;
    dialogtest::duringModalRun(
        [&w] { w.Form1.findChild<QAction*>(QStringLiteral("N4"))->trigger(); }, &w.Form6,
        [&] {
            type(w.Form6, qPrintable(QStringLiteral("Edit%1").arg(61 + profile)), name);
            if (secondProfile >= 0)
                type(w.Form6, qPrintable(QStringLiteral("Edit%1").arg(61 + secondProfile)),
                     secondName);
            press(w.Form6, "Button1");
            stayedOpen = w.Form6.isVisible();
        });
    return stayedOpen;
}

QStringList TestDialogSaves::mainWindow() const {
    QStringList shown;
    for (const char* name : kMainWindowControls)
        shown << dialogtest::textOf(m_windows->Form1, name);
    for (const char* action : {"ActionAutoSave", "ActionShowTargets"})
        shown << QString::number(
            m_windows->Form1.findChild<QAction*>(QLatin1String(action))->isChecked());
    return shown;
}

// Without a file every key of a save is new. Each save still changes the file
// once: one new file renamed onto it, never one per key.
void TestDialogSaves::eachSaveIsOneChangeOfTheFile_data() {
    QTest::addColumn<Save>("which");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("general settings, 15 keys")
        << Save::General
        << QStringList{"[Global]",        "EditP2=0",        "EditpGain=201", "EditiGain=0",
                       "EditdGain=0",     "EditTpid=0",      "EditpBH=0",     "EditkBH=0",
                       "EditP1=0",        "Correct1=-3",     "Correct2=0",    "Hex=0",
                       "VisibleProfil=0", "TempEnableFan=0", "EnableFan=0",   "AutoStart=0"};
    QTest::newRow("connection, 2 keys")
        << Save::Connection << QStringList{"[Connect]", "Comport=Com2", "BaudRate=57600"};
    QStringList editor;
    for (int p = 0; p < 10; ++p) {
        editor << QStringLiteral("[Profil%1]").arg(p);
        for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3"})
            editor << QLatin1String(key) + QStringLiteral("=0");
        editor << QStringLiteral("Name=");
    }
    editor[1] = QStringLiteral("T0=111");
    editor[9 * 8 + 6] = QStringLiteral("S3=44");
    editor[4 * 8 + 7] = QStringLiteral("Name=Новое имя");
    QTest::newRow("profile editor, 70 keys") << Save::Editor << editor;
    QTest::newRow("chart switch, 1 key") << Save::Targets << QStringList{"[Record]", "Targets=1"};
}

void TestDialogSaves::eachSaveIsOneChangeOfTheFile() {
    QFETCH(Save, which);
    QFETCH(QStringList, lines);
    startConsole();
    testsupport::FileChanges changes(m_dir->path(), QStringLiteral("Iniprofil.ini"));
    QVERIFY(changes.watching());
    ModalWatcher boxes;
    QVERIFY(!save(which));
    QCOMPARE(boxes.texts(), QStringList());
    QCOMPARE(changes.take(), 1);
    QCOMPARE(dialogtest::settingsLines(m_dir->readSettings().value_or("<none>")), lines);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

// A disk that refuses at the save's first, middle or last byte (counted over
// everything the save writes): the operator sees one box, the dialog stays open
// with the input, the main window shows what it showed, and the file keeps
// every byte, with nothing left beside it. With room again the same save goes
// through and makes the file it would have made.
void TestDialogSaves::refusedSaveLeavesTheFileAsItWas_data() {
    QTest::addColumn<Save>("which");
    QTest::addColumn<QString>("where");
    const std::pair<Save, const char*> saves[] = {{Save::General, "general settings"},
                                                  {Save::Connection, "connection"},
                                                  {Save::Editor, "profile editor"},
                                                  {Save::AutoSave, "journal switch"},
                                                  {Save::Targets, "targets switch"}};
    for (const auto& [which, name] : saves) {
        for (const char* where : {"first", "middle", "last"})
            QTest::addRow("%s, %s byte", name, where) << which << QString::fromLatin1(where);
    }
}

void TestDialogSaves::refusedSaveLeavesTheFileAsItWas() {
    QFETCH(Save, which);
    QFETCH(QString, where);
    const QByteArray before = consoleFile();
    startConsole();

    // The same save in a folder of its own: what it writes, and the file it makes.
    qint64 written = 0;
    QByteArray saved;
    {
        const testsupport::TempAppDir scratch(m_dir->path());
        scratch.writeSettings(before);
        constexpr qint64 kPlenty = qint64(1) << 40;
        const config::ScopedWriteLimit measure(kPlenty);
        ModalWatcher boxes;
        QVERIFY(!save(which));
        QCOMPARE(boxes.texts(), QStringList());
        written = kPlenty - measure.remaining();
        saved = scratch.readSettings().value_or("<none>");
    }
    QVERIFY(written > 0);
    QVERIFY(saved != before);

    m_dir->writeSettings(before);
    m_windows.reset();
    startConsole();
    const QStringList shown = mainWindow();
    const qint64 accepted = where == u"first" ? 0 : where == u"middle" ? written / 2 : written - 1;
    {
        const config::ScopedWriteLimit fullDisk(accepted);
        ModalWatcher boxes;
        const bool stayedOpen = save(which);
        QCOMPARE(boxes.texts(),
                 QStringList{QStringLiteral("Unable to write to %1.").arg(m_dir->settingsPath())});
        QCOMPARE(stayedOpen, which != Save::AutoSave && which != Save::Targets);
    }
    QCOMPARE(m_dir->readSettings().value_or("<none>"), before);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
    QCOMPARE(mainWindow(), shown);

    ModalWatcher boxes;
    QVERIFY(!save(which));
    QCOMPARE(boxes.texts(), QStringList());
    QCOMPARE(m_dir->readSettings().value_or("<none>"), saved);
}

// A file as a Windows program leaves it: Windows-1251, CR LF, a Cyrillic name in
// every profile it has. The names read right; an edited name and a profile new
// to the file are written in Windows-1251 with CR LF, every other line keeps its
// bytes, and a program that reads the file in Windows-1251 sees every name right.
void TestDialogSaves::windows1251FileStaysWindows1251() {
    const QStringList names = {"Бессвинцовый BGA", "Свинец",   "Медь, ёмкость", "Олово №2",
                               "Ремонт «мягкий»",  "Проверка", "Разогрев",      "Ёлка"};
    QString text = QStringLiteral("; Файл станции\r\n[Connect]\r\nComport=Com1\r\nBaudRate=19200"
                                  "\r\n[Global]\r\nHex=0\r\nVisibleProfil=1\r\n");
    for (int p = 0; p < names.size(); ++p)
        text += QStringLiteral("[Profil%1]\r\nT0=%2\r\nTB=150\r\nT1=170\r\nS1=60\r\nT3=230\r\n"
                               "S3=30\r\nName=%3\r\n")
                    .arg(p)
                    .arg(100 + p)
                    .arg(names[p]);
    const QByteArray before = testsupport::toWindows1251(text);
    m_dir->writeSettings(before);
    startConsole();
    QCOMPARE(dialogtest::textOf(m_windows->Form1, "Label37"), names[0]);

    QStringList shown;
    dialogtest::duringModalRun(
        [this] { m_windows->Form1.findChild<QAction*>(QStringLiteral("N4"))->trigger(); },
        &m_windows->Form6,
        [&] {
            for (int p = 0; p < 10; ++p)
                shown << dialogtest::textOf(m_windows->Form6,
                                            qPrintable(QStringLiteral("Edit%1").arg(61 + p)));
        });
    QCOMPARE(shown, names + QStringList(2, QString()));

    const QString edited = QStringLiteral("Медь №3, «ёмкость»");
    const QString added = QStringLiteral("Новый профиль Ё");
    ModalWatcher boxes;
    QVERIFY(!saveProfileName(2, edited, 8, added));
    QCOMPARE(boxes.texts(), QStringList());

    const QByteArray after = m_dir->readSettings().value_or("<none>");
    QVERIFY(after.contains("\r\nName=" + testsupport::toWindows1251(edited) + "\r\n"));
    QVERIFY(after.contains("[Profil8]\r\n"));
    QVERIFY(after.contains("\r\nName=" + testsupport::toWindows1251(added) + "\r\n"));
    QCOMPARE(after.count("\n"), after.count("\r\n"));
    // Every line of the file before is there still, byte for byte and in order,
    // but the edited name's.
    QList<QByteArray> untouched = linesOf(before);
    QVERIFY(untouched.removeAll("Name=" + testsupport::toWindows1251(names[2]) + "\r\n") == 1);
    QVERIFY(keptInOrder(untouched, linesOf(after)));

    // A Windows program reading the file in its code page.
    const QString asWindowsReadsIt = testsupport::fromWindows1251(after);
    QStringList expected = names;
    expected[2] = edited;
    expected << added;
    for (const QString& name : expected)
        QVERIFY2(
            asWindowsReadsIt.contains(QStringLiteral("\r\nName=") + name + QStringLiteral("\r\n")),
            qPrintable(name));
    QVERIFY(!asWindowsReadsIt.contains(QChar(QChar::ReplacementCharacter)));
    // And the console reads the names back the same.
    const config::SettingsFile reread(m_dir->settingsPath());
    QCOMPARE(reread.ReadString(QStringLiteral("Profil2"), QStringLiteral("Name"), {}), edited);
    QCOMPARE(reread.ReadString(QStringLiteral("Profil8"), QStringLiteral("Name"), {}), added);
    QCOMPARE(reread.ReadString(QStringLiteral("Profil4"), QStringLiteral("Name"), {}), names[4]);
}

// A character that Windows-1251 has no byte for cannot go into such a file: the
// save is refused with a box that names it, the editor stays open with the
// name, and the file keeps every byte.
void TestDialogSaves::nameOutsideWindows1251IsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("character");
    QTest::newRow("check mark") << QStringLiteral("Пайка ✓") << QStringLiteral("«✓» (U+2713)");
    QTest::newRow("Chinese") << QStringLiteral("焊接 профиль") << QStringLiteral("«焊» (U+710A)");
    QTest::newRow("outside the 16-bit range")
        << QStringLiteral("Ёлка \U0001F384") << QStringLiteral("«\U0001F384» (U+1F384)");
}

void TestDialogSaves::nameOutsideWindows1251IsRefused() {
    QFETCH(QString, name);
    QFETCH(QString, character);
    const QByteArray before = testsupport::toWindows1251(
        QStringLiteral("[Profil0]\r\nT0=100\r\nName=Свинец\r\n[Profil2]\r\n"
                       "Name=Медь\r\n"));
    m_dir->writeSettings(before);
    startConsole();
    ModalWatcher boxes;
    QVERIFY(saveProfileName(2, name));
    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("Символ %1 нельзя записать в файл настроек в кодировке "
                                        "Windows-1251.")
                             .arg(character)});
    QCOMPARE(m_dir->readSettings().value_or("<none>"), before);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"Iniprofil.ini"});
}

// Lines the console does not understand, inside a section or outside it, keep
// their place and their bytes through every save; only the keys the save
// changes are rewritten.
void TestDialogSaves::linesTheConsoleDoesNotKnowKeepTheirPlace_data() {
    QTest::addColumn<Save>("which");
    QTest::addColumn<QByteArray>("oldLines");
    QTest::addColumn<QByteArray>("newLines");
    QTest::newRow("connection") << Save::Connection << QByteArray("Comport=Com1\nBaudRate=19200\n")
                                << QByteArray("Comport=Com2\nBaudRate=57600\n");
    QTest::newRow("general settings")
        << Save::General << QByteArray("EditpGain=40\n") << QByteArray("EditpGain=201\n");
    QTest::newRow("journal switch")
        << Save::AutoSave << QByteArray("AutoSave=0\n") << QByteArray("AutoSave=1\n");
}

void TestDialogSaves::linesTheConsoleDoesNotKnowKeepTheirPlace() {
    QFETCH(Save, which);
    QFETCH(QByteArray, oldLines);
    QFETCH(QByteArray, newLines);
    QByteArray junk;
    for (int i = 0; i < 64; ++i)
        junk += char((i * 37 + 11) % 256 == '\n' ? 'x' : (i * 37 + 11) % 256);
    const QByteArray odd = "just some words\n"
                           "[Unclosed section\n" +
                           QByteArray("a NUL\0 inside\n", 14) + junk + "\n" + "  \t\n" +
                           "=no key\n";
    const QByteArray before = "; the station's file\nstray words on top\n[Connect]\n"
                              "Comport=Com1\n" +
                              odd + "BaudRate=19200\n\n[Global]\n" + odd +
                              "EditP2=70\nEditpGain=40\nEditiGain=5\nEditdGain=10\nEditTpid=20\n"
                              "EditpBH=80\nEditkBH=10\nEditP1=80\nCorrect1=-3\nCorrect2=0\n"
                              "Hex=0\nVisibleProfil=1\nTempEnableFan=150\nEnableFan=0\n"
                              "AutoStart=1\n" +
                              odd + "\n[Record]\nAutoSave=0\nTargets=0\n" + odd + "; the end\n" +
                              odd;
    m_dir->writeSettings(before);
    startConsole();
    ModalWatcher boxes;
    QVERIFY(!save(which));
    QCOMPARE(boxes.texts(), QStringList());

    QByteArray expected = before;
    qsizetype at = 0;
    for (const QByteArray& line : linesOf(oldLines)) {
        at = expected.indexOf("\n" + line, at) + 1;
        QVERIFY(at > 0);
        const QByteArray replacement = linesOf(newLines)[linesOf(oldLines).indexOf(line)];
        expected.replace(at, line.size(), replacement);
    }
    QCOMPARE(m_dir->readSettings().value_or("<none>"), expected);
}

QTEST_MAIN(TestDialogSaves)
#include "tst_dialogsaves.moc"
