// SPDX-License-Identifier: GPL-3.0-or-later
// The run record's own switches (journal, profile targets), kept in section Record of the settings
// file.
#pragma once

#include "record/RunSummary.h"

#include <QString>

#include <cstdint>
#include <optional>

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

// The reference run kept as key Reference of section Record: the path of its
// file, empty when none is kept.
QString readReferencePath(const config::SettingsFile& settings);
// Saves the key as a change of the file of its own (an empty path: none kept);
// a refused save raises config::WriteError and leaves the file as it was.
void saveReferencePath(const QString& path);

// What a run is judged by, keys Tolerance, Liquidus, MaxRise and MinLiquidusSeconds
// of section Record. An absent key, or a value that is no number or out of its
// range, takes the default: Tolerance 5 (0..100 °C), Liquidus 217 (1..500 °C);
// MaxRise (°C/s, a decimal with a point or a comma) and MinLiquidusSeconds (s)
// are unset unless above 0.
record::RunLimits readRunLimits(const config::SettingsFile& settings);
// The tolerance alone, for whatever compares a curve with a target or another run.
std::int32_t readTolerance(const config::SettingsFile& settings);
// Saves the four keys as one change of the file, an unset limit as 0. The one
// place that saves them: a refused save raises config::WriteError (or
// EncodingError) and leaves the file as it was.
void writeRunLimits(config::SettingsFile& settings, const record::RunLimits& limits);

// The limits as the operator types them: whole degrees and seconds, the rate a
// decimal; an empty limit is unset.
struct RunLimitsTexts {
    QString tolerance;
    QString liquidus;
    QString maxRise;
    QString minLiquidusSeconds;
};
RunLimitsTexts runLimitsTexts(const record::RunLimits& limits);
// The limits the texts say, or the refusal that names the field and what it takes.
struct ParsedRunLimits {
    std::optional<record::RunLimits> limits;
    QString refusal;
};
ParsedRunLimits parseRunLimits(const RunLimitsTexts& texts);

} // namespace console
