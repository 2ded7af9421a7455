// SPDX-License-Identifier: GPL-3.0-or-later
// The device entries of the connection dialog's port list.
#include "dialogs/PortList.h"

#include "console/LinkMessages.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace dialogs {

namespace {

// Between a path and its description; no device path contains it.
const QString kSeparator = QStringLiteral(" — ");

bool isPath(const QString& stored) {
    return stored.startsWith(QLatin1Char('/'));
}

bool names(const QString& stored, const QString& target, const station::SerialDevice& device) {
    return stored == device.location ||
           (!device.stableName.isEmpty() && stored == device.stableName) ||
           (!target.isEmpty() && target == device.location);
}

} // namespace

QString PortItem::text() const {
    return description.isEmpty() ? path : path + kSeparator + description;
}

QString storedTarget(const QString& stored) {
    return isPath(stored) ? QFileInfo(stored).canonicalFilePath() : QString();
}

QList<PortItem> deviceItems(const QList<station::SerialDevice>& present, const QString& stored,
                            const QString& target, station::PortFault storedFault) {
    const bool storedIsPath = isPath(stored);
    bool storedListed = false;
    QList<PortItem> items;
    items.reserve(present.size() + 1);
    for (const station::SerialDevice& device : present) {
        PortItem item{device.stableName.isEmpty() ? device.location : device.stableName,
                      describeDevice(device)};
        if (storedIsPath && !storedListed && names(stored, target, device)) {
            item.path = stored;
            storedListed = true;
        }
        items.append(item);
    }
    std::sort(items.begin(), items.end(),
              [](const PortItem& a, const PortItem& b) { return a.path < b.path; });
    if (storedIsPath && !storedListed)
        items.append({stored, console::portFaultText(storedFault)});
    return items;
}

QString pathOfItemText(const QString& text) {
    const qsizetype cut = text.indexOf(kSeparator);
    return cut < 0 ? text : text.left(cut);
}

QString describeDevice(const station::SerialDevice& device) {
    QStringList name;
    for (const QString& part : {device.manufacturer, device.product}) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty() && !name.contains(trimmed))
            name << trimmed;
    }
    QString text = name.join(QLatin1Char(' '));
    const QString serial = device.serialNumber.trimmed();
    if (!serial.isEmpty())
        text = text.isEmpty() ? serial : text + QStringLiteral(", ") + serial;
    return text;
}

} // namespace dialogs
