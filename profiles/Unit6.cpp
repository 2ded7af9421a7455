#include "profiles/Unit6.h"

#include "console/Form.h"

TForm6::TForm6(TForm1& form1, TForm5& form5)
    : ModalDialog(QStringLiteral("Редактор профилей"), QSize(679, 334), false, &form1) {}
