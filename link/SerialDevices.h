// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices the system has at this moment, as the serial port library finds them.
#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace station {

// One serial device that is plugged in now.
struct SerialDevice {
    QString location;   // the device node, such as /dev/ttyUSB0
    QString stableName; // its link under /dev/serial/by-id/; empty when it has none
    QString manufacturer;
    QString product;
    QString serialNumber;

    bool operator==(const SerialDevice&) const = default;
};

// Where the system keeps a link per USB serial adapter, named after the adapter itself,
// so that it survives re-plugging and renumbering.
inline const QString kStableNameDir = QStringLiteral("/dev/serial/by-id");

// Every serial device present, from QSerialPortInfo, each with its stable name when
// it has one.
QList<SerialDevice> systemSerialDevices();

// Gives each device the link in `linkDir` that leads to its node (the first by name
// when several do); devices no link leads to keep an empty stable name.
QList<SerialDevice> withStableNames(QList<SerialDevice> devices, const QString& linkDir);

// How a caller asks for the devices: the system's list in the program, a fixed list
// in tests.
using DeviceEnumerator = std::function<QList<SerialDevice>()>;

} // namespace station
