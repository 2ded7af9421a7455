// SPDX-License-Identifier: GPL-3.0-or-later
// Section Record of the settings file: the journal's and the targets' switches.
#include "console/RecordOptions.h"

#include "config/SettingsFile.h"

namespace console {

namespace {

const QString kSectionRecord = QStringLiteral("Record");
constexpr int kOn = 1;
constexpr int kOff = 0;

} // namespace

QString recordOptionKey(RecordOption option) {
    switch (option) {
    case RecordOption::AutoSave:
        return QStringLiteral("AutoSave");
    case RecordOption::Targets:
        return QStringLiteral("Targets");
    }
    return {};
}

bool readRecordOption(const config::SettingsFile& settings, RecordOption option) {
    // A run forgotten is a run lost: the journal is on unless the operator said 0.
    if (option == RecordOption::AutoSave)
        return settings.ReadInteger(kSectionRecord, recordOptionKey(option), kOn) != kOff;
    return settings.ReadInteger(kSectionRecord, recordOptionKey(option), kOff) == kOn;
}

void saveRecordOption(RecordOption option, bool on) {
    config::SettingsFile settings;
    settings.WriteInteger(kSectionRecord, recordOptionKey(option), on ? kOn : kOff);
    settings.commit();
}

} // namespace console
