// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a picture the tests drew or rendered: how much of it is in a given colour.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdlib>

namespace testsupport {

// The pixels of `image` within `tolerance` of `colour` in each channel: a
// curve's own tone, not its blend into the white.
inline int pixelsNear(const QImage& image, const QColor& colour, int tolerance = 20) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - colour.red()) < tolerance &&
                     std::abs(c.green() - colour.green()) < tolerance &&
                     std::abs(c.blue() - colour.blue()) < tolerance;
        }
    }
    return count;
}

} // namespace testsupport
