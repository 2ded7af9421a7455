// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any bytes as the settings file on disk, in any encoding; several saves through the
// accessor, some on a disk that refuses mid-write: each is made whole or not at all.
#include "config/Errors.h"
#include "config/FileReplace.h"
#include "config/FileText.h"
#include "config/IntegerText.h"
#include "config/SettingsFile.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/SettingsInputs.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

using fuzzinput::Name;

const QString kAbsent = QStringLiteral("\x01absent");

constexpr int kMaxSaves = 4;
constexpr int kMaxKeysPerSave = 3;

// Every way to read one key must agree with the others.
QString readChecked(const config::SettingsFile& settings, const Name& name) {
    const auto& [section, key] = name;
    QString stored = settings.ReadString(section, key, kAbsent);
    const QString orEmpty = settings.ReadString(section, key, QString());
    FUZZ_CHECK(stored == kAbsent ? orEmpty.isEmpty() : orEmpty == stored);
    const std::optional<std::int32_t> number = config::parseStoredInteger(orEmpty);
    FUZZ_CHECK(settings.ReadInteger(section, key, 0) == number.value_or(0));
    FUZZ_CHECK(settings.ReadInteger(section, key, -7) == number.value_or(-7));
    return stored;
}

QStringList readAll(const config::SettingsFile& settings, const QList<Name>& names) {
    QStringList values;
    for (const Name& name : names)
        values.append(readChecked(settings, name));
    return values;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

QString workDirectory() {
    // tmpfs where there is one: every save of the file is synced.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/settings_file-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/settings_file-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    return dir.path();
}

} // namespace

// Input: a control byte (how the file was saved, how many saves, whether the
// disk refuses mid-write), two bytes of where it refuses, a byte choosing the
// first key; the rest is the file. Each save of one to three keys either
// changes exactly its keys or is refused with the file byte for byte as
// before it; reads through the saving accessor agree with the file; nothing is
// left beside the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzinput::Input input(data, size);
    const int saves = 1 + (input.control >> 3) % kMaxSaves;
    const bool diskRefuses = (input.control & 0x80) != 0;

    const QByteArray bytes = fuzzinput::savedAs(input.saved(), input.rest);
    const QString directory = workDirectory();
    const QString path = directory + QStringLiteral("/Iniprofil.ini");
    writeFile(path, bytes);

    QList<Name> names = fuzzinput::knownNames();
    names += fuzzinput::namesInText(config::decodeFileText(bytes));

    std::optional<config::ScopedWriteLimit> limit;
    if (diskRefuses)
        limit.emplace(input.number);
    config::SettingsFile writer(path);
    for (int s = 0; s < saves; ++s) {
        const QByteArray fileBefore = readFile(path);
        const QStringList before = readAll(config::SettingsFile(path), names);

        QList<config::Assignment> save;
        const int keys = 1 + (input.choice + s) % kMaxKeysPerSave;
        for (int k = 0; k < keys; ++k) {
            const Name& name = names[(input.choice + (s * kMaxKeysPerSave + k) * 7) % names.size()];
            save.append({name.first, name.second, input.value(s * kMaxKeysPerSave + k)});
            writer.WriteString(name.first, name.second, save.last().value);
        }
        bool refused = false;
        try {
            writer.commit();
        } catch (const config::WriteError&) {
            // Only a disk that refuses may refuse a save.
            FUZZ_CHECK(diskRefuses);
            refused = true;
        } catch (const config::EncodingError&) {
            FUZZ_CHECK(config::splitLines(fileBefore).encoding ==
                       config::FileEncoding::Windows1251);
            refused = true;
        }
        FUZZ_CHECK(QDir(directory).entryList(QDir::Files | QDir::Hidden) ==
                   QStringList{"Iniprofil.ini"});

        const config::SettingsFile reopened(path);
        if (refused) {
            FUZZ_CHECK(readFile(path) == fileBefore);
            FUZZ_CHECK(readAll(reopened, names) == before);
            FUZZ_CHECK(readAll(writer, names) == before);
            continue;
        }
        FUZZ_CHECK(readAll(writer, names) == readAll(reopened, names));
        for (qsizetype i = 0; i < names.size(); ++i) {
            QString expected = before[i];
            for (const config::Assignment& a : save) {
                if (fuzzinput::sameName(names[i], {a.section, a.key}))
                    expected = config::readBackForm(a.value);
            }
            const QString after = reopened.ReadString(names[i].first, names[i].second, kAbsent);
            if (after != expected)
                std::fprintf(stderr, "[%s] %s was \"%s\", now \"%s\", not \"%s\"\n",
                             qPrintable(names[i].first), qPrintable(names[i].second),
                             qPrintable(before[i]), qPrintable(after), qPrintable(expected));
            FUZZ_CHECK(after == expected);
        }
    }
    return 0;
}
