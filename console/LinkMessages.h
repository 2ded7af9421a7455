// SPDX-License-Identifier: GPL-3.0-or-later
// How the console tells the operator about the link: one wording for the connect refusals, the
// lost-device box and the port dialog. Texts only; nothing here shows anything.
#pragma once

#include "link/PortUnit.h"

#include <QString>

#include <cstdint>

namespace console {

// What is wrong with a device, in a few words ("нет устройства"); empty for None.
// The port dialog shows it beside a stored device; the boxes below end with it.
QString portFaultText(station::PortFault fault, int systemError = 0);

// The device as the boxes name it: the path tried, and the device node it leads to
// when that is another path ("/opt/irconsole/com1 → /dev/ttyUSB0").
QString deviceText(const station::PortFailure& failure);

// The box when a connect cannot open the port stored as `port`.
QString openRefusalText(const QString& port, const station::PortFailure& failure);

// The box when the device of the open link fails.
QString linkLostText(const QString& port, const station::PortFailure& failure);

// The box when the stored speed is none of those the connection dialog offers.
QString speedRefusalText(std::int32_t speed);

} // namespace console
