// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a settings file back the way a person reads it: section, key, value.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

namespace e2e {

// "Section/Key" -> value text, from a UTF-8 settings file; nullopt when it cannot be read.
using IniValues = QMap<QString, QString>;
std::optional<IniValues> readIniValues(const QString& path);

// The file's bytes, or nullopt when there is no readable file.
std::optional<QByteArray> fileBytes(const QString& path);

// Keys whose values differ between two readings ("Section/Key: before -> after"),
// ignoring the keys in `expectedChanges`. A key that appears only after must hold
// what an absent key reads as (0 or empty), since saving writes every key.
QStringList unexpectedChanges(const IniValues& before, const IniValues& after,
                              const IniValues& expectedChanges);

// A 50-byte frame written as the log writes it, with "XX*n" for n repeats.
QByteArray frameBytes(const QString& spaced);

} // namespace e2e
