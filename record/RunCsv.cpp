// SPDX-License-Identifier: GPL-3.0-or-later
// The run record as text: CSV rows and file names.
#include "record/RunCsv.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>

namespace record {

namespace {

const QByteArray kCsvHeader = QByteArrayLiteral("time_s,top_c,bottom_c\n");
// The longest row: two full-width signed 32-bit numbers, a 64-bit second, commas, LF.
constexpr int kLongestCsvRow = 20 + 2 * 11 + 3;

// File names stay well inside the 255 bytes most file systems allow, even for
// a name made of two-byte Cyrillic letters.
constexpr qsizetype kLongestNameInFileName = 80;

const QString kForbiddenInFileNames = QStringLiteral("/\\:*?\"<>|");

void appendNumber(QByteArray& text, qint64 number) {
    std::array<char, 24> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), number);
    Q_UNUSED(error); // 24 characters hold any 64-bit number
    text.append(digits.data(), end - digits.data());
}

// A value on a "#" line: one line, whatever the settings file held.
QByteArray lineValue(const QString& value) {
    QString text = value;
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return text.toUtf8();
}

void appendKey(QByteArray& text, const char* key, const QByteArray& value) {
    text.append("# ").append(key).append(": ").append(value).append('\n');
}

void appendKey(QByteArray& text, const char* key, qint64 value) {
    text.append("# ").append(key).append(": ");
    appendNumber(text, value);
    text.append('\n');
}

void appendPair(QByteArray& text, const char* key, qint64 value) {
    text.append(' ').append(key).append('=');
    appendNumber(text, value);
}

bool refusedInFileName(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control || kForbiddenInFileNames.contains(c);
}

} // namespace

QString consoleVersion() {
    return QStringLiteral(IRCONSOLE_VERSION);
}

QString isoTimeWithOffset(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray headerLines(const RunHeader& header) {
    QByteArray text;
    appendKey(text, "version", lineValue(header.version));
    appendKey(text, "start", isoTimeWithOffset(header.start).toUtf8());
    appendKey(text, "port", lineValue(header.port));
    appendKey(text, "Correct1", header.correct1);
    appendKey(text, "Correct2", header.correct2);
    const RunProfile& profile = header.profile;
    appendKey(text, "profile", profile.number);
    appendKey(text, "Name", lineValue(profile.name));
    appendKey(text, "T0", profile.T0);
    appendKey(text, "TB", profile.TB);
    appendKey(text, "T1", profile.T1);
    appendKey(text, "S1", profile.S1);
    appendKey(text, "T3", profile.T3);
    appendKey(text, "S3", profile.S3);
    if (!header.reference.isEmpty())
        appendKey(text, "reference", lineValue(header.reference));
    return text;
}

QByteArray profileChangeLine(qint64 second, const RunProfile& profile) {
    QByteArray text = "# profile_change: second=";
    appendNumber(text, second);
    appendPair(text, "profile", profile.number);
    appendPair(text, "T0", profile.T0);
    appendPair(text, "TB", profile.TB);
    appendPair(text, "T1", profile.T1);
    appendPair(text, "S1", profile.S1);
    appendPair(text, "T3", profile.T3);
    appendPair(text, "S3", profile.S3);
    text.append(" Name=").append(lineValue(profile.name)).append('\n');
    return text;
}

QByteArray runStartTag() {
    return QByteArrayLiteral("# run_start");
}

QByteArray runStartLine(qint64 second, const QDateTime& start) {
    QByteArray text = runStartTag() + ": second=";
    appendNumber(text, second);
    text.append(" start=").append(isoTimeWithOffset(start).toUtf8()).append('\n');
    return text;
}

QByteArray csvHeader() {
    return kCsvHeader;
}

void appendCsvRows(QByteArray& text, const RunRecord& record, qsizetype origin, qsizetype first,
                   qsizetype end) {
    text.reserve(text.size() + (end - first) * kLongestCsvRow);
    const std::vector<RunSecond>& seconds = record.samples();
    const std::vector<RunRecord::RunMark>& runs = record.runs();
    const std::vector<RunRecord::ProfileMark>& profiles = record.profiles();
    const RunRecord::RunMark* headed = record.runAt(origin);
    if (headed && headed->first != origin)
        headed = nullptr;
    auto run = std::find_if(runs.cbegin(), runs.cend(), [first](const RunRecord::RunMark& mark) {
        return mark.first >= first;
    });
    auto profile =
        std::find_if(profiles.cbegin(), profiles.cend(),
                     [first](const RunRecord::ProfileMark& mark) { return mark.first >= first; });
    for (qsizetype index = first; index < end; ++index) {
        const qint64 second = qint64(index - origin) + 1;
        for (; run != runs.cend() && run->first == index; ++run) {
            if (index != origin) {
                if (run != runs.cbegin())
                    text += std::prev(run)->closing;
                text += runStartLine(second, run->header.start);
            }
        }
        for (; profile != profiles.cend() && profile->first == index; ++profile) {
            if (index != origin || !headed || headed->header.profile != profile->profile)
                text += profileChangeLine(second, profile->profile);
        }
        appendNumber(text, second);
        text.append(',');
        // A gap leaves both temperature cells empty.
        if (const RunSecond& reading = seconds[std::size_t(index)]) {
            appendNumber(text, reading->top);
            text.append(',');
            appendNumber(text, reading->bottom);
        } else {
            text.append(',');
        }
        text.append('\n');
    }
    // A finished run's file ends with what it did.
    if (end > first && end == record.size()) {
        if (const RunRecord::RunMark* last = record.runAt(end - 1))
            text += last->closing;
    }
}

QByteArray csvText(const RunRecord& record) {
    QByteArray text;
    if (const RunRecord::RunMark* run = record.runAt(0); run && run->first == 0)
        text = headerLines(run->header);
    text += kCsvHeader;
    appendCsvRows(text, record, 0, 0, record.size());
    return text;
}

QString suggestedFileName(const QDateTime& now, int profileNumber, const QString& profileName,
                          const QString& extension) {
    QString name = profileName.trimmed();
    for (QChar& c : name) {
        if (refusedInFileName(c))
            c = QLatin1Char('_');
    }
    if (name.size() > kLongestNameInFileName) {
        name.truncate(kLongestNameInFileName);
        if (name.back().isHighSurrogate())
            name.chop(1);
    }

    QString fileName = now.toString(QStringLiteral("yyyy-MM-dd_HH-mm")) +
                       QStringLiteral("_profil") + QString::number(profileNumber);
    if (!name.isEmpty())
        fileName += QLatin1Char('_') + name;
    return fileName + QLatin1Char('.') + extension;
}

QString suggestedFileName(const RunHeader& run, const QString& extension) {
    return suggestedFileName(run.start, run.profile.number, run.profile.name, extension);
}

} // namespace record
