// The connection settings dialog on real settings files: exact-match selection, saving, an open
// link left alone.
#include "dialogs/Unit4.h"
#include "sim/PseudoTerminal.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <optional>

using dialogtest::control;
using dialogtest::textOf;

namespace {

QByteArray connectSection(const QByteArray& comport, const QByteArray& baudRate) {
    return "[Connect]\nComport=" + comport + "\nBaudRate=" + baudRate + "\n";
}

// A section the dialog does not write, to see that a save leaves it be.
const QByteArray kGlobal = "[Global]\nHex=0\nEditpGain=12\n";

} // namespace

class TestConnectionSettings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsStartWithoutAChoice();
    void storedTextSelectsTheEqualItem_data();
    void storedTextSelectsTheEqualItem();
    void unmatchedTextKeepsThePreviousChoice();
    void saveWritesBothChoicesAndShowsThem();
    void saveWithoutAChoiceWritesEmptyValues_data();
    void saveWithoutAChoiceWritesEmptyValues();
    void leavingWritesNothing();
    void refusedWriteKeepsTheLabelsAndTheDialog();
    void savingWhileConnectedLeavesTheLinkAsItIs();

private:
    bool startConsole();
    int selected(const char* list) const {
        return control<QComboBox>(*m_form4, list)->currentIndex();
    }
    void choose(const char* list, int index) {
        control<QComboBox>(*m_form4, list)->setCurrentIndex(index);
    }
    void click(const char* button) { control<QPushButton>(*m_form4, button)->click(); }

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form1;
    TForm4* m_form4 = nullptr; // owned by the main window
};

void TestConnectionSettings::init() {
    m_dir.emplace();
}

void TestConnectionSettings::cleanup() {
    m_form4 = nullptr;
    m_form1.reset();
    m_dir.reset();
}

bool TestConnectionSettings::startConsole() {
    m_form1 = dialogtest::startConsole();
    if (!m_form1)
        return false;
    m_form4 = new TForm4(*m_form1);
    return true;
}

void TestConnectionSettings::listsStartWithoutAChoice() {
    m_dir->writeSettings(connectSection("Com2", "38400"));
    QVERIFY(startConsole());
    QCOMPARE(selected("ComboBox1"), -1);
    QCOMPARE(selected("ComboBox2"), -1);
    QCOMPARE(control<QComboBox>(*m_form4, "ComboBox1")->currentText(), QString());
}

void TestConnectionSettings::storedTextSelectsTheEqualItem_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("speed");

    QTest::newRow("Com3 at 19200") << connectSection("Com3", "19200") << 2 << 2;
    QTest::newRow("last items") << connectSection("Com6", "115200") << 5 << 6;
    QTest::newRow("COM3 is another text") << connectSection("COM3", "9600") << -1 << 0;
    QTest::newRow("Com7 is no item") << connectSection("Com7", "57600") << -1 << 5;
    QTest::newRow("speed with a prefix") << connectSection("Com1", "019200") << 0 << -1;
    QTest::newRow("no file") << QByteArray() << -1 << -1;
}

void TestConnectionSettings::storedTextSelectsTheEqualItem() {
    QFETCH(QByteArray, file);
    QFETCH(int, port);
    QFETCH(int, speed);

    if (!file.isEmpty())
        m_dir->writeSettings(file);
    QVERIFY(startConsole());
    m_form4->show();
    QCOMPARE(selected("ComboBox1"), port);
    QCOMPARE(selected("ComboBox2"), speed);
}

void TestConnectionSettings::unmatchedTextKeepsThePreviousChoice() {
    m_dir->writeSettings(connectSection("Com3", "19200"));
    QVERIFY(startConsole());
    m_form4->show();
    click("CloseForm");

    // The file is changed from outside between two openings.
    m_dir->writeSettings(connectSection("COM5", "Com7"));
    m_form4->show();
    QCOMPARE(selected("ComboBox1"), 2);
    QCOMPARE(selected("ComboBox2"), 2);
    click("CloseForm");

    m_dir->writeSettings(connectSection("Com5", "Com7"));
    m_form4->show();
    QCOMPARE(selected("ComboBox1"), 4);
    QCOMPARE(selected("ComboBox2"), 2);
}

void TestConnectionSettings::saveWritesBothChoicesAndShowsThem() {
    m_dir->writeSettings(kGlobal + connectSection("Com1", "9600"));
    QVERIFY(startConsole());
    m_form4->show();
    choose("ComboBox1", 3);
    choose("ComboBox2", 6);
    testsupport::ModalWatcher watcher;
    click("SaveForms");

    QVERIFY(watcher.boxes().isEmpty());
    QVERIFY(!m_form4->isVisible());
    QCOMPARE(dialogtest::settingsLines(*m_dir->readSettings()),
             (QStringList{"[Global]", "Hex=0", "EditpGain=12", "[Connect]", "Comport=Com4",
                          "BaudRate=115200"}));
    QCOMPARE(textOf(*m_form1, "Label1"), QStringLiteral("Com4"));
    QCOMPARE(textOf(*m_form1, "Label2"), QStringLiteral("115200"));
}

void TestConnectionSettings::saveWithoutAChoiceWritesEmptyValues_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QString>("speedLabel");

    QTest::newRow("COM3 matches no port")
        << connectSection("COM3", "19200") << QStringList{"[Connect]", "Comport=", "BaudRate=19200"}
        << QStringLiteral("19200");
    QTest::newRow("no file") << QByteArray() << QStringList{"[Connect]", "Comport=", "BaudRate="}
                             << QString();
}

void TestConnectionSettings::saveWithoutAChoiceWritesEmptyValues() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, written);
    QFETCH(QString, speedLabel);

    if (!file.isEmpty())
        m_dir->writeSettings(file);
    QVERIFY(startConsole());
    // Something the save must overwrite.
    m_form1->SetConnectionLabels(QStringLiteral("COM3"), QStringLiteral("old"));
    m_form4->show();
    QCOMPARE(selected("ComboBox1"), -1);
    click("SaveForms");

    QVERIFY(!m_form4->isVisible());
    QCOMPARE(dialogtest::settingsLines(*m_dir->readSettings()), written);
    QCOMPARE(textOf(*m_form1, "Label1"), QString());
    QCOMPARE(textOf(*m_form1, "Label2"), speedLabel);
}

void TestConnectionSettings::leavingWritesNothing() {
    const QByteArray stored = connectSection("COM3", "19200");
    m_dir->writeSettings(stored);
    QVERIFY(startConsole());
    m_form4->show();
    choose("ComboBox1", 4);
    choose("ComboBox2", 0);
    click("CloseForm");

    QVERIFY(!m_form4->isVisible());
    QCOMPARE(*m_dir->readSettings(), stored);
    QCOMPARE(textOf(*m_form1, "Label1"), QStringLiteral("COM3"));

    // The stored port matches nothing, so the port left chosen is still shown;
    // the stored speed does match and wins over the one left chosen.
    m_form4->show();
    QCOMPARE(selected("ComboBox1"), 4);
    QCOMPARE(selected("ComboBox2"), 2);
}

void TestConnectionSettings::refusedWriteKeepsTheLabelsAndTheDialog() {
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Iniprofil.ini")));
    QVERIFY(startConsole());
    m_form1->SetConnectionLabels(QStringLiteral("Com1"), QStringLiteral("9600"));
    m_form4->show();
    choose("ComboBox1", 1);
    choose("ComboBox2", 1);

    testsupport::ModalWatcher watcher;
    click("SaveForms");

    QCOMPARE(watcher.texts(),
             QStringList{QStringLiteral("Unable to write to %1.").arg(m_dir->settingsPath())});
    QVERIFY(m_form4->isVisible());
    QCOMPARE(textOf(*m_form1, "Label1"), QStringLiteral("Com1"));
    QCOMPARE(textOf(*m_form1, "Label2"), QStringLiteral("9600"));
}

void TestConnectionSettings::savingWhileConnectedLeavesTheLinkAsItIs() {
    sim::PseudoTerminal pty;
    QVERIFY2(pty.isOpen(), qPrintable(pty.error()));
    QVERIFY(QFile::link(pty.slavePath(), QDir(m_dir->path()).filePath(QStringLiteral("com1"))));
    m_dir->writeSettings(kGlobal + connectSection("Com1", "19200"));
    QVERIFY(startConsole());
    testsupport::ModalWatcher watcher;
    control<QPushButton>(*m_form1, "ButtonConnect")->click();
    QCOMPARE(m_form1->StatusConnect, 1);

    m_form4->show();
    choose("ComboBox1", 1);
    choose("ComboBox2", 0);
    click("SaveForms");

    QVERIFY(watcher.boxes().isEmpty());
    QCOMPARE(textOf(*m_form1, "Label1"), QStringLiteral("Com2"));
    QCOMPARE(textOf(*m_form1, "Label2"), QStringLiteral("9600"));
    QCOMPARE(m_form1->StatusConnect, 1);
    QCOMPARE(textOf(*m_form1, "TextLinks"), QStringLiteral("Подключен"));
    QVERIFY(control<QTimer>(*m_form1, "Timer2")->isActive());
    QCOMPARE(m_form1->NumberPort, QStringLiteral("Com1"));
    QCOMPARE(pty.slaveBaudRate(), 19200);
}

QTEST_MAIN(TestConnectionSettings)
#include "tst_connectionsettings.moc"
