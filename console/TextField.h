// SPDX-License-Identifier: GPL-3.0-or-later
// Edit fields that keep whatever text the program puts into them, however long.
#pragma once

#include <QLineEdit>

#include <limits>

namespace console {

// A line edit cuts any text beyond its maximum length (32767 characters unless
// set), the program's own setText() included; lifting the maximum to the
// largest length a string can have lets a field hold anything the settings
// file holds, whole.
inline void holdAnyLength(QLineEdit* field) {
    field->setMaxLength(std::numeric_limits<int>::max());
}

} // namespace console
