// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Controls.h"

#include <QLabel>
#include <QPushButton>

namespace dialogs {

void place(QWidget* control, const char* name, QRect geometry, int fontPx) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    control->setFont(tahoma(fontPx));
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                  int fontPx, Qt::Alignment horizontal) {
    auto* label = new QLabel(text, parent);
    place(label, name, geometry, fontPx);
    label->setAlignment(horizontal | Qt::AlignVCenter);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    place(button, name, geometry, kDialogFontPx);
    button->setAutoDefault(false);
    return button;
}

} // namespace dialogs
