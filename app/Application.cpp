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

// Debian's fonts-wine ships a Tahoma clone outside fontconfig's search path.
constexpr const char* kTahomaCloneFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
};

void registerTahoma() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char* file : kTahomaCloneFiles) {
        if (QFile::exists(QString::fromLatin1(file)))
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    }
}

void loadRussianTranslations(QApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void prepareApplication(QApplication& application) {
    // The application's name stays the executable's: it titles the message boxes.
    QCoreApplication::setApplicationVersion(QStringLiteral(IRCONSOLE_VERSION));
    registerTahoma();
    QApplication::setFont(console::tahoma(kDefaultFontPx));
    loadRussianTranslations(application);
}

Windows::Windows() : Form2(Form1), Form3(&Form1), Form4(Form1), Form5(&Form1), Form6(Form1, Form5) {
    Form1.setDialogs(&Form2, &Form3, &Form4, &Form6);
}

} // namespace app
