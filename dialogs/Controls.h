// SPDX-License-Identifier: GPL-3.0-or-later
// Building blocks the settings dialogs share: named controls in their places and fonts.
#pragma once

#include "console/Fonts.h"

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace dialogs {

// Font sizes in pixels at 96 dpi: the dialog font (8 pt) and the fields' font (10 pt).
constexpr int kDialogFontPx = 11;
constexpr int kFieldFontPx = 13;

using console::tahoma;

// Gives a control its name, place and font.
void place(QWidget* control, const char* name, QRect geometry, int fontPx);

// A label of fixed size, its text centred vertically.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                  int fontPx, Qt::Alignment horizontal = Qt::AlignLeft);

// A button in the dialog font. Enter in a field does not press it.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry);

} // namespace dialogs
