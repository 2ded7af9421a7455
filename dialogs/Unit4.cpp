#include "dialogs/Unit4.h"

#include "console/Form.h"

TForm4::TForm4(TForm1& form1)
    : ModalDialog(QStringLiteral("Настройки соединения"), QSize(275, 97), false, &form1) {}
