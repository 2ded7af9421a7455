// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices present: each adapter's stable name found among real links, and the
// system's own list as it is on this machine.
#include "link/SerialDevices.h"
#include "sim/PseudoTerminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

using station::SerialDevice;

namespace {

bool isCharacterDevice(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

// What a listing of devices must hold: each device a character device node, and
// each stable name a link in `linkDir` that leads back to that node.
void checkNodesAndLinks(const QList<SerialDevice>& devices, const QString& linkDir) {
    for (const SerialDevice& device : devices) {
        QVERIFY2(device.location.startsWith(QLatin1Char('/')), qPrintable(device.location));
        QVERIFY2(isCharacterDevice(device.location), qPrintable(device.location));
        if (device.stableName.isEmpty())
            continue;
        QVERIFY2(device.stableName.startsWith(linkDir + QLatin1Char('/')),
                 qPrintable(device.stableName));
        QVERIFY2(QFileInfo(device.stableName).isSymLink(), qPrintable(device.stableName));
        QCOMPARE(QFileInfo(device.stableName).canonicalFilePath(),
                 QFileInfo(device.location).canonicalFilePath());
    }
}

} // namespace

class TestSerialDevices : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void deviceTakesTheLinkThatLeadsToItsNode_data();
    void deviceTakesTheLinkThatLeadsToItsNode();
    void missingLinkDirectoryLeavesNamesEmpty();
    void systemListHoldsDeviceNodesWithTheirOwnLinks();
    void terminalsListedWithLinksKeepTheirOwnLinks();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    // A file standing in for a device node under nodes/.
    QString node(const QString& name) const;
    void link(const QString& target, const QString& name) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSerialDevices::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("nodes")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("by-id")));
}

void TestSerialDevices::cleanup() {
    m_dir.reset();
}

QString TestSerialDevices::node(const QString& name) const {
    const QString file = path(QStringLiteral("nodes/") + name);
    QFile f(file);
    if (!f.exists() && !f.open(QIODevice::WriteOnly))
        qWarning("cannot make %s", qPrintable(file));
    return QFileInfo(file).canonicalFilePath();
}

void TestSerialDevices::link(const QString& target, const QString& name) const {
    if (!QFile::link(target, path(QStringLiteral("by-id/") + name)))
        qWarning("cannot link %s", qPrintable(name));
}

// Links in the directory: "name>node" each. Devices: their nodes, and the stable
// name each must end up with ("" for none).
void TestSerialDevices::deviceTakesTheLinkThatLeadsToItsNode_data() {
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QStringList>("stableNames");

    QTest::newRow("two adapters") << QStringList{"usb-FTDI_FT232R_A50285BI-if00-port0>ttyUSB0",
                                                 "usb-Prolific_PL2303-if00-port0>ttyUSB1"}
                                  << QStringList{"ttyUSB1", "ttyUSB0"}
                                  << QStringList{"usb-Prolific_PL2303-if00-port0",
                                                 "usb-FTDI_FT232R_A50285BI-if00-port0"};
    QTest::newRow("on-board port has no link")
        << QStringList{"usb-1a86_USB_Serial-if00-port0>ttyUSB0"} << QStringList{"ttyS0", "ttyUSB0"}
        << QStringList{"", "usb-1a86_USB_Serial-if00-port0"};
    QTest::newRow("link to a pulled adapter")
        << QStringList{"usb-gone-if00-port0>ttyUSB3"} << QStringList{"ttyACM0"} << QStringList{""};
    QTest::newRow("two links to one node: the first by name")
        << QStringList{"usb-b-if00>ttyACM0", "usb-a-if00>ttyACM0"} << QStringList{"ttyACM0"}
        << QStringList{"usb-a-if00"};
    QTest::newRow("no devices") << QStringList{"usb-x-if00>ttyUSB0"} << QStringList{}
                                << QStringList{};
}

void TestSerialDevices::deviceTakesTheLinkThatLeadsToItsNode() {
    QFETCH(QStringList, links);
    QFETCH(QStringList, nodes);
    QFETCH(QStringList, stableNames);

    for (const QString& entry : links) {
        const QStringList parts = entry.split(QLatin1Char('>'));
        // A link to a pulled adapter dangles: its node is not made.
        const QString target =
            nodes.contains(parts[1]) ? node(parts[1]) : path(QStringLiteral("nodes/") + parts[1]);
        link(target, parts[0]);
    }
    QList<SerialDevice> devices;
    for (const QString& name : nodes)
        devices.append({node(name), QString(), QStringLiteral("maker"), QString(), QString()});

    const QList<SerialDevice> named = station::withStableNames(devices, path("by-id"));
    QCOMPARE(named.size(), devices.size());
    for (qsizetype i = 0; i < named.size(); ++i) {
        const QString expected =
            stableNames[i].isEmpty() ? QString() : path(QStringLiteral("by-id/") + stableNames[i]);
        QCOMPARE(named[i].stableName, expected);
        // Nothing else of the device changes.
        QCOMPARE(named[i].location, devices[i].location);
        QCOMPARE(named[i].manufacturer, devices[i].manufacturer);
    }
}

void TestSerialDevices::missingLinkDirectoryLeavesNamesEmpty() {
    const QList<SerialDevice> devices{
        {node("ttyUSB0"), QString(), QString(), QString(), QString()}};
    QCOMPARE(station::withStableNames(devices, path("no-such-dir")), devices);
}

// The machine's own devices: whatever the system lists is a device node, and a
// stable name always leads back to it. A machine without serial devices has
// nothing to show; the same checks run on pseudo-terminals below.
void TestSerialDevices::systemListHoldsDeviceNodesWithTheirOwnLinks() {
    const QList<SerialDevice> devices = station::systemSerialDevices();
    if (devices.isEmpty())
        QSKIP("the system lists no serial device here; "
              "terminalsListedWithLinksKeepTheirOwnLinks checks the same on pseudo-terminals");
    qInfo("%lld serial devices present", qlonglong(devices.size()));
    checkNodesAndLinks(devices, station::kStableNameDir);
    const bool anyStableName = std::any_of(devices.cbegin(), devices.cend(),
                                           [](const auto& d) { return !d.stableName.isEmpty(); });
    if (!anyStableName)
        qInfo("none has a link under %s: terminalsListedWithLinksKeepTheirOwnLinks checks links",
              qPrintable(station::kStableNameDir));
}

// Pseudo-terminals stand in for plugged-in adapters: real device nodes, listed
// as the system would list them, with links beside them in a folder of stable
// names (one linked twice, one not at all, one link to a terminal not listed).
void TestSerialDevices::terminalsListedWithLinksKeepTheirOwnLinks() {
    std::unique_ptr<sim::PseudoTerminal> terminals[4];
    for (auto& terminal : terminals) {
        terminal = std::make_unique<sim::PseudoTerminal>();
        QVERIFY2(terminal->isOpen(), qPrintable(terminal->error()));
    }
    const QString byId = path(QStringLiteral("by-id"));
    const auto linkTo = [&](int terminal, const QString& name) {
        QVERIFY(QFile::link(terminals[terminal]->slavePath(), byId + QLatin1Char('/') + name));
    };
    linkTo(0, QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    linkTo(1, QStringLiteral("usb-Prolific_PL2303-if00-port0"));
    linkTo(1, QStringLiteral("usb-1a86_USB_Serial-if00-port0"));
    linkTo(3, QStringLiteral("usb-not-listed-if00-port0"));

    QList<SerialDevice> listed;
    for (int terminal : {0, 1, 2})
        listed.append({terminals[terminal]->slavePath(), QString(), QStringLiteral("maker"),
                       QStringLiteral("product"), QString::number(terminal)});
    const QList<SerialDevice> named = station::withStableNames(listed, byId);
    checkNodesAndLinks(named, byId);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(named.size(), 3);
    QCOMPARE(named[0].stableName, byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    QCOMPARE(named[1].stableName, byId + "/usb-1a86_USB_Serial-if00-port0"); // the first by name
    QCOMPARE(named[2].stableName, QString());
    for (qsizetype i = 0; i < named.size(); ++i) {
        QCOMPARE(named[i].location, listed[i].location);
        QCOMPARE(named[i].serialNumber, listed[i].serialNumber);
    }
}

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "tst_serialdevices.moc"
