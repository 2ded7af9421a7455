// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated station's built-in profiles and the demo settings file.
#include "sim/DemoProfiles.h"

#include "config/Errors.h"
#include "config/SettingsFile.h"

namespace sim {

const std::array<NamedProfile, 10>& demoProfiles() {
    // T0 top heater switch-on, TB bottom heater, T1 flux activation, S1 hold at
    // T1, T3 top heater (peak), S3 hold at T3; degrees Celsius and seconds.
    static const std::array<NamedProfile, 10> profiles{{
        {"BGA бессвинцовый", {100, 160, 180, 60, 240, 30}},
        {"BGA свинцовый", {90, 150, 160, 60, 215, 25}},
        {"QFN бессвинцовый", {90, 150, 170, 45, 235, 20}},
        {"QFN свинцовый", {80, 140, 150, 45, 210, 20}},
        {"Мелкие компоненты", {60, 120, 150, 30, 220, 15}},
        {"Разъёмы", {80, 150, 160, 40, 230, 25}},
        {"Демонтаж BGA", {100, 170, 180, 40, 245, 40}},
        {"Реболлинг", {80, 140, 150, 60, 225, 30}},
        {"Сушка платы", {60, 110, 100, 120, 110, 60}},
        {"Быстрый тест", {40, 60, 80, 10, 100, 10}},
    }};
    return profiles;
}

namespace {

void writeSettings(config::SettingsFile& file) {
    file.WriteString(QStringLiteral("Connect"), QStringLiteral("Comport"), QStringLiteral("Com1"));
    file.WriteString(QStringLiteral("Connect"), QStringLiteral("BaudRate"),
                     QStringLiteral("19200"));

    const std::pair<const char*, int> global[] = {
        {"EditP2", 70},         {"EditpGain", 40}, {"EditiGain", 5}, {"EditdGain", 10},
        {"EditTpid", 20},       {"EditpBH", 80},   {"EditkBH", 10},  {"EditP1", 80},
        {"Correct1", 0},        {"Correct2", 0},   {"Hex", 0},       {"VisibleProfil", 1},
        {"TempEnableFan", 150}, {"EnableFan", 1},  {"AutoStart", 1},
    };
    for (const auto& [key, value] : global)
        file.WriteInteger(QStringLiteral("Global"), QLatin1String(key), value);

    int slot = 0;
    for (const NamedProfile& profile : demoProfiles()) {
        const QString section = QStringLiteral("Profil%1").arg(slot++);
        const station::ProfileValues& v = profile.values;
        file.WriteInteger(section, QStringLiteral("T0"), v.T0);
        file.WriteInteger(section, QStringLiteral("TB"), v.TB);
        file.WriteInteger(section, QStringLiteral("T1"), v.T1);
        file.WriteInteger(section, QStringLiteral("S1"), v.S1);
        file.WriteInteger(section, QStringLiteral("T3"), v.T3);
        file.WriteInteger(section, QStringLiteral("S3"), v.S3);
        file.WriteString(section, QStringLiteral("Name"), QString::fromUtf8(profile.name));
    }
}

} // namespace

bool writeDemoSettings(const QString& path, QString* error) {
    try {
        config::SettingsFile file(path);
        writeSettings(file);
        file.commit();
        return true;
    } catch (const config::AppError& e) {
        if (error)
            *error = e.message();
        return false;
    }
}

} // namespace sim
