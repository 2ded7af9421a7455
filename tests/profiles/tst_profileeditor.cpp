// SPDX-License-Identifier: GPL-3.0-or-later
// The profile editor: its table, the load at each showing, Save and Exit against real files.
#include "config/SettingsFile.h"
#include "tests/profiles/ProfilesFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

using profilestest::nameField;
using profilestest::valueField;

namespace {

const char* const kKeys[] = {"T0", "TB", "T1", "S1", "T3", "S3"};

QString section(int profile) {
    return QStringLiteral("Profil") + QString::number(profile);
}

// The [Profil*] sections and keys of a settings text, in file order.
QStringList sectionsAndKeys(const QByteArray& bytes) {
    QStringList out;
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith('['))
            out << QString::fromUtf8(line);
        else if (line.contains('='))
            out << QString::fromUtf8(line.left(line.indexOf('=')));
    }
    return out;
}

} // namespace

class TestProfileEditor : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsSitWhereTheTableSays_data();
    void controlsSitWhereTheTableSays();
    void seventyFieldsAndNoLabel8();
    void tabOrderRunsValuesButtonsThenNames();
    void operatorTypingIsLimitedProgramTextIsNot();

    void withoutAFileEveryValueIsZero();
    void showingLoadsTheStoredValues_data();
    void showingLoadsTheStoredValues();
    void exitWritesNothingAndTheNextShowingReloads();

    void saveRoundTripsAllTenProfiles();
    void saveStoresEachValueInDecimal_data();
    void saveStoresEachValueInDecimal();
    void saveShowsTheSavedProfileOnTheMainWindow();
    void longNameIsShownAndSavedWhole();
    void badFieldStopsTheSaveBeforeAnyWrite_data();
    void badFieldStopsTheSaveBeforeAnyWrite();
    void refusedWriteKeepsTheEditorOpen();

private:
    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<profilestest::ProfileWindows> m_windows;
};

void TestProfileEditor::init() {
    m_dir.emplace();
    m_dir->writeSettings(profilestest::kStoredProfiles);
    m_windows.emplace();
}

void TestProfileEditor::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

void TestProfileEditor::controlsSitWhereTheTableSays_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontPx");

    const auto row = [](const char* name, QRect geometry, const QString& text, int px) {
        QTest::newRow(name) << QString::fromLatin1(name) << geometry << text << px;
    };
    row("Label18", {45, 5, 276, 21}, QStringLiteral("Наименование профиля"), 13);
    row("Label12", {333, 5, 50, 21}, "T0", 13);
    row("Label13", {386, 5, 50, 21}, "TB", 13);
    row("Label14", {440, 5, 50, 21}, "T1", 13);
    row("Label15", {493, 5, 50, 21}, "S1", 13);
    row("Label16", {545, 5, 50, 21}, "T3", 13);
    row("Label17", {598, 5, 50, 21}, "S3", 13);
    row("Label1", {0, 31, 23, 21}, "0", 13);
    row("Label7", {0, 193, 23, 21}, "6", 13);
    row("Label9", {0, 220, 23, 21}, "7", 13);
    row("Label11", {0, 274, 23, 21}, "9", 13);
    row("Edit1", {333, 32, 50, 21}, "180", 11);
    row("Edit12", {598, 59, 50, 21}, "0", 11);
    row("Edit28", {493, 140, 50, 21}, "0", 11);
    row("Edit43", {333, 221, 50, 21}, "0", 11);
    row("Edit60", {598, 275, 50, 21}, "0", 11);
    row("Edit61", {29, 32, 298, 21}, QStringLiteral("Бессвинцовый BGA"), 11);
    row("Edit64", {29, 113, 298, 21}, QStringLiteral("BGA, малый, 2 слоя"), 11);
    row("Edit70", {29, 275, 298, 21}, "", 11);
    row("Button3", {650, 32, 24, 21}, "?", 11);
    row("Button12", {650, 275, 24, 21}, "?", 11);
    row("Button1", {443, 306, 100, 20}, QStringLiteral("Сохранить"), 11);
    row("Button2", {549, 306, 100, 20}, QStringLiteral("Выйти"), 11);
}

void TestProfileEditor::controlsSitWhereTheTableSays() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, fontPx);

    TForm6& editor = m_windows->form6();
    m_windows->showEditor();
    QCOMPARE(editor.windowTitle(), QStringLiteral("Редактор профилей"));
    QCOMPARE(editor.size(), QSize(679, 334));

    auto* control = editor.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(control->font().pixelSize(), fontPx);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->alignment(), Qt::AlignCenter);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QCOMPARE(edit->text(), text);
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), text);
        QVERIFY(!button->autoDefault()); // Enter in a field must not save or open anything
    }
}

void TestProfileEditor::seventyFieldsAndNoLabel8() {
    TForm6& editor = m_windows->form6();
    QCOMPARE(editor.findChildren<QLineEdit*>().size(), 70);
    for (int number = 1; number <= 70; ++number)
        QVERIFY(editor.findChild<QLineEdit*>(QStringLiteral("Edit") + QString::number(number)));
    QVERIFY(!editor.findChild<QWidget*>(QStringLiteral("Label8")));
    for (int p = 0; p < 10; ++p) {
        const int number = p < 7 ? p + 1 : p + 2;
        auto* label = editor.findChild<QLabel*>(QStringLiteral("Label") + QString::number(number));
        QVERIFY(label);
        QCOMPARE(label->text(), QString::number(p));
        QCOMPARE(label->y(), 31 + 27 * p);
    }
}

void TestProfileEditor::tabOrderRunsValuesButtonsThenNames() {
    QStringList expected;
    for (int number = 1; number <= 60; ++number)
        expected << QStringLiteral("Edit") + QString::number(number);
    for (int number = 1; number <= 12; ++number)
        expected << QStringLiteral("Button") + QString::number(number);
    for (int number = 61; number <= 70; ++number)
        expected << QStringLiteral("Edit") + QString::number(number);

    QWidget* widget = m_windows->editorField(1);
    QStringList chain;
    while (widget && chain.size() < expected.size()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(chain, expected);
}

void TestProfileEditor::operatorTypingIsLimitedProgramTextIsNot() {
    m_windows->showEditor();
    QLineEdit* value = m_windows->editorField(valueField(5, 2));
    QLineEdit* name = m_windows->editorField(nameField(5));

    value->clear();
    QTest::keyClicks(value, "1234");
    QCOMPARE(value->text(), QStringLiteral("123"));
    value->setText(QStringLiteral("1000"));
    QCOMPARE(value->text(), QStringLiteral("1000"));

    name->clear();
    QTest::keyClicks(name, QByteArray(35, 'n').constData());
    QCOMPARE(name->text(), QString(30, u'n'));
    name->setText(QString(40, u'm'));
    QCOMPARE(name->text(), QString(40, u'm'));
}

void TestProfileEditor::withoutAFileEveryValueIsZero() {
    QVERIFY(QFile::remove(m_dir->settingsPath()));
    m_windows->showEditor();
    QStringList expected;
    for (int number = 1; number <= 60; ++number)
        expected << QStringLiteral("0");
    for (int number = 61; number <= 70; ++number)
        expected << QString();
    QCOMPARE(m_windows->editorTexts(), expected);
    QVERIFY(!m_dir->readSettings()); // loading creates nothing
}

void TestProfileEditor::showingLoadsTheStoredValues_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("decimal") << valueField(0, 0) << "180";
    QTest::newRow("name in Cyrillic") << nameField(0) << QStringLiteral("Бессвинцовый BGA");
    QTest::newRow("0x hex") << valueField(3, 0) << "31";
    QTest::newRow("$ hex") << valueField(3, 1) << "31";
    QTest::newRow("malformed reads as 0") << valueField(3, 2) << "0";
    QTest::newRow("four digits shown in full") << valueField(3, 3) << "1000";
    QTest::newRow("negative") << valueField(3, 4) << "-5";
    QTest::newRow("missing key") << valueField(3, 5) << "0";
    QTest::newRow("name with commas") << nameField(3) << QStringLiteral("BGA, малый, 2 слоя");
    QTest::newRow("missing section") << valueField(9, 5) << "0";
    QTest::newRow("missing name") << nameField(9) << "";
}

void TestProfileEditor::showingLoadsTheStoredValues() {
    QFETCH(int, field);
    QFETCH(QString, expected);
    m_windows->editorField(field)->setText(QStringLiteral("left over"));
    m_windows->showEditor();
    QCOMPARE(m_windows->editorField(field)->text(), expected);
}

void TestProfileEditor::exitWritesNothingAndTheNextShowingReloads() {
    const QStringList stored = [this] {
        m_windows->showEditor();
        return m_windows->editorTexts();
    }();
    const std::optional<QByteArray> before = m_dir->readSettings();

    QStringList changed = stored;
    changed[0] = QStringLiteral("999");
    changed[63] = QStringLiteral("Новое имя");
    m_windows->setEditorTexts(changed);
    m_windows->editorButton(2)->click();

    QVERIFY(!m_windows->form6().isVisible());
    QCOMPARE(m_dir->readSettings(), before);
    m_windows->showEditor();
    QCOMPARE(m_windows->editorTexts(), stored);
}

void TestProfileEditor::saveRoundTripsAllTenProfiles() {
    QVERIFY(QFile::remove(m_dir->settingsPath()));
    m_windows->showEditor();
    QStringList texts;
    for (int p = 0; p < 10; ++p)
        for (int key = 0; key < 6; ++key)
            texts << QString::number(p * 100 + key * 7 - 20);
    for (int p = 0; p < 10; ++p)
        texts << QStringLiteral("Профиль №%1").arg(p);
    texts[nameField(1) - 1] = QStringLiteral("BGA, 2 слоя, до 240 °C");
    texts[nameField(2) - 1] = QStringLiteral("  с пробелами по краям  ");
    texts[nameField(3) - 1] = QString(); // an empty name is written empty
    m_windows->setEditorTexts(texts);

    m_windows->editorButton(1)->click();
    QVERIFY(!m_windows->form6().isVisible());
    QCOMPARE(m_windows->form6().result(), int(QDialog::Accepted));

    // A fresh file: ten sections of seven keys in the order they are written.
    QStringList expectedLayout;
    for (int p = 0; p < 10; ++p) {
        expectedLayout << QLatin1Char('[') + section(p) + QLatin1Char(']');
        for (const char* key : kKeys)
            expectedLayout << QLatin1String(key);
        expectedLayout << QStringLiteral("Name");
    }
    const std::optional<QByteArray> bytes = m_dir->readSettings();
    QVERIFY(bytes);
    QCOMPARE(sectionsAndKeys(*bytes), expectedLayout);

    const config::SettingsFile ini;
    for (int p = 0; p < 10; ++p) {
        for (int key = 0; key < 6; ++key)
            QCOMPARE(ini.ReadString(section(p), QLatin1String(kKeys[key]), QStringLiteral("?")),
                     texts[valueField(p, key) - 1]);
        QCOMPARE(ini.ReadString(section(p), QStringLiteral("Name"), QStringLiteral("?")),
                 texts[nameField(p) - 1]);
    }

    m_windows->setEditorTexts(QStringList(70, QStringLiteral("x")));
    m_windows->showEditor();
    QCOMPARE(m_windows->editorTexts(), texts);
}

// A name far beyond what a line edit keeps by default comes into the editor whole
// and goes back to the file whole; a cut one would be a silent change of the file.
void TestProfileEditor::longNameIsShownAndSavedWhole() {
    QString name;
    for (int i = 0; name.size() < 100000; ++i)
        name += QStringLiteral("Профиль %1; ").arg(i);
    name.truncate(100000);
    {
        config::SettingsFile settings;
        settings.WriteString(section(4), QStringLiteral("Name"), name);
        settings.commit();
    }

    m_windows->showEditor();
    QCOMPARE(m_windows->editorField(nameField(4))->text().size(), name.size());
    QCOMPARE(m_windows->editorField(nameField(4))->text(), name);

    m_windows->editorButton(1)->click();
    QVERIFY(!m_windows->form6().isVisible());
    const QString stored =
        config::SettingsFile().ReadString(section(4), QStringLiteral("Name"), {});
    QCOMPARE(stored.size(), name.size());
    QCOMPARE(stored, name);
}

void TestProfileEditor::saveStoresEachValueInDecimal_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("negative") << "-5"
                              << "-5";
    QTest::newRow("leading blanks") << "  12"
                                    << "12";
    QTest::newRow("plus sign") << "+7"
                               << "7";
    QTest::newRow("$ hex") << "$1F"
                           << "31";
    QTest::newRow("0x hex") << "0x1F"
                            << "31";
    QTest::newRow("x hex") << "x10"
                           << "16";
    QTest::newRow("eight hex digits wrap") << "$FFFFFFFF"
                                           << "-1";
    QTest::newRow("four digits from the program") << "1000"
                                                  << "1000";
    QTest::newRow("smallest") << "-2147483648"
                              << "-2147483648";
}

void TestProfileEditor::saveStoresEachValueInDecimal() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    m_windows->showEditor();
    m_windows->editorField(valueField(4, 3))->setText(typed); // S1 of profile 4
    m_windows->editorButton(1)->click();
    QVERIFY(!m_windows->form6().isVisible());
    QCOMPARE(config::SettingsFile().ReadString(section(4), QStringLiteral("S1"), QString()),
             stored);
}

void TestProfileEditor::saveShowsTheSavedProfileOnTheMainWindow() {
    QCOMPARE(m_windows->mainText("Label4"), QStringLiteral("180")); // profile 0, from start-up
    m_windows->showEditor();
    const QStringList values = {"101", "102", "103", "104", "105", "106"};
    for (int key = 0; key < 6; ++key)
        m_windows->editorField(valueField(0, key))->setText(values[key]);
    m_windows->editorField(nameField(0))->setText(QStringLiteral("Новый, свинцовый"));

    m_windows->editorButton(1)->click();

    QCOMPARE(m_windows->mainText("Label4"), values[0]);
    QCOMPARE(m_windows->mainText("Label5"), values[1]);
    QCOMPARE(m_windows->mainText("Label6"), values[2]);
    QCOMPARE(m_windows->mainText("Label7"), values[3]);
    QCOMPARE(m_windows->mainText("Label8"), values[4]);
    QCOMPARE(m_windows->mainText("Label9"), values[5]);
    QCOMPARE(m_windows->mainText("EditTemperatureDown"), values[1]);
    QCOMPARE(m_windows->mainText("EditTemperatureUP"), values[4]);
    QCOMPARE(m_windows->mainText("Label37"), QStringLiteral("Новый, свинцовый"));
}

void TestProfileEditor::badFieldStopsTheSaveBeforeAnyWrite_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("blank after the digits, S1 of profile 4") << valueField(4, 3) << "12 ";
    QTest::newRow("empty, the very first field") << valueField(0, 0) << "";
    QTest::newRow("letters, T0 of profile 5") << valueField(5, 0) << "abc";
    QTest::newRow("decimal overflow") << valueField(7, 1) << "99999999999";
    QTest::newRow("sign without digits") << valueField(8, 2) << "-";
    QTest::newRow("nine hex digits, the last field") << valueField(9, 5) << "$123456789";
}

void TestProfileEditor::badFieldStopsTheSaveBeforeAnyWrite() {
    QFETCH(int, field);
    QFETCH(QString, text);

    m_windows->showEditor();
    QStringList texts = m_windows->editorTexts();
    // Good changes before and after the bad field, and a second bad field
    // after it: only the first one in table order is reported.
    for (int number = 1; number <= 60; ++number)
        texts[number - 1] = QString::number(number);
    texts[nameField(0) - 1] = QStringLiteral("Не сохранится");
    texts[field - 1] = text;
    if (field < 60)
        texts[59] = QStringLiteral("zz");
    m_windows->setEditorTexts(texts);

    // Changed behind the main window's back, so a reload would show.
    QByteArray changedFile = profilestest::kStoredProfiles;
    changedFile.replace("T0=180", "T0=181");
    m_dir->writeSettings(changedFile);

    testsupport::ModalWatcher boxes;
    m_windows->editorButton(1)->click();

    QCOMPARE(boxes.texts(), QStringList{QLatin1Char('\'') + text +
                                        QStringLiteral("' is not a valid integer value.")});
    QCOMPARE(boxes.boxes().front().icon, QMessageBox::Critical);
    QCOMPARE(m_dir->readSettings(), std::optional<QByteArray>(changedFile));
    QVERIFY(m_windows->form6().isVisible());
    QCOMPARE(m_windows->editorTexts(), texts);
    QCOMPARE(m_windows->mainText("Label4"), QStringLiteral("180"));
}

void TestProfileEditor::refusedWriteKeepsTheEditorOpen() {
    m_windows->showEditor();
    const QStringList texts = m_windows->editorTexts();
    // A directory where the file should be: every write is refused, even for root.
    QVERIFY(QFile::remove(m_dir->settingsPath()));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Iniprofil.ini")));

    testsupport::ModalWatcher boxes;
    m_windows->editorButton(1)->click();

    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("Unable to write to ") + m_dir->settingsPath() + u'.'});
    QCOMPARE(boxes.boxes().front().icon, QMessageBox::Critical);
    QVERIFY(m_windows->form6().isVisible());
    QCOMPARE(m_windows->editorTexts(), texts);
    // Not reloaded: a reload would read the defaults now.
    QCOMPARE(m_windows->mainText("Label4"), QStringLiteral("180"));
}

QTEST_MAIN(TestProfileEditor)
#include "tst_profileeditor.moc"
