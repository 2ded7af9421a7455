// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Unit3.h"

#include "dialogs/Controls.h"

#include <QLabel>

namespace {

// 16 pt for the program's name, 12 pt for the lines below it.
constexpr int kTitleFontPx = 21;
constexpr int kLineFontPx = 16;

// The executable is built with the same version, so the two cannot disagree.
QString versionLine() {
    return QStringLiteral("Версия программы: v") + QStringLiteral(IRCONSOLE_VERSION);
}

} // namespace

TForm3::TForm3(QWidget* parent)
    : ModalDialog(QStringLiteral("Информация о программе"), QSize(392, 138), true, parent) {
    setFont(dialogs::tahoma(dialogs::kDialogFontPx));

    struct Line {
        const char* name;
        QRect geometry;
        int fontPx;
        QString text;
    };
    const Line lines[] = {
        {"Label1",
         {9, 8, 375, 25},
         kTitleFontPx,
         QStringLiteral("Программа управления инфракрасной")},
        {"Label6", {9, 39, 375, 25}, kTitleFontPx, QStringLiteral("паяльной станцией")},
        {"Label2", {8, 70, 376, 19}, kLineFontPx, versionLine()},
        {"Label4",
         {8, 91, 376, 19},
         kLineFontPx,
         QStringLiteral("Авторы: участники проекта irconsole")},
        {"Label3", {8, 111, 376, 19}, kLineFontPx, QStringLiteral("Проект irconsole, 2026 г.")},
    };
    for (const Line& line : lines) {
        QLabel* label = dialogs::makeLabel(this, line.name, line.text, line.geometry, line.fontPx,
                                           Qt::AlignHCenter);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
}
