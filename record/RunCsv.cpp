// SPDX-License-Identifier: GPL-3.0-or-later
// The run record as text: CSV rows and file names.
#include "record/RunCsv.h"

#include <QDateTime>

#include <array>
#include <charconv>

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

bool refusedInFileName(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control || kForbiddenInFileNames.contains(c);
}

} // namespace

QByteArray csvHeader() {
    return kCsvHeader;
}

void appendCsvRows(QByteArray& text, const RunRecord& record, qsizetype first, qsizetype end) {
    text.reserve(text.size() + (end - first) * kLongestCsvRow);
    const std::vector<RunSecond>& seconds = record.samples();
    for (qsizetype index = first; index < end; ++index) {
        appendNumber(text, RunRecord::secondOf(index));
        text.append(',');
        // A gap leaves both temperature cells empty.
        if (const RunSecond& second = seconds[std::size_t(index)]) {
            appendNumber(text, second->top);
            text.append(',');
            appendNumber(text, second->bottom);
        } else {
            text.append(',');
        }
        text.append('\n');
    }
}

QByteArray csvText(const RunRecord& record) {
    QByteArray text = kCsvHeader;
    appendCsvRows(text, record, 0, record.size());
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

} // namespace record
