// SPDX-License-Identifier: GPL-3.0-or-later
// The device entries of the connection dialog's port list: naming, order, the stored path kept
// whatever the system lists, and the description beside each path.
#include "dialogs/PortList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using dialogs::PortItem;
using station::SerialDevice;

namespace {

const QString kById = QStringLiteral("/dev/serial/by-id/");

// What the list says of a stored device it cannot find, in the connect refusal's words.
const QString kNoDevice = QStringLiteral("нет устройства");
const QString kNotSerialPort = QStringLiteral("это не последовательный порт");
const QString kNoPermission = QStringLiteral("нет прав на доступ к устройству");

SerialDevice ftdi() {
    return {QStringLiteral("/dev/ttyUSB0"),
            kById + QStringLiteral("usb-FTDI_FT232R_A50285BI-if00-port0"), QStringLiteral("FTDI"),
            QStringLiteral("FT232R USB UART"), QStringLiteral("A50285BI")};
}
SerialDevice ch340() {
    return {QStringLiteral("/dev/ttyUSB1"), QString(), QStringLiteral("1a86"),
            QStringLiteral("USB Serial"), QString()};
}
SerialDevice onBoard() {
    return {QStringLiteral("/dev/ttyS0"), QString(), QString(), QString(), QString()};
}

} // namespace

class TestPortList : public QObject {
    Q_OBJECT

private slots:
    void entriesFollowTheDevicesAndKeepTheStoredPath_data();
    void entriesFollowTheDevicesAndKeepTheStoredPath();
    void descriptionSaysWhatIsKnown_data();
    void descriptionSaysWhatIsKnown();
    void pathIsTheTextBeforeTheDescription_data();
    void pathIsTheTextBeforeTheDescription();
    void storedTargetFollowsLinksToWhatIsThere();
};

void TestPortList::entriesFollowTheDevicesAndKeepTheStoredPath_data() {
    QTest::addColumn<QList<SerialDevice>>("present");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("target");
    QTest::addColumn<station::PortFault>("storedFault");
    QTest::addColumn<QList<PortItem>>("items");
    using station::PortFault;

    const QString ftdiName = ftdi().stableName;
    const QString ftdiText = QStringLiteral("FTDI FT232R USB UART, A50285BI");
    const QString ch340Text = QStringLiteral("1a86 USB Serial");

    QTest::newRow("stable name first, node otherwise, sorted by path")
        << QList<SerialDevice>{onBoard(), ch340(), ftdi()} << QStringLiteral("Com1") << QString()
        << PortFault::NoDevice
        << QList<PortItem>{{ftdiName, ftdiText},
                           {QStringLiteral("/dev/ttyS0"), QString()},
                           {QStringLiteral("/dev/ttyUSB1"), ch340Text}};
    QTest::newRow("stored stable name of a present adapter")
        << QList<SerialDevice>{ftdi()} << ftdiName << QStringLiteral("/dev/ttyUSB0")
        << PortFault::None << QList<PortItem>{{ftdiName, ftdiText}};
    QTest::newRow("stored node of an adapter with a stable name keeps its spelling")
        << QList<SerialDevice>{ftdi(), ch340()} << QStringLiteral("/dev/ttyUSB0")
        << QStringLiteral("/dev/ttyUSB0") << PortFault::None
        << QList<PortItem>{{QStringLiteral("/dev/ttyUSB0"), ftdiText},
                           {QStringLiteral("/dev/ttyUSB1"), ch340Text}};
    QTest::newRow("stored link of its own leading to an adapter")
        << QList<SerialDevice>{ch340()} << QStringLiteral("/home/op/station")
        << QStringLiteral("/dev/ttyUSB1") << PortFault::None
        << QList<PortItem>{{QStringLiteral("/home/op/station"), ch340Text}};
    QTest::newRow("stored adapter pulled out: listed last, absent")
        << QList<SerialDevice>{ch340()} << ftdiName << QString() << PortFault::NoDevice
        << QList<PortItem>{{QStringLiteral("/dev/ttyUSB1"), ch340Text}, {ftdiName, kNoDevice}};
    QTest::newRow("stored path is a file: listed last, no serial port")
        << QList<SerialDevice>{ch340()} << QStringLiteral("/home/op/notes.txt")
        << QStringLiteral("/home/op/notes.txt") << PortFault::NotSerialPort
        << QList<PortItem>{{QStringLiteral("/dev/ttyUSB1"), ch340Text},
                           {QStringLiteral("/home/op/notes.txt"), kNotSerialPort}};
    QTest::newRow("stored device this user may not open")
        << QList<SerialDevice>{} << QStringLiteral("/dev/ttyS4") << QStringLiteral("/dev/ttyS4")
        << PortFault::NoPermission
        << QList<PortItem>{{QStringLiteral("/dev/ttyS4"), kNoPermission}};
    QTest::newRow("stored path there but unlisted (a pseudo-terminal)")
        << QList<SerialDevice>{onBoard()} << QStringLiteral("/dev/pts/7")
        << QStringLiteral("/dev/pts/7") << PortFault::None
        << QList<PortItem>{{QStringLiteral("/dev/ttyS0"), QString()},
                           {QStringLiteral("/dev/pts/7"), QString()}};
    QTest::newRow("no devices, stored path absent")
        << QList<SerialDevice>{} << QStringLiteral("/dev/ttyUSB0") << QString()
        << PortFault::NoDevice << QList<PortItem>{{QStringLiteral("/dev/ttyUSB0"), kNoDevice}};
    QTest::newRow("no devices, fixed name stored")
        << QList<SerialDevice>{} << QStringLiteral("Com3") << QString() << PortFault::NoDevice
        << QList<PortItem>{};
    QTest::newRow("names that are no path add nothing")
        << QList<SerialDevice>{ch340()} << QStringLiteral("ttyUSB0") << QString()
        << PortFault::NoDevice << QList<PortItem>{{QStringLiteral("/dev/ttyUSB1"), ch340Text}};
    QTest::newRow("nothing stored") << QList<SerialDevice>{ftdi()} << QString() << QString()
                                    << PortFault::NoDevice << QList<PortItem>{{ftdiName, ftdiText}};
}

void TestPortList::entriesFollowTheDevicesAndKeepTheStoredPath() {
    QFETCH(QList<SerialDevice>, present);
    QFETCH(QString, stored);
    QFETCH(QString, target);
    QFETCH(station::PortFault, storedFault);
    QFETCH(QList<PortItem>, items);

    const QList<PortItem> listed = dialogs::deviceItems(present, stored, target, storedFault);
    QStringList texts;
    for (const PortItem& item : listed)
        texts << item.text();
    QStringList expected;
    for (const PortItem& item : items)
        expected << item.text();
    QCOMPARE(texts, expected);
    QCOMPARE(listed, items);
}

void TestPortList::descriptionSaysWhatIsKnown_data() {
    QTest::addColumn<SerialDevice>("device");
    QTest::addColumn<QString>("description");

    const QString node = QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("maker, product, serial number")
        << ftdi() << QStringLiteral("FTDI FT232R USB UART, A50285BI");
    QTest::newRow("nothing known") << onBoard() << QString();
    QTest::newRow("serial number alone")
        << SerialDevice{node, QString(), QString(), QString(), QStringLiteral("0001")}
        << QStringLiteral("0001");
    QTest::newRow("product repeats the maker")
        << SerialDevice{node, QString(), QStringLiteral("Arduino"), QStringLiteral("Arduino"),
                        QString()}
        << QStringLiteral("Arduino");
    QTest::newRow("blanks around the parts")
        << SerialDevice{node, QString(), QStringLiteral(" Prolific "), QStringLiteral(""),
                        QStringLiteral(" ")}
        << QStringLiteral("Prolific");
}

void TestPortList::descriptionSaysWhatIsKnown() {
    QFETCH(SerialDevice, device);
    QFETCH(QString, description);
    QCOMPARE(dialogs::describeDevice(device), description);
}

void TestPortList::pathIsTheTextBeforeTheDescription_data() {
    QTest::addColumn<PortItem>("item");

    QTest::newRow("fixed name") << PortItem{QStringLiteral("Com3"), QString()};
    QTest::newRow("described device") << PortItem{ftdi().stableName, QStringLiteral("FTDI FT232R")};
    QTest::newRow("absent device") << PortItem{QStringLiteral("/dev/ttyUSB0"), kNoDevice};
    QTest::newRow("path with blanks")
        << PortItem{QStringLiteral("/opt/my port"), QStringLiteral("x")};
    QTest::newRow("nothing") << PortItem{};
}

void TestPortList::pathIsTheTextBeforeTheDescription() {
    QFETCH(PortItem, item);
    QCOMPARE(dialogs::pathOfItemText(item.text()), item.path);
}

// Real files: a link is followed to its end, a dangling link and a missing file lead
// nowhere, and a fixed name is no path at all.
void TestPortList::storedTargetFollowsLinksToWhatIsThere() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString node = dir.filePath(QStringLiteral("ttyUSB0"));
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString link = dir.filePath(QStringLiteral("usb-adapter"));
    QVERIFY(QFile::link(node, link));
    const QString dangling = dir.filePath(QStringLiteral("usb-gone"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("ttyUSB9")), dangling));
    const QString canonicalNode = QFileInfo(node).canonicalFilePath();

    QCOMPARE(dialogs::storedTarget(node), canonicalNode);
    QCOMPARE(dialogs::storedTarget(link), canonicalNode);
    QCOMPARE(dialogs::storedTarget(dangling), QString());
    QCOMPARE(dialogs::storedTarget(dir.filePath(QStringLiteral("missing"))), QString());
    QCOMPARE(dialogs::storedTarget(QStringLiteral("Com1")), QString());
    QCOMPARE(dialogs::storedTarget(QString()), QString());
}

QTEST_GUILESS_MAIN(TestPortList)
#include "tst_portlist.moc"
