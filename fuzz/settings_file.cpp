// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any bytes as the settings file, in any encoding; several writes, some failing
// mid-write.
#include "config/Errors.h"
#include "config/FileReplace.h"
#include "config/FileText.h"
#include "config/IntegerText.h"
#include "config/SettingsFile.h"
#include "fuzz/FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

using Name = std::pair<QString, QString>; // section, key

constexpr qsizetype kMaxFoundNames = 64;
constexpr qsizetype kMaxValueLength = 48;
const QString kAbsent = QStringLiteral("\x01absent");

QList<Name> knownNames() {
    QList<Name> names;
    for (const char* key : {"Comport", "BaudRate"})
        names.append(Name(QStringLiteral("Connect"), QString::fromLatin1(key)));
    for (const char* key : {"EditP1", "EditP2", "EditpGain", "EditiGain", "EditdGain", "EditTpid",
                            "EditpBH", "EditkBH", "Correct1", "Correct2", "Hex", "VisibleProfil",
                            "EnableFan", "TempEnableFan", "AutoStart"})
        names.append(Name(QStringLiteral("Global"), QString::fromLatin1(key)));
    for (int profile = 0; profile < 10; ++profile) {
        for (const char* key : {"T0", "TB", "T1", "S1", "T3", "S3", "Name"})
            names.append(Name(QStringLiteral("Profil%1").arg(profile), QString::fromLatin1(key)));
    }
    return names;
}

// Sections and keys named in the input itself, found line by line.
QList<Name> namesInText(const QString& text) {
    QList<Name> names;
    QString section;
    for (const QString& raw : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        if (names.size() >= kMaxFoundNames)
            break;
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            if (close > 0)
                section = line.mid(1, close - 1).trimmed();
            continue;
        }
        if (line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            names.append({section, line.left(equals).trimmed()});
    }
    return names;
}

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

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

// What a value reads back as: line breaks become spaces and NUL becomes U+FFFD.
QString expectedReadBack(QString value) {
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    value.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    return value;
}

bool sameName(const Name& a, const Name& b) {
    return a.first.compare(b.first, Qt::CaseInsensitive) == 0 &&
           a.second.compare(b.second, Qt::CaseInsensitive) == 0;
}

QString workDirectory() {
    // tmpfs where there is one: every write of the file is flushed to disk.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/settings_file-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/settings_file-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    return dir.path();
}

// How the input's bytes become the file: as they are, or their text saved by
// another tool (UTF-16 either way with its mark, UTF-8 with its mark, or every
// other line in Windows-1251).
enum class Saved { AsIs, Utf16LE, Utf16BE, Utf8Mark, AlternateLines1251, Count };

QByteArray toWindows1251(const QString& text) {
    static const QHash<QChar, char> table = [] {
        QHash<QChar, char> t;
        for (int byte = 0x80; byte <= 0xFF; ++byte)
            t.insert(config::decodeWindows1251(QByteArray(1, char(byte))).at(0), char(byte));
        return t;
    }();
    QByteArray bytes;
    for (QChar c : text)
        bytes += c.unicode() < 0x80 ? char(c.unicode()) : table.value(c, '?');
    return bytes;
}

QByteArray savedAs(Saved saved, const QByteArray& input) {
    const QString text = config::decodeFileText(input);
    switch (saved) {
    case Saved::AsIs:
    case Saved::Count:
        return input;
    case Saved::Utf16LE:
        return "\xFF\xFE" + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case Saved::Utf16BE:
        return "\xFE\xFF" + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    case Saved::Utf8Mark:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Saved::AlternateLines1251: {
        QByteArray bytes;
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                bytes += '\n';
            bytes += i % 2 ? toWindows1251(lines[i]) : lines[i].toUtf8();
        }
        return bytes;
    }
    }
    return input;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

QStringList readAll(const config::SettingsFile& settings, const QList<Name>& names) {
    QStringList values;
    for (const Name& name : names)
        values.append(readChecked(settings, name));
    return values;
}

void reportChange(const Name& name, const QString& before, const QString& after) {
    std::fprintf(stderr, "[%s] %s was \"%s\", now \"%s\"\n", qPrintable(name.first),
                 qPrintable(name.second), qPrintable(before), qPrintable(after));
}

constexpr int kMaxWrites = 4;
constexpr std::size_t kHeader = 4;

} // namespace

// Input: a control byte (how the file was saved, how many writes, whether the
// disk refuses mid-write), two bytes of where it refuses, a byte choosing the
// first key; the rest is the file. Each write either changes its key alone or
// is refused with the file byte for byte as before it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t control = size > 0 ? data[0] : 0;
    const int limitAt = size > 2 ? data[1] | data[2] << 8 : 0;
    const std::uint8_t choice = size > 3 ? data[3] : 0;
    const QByteArray input =
        size > kHeader
            ? QByteArray(reinterpret_cast<const char*>(data) + kHeader, qsizetype(size - kHeader))
            : QByteArray();
    const auto saved = Saved(control % int(Saved::Count));
    const int writes = 1 + (control >> 3) % kMaxWrites;
    const bool diskRefuses = (control & 0x80) != 0;

    const QByteArray bytes = savedAs(saved, input);
    const QString directory = workDirectory();
    const QString path = directory + QStringLiteral("/Iniprofil.ini");
    writeFile(path, bytes);

    QList<Name> names = knownNames();
    names += namesInText(config::decodeFileText(bytes));
    names.append({QString(), QStringLiteral("orphan")});

    std::optional<config::ScopedWriteLimit> limit;
    if (diskRefuses)
        limit.emplace(limitAt);
    bool lastWritten = false;
    Name target;
    QString value;
    {
        config::SettingsFile writer(path);
        for (int w = 0; w < writes; ++w) {
            const QByteArray fileBefore = readFile(path);
            const QStringList before = readAll(config::SettingsFile(path), names);

            target = names[(choice + w * 7) % names.size()];
            value = QString::fromUtf8(input.mid(w * kMaxValueLength, kMaxValueLength));
            bool refused = false;
            try {
                writer.WriteString(target.first, target.second, value);
            } catch (const config::WriteError&) {
                refused = true;
            }
            // Only a disk that refuses may refuse a write.
            FUZZ_CHECK(!refused || diskRefuses);
            FUZZ_CHECK(
                QDir(directory).entryList(QDir::Files | QDir::Hidden).filter(".tmp").isEmpty());
            lastWritten = !refused;

            const config::SettingsFile reopened(path);
            if (refused) {
                FUZZ_CHECK(readFile(path) == fileBefore);
                FUZZ_CHECK(readAll(reopened, names) == before);
                continue;
            }
            FUZZ_CHECK(writer.ReadString(target.first, target.second, kAbsent) ==
                       expectedReadBack(value));
            for (qsizetype i = 0; i < names.size(); ++i) {
                const QString after = reopened.ReadString(names[i].first, names[i].second, kAbsent);
                if (sameName(names[i], target)) {
                    FUZZ_CHECK(after == expectedReadBack(value));
                    continue;
                }
                if (after != before[i])
                    reportChange(names[i], before[i], after);
                FUZZ_CHECK(after == before[i]);
            }
        }
    }
    limit.reset();
    if (!lastWritten)
        return 0;

    // The file we wrote reads the same when written once more.
    const QByteArray once = readFile(path);
    config::SettingsFile(path).WriteString(target.first, target.second, value);
    const QByteArray twice = readFile(path);
    if (twice != once)
        std::fprintf(stderr, "first write:\n%s\nsecond write:\n%s\n",
                     once.toPercentEncoding(" =[];#\n").constData(),
                     twice.toPercentEncoding(" =[];#\n").constData());
    FUZZ_CHECK(twice == once);
    return 0;
}
