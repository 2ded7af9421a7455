// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/Fonts.h"

namespace console {

QFont tahoma(int pixelSize) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace console
