// SPDX-License-Identifier: GPL-3.0-or-later
// Which serial devices the connection dialog offers after its fixed port names, and how each
// reads.
#pragma once

#include "link/PortUnit.h"
#include "link/SerialDevices.h"

#include <QList>
#include <QString>

namespace dialogs {

// One device entry of the port list.
struct PortItem {
    QString path;        // what a save stores as the port
    QString description; // shown beside the path; empty when nothing is known of the device

    // The item's text in the list: the path, then the description when there is one.
    QString text() const;
    bool operator==(const PortItem&) const = default;
};

// What the stored port leads to on disk now, links followed; empty when the stored
// value is no path or nothing is there.
QString storedTarget(const QString& stored);

// The device entries, sorted by path: one per present device, named by its stable
// name when it has one, otherwise by its node. A stored path that names a present
// device (by either name, or by a link leading to its node) keeps its own spelling,
// so that a save writes back what was stored. A stored path that names no present
// device is listed last, so that a save never loses it, described by what is wrong
// with it (`storedFault`: nothing there, no serial port, no permission) in the
// words of the connect refusal. Names that are no path ("Com3") add nothing.
QList<PortItem> deviceItems(const QList<station::SerialDevice>& present, const QString& stored,
                            const QString& target, station::PortFault storedFault);

// The path at the front of an item's text (the whole text of a fixed name).
QString pathOfItemText(const QString& text);

// What is known of a device, maker first; empty when nothing is.
QString describeDevice(const station::SerialDevice& device);

} // namespace dialogs
