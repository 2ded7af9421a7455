// The general station settings dialog.
#pragma once

#include "console/ModalDialog.h"

class TForm1;

class TForm2 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1& form1);
};
