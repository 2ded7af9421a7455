// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a settings file back the way a person reads it: section, key, value.
#include "tests/e2e/IniText.h"

#include <QFile>
#include <QStringList>

namespace e2e {

std::optional<QByteArray> fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<IniValues> readIniValues(const QString& path) {
    const std::optional<QByteArray> bytes = fileBytes(path);
    if (!bytes)
        return std::nullopt;
    IniValues values;
    QString section;
    for (QString line : QString::fromUtf8(*bytes).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(section + QLatin1Char('/') + line.left(equals), line.mid(equals + 1));
    }
    return values;
}

QStringList unexpectedChanges(const IniValues& before, const IniValues& after,
                              const IniValues& expectedChanges) {
    QStringList changes;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (expectedChanges.contains(it.key()))
            continue;
        const bool isName = it.key().endsWith(QStringLiteral("/Name"));
        const QString was = before.value(it.key(), isName ? QString() : QStringLiteral("0"));
        if (was != it.value())
            changes << QStringLiteral("%1: %2 -> %3").arg(it.key(), was, it.value());
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changes << QStringLiteral("%1: %2 -> (gone)").arg(it.key(), it.value());
    }
    for (auto it = expectedChanges.cbegin(); it != expectedChanges.cend(); ++it) {
        if (after.value(it.key()) != it.value())
            changes << QStringLiteral("%1: expected %2, found %3")
                           .arg(it.key(), it.value(), after.value(it.key()));
    }
    return changes;
}

QByteArray frameBytes(const QString& spaced) {
    QByteArray bytes;
    for (const QString& item : spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(QLatin1Char('*'));
        const char byte = char(parts[0].toUInt(nullptr, 16));
        const int count = parts.size() > 1 ? parts[1].toInt() : 1;
        bytes.append(count, byte);
    }
    return bytes;
}

} // namespace e2e
