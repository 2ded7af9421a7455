// The settings-file accessor: the whole file is parsed once, edited in memory and written back
// whole.
#include "config/SettingsFile.h"

#include "config/Errors.h"
#include "config/FileText.h"
#include "config/IntegerText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

// Plain char storage: the text handed to the parser is always UTF-8, decoded
// and encoded by us, so the parser needs no converter of its own.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <optional>
#include <string>

namespace config {

namespace {

const QString kSettingsFileName = QStringLiteral("Iniprofil.ini");

// Null while no override is alive.
QString& appDirectoryOverride() {
    static QString directory;
    return directory;
}

// How values are kept on disk.
//
// The parser trims blanks (space, tab) around a value, so a value that starts
// or ends with one is written between double quotes, and so is a value that
// is itself enclosed in double quotes; reading removes one pair of enclosing
// double quotes. A hand-written `Name="  x  "` therefore reads as "  x  ".
// Commas, '=' and ';' need nothing: only the first '=' of a line ends the key,
// and ';' starts a comment only at the start of a line.
//
// The program never writes a line break into a value; should one arrive, each
// CR and LF becomes a space so that the value stays on its line and cannot
// start a new key or section. A NUL becomes U+FFFD, as it does when read from
// the file.
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isQuoted(const QString& text) {
    return text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
}

QString storedForm(QString value) {
    for (QChar& c : value) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
        else if (c == QChar(0))
            c = QChar(QChar::ReplacementCharacter);
    }
    if (!value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value)))
        return u'"' + value + u'"';
    return value;
}

QString valueFromStored(const QString& stored) {
    return isQuoted(stored) ? stored.mid(1, stored.size() - 2) : stored;
}

// The lines that the parser keeps nothing of when they follow the last key or
// section: comments, lines without '=' and blank lines. They are written back
// after the parser's output so that a comment at the end of the file survives.
// Blanks as the parser knows them (QString::trimmed() knows more).
QStringView trimBlanks(QStringView line) {
    while (!line.isEmpty() && isBlank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isBlank(line.back()))
        line.chop(1);
    return line;
}

bool isCommentLine(QStringView line) {
    const QStringView t = trimBlanks(line);
    return !t.isEmpty() && (t.front() == u';' || t.front() == u'#');
}

bool isEntryLine(QStringView line) {
    const QStringView t = trimBlanks(line);
    if (t.isEmpty() || isCommentLine(t))
        return false;
    if (t.front() == u'[')
        return t.contains(u']');
    return t.indexOf(u'=') > 0;
}

// Start of the leading comment block, which the parser keeps as the file's own comment.
qsizetype fileCommentEnd(const QStringList& lines) {
    qsizetype i = 0;
    while (i < lines.size() && !lines[i].isEmpty() &&
           (lines[i].front() == u';' || lines[i].front() == u'#'))
        ++i;
    return i;
}

using Ini = CSimpleIniA;

bool yieldsEntries(const std::string& text) {
    Ini probe(true, true, false);
    if (probe.LoadData(text) < 0)
        return true;
    Ini::TNamesDepend sections;
    probe.GetAllSections(sections);
    return !sections.empty();
}

std::string trailingLines(const QString& text) {
    const QStringList lines = text.split(u'\n');
    qsizetype start = fileCommentEnd(lines);
    for (qsizetype i = lines.size() - 1; i >= start; --i) {
        if (isEntryLine(lines[i])) {
            start = i + 1;
            break;
        }
    }
    qsizetype end = lines.size();
    while (start < end && trimBlanks(lines[start]).isEmpty())
        ++start;
    while (end > start && trimBlanks(lines[end - 1]).isEmpty())
        --end;
    if (start == end)
        return {};
    const std::string tail = lines.sliced(start, end - start).join(u'\n').toStdString();
    // A section name split over lines ("[" then "name]") is an entry to the
    // parser though not to the test above; such a tail is left to the parser.
    return yieldsEntries(tail) ? std::string() : tail;
}

bool writeInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

// The whole file at once: a temporary file beside it, flushed and renamed over
// it. Where the directory refuses the temporary file but the file itself may
// be written, it is rewritten in place (Qt does so when the directory denies
// access; an immutable directory answers with another error, handled here).
bool writeWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        const QFileInfo info(path);
        return info.isFile() && writeInPlace(path, bytes);
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

QString fullPath(const QString& path) {
    return QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
}

} // namespace

QString appDirectory() {
    const QString& directory = appDirectoryOverride();
    return directory.isNull() ? QCoreApplication::applicationDirPath() : directory;
}

QString settingsFilePath() {
    const QString directory = appDirectory();
    return directory.endsWith(u'/') ? directory + kSettingsFileName
                                    : directory + u'/' + kSettingsFileName;
}

ScopedAppDirectoryOverride::ScopedAppDirectoryOverride(const QString& directory)
    : m_previous(appDirectoryOverride()) {
    appDirectoryOverride() = directory.isNull() ? QStringLiteral("") : directory;
}

ScopedAppDirectoryOverride::~ScopedAppDirectoryOverride() {
    appDirectoryOverride() = m_previous;
}

// The parsed file. Keys may repeat in a hand-edited file: the first one is
// read, and a write replaces them all by one key in the first one's place.
struct SettingsFile::Document {
    Ini ini{true, true, false};
    std::string tail;

    void load(const QString& path) {
        ini.Reset();
        tail.clear();
        if (!QFileInfo(path).isFile())
            return;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        QString text = decodeFileText(file.readAll());
        // The parser takes CR, LF and CR LF as line ends alike; one form here
        // keeps the tail's lines the same as the parser's.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(u'\r', u'\n');
        if (ini.LoadData(text.toStdString()) < 0) {
            ini.Reset();
            return;
        }
        tail = trailingLines(text);
    }

    std::optional<QByteArray> serialise() const {
        std::string out;
        if (ini.Save(out, false) < 0)
            return std::nullopt;
        if (!tail.empty()) {
            if (!out.empty())
                out += "\n";
            out += tail;
            out += "\n";
        }
        return QByteArray::fromStdString(out);
    }
};

SettingsFile::SettingsFile() : SettingsFile(settingsFilePath()) {}

SettingsFile::SettingsFile(const QString& path)
    : m_path(path), m_doc(std::make_unique<Document>()) {
    m_doc->load(m_path);
}

SettingsFile::~SettingsFile() = default;

QString SettingsFile::ReadString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    const char* stored =
        m_doc->ini.GetValue(section.toUtf8().constData(), key.toUtf8().constData(), nullptr);
    return stored ? valueFromStored(QString::fromUtf8(stored)) : defaultValue;
}

void SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const SI_Error rc = m_doc->ini.SetValue(section.toUtf8().constData(), key.toUtf8().constData(),
                                            storedForm(value).toUtf8().constData(), nullptr, true);
    const std::optional<QByteArray> bytes = rc < 0 ? std::nullopt : m_doc->serialise();
    if (!bytes || !writeWholeFile(m_path, *bytes)) {
        // What is on disk is what later reads must see.
        m_doc->load(m_path);
        throw WriteError(fullPath(m_path));
    }
}

std::int32_t SettingsFile::ReadInteger(const QString& section, const QString& key,
                                       std::int32_t defaultValue) const {
    return parseStoredInteger(ReadString(section, key, QString())).value_or(defaultValue);
}

void SettingsFile::WriteInteger(const QString& section, const QString& key, std::int32_t value) {
    WriteString(section, key, QString::number(value));
}

} // namespace config
