// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a caption into the box its window gives it when the typeface renders it wider.
#pragma once

#include <QString>

class QWidget;

namespace console {

// The caption a label or button shows; empty for other controls.
QString captionOf(const QWidget* control);

// The width a label, check box, radio button or push button leaves for its
// caption inside its own box (the indicator and margins taken off).
int captionRoom(const QWidget* control);

// Keeps the control's box and shows its whole caption: when the font renders
// the caption wider than its room, the letters are drawn closer together, by
// no more than is needed. Returns whether the caption had to be tightened.
bool fitCaption(QWidget* control);

} // namespace console
