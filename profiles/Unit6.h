// The profile editor: all ten profiles in one table.
#pragma once

#include "console/ModalDialog.h"

class TForm1;
class TForm5;

class TForm6 : public console::ModalDialog {
    Q_OBJECT
public:
    TForm6(TForm1& form1, TForm5& form5);
};
