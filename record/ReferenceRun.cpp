// SPDX-License-Identifier: GPL-3.0-or-later
// A reference run: its file read back strictly, its place on the record and the deviation from it.
#include "record/ReferenceRun.h"

#include "record/RunCsv.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace record {

namespace {

// The header row as the record's own writer makes it (RunCsv), without its line end.
QByteArray headerRow() {
    return csvHeader().trimmed();
}
// A cell quoted in a message is cut to this many characters.
constexpr qsizetype kQuotedCell = 20;
const QString kMinus = QStringLiteral("−");
constexpr qint64 kMegabyte = qint64(1024) * 1024;

template <typename Number> std::optional<Number> wholeNumber(QByteArrayView text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.isEmpty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

QString quoted(QByteArrayView cell) {
    QString text = QString::fromUtf8(cell);
    if (text.size() > kQuotedCell)
        text = text.left(kQuotedCell) + QStringLiteral("…");
    return QStringLiteral("«%1»").arg(text);
}

ReferenceLoad refused(const QString& why) {
    return {nullptr, why};
}

ReferenceLoad refusedAt(qint64 line, const QString& why) {
    return refused(QStringLiteral("строка %1: %2").arg(line).arg(why));
}

// "# key: value" before the header row: what the run says about itself.
void readHeaderLine(QByteArrayView line, ReferenceRun& run) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    const QByteArray key = line.sliced(1, colon - 1).trimmed().toByteArray();
    const QByteArrayView value = line.sliced(colon + 1).trimmed();
    if (key == "start") {
        run.start = QDateTime::fromString(QString::fromUtf8(value), Qt::ISODate);
        return;
    }
    if (key == "Name") {
        if (!run.profile)
            run.profile = RunProfile{};
        run.profile->name = QString::fromUtf8(value);
        return;
    }
    struct Field {
        const char* key;
        std::int32_t RunProfile::*value;
    };
    static constexpr Field kFields[] = {
        {"profile", &RunProfile::number}, {"T0", &RunProfile::T0}, {"TB", &RunProfile::TB},
        {"T1", &RunProfile::T1},          {"S1", &RunProfile::S1}, {"T3", &RunProfile::T3},
        {"S3", &RunProfile::S3},
    };
    for (const Field& field : kFields) {
        if (key != field.key)
            continue;
        // A value the file garbled says nothing; the seconds are what matter.
        if (const std::optional<std::int32_t> number = wholeNumber<std::int32_t>(value)) {
            if (!run.profile)
                run.profile = RunProfile{};
            (*run.profile).*field.value = *number;
        }
        return;
    }
}

// One row: the expected second and two temperatures, or two empty cells.
std::optional<QString> readRow(QByteArrayView line, qint64 expected, std::vector<RunSecond>& out) {
    QByteArrayView cells[3];
    qsizetype count = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype comma = line.indexOf(',', from);
        const QByteArrayView cell =
            line.sliced(from, comma < 0 ? line.size() - from : comma - from);
        if (count < 3)
            cells[count] = cell.trimmed();
        ++count;
        if (comma < 0)
            break;
        from = comma + 1;
    }
    if (count != 3)
        return QStringLiteral("ожидалось 3 поля (секунда, верх, низ), найдено %1").arg(count);
    const std::optional<qint64> second = wholeNumber<qint64>(cells[0]);
    if (!second)
        return QStringLiteral("секунда %1 — не целое число").arg(quoted(cells[0]));
    if (*second != expected)
        return QStringLiteral("секунда %1, ожидалась %2").arg(*second).arg(expected);
    if (cells[1].isEmpty() && cells[2].isEmpty()) {
        out.push_back(std::nullopt);
        return std::nullopt;
    }
    const QString names[] = {QStringLiteral("верха"), QStringLiteral("низа")};
    std::int32_t degrees[2] = {};
    for (int heater = 0; heater < 2; ++heater) {
        const QByteArrayView cell = cells[heater + 1];
        if (cell.isEmpty())
            return QStringLiteral("температура %1 пуста, а другая нет").arg(names[heater]);
        const std::optional<std::int32_t> value = wholeNumber<std::int32_t>(cell);
        if (!value)
            return QStringLiteral("температура %1 %2 — не целое число")
                .arg(names[heater], quoted(cell));
        degrees[heater] = *value;
    }
    out.push_back(RunSample{degrees[0], degrees[1]});
    return std::nullopt;
}

} // namespace

QString ReferenceRun::caption() const {
    QString text = QStringLiteral("Эталон: ");
    if (profile) {
        const QString name = profile->name.trimmed();
        text += name.isEmpty() ? QStringLiteral("профиль %1").arg(profile->number)
                               : QStringLiteral("профиль %1 «%2»").arg(profile->number).arg(name);
    } else {
        text += fileName;
    }
    if (start.isValid())
        text += QStringLiteral(", ") + start.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    return text;
}

RunSecond ReferenceRun::at(qint64 second) const {
    if (second < 1 || second > qint64(seconds.size()))
        return std::nullopt;
    return seconds[std::size_t(second - 1)];
}

ReferenceLoad parseReferenceRun(const QByteArray& text) {
    if (text.trimmed().isEmpty())
        return refused(QStringLiteral("файл пуст"));
    if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
        return refusedAt(text.left(zero).count('\n') + 1,
                         QStringLiteral("двоичные данные, а не таблица прогона"));

    auto run = std::make_shared<ReferenceRun>();
    bool headed = false;
    qint64 lineNumber = 0;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = text.indexOf('\n', from);
        if (end < 0)
            end = text.size();
        QByteArrayView line(text.constData() + from, end - from);
        from = end + 1;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith('#')) {
            if (!headed)
                readHeaderLine(line, *run);
            else if (line.startsWith(runStartTag()))
                break; // the first run is the reference
            continue;
        }
        if (!headed) {
            if (line.trimmed() != headerRow())
                return refusedAt(
                    lineNumber, QStringLiteral("нет строки заголовка %1, а есть %2")
                                    .arg(QString::fromLatin1(headerRow()), quoted(line.trimmed())));
            headed = true;
            continue;
        }
        const auto expected = qint64(run->seconds.size()) + 1;
        if (expected > kLongestReferenceSeconds)
            return refusedAt(lineNumber,
                             QStringLiteral("прогон длиннее %1 с").arg(kLongestReferenceSeconds));
        if (const std::optional<QString> wrong = readRow(line, expected, run->seconds))
            return refusedAt(lineNumber, *wrong);
    }
    if (!headed)
        return refused(
            QStringLiteral("нет строки заголовка %1").arg(QString::fromLatin1(headerRow())));
    if (std::none_of(run->seconds.cbegin(), run->seconds.cend(),
                     [](const RunSecond& second) { return second.has_value(); }))
        return refused(QStringLiteral("в таблице нет ни одного показания"));
    return {run, {}};
}

ReferenceLoad loadReferenceRun(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return refused(QStringLiteral("файла нет"));
    if (!info.isFile())
        return refused(QStringLiteral("это не файл"));
    if (info.size() > kLargestReferenceBytes)
        return refused(QStringLiteral("файл больше %1 МБ (%2 МБ)")
                           .arg(kLargestReferenceBytes / kMegabyte)
                           .arg(info.size() / kMegabyte));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("не открывается: %1").arg(file.errorString()));
    // The size again while reading: the file may have grown since it was looked at.
    const QByteArray text = file.read(kLargestReferenceBytes + 1);
    if (text.size() > kLargestReferenceBytes)
        return refused(QStringLiteral("файл больше %1 МБ").arg(kLargestReferenceBytes / kMegabyte));
    if (file.error() != QFileDevice::NoError)
        return refused(QStringLiteral("не читается: %1").arg(file.errorString()));
    ReferenceLoad load = parseReferenceRun(text);
    if (load.run) {
        auto run = std::const_pointer_cast<ReferenceRun>(load.run);
        run->path = path;
        run->fileName = info.fileName();
    }
    return load;
}

namespace {

// Where a background load hands its result: a child of the context, so it goes
// with it. Its destructor closes the door under the lock, so the loading
// thread either posts before (and the post dies with the object) or not at all.
class LoadDoor : public QObject {
public:
    struct Shared {
        std::mutex lock;
        LoadDoor* door = nullptr;
    };

    explicit LoadDoor(QObject* context) : QObject(context), m_shared(std::make_shared<Shared>()) {
        m_shared->door = this;
    }
    ~LoadDoor() override {
        const std::lock_guard guard(m_shared->lock);
        m_shared->door = nullptr;
    }
    std::shared_ptr<Shared> shared() const { return m_shared; }

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace

void loadReferenceInBackground(QObject* context, const QString& path,
                               std::function<void(const ReferenceLoad&)> done,
                               ReferenceLoader load) {
    auto* door = new LoadDoor(context);
    std::thread([shared = door->shared(), path, done = std::move(done), load = std::move(load)] {
        const ReferenceLoad result = load(path);
        const std::lock_guard guard(shared->lock);
        if (!shared->door)
            return;
        LoadDoor* target = shared->door;
        QMetaObject::invokeMethod(
            target,
            [target, done, result] {
                done(result);
                target->deleteLater();
            },
            Qt::QueuedConnection);
    }).detach();
}

qsizetype referenceOrigin(const RunRecord& record) {
    if (record.runs().empty())
        return record.size();
    return std::min(record.runs().back().first, record.size());
}

bool Deviation::outside(qint64 tolerance) const {
    return (top && std::abs(*top) > tolerance) || (bottom && std::abs(*bottom) > tolerance);
}

Deviation deviationOf(const RunSecond& run, const RunSecond& reference) {
    if (!run || !reference)
        return {};
    return {qint64(run->top) - reference->top, qint64(run->bottom) - reference->bottom};
}

Deviation deviationAt(const RunRecord& record, const ReferenceRun& reference, qsizetype origin,
                      qsizetype index) {
    if (index < 0 || index >= record.size() || index < origin)
        return {};
    return deviationOf(record.sample(index), reference.at(qint64(index - origin) + 1));
}

QString signedDegrees(qint64 degrees) {
    if (degrees > 0)
        return QLatin1Char('+') + QString::number(degrees);
    if (degrees < 0)
        return kMinus + QString::number(-degrees);
    return QStringLiteral("0");
}

QString deviationText(const Deviation& deviation) {
    auto one = [](const std::optional<qint64>& degrees) {
        return degrees ? signedDegrees(*degrees) + QStringLiteral(" °C") : QStringLiteral("—");
    };
    return QStringLiteral("Δ верх ") + one(deviation.top) + QStringLiteral("  Δ низ ") +
           one(deviation.bottom);
}

ReferenceComparison compareWithReference(const RunRecord& record, qsizetype first, qsizetype end,
                                         const ReferenceRun& reference, qint64 tolerance) {
    first = std::clamp<qsizetype>(first, 0, record.size());
    end = std::clamp<qsizetype>(end, first, record.size());
    // Past the reference's end there is nothing to compare.
    end = std::min<qsizetype>(end, first + qsizetype(reference.seconds.size()));
    ReferenceComparison comparison;
    auto keepLargest = [](std::optional<LargestDeviation>& largest, qint64 degrees, qint64 second) {
        if (!largest || std::abs(degrees) > std::abs(largest->degrees))
            largest = LargestDeviation{degrees, second};
    };
    for (qsizetype index = first; index < end; ++index) {
        const qint64 second = qint64(index - first) + 1;
        const Deviation deviation = deviationOf(record.sample(index), reference.at(second));
        if (!deviation.top)
            continue;
        ++comparison.compared;
        if (deviation.outside(tolerance))
            ++comparison.outside;
        keepLargest(comparison.top, *deviation.top, second);
        keepLargest(comparison.bottom, *deviation.bottom, second);
    }
    return comparison;
}

} // namespace record
