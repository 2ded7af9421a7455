// SPDX-License-Identifier: GPL-3.0-or-later
// A second console, as far as the settings file goes: saves, holds the lock or tries a save, on
// request.
//   settings_writer save FILE SECTION COUNT  COUNT saves, each of SECTION/SaveN=N and Common/Last
//   settings_writer serve FILE               saves on the commands it reads, one a line:
//                                            "editor R" (the profile editor's 70 keys) or
//                                            "connection R" (Connect's 2), the values made
//                                            from R; answers "done R" or "refused: <message>"
//   settings_writer hold-lock FILE           takes the file's lock, says "locked", keeps it
//                                            until killed
//   settings_writer try FILE                 reads Profil0/Name, saves Profil0/T0=5, says what
//                                            happened
#include "config/Errors.h"
#include "config/SettingsFile.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

int save(const QString& path, const QString& section, int count) {
    for (int i = 0; i < count; ++i) {
        try {
            config::SettingsFile settings(path);
            settings.WriteInteger(section, QStringLiteral("Save%1").arg(i), i);
            settings.WriteString(QStringLiteral("Common"), QStringLiteral("Last"),
                                 section + QString::number(i));
            settings.commit();
        } catch (const config::AppError& error) {
            std::printf("save %d: %s\n", i, qPrintable(error.message()));
            return 2;
        }
    }
    return 0;
}

// The values tst_settingsfile expects of round `round`.
void editorSave(config::SettingsFile& settings, int round) {
    for (int p = 0; p < 10; ++p) {
        const QString section = QStringLiteral("Profil%1").arg(p);
        int key = 0;
        for (const char* name : {"T0", "TB", "T1", "S1", "T3", "S3"})
            settings.WriteInteger(section, QLatin1String(name), round * 100 + p * 10 + key++);
        settings.WriteString(section, QStringLiteral("Name"),
                             QStringLiteral("Профиль %1, круг %2").arg(p).arg(round));
    }
}

void connectionSave(config::SettingsFile& settings, int round) {
    settings.WriteString(QStringLiteral("Connect"), QStringLiteral("Comport"),
                         QStringLiteral("Com%1").arg(round % 6 + 1));
    settings.WriteString(QStringLiteral("Connect"), QStringLiteral("BaudRate"),
                         QString::number(9600 + round));
}

int serve(const QString& path) {
    std::string line;
    while (std::getline(std::cin, line)) {
        const QStringList command = QString::fromStdString(line).split(u' ');
        if (command.size() != 2)
            return 1;
        const int round = command[1].toInt();
        try {
            config::SettingsFile settings(path);
            if (command[0] == u"editor")
                editorSave(settings, round);
            else if (command[0] == u"connection")
                connectionSave(settings, round);
            else
                return 1;
            settings.commit();
            std::printf("done %d\n", round);
        } catch (const config::AppError& error) {
            std::printf("refused: %s\n", qPrintable(error.message()));
        }
        std::fflush(stdout);
    }
    return 0;
}

int holdLock(const QString& path) {
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.lock())
        return 2;
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

int trySave(const QString& path) {
    config::SettingsFile settings(path);
    std::printf("read: %s\n",
                qPrintable(settings.ReadString(QStringLiteral("Profil0"), QStringLiteral("Name"),
                                               QStringLiteral("<default>"))));
    try {
        settings.WriteInteger(QStringLiteral("Profil0"), QStringLiteral("T0"), 5);
        settings.commit();
        std::printf("written\n");
    } catch (const config::AppError& error) {
        std::printf("refused: %s\n", qPrintable(error.message()));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() == 5 && args[1] == u"save")
        return save(args[2], args[3], args[4].toInt());
    if (args.size() == 3 && args[1] == u"serve")
        return serve(args[2]);
    if (args.size() == 3 && args[1] == u"hold-lock")
        return holdLock(args[2]);
    if (args.size() == 3 && args[1] == u"try")
        return trySave(args[2]);
    std::fprintf(stderr, "usage: settings_writer save FILE SECTION COUNT | serve FILE | "
                         "hold-lock FILE | try FILE\n");
    return 1;
}
