// SPDX-License-Identifier: GPL-3.0-or-later
// The link's troubles in the operator's words.
#include "console/LinkMessages.h"

#include "link/LineSpeeds.h"

#include <QStringList>

namespace console {

QString portFaultText(station::PortFault fault, int systemError) {
    using station::PortFault;
    switch (fault) {
    case PortFault::None:
        return {};
    case PortFault::NoDevice:
        return QStringLiteral("нет устройства");
    case PortFault::NotSerialPort:
        return QStringLiteral("это не последовательный порт");
    case PortFault::NoPermission:
        return QStringLiteral("нет прав на доступ к устройству");
    case PortFault::Busy:
        return QStringLiteral("порт занят другой программой или консолью");
    case PortFault::Disconnected:
        return QStringLiteral("устройство отключено");
    case PortFault::SettingsRefused:
        return QStringLiteral("устройство не принимает настройки линии");
    case PortFault::SystemError:
        break;
    }
    return systemError != 0 ? QStringLiteral("ошибка устройства, код %1").arg(systemError)
                            : QStringLiteral("ошибка устройства");
}

QString deviceText(const station::PortFailure& failure) {
    if (failure.node.isEmpty() || failure.node == failure.device)
        return failure.device;
    return failure.device + QStringLiteral(" → ") + failure.node;
}

QString openRefusalText(const QString& port, const station::PortFailure& failure) {
    return QStringLiteral("Не удалось открыть порт %1 (%2): %3")
        .arg(port, deviceText(failure), portFaultText(failure.fault, failure.systemError));
}

QString linkLostText(const QString& port, const station::PortFailure& failure) {
    return QStringLiteral("Соединение со станцией потеряно, порт %1 (%2): %3")
        .arg(port, deviceText(failure), portFaultText(failure.fault, failure.systemError));
}

QString speedRefusalText(std::int32_t speed) {
    QStringList offered;
    for (const std::int32_t listed : station::kLineSpeeds)
        offered << QString::number(listed);
    return QStringLiteral("Скорость обмена %1 не поддерживается. Допустимые скорости: %2")
        .arg(QString::number(speed), offered.join(QStringLiteral(", ")));
}

} // namespace console
