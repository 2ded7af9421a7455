// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file accessor: each write re-reads the file under a lock and replaces it whole.
#include "config/SettingsFile.h"

#include "config/Errors.h"
#include "config/FileReplace.h"
#include "config/FileText.h"
#include "config/IntegerText.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringList>
#include <QThread>

// Plain char storage: the text handed to the parser is always UTF-8, decoded
// and encoded by us, so the parser needs no converter of its own. Debian's
// header compiles its template bodies only where asked; this is the one place.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace config {

namespace {

// Every console writing the file takes "<file>.lock" beside it for the span of
// one save (from its first write until the accessor is released). A lock whose
// console has died is taken over at once (its process is gone, and with it the
// system lock it held on the file); one from a console that lives on is
// honoured, and a write that waits longer than this for it is refused rather
// than hanging the console.
constexpr std::chrono::milliseconds kLockWait{5000};
// A lock file without a live system lock (a file system that has none) is
// taken over when it is older than this; no save takes that long.
constexpr int kStaleLockMs = 5000;
// Short, uneven pauses between tries, so that two consoles saving at once take turns.
constexpr int kLockRetryMinMs = 1;
constexpr int kLockRetryMaxMs = 4;

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

// Blanks as the parser knows them (QString::trimmed() knows more).
QStringView trimBlanks(QStringView line) {
    while (!line.isEmpty() && isBlank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isBlank(line.back()))
        line.chop(1);
    return line;
}

// What the parser keeps of a file is its keys, its sections and the comments
// above them. Two parts of a hand-edited file fall outside that and are kept
// here: the comment block at the very top (the parser holds it but does not
// hand it out), and the lines after the last key or section, which the parser
// drops: comments there, lines without '=', and blank lines.
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

// End of the comment lines at the top (each starting in the first column).
qsizetype headEnd(const QStringList& lines) {
    qsizetype i = 0;
    while (i < lines.size() && !lines[i].isEmpty() &&
           (lines[i].front() == u';' || lines[i].front() == u'#'))
        ++i;
    return i;
}

using Ini = CSimpleIniA;

// The parser's text back to ours. QString::fromUtf8() would drop a leading
// U+FEFF, which here is part of a value, not a byte-order mark.
QString textFromParser(const char* utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8));
}

bool yieldsEntries(const std::string& text) {
    Ini probe(true, true, false);
    if (probe.LoadData(text) < 0)
        return true;
    Ini::TNamesDepend sections;
    probe.GetAllSections(sections);
    return !sections.empty();
}

std::string joinLines(const QStringList& lines, qsizetype start, qsizetype end) {
    while (start < end && trimBlanks(lines[start]).isEmpty())
        ++start;
    while (end > start && trimBlanks(lines[end - 1]).isEmpty())
        --end;
    return start == end ? std::string()
                        : lines.sliced(start, end - start).join(u'\n').toStdString();
}

struct OuterLines {
    std::string head;
    std::string tail;
};

// A line that opens a section name but never closes it is skipped by the
// parser, yet it leaves the parser's idea of the current section pointing at
// the broken text, so the keys below it would land in a section whose name
// runs over lines (and grows with every write). Such lines are blanked before
// parsing: the keys below them stay in the section above.
std::string parserText(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        const QStringView t = trimBlanks(line);
        if (t.startsWith(u'[') && !t.contains(u']'))
            line.clear();
    }
    return lines.join(u'\n').toStdString();
}

OuterLines outerLines(const QString& text) {
    const QStringList lines = text.split(u'\n');
    const qsizetype head = headEnd(lines);
    qsizetype tailStart = head;
    for (qsizetype i = lines.size() - 1; i >= head; --i) {
        if (isEntryLine(lines[i])) {
            tailStart = i + 1;
            break;
        }
    }
    OuterLines outer{joinLines(lines, 0, head), joinLines(lines, tailStart, lines.size())};
    // Should the test above ever read a line differently from the parser, a
    // tail holding a key or section is dropped rather than written twice.
    if (yieldsEntries(parserText(textFromParser(outer.tail.c_str()))))
        outer.tail.clear();
    return outer;
}

// A comment on the first line of the file would read back as the file's own
// comment rather than the entry's; an empty first line keeps it with its entry.
void appendComment(std::string& out, const char* comment) {
    if (comment) {
        if (out.empty())
            out += '\n';
        out += comment;
        out += '\n';
    }
}

bool takeLock(QLockFile& lock) {
    lock.setStaleLockTime(kStaleLockMs);
    const QDeadlineTimer deadline(kLockWait);
    for (;;) {
        if (lock.tryLock(0))
            return true;
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(QRandomGenerator::global()->bounded(kLockRetryMinMs, kLockRetryMaxMs + 1));
    }
}

QString fullPath(const QString& path) {
    return QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
}

// One lock per file in this process, shared by the accessors that write to it
// at the same time; a second one would wait for the first and never get it.
std::shared_ptr<QLockFile> sharedLock(const QString& lockPath) {
    static QHash<QString, std::weak_ptr<QLockFile>> held;
    if (std::shared_ptr<QLockFile> lock = held.value(lockPath).lock())
        return lock;
    auto lock = std::make_shared<QLockFile>(lockPath);
    if (!takeLock(*lock))
        return nullptr;
    held.insert(lockPath, lock);
    return lock;
}

} // namespace


// The parsed file. Keys may repeat in a hand-edited file: the first one is
// read, and a write replaces them all by one key in the first one's place.
// Keys above the first section header belong to the unnamed section, which
// stays on top.
struct SettingsFile::Document {
    Ini ini{true, true, false};
    OuterLines outer;
    TextForm form;
    std::optional<QByteArray> onDisk; // the bytes read, or none when there was no file
    std::shared_ptr<QLockFile> lock;  // taken at the first write, held until released

    // Taking the lock costs a sync of the lock file; a save of seventy writes
    // takes it once, at its first write, and keeps it until the accessor is
    // released at the end of the handler.
    bool holdLock(const QString& path) {
        if (!lock)
            lock = sharedLock(fullPath(path) + QStringLiteral(".lock"));
        return lock != nullptr;
    }

    // False when the file exists but cannot be read: then it reads as empty
    // and must not be replaced. A directory in its place reads as no file.
    bool load(const QString& path) {
        ini.Reset();
        outer = {};
        form = {};
        onDisk.reset();
        const QFileInfo info(path);
        if (!info.exists() || info.isDir())
            return true;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        DecodedFile decoded = decodeFile(bytes);
        QString& text = decoded.text;
        // The parser takes CR, LF and CR LF as line ends alike; one form here
        // keeps our view of the lines the same as the parser's.
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(u'\r', u'\n');
        if (ini.LoadData(parserText(text)) < 0) {
            ini.Reset();
            return false;
        }
        outer = outerLines(text);
        form = std::move(decoded.form);
        onDisk = std::move(bytes);
        return true;
    }

    // The file with one key changed, in the form it was read in; unchanged
    // bytes are not written again.
    bool save(const QString& path) {
        const QByteArray bytes = encodeFileText(serialise(), form);
        if (onDisk == bytes)
            return true;
        if (!replaceFile(path, bytes))
            return false;
        onDisk = bytes;
        return true;
    }

    // The parser's own writer puts blanks around '=' and two empty lines
    // between sections; this one writes "key=value", one empty line between
    // sections, and each comment right above its key or section.
    QByteArray serialise() const {
        std::string out;
        if (!outer.head.empty()) {
            out += outer.head;
            out += '\n';
        }
        Ini::TNamesDepend sections;
        ini.GetAllSections(sections);
        sections.sort(Ini::Entry::LoadOrder());
        sections.sort(
            [](const Ini::Entry& a, const Ini::Entry& b) { return !*a.pItem && *b.pItem; });
        for (const Ini::Entry& section : sections) {
            Ini::TNamesDepend keys;
            ini.GetAllKeys(section.pItem, keys);
            keys.sort(Ini::Entry::LoadOrder());
            // The unnamed section has no header of its own: without keys it leaves no trace.
            if (!*section.pItem && keys.empty())
                continue;
            if (!out.empty())
                out += '\n';
            appendComment(out, section.pComment);
            if (*section.pItem) {
                out += '[';
                out += section.pItem;
                out += "]\n";
            }
            for (const Ini::Entry& key : keys) {
                Ini::TNamesDepend values;
                ini.GetAllValues(section.pItem, key.pItem, values);
                for (const Ini::Entry& value : values) {
                    appendComment(out, value.pComment);
                    out += key.pItem;
                    out += '=';
                    out += value.pItem;
                    out += '\n';
                }
            }
        }
        if (!outer.tail.empty()) {
            if (!out.empty())
                out += '\n';
            out += outer.tail;
            out += '\n';
        }
        return QByteArray::fromStdString(out);
    }

    // The key as the file spells it, so that a write in other letter case
    // replaces it without renaming it.
    std::string keyName(const std::string& section, const std::string& key) const {
        if (const Ini::TKeyVal* keys = ini.GetSection(section.c_str())) {
            const auto found = keys->find(Ini::Entry(key.c_str()));
            if (found != keys->end())
                return found->first.pItem;
        }
        return key;
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
    return stored ? valueFromStored(textFromParser(stored)) : defaultValue;
}

// The file as it is on disk now, not as this accessor first read it: another
// console may have written since. Under the lock no other console writes
// between the read and the replace, so neither loses the other's keys.
void SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    if (!m_doc->holdLock(m_path) || !m_doc->load(m_path) || !setValue(section, key, value) ||
        !m_doc->save(m_path)) {
        // What is on disk is what later reads must see.
        m_doc->load(m_path);
        throw WriteError(fullPath(m_path));
    }
}

bool SettingsFile::setValue(const QString& section, const QString& key, const QString& value) {
    const std::string sectionName = section.toStdString();
    const std::string keyName = m_doc->keyName(sectionName, key.toStdString());
    return m_doc->ini.SetValue(sectionName.c_str(), keyName.c_str(),
                               storedForm(value).toStdString().c_str(), nullptr, true) >= 0;
}

std::int32_t SettingsFile::ReadInteger(const QString& section, const QString& key,
                                       std::int32_t defaultValue) const {
    return parseStoredInteger(ReadString(section, key, QString())).value_or(defaultValue);
}

void SettingsFile::WriteInteger(const QString& section, const QString& key, std::int32_t value) {
    WriteString(section, key, QString::number(value));
}

} // namespace config
