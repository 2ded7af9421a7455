// SPDX-License-Identifier: GPL-3.0-or-later
// The about dialog: the program's name, version and origin.
#pragma once

#include "console/ModalDialog.h"

class TForm3 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};
