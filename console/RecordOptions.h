// SPDX-License-Identifier: GPL-3.0-or-later
// The run record's own switches (journal, profile targets), kept in section Record of the settings
// file.
#pragma once

#include <QString>

namespace config {
class SettingsFile;
}

namespace console {

// The switches of section Record. The journal (AutoSave) is on unless the file
// says 0; the targets are off unless it says 1. An absent section or key, or a
// value that is no number, reads as the switch's default.
enum class RecordOption { AutoSave, Targets };

// The key that keeps the switch: "AutoSave" or "Targets".
QString recordOptionKey(RecordOption option);

bool readRecordOption(const config::SettingsFile& settings, RecordOption option);
// Saves that one key, 1 or 0, as a change of the settings file of its own; a
// refused save raises config::WriteError and leaves the file as it was.
void saveRecordOption(RecordOption option, bool on);

} // namespace console
