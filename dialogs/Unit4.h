// The connection settings dialog: port and speed for the next connect.
#pragma once

#include "console/ModalDialog.h"

class TForm1;

class TForm4 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm4(TForm1& form1);
};
