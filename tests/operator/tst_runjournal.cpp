// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal from the main window: on unless the settings file says 0, one file per run
// from the start to the stop or "<0>", what its "#" lines say, the export and the picture
// agreeing with it, the box a file that cannot be written shows, and the switch in the file.
#include "config/SettingsFile.h"
#include "console/RecordOptions.h"
#include "console/RunChart.h"
#include "console/RunExport.h"
#include "record/RunCsv.h"
#include "record/RunJournal.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/Pixels.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <optional>

using consoletest::control;

namespace {

using testsupport::fileBytes;
using testsupport::filesBelow;

// The settings file's lines that hold something, in order.
QList<QByteArray> settingsLines(const QByteArray& text) {
    QList<QByteArray> lines;
    for (const QByteArray& line : text.split('\n'))
        if (!line.trimmed().isEmpty())
            lines << line;
    return lines;
}

// The "#" lines of a file before its header row.
QList<QByteArray> headerOf(const QByteArray& text) {
    QList<QByteArray> lines;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith('#'))
            break;
        lines << line;
    }
    return lines;
}

// The rows after the header row, "#" lines among them included, up to the
// lines that close a finished run's file (from "# length:" on).
QByteArray rowsOf(const QByteArray& text) {
    const qsizetype header = text.indexOf("time_s,top_c,bottom_c\n");
    if (header < 0)
        return {};
    const QByteArray rows = text.mid(header + 22);
    const qsizetype closing = rows.indexOf("# length: ");
    return closing < 0 ? rows : rows.left(closing);
}

// What the journal says of profile 0 of consoletest::kFullSettings and its
// corrections, written out by hand; the start and the port come before it.
const QList<QByteArray> kProfile0Lines = {
    "# Correct1: -5", "# Correct2: 7", "# profile: 0", "# Name: Бессвинцовый BGA",
    "# T0: 180",      "# TB: 150",     "# T1: 160",    "# S1: 60",
    "# T3: 235",      "# S3: 30"};

} // namespace

class TestRunJournal : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void switchesReadAsTheirDefaultsUnlessTheFileSays_data();
    void switchesReadAsTheirDefaultsUnlessTheFileSays();
    void togglingWritesOnlyItsOwnKey();
    void refusedSettingsWriteLeavesTheSwitchAsItWas();
    void eachRunHasAFileOfItsOwnNamedByItsStart();
    void fileSaysWhatTheRunRecords();
    void exportAndPictureAgreeWithTheJournal();
    void switchedOffAndOnMidRunTheFileGoesOn();
    void unwritableRunsShowOneBoxAndTheRunGoesOn();
    void profileNamesFilesCannotHoldStayInsideRuns_data();
    void profileNamesFilesCannotHoldStayInsideRuns();
    void runEndShowsItsVerdictAndEndsItsFile_data();
    void runEndShowsItsVerdictAndEndsItsFile();
    void limitsSavedFromTheMenuJudgeTheNextRun();
    void reportGoesBesideTheRunsFile_data();
    void reportGoesBesideTheRunsFile();
    void reportFromTheMenuIsTheRunSoFarOrTheLastOne();
    void runAgainstAReferenceIsJudgedAndNamed();

private:
    QString runsFolder() const { return QDir(m_dir->path()).filePath(QStringLiteral("runs")); }
    // The console on these settings, stepped by a clock the test moves.
    bool startConsoleWith(const QByteArray& settings);
    // Toggles a switch of the chart's menu as the operator's click does.
    void click(const char* action);
    void start() { consoletest::startRunWithoutLink(*m_form); }
    void tick() { consoletest::tickOneSecond(*m_form, *m_clock); }
    void selectProfile(int number);
    // The journal's files once the writer has done, as paths below runs/.
    QStringList runFiles() {
        m_form->runJournal().waitForWriter();
        return filesBelow(runsFolder()).filter(QRegularExpression(QStringLiteral("\\.csv$")));
    }
    // Every file below runs/, the reports beside the journal's files too.
    QStringList allRunFiles() {
        m_form->runJournal().waitForWriter();
        return filesBelow(runsFolder());
    }
    QByteArray runFile(const QString& name) { return fileBytes(QDir(runsFolder()).filePath(name)); }

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form;
    std::optional<consoletest::HandClock> m_clock;
    console::RunChart* m_chart = nullptr;
};

void TestRunJournal::init() {
    m_dir.emplace();
}

void TestRunJournal::cleanup() {
    m_clock.reset();
    m_form.reset();
    m_dir.reset();
}

bool TestRunJournal::startConsoleWith(const QByteArray& settings) {
    m_dir->writeSettings(settings);
    m_form = consoletest::startConsole();
    if (!m_form)
        return false;
    m_clock.emplace(*m_form);
    m_chart = control<console::RunChart>(*m_form, "Chart1");
    return m_chart != nullptr;
}

void TestRunJournal::click(const char* action) {
    auto* item = m_form->findChild<QAction*>(QLatin1String(action));
    QVERIFY(item);
    item->trigger(); // flips the check mark and reports it, as a click does
}

void TestRunJournal::selectProfile(int number) {
    auto* combo = control<QComboBox>(*m_form, "ComboBox1");
    combo->setCurrentIndex(number);
    emit combo->activated(number); // as the operator's pick
}

void TestRunJournal::switchesReadAsTheirDefaultsUnlessTheFileSays_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<bool>("targets");
    QTest::newRow("no section: the journal on") << QByteArray() << true << false;
    QTest::newRow("both on") << QByteArray("[Record]\nAutoSave=1\nTargets=1\n") << true << true;
    QTest::newRow("journal off") << QByteArray("[Record]\nAutoSave=0\n") << false << false;
    QTest::newRow("targets only") << QByteArray("[Record]\nTargets=1\n") << true << true;
    QTest::newRow("both off") << QByteArray("[Record]\nAutoSave=0\nTargets=0\n") << false << false;
    QTest::newRow("no numbers: each switch's default")
        << QByteArray("[Record]\nAutoSave=yes\nTargets=1x\n") << true << false;
    QTest::newRow("other numbers")
        << QByteArray("[Record]\nAutoSave=2\nTargets=-1\n") << true << false;
    QTest::newRow("empty values") << QByteArray("[Record]\nAutoSave=\nTargets=\n") << true << false;
}

// Read at start-up, never written by it.
void TestRunJournal::switchesReadAsTheirDefaultsUnlessTheFileSays() {
    QFETCH(QByteArray, record);
    QFETCH(bool, autoSave);
    QFETCH(bool, targets);
    const QByteArray settings = consoletest::kFullSettings + record;
    QVERIFY(startConsoleWith(settings));

    QCOMPARE(control<QAction>(*m_form, "ActionAutoSave")->isChecked(), autoSave);
    QCOMPARE(control<QAction>(*m_form, "ActionShowTargets")->isChecked(), targets);
    QCOMPARE(m_form->runJournal().isOn(), autoSave);
    QCOMPARE(m_chart->targetsShown(), targets);
    QCOMPARE(m_dir->readSettings(), settings);

    config::SettingsFile ini;
    QCOMPARE(console::readRecordOption(ini, console::RecordOption::AutoSave), autoSave);
    QCOMPARE(console::readRecordOption(ini, console::RecordOption::Targets), targets);

    // What the switch says is what happens to a run.
    start();
    tick();
    QCOMPARE(runFiles().size(), autoSave ? 1 : 0);
}

// The accessor lays the file out in its own way (blank lines between sections);
// what counts is that every line but the switch's stays as it was.
void TestRunJournal::togglingWritesOnlyItsOwnKey() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    const QList<QByteArray> before = settingsLines(consoletest::kFullSettings);

    click("ActionAutoSave");
    QVERIFY(!m_form->runJournal().isOn());
    QCOMPARE(settingsLines(m_dir->readSettings().value_or(QByteArray())),
             (before + QList<QByteArray>{"[Record]", "AutoSave=0"}));

    click("ActionShowTargets");
    QVERIFY(m_chart->targetsShown());
    QCOMPARE(settingsLines(m_dir->readSettings().value_or(QByteArray())),
             (before + QList<QByteArray>{"[Record]", "AutoSave=0", "Targets=1"}));

    click("ActionAutoSave");
    QVERIFY(m_form->runJournal().isOn());
    QCOMPARE(settingsLines(m_dir->readSettings().value_or(QByteArray())),
             (before + QList<QByteArray>{"[Record]", "AutoSave=1", "Targets=1"}));

    // The next start-up reads what the operator left.
    click("ActionAutoSave");
    m_clock.reset();
    m_form.reset();
    m_form = consoletest::startConsole();
    QVERIFY(m_form);
    QVERIFY(!control<QAction>(*m_form, "ActionAutoSave")->isChecked());
    QVERIFY(control<QAction>(*m_form, "ActionShowTargets")->isChecked());
}

// The settings file replaced by a folder: the write is refused with the error
// box, and the switch stays as it was.
void TestRunJournal::refusedSettingsWriteLeavesTheSwitchAsItWas() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    QVERIFY(QFile::remove(m_dir->settingsPath()));
    QVERIFY(QDir().mkpath(m_dir->settingsPath()));

    testsupport::ModalWatcher boxes;
    click("ActionAutoSave");
    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("Unable to write to ") + m_dir->settingsPath() + '.'});
    QVERIFY(control<QAction>(*m_form, "ActionAutoSave")->isChecked());
    QVERIFY(m_form->runJournal().isOn());

    boxes.clear();
    click("ActionShowTargets");
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY(!control<QAction>(*m_form, "ActionShowTargets")->isChecked());
    QVERIFY(!m_chart->targetsShown());
}

// Start, stop, start, stop, then "<0>" in the middle of a third run: three files,
// each named by its run's start, each counting its seconds from 1, while the
// window's clock and chart go on across the stop as they always did.
void TestRunJournal::eachRunHasAFileOfItsOwnNamedByItsStart() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    testsupport::ModalWatcher boxes;
    const QString profileName = QStringLiteral("Бессвинцовый BGA");

    const QDateTime before = QDateTime::currentDateTime();
    start();
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(runFiles().isEmpty()); // no second yet
    tick();
    m_chart->appendSample(195, 123);
    tick();
    m_form->Stop();
    const QStringList first = runFiles();
    QCOMPARE(first.size(), 1);
    QVERIFY2(first.front() == record::suggestedFileName(before, 0, profileName, "csv") ||
                 first.front() == record::suggestedFileName(after, 0, profileName, "csv"),
             qPrintable(first.front()));
    QCOMPARE(rowsOf(runFile(first.front())), QByteArray("1,,\n2,195,123\n3,,\n"));

    m_form->Start();
    m_chart->appendSample(-4, 310);
    tick();
    m_form->Stop();
    // The clock (its own three ticks; the readings above were fed to the chart)
    // and the chart went on from where they were.
    QCOMPARE(control<QLabel>(*m_form, "FTimer")->text(), QStringLiteral("00:00:03"));
    QCOMPARE(m_chart->record().size(), qsizetype(5));
    QStringList files = runFiles();
    QCOMPARE(files.size(), 2);
    files.removeOne(first.front());
    QCOMPARE(rowsOf(runFile(files.front())), QByteArray("1,-4,310\n2,,\n"));

    m_form->Start();
    tick();
    control<QPushButton>(*m_form, "TimerToZero")->click();
    tick();
    m_chart->appendSample(1, 2);
    m_form->Stop();
    QCOMPARE(runFiles().size(), 4);
    QCOMPARE(m_form->runJournal().currentPath(), QString()); // no run going on
    QByteArray lastRun;
    for (const QString& name : runFiles())
        if (rowsOf(runFile(name)) == "1,,\n2,1,2\n")
            lastRun = runFile(name);
    QVERIFY(!lastRun.isEmpty());
    QVERIFY(boxes.boxes().isEmpty());
}

// The "#" lines say the run's start, the port, the corrections and the profile as
// shown when it started; a change of profile in the run stands before the row
// of its second.
void TestRunJournal::fileSaysWhatTheRunRecords() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    testsupport::ModalWatcher boxes; // the warning a change during a run shows
    m_form->NumberPort = QStringLiteral("Com3");
    const QDateTime before = QDateTime::currentDateTime();
    start();
    const QDateTime after = QDateTime::currentDateTime();
    m_chart->appendSample(150, 90);
    selectProfile(3);
    m_chart->appendSample(151, 91);
    tick();
    m_form->Stop();
    QCOMPARE(boxes.boxes().size(), 1);

    const QByteArray file = runFile(runFiles().value(0));
    const QList<QByteArray> header = headerOf(file);
    QCOMPARE(header.size(), 13);
    QCOMPARE(header.at(0), "# version: " + QByteArray(IRCONSOLE_PROJECT_VERSION));
    QCOMPARE(header.mid(2), QList<QByteArray>{"# port: Com3"} + kProfile0Lines);
    const QByteArray start = header.at(1).mid(9);
    QVERIFY2(start == record::isoTimeWithOffset(before).toUtf8() ||
                 start == record::isoTimeWithOffset(after).toUtf8(),
             start.constData());
    // Profile 3 of the settings, written out by hand: T3 0x10 reads as 16, S3 -7.
    QCOMPARE(rowsOf(file), QByteArray("1,150,90\n# profile_change: second=2 profile=3 T0=100 "
                                      "TB=120 T1=140 S1=45 T3=16 S3=-7 Name=Свинец\n2,151,91\n"
                                      "3,,\n"));
}

// One run from "<0>": the journal's file, "Экспорт данных..." and the record are
// the same bytes; the picture is the record's.
void TestRunJournal::exportAndPictureAgreeWithTheJournal() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    start();
    for (int s = 1; s <= 1200; ++s) {
        if (s % 97 == 0)
            tick(); // no link: a gap
        else
            m_chart->appendSample(25 + s % 230, 25 + (s * 7) % 200);
    }
    const QString exported = QDir(m_dir->path()).filePath(QStringLiteral("export.csv"));
    QVERIFY(m_form->exportCsvTo(exported));
    const QString picture = QDir(m_dir->path()).filePath(QStringLiteral("run.png"));
    QVERIFY(m_form->saveChartTo(picture));
    const QByteArray journal = runFile(runFiles().value(0));
    QCOMPARE(journal.count('\n'), 13 + 1 + 1200);
    QVERIFY(journal == fileBytes(exported));
    QVERIFY(journal == record::csvText(m_chart->record()));
    QCOMPARE(QImage(picture).convertToFormat(QImage::Format_RGB32),
             console::renderRunChart(m_chart->record()).image);
}

// The switch off for a while in a run, then on: the same file, with every second
// of the run, and no second file for it.
void TestRunJournal::switchedOffAndOnMidRunTheFileGoesOn() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    start();
    m_chart->appendSample(1, 1);
    tick();
    m_form->runJournal().waitForWriter();
    const QString path = m_form->runJournal().currentPath();
    QVERIFY(!path.isEmpty());
    click("ActionAutoSave");
    m_chart->appendSample(2, 2);
    tick();
    m_form->runJournal().waitForWriter();
    QCOMPARE(rowsOf(fileBytes(path)), QByteArray("1,1,1\n2,,\n"));
    click("ActionAutoSave");
    m_chart->appendSample(3, 3);
    QCOMPARE(runFiles().size(), 1);
    QCOMPARE(m_form->runJournal().currentPath(), path);
    QCOMPARE(rowsOf(fileBytes(path)), QByteArray("1,1,1\n2,,\n3,2,2\n4,,\n5,3,3\n"));
}

void TestRunJournal::unwritableRunsShowOneBoxAndTheRunGoesOn() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    {
        QFile blocker(runsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("x");
    }
    testsupport::ModalWatcher boxes;
    start();
    for (int s = 1; s <= 5; ++s)
        tick();
    m_form->runJournal().waitForWriter();
    QTRY_COMPARE(boxes.boxes().size(), 1);
    const QString text = boxes.boxes().front().text;
    QVERIFY2(text.startsWith(QStringLiteral("Журнал прогона не записан в ") + runsFolder() +
                             QLatin1Char('/')),
             qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral(
                 ".csv: на месте папки runs лежит файл. Прогон идёт дальше без журнала.")),
             qPrintable(text));
    QCOMPARE(boxes.boxes().front().icon, QMessageBox::Critical);
    for (int s = 6; s <= 10; ++s)
        tick();
    m_form->runJournal().waitForWriter();
    QTest::qWait(100);
    QCOMPARE(boxes.boxes().size(), 1);

    QCOMPARE(control<QLabel>(*m_form, "FTimer")->text(), QStringLiteral("00:00:10"));
    QCOMPARE(m_chart->record().size(), qsizetype(10));
    QCOMPARE(consoletest::curveText(m_chart->topSeries()).size(), 10);
    QVERIFY(control<QAction>(*m_form, "ActionAutoSave")->isChecked());
    QCOMPARE(filesBelow(m_dir->path()),
             (QStringList{QStringLiteral("Iniprofil.ini"), QStringLiteral("runs")}));
}

void TestRunJournal::profileNamesFilesCannotHoldStayInsideRuns_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("slashes") << QStringLiteral("../../escape/x");
    QTest::newRow("backslashes") << QStringLiteral("..\\..\\x");
    QTest::newRow("colon and star") << QStringLiteral("C:*?\"<>|");
    QTest::newRow("control characters") << QStringLiteral("a\nb\tc\x01\x1f\x7f");
    QTest::newRow("dots") << QStringLiteral("..");
    QTest::newRow("200 characters") << QString(200, QLatin1Char('/'));
    QTest::newRow("200 cyrillic") << QString(200, QChar(0x0416));
}

void TestRunJournal::profileNamesFilesCannotHoldStayInsideRuns() {
    QFETCH(QString, name);
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    control<QLabel>(*m_form, "Label37")->setText(name);
    testsupport::ModalWatcher boxes;
    start();
    tick();
    tick();
    m_form->runJournal().waitForWriter();
    QTest::qWait(100);

    QVERIFY(boxes.boxes().isEmpty());
    const QStringList files = filesBelow(m_dir->path());
    QCOMPARE(files.size(), 2);
    QCOMPARE(files.at(0), QStringLiteral("Iniprofil.ini"));
    QVERIFY2(files.at(1).startsWith(QStringLiteral("runs/")) && files.at(1).count('/') == 1,
             qPrintable(files.at(1)));
    QVERIFY(QFileInfo(files.at(1)).fileName().toUtf8().size() < 256);
    const QByteArray file = fileBytes(m_form->runJournal().currentPath());
    QCOMPARE(rowsOf(file), QByteArray("1,,\n2,,\n"));
    // The name in its "#" line, on one line whatever it holds.
    QCOMPARE(headerOf(file).size(), 13);
}

// Seconds of a run as the test gives them: "top/bottom" a reading, "-" a tick
// without an answer (a gap).
using Seconds = QStringList;

// Profile 0 of the settings followed: T1 160 for 60 s, T3 235 for 30 s, the bottom
// at 150. Holds wobble by up to 2 °C, so no two neighbouring readings agree.
static Seconds followedProfile0() {
    Seconds seconds;
    auto wobble = [](int k) {
        return k % 5 - 2;
    };
    for (int k = 1; k <= 10; ++k)
        seconds << QStringLiteral("%1/%1").arg(100 + 4 * k);
    for (int k = 0; k < 60; ++k)
        seconds << QStringLiteral("%1/%2").arg(160 + wobble(k)).arg(150 + wobble(k));
    for (int k = 1; k <= 10; ++k)
        seconds << QStringLiteral("%1/150").arg(190 + k);
    for (int k = 0; k < 30; ++k)
        seconds << QStringLiteral("%1/%2").arg(235 + wobble(k)).arg(150 - wobble(k));
    for (int k = 1; k <= 5; ++k)
        seconds << QStringLiteral("%1/140").arg(220 - 8 * k);
    return seconds;
}

void TestRunJournal::runEndShowsItsVerdictAndEndsItsFile_data() {
    QTest::addColumn<Seconds>("seconds");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("followed: green")
        << followedProfile0() << "Профиль выполнен" << QColor(0, 128, 0);
    QTest::newRow("three silent seconds: red")
        << Seconds(3, QStringLiteral("-")) << "Профиль не выполнен — выдержка T1: 0 с из 60"
        << QColor(200, 0, 0);
    QTest::newRow("silent longer than the T1 hold: grey")
        << Seconds(61, QStringLiteral("-"))
        << "Не проверено — выдержка T1: 0 с из 60, пропуск связи в выдержке"
        << QColor(110, 110, 110);
    Seconds overshoot = followedProfile0();
    overshoot[110] = QStringLiteral("241/150");
    QTest::newRow("overshoot: red")
        << overshoot << "Профиль не выполнен — перегрев над T3: +6 °C при допуске 5"
        << QColor(200, 0, 0);
}

// At the stop the chart's corner says how the run stood, in its colour, the
// pointer on it shows the summary, and the run's file ends with the same words;
// the next start takes the line away.
void TestRunJournal::runEndShowsItsVerdictAndEndsItsFile() {
    QFETCH(Seconds, seconds);
    QFETCH(QString, line);
    QFETCH(QColor, colour);
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    start();
    for (const QString& second : std::as_const(seconds)) {
        if (second == QLatin1String("-")) {
            tick();
        } else {
            const QStringList values = second.split(QLatin1Char('/'));
            m_chart->appendSample(values.at(0).toInt(), values.at(1).toInt());
        }
    }
    auto* verdict = control<QLabel>(*m_form, "RunVerdict");
    QVERIFY(!verdict->isVisible());
    m_form->Stop();

    QVERIFY(verdict->isVisible());
    QCOMPARE(verdict->text(), line);
    QVERIFY2(verdict->styleSheet().contains(colour.name()), qPrintable(verdict->styleSheet()));
    const QStringList summary = verdict->toolTip().split(QLatin1Char('\n'));
    QCOMPARE(summary.value(0), line);
    QVERIFY2(summary.contains(QStringLiteral("Длительность: %1 с, с показаниями %2 с")
                                  .arg(seconds.size())
                                  .arg(seconds.size() - seconds.count(QStringLiteral("-")))),
             qPrintable(verdict->toolTip()));
    // Over the plot, inside its top right corner.
    const QRectF plot = m_chart->chart()->plotArea();
    QVERIFY(verdict->geometry().right() <= plot.right());
    QVERIFY(verdict->geometry().top() >= plot.top());

    const QStringList files = runFiles();
    QCOMPARE(files.size(), 1);
    const QByteArray bytes = runFile(files.first());
    QVERIFY2(bytes.endsWith("# verdict: " + line.toUtf8() + '\n'), bytes.right(400).constData());
    QVERIFY(bytes.contains("\n# length: " + QByteArray::number(seconds.size()) + '\n'));
    // The export of the finished run says the same, byte for byte.
    const QString exported = QDir(m_dir->path()).filePath(QStringLiteral("export.csv"));
    QVERIFY(m_form->exportCsvTo(exported));
    QCOMPARE(fileBytes(exported), bytes);

    start();
    QVERIFY(!verdict->isVisible());
}

// "Допуски прогона..." in the chart's menu: a tolerance of 1 saved there judges the
// next run (the T1 hold wobbles 158..162: three seconds in a row within 159..161).
void TestRunJournal::limitsSavedFromTheMenuJudgeTheNextRun() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    bool saved = false;
    QTimer::singleShot(0, this, [&saved] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("RunLimitsDialog"))
            return;
        dialog->findChild<QLineEdit*>(QStringLiteral("EditTolerance"))
            ->setText(QStringLiteral("1"));
        dialog->findChild<QPushButton*>(QStringLiteral("ButtonSave"))->click();
        saved = true;
    });
    auto* action = m_form->findChild<QAction*>(QStringLiteral("ActionRunLimits"));
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("Допуски прогона..."));
    action->trigger();
    QVERIFY(saved);
    QVERIFY(m_dir->readSettings()->contains("[Record]\nTolerance=1\nLiquidus=217\n"));

    start();
    for (const QString& second : followedProfile0()) {
        const QStringList values = second.split(QLatin1Char('/'));
        m_chart->appendSample(values.at(0).toInt(), values.at(1).toInt());
    }
    m_form->Stop();
    QCOMPARE(control<QLabel>(*m_form, "RunVerdict")->text(),
             QStringLiteral("Профиль не выполнен — выдержка T1: 3 с из 60"));
}

void TestRunJournal::reportGoesBesideTheRunsFile_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("report");
    QTest::newRow("journal on") << QByteArray() << true;
    QTest::newRow("journal off: no file, no report")
        << QByteArray("[Record]\nAutoSave=0\n") << false;
}

// At each run's end, with the journal on, the one-page report is written beside
// the run's file under the same name.
void TestRunJournal::reportGoesBesideTheRunsFile() {
    QFETCH(QByteArray, record);
    QFETCH(bool, report);
    QVERIFY(startConsoleWith(consoletest::kFullSettings + record));
    testsupport::ModalWatcher boxes;
    for (int run = 0; run < 2; ++run) {
        start();
        for (const QString& second : followedProfile0()) {
            const QStringList values = second.split(QLatin1Char('/'));
            m_chart->appendSample(values.at(0).toInt(), values.at(1).toInt());
        }
        m_form->Stop();
    }
    if (!report) {
        QTest::qWait(200);
        QCOMPARE(allRunFiles(), QStringList());
        return;
    }
    QTRY_COMPARE(allRunFiles().size(), 4);
    const QStringList files = allRunFiles();
    QVERIFY2(files[0].endsWith(QLatin1String(".csv")) && files[2].endsWith(QLatin1String(".csv")),
             qPrintable(files.join(QLatin1Char(' '))));
    for (const int csv : {0, 2}) {
        const QString pdf = files[csv].chopped(4) + QStringLiteral(".pdf");
        QCOMPARE(files[csv + 1], pdf);
        const QByteArray bytes = runFile(pdf);
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
    }
    QCOMPARE(boxes.texts(), QStringList());
}

void TestRunJournal::reportFromTheMenuIsTheRunSoFarOrTheLastOne() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings + "[Record]\nAutoSave=0\n"));
    auto* action = m_form->findChild<QAction*>(QStringLiteral("ActionSaveReport"));
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("Сохранить отчёт (PDF)..."));
    const QString path = QDir(m_dir->path()).filePath(QStringLiteral("отчёт.pdf"));
    QVERIFY(!m_form->saveReportTo(path)); // no run yet: nothing to report
    QVERIFY(!QFileInfo::exists(path));

    start();
    m_chart->appendSample(100, 50);
    QVERIFY(m_form->saveReportTo(path)); // the run so far
    QVERIFY(fileBytes(path).startsWith("%PDF-"));
    m_form->Stop();
    m_form->findChild<QPushButton*>(QStringLiteral("TimerToZero"))->click();
    QVERIFY(m_chart->record().isEmpty());
    QFile::remove(path);
    QVERIFY(m_form->saveReportTo(path)); // the last finished run, though the chart was reset
    QVERIFY(fileBytes(path).startsWith("%PDF-"));

    // A folder that is not there: one box that names the file, nothing written.
    testsupport::ModalWatcher boxes;
    const QString nowhere = QDir(m_dir->path()).filePath(QStringLiteral("нет/отчёт.pdf"));
    QVERIFY(!m_form->saveReportTo(nowhere));
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY2(boxes.texts().constFirst().startsWith(
                 QStringLiteral("Отчёт прогона не записан в %1: ").arg(nowhere)),
             qPrintable(boxes.texts().constFirst()));
    QVERIFY(!QFileInfo::exists(nowhere));
}

// A good run kept as the reference, and the same run again with the top 8 °C
// hotter over its last three seconds: the verdict fails on the reference's
// rule alone, the journal's file names the reference and ends with the
// comparison, and the picture draws it.
void TestRunJournal::runAgainstAReferenceIsJudgedAndNamed() {
    QVERIFY(startConsoleWith(consoletest::kFullSettings));
    const Seconds good = followedProfile0();
    QByteArray table = "time_s,top_c,bottom_c\n";
    for (int s = 1; s <= good.size(); ++s)
        table += QByteArray::number(s) + ',' + good.at(s - 1).toLatin1().replace('/', ',') + '\n';
    const QString reference = QDir(m_dir->path()).filePath(QStringLiteral("эталон.csv"));
    QFile file(reference);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(table) == table.size());
    file.close();
    QVERIFY(m_form->chooseReference(reference));

    start();
    const qsizetype length = good.size();
    for (qsizetype s = 1; s <= length; ++s) {
        const QStringList values = good.at(s - 1).split(QLatin1Char('/'));
        m_chart->appendSample(values.at(0).toInt() + (s > length - 3 ? 8 : 0),
                              values.at(1).toInt());
    }
    QCOMPARE(m_chart->deviationLine()->text(), QStringLiteral("Δ верх +8 °C  Δ низ 0 °C"));
    m_form->Stop();
    QCOMPARE(
        control<QLabel>(*m_form, "RunVerdict")->text(),
        QStringLiteral("Профиль не выполнен — в допуске эталона: 3 с из %1 вне ±5 °C").arg(length));

    const QStringList files = runFiles();
    QCOMPARE(files.size(), 1);
    const QByteArray bytes = runFile(files.first());
    QVERIFY2(headerOf(bytes).contains("# reference: эталон.csv"), bytes.left(600).constData());
    QVERIFY2(bytes.contains("# reference_top: 8 second=" + QByteArray::number(length - 2) +
                            "\n# reference_bottom: 0 second=1\n# reference_outside: 3 compared=" +
                            QByteArray::number(length) + '\n'),
             bytes.right(900).constData());
    const QString exported = QDir(m_dir->path()).filePath(QStringLiteral("export.csv"));
    QVERIFY(m_form->exportCsvTo(exported));
    QCOMPARE(fileBytes(exported), bytes);

    // The picture: the reference's tones where the reference lies apart from
    // the run (here 30 °C lower all along).
    record::ReferenceRun lower = *m_chart->reference();
    for (record::RunSecond& second : lower.seconds)
        *second = {second->top - 30, second->bottom - 30};
    const QImage with =
        console::renderRunChart(m_chart->record(), console::kRunPictureSize, {}, &lower).image;
    const QImage without = console::renderRunChart(m_chart->record()).image;
    for (const QColor& tone :
         {console::RunChart::kReferenceTopColour, console::RunChart::kReferenceBottomColour})
        QVERIFY2(testsupport::pixelsNear(with, tone) > testsupport::pixelsNear(without, tone) + 200,
                 qPrintable(tone.name()));
}

QTEST_MAIN(TestRunJournal)
#include "tst_runjournal.moc"
