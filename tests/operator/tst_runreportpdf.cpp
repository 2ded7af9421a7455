// SPDX-License-Identifier: GPL-3.0-or-later
// A run's one-page PDF report read as a reader would: its text through pdftotext, its page through
// pdfinfo and pdftoppm; and the disks that refuse it (read-only, full) leaving nothing behind.
#include "console/RunReportPdf.h"
#include "tests/support/Pixels.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace record;

namespace {

// What a command printed; fails the test when it could not run.
QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool havePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

RunHeader headerFor(const QString& name) {
    return {QStringLiteral("1.0.0.2"),
            QDateTime(QDate(2026, 12, 10), QTime(14, 3, 59), Qt::OffsetFromUTC, 3 * 3600),
            QStringLiteral("Com3"),
            -5,
            7,
            {2, name, 180, 150, 160, 60, 235, 30}};
}

// Warm-up, T1 160 held 60 s, a climb, T3 235 held 30 s, a cool-down; the hold
// wobbles by 2 °C, and answers are lost for 5 s in the warm-up.
RunRecord followedRun(const QString& name = QStringLiteral("BGA")) {
    RunRecord record;
    record.beginRun(headerFor(name));
    for (int k = 1; k <= 40; ++k) {
        if (k >= 20 && k < 25)
            record.appendGap();
        else
            record.append(25 + 3 * k, 25 + 3 * k);
    }
    for (int k = 0; k < 60; ++k)
        record.append(160 + k % 5 - 2, 150 + k % 5 - 2);
    for (int k = 1; k <= 10; ++k)
        record.append(190 + k, 150);
    for (int k = 0; k < 30; ++k)
        record.append(235 + k % 5 - 2, 150);
    for (int k = 1; k <= 60; ++k)
        record.append(225 - 2 * k, 150 - k);
    return record;
}

RunReport reportOf(const RunRecord& record) {
    const std::optional<RunReport> report = lastRunReport(record, RunLimits{});
    if (!report)
        qFatal("a hand-made run without a second");
    return *report;
}

} // namespace

class TestRunReportPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void readerFindsTheVerdictAndTheFigures();
    void pageRendersWithBothCurves();
    void aDayLongRunStaysSmall();
    void referenceIsDrawnAndNamed();
    void refusingDisksLeaveNothingBehind_data();
    void refusingDisksLeaveNothingBehind();

private:
    QString pathOf(const QString& name) const { return QDir(m_dir->path()).filePath(name); }
    std::optional<QTemporaryDir> m_dir;
};

void TestRunReportPdf::initTestCase() {
    if (!havePoppler())
        QSKIP("poppler-utils is not installed (scripts/setup.sh test)");
}

void TestRunReportPdf::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void TestRunReportPdf::cleanup() {
    m_dir.reset();
}

void TestRunReportPdf::readerFindsTheVerdictAndTheFigures() {
    const QString path = pathOf(QStringLiteral("report.pdf"));
    const console::ReportWritten written = console::writeRunReport(path, reportOf(followedRun()));
    QVERIFY2(written.written, qPrintable(written.reason));

    const QString info = run(QStringLiteral("pdfinfo"), {path});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x "
                                                             "595(\\.\\d+)? pts \\(A4\\)"))),
             qPrintable(info));
    QVERIFY2(
        info.contains(QRegularExpression(QStringLiteral("Title:\\s+Прогон: профиль 2 «BGA»\\n"))),
        qPrintable(info));

    // Text a reader can select and search, written out by hand from the run above.
    const QString text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).simplified();
    const QStringList expected{
        "Прогон: профиль 2 «BGA»",
        "Начало: 10.12.2026 14:03:59 (UTC+03:00)",
        "Порт: Com3",
        "Длительность: 00:03:20",
        "Профиль выполнен",
        "Итоги прогона",
        "Пик верха",
        "237 °C на 115 с",
        "Выдержка T1 ±5",
        "60 с (от 41 с)",
        "Выдержка T3 ±5",
        "30 с (от 111 с)",
        "Пропуски связи",
        "1, всего 5 с, самый долгий 5 с",
        "✓ выдержка T1: 60 с из 60",
        "✓ перегрев над T3: +2 °C при допуске 5",
        "T3 = 235 °C",
        "Correct1 = -5 °C",
        "Время пайки (сек.)",
        "Температура (°C)",
        "Уставки T1, T3",
        "Пропуск связи",
        "irconsole 1.0.0.2",
    };
    for (const QString& line : expected)
        QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" not in:\n") + text));
}

// The page as a viewer shows it: landscape, the red and the blue curve drawn.
// The rendering is kept among the test artefacts for a look.
void TestRunReportPdf::pageRendersWithBothCurves() {
    const QString path = pathOf(QStringLiteral("report.pdf"));
    QVERIFY(console::writeRunReport(path, reportOf(followedRun())).written);
    const QString image = QDir(testsupport::artifactsDir()).filePath(QStringLiteral("run-report"));
    QCOMPARE(run(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), path, image}),
             QString());
    const QImage page(image + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    // A4 landscape at 100 dpi: 1169 x 827.
    QVERIFY2(qAbs(page.width() - 1169) <= 1 && qAbs(page.height() - 827) <= 1,
             qPrintable(QStringLiteral("%1x%2").arg(page.width()).arg(page.height())));
    int red = 0;
    int blue = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
            blue += c.blue() > 200 && c.red() < 80 && c.green() < 80;
        }
    }
    // Each curve crosses most of the chart's width (about 700 dots) at least once.
    QVERIFY2(red > 500, qPrintable(QString::number(red)));
    QVERIFY2(blue > 500, qPrintable(QString::number(blue)));
}

// 86,400 seconds, every reading different from the one before: the curve is
// thinned to the page's dots, not to fewer peaks.
void TestRunReportPdf::aDayLongRunStaysSmall() {
    RunRecord record;
    record.beginRun(headerFor(QStringLiteral("Сутки")));
    for (int s = 1; s <= 86'400; ++s) {
        if (s % 1000 == 0)
            record.appendGap();
        else
            record.append(150 + (s * 37) % 101, 100 + (s * 11) % 53);
    }
    const QString path = pathOf(QStringLiteral("day.pdf"));
    QVERIFY(console::writeRunReport(path, reportOf(record)).written);
    const qint64 size = QFileInfo(path).size();
    QVERIFY2(size > 0 && size < 2'000'000, qPrintable(QString::number(size)));
    const QString text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).simplified();
    QVERIFY2(text.contains(QStringLiteral("Длительность: 24:00:00")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("86, всего 86 с, самый долгий 1 с")), qPrintable(text));
}

void TestRunReportPdf::refusingDisksLeaveNothingBehind_data() {
    QTest::addColumn<QString>("disk");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only") << "ro"
                               << "диск только для чтения";
    QTest::newRow("full") << "full"
                          << "диск заполнен";
    QTest::newRow("no such folder") << "missing"
                                    << "";
}

// The report is whole under its name or not there at all, and no temporary is
// left beside it.
void TestRunReportPdf::refusingDisksLeaveNothingBehind() {
    QFETCH(QString, disk);
    QFETCH(QString, reason);
    const QString folder = pathOf(QStringLiteral("runs"));
    std::optional<testsupport::SmallDisk> mounted;
    if (disk == QLatin1String("ro")) {
        mounted.emplace(folder, QStringList{QStringLiteral("ro"), QStringLiteral("size=1m")});
        if (!mounted->mounted())
            QSKIP("mounting a read-only disk needs root");
    } else if (disk == QLatin1String("full")) {
        mounted.emplace(folder, QStringList{QStringLiteral("size=64k")});
        if (!mounted->mounted())
            QSKIP("mounting a small disk needs root");
        testsupport::fillUp(folder);
    }
    const QStringList before = testsupport::filesBelow(m_dir->path());
    const QString path = QDir(folder).filePath(QStringLiteral("отчёт.pdf"));
    const console::ReportWritten written = console::writeRunReport(path, reportOf(followedRun()));
    QVERIFY(!written.written);
    QVERIFY(!written.reason.isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(written.reason, reason);
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(testsupport::filesBelow(m_dir->path()), before);
}

// A run laid over a reference: the page names the reference, draws its two
// curves in their own tones, and the rules and figures hold the comparison.
void TestRunReportPdf::referenceIsDrawnAndNamed() {
    const RunRecord record = followedRun();
    // The reference: the same run, from second 120 on 7 °C cooler on the top and
    // 20 °C on the bottom (else its curve would lie under the run's).
    ReferenceRun reference;
    reference.fileName = QStringLiteral("2026-12-09_10-00_profil2_BGA.csv");
    reference.profile = RunProfile{2, QStringLiteral("BGA"), 0, 0, 0, 0, 0, 0};
    reference.start = QDateTime(QDate(2026, 12, 9), QTime(10, 0), Qt::OffsetFromUTC, 3 * 3600);
    reference.seconds = record.samples();
    for (std::size_t i = 119; i < reference.seconds.size(); ++i) {
        if (reference.seconds[i]) {
            reference.seconds[i]->top -= 7;
            reference.seconds[i]->bottom -= 20;
        }
    }
    const std::optional<RunReport> report = lastRunReport(record, RunLimits{}, &reference);
    QVERIFY(report);
    const QString path = pathOf(QStringLiteral("reference.pdf"));
    QVERIFY(console::writeRunReport(path, *report).written);

    const QString text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).simplified();
    const QStringList expected{
        // The facts' line wraps; "fi" is set as one glyph.
        "Эталон: профиль 2 «BGA», 09.12.2026 10:00",
        "(2026-12-09_10-00_pro",
        "l2_BGA.csv)",
        "Эталон, верх",
        "Эталон, низ",
        "Профиль не выполнен — в допуске эталона: 81 с из 195 вне ±5 °C",
        "Наибольшее Δ верха от эталона",
        "+7 °C на 120 с",
        "+20 °C на 120 с",
        "✗ в допуске эталона: 81 с из 195 вне ±5 °C",
    };
    for (const QString& line : expected)
        QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" not in:\n") + text));

    // Rendered at 100 dpi as a viewer shows it: "name.pdf" to "name.png".
    auto rendered = [this](const QString& name) {
        const QString stem = pathOf(name);
        const QString failed =
            run(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), stem + QStringLiteral(".pdf"), stem});
        if (!failed.isEmpty())
            qWarning("%s", qPrintable(failed));
        return QImage(stem + QStringLiteral(".png"));
    };
    const QImage page = rendered(QStringLiteral("reference"));
    QVERIFY(!page.isNull());
    QVERIFY(console::writeRunReport(pathOf(QStringLiteral("plain.pdf")), reportOf(record)).written);
    const QImage without = rendered(QStringLiteral("plain"));
    QVERIFY(!without.isNull());
    // The reference's tones are on the page only with the reference.
    for (const QColor& tone : {QColor(255, 90, 90), QColor(90, 90, 255)}) {
        const int with = testsupport::pixelsNear(page, tone);
        const int alone = testsupport::pixelsNear(without, tone);
        QVERIFY2(
            with > alone + 100,
            qPrintable(QStringLiteral("%1: %2 against %3").arg(tone.name()).arg(with).arg(alone)));
    }
}

QTEST_MAIN(TestRunReportPdf)
#include "tst_runreportpdf.moc"
