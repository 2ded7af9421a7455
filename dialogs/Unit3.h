// The about dialog: the program's name and version.
#pragma once

#include "console/ModalDialog.h"

class TForm3 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};
