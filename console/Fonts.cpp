#include "console/Fonts.h"

namespace console {

QFont tahoma(int pixelSize) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace console
