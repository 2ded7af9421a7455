// SPDX-License-Identifier: GPL-3.0-or-later
// The connection settings dialog on real settings files: exact-match selection, saving, an open
// link left alone, the serial devices present listed after the fixed names.
#include "dialogs/PortList.h"
#include "dialogs/Unit4.h"
#include "sim/PseudoTerminal.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using dialogtest::control;
using dialogtest::textOf;
using station::SerialDevice;

namespace {

QByteArray connectSection(const QByteArray& comport, const QByteArray& baudRate) {
    return "[Connect]\nComport=" + comport + "\nBaudRate=" + baudRate + "\n";
}

// A section the dialog does not write, to see that a save leaves it be.
const QByteArray kGlobal = "[Global]\nHex=0\nEditpGain=12\n";

const QStringList kFixedPorts{"Com1", "Com2", "Com3", "Com4", "Com5", "Com6"};

// Two USB adapters as the system reports them: one with a stable name, one without.
const QString kFtdiName =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
const SerialDevice kFtdi{QStringLiteral("/dev/ttyUSB0"), kFtdiName, QStringLiteral("FTDI"),
                         QStringLiteral("FT232R USB UART"), QStringLiteral("A50285BI")};
const QString kFtdiItem = kFtdiName + QStringLiteral(" — FTDI FT232R USB UART, A50285BI");
const SerialDevice kCh340{QStringLiteral("/dev/ttyUSB1"), QString(), QStringLiteral("1a86"),
                          QStringLiteral("USB Serial"), QString()};
const QString kCh340Item = QStringLiteral("/dev/ttyUSB1 — 1a86 USB Serial");

// The devices the dialog is told are present; tests plug and pull them between openings.
struct FakeDevices {
    QList<SerialDevice> present;
    int asked = 0;
};

station::DeviceEnumerator enumeratorOf(const std::shared_ptr<FakeDevices>& devices) {
    return [devices] {
        ++devices->asked;
        return devices->present;
    };
}

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

    void devicesFollowTheFixedNames_data();
    void devicesFollowTheFixedNames();
    void systemDevicesFollowTheFixedNames();
    void storedPortSelectsAndSaveWritesItsPath_data();
    void storedPortSelectsAndSaveWritesItsPath();
    void listFollowsTheDevicesAtEachOpening();
    void openListShowsEachEntryWhole_data();
    void openListShowsEachEntryWhole();
    void storedPseudoTerminalStaysAndConnects();

private:
    // The dialog asks `devices` (a fixed empty list unless given) what is present.
    bool startConsole(station::DeviceEnumerator devices = {});
    QStringList portItems() const {
        QStringList texts;
        const auto* list = control<QComboBox>(*m_form4, "ComboBox1");
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    }
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

bool TestConnectionSettings::startConsole(station::DeviceEnumerator devices) {
    m_form1 = dialogtest::startConsole();
    if (!m_form1)
        return false;
    if (!devices)
        devices = [] {
            return QList<SerialDevice>();
        };
    m_form4 = new TForm4(*m_form1, std::move(devices));
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

// What the system reports is listed after the six fixed names, which never move;
// a stored device path that is not there, or is no serial port, is listed last and
// says so.
void TestConnectionSettings::devicesFollowTheFixedNames_data() {
    QTest::addColumn<QList<SerialDevice>>("present");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("devices");

    QTest::newRow("two adapters") << QList<SerialDevice>{kCh340, kFtdi} << QByteArray("Com1")
                                  << QStringList{kFtdiItem, kCh340Item};
    QTest::newRow("none") << QList<SerialDevice>{} << QByteArray("Com1") << QStringList{};
    QTest::newRow("one without a stable name, nothing known of it")
        << QList<SerialDevice>{{QStringLiteral("/dev/ttyACM0"), QString(), QString(), QString(),
                                QString()}}
        << QByteArray() << QStringList{"/dev/ttyACM0"};
    QTest::newRow("the stored one absent")
        << QList<SerialDevice>{kCh340} << kFtdiName.toUtf8()
        << QStringList{kCh340Item, kFtdiName + QStringLiteral(" — нет устройства")};
    // In the words of the connect refusal for the same path.
    QTest::newRow("the stored one a folder")
        << QList<SerialDevice>{kCh340} << QByteArray("/dev")
        << QStringList{kCh340Item, QStringLiteral("/dev — это не последовательный порт")};
    const QString file = QCoreApplication::applicationFilePath();
    QTest::newRow("the stored one a file")
        << QList<SerialDevice>{} << file.toUtf8()
        << QStringList{file + QStringLiteral(" — это не последовательный порт")};
}

void TestConnectionSettings::devicesFollowTheFixedNames() {
    QFETCH(QList<SerialDevice>, present);
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, devices);

    m_dir->writeSettings(connectSection(stored, "19200"));
    auto fake = std::make_shared<FakeDevices>();
    fake->present = present;
    QVERIFY(startConsole(enumeratorOf(fake)));
    // Until the dialog is shown, only the fixed names.
    QCOMPARE(portItems(), kFixedPorts);
    QCOMPARE(fake->asked, 0);

    m_form4->show();
    QCOMPARE(portItems(), kFixedPorts + devices);
    QCOMPARE(fake->asked, 1);
}

// The real enumeration of this machine: it may find no device, then the six fixed
// names stand alone; whatever it finds follows them, one entry per device.
void TestConnectionSettings::systemDevicesFollowTheFixedNames() {
    m_dir->writeSettings(connectSection("Com2", "9600"));
    QVERIFY(startConsole(station::systemSerialDevices));
    m_form4->show();
    const QList<SerialDevice> present = station::systemSerialDevices();
    qInfo("%lld serial devices present", qlonglong(present.size()));

    const QStringList items = portItems();
    QCOMPARE(items.mid(0, kFixedPorts.size()), kFixedPorts);
    QStringList listed;
    for (const QString& item : items.mid(kFixedPorts.size()))
        listed << dialogs::pathOfItemText(item);
    QStringList expected;
    for (const SerialDevice& device : present)
        expected << (device.stableName.isEmpty() ? device.location : device.stableName);
    listed.sort();
    expected.sort();
    QCOMPARE(listed, expected);
    QCOMPARE(selected("ComboBox1"), 1);
}

// Stored value against the selection it makes at the first opening and what an
// immediate save writes back (and shows, whole in the tooltip, on the main window).
void TestConnectionSettings::storedPortSelectsAndSaveWritesItsPath_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("selectedText");
    QTest::addColumn<QString>("written");

    QTest::newRow("Com3") << QByteArray("Com3") << QStringLiteral("Com3") << QStringLiteral("Com3");
    QTest::newRow("COM3 is another text") << QByteArray("COM3") << QString() << QString();
    QTest::newRow("Com7 is no item") << QByteArray("Com7") << QString() << QString();
    QTest::newRow("absent device path")
        << QByteArray("/dev/ttyUSB7") << QStringLiteral("/dev/ttyUSB7 — нет устройства")
        << QStringLiteral("/dev/ttyUSB7");
    QTest::newRow("present adapter's stable name") << kFtdiName.toUtf8() << kFtdiItem << kFtdiName;
    QTest::newRow("present adapter without one")
        << QByteArray("/dev/ttyUSB1") << kCh340Item << QStringLiteral("/dev/ttyUSB1");
    QTest::newRow("empty") << QByteArray() << QString() << QString();
}

void TestConnectionSettings::storedPortSelectsAndSaveWritesItsPath() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, selectedText);
    QFETCH(QString, written);

    m_dir->writeSettings(connectSection(stored, "19200"));
    auto fake = std::make_shared<FakeDevices>();
    fake->present = {kFtdi, kCh340};
    QVERIFY(startConsole(enumeratorOf(fake)));
    const auto* label = control<QLabel>(*m_form1, "Label1");
    // The start-up shows the stored value as it is.
    QCOMPARE(label->toolTip(), QString::fromUtf8(stored));

    m_form4->show();
    const auto* list = control<QComboBox>(*m_form4, "ComboBox1");
    QCOMPARE(list->currentText(), selectedText);
    QCOMPARE(list->toolTip(), selectedText);
    QCOMPARE(list->width(), 100);
    click("SaveForms");

    QVERIFY(!m_form4->isVisible());
    QCOMPARE(dialogtest::settingsLines(*m_dir->readSettings()),
             (QStringList{"[Connect]", "Comport=" + written, "BaudRate=19200"}));
    QCOMPARE(label->toolTip(), written);
    // The box shows what fits of the port, its end when it has to cut.
    const QString shown = label->text();
    QVERIFY2(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width(),
             qPrintable(shown));
    if (shown != written) {
        QVERIFY2(shown.startsWith(QChar(0x2026)) && written.endsWith(shown.mid(1)) &&
                     shown.size() > 1,
                 qPrintable(shown));
    }
}

// An adapter plugged in while the console runs appears at the next opening, one
// pulled out goes; a device left chosen stays chosen while it is listed and the
// stored value selects nothing else.
void TestConnectionSettings::listFollowsTheDevicesAtEachOpening() {
    m_dir->writeSettings(connectSection("COM3", "19200"));
    auto fake = std::make_shared<FakeDevices>();
    fake->present = {kCh340};
    QVERIFY(startConsole(enumeratorOf(fake)));

    m_form4->show();
    QCOMPARE(portItems(), kFixedPorts + QStringList{kCh340Item});
    choose("ComboBox1", 6);
    click("CloseForm");

    fake->present = {kCh340, kFtdi};
    m_form4->show();
    QCOMPARE(portItems(), (kFixedPorts + QStringList{kFtdiItem, kCh340Item}));
    QCOMPARE(control<QComboBox>(*m_form4, "ComboBox1")->currentText(), kCh340Item);
    click("CloseForm");

    fake->present = {kFtdi};
    m_form4->show();
    QCOMPARE(portItems(), kFixedPorts + QStringList{kFtdiItem});
    QCOMPARE(selected("ComboBox1"), -1);
    QCOMPARE(fake->asked, 3);
    // Nothing was saved.
    QCOMPARE(*m_dir->readSettings(), connectSection("COM3", "19200"));
}

// Styles that open the list as a popup menu widen it by themselves; the others
// open it as wide as the closed box unless the dialog widens it.
void TestConnectionSettings::openListShowsEachEntryWhole_data() {
    QTest::addColumn<QString>("style");
    for (const QString& style : QStyleFactory::keys())
        QTest::newRow(qPrintable(style)) << style;
}

// The closed box keeps its 100 px; the open list is wide enough for every entry.
void TestConnectionSettings::openListShowsEachEntryWhole() {
    QFETCH(QString, style);
    const QString before = QApplication::style()->name();
    QApplication::setStyle(style);
    const auto restore = qScopeGuard([&] { QApplication::setStyle(before); });

    const QString longName =
        QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge_Controller_"
                       "8c2e1f7a4b3de911a0c7-if00-port0");
    auto fake = std::make_shared<FakeDevices>();
    fake->present = {kFtdi,
                     kCh340,
                     {QStringLiteral("/dev/ttyUSB2"), longName, QStringLiteral("Silicon Labs"),
                      QStringLiteral("CP2102N USB to UART Bridge Controller"),
                      QStringLiteral("8c2e1f7a4b3de911a0c7")}};
    QVERIFY(startConsole(enumeratorOf(fake)));
    m_form4->show();
    auto* list = control<QComboBox>(*m_form4, "ComboBox1");
    QCOMPARE(list->count(), 9);

    list->showPopup();
    QAbstractItemView* popup = list->view();
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(list->width(), 100);
    for (int row = 0; row < list->count(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        const int needed = popup->sizeHintForIndex(index).width();
        QVERIFY2(popup->viewport()->width() >= needed,
                 qPrintable(QStringLiteral("%1: %2 px shown, %3 px needed")
                                .arg(list->itemText(row))
                                .arg(popup->viewport()->width())
                                .arg(needed)));
    }
    list->hidePopup();
}

// The simulator's pseudo-terminal is no device the system lists, yet a path to it
// stored by hand is selected, kept by a save, and opened at the next connect.
void TestConnectionSettings::storedPseudoTerminalStaysAndConnects() {
    sim::PseudoTerminal pty;
    QVERIFY2(pty.isOpen(), qPrintable(pty.error()));
    m_dir->writeSettings(connectSection(pty.slavePath().toUtf8(), "19200"));
    QVERIFY(startConsole(station::systemSerialDevices));

    m_form4->show();
    const auto* list = control<QComboBox>(*m_form4, "ComboBox1");
    // There, so not marked absent.
    QCOMPARE(list->currentText(), pty.slavePath());
    QCOMPARE(list->itemText(list->count() - 1), pty.slavePath());
    click("SaveForms");
    QCOMPARE(dialogtest::settingsLines(*m_dir->readSettings()),
             (QStringList{"[Connect]", "Comport=" + pty.slavePath(), "BaudRate=19200"}));

    testsupport::ModalWatcher watcher;
    control<QPushButton>(*m_form1, "ButtonConnect")->click();
    QVERIFY(watcher.boxes().isEmpty());
    QCOMPARE(m_form1->StatusConnect, 1);
    QCOMPARE(m_form1->NumberPort, pty.slavePath());
    QCOMPARE(pty.slaveBaudRate(), 19200);
}

QTEST_MAIN(TestConnectionSettings)
#include "tst_connectionsettings.moc"
