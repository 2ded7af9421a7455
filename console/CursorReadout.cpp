// SPDX-License-Identifier: GPL-3.0-or-later
// The cursor readout's reading: the sample under the pointer and the rates of rise before it.
#include "console/CursorReadout.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace console {

namespace {

const QString kNone = QStringLiteral("—");

std::optional<record::RunSample> sampleAtSecond(const record::RunRecord& record, qint64 second) {
    if (second < record::RunRecord::secondOf(0) ||
        second > record::RunRecord::secondOf(record.size() - 1))
        return std::nullopt;
    return record.sample(qsizetype(second - record::RunRecord::secondOf(0)));
}

std::optional<double> rate(const std::optional<record::RunSample>& now,
                           const std::optional<record::RunSample>& before,
                           std::int32_t record::RunSample::*value) {
    if (!now || !before)
        return std::nullopt;
    return (double((*now).*value) - double((*before).*value)) / double(kRateSpanSeconds);
}

QString twoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString runTime(qint64 second) {
    return twoDigits(second / 3600) + QLatin1Char(':') + twoDigits(second / 60 % 60) +
           QLatin1Char(':') + twoDigits(second % 60);
}

QString rateText(const std::optional<double>& rate) {
    if (!rate)
        return kNone;
    // One decimal, a sign on a rise; a rate that rounds to nothing has no sign.
    const double rounded = std::round(*rate * 10) / 10;
    const QString digits = QLocale(QLocale::Russian).toString(std::abs(rounded), 'f', 1);
    if (rounded > 0)
        return QLatin1Char('+') + digits;
    if (rounded < 0)
        return QLatin1Char('-') + digits;
    return digits;
}

} // namespace

CursorReading readingAt(const record::RunRecord& record, double seconds,
                        const record::ReferenceRun* reference) {
    CursorReading reading;
    // A pointer far off the run still gets a second that fits the counters.
    constexpr double kLatestSecond = 1e12;
    reading.second = std::isfinite(seconds) && seconds > 0
                         ? qint64(std::llround(std::min(seconds, kLatestSecond)))
                         : 0;
    reading.sample = sampleAtSecond(record, reading.second);
    if (reading.sample) {
        const std::optional<record::RunSample> before =
            sampleAtSecond(record, reading.second - kRateSpanSeconds);
        reading.topRate = rate(reading.sample, before, &record::RunSample::top);
        reading.bottomRate = rate(reading.sample, before, &record::RunSample::bottom);
    }
    if (reference) {
        reading.withReference = true;
        const qsizetype origin = record::referenceOrigin(record);
        reading.reference = reference->at(reading.second - record::RunRecord::secondOf(origin) + 1);
        reading.deviation = record::deviationAt(
            record, *reference, origin, qsizetype(reading.second - record::RunRecord::secondOf(0)));
    }
    return reading;
}

QString readoutText(const CursorReading& reading) {
    auto degrees = [&reading](std::int32_t record::RunSample::*value) {
        return reading.sample ? QString::number((*reading.sample).*value) : kNone;
    };
    QString text = runTime(reading.second) + QLatin1Char('\n') + QStringLiteral("Верх: ") +
                   degrees(&record::RunSample::top) + QStringLiteral(" °C, ") +
                   rateText(reading.topRate) + QStringLiteral(" °C/с\nНиз: ") +
                   degrees(&record::RunSample::bottom) + QStringLiteral(" °C, ") +
                   rateText(reading.bottomRate) + QStringLiteral(" °C/с");
    if (!reading.withReference)
        return text;
    auto reference = [&reading](std::int32_t record::RunSample::*value) {
        return reading.reference
                   ? QString::number((*reading.reference).*value) + QStringLiteral(" °C")
                   : kNone;
    };
    return text + QStringLiteral("\nЭталон: верх ") + reference(&record::RunSample::top) +
           QStringLiteral(", низ ") + reference(&record::RunSample::bottom) + QLatin1Char('\n') +
           record::deviationText(reading.deviation);
}

} // namespace console
