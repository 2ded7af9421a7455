// SPDX-License-Identifier: GPL-3.0-or-later
// One save of each settings dialog into a real file on disk, timed: the profile editor (70 keys),
// the general settings (15).
#include "bench/Repeated.h"
#include "config/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRepeats = 15;

const char* const kGlobalKeys[] = {"EditP2",        "EditpGain", "EditiGain", "EditdGain",
                                   "EditTpid",      "EditpBH",   "EditkBH",   "EditP1",
                                   "Correct1",      "Correct2",  "Hex",       "VisibleProfil",
                                   "TempEnableFan", "EnableFan", "AutoStart"};

// The general settings dialog's save; `round` makes every value new, so every write
// really changes the file.
void generalSettingsSave(int round) {
    config::SettingsFile settings;
    int value = round * 100;
    for (const char* key : kGlobalKeys)
        settings.WriteInteger(QStringLiteral("Global"), QString::fromLatin1(key), value++);
    settings.commit();
}

// The profile editor's save: all ten profiles, seven keys each.
void profileEditorSave(int round) {
    config::SettingsFile settings;
    for (int profile = 0; profile < 10; ++profile) {
        const QString section = QStringLiteral("Profil%1").arg(profile);
        int value = round * 10 + profile;
        for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3"})
            settings.WriteInteger(section, QString::fromLatin1(key), value++);
        settings.WriteString(section, QStringLiteral("Name"),
                             QStringLiteral("Профиль %1, проход %2").arg(profile).arg(round));
    }
    settings.commit();
}

// The profile editor's save as an operator usually makes it: one value edited,
// the other 69 written with the values the file already holds.
void profileEditorSaveOneEdit(int round) {
    config::SettingsFile settings;
    for (int profile = 0; profile < 10; ++profile) {
        const QString section = QStringLiteral("Profil%1").arg(profile);
        int value = profile;
        for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3"}) {
            const bool edited = profile == 3 && qstrcmp(key, "T0") == 0;
            const int stored = value++;
            settings.WriteInteger(section, QString::fromLatin1(key),
                                  edited ? 1000 + round : stored);
        }
        settings.WriteString(section, QStringLiteral("Name"),
                             QStringLiteral("Профиль %1").arg(profile));
    }
    settings.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    // A folder given on the command line (another disk, a tmpfs) is used instead of the
    // temporary folder.
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/settings_bench-XXXXXX"));
    if (!dir.isValid())
        return 1;
    config::ScopedAppDirectoryOverride here(dir.path());
    std::printf("settings file in %s, build %s\n", qPrintable(dir.path()), IRCONSOLE_BUILD_TYPE);
    profileEditorSave(0);
    generalSettingsSave(0);
    std::printf("file of %lld bytes, %d saves each\n",
                static_cast<long long>(QFile(config::settingsFilePath()).size()), kRepeats);
    bench::reportRepeated("profile editor save (70 keys)", kRepeats, profileEditorSave);
    bench::reportRepeated("general settings save (15 keys)", kRepeats, generalSettingsSave);
    profileEditorSaveOneEdit(0);
    bench::reportRepeated("profile editor save, one value edited", kRepeats,
                          profileEditorSaveOneEdit);
    return 0;
}
