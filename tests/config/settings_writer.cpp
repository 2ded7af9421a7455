// SPDX-License-Identifier: GPL-3.0-or-later
// A second console, as far as the settings file goes: saves, holds the lock or tries a write, on
// request.
//   settings_writer save FILE SECTION COUNT   COUNT saves, each writing SECTION/SaveN=N and
//   Common/Last settings_writer hold-lock FILE            takes the file's lock, says "locked",
//   keeps it until killed settings_writer try FILE                  reads Profil0/Name, writes
//   Profil0/T0=5, says what happened
#include "config/Errors.h"
#include "config/SettingsFile.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QThread>

#include <cstdio>

namespace {

int save(const QString& path, const QString& section, int count) {
    for (int i = 0; i < count; ++i) {
        try {
            config::SettingsFile settings(path);
            settings.WriteInteger(section, QStringLiteral("Save%1").arg(i), i);
            settings.WriteString(QStringLiteral("Common"), QStringLiteral("Last"),
                                 section + QString::number(i));
        } catch (const config::AppError& error) {
            std::printf("save %d: %s\n", i, qPrintable(error.message()));
            return 2;
        }
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

int tryWrite(const QString& path) {
    config::SettingsFile settings(path);
    std::printf("read: %s\n",
                qPrintable(settings.ReadString(QStringLiteral("Profil0"), QStringLiteral("Name"),
                                               QStringLiteral("<default>"))));
    try {
        settings.WriteInteger(QStringLiteral("Profil0"), QStringLiteral("T0"), 5);
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
    if (args.size() == 3 && args[1] == u"hold-lock")
        return holdLock(args[2]);
    if (args.size() == 3 && args[1] == u"try")
        return tryWrite(args[2]);
    std::fprintf(stderr, "usage: settings_writer save FILE SECTION COUNT | hold-lock FILE | "
                         "try FILE\n");
    return 1;
}
