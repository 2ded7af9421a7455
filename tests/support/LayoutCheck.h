// SPDX-License-Identifier: GPL-3.0-or-later
// Checks a layout test makes of any window: every control listed, every caption whole in its box.
#pragma once

#include <QStringList>

class QWidget;

namespace testsupport {

// The named direct children of `window` that `listed` does not name.
QStringList unlistedControls(const QWidget& window, const QStringList& listed);

// The captions of `window`'s direct children (labels, check boxes, radio and
// push buttons) that do not fit their control's box, each as
// "name needs N of M"; empty when every caption shows whole.
QStringList captionsWiderThanTheirBox(const QWidget& window);

// The controls whose caption is drawn tighter than the font's own spacing to fit
// its box, each as "name (natural width px in box width)".
QStringList tightenedCaptions(const QWidget& window);

} // namespace testsupport
