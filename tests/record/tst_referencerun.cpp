// SPDX-License-Identifier: GPL-3.0-or-later
// A reference run: files read back or refused with the line and what was wrong, its place under
// the record's runs, the deviation at each second and what a finished run makes of it.
#include "record/ReferenceRun.h"
#include "record/RunCsv.h"
#include "record/RunReport.h"
#include "record/RunSummary.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>
#include <memory>

using namespace record;

Q_DECLARE_METATYPE(record::RunSecond)
Q_DECLARE_METATYPE(record::Deviation)
Q_DECLARE_METATYPE(std::vector<record::RunSecond>)
Q_DECLARE_METATYPE(record::ReferenceComparison)

namespace {

using Seconds = std::vector<RunSecond>;

RunSecond at(std::int32_t top, std::int32_t bottom) {
    return RunSample{top, bottom};
}

const RunSecond kGap = std::nullopt;

// A record holding `before` seconds of an earlier run (stopped), then a run
// that starts at that index with `run`'s seconds.
RunRecord recordWith(int before, const Seconds& run) {
    RunRecord record;
    if (before > 0) {
        record.beginRun({});
        for (int i = 0; i < before; ++i)
            record.append(1000 + i, 2000 + i); // far from any reference: never compared
        record.closeRun({});
    }
    record.beginRun({});
    for (const RunSecond& second : run) {
        if (second)
            record.append(second->top, second->bottom);
        else
            record.appendGap();
    }
    return record;
}

ReferenceRun referenceOf(const Seconds& seconds) {
    ReferenceRun reference;
    reference.seconds = seconds;
    return reference;
}

// A day of a run as the journal writes it: the n-th second's top 20 + n % 230,
// bottom 20 + n % 170, every 997th second a gap.
QByteArray dayLongFile(int seconds) {
    QByteArray text = "# version: 1.0.0.2\n# start: 2026-12-09T10:00:00+03:00\n"
                      "# profile: 2\n# Name: BGA\ntime_s,top_c,bottom_c\n";
    for (int n = 1; n <= seconds; ++n) {
        text += QByteArray::number(n) + ',';
        if (n % 997 != 0)
            text += QByteArray::number(20 + n % 230) + ',' + QByteArray::number(20 + n % 170);
        else
            text += ',';
        text += '\n';
    }
    return text;
}

bool writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestReferenceRun : public QObject {
    Q_OBJECT

private slots:
    void badFilesAreRefusedNamingTheLine_data();
    void badFilesAreRefusedNamingTheLine();
    void runFilesAreReadWithTheirGaps_data();
    void runFilesAreReadWithTheirGaps();
    void filesOnTheDisk_data();
    void filesOnTheDisk();
    void aDayLongFileIsReadWhole();
    void aLoadThatHangsHoldsOnlyItsOwnThread();
    void aLoadEndingAfterItsWindowIsGoneIsDropped();

    void referenceLiesAtTheLastRunsStart_data();
    void referenceLiesAtTheLastRunsStart();
    void deviationAtEachSecond_data();
    void deviationAtEachSecond();
    void deviationTextAndTolerance_data();
    void deviationTextAndTolerance();
    void runComparedWithTheReference_data();
    void runComparedWithTheReference();
    void verdictGainsTheReferenceRule_data();
    void verdictGainsTheReferenceRule();
    void fileHeaderNamesTheReference();
    void reportCarriesTheReferenceCurves();
};

void TestReferenceRun::badFilesAreRefusedNamingTheLine_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray head = "time_s,top_c,bottom_c\n";
    QTest::newRow("empty") << QByteArray() << QStringLiteral("файл пуст");
    QTest::newRow("blank lines only") << QByteArray("\n \r\n\n") << QStringLiteral("файл пуст");
    QTest::newRow("not a CSV") << QByteArray("Dear operator,\nthe board is ready.\n")
                               << QStringLiteral("строка 1: нет строки заголовка "
                                                 "time_s,top_c,bottom_c, а есть «Dear operator,»");
    QTest::newRow("another table")
        << QByteArray("# start: 2026-12-09T10:00:00+03:00\ntime,top,bottom\n1,2,3\n")
        << QStringLiteral("строка 2: нет строки заголовка time_s,top_c,bottom_c, а есть "
                          "«time,top,bottom»");
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                            << QStringLiteral("строка 3: двоичные данные, а не таблица прогона");
    QTest::newRow("only # lines") << QByteArray("# version: 1.0.0.2\n# profile: 2\n")
                                  << QStringLiteral("нет строки заголовка time_s,top_c,bottom_c");
    QTest::newRow("only the header") << QByteArray("# profile: 2\n") + head
                                     << QStringLiteral("в таблице нет ни одного показания");
    QTest::newRow("only gaps") << head + "1,,\n2,,\n"
                               << QStringLiteral("в таблице нет ни одного показания");
    QTest::newRow("garbage top") << head + "1,100,50\n2,1x2,51\n"
                                 << QStringLiteral("строка 3: температура верха «1x2» — не целое "
                                                   "число");
    QTest::newRow("garbage bottom") << head + "1,100,50\n2,102,5.5\n3,104,52\n"
                                    << QStringLiteral("строка 3: температура низа «5.5» — не "
                                                      "целое число");
    QTest::newRow("temperature past 32 bits")
        << head + "1,99999999999,50\n"
        << QStringLiteral("строка 2: температура верха «99999999999» — не целое число");
    QTest::newRow("garbage second") << head + "1,100,50\nдва,102,51\n"
                                    << QStringLiteral("строка 3: секунда «два» — не целое число");
    QTest::newRow("too few cells") << head + "1,100\n"
                                   << QStringLiteral("строка 2: ожидалось 3 поля (секунда, верх, "
                                                     "низ), найдено 2");
    QTest::newRow("too many cells") << head + "1,100,50,7\n"
                                    << QStringLiteral("строка 2: ожидалось 3 поля (секунда, верх, "
                                                      "низ), найдено 4");
    QTest::newRow("half a gap") << head + "1,100,50\n2,101,\n"
                                << QStringLiteral("строка 3: температура низа пуста, а другая нет");
    QTest::newRow("out of order") << head + "1,100,50\n3,104,52\n2,102,51\n"
                                  << QStringLiteral("строка 3: секунда 3, ожидалась 2");
    QTest::newRow("repeated") << head + "1,100,50\n2,102,51\n2,102,51\n"
                              << QStringLiteral("строка 4: секунда 2, ожидалась 3");
    QTest::newRow("counted from 0") << head + "0,100,50\n"
                                    << QStringLiteral("строка 2: секунда 0, ожидалась 1");
    QTest::newRow("line numbers count # lines")
        << QByteArray("# a\n# b\n") + head + "1,100,50\n# profile_change: second=2\n2,x,51\n"
        << QStringLiteral("строка 6: температура верха «x» — не целое число");
    QTest::newRow("a long cell is cut")
        << head + "1,100,abcdefghijklmnopqrstuvwxyz\n"
        << QStringLiteral("строка 2: температура низа «abcdefghijklmnopqrst…» — не целое число");
}

// Nothing of a refused file is kept: the message says where and what.
void TestReferenceRun::badFilesAreRefusedNamingTheLine() {
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const ReferenceLoad load = parseReferenceRun(text);
    QCOMPARE(load.error, error);
    QVERIFY(!load.run);
}

void TestReferenceRun::runFilesAreReadWithTheirGaps_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Seconds>("seconds");
    QTest::addColumn<QString>("caption");

    // As the journal writes a finished run: header lines, a profile change and
    // the closing lines.
    QTest::newRow("journal file")
        << QByteArray("# version: 1.0.0.2\n# start: 2026-12-09T10:00:05+03:00\n# port: Com3\n"
                      "# Correct1: -5\n# Correct2: 7\n# profile: 2\n# Name: BGA\n# T0: 180\n"
                      "# TB: 150\n# T1: 160\n# S1: 60\n# T3: 235\n# S3: 30\n"
                      "time_s,top_c,bottom_c\n1,100,50\n2,,\n"
                      "# profile_change: second=3 profile=3 T0=1 TB=2 T1=3 S1=4 T3=5 S3=6 "
                      "Name=X\n3,104,52\n# length: 3\n# verdict: Не проверено\n")
        << Seconds{at(100, 50), kGap, at(104, 52)}
        << QStringLiteral("Эталон: профиль 2 «BGA», 09.12.2026 10:00");
    QTest::newRow("export of two runs: the first")
        << QByteArray("# profile: 5\n# Name: QFN\ntime_s,top_c,bottom_c\n1,90,40\n2,92,41\n"
                      "# length: 2\n# run_start: second=3 start=2026-12-09T11:00:00+03:00\n"
                      "3,300,300\n")
        << Seconds{at(90, 40), at(92, 41)} << QStringLiteral("Эталон: профиль 5 «QFN»");
    QTest::newRow("CRLF and spaces, as a spreadsheet saves it")
        << QByteArray("time_s,top_c,bottom_c\r\n1, 100 ,50\r\n2,,\r\n3,-4,-7\r\n\r\n")
        << Seconds{at(100, 50), kGap, at(-4, -7)} << QStringLiteral("Эталон: ");
    QTest::newRow("non-ASCII name, no start")
        << QByteArray("# profile: 9\n# Name: Свинец №2 — плата\ntime_s,top_c,bottom_c\n1,30,31\n")
        << Seconds{at(30, 31)} << QStringLiteral("Эталон: профиль 9 «Свинец №2 — плата»");
    QTest::newRow("starts with a gap, no line end at the end")
        << QByteArray("time_s,top_c,bottom_c\n1,,\n2,,\n3,55,44") << Seconds{kGap, kGap, at(55, 44)}
        << QStringLiteral("Эталон: ");
}

void TestReferenceRun::runFilesAreReadWithTheirGaps() {
    QFETCH(QByteArray, text);
    QFETCH(Seconds, seconds);
    QFETCH(QString, caption);
    const ReferenceLoad load = parseReferenceRun(text);
    QCOMPARE(load.error, QString());
    QVERIFY(load.run);
    QCOMPARE(load.run->seconds, seconds);
    QCOMPARE(load.run->caption(), caption);
}

void TestReferenceRun::filesOnTheDisk_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size"); // a sparse file of this size instead of the text
    QTest::addColumn<QString>("error");
    const QByteArray good = "# profile: 1\ntime_s,top_c,bottom_c\n1,25,24\n2,26,25\n";
    QTest::newRow("non-ASCII name")
        << QStringLiteral("эталон №1 (плата).csv") << good << qint64(0) << QString();
    QTest::newRow("no such file") << QString() << QByteArray() << qint64(0)
                                  << QStringLiteral("файла нет");
    QTest::newRow("a folder") << QStringLiteral("runs.csv") << QByteArray() << qint64(-1)
                              << QStringLiteral("это не файл");
    QTest::newRow("100 MB") << QStringLiteral("huge.csv") << QByteArray()
                            << qint64(100) * 1024 * 1024
                            << QStringLiteral("файл больше 16 МБ (100 МБ)");
    QTest::newRow("just over the limit")
        << QStringLiteral("over.csv") << QByteArray() << kLargestReferenceBytes + 1
        << QStringLiteral("файл больше 16 МБ (16 МБ)");
}

void TestReferenceRun::filesOnTheDisk() {
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name.isEmpty() ? QStringLiteral("missing.csv") : name);
    if (size < 0) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    } else if (size > 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size)); // sparse: nothing but its size is on the disk
    } else if (!name.isEmpty()) {
        QVERIFY(writeFile(path, text));
    }
    const ReferenceLoad load = loadReferenceRun(path);
    QCOMPARE(load.error, error);
    QCOMPARE(bool(load.run), error.isEmpty());
    if (load.run) {
        QCOMPARE(load.run->fileName, name);
        QCOMPARE(load.run->path, path);
        QCOMPARE(load.run->seconds, (Seconds{at(25, 24), at(26, 25)}));
        // Deleted once loaded: what was loaded stays as it was.
        QVERIFY(QFile::remove(path));
        QCOMPARE(load.run->seconds, (Seconds{at(25, 24), at(26, 25)}));
    }
}

void TestReferenceRun::aDayLongFileIsReadWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    QVERIFY(writeFile(path, dayLongFile(86400)));
    const ReferenceLoad load = loadReferenceRun(path);
    QCOMPARE(load.error, QString());
    QCOMPARE(load.run->seconds.size(), std::size_t(86400));
    for (int n = 1; n <= 86400; ++n) {
        const RunSecond expected = n % 997 == 0 ? kGap : at(20 + n % 230, 20 + n % 170);
        if (load.run->at(n) != expected)
            QFAIL(qPrintable(QStringLiteral("second %1").arg(n)));
    }
    QCOMPARE(load.run->at(86401), kGap);
    QCOMPARE(load.run->at(0), kGap);
}

// A kept path on a network folder that no longer answers: the load waits on
// its own thread, and the caller goes on at once.
void TestReferenceRun::aLoadThatHangsHoldsOnlyItsOwnThread() {
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    QObject context;
    std::optional<ReferenceLoad> result;
    Qt::HANDLE doneOn = nullptr;
    loadReferenceInBackground(
        &context, QStringLiteral("/mnt/share/runs/x.csv"),
        [&](const ReferenceLoad& load) {
            result = load;
            doneOn = QThread::currentThreadId();
        },
        [released](const QString& path) {
            released.wait();
            return ReferenceLoad{nullptr, QStringLiteral("не открывается: ") + path};
        });
    QTest::qWait(50);
    QVERIFY(!result); // still hanging, and we are here
    release->set_value();
    QTRY_VERIFY(result.has_value());
    QCOMPARE(result->error, QStringLiteral("не открывается: /mnt/share/runs/x.csv"));
    QCOMPARE(doneOn, QThread::currentThreadId());
}

void TestReferenceRun::aLoadEndingAfterItsWindowIsGoneIsDropped() {
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    bool called = false;
    {
        QObject context;
        loadReferenceInBackground(
            &context, QStringLiteral("x.csv"), [&called](const ReferenceLoad&) { called = true; },
            [released, finished](const QString&) {
                released.wait();
                finished->store(true);
                return ReferenceLoad{};
            });
    }
    release->set_value();
    QTRY_VERIFY(finished->load());
    QTest::qWait(50); // a post that slipped through would be delivered here
    QVERIFY(!called);
}

void TestReferenceRun::referenceLiesAtTheLastRunsStart_data() {
    QTest::addColumn<int>("before");   // seconds of an earlier, stopped run
    QTest::addColumn<int>("length");   // seconds of the last run (-1: no last run)
    QTest::addColumn<bool>("stopped"); // the last run is over
    QTest::addColumn<qsizetype>("origin");
    QTest::newRow("nothing recorded") << 0 << -1 << false << qsizetype(0);
    QTest::newRow("a run going on") << 0 << 12 << false << qsizetype(0);
    QTest::newRow("a run just started") << 0 << 0 << false << qsizetype(0);
    QTest::newRow("stopped and started again") << 30 << 5 << false << qsizetype(30);
    QTest::newRow("the next run not yet recorded") << 30 << 0 << false << qsizetype(30);
    QTest::newRow("finished: until the next starts") << 30 << 5 << true << qsizetype(30);
}

void TestReferenceRun::referenceLiesAtTheLastRunsStart() {
    QFETCH(int, before);
    QFETCH(int, length);
    QFETCH(bool, stopped);
    QFETCH(qsizetype, origin);
    RunRecord record;
    if (length >= 0)
        record = recordWith(before, Seconds(std::size_t(length), at(1, 2)));
    if (stopped)
        record.closeRun({});
    QCOMPARE(referenceOrigin(record), origin);
    // "<0>": the record starts over, and so does the reference.
    record.clear();
    QCOMPARE(referenceOrigin(record), qsizetype(0));
}

void TestReferenceRun::deviationAtEachSecond_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<Seconds>("run");
    QTest::addColumn<Seconds>("reference");
    QTest::addColumn<qsizetype>("index");
    QTest::addColumn<Deviation>("deviation");
    const Seconds run{at(103, 49), at(111, 60), at(120, 61), kGap, at(150, 70)};
    const Seconds reference{at(100, 50), at(110, 55), kGap, at(130, 65)};
    QTest::newRow("first second") << 0 << run << reference << qsizetype(0) << Deviation{3, -1};
    QTest::newRow("second second") << 0 << run << reference << qsizetype(1) << Deviation{1, 5};
    QTest::newRow("reference gap") << 0 << run << reference << qsizetype(2) << Deviation{};
    QTest::newRow("run gap") << 0 << run << reference << qsizetype(3) << Deviation{};
    QTest::newRow("reference shorter than the run")
        << 0 << run << reference << qsizetype(4) << Deviation{};
    QTest::newRow("reference longer than the run")
        << 0 << Seconds{at(100, 50)} << reference << qsizetype(1) << Deviation{};
    QTest::newRow("the next run aligns at its own start")
        << 7 << run << reference << qsizetype(7) << Deviation{3, -1};
    QTest::newRow("an earlier run is not compared")
        << 7 << run << reference << qsizetype(6) << Deviation{};
    QTest::newRow("extremes do not overflow")
        << 0 << Seconds{at(INT32_MAX, INT32_MIN)} << Seconds{at(INT32_MIN, INT32_MAX)}
        << qsizetype(0) << Deviation{qint64(INT32_MAX) - INT32_MIN, qint64(INT32_MIN) - INT32_MAX};
}

void TestReferenceRun::deviationAtEachSecond() {
    QFETCH(int, before);
    QFETCH(Seconds, run);
    QFETCH(Seconds, reference);
    QFETCH(qsizetype, index);
    QFETCH(Deviation, deviation);
    const RunRecord record = recordWith(before, run);
    QCOMPARE(deviationAt(record, referenceOf(reference), referenceOrigin(record), index),
             deviation);
}

void TestReferenceRun::deviationTextAndTolerance_data() {
    QTest::addColumn<Deviation>("deviation");
    QTest::addColumn<qint64>("tolerance");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("outside");
    QTest::newRow("within") << Deviation{3, -1} << qint64(5)
                            << QStringLiteral("Δ верх +3 °C  Δ низ −1 °C") << false;
    QTest::newRow("on the edge") << Deviation{5, -5} << qint64(5)
                                 << QStringLiteral("Δ верх +5 °C  Δ низ −5 °C") << false;
    QTest::newRow("top past it") << Deviation{6, 0} << qint64(5)
                                 << QStringLiteral("Δ верх +6 °C  Δ низ 0 °C") << true;
    QTest::newRow("bottom below it")
        << Deviation{-2, -6} << qint64(5) << QStringLiteral("Δ верх −2 °C  Δ низ −6 °C") << true;
    QTest::newRow("no tolerance") << Deviation{1, 0} << qint64(0)
                                  << QStringLiteral("Δ верх +1 °C  Δ низ 0 °C") << true;
    QTest::newRow("no value") << Deviation{} << qint64(0) << QStringLiteral("Δ верх —  Δ низ —")
                              << false;
}

void TestReferenceRun::deviationTextAndTolerance() {
    QFETCH(Deviation, deviation);
    QFETCH(qint64, tolerance);
    QFETCH(QString, text);
    QFETCH(bool, outside);
    QCOMPARE(deviationText(deviation), text);
    QCOMPARE(deviation.outside(tolerance), outside);
}

void TestReferenceRun::runComparedWithTheReference_data() {
    QTest::addColumn<Seconds>("run");
    QTest::addColumn<Seconds>("reference");
    QTest::addColumn<ReferenceComparison>("comparison");
    // Tolerance 5 throughout.
    QTest::newRow("follows it") << Seconds{at(101, 50), at(112, 54), at(118, 60)}
                                << Seconds{at(100, 50), at(110, 55), at(120, 60)}
                                << ReferenceComparison{3, 0, LargestDeviation{2, 2},
                                                       LargestDeviation{-1, 2}};
    QTest::newRow("leaves it twice")
        << Seconds{at(107, 50), at(110, 55), at(120, 48)}
        << Seconds{at(100, 50), at(110, 55), at(120, 60)}
        << ReferenceComparison{3, 2, LargestDeviation{7, 1}, LargestDeviation{-12, 3}};
    QTest::newRow("the first of equal sizes")
        << Seconds{at(94, 50), at(116, 55)} << Seconds{at(100, 50), at(110, 55)}
        << ReferenceComparison{2, 2, LargestDeviation{-6, 1}, LargestDeviation{0, 1}};
    QTest::newRow("gaps on either side")
        << Seconds{at(100, 50), kGap, at(130, 60)} << Seconds{kGap, at(110, 55), at(120, 60)}
        << ReferenceComparison{1, 1, LargestDeviation{10, 3}, LargestDeviation{0, 3}};
    QTest::newRow("run longer") << Seconds{at(100, 50), at(200, 200)} << Seconds{at(100, 50)}
                                << ReferenceComparison{1, 0, LargestDeviation{0, 1},
                                                       LargestDeviation{0, 1}};
    QTest::newRow("reference longer")
        << Seconds{at(103, 50)} << Seconds{at(100, 50), at(300, 300)}
        << ReferenceComparison{1, 0, LargestDeviation{3, 1}, LargestDeviation{0, 1}};
    QTest::newRow("nothing in common")
        << Seconds{kGap, at(1, 1)} << Seconds{at(1, 1), kGap} << ReferenceComparison{};
}

void TestReferenceRun::runComparedWithTheReference() {
    QFETCH(Seconds, run);
    QFETCH(Seconds, reference);
    QFETCH(ReferenceComparison, comparison);
    // After a stopped run of 4 seconds: the comparison starts at the run's own start.
    const RunRecord record = recordWith(4, run);
    QCOMPARE(compareWithReference(record, 4, record.size(), referenceOf(reference), 5), comparison);
}

void TestReferenceRun::verdictGainsTheReferenceRule_data() {
    QTest::addColumn<Seconds>("run");
    QTest::addColumn<bool>("withReference");
    QTest::addColumn<QString>("rule"); // empty: no such rule
    QTest::addColumn<QString>("closing");
    const Seconds reference{at(100, 50), at(110, 55), at(120, 60)};
    QTest::newRow("no reference") << Seconds{at(100, 50)} << false << QString() << QString();
    QTest::newRow("within") << Seconds{at(101, 50), at(112, 54), at(118, 60)} << true
                            << QStringLiteral("✓ в допуске эталона: 3 с в пределах ±5 °C")
                            << QStringLiteral("# reference_top: 2 second=2\n"
                                              "# reference_bottom: -1 second=2\n"
                                              "# reference_outside: 0 compared=3\n");
    QTest::newRow("outside") << Seconds{at(107, 50), at(110, 55), at(120, 48)} << true
                             << QStringLiteral("✗ в допуске эталона: 2 с из 3 вне ±5 °C")
                             << QStringLiteral("# reference_top: 7 second=1\n"
                                               "# reference_bottom: -12 second=3\n"
                                               "# reference_outside: 2 compared=3\n");
    QTest::newRow("nothing compared") << Seconds{kGap, kGap, kGap, at(1, 1)} << true
                                      << QStringLiteral("? в допуске эталона: нет общих секунд с "
                                                        "показаниями")
                                      << QStringLiteral("# reference_top: none\n"
                                                        "# reference_bottom: none\n"
                                                        "# reference_outside: 0 compared=0\n");
}

void TestReferenceRun::verdictGainsTheReferenceRule() {
    QFETCH(Seconds, run);
    QFETCH(bool, withReference);
    QFETCH(QString, rule);
    QFETCH(QString, closing);
    const RunRecord record = recordWith(0, run);
    const ReferenceRun reference = referenceOf({at(100, 50), at(110, 55), at(120, 60)});
    const std::optional<RunAssessment> assessment =
        assessLastRun(record, RunLimits{}, withReference ? &reference : nullptr);
    QVERIFY(assessment);
    const QString summary = summaryText(*assessment);
    const QString lines = QString::fromUtf8(closingLines(*assessment));
    if (rule.isEmpty()) {
        QVERIFY(!summary.contains(QStringLiteral("эталон")));
        QVERIFY(!lines.contains(QStringLiteral("reference")));
        return;
    }
    QVERIFY2(summary.contains(rule), qPrintable(summary));
    QVERIFY2(lines.contains(closing), qPrintable(lines));
    const RunRule& last = assessment->verdict.rules.back();
    QCOMPARE(ruleMark(last.outcome) + QLatin1Char(' ') + last.text(), rule);
    // A failed reference rule fails the run even where the profile's rules are unchecked.
    if (last.outcome == RunRule::Outcome::Failed)
        QCOMPARE(assessment->verdict.outcome, RunRule::Outcome::Failed);
}

void TestReferenceRun::fileHeaderNamesTheReference() {
    RunHeader header;
    header.start = QDateTime(QDate(2026, 12, 10), QTime(9, 0), Qt::OffsetFromUTC, 3 * 3600);
    const QByteArray without = headerLines(header);
    QVERIFY(!without.contains("reference"));
    header.reference = QStringLiteral("2026-12-09_10-00_profil2_BGA\nпервая.csv");
    const QByteArray with = headerLines(header);
    QVERIFY(with.startsWith(without));
    QCOMPARE(with.mid(without.size()),
             QStringLiteral("# reference: 2026-12-09_10-00_profil2_BGA первая.csv\n").toUtf8());
    // A reader that reads such a file as a reference passes the line over.
    RunRecord record;
    record.beginRun(header);
    record.append(140, 60);
    const ReferenceLoad load = parseReferenceRun(csvText(record));
    QCOMPARE(load.error, QString());
    QCOMPARE(load.run->seconds, Seconds{at(140, 60)});
}

void TestReferenceRun::reportCarriesTheReferenceCurves() {
    const RunRecord record = recordWith(3, {at(101, 50), at(112, 54)});
    ReferenceRun reference = referenceOf({at(100, 50), kGap, at(120, 60)});
    reference.fileName = QStringLiteral("эталон.csv");
    reference.profile = RunProfile{2, QStringLiteral("BGA"), 0, 0, 0, 0, 0, 0};
    const std::optional<RunReport> report = lastRunReport(record, RunLimits{}, &reference);
    QVERIFY(report);
    QVERIFY(report->extra);
    // Over the run's own length, from its own start.
    QCOMPARE(report->extra->seconds, (Seconds{at(100, 50), kGap}));
    QCOMPARE(report->extraCaption, QStringLiteral("Эталон: профиль 2 «BGA» (эталон.csv)"));
    QVERIFY(!lastRunReport(record, RunLimits{})->extra);
}

QTEST_GUILESS_MAIN(TestReferenceRun)
#include "tst_referencerun.moc"
