// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: every run written to runs/ second by second, its switch in the settings
// file, and the files it cannot write.
#include "config/SettingsFile.h"
#include "console/RecordOptions.h"
#include "console/RunChart.h"
#include "console/RunExport.h"
#include "record/RunJournal.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <unistd.h>

using consoletest::control;

namespace {

constexpr int kSecondsPerDay = 86400;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file below `folder`, as paths relative to it.
QStringList filesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// A second written "top/bottom" for a reading or "-" for a gap.
void recordSecond(record::RunRecord& record, const QString& second) {
    if (second == QLatin1String("-")) {
        record.appendGap();
    } else {
        const QStringList values = second.split(QLatin1Char('/'));
        record.append(values.at(0).toInt(), values.at(1).toInt());
    }
}

// The settings file's lines that hold something, in order.
QList<QByteArray> settingsLines(const QByteArray& text) {
    QList<QByteArray> lines;
    for (const QByteArray& line : text.split('\n'))
        if (!line.trimmed().isEmpty())
            lines << line;
    return lines;
}

bool runAsRoot() {
    return ::geteuid() == 0;
}

// A tmpfs of `size` mounted on `path` for as long as the object lives.
class SmallDisk {
public:
    SmallDisk(const QString& path, const QString& size) : m_path(path) {
        QDir().mkpath(path);
        m_mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=") + size, QStringLiteral("tmpfs"), path}) == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_path});
    }
    bool mounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

} // namespace

class TestRunJournal : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The journal on its own.
    void eachSecondIsAppendedAsTheExportWritesIt_data();
    void eachSecondIsAppendedAsTheExportWritesIt();
    void offWritesNothing();
    void switchedOnMidRunWritesTheRunSoFarThenAppends();
    void aResetStartsANewFileAndNoFileIsOverwritten();
    void fileThatCannotBeWrittenFailsOnceForTheRun_data();
    void fileThatCannotBeWrittenFailsOnceForTheRun();
    void fullDiskEndsTheRunsJournalAtItsLastCompleteRow();

    // From the main window.
    void switchesReadAsOffUnlessTheFileSaysOne_data();
    void switchesReadAsOffUnlessTheFileSaysOne();
    void togglingWritesOnlyItsOwnKey();
    void refusedSettingsWriteLeavesTheSwitchAsItWas();
    void consoleJournalsEachRunUnderTheExportsName();
    void aDayLongRunMatchesTheExportByteForByte();
    void unwritableRunsShowOneBoxAndTheRunGoesOn();
    void profileNamesFilesCannotHoldStayInsideRuns_data();
    void profileNamesFilesCannotHoldStayInsideRuns();

private:
    QString runsFolder() const { return QDir(m_dir->path()).filePath(QStringLiteral("runs")); }
    // A journal over m_record writing to runs/ under `name`.
    record::RunJournal& makeJournal(const QString& name = QStringLiteral("run.csv"));
    void second(const QString& text) {
        recordSecond(m_record, text);
        m_journal->secondRecorded();
    }
    std::unique_ptr<TForm1> startConsoleWith(const QByteArray& settings);
    // Toggles a switch of the chart's menu as the operator's click does.
    void click(TForm1& form, const char* action);

    std::optional<testsupport::TempAppDir> m_dir;
    record::RunRecord m_record;
    std::unique_ptr<record::RunJournal> m_journal;
    QString m_name;
};

void TestRunJournal::init() {
    m_dir.emplace();
    m_record.clear();
}

void TestRunJournal::cleanup() {
    m_journal.reset();
    m_dir.reset();
}

record::RunJournal& TestRunJournal::makeJournal(const QString& name) {
    m_name = name;
    m_journal =
        std::make_unique<record::RunJournal>(m_record, runsFolder(), [this] { return m_name; });
    return *m_journal;
}

std::unique_ptr<TForm1> TestRunJournal::startConsoleWith(const QByteArray& settings) {
    m_dir->writeSettings(settings);
    return consoletest::startConsole();
}

void TestRunJournal::click(TForm1& form, const char* action) {
    auto* item = form.findChild<QAction*>(QLatin1String(action));
    QVERIFY(item);
    item->trigger(); // flips the check mark and reports it, as a click does
}

void TestRunJournal::eachSecondIsAppendedAsTheExportWritesIt_data() {
    QTest::addColumn<QStringList>("seconds");
    QTest::newRow("readings") << QStringList{"195/123", "196/124", "-4/310"};
    QTest::newRow("a gap in the middle") << QStringList{"20/21", "-", "22/23"};
    QTest::newRow("gap first and last") << QStringList{"-", "0/0", "-"};
    QTest::newRow("extremes") << QStringList{"-2147483648/2147483647", "-", "1/1"};
}

// After every second the file is the export of the run so far, and it is the
// same file all along: a reader that opened it at the start sees every row.
void TestRunJournal::eachSecondIsAppendedAsTheExportWritesIt() {
    QFETCH(QStringList, seconds);
    record::RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &record::RunJournal::writeFailed);
    journal.setOn(true);

    second(seconds.first());
    const QString path = journal.currentPath();
    QCOMPARE(path, QDir(runsFolder()).absoluteFilePath(QStringLiteral("run.csv")));
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QCOMPARE(reader.readAll(), record::csvText(m_record));
    for (const QString& text : seconds.mid(1)) {
        second(text);
        QVERIFY(reader.seek(0));
        QCOMPARE(reader.readAll(), record::csvText(m_record));
    }
    QCOMPARE(failed.count(), 0);
}

void TestRunJournal::offWritesNothing() {
    record::RunJournal& journal = makeJournal();
    QVERIFY(!journal.isOn());
    second(QStringLiteral("1/2"));
    second(QStringLiteral("-"));
    QVERIFY(journal.currentPath().isEmpty());
    QVERIFY(!QFileInfo::exists(runsFolder()));

    // Switched off mid-run, the file keeps what it had; nothing more is added.
    journal.setOn(true);
    const QString path = journal.currentPath();
    journal.setOn(false);
    second(QStringLiteral("3/4"));
    QCOMPARE(fileBytes(path), QByteArray("time_s,top_c,bottom_c\n1,1,2\n2,,\n"));
    QCOMPARE(filesBelow(runsFolder()), QStringList{QStringLiteral("run.csv")});
}

void TestRunJournal::switchedOnMidRunWritesTheRunSoFarThenAppends() {
    record::RunJournal& journal = makeJournal();
    for (int s = 1; s <= 75; ++s)
        second(s % 10 == 0 ? QStringLiteral("-") : QStringLiteral("%1/%2").arg(s).arg(100 - s));
    QVERIFY(!QFileInfo::exists(runsFolder()));

    journal.setOn(true);
    const QString path = journal.currentPath();
    QCOMPARE(fileBytes(path), record::csvText(m_record));
    second(QStringLiteral("7/8"));
    second(QStringLiteral("-"));
    QCOMPARE(fileBytes(path), record::csvText(m_record));
    QVERIFY(fileBytes(path).endsWith("75,75,25\n76,7,8\n77,,\n"));
}

// Each run has its own file from its first second; a name already taken (an
// earlier run in the same minute, or any file) gets a number instead.
void TestRunJournal::aResetStartsANewFileAndNoFileIsOverwritten() {
    record::RunJournal& journal = makeJournal();
    QVERIFY(QDir().mkpath(runsFolder()));
    {
        QFile earlier(QDir(runsFolder()).filePath(QStringLiteral("run.csv")));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("kept\n");
    }
    journal.setOn(true);
    second(QStringLiteral("1/1"));
    second(QStringLiteral("2/2"));
    const QByteArray firstRun = record::csvText(m_record);

    m_record.clear();
    journal.runCleared();
    QCOMPARE(journal.currentPath(), QString());
    QCOMPARE(filesBelow(runsFolder()),
             (QStringList{QStringLiteral("run.csv"), QStringLiteral("run_2.csv")}));
    second(QStringLiteral("-"));
    second(QStringLiteral("5/6"));

    QCOMPARE(filesBelow(runsFolder()),
             (QStringList{QStringLiteral("run.csv"), QStringLiteral("run_2.csv"),
                          QStringLiteral("run_3.csv")}));
    QCOMPARE(fileBytes(runsFolder() + QStringLiteral("/run.csv")), QByteArray("kept\n"));
    QCOMPARE(fileBytes(runsFolder() + QStringLiteral("/run_2.csv")), firstRun);
    QCOMPARE(fileBytes(runsFolder() + QStringLiteral("/run_3.csv")),
             QByteArray("time_s,top_c,bottom_c\n1,,\n2,5,6\n"));
}

// A day of the console's chart with the journal on: the journal's file and the
// export of the same run are the same bytes.
void TestRunJournal::aDayLongRunMatchesTheExportByteForByte() {
    // Each second is synced to the disk; in memory that costs nothing, so the
    // day takes seconds rather than minutes where a memory file system exists.
    const QString memory = QStringLiteral("/dev/shm");
    if (QFileInfo(memory).isDir() && QFileInfo(memory).isWritable()) {
        m_dir.reset();
        m_dir.emplace(memory);
    }
    std::unique_ptr<TForm1> form = startConsoleWith(consoletest::kFullSettings);
    QVERIFY(form);
    auto* chart = control<console::RunChart>(*form, "Chart1");
    testsupport::ModalWatcher boxes;
    click(*form, "ActionAutoSave");
    for (int s = 1; s <= kSecondsPerDay; ++s) {
        if (s % 997 == 0)
            chart->appendGap();
        else
            chart->appendSample(25 + s % 230, 25 + (s * 7) % 200);
    }
    const QByteArray written = fileBytes(form->runJournal().currentPath());
    const QString exported = QDir(m_dir->path()).filePath(QStringLiteral("export.csv"));
    QVERIFY(form->exportCsvTo(exported));
    QCOMPARE(written.count('\n'), kSecondsPerDay + 1);
    QVERIFY(written.endsWith("86400,175,25\n"));
    QVERIFY(written == fileBytes(exported));
    QCOMPARE(filesBelow(runsFolder()).size(), 1);
    QVERIFY(boxes.boxes().isEmpty());
}

void TestRunJournal::fileThatCannotBeWrittenFailsOnceForTheRun_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("name");
    // A file named runs where the folder would be: nobody, not even root, makes
    // the folder.
    QTest::newRow("runs is a file") << "runs is a file"
                                    << "run.csv";
    QTest::newRow("file deleted mid-run") << "deleted"
                                          << "run.csv";
    QTest::newRow("name that leaves the folder") << "none"
                                                 << "../outside.csv";
    QTest::newRow("name with a separator") << "none"
                                           << "a/b.csv";
    QTest::newRow("empty name") << "none" << QString();
}

// One report per run, nothing written where it should not be, and the next run
// (after a reset) tries again.
void TestRunJournal::fileThatCannotBeWrittenFailsOnceForTheRun() {
    QFETCH(QString, fault);
    QFETCH(QString, name);
    if (fault == QLatin1String("runs is a file")) {
        QFile blocker(runsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("x");
    }
    record::RunJournal& journal = makeJournal(name);
    QSignalSpy failed(&journal, &record::RunJournal::writeFailed);
    journal.setOn(true);
    second(QStringLiteral("1/2"));
    QString path = journal.currentPath();
    if (fault == QLatin1String("deleted")) {
        QCOMPARE(failed.count(), 0);
        QVERIFY(QFile::remove(path));
        second(QStringLiteral("3/4"));
    } else {
        path = QDir(runsFolder()).absoluteFilePath(name);
    }
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.front().front().toString(), path);
    QVERIFY(journal.currentPath().isEmpty());
    QVERIFY(journal.isOn());

    for (int s = 0; s < 5; ++s)
        second(QStringLiteral("5/6"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_record.size(), fault == QLatin1String("deleted") ? 7 : 6);
    // Nothing anywhere but the blocker itself, and no file recreated.
    const QStringList expected = fault == QLatin1String("runs is a file")
                                     ? QStringList{QStringLiteral("runs")}
                                     : QStringList();
    QCOMPARE(filesBelow(m_dir->path()), expected);

    m_record.clear();
    journal.runCleared();
    second(QStringLiteral("1/1"));
    QCOMPARE(failed.count(), fault == QLatin1String("deleted") ? 1 : 2);
}

// A disk that fills up mid-run: one report, and the file holds the run up to a
// complete row or a cut-off last row, never anything else.
void TestRunJournal::fullDiskEndsTheRunsJournalAtItsLastCompleteRow() {
    if (!runAsRoot())
        QSKIP("mounting a small disk needs root");
    SmallDisk disk(runsFolder(), QStringLiteral("16k"));
    if (!disk.mounted())
        QSKIP("this machine refuses to mount a tmpfs");

    record::RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &record::RunJournal::writeFailed);
    journal.setOn(true);
    second(QStringLiteral("200/100"));
    const QString path = journal.currentPath();
    QVERIFY(!path.isEmpty());
    // Take whatever room is left.
    {
        QFile filler(QDir(runsFolder()).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    for (int s = 0; s < 5000 && failed.isEmpty(); ++s)
        second(QStringLiteral("%1/%2").arg(200 + s % 50).arg(100 + s % 30));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.front().front().toString(), path);
    const qsizetype recorded = m_record.size();
    second(QStringLiteral("1/1"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_record.size(), recorded + 1);

    const QByteArray written = fileBytes(path);
    QVERIFY(written.size() > record::csvHeader().size());
    QVERIFY(record::csvText(m_record).startsWith(written));
}

void TestRunJournal::switchesReadAsOffUnlessTheFileSaysOne_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<bool>("targets");
    QTest::newRow("no section") << QByteArray() << false << false;
    QTest::newRow("both on") << QByteArray("[Record]\nAutoSave=1\nTargets=1\n") << true << true;
    QTest::newRow("journal only") << QByteArray("[Record]\nAutoSave=1\n") << true << false;
    QTest::newRow("targets only") << QByteArray("[Record]\nTargets=1\n") << false << true;
    QTest::newRow("both off") << QByteArray("[Record]\nAutoSave=0\nTargets=0\n") << false << false;
    QTest::newRow("malformed") << QByteArray("[Record]\nAutoSave=yes\nTargets=1x\n") << false
                               << false;
    QTest::newRow("other numbers")
        << QByteArray("[Record]\nAutoSave=2\nTargets=-1\n") << false << false;
    QTest::newRow("empty values") << QByteArray("[Record]\nAutoSave=\nTargets=\n") << false
                                  << false;
}

// Read at start-up, never written by it.
void TestRunJournal::switchesReadAsOffUnlessTheFileSaysOne() {
    QFETCH(QByteArray, record);
    QFETCH(bool, autoSave);
    QFETCH(bool, targets);
    const QByteArray settings = consoletest::kFullSettings + record;
    std::unique_ptr<TForm1> form = startConsoleWith(settings);
    QVERIFY(form);

    QCOMPARE(control<QAction>(*form, "ActionAutoSave")->isChecked(), autoSave);
    QCOMPARE(control<QAction>(*form, "ActionShowTargets")->isChecked(), targets);
    QCOMPARE(form->runJournal().isOn(), autoSave);
    QCOMPARE(control<console::RunChart>(*form, "Chart1")->targetsShown(), targets);
    QCOMPARE(m_dir->readSettings(), settings);

    config::SettingsFile ini;
    QCOMPARE(console::readRecordOption(ini, console::RecordOption::AutoSave), autoSave);
    QCOMPARE(console::readRecordOption(ini, console::RecordOption::Targets), targets);
}

// The accessor lays the file out in its own way (blank lines between sections);
// what counts is that every line but the switch's stays as it was.
void TestRunJournal::togglingWritesOnlyItsOwnKey() {
    std::unique_ptr<TForm1> form = startConsoleWith(consoletest::kFullSettings);
    QVERIFY(form);
    const QList<QByteArray> before = settingsLines(consoletest::kFullSettings);

    click(*form, "ActionAutoSave");
    QVERIFY(form->runJournal().isOn());
    QCOMPARE(settingsLines(m_dir->readSettings().value_or(QByteArray())),
             (before + QList<QByteArray>{"[Record]", "AutoSave=1"}));

    click(*form, "ActionShowTargets");
    QVERIFY(control<console::RunChart>(*form, "Chart1")->targetsShown());
    QCOMPARE(settingsLines(m_dir->readSettings().value_or(QByteArray())),
             (before + QList<QByteArray>{"[Record]", "AutoSave=1", "Targets=1"}));

    click(*form, "ActionAutoSave");
    QVERIFY(!form->runJournal().isOn());
    QCOMPARE(settingsLines(m_dir->readSettings().value_or(QByteArray())),
             (before + QList<QByteArray>{"[Record]", "AutoSave=0", "Targets=1"}));

    // The next start-up reads what the operator left.
    form.reset();
    form = consoletest::startConsole();
    QVERIFY(form);
    QVERIFY(!control<QAction>(*form, "ActionAutoSave")->isChecked());
    QVERIFY(control<QAction>(*form, "ActionShowTargets")->isChecked());
}

// The settings file replaced by a folder: the write is refused with the error
// box, and the switch stays off.
void TestRunJournal::refusedSettingsWriteLeavesTheSwitchAsItWas() {
    std::unique_ptr<TForm1> form = startConsoleWith(consoletest::kFullSettings);
    QVERIFY(form);
    QVERIFY(QFile::remove(m_dir->settingsPath()));
    QVERIFY(QDir().mkpath(m_dir->settingsPath()));

    testsupport::ModalWatcher boxes;
    click(*form, "ActionAutoSave");
    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("Unable to write to ") + m_dir->settingsPath() + '.'});
    QVERIFY(!control<QAction>(*form, "ActionAutoSave")->isChecked());
    QVERIFY(!form->runJournal().isOn());

    boxes.clear();
    click(*form, "ActionShowTargets");
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY(!control<QAction>(*form, "ActionShowTargets")->isChecked());
    QVERIFY(!control<console::RunChart>(*form, "Chart1")->targetsShown());
}

// The console's own ticks (gaps without a link) and readings fed to its chart:
// the journal's file is what "Экспорт данных..." writes, under the name the
// export suggests; "<0>" starts the next run's file.
void TestRunJournal::consoleJournalsEachRunUnderTheExportsName() {
    std::unique_ptr<TForm1> form = startConsoleWith(consoletest::kFullSettings);
    QVERIFY(form);
    auto* chart = control<console::RunChart>(*form, "Chart1");
    testsupport::ModalWatcher boxes;

    const QDateTime before = QDateTime::currentDateTime();
    click(*form, "ActionAutoSave");
    QVERIFY(!QFileInfo::exists(runsFolder())); // no run yet
    form->Timer1Timer();
    const QDateTime after = QDateTime::currentDateTime();
    chart->appendSample(195, 123);
    form->Timer1Timer();
    chart->appendSample(-4, 310);

    const QStringList files = filesBelow(runsFolder());
    QCOMPARE(files.size(), 1);
    const QString profileName = QStringLiteral("Бессвинцовый BGA");
    QVERIFY2(files.front() == record::suggestedFileName(before, 0, profileName, "csv") ||
                 files.front() == record::suggestedFileName(after, 0, profileName, "csv"),
             qPrintable(files.front()));
    const QString exported = QDir(m_dir->path()).filePath(QStringLiteral("export.csv"));
    QVERIFY(form->exportCsvTo(exported));
    const QByteArray journal = fileBytes(QDir(runsFolder()).filePath(files.front()));
    QCOMPARE(journal, fileBytes(exported));
    QCOMPARE(journal, QByteArray("time_s,top_c,bottom_c\n1,,\n2,195,123\n3,,\n4,-4,310\n"));

    control<QPushButton>(*form, "TimerToZero")->click();
    QCOMPARE(filesBelow(runsFolder()).size(), 1);
    chart->appendSample(1, 2);
    QCOMPARE(filesBelow(runsFolder()).size(), 2);
    QCOMPARE(fileBytes(form->runJournal().currentPath()),
             QByteArray("time_s,top_c,bottom_c\n1,1,2\n"));
    QVERIFY(boxes.boxes().isEmpty());
}

void TestRunJournal::unwritableRunsShowOneBoxAndTheRunGoesOn() {
    std::unique_ptr<TForm1> form = startConsoleWith(consoletest::kFullSettings);
    QVERIFY(form);
    {
        QFile blocker(runsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("x");
    }
    auto* chart = control<console::RunChart>(*form, "Chart1");
    testsupport::ModalWatcher boxes;
    click(*form, "ActionAutoSave");
    for (int s = 1; s <= 5; ++s)
        form->Timer1Timer();
    QTRY_COMPARE(boxes.boxes().size(), 1);
    QVERIFY(boxes.boxes().front().text.startsWith(QStringLiteral("Unable to write to ") +
                                                  runsFolder() + QLatin1Char('/')));
    QVERIFY(boxes.boxes().front().text.endsWith(QStringLiteral(".csv.")));
    QCOMPARE(boxes.boxes().front().icon, QMessageBox::Critical);
    for (int s = 6; s <= 10; ++s)
        form->Timer1Timer();
    QTest::qWait(200);
    QCOMPARE(boxes.boxes().size(), 1);

    QCOMPARE(control<QLabel>(*form, "FTimer")->text(), QStringLiteral("00:00:10"));
    QCOMPARE(chart->record().size(), qsizetype(10));
    QCOMPARE(consoletest::curveText(chart->topSeries()).size(), 10);
    QVERIFY(control<QAction>(*form, "ActionAutoSave")->isChecked());
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
    std::unique_ptr<TForm1> form = startConsoleWith(consoletest::kFullSettings);
    QVERIFY(form);
    control<QLabel>(*form, "Label37")->setText(name);
    testsupport::ModalWatcher boxes;
    click(*form, "ActionAutoSave");
    form->Timer1Timer();
    form->Timer1Timer();
    QTest::qWait(100);

    QVERIFY(boxes.boxes().isEmpty());
    const QStringList files = filesBelow(m_dir->path());
    QCOMPARE(files.size(), 2);
    QCOMPARE(files.at(0), QStringLiteral("Iniprofil.ini"));
    QVERIFY2(files.at(1).startsWith(QStringLiteral("runs/")) && files.at(1).count('/') == 1,
             qPrintable(files.at(1)));
    QVERIFY(QFileInfo(files.at(1)).fileName().toUtf8().size() < 256);
    QCOMPARE(fileBytes(form->runJournal().currentPath()),
             QByteArray("time_s,top_c,bottom_c\n1,,\n2,,\n"));
}

QTEST_MAIN(TestRunJournal)
#include "tst_runjournal.moc"
