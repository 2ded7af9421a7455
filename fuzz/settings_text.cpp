// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any bytes as the settings file, in any encoding, and a save of up to eight keys made
// in memory: the file's text decoded, the keys changed, the bytes encoded and read again by the INI
// parser.
#include "config/Errors.h"
#include "config/FileText.h"
#include "config/SettingsText.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/SettingsInputs.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

using config::SettingsName;
using fuzzinput::Name;

constexpr int kMaxWrites = 8;
constexpr int kKnownNames = 8;
constexpr int kReadsChecked = 4;
constexpr int kThoroughEvery = 4;

using NameKey = std::pair<SettingsName, SettingsName>;

NameKey nameKey(const QString& section, const QString& key) {
    return {SettingsName{section}, SettingsName{key}};
}

// What the parser reads: each key's value by its name.
QHash<NameKey, QString> valuesOf(const QList<config::SettingsEntry>& entries) {
    QHash<NameKey, QString> values;
    for (const config::SettingsEntry& e : entries)
        values.insert(nameKey(e.section, e.key), e.value);
    return values;
}

// The lines of an 8-bit file without their line breaks (views into it), and
// (when asked) the key each names.
struct Line {
    QByteArrayView bytes;
    QString key;
};

// After the byte-order marks, which stay in front (checked apart).
QList<Line> linesOf(const QByteArray& file, qsizetype prefixLength, bool withKeys) {
    const QByteArrayView bytes = QByteArrayView(file).sliced(prefixLength);
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArrayView line = bytes.sliced(start, end - start);
        QString key;
        if (withKeys && line.contains('=')) {
            const auto encoding =
                line.isValidUtf8() ? config::FileEncoding::Utf8 : config::FileEncoding::Windows1251;
            key = fuzzinput::keyOfLine(config::decodeLine(line, encoding));
        }
        lines.append({line, key});
        start = end + (bytes.sliced(end).startsWith("\r\n") ? 2 : 1);
    }
    return lines;
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Whether the text has a character beyond ASCII (a U+FFFD where a NUL may stand not counted).
bool beyondAsciiIn(const QString& text, bool nulMayStand) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 && !(nulMayStand && c == QChar(QChar::ReplacementCharacter)))
            return true;
    }
    return false;
}

void report(const char* what, const QByteArray& before, const QByteArray& after) {
    std::fprintf(stderr, "%s\nbefore:\n%s\nafter:\n%s\n", what,
                 before.toPercentEncoding(" =[];#\n").constData(),
                 after.toPercentEncoding(" =[];#\n").constData());
}

} // namespace

// AddressSanitizer holds freed memory back (its quarantine) to catch a use
// after free. An input's allocations come to some tens of kilobytes (38 KB on
// average over the corpus); 16 MB still holds those of the last few hundred
// inputs, so a use after free within an input, or in one of the next, is
// caught as before. The default, 256 MB, hands out memory untouched for
// thousands of inputs, and fetching it cost this target a tenth or more of its
// pace. ASAN_OPTIONS still decides where it says otherwise.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}

// Input: a control byte (how the file was saved, how many keys, whether values
// are Windows-1251 text), two bytes choosing which keys get the values they
// already hold (and which inputs get the costlier checks), a byte choosing the
// first key; the rest is the file. Read by the
// INI parser before and after: every key written reads as written, every other
// key it read as before, and no key appears; every line that no
// written key names keeps its bytes and its order; the file keeps its
// byte-order mark and its encoding; a save of the values the file holds
// changes no byte; a value the file's encoding lacks refuses the whole save.
// Reads by name and the same save made again are checked on one input in four:
// each is a parse or a save of its own, and the pace is the fuzzer's reach.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzinput::Input input(data, size);
    const QByteArray bytes = fuzzinput::savedAs(input.saved(), input.rest);
    const config::SettingsText text(bytes);

    // The names the parser reads in the file, and a few the console writes.
    const QList<config::SettingsEntry> entries = text.entries();
    const QHash<NameKey, QString> before = valuesOf(entries);
    QList<Name> names;
    names.reserve(fuzzinput::kMaxFoundNames + kKnownNames);
    for (qsizetype i = 0; i < entries.size() && i < fuzzinput::kMaxFoundNames; ++i)
        names.append({entries[i].section, entries[i].key});
    const QList<Name>& known = fuzzinput::knownNames();
    for (int k = 0; k < kKnownNames; ++k)
        names.append(known[(input.number + k * 13) % known.size()]);
    // The checks that cost a parse or a save of their own each run on one
    // input in kThoroughEvery: reads by name and the same save made again.
    // The number's low kMaxWrites bits choose the writes that keep the values
    // held (below); the bits above them choose the thorough inputs.
    const bool thorough = (input.number >> kMaxWrites) % kThoroughEvery == 0;
    // A read by name, which parses only the lines that may hold the key, reads
    // what the parse of the whole text reads: checked for the first names the
    // file holds and the console's own.
    const qsizetype found = names.size() - kKnownNames;
    for (qsizetype i = 0; thorough && i < names.size(); ++i) {
        if (i >= kReadsChecked && i < found)
            continue;
        const Name& name = names[i];
        const auto held = before.constFind(nameKey(name.first, name.second));
        const std::optional<QString> read = text.value(name.first, name.second);
        if (held == before.cend() ? read.has_value() : read != *held)
            report("a read by name differs from the whole text's", bytes, bytes);
        FUZZ_CHECK(held == before.cend() ? !read.has_value() : read == *held);
    }

    const int writes = 1 + (input.control >> 3) % kMaxWrites;
    const bool windows1251Values = (input.control & 0x80) != 0;
    QList<config::Assignment> save;
    save.reserve(writes);
    for (int w = 0; w < writes; ++w) {
        const Name& name = names[(input.choice + w * 7) % names.size()];
        QString value = windows1251Values
                            ? config::decodeWindows1251(input.rest.mid(
                                  w * fuzzinput::kMaxValueLength, fuzzinput::kMaxValueLength))
                            : input.value(w);
        const auto held = before.constFind(nameKey(name.first, name.second));
        if ((input.number >> w & 1) && held != before.cend())
            value = *held;
        save.append({name.first, name.second, value});
    }

    QByteArray saved;
    try {
        const config::SavedText made = text.withValues(save);
        saved = made.bytes();
        FUZZ_CHECK(made.changes() == (saved != bytes));
    } catch (const config::EncodingError& error) {
        FUZZ_CHECK(text.encoding() == config::FileEncoding::Windows1251);
        bool lacking = false;
        for (const config::Assignment& a : save)
            lacking = lacking || !fuzzinput::holdsInWindows1251(a.section + a.key +
                                                                config::readBackForm(a.value));
        FUZZ_CHECK(lacking);
        FUZZ_CHECK(error.character() > 0xFFFF ||
                   fuzzinput::windows1251Bytes()[error.character()] < 0);
        return 0;
    }
    FUZZ_CHECK(text.bytes() == bytes);
    const config::SettingsText after(saved);

    // Each key written reads as its last write left it, every other key the
    // parser read as before, and no other key appears. A line's Windows-1251
    // bytes that happen to be valid UTF-8 beyond ASCII (a name "РЁ") read as
    // UTF-8, as such a line from any Windows program does: each line is read on
    // its own, and nothing tells the two apart; such a key is not checked, and
    // the line reads as a key of another name, which it may hide when it comes
    // first ("РЈHex=" reads as "УHex=" above the file's own "УHex=1").
    QHash<NameKey, QString> expected = before;
    // A written key whose line may read as UTF-8, and the names it then reads as.
    QMultiHash<NameKey, NameKey> readsAs;
    bool beyondAscii = false; // a line the save changed holds more than ASCII
    for (const config::Assignment& a : save) {
        const NameKey name = nameKey(a.section, a.key);
        const QString value = config::readBackForm(a.value);
        readsAs.remove(name);
        if (text.encoding() == config::FileEncoding::Windows1251) {
            for (const QString& quote : {QString(), QStringLiteral("\"")}) {
                const QByteArray line =
                    fuzzinput::toWindows1251(a.key + u'=' + quote + value + quote);
                if (!isAscii(line) && line.isValidUtf8())
                    readsAs.insert(
                        name, nameKey(a.section, fuzzinput::keyOfLine(QString::fromUtf8(line))));
            }
        }
        expected.insert(name, value);
    }
    QSet<NameKey> unchecked; // those keys, and the keys their lines may hide
    for (auto it = readsAs.cbegin(); it != readsAs.cend(); ++it)
        unchecked << it.key() << it.value();
    QSet<SettingsName> sections; // the sections the file holds keys in: their headers stay
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        sections.insert(it.key().first);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const auto held = before.constFind(it.key());
        if (held != before.cend() && *held == *it)
            continue;
        // A U+FFFD in a name the file spells may stand for a NUL, which the
        // save writes back as the file had it. A section's name is written only
        // with a new section's header.
        const bool newSection = !sections.contains(it.key().first);
        beyondAscii = beyondAscii || (newSection && beyondAsciiIn(it.key().first.text, true)) ||
                      beyondAsciiIn(it.key().second.text, true) || beyondAsciiIn(*it, false);
    }
    const bool anyAmbiguous = !readsAs.isEmpty();
    const bool changes = expected != before;
    const QHash<NameKey, QString> read = valuesOf(after.entries());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (unchecked.contains(it.key()))
            continue;
        const auto found = read.constFind(it.key());
        if (found == read.cend() || *found != *it) {
            std::fprintf(stderr, "[%s] %s: %s, not \"%s\"\n", qPrintable(it.key().first.text),
                         qPrintable(it.key().second.text),
                         found == read.cend() ? "absent" : qPrintable(u'"' + *found + u'"'),
                         qPrintable(*it));
            report("a key reads wrong", bytes, saved);
        }
        FUZZ_CHECK(found != read.cend() && *found == *it);
    }
    for (auto it = read.cbegin(); it != read.cend(); ++it) {
        if (!expected.contains(it.key()) && !anyAmbiguous) {
            std::fprintf(stderr, "[%s] %s appeared\n", qPrintable(it.key().first.text),
                         qPrintable(it.key().second.text));
            report("a key appeared", bytes, saved);
        }
        FUZZ_CHECK(expected.contains(it.key()) || anyAmbiguous);
    }
    // Reads by name agree with the parser's list: the first key written on
    // every input, all of them on the thorough ones.
    for (qsizetype w = 0; w < save.size() && (w == 0 || thorough); ++w) {
        const config::Assignment& a = save[w];
        if (!readsAs.contains(nameKey(a.section, a.key)))
            FUZZ_CHECK(after.value(a.section, a.key) == read.value(nameKey(a.section, a.key)));
    }
    if (!changes) {
        if (saved != bytes)
            report("a save of the values held changed the file", bytes, saved);
        FUZZ_CHECK(saved == bytes);
    }

    // The file keeps its mark, and a save that writes text beyond ASCII writes
    // it in the file's encoding, so the file reads as one of that encoding still
    // (unless a line as above makes it read as mixed). ASCII fits every
    // encoding: the untouched lines alone then say what the file is.
    const qsizetype marks = config::splitLines(bytes).prefixLength;
    FUZZ_CHECK(saved.startsWith(bytes.first(marks)));
    FUZZ_CHECK(after.encoding() == text.encoding() || anyAmbiguous || !beyondAscii);

    // The lines no written key names keep their bytes and their order.
    if (text.encoding() != config::FileEncoding::Utf16LE &&
        text.encoding() != config::FileEncoding::Utf16BE) {
        const QList<Line> out = linesOf(saved, marks, false);
        qsizetype at = 0;
        for (const Line& line : linesOf(bytes, marks, true)) {
            bool written = false;
            for (const config::Assignment& a : save)
                written = written || SettingsName{line.key} == SettingsName{a.key};
            if (written)
                continue;
            while (at < out.size() && out[at].bytes != line.bytes)
                ++at;
            if (at == out.size()) {
                std::fprintf(stderr, "line \"%s\"\n",
                             line.bytes.toByteArray().toPercentEncoding().constData());
                report("a line was lost or moved", bytes, saved);
            }
            FUZZ_CHECK(at < out.size());
            ++at;
        }
    }

    // The same save again changes nothing.
    if (thorough)
        FUZZ_CHECK(anyAmbiguous || after.withValues(save).bytes() == saved);
    return 0;
}
