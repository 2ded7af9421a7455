#include "profiles/Unit5.h"

TForm5::TForm5(QWidget* parent)
    : ModalDialog(QStringLiteral(""), QSize(466, 198), false, parent) {}
