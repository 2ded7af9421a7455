// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the toolkit, the fonts and translations, and the six windows in their order.
#pragma once

#include "console/Form.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit4.h"
#include "profiles/Unit5.h"
#include "profiles/Unit6.h"

class QApplication;

namespace app {

// Makes the look the console was designed with available: Tahoma (or the
// metric-compatible clone Debian ships with Wine) and Qt's own Russian texts.
void prepareApplication(QApplication& application);

// The six windows, created once, main window first; they live as long as this object.
struct Windows {
    Windows();

    TForm1 Form1;
    TForm2 Form2;
    TForm3 Form3;
    TForm4 Form4;
    TForm5 Form5;
    TForm6 Form6;
};

} // namespace app
