// The single-profile dialog: one row of the profile editor with a description of each value.
#pragma once

#include "console/ModalDialog.h"

class TForm5 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};
