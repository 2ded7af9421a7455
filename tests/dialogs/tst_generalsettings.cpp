// SPDX-License-Identifier: GPL-3.0-or-later
// The general station settings dialog on real settings files: loading, saving, refusals, the
// firmware switch.
#include "dialogs/Unit2.h"
#include "link/PortUnit.h"
#include "sim/Station.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <optional>

using dialogtest::control;
using dialogtest::shownIn;
using dialogtest::textOf;

namespace {

const QString kQmr = QStringLiteral("Прошивка от QMR");
const QString kNotQmr = QStringLiteral("Прошивка не от QMR");
const QString kConnected = QStringLiteral("Подключен");
const QString kNotConnected = QStringLiteral("Не подключен");
const QString kProprietaryRefused =
    QStringLiteral("Выбрана проприетарная прошивка, действие невозможно!");

// The eleven number fields in the order the dialog converts them.
const char* const kFields[] = {"EditP2",   "EditpGain", "EditiGain", "EditdGain",
                               "EditTpid", "EditpBH",   "EditkBH",   "EditP1",
                               "Edit1",    "Edit2",     "Edit3"};

// Values in every form a stored integer can take.
const QByteArray kStored = R"([Connect]
Comport=Com3
BaudRate=19200
[Global]
EditP2=80
EditpGain=120
EditiGain=3
EditdGain=40
EditTpid=20
EditpBH=70
EditkBH=abc
EditP1=90
Correct1=-5
Correct2=7
Hex=1
VisibleProfil=1
TempEnableFan=0x1E
EnableFan=1
AutoStart=0
[Profil0]
T0=180
Name=Бессвинцовый
)";

QByteArray globalOnly(const QByteArray& lines) {
    return "[Global]\n" + lines + "\n";
}

bool checked(const QWidget& dialog, const char* name) {
    return control<QAbstractButton>(dialog, name)->isChecked();
}

void setField(const QWidget& dialog, const char* name, const QString& text) {
    control<QLineEdit>(dialog, name)->setText(text);
}

void clickButton(const QWidget& dialog, const char* name) {
    control<QPushButton>(dialog, name)->click();
}

} // namespace

class TestGeneralSettings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openingLoadsTheStoredNumbers_data();
    void openingLoadsTheStoredNumbers();
    void switchesFollowOnlyZeroAndOne_data();
    void switchesFollowOnlyZeroAndOne();
    void unknownVariantLeavesBothButtonsAndTheFileAlone();

    void saveWritesTheKeysInOrderOnAFreshFile();
    void saveUpdatesTheMainWindowFromTheFile_data();
    void saveUpdatesTheMainWindowFromTheFile();
    void textThatIsNotANumberWritesNothing_data();
    void textThatIsNotANumberWritesNothing();
    void refusedWriteStopsTheSaveAndKeepsTheDialog();
    void leavingWritesNothingAndTheNextOpeningReloads();

    void savingTheVariantWhileConnected_data();
    void savingTheVariantWhileConnected();

private:
    // The console started on the current file, with the dialog made the way start-up makes it.
    bool startConsole();
    void openDialog();

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form1;
    TForm2* m_form2 = nullptr; // owned by the main window
};

void TestGeneralSettings::init() {
    m_dir.emplace();
}

void TestGeneralSettings::cleanup() {
    m_form2 = nullptr;
    m_form1.reset();
    m_dir.reset();
}

bool TestGeneralSettings::startConsole() {
    m_form1 = dialogtest::startConsole();
    if (!m_form1)
        return false;
    m_form2 = new TForm2(*m_form1);
    m_form1->setDialogs(m_form2, nullptr, nullptr, nullptr);
    return true;
}

void TestGeneralSettings::openDialog() {
    m_form2->show();
    QVERIFY(m_form2->isVisible());
}

void TestGeneralSettings::openingLoadsTheStoredNumbers_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("proprietary");
    QTest::addColumn<QList<bool>>("boxes"); // CheckBox1, CheckBox2, CheckBox3

    const QStringList zeros(std::size(kFields), QStringLiteral("0"));
    const QList<bool> clear{false, false, false};
    QTest::newRow("no file") << QByteArray() << zeros << false << clear;
    QTest::newRow("no Global section")
        << QByteArray("[Connect]\nComport=Com1\n[Profil0]\nT0=5\n") << zeros << false << clear;
    QTest::newRow("every form of value")
        << kStored << QStringList{"80", "120", "3", "40", "20", "70", "0", "90", "-5", "7", "30"}
        << true << QList<bool>{true, true, false};
}

void TestGeneralSettings::openingLoadsTheStoredNumbers() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, fields);
    QFETCH(bool, proprietary);
    QFETCH(QList<bool>, boxes);

    if (!file.isEmpty())
        m_dir->writeSettings(file);
    QVERIFY(startConsole());
    openDialog();

    QStringList shown;
    for (const char* name : kFields)
        shown << textOf(*m_form2, name);
    QCOMPARE(shown, fields);
    QCOMPARE(checked(*m_form2, "RadioButton1"), !proprietary);
    QCOMPARE(checked(*m_form2, "RadioButton2"), proprietary);
    const QList<bool> boxesShown{checked(*m_form2, "CheckBox1"), checked(*m_form2, "CheckBox2"),
                                 checked(*m_form2, "CheckBox3")};
    QCOMPARE(boxesShown, boxes);
}

// The four switch keys hold `before` at the first opening and `after` at the
// second; only 0 and 1 move the buttons, any other number leaves them.
void TestGeneralSettings::switchesFollowOnlyZeroAndOne_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("onAfter");

    QTest::newRow("1 then 0 clears") << QByteArray("1") << QByteArray("0") << false;
    QTest::newRow("0 then 1 sets") << QByteArray("0") << QByteArray("1") << true;
    QTest::newRow("1 then 2 keeps on") << QByteArray("1") << QByteArray("2") << true;
    QTest::newRow("0 then 2 keeps off") << QByteArray("0") << QByteArray("2") << false;
    QTest::newRow("1 then -1 keeps on") << QByteArray("1") << QByteArray("-1") << true;
    QTest::newRow("0 then 0x01 sets") << QByteArray("0") << QByteArray("0x01") << true;
    QTest::newRow("1 then letters read as 0") << QByteArray("1") << QByteArray("on") << false;
}

void TestGeneralSettings::switchesFollowOnlyZeroAndOne() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(bool, onAfter);

    const auto switches = [](const QByteArray& value) {
        return globalOnly("Hex=" + value + "\nVisibleProfil=" + value + "\nEnableFan=" + value +
                          "\nAutoStart=" + value);
    };
    m_dir->writeSettings(switches(before));
    QVERIFY(startConsole());
    openDialog();
    clickButton(*m_form2, "CloseForm");
    QVERIFY(!m_form2->isVisible());

    m_dir->writeSettings(switches(after));
    openDialog();
    QCOMPARE(checked(*m_form2, "RadioButton1"), !onAfter);
    QCOMPARE(checked(*m_form2, "RadioButton2"), onAfter);
    QCOMPARE(checked(*m_form2, "CheckBox1"), onAfter);
    QCOMPARE(checked(*m_form2, "CheckBox2"), onAfter);
    QCOMPARE(checked(*m_form2, "CheckBox3"), onAfter);
}

void TestGeneralSettings::unknownVariantLeavesBothButtonsAndTheFileAlone() {
    m_dir->writeSettings(globalOnly("Hex=2\nEditpGain=9"));
    QVERIFY(startConsole());
    QCOMPARE(textOf(*m_form1, "Label36"), QString());

    openDialog();
    QVERIFY(!checked(*m_form2, "RadioButton1"));
    QVERIFY(!checked(*m_form2, "RadioButton2"));
    // Moving through the dialog with the keyboard does not pick a variant either.
    control<QRadioButton>(*m_form2, "RadioButton1")->setFocus(Qt::TabFocusReason);
    QVERIFY(!checked(*m_form2, "RadioButton1"));

    setField(*m_form2, "EditpGain", QStringLiteral("300"));
    clickButton(*m_form2, "SaveForms");
    QVERIFY(!m_form2->isVisible());

    const QStringList lines = dialogtest::settingsLines(*m_dir->readSettings());
    QVERIFY2(lines.contains(QStringLiteral("Hex=2")), qPrintable(lines.join(u'|')));
    QVERIFY(lines.contains(QStringLiteral("EditpGain=300")));
    QCOMPARE(lines.count(QStringLiteral("Hex=2")), 1);
    QCOMPARE(textOf(*m_form1, "Label36"), QString());
    QCOMPARE(m_form1->StatusQMR, 0);

    openDialog();
    QVERIFY(!checked(*m_form2, "RadioButton1"));
    QVERIFY(!checked(*m_form2, "RadioButton2"));
}

void TestGeneralSettings::saveWritesTheKeysInOrderOnAFreshFile() {
    QVERIFY(startConsole());
    QVERIFY(!m_dir->readSettings());
    openDialog();

    const QStringList typed{"80", "300", "3", "40", "20", "70", "5", "90", "-3", "7", "150"};
    for (std::size_t i = 0; i < std::size(kFields); ++i)
        setField(*m_form2, kFields[i], typed[static_cast<qsizetype>(i)]);
    control<QCheckBox>(*m_form2, "CheckBox1")->setChecked(true);
    control<QCheckBox>(*m_form2, "CheckBox2")->setChecked(true);
    control<QCheckBox>(*m_form2, "CheckBox3")->setChecked(false);
    testsupport::ModalWatcher watcher;
    clickButton(*m_form2, "SaveForms");

    QVERIFY(watcher.boxes().isEmpty());
    QVERIFY(!m_form2->isVisible());
    const QStringList expected{
        "[Global]",        "EditP2=80",         "EditpGain=300", "EditiGain=3",
        "EditdGain=40",    "EditTpid=20",       "EditpBH=70",    "EditkBH=5",
        "EditP1=90",       "Correct1=-3",       "Correct2=7",    "Hex=0",
        "VisibleProfil=1", "TempEnableFan=150", "EnableFan=1",   "AutoStart=0"};
    QCOMPARE(dialogtest::settingsLines(*m_dir->readSettings()), expected);

    // The main window took the new values at once.
    QCOMPARE(m_form1->CorrectTB, -3);
    QCOMPARE(m_form1->CorrectTH, 7);
    QCOMPARE(m_form1->TempEnableFan, 150);
    QCOMPARE(m_form1->EnableFan, 1);
    QCOMPARE(textOf(*m_form1, "Label17"), QStringLiteral("300"));
    QCOMPARE(textOf(*m_form1, "Label36"), kQmr);
    QVERIFY(shownIn(*m_form1, "Panel4"));

    // What the file now holds is what the next opening shows.
    openDialog();
    QCOMPARE(textOf(*m_form2, "Edit1"), QStringLiteral("-3"));
    QCOMPARE(textOf(*m_form2, "EditpGain"), QStringLiteral("300"));
}

void TestGeneralSettings::saveUpdatesTheMainWindowFromTheFile_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("profileStrip");
    QTest::addColumn<QString>("firmwareLine");
    QTest::addColumn<bool>("stationValuesShown");

    QTest::newRow("to proprietary, strip on")
        << globalOnly("Hex=0\nVisibleProfil=0\nEditpGain=77") << QStringLiteral("RadioButton2")
        << true << kNotQmr << true;
    QTest::newRow("to QMR, strip off") << globalOnly("Hex=1\nVisibleProfil=1\nEditpGain=77")
                                       << QStringLiteral("RadioButton1") << false << kQmr << false;
}

void TestGeneralSettings::saveUpdatesTheMainWindowFromTheFile() {
    QFETCH(QByteArray, file);
    QFETCH(QString, variant);
    QFETCH(bool, profileStrip);
    QFETCH(QString, firmwareLine);
    QFETCH(bool, stationValuesShown);

    m_dir->writeSettings(file);
    QVERIFY(startConsole());
    QVERIFY(textOf(*m_form1, "Label36") != firmwareLine);
    QCOMPARE(shownIn(*m_form1, "Panel4"), !profileStrip);

    openDialog();
    control<QRadioButton>(*m_form2, qPrintable(variant))->setChecked(true);
    control<QCheckBox>(*m_form2, "CheckBox1")->setChecked(profileStrip);
    clickButton(*m_form2, "SaveForms");

    QVERIFY(!m_form2->isVisible());
    QCOMPARE(textOf(*m_form1, "Label36"), firmwareLine);
    QCOMPARE(shownIn(*m_form1, "Panel3"), stationValuesShown);
    QCOMPARE(m_form1->StatusQMR, stationValuesShown ? 0 : 1);
    QCOMPARE(shownIn(*m_form1, "Panel4"), profileStrip);
}

void TestGeneralSettings::textThatIsNotANumberWritesNothing_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");

    QTest::newRow("percent sign") << QStringLiteral("EditP1") << QStringLiteral("75%");
    QTest::newRow("empty field") << QStringLiteral("EditTpid") << QString();
    QTest::newRow("decimal point") << QStringLiteral("Edit2") << QStringLiteral("1.5");
    QTest::newRow("blank after the digits") << QStringLiteral("EditP2") << QStringLiteral("12 ");
    // The fan threshold is converted last but written late: it still stops everything.
    QTest::newRow("beyond 32 bits, last field")
        << QStringLiteral("Edit3") << QStringLiteral("2147483648");
}

void TestGeneralSettings::textThatIsNotANumberWritesNothing() {
    QFETCH(QString, field);
    QFETCH(QString, text);

    m_dir->writeSettings(kStored);
    QVERIFY(startConsole());
    const QString firmwareBefore = textOf(*m_form1, "Label36");
    openDialog();
    // Changes that a save would carry to the file and the main window.
    setField(*m_form2, "Edit1", QStringLiteral("11"));
    control<QRadioButton>(*m_form2, "RadioButton1")->setChecked(true);
    setField(*m_form2, qPrintable(field), text);

    testsupport::ModalWatcher watcher;
    clickButton(*m_form2, "SaveForms");

    QCOMPARE(watcher.texts(),
             QStringList{QStringLiteral("'%1' is not a valid integer value.").arg(text)});
    QCOMPARE(watcher.boxes().first().icon, QMessageBox::Critical);
    QCOMPARE(*m_dir->readSettings(), kStored);
    QVERIFY(m_form2->isVisible());
    QCOMPARE(textOf(*m_form2, qPrintable(field)), text);
    QCOMPARE(textOf(*m_form1, "Label36"), firmwareBefore);
    QCOMPARE(m_form1->CorrectTB, -5);
}

void TestGeneralSettings::refusedWriteStopsTheSaveAndKeepsTheDialog() {
    // A directory where the file should be: every write to it is refused.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Iniprofil.ini")));
    QVERIFY(startConsole());
    QCOMPARE(textOf(*m_form1, "Label36"), kQmr);
    openDialog();
    control<QRadioButton>(*m_form2, "RadioButton2")->setChecked(true);

    testsupport::ModalWatcher watcher;
    clickButton(*m_form2, "SaveForms");

    QCOMPARE(watcher.texts(),
             QStringList{QStringLiteral("Unable to write to %1.").arg(m_dir->settingsPath())});
    QVERIFY(m_form2->isVisible());
    // The save stopped at its first write, long before the firmware switch.
    QCOMPARE(textOf(*m_form1, "Label36"), kQmr);
    QCOMPARE(m_form1->StatusQMR, 1);
}

void TestGeneralSettings::leavingWritesNothingAndTheNextOpeningReloads() {
    m_dir->writeSettings(kStored);
    QVERIFY(startConsole());
    auto* menuItem = control<QAction>(*m_form1, "N3");
    QVERIFY(menuItem);

    const bool modal =
        dialogtest::duringModalRun([menuItem] { menuItem->trigger(); }, m_form2,
                                   [this] {
                                       QCOMPARE(textOf(*m_form2, "EditP1"), QStringLiteral("90"));
                                       setField(*m_form2, "EditP1", QStringLiteral("55"));
                                       setField(*m_form2, "Edit3", QStringLiteral("oops"));
                                       clickButton(*m_form2, "CloseForm");
                                   });
    QVERIFY(modal);
    QVERIFY(!m_form2->isVisible());
    QCOMPARE(*m_dir->readSettings(), kStored);

    QString shownAgain;
    dialogtest::duringModalRun([menuItem] { menuItem->trigger(); }, m_form2,
                               [&] {
                                   shownAgain = textOf(*m_form2, "EditP1") + u' ' +
                                                textOf(*m_form2, "Edit3");
                                   clickButton(*m_form2, "CloseForm");
                               });
    QCOMPARE(shownAgain, QStringLiteral("90 30"));
}

// Connected to the simulated station, then the variant is saved: the proprietary
// firmware drops the link (the console cannot talk to it), QMR keeps it.
void TestGeneralSettings::savingTheVariantWhileConnected_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("stillConnected");
    QTest::addColumn<QString>("firmwareLine");

    QTest::newRow("proprietary closes the link")
        << QStringLiteral("RadioButton2") << false << kNotQmr;
    QTest::newRow("QMR keeps the link") << QStringLiteral("RadioButton1") << true << kQmr;
}

void TestGeneralSettings::savingTheVariantWhileConnected() {
    QFETCH(QString, variant);
    QFETCH(bool, stillConnected);
    QFETCH(QString, firmwareLine);

    const QString link = QDir(m_dir->path()).filePath(QStringLiteral("com1"));
    sim::StationOptions options;
    options.linkPath = link;
    sim::Station station(options);
    QString error;
    QVERIFY2(station.open(&error), qPrintable(error));

    m_dir->writeSettings(globalOnly("Hex=0\nEditpGain=120\nEditiGain=3") +
                         "[Connect]\nComport=Com1\nBaudRate=19200\n");
    QVERIFY(startConsole());
    testsupport::ModalWatcher watcher;
    control<QPushButton>(*m_form1, "ButtonConnect")->click();
    QCOMPARE(m_form1->StatusConnect, 1);
    QCOMPARE(textOf(*m_form1, "TextLinks"), kConnected);
    // While the console holds the port no other console may open it.
    {
        station::PortUnit other;
        QCOMPARE(other.open(link, 19200).failure.fault, station::PortFault::Busy);
    }

    openDialog();
    control<QRadioButton>(*m_form2, qPrintable(variant))->setChecked(true);
    clickButton(*m_form2, "SaveForms");
    QVERIFY(!m_form2->isVisible());
    QVERIFY2(watcher.boxes().isEmpty(), qPrintable(watcher.texts().join(u'|')));

    QCOMPARE(textOf(*m_form1, "Label36"), firmwareLine);
    QCOMPARE(m_form1->StatusConnect, stillConnected ? 1 : 0);
    QCOMPARE(textOf(*m_form1, "TextLinks"), stillConnected ? kConnected : kNotConnected);
    QCOMPARE(control<QTimer>(*m_form1, "Timer2")->isActive(), stillConnected);
    {
        station::PortUnit other;
        QCOMPARE(other.open(link, 19200).ok, !stillConnected);
    }

    if (!stillConnected) {
        // The station values are on show, and connecting is refused from now on.
        QVERIFY(shownIn(*m_form1, "Panel3"));
        QCOMPARE(textOf(*m_form1, "Label17"), QStringLiteral("120"));
        control<QPushButton>(*m_form1, "ButtonConnect")->click();
        QCOMPARE(watcher.texts(), QStringList{kProprietaryRefused});
        QCOMPARE(m_form1->StatusConnect, 0);
    }
}

QTEST_MAIN(TestGeneralSettings)
#include "tst_generalsettings.moc"
