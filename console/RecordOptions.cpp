// SPDX-License-Identifier: GPL-3.0-or-later
// Section Record of the settings file: the journal's and the targets' switches, the run's limits
// and the reference run.
#include "console/RecordOptions.h"

#include "config/SettingsFile.h"

#include <cmath>
#include <cstdint>
#include <optional>

namespace console {

namespace {

const QString kSectionRecord = QStringLiteral("Record");
constexpr int kOn = 1;
constexpr int kOff = 0;

const QString kReference = QStringLiteral("Reference");
const QString kTolerance = QStringLiteral("Tolerance");
const QString kLiquidus = QStringLiteral("Liquidus");
const QString kMaxRise = QStringLiteral("MaxRise");
const QString kMinLiquidusSeconds = QStringLiteral("MinLiquidusSeconds");
constexpr std::int32_t kWidestTolerance = 100;
constexpr std::int32_t kHottestLiquidus = 500;
// Not a key's value: a number no key may hold, so an absent key is told apart.
constexpr std::int32_t kAbsent = INT32_MIN;

std::int32_t readInRange(const config::SettingsFile& settings, const QString& key,
                         std::int32_t lowest, std::int32_t highest, std::int32_t fallback) {
    const std::int32_t value = settings.ReadInteger(kSectionRecord, key, kAbsent);
    return value >= lowest && value <= highest ? value : fallback;
}

std::optional<double> readMaxRise(const config::SettingsFile& settings) {
    QString text = settings.ReadString(kSectionRecord, kMaxRise, QString()).trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

std::int32_t readTolerance(const config::SettingsFile& settings) {
    return readInRange(settings, kTolerance, 0, kWidestTolerance,
                       record::RunLimits::kDefaultTolerance);
}

record::RunLimits readRunLimits(const config::SettingsFile& settings) {
    record::RunLimits limits;
    limits.tolerance = readTolerance(settings);
    limits.liquidus =
        readInRange(settings, kLiquidus, 1, kHottestLiquidus, record::RunLimits::kDefaultLiquidus);
    limits.maxRise = readMaxRise(settings);
    const std::int32_t seconds = readInRange(settings, kMinLiquidusSeconds, 1, INT32_MAX, kOff);
    if (seconds > 0)
        limits.minLiquidusSeconds = seconds;
    return limits;
}

void writeRunLimits(config::SettingsFile& settings, const record::RunLimits& limits) {
    settings.WriteInteger(kSectionRecord, kTolerance, limits.tolerance);
    settings.WriteInteger(kSectionRecord, kLiquidus, limits.liquidus);
    settings.WriteString(kSectionRecord, kMaxRise,
                         limits.maxRise ? QString::number(*limits.maxRise) : QStringLiteral("0"));
    settings.WriteInteger(kSectionRecord, kMinLiquidusSeconds,
                          limits.minLiquidusSeconds.value_or(kOff));
    settings.commit(); // the four keys are one change of the file
}

RunLimitsTexts runLimitsTexts(const record::RunLimits& limits) {
    auto decimal = [](double value) {
        return QString::number(value).replace(QLatin1Char('.'), QLatin1Char(','));
    };
    return {QString::number(limits.tolerance), QString::number(limits.liquidus),
            limits.maxRise ? decimal(*limits.maxRise) : QString(),
            limits.minLiquidusSeconds ? QString::number(*limits.minLiquidusSeconds) : QString()};
}

ParsedRunLimits parseRunLimits(const RunLimitsTexts& texts) {
    auto whole = [](const QString& text, int lowest, int highest) -> std::optional<int> {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        return ok && value >= lowest && value <= highest ? std::optional<int>(value) : std::nullopt;
    };
    auto refuse = [](const QString& why) {
        return ParsedRunLimits{std::nullopt, why};
    };

    record::RunLimits limits;
    const std::optional<int> tolerance = whole(texts.tolerance, 0, kWidestTolerance);
    if (!tolerance)
        return refuse(QStringLiteral("Допуск: целое число от 0 до %1 °C.").arg(kWidestTolerance));
    limits.tolerance = *tolerance;
    const std::optional<int> liquidus = whole(texts.liquidus, 1, kHottestLiquidus);
    if (!liquidus)
        return refuse(QStringLiteral("Ликвидус: целое число от 1 до %1 °C.").arg(kHottestLiquidus));
    limits.liquidus = *liquidus;
    if (const QString rise = texts.maxRise.trimmed(); !rise.isEmpty()) {
        bool ok = false;
        const double value =
            QString(rise).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || !std::isfinite(value) || value <= 0)
            return refuse(QStringLiteral("Наибольшая скорость нагрева: число больше 0 °C/с или "
                                         "пусто."));
        limits.maxRise = value;
    }
    if (!texts.minLiquidusSeconds.trimmed().isEmpty()) {
        const std::optional<int> seconds = whole(texts.minLiquidusSeconds, 1, INT32_MAX);
        if (!seconds)
            return refuse(QStringLiteral("Время выше ликвидуса: целое число секунд больше 0 или "
                                         "пусто."));
        limits.minLiquidusSeconds = *seconds;
    }
    return {limits, {}};
}

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

QString readReferencePath(const config::SettingsFile& settings) {
    return settings.ReadString(kSectionRecord, kReference, QString()).trimmed();
}

void saveReferencePath(const QString& path) {
    config::SettingsFile settings;
    settings.WriteString(kSectionRecord, kReference, path);
    settings.commit();
}

void saveRecordOption(RecordOption option, bool on) {
    config::SettingsFile settings;
    settings.WriteInteger(kSectionRecord, recordOptionKey(option), on ? kOn : kOff);
    settings.commit();
}

} // namespace console
