// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices present now: QSerialPortInfo's list with the adapters' stable names.
#include "link/SerialDevices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace station {

QList<SerialDevice> systemSerialDevices() {
    QList<SerialDevice> devices;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    devices.reserve(ports.size());
    for (const QSerialPortInfo& port : ports) {
        devices.append({port.systemLocation(), QString(), port.manufacturer(), port.description(),
                        port.serialNumber()});
    }
    return withStableNames(std::move(devices), kStableNameDir);
}

QList<SerialDevice> withStableNames(QList<SerialDevice> devices, const QString& linkDir) {
    // The links point at device nodes, which QDir counts as system entries.
    const QFileInfoList links = QDir(linkDir).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (SerialDevice& device : devices) {
        const QString node = QFileInfo(device.location).canonicalFilePath();
        if (node.isEmpty())
            continue;
        for (const QFileInfo& link : links) {
            if (link.isSymLink() && link.canonicalFilePath() == node) {
                device.stableName = link.absoluteFilePath();
                break;
            }
        }
    }
    return devices;
}

} // namespace station
