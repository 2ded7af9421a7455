// SPDX-License-Identifier: GPL-3.0-or-later
// The console's typeface at a size in pixels, shared by every window.
#pragma once

#include <QFont>

namespace console {

// Tahoma at `pixelSize` (96 dpi: 11 px is 8 pt, 13 px is 10 pt); where the system has
// no Tahoma, the font machinery substitutes the registered clone or the default sans.
QFont tahoma(int pixelSize);

} // namespace console
