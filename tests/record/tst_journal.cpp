// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal and its writer on real files: one file per run, rows as the record grows, the
// switch, the files it cannot write, a full disk, a disk that never answers, and a day of it.
#include "record/RunCsv.h"
#include "record/RunJournal.h"
#include "tests/support/TestDirs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace record;

namespace {

using testsupport::fileBytes;
using testsupport::filesBelow;

constexpr int kSecondsPerDay = 86400;

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 10), QTime(hour, minute, second), Qt::OffsetFromUTC, 3 * 3600);
}

RunHeader headerAt(const QDateTime& start, const QString& name = QStringLiteral("BGA 2")) {
    return {QStringLiteral("9.9.9"),
            start,
            QStringLiteral("/dev/ttyUSB0"),
            -5,
            7,
            {2, name, 180, 150, 160, 60, 235, 30}};
}

// The "#" lines of headerAt(), written out by hand, and the header row.
QByteArray headerText(const QString& start) {
    return "# version: 9.9.9\n# start: " + start.toUtf8() +
           "\n# port: /dev/ttyUSB0\n# Correct1: -5\n# Correct2: 7\n# profile: 2\n# Name: BGA 2\n"
           "# T0: 180\n# TB: 150\n# T1: 160\n# S1: 60\n# T3: 235\n# S3: 30\n"
           "time_s,top_c,bottom_c\n";
}
const QByteArray kHeader1403 = headerText(QStringLiteral("2026-12-10T14:03:59+03:00"));
const QString kName1403 = QStringLiteral("2026-12-10_14-03_profil2_BGA_2.csv");

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

// Fills what room is left on the file system of `folder`.
void fillUp(const QString& folder) {
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(512, 'f');
    while (filler.write(block) == block.size()) {
    }
    const QByteArray byte(1, 'f');
    while (filler.write(byte) == 1) {
    }
}

// A disk that takes no sync until the test lets it, as a hung network folder.
class HeldDisk {
public:
    JournalWriter::Sync sync() {
        return [this](int) {
            std::unique_lock lock(m_mutex);
            ++m_waiting;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
            --m_waiting;
            return true;
        };
    }
    void waitUntilHeld() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting > 0; });
    }
    void release() {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_waiting = 0;
    bool m_open = false;
};

} // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void eachSecondIsAppendedToTheRunsFile_data();
    void eachSecondIsAppendedToTheRunsFile();
    void runsAndTheSwitch_data();
    void runsAndTheSwitch();
    void profileChangeStandsAtItsSecond();
    void takenNamesAreNumberedAndNothingIsOverwritten();
    void fileThatCannotBeWrittenFailsOnceForTheRun_data();
    void fileThatCannotBeWrittenFailsOnceForTheRun();
    void namesThatLeaveTheFolderAreRefused_data();
    void namesThatLeaveTheFolderAreRefused();
    void fullDiskEndsTheFileAtItsLastCompleteRow();
    void fileThatCannotTakeItsHeaderIsRemoved();
    void eachNewFilesFolderIsSyncedOnce();
    void aDiskThatHoldsEverySyncHoldsNothingElse();
    void aDayOfSecondsIsWrittenWhole();

private:
    QString runsFolder() const { return QDir(m_dir->path()).filePath(QStringLiteral("runs")); }
    RunJournal& makeJournal(const QString& folder = {});
    void start(const QDateTime& startTime) {
        m_record.beginRun(headerAt(startTime));
        m_journal->runStarted();
    }
    // A second written "top/bottom" for a reading or "-" for a gap.
    void second(const QString& text) {
        if (text == QLatin1String("-")) {
            m_record.appendGap();
        } else {
            const QStringList values = text.split(QLatin1Char('/'));
            m_record.append(values.at(0).toInt(), values.at(1).toInt());
        }
        m_journal->recordGrew();
    }
    void settle() { m_journal->waitForWriter(); }

    std::optional<QTemporaryDir> m_dir;
    RunRecord m_record;
    std::unique_ptr<RunJournal> m_journal;
};

void TestJournal::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_record.clear();
}

void TestJournal::cleanup() {
    m_journal.reset();
    m_dir.reset();
}

RunJournal& TestJournal::makeJournal(const QString& folder) {
    m_journal = std::make_unique<RunJournal>(m_record, folder.isEmpty() ? runsFolder() : folder);
    m_journal->setOn(true);
    return *m_journal;
}

void TestJournal::eachSecondIsAppendedToTheRunsFile_data() {
    QTest::addColumn<QStringList>("seconds");
    QTest::addColumn<QByteArray>("rows");
    QTest::newRow("readings") << QStringList{"195/123", "196/124", "-4/310"}
                              << QByteArray("1,195,123\n2,196,124\n3,-4,310\n");
    QTest::newRow("a gap in the middle")
        << QStringList{"20/21", "-", "22/23"} << QByteArray("1,20,21\n2,,\n3,22,23\n");
    QTest::newRow("gap first and last")
        << QStringList{"-", "0/0", "-"} << QByteArray("1,,\n2,0,0\n3,,\n");
    QTest::newRow("extremes") << QStringList{"-2147483648/2147483647", "-", "1/1"}
                              << QByteArray("1,-2147483648,2147483647\n2,,\n3,1,1\n");
}

// After every second the file holds the run so far, and it is the same file all
// along: a reader that opened it at the first second sees every row.
void TestJournal::eachSecondIsAppendedToTheRunsFile() {
    QFETCH(QStringList, seconds);
    QFETCH(QByteArray, rows);
    RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &RunJournal::writeFailed);
    start(at(14, 3, 59));
    settle();
    QVERIFY(!QFileInfo::exists(runsFolder())); // no second, no file

    second(seconds.first());
    settle();
    const QString path = journal.currentPath();
    QCOMPARE(path, QDir(runsFolder()).absoluteFilePath(kName1403));
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QByteArray seen = reader.readAll();
    for (const QString& text : seconds.mid(1)) {
        second(text);
        settle();
        seen += reader.readAll();
    }
    QCOMPARE(seen, kHeader1403 + rows);
    QCOMPARE(failed.count(), 0);
}

// Runs as the console makes them (S start, P stop, R the reset "<0>" while a run
// goes on, F the switch off, N on, a digit that many seconds): which files there
// are and what rows each holds, seconds counted from 1 in each.
void TestJournal::runsAndTheSwitch_data() {
    QTest::addColumn<QString>("events");
    QTest::addColumn<QList<QByteArray>>("files"); // rows of each file, oldest first

    QTest::newRow("start, stop, start, stop: two files")
        << "S3PS2P" << QList<QByteArray>{"1\n2\n3\n", "1\n2\n"};
    QTest::newRow("a reset mid-run ends its file, the run goes on in a new one")
        << "S3R2P" << QList<QByteArray>{"1\n2\n3\n", "1\n2\n"};
    QTest::newRow("switched off and on mid-run: the same file, nothing missed")
        << "S2F3N1P" << QList<QByteArray>{"1\n2\n3\n4\n5\n6\n"};
    QTest::newRow("switched on mid-run: the run so far, then on")
        << "FS4N2P" << QList<QByteArray>{"1\n2\n3\n4\n5\n6\n"};
    QTest::newRow("off for a whole run: no file for it")
        << "S1PFS2PNS1P" << QList<QByteArray>{"1\n", "1\n"};
    QTest::newRow("a run without a second has no file") << "SPS1P" << QList<QByteArray>{"1\n"};
    QTest::newRow("switched off at the stop, on after: the run's rows are all there")
        << "S2FPN" << QList<QByteArray>{"1\n2\n"};
}

void TestJournal::runsAndTheSwitch() {
    QFETCH(QString, events);
    QFETCH(QList<QByteArray>, files);
    RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &RunJournal::writeFailed);
    int minute = 0; // each run starts a minute after the last, so its name is its own
    int value = 0;
    for (const QChar event : std::as_const(events)) {
        switch (event.toLatin1()) {
        case 'S':
            start(at(10, minute++, 0));
            break;
        case 'P':
            journal.runEnded();
            break;
        case 'R':
            journal.runEnded();
            m_record.clear();
            start(at(10, minute++, 0));
            break;
        case 'F':
            journal.setOn(false);
            break;
        case 'N':
            journal.setOn(true);
            break;
        default:
            for (int n = event.digitValue(); n > 0; --n) {
                ++value;
                second(QStringLiteral("%1/%2").arg(value).arg(value + 1000));
            }
        }
    }
    settle();
    QCOMPARE(failed.count(), 0);
    const QStringList names = filesBelow(runsFolder());
    QCOMPARE(names.size(), files.size());
    // Each file: its header, then its seconds from 1 (the rows' values go on).
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray bytes = fileBytes(QDir(runsFolder()).filePath(names[i]));
        QVERIFY2(bytes.startsWith("# version: 9.9.9\n"), qPrintable(names[i]));
        QByteArray seconds;
        for (const QByteArray& line : bytes.split('\n'))
            if (!line.isEmpty() && !line.startsWith('#') && !line.startsWith("time_s"))
                seconds += line.left(line.indexOf(',')) + '\n';
        QCOMPARE(seconds, files[i]);
    }
}

void TestJournal::profileChangeStandsAtItsSecond() {
    makeJournal();
    start(at(14, 3, 59));
    second(QStringLiteral("1/1"));
    second(QStringLiteral("2/2"));
    m_record.showProfile({3, QStringLiteral("Свинец"), 100, 120, 140, 45, 16, -7});
    second(QStringLiteral("-"));
    settle();
    QCOMPARE(fileBytes(m_journal->currentPath()),
             kHeader1403 + "1,1,1\n2,2,2\n# profile_change: second=3 profile=3 T0=100 TB=120 "
                           "T1=140 S1=45 T3=16 S3=-7 Name=Свинец\n3,,\n");
    // A later run in the same record: its file counts from 1 and says its own profile.
    m_journal->runEnded();
    RunHeader later = headerAt(at(14, 7, 0));
    later.profile = {3, QStringLiteral("Свинец"), 100, 120, 140, 45, 16, -7};
    m_record.beginRun(later);
    m_journal->runStarted();
    second(QStringLiteral("4/4"));
    settle();
    const QByteArray laterFile = fileBytes(m_journal->currentPath());
    QVERIFY(laterFile.contains("# profile: 3\n# Name: Свинец\n"));
    QVERIFY(laterFile.endsWith("time_s,top_c,bottom_c\n1,4,4\n"));
}

// Two runs that start in the same minute with the same profile, beside a file of
// that name that is not the journal's.
void TestJournal::takenNamesAreNumberedAndNothingIsOverwritten() {
    QVERIFY(QDir().mkpath(runsFolder()));
    {
        QFile earlier(QDir(runsFolder()).filePath(kName1403));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("kept\n");
    }
    makeJournal();
    start(at(14, 3, 59));
    second(QStringLiteral("1/1"));
    m_journal->runEnded();
    start(at(14, 3, 59));
    second(QStringLiteral("2/2"));
    m_journal->runEnded();
    settle();
    const QString base = kName1403.chopped(4);
    QCOMPARE(filesBelow(runsFolder()), (QStringList{kName1403, base + "_2.csv", base + "_3.csv"}));
    QCOMPARE(fileBytes(QDir(runsFolder()).filePath(kName1403)), QByteArray("kept\n"));
    QCOMPARE(fileBytes(QDir(runsFolder()).filePath(base + "_2.csv")), kHeader1403 + "1,1,1\n");
    QCOMPARE(fileBytes(QDir(runsFolder()).filePath(base + "_3.csv")), kHeader1403 + "1,2,2\n");
}

void TestJournal::fileThatCannotBeWrittenFailsOnceForTheRun_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    // A file named runs where the folder would be: nobody, not even root, makes
    // the folder.
    QTest::newRow("runs is a file") << "runs is a file"
                                    << "на месте папки runs лежит файл";
    QTest::newRow("file deleted mid-run") << "deleted"
                                          << "файл удалён";
}

// One report per run with the file and the reason, nothing written where it
// should not be, and the next run tries again.
void TestJournal::fileThatCannotBeWrittenFailsOnceForTheRun() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    if (fault == QLatin1String("runs is a file")) {
        QFile blocker(runsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("x");
    }
    RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &RunJournal::writeFailed);
    start(at(14, 3, 59));
    second(QStringLiteral("1/2"));
    settle();
    QString path = journal.currentPath();
    if (fault == QLatin1String("deleted")) {
        QCOMPARE(failed.count(), 0);
        QVERIFY(QFile::remove(path));
        second(QStringLiteral("3/4"));
        settle();
    } else {
        path = QDir(runsFolder()).absoluteFilePath(kName1403);
    }
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.front().at(0).toString(), path);
    QCOMPARE(failed.front().at(1).toString(), reason);
    QVERIFY(journal.currentPath().isEmpty());
    QVERIFY(journal.isOn());

    for (int s = 0; s < 5; ++s)
        second(QStringLiteral("5/6"));
    settle();
    QCOMPARE(failed.count(), 1);
    // Nothing anywhere but the blocker itself, and no file made again.
    const QStringList expected = fault == QLatin1String("runs is a file")
                                     ? QStringList{QStringLiteral("runs")}
                                     : QStringList();
    QCOMPARE(filesBelow(m_dir->path()), expected);

    journal.runEnded();
    start(at(14, 5, 0));
    second(QStringLiteral("1/1"));
    settle();
    QCOMPARE(failed.count(), fault == QLatin1String("deleted") ? 1 : 2);
}

void TestJournal::namesThatLeaveTheFolderAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../outside.csv";
    QTest::newRow("a separator") << "a/b.csv";
    QTest::newRow("a backslash") << "a\\b.csv";
    QTest::newRow("dots") << "..";
    QTest::newRow("empty") << QString();
}

void TestJournal::namesThatLeaveTheFolderAreRefused() {
    QFETCH(QString, name);
    JournalWriter writer;
    QSignalSpy failed(&writer, &JournalWriter::failed);
    const quint64 file = writer.create(runsFolder(), name, "header\n");
    writer.append(file, "row\n");
    writer.waitUntilIdle();
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.front().at(2).toString(), QStringLiteral("недопустимое имя файла"));
    QCOMPARE(filesBelow(m_dir->path()), QStringList());
}

// A disk that fills up mid-run: one report, and the file ends at its last
// complete row, never a cut one such as "123,20" that a reader would take as
// 20 °C.
void TestJournal::fullDiskEndsTheFileAtItsLastCompleteRow() {
    if (!runAsRoot())
        QSKIP("mounting a small disk needs root");
    SmallDisk disk(runsFolder(), QStringLiteral("16k"));
    if (!disk.mounted())
        QSKIP("this machine refuses to mount a tmpfs");

    RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &RunJournal::writeFailed);
    start(at(14, 3, 59));
    second(QStringLiteral("200/100"));
    settle();
    const QString path = journal.currentPath();
    QVERIFY(!path.isEmpty());
    fillUp(runsFolder());
    // Rows of different lengths, so the disk runs out in the middle of one.
    for (int s = 2; s < 5000 && failed.isEmpty(); ++s) {
        second(QStringLiteral("%1/%2").arg(s % 7 == 0 ? 5 : 200 + s % 50).arg(100 + s % 900));
        settle();
    }
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.front().at(0).toString(), path);
    QCOMPARE(failed.front().at(1).toString(), QStringLiteral("диск заполнен"));
    const qsizetype recorded = m_record.size();
    second(QStringLiteral("1/1"));
    settle();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_record.size(), recorded + 1);

    // Whole rows only: the file ends with a line end, and every row it holds is
    // the row of its second.
    const QByteArray written = fileBytes(path);
    QVERIFY(written.startsWith(kHeader1403 + "1,200,100\n"));
    QVERIFY2(written.endsWith('\n'), written.right(40).constData());
    const QList<QByteArray> rows = written.mid(kHeader1403.size()).split('\n');
    QVERIFY(rows.size() >= 2);
    for (qsizetype i = 0; i + 1 < rows.size(); ++i) {
        const QList<QByteArray> cells = rows[i].split(',');
        QCOMPARE(cells.size(), 3);
        const int s = cells[0].toInt();
        QCOMPARE(s, int(i) + 1);
        if (s > 1)
            QCOMPARE(rows[i], QStringLiteral("%1,%2,%3")
                                  .arg(s)
                                  .arg(s % 7 == 0 ? 5 : 200 + s % 50)
                                  .arg(100 + s % 900)
                                  .toUtf8());
    }
}

// A disk with no room even for the "#" lines: the file goes again, never left
// empty or cut.
void TestJournal::fileThatCannotTakeItsHeaderIsRemoved() {
    if (!runAsRoot())
        QSKIP("mounting a small disk needs root");
    SmallDisk disk(runsFolder(), QStringLiteral("16k"));
    if (!disk.mounted())
        QSKIP("this machine refuses to mount a tmpfs");
    fillUp(runsFolder());
    QFile::resize(QDir(runsFolder()).filePath(QStringLiteral("filler")),
                  QFileInfo(QDir(runsFolder()).filePath(QStringLiteral("filler"))).size() - 100);

    RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &RunJournal::writeFailed);
    start(at(14, 3, 59));
    second(QStringLiteral("1/1"));
    settle();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.front().at(1).toString(), QStringLiteral("диск заполнен"));
    QCOMPARE(filesBelow(runsFolder()), QStringList{QStringLiteral("filler")});
}

// The folder's entry for a new file is synced once, with the file; rows are
// synced as they come.
void TestJournal::eachNewFilesFolderIsSyncedOnce() {
    RunJournal& journal = makeJournal();
    std::mutex mutex;
    QStringList syncs;
    journal.writer().setSync([&](int handle) {
        struct stat status {};
        ::fstat(handle, &status);
        const std::lock_guard lock(mutex);
        syncs << (S_ISDIR(status.st_mode) ? QStringLiteral("folder") : QStringLiteral("file"));
        return true;
    });
    start(at(14, 3, 59));
    second(QStringLiteral("1/1"));
    settle();
    second(QStringLiteral("2/2"));
    settle();
    journal.runEnded();
    start(at(14, 4, 59));
    second(QStringLiteral("3/3"));
    settle();
    const std::lock_guard lock(mutex);
    QCOMPARE(syncs, (QStringList{"folder", "file", "file", "file", "folder", "file", "file"}));
}

// A disk that takes no sync at all: the record goes on growing and every call of
// the journal returns; the rows wait and reach the file, in order, once the disk
// answers. Were the caller held by the disk, this test would never end.
void TestJournal::aDiskThatHoldsEverySyncHoldsNothingElse() {
    RunJournal& journal = makeJournal();
    HeldDisk disk;
    journal.writer().setSync(disk.sync());
    start(at(14, 3, 59));
    second(QStringLiteral("1/1"));
    disk.waitUntilHeld(); // the writer is stuck in the new file's first sync
    for (int s = 2; s <= 600; ++s)
        second(QStringLiteral("%1/%2").arg(s).arg(s + 1));
    QCOMPARE(m_record.size(), qsizetype(600));
    disk.release();
    settle();
    QByteArray rows;
    for (int s = 1; s <= 600; ++s)
        rows += s == 1 ? QByteArray("1,1,1\n")
                       : QStringLiteral("%1,%1,%2\n").arg(s).arg(s + 1).toUtf8();
    QCOMPARE(fileBytes(journal.currentPath()), kHeader1403 + rows);
}

// A day with a gap every 997th second, against a file worked out apart from the
// code under test: rows written out by hand for known seconds, and the checksum
// of the whole file as awk and md5sum make it.
void TestJournal::aDayOfSecondsIsWrittenWhole() {
    // Each append is synced; in memory that costs nothing, so the day takes
    // seconds rather than minutes where a memory file system exists.
    const QString memory = QStringLiteral("/dev/shm");
    if (QFileInfo(memory).isDir() && QFileInfo(memory).isWritable()) {
        m_dir.reset();
        m_dir.emplace(memory + QStringLiteral("/tst_journal-XXXXXX"));
        QVERIFY(m_dir->isValid());
    }
    RunJournal& journal = makeJournal();
    QSignalSpy failed(&journal, &RunJournal::writeFailed);
    start(at(14, 3, 59));
    for (int s = 1; s <= kSecondsPerDay; ++s) {
        if (s % 997 == 0)
            m_record.appendGap();
        else
            m_record.append(25 + s % 230, 25 + (s * 7) % 200);
        journal.recordGrew();
    }
    settle();
    QCOMPARE(failed.count(), 0);
    const QByteArray written = fileBytes(journal.currentPath());
    QCOMPARE(written.count('\n'), 14 + kSecondsPerDay);
    QVERIFY(written.startsWith(kHeader1403 + "1,26,32\n2,27,39\n"));
    QVERIFY(written.contains("\n996,101,197\n997,,\n998,103,211\n"));
    QVERIFY(written.endsWith("\n86399,174,218\n86400,175,25\n"));
    // { header; awk 'BEGIN { for (s = 1; s <= 86400; s++) if (s % 997 == 0) printf "%d,,\n", s;
    //   else printf "%d,%d,%d\n", s, 25 + s % 230, 25 + (s * 7) % 200 }'; } | md5sum
    QCOMPARE(QCryptographicHash::hash(written, QCryptographicHash::Md5).toHex(),
             QByteArray("163f61439424a9cf45cfb8e10b554087"));
    QCOMPARE(filesBelow(runsFolder()).size(), 1);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
