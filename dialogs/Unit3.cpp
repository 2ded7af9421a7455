#include "dialogs/Unit3.h"

TForm3::TForm3(QWidget* parent)
    : ModalDialog(QStringLiteral("Информация о программе"), QSize(392, 138), true, parent) {}
