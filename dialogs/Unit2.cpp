#include "dialogs/Unit2.h"

#include "console/Form.h"

TForm2::TForm2(TForm1& form1)
    : ModalDialog(QStringLiteral("Общие настройки станции"), QSize(587, 339), false, &form1) {}
