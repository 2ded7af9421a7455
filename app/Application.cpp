// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "console/Fonts.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace app {

namespace {

constexpr int kDefaultFontPx = 11; // 8 pt at 96 dpi

// Debian's fonts-wine ships a metric-compatible Tahoma clone outside fontconfig's
// search path. Its file is registered directly, without listing every family
// first to see whether some Tahoma is installed. The console draws no bold text,
// so the regular face is all it needs.
constexpr const char* kTahomaCloneFile = "/usr/share/wine/fonts/tahoma.ttf";

void registerTahomaClone() {
    const QString file = QString::fromLatin1(kTahomaCloneFile);
    if (QFile::exists(file))
        QFontDatabase::addApplicationFont(file);
}

// Qt's own texts (standard buttons, the serial port's errors) in Russian, where
// the translations are installed.
void loadRussianTranslations(QApplication& application) {
    for (const QString& catalogue : {QStringLiteral("qtbase"), QStringLiteral("qtserialport")}) {
        auto* translator = new QTranslator(&application);
        if (translator->load(QLocale(QLocale::Russian), catalogue, QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(translator);
        else
            delete translator;
    }
}

} // namespace

void prepareApplication(QApplication& application) {
    // The application's name stays the executable's: it titles the message boxes.
    QCoreApplication::setApplicationVersion(QStringLiteral(IRCONSOLE_VERSION));
    registerTahomaClone();
    QApplication::setFont(console::tahoma(kDefaultFontPx));
    loadRussianTranslations(application);
}

Windows::Windows() : Form2(Form1), Form3(&Form1), Form4(Form1), Form5(&Form1), Form6(Form1, Form5) {
    Form1.setDialogs(&Form2, &Form3, &Form4, &Form6);
}

} // namespace app
