// Fuzz target: any bytes as the settings file; reads never fail, writes keep the rest.
#include "config/Errors.h"
#include "config/FileText.h"
#include "config/IntegerText.h"
#include "config/SettingsFile.h"
#include "fuzz/FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString directory = workDirectory();
    const QString path = directory + QStringLiteral("/Iniprofil.ini");
    writeFile(path, bytes);

    QList<Name> names = knownNames();
    names += namesInText(config::decodeFileText(bytes));
    names.append({QString(), QStringLiteral("orphan")});

    QStringList before;
    {
        const config::SettingsFile settings(path);
        for (const Name& name : names)
            before.append(readChecked(settings, name));
    }

    // One write into the file: the value reads back, and every other key reads as before.
    const Name target = names[size == 0 ? 0 : data[0] % names.size()];
    const QString value = QString::fromUtf8(bytes.mid(1, kMaxValueLength));
    config::SettingsFile writer(path);
    try {
        writer.WriteString(target.first, target.second, value);
    } catch (const config::WriteError&) {
        FUZZ_CHECK(!"the write was refused");
    }
    FUZZ_CHECK(writer.ReadString(target.first, target.second, kAbsent) == expectedReadBack(value));

    const config::SettingsFile reopened(path);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString after = reopened.ReadString(names[i].first, names[i].second, kAbsent);
        if (sameName(names[i], target))
            FUZZ_CHECK(after == expectedReadBack(value));
        else if (after != before[i])
            std::fprintf(stderr, "[%s] %s was \"%s\", now \"%s\"\n", qPrintable(names[i].first),
                         qPrintable(names[i].second), qPrintable(before[i]), qPrintable(after));
        FUZZ_CHECK(sameName(names[i], target) || after == before[i]);
    }

    // The file we wrote reads the same when written once more.
    QFile written(path);
    FUZZ_CHECK(written.open(QIODevice::ReadOnly));
    const QByteArray once = written.readAll();
    written.close();
    config::SettingsFile(path).WriteString(target.first, target.second, value);
    FUZZ_CHECK(written.open(QIODevice::ReadOnly));
    const QByteArray twice = written.readAll();
    if (twice != once)
        std::fprintf(stderr, "first write:\n%s\nsecond write:\n%s\n",
                     once.toPercentEncoding(" =[];#\n").constData(),
                     twice.toPercentEncoding(" =[];#\n").constData());
    FUZZ_CHECK(twice == once);
    return 0;
}
