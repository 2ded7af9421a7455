// SPDX-License-Identifier: GPL-3.0-or-later
// What this process holds open, for tests that check that nothing was opened or left open.
#pragma once

#include <QString>

namespace testsupport {

// How many of this process's descriptors are open on `path` (a device node, a file).
int descriptorsOn(const QString& path);

} // namespace testsupport
