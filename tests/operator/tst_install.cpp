// SPDX-License-Identifier: GPL-3.0-or-later
// Installing like a desktop program: `cmake --install` into a temporary folder gives a
// program that starts and a valid desktop entry; the portable archive holds the same
// folder, and its script writes the entry for wherever it was unpacked.
#include "tests/support/Packages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using testsupport::Finished;
using testsupport::run;

namespace {

const QString kBuildDir = QStringLiteral(IRCONSOLE_BINARY_DIR);
const QString kArchiveFolder = QStringLiteral("irconsole-" IRCONSOLE_PROJECT_VERSION "-Linux");

// The keys of a desktop entry's [Desktop Entry] group.
QMap<QString, QString> entryKeys(const QString& path) {
    QFile file(path);
    QMap<QString, QString> keys;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

// desktop-file-validate passes and has nothing to say.
void checkValidates(const QString& entry) {
    const Finished validated = run(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(validated.ran && validated.exitCode == 0, qPrintable(validated.output));
    QVERIFY2(validated.output.trimmed().isEmpty(), qPrintable(validated.output));
}

// The entry starts the irconsole and shows the icon of `folder`.
void checkPointsAt(const QString& entry, const QString& folder) {
    const QMap<QString, QString> keys = entryKeys(entry);
    QCOMPARE(keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("irconsole"));
    QVERIFY(!keys.value(QStringLiteral("Name[ru]")).isEmpty());
    QCOMPARE(keys.value(QStringLiteral("Terminal")), QStringLiteral("false"));
    // Quoted, because the folder's path may hold spaces.
    QCOMPARE(keys.value(QStringLiteral("Exec")), QLatin1Char('"') + folder + "/irconsole\"");
    QCOMPARE(keys.value(QStringLiteral("Icon")), folder + QStringLiteral("/irconsole.svg"));
    QVERIFY(QFileInfo(keys.value(QStringLiteral("Icon"))).isFile());
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void installedFolderHoldsTheProgramItsIconAndEntry();
    void installedProgramStartsAndKeepsRunning();
    void installedEntryIsValidAndNamesTheFolder();
    void portableArchiveHoldsTheFolderAndItsScriptWritesTheEntry();
    void prefixDefaultsToAFolderInTheHomeUnlessGiven();
    void readmeRuntimePackagesHoldEverythingTheProgramLoads();

private:
    // A space in the folder's name, as in many home folders.
    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/irconsole install XXXXXX")};
    QString m_prefix;
};

void TestInstall::initTestCase() {
    QVERIFY(m_root.isValid());
    m_prefix = m_root.filePath(QStringLiteral("my irconsole"));
    const Finished installed =
        run(QStringLiteral(IRCONSOLE_CMAKE_COMMAND),
            {QStringLiteral("--install"), kBuildDir, QStringLiteral("--prefix"), m_prefix});
    QVERIFY2(installed.ran && installed.exitCode == 0, qPrintable(installed.output));
}

void TestInstall::installedFolderHoldsTheProgramItsIconAndEntry() {
    const QStringList files = QDir(m_prefix).entryList(QDir::Files | QDir::NoDotAndDotDot);
    QCOMPARE(files, (QStringList{QStringLiteral("install-desktop-entry.sh"),
                                 QStringLiteral("irconsole"), QStringLiteral("irconsole.desktop"),
                                 QStringLiteral("irconsole.svg"), QStringLiteral("LICENSE")}));
    QVERIFY(QFileInfo(m_prefix + QStringLiteral("/irconsole")).isExecutable());
    QVERIFY(QFileInfo(m_prefix + QStringLiteral("/install-desktop-entry.sh")).isExecutable());
    // The folder is the operator's: the settings file will be written beside the program.
    QVERIFY(QFileInfo(m_prefix).isWritable());
}

// Started without options, the console runs until its window is closed.
void TestInstall::installedProgramStartsAndKeepsRunning() {
    QTemporaryDir elsewhere; // not the program's folder
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(elsewhere.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(m_prefix + QStringLiteral("/irconsole"), {});
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
    // Still there after a while: it found its libraries and built its windows.
    QVERIFY2(!program.waitForFinished(1500), qPrintable(program.readAll()));
    QCOMPARE(program.state(), QProcess::Running);
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(10000);
    }
}

void TestInstall::installedEntryIsValidAndNamesTheFolder() {
    const QString entry = m_prefix + QStringLiteral("/irconsole.desktop");
    checkValidates(entry);
    checkPointsAt(entry, m_prefix);
}

void TestInstall::portableArchiveHoldsTheFolderAndItsScriptWritesTheEntry() {
    const QString packages = m_root.filePath(QStringLiteral("packages"));
    const Finished packed =
        run(QStringLiteral(IRCONSOLE_CPACK_COMMAND),
            {QStringLiteral("-G"), QStringLiteral("TGZ"), QStringLiteral("--config"),
             kBuildDir + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), packages});
    QVERIFY2(packed.ran && packed.exitCode == 0, qPrintable(packed.output));
    const QString archive =
        packages + QLatin1Char('/') + kArchiveFolder + QStringLiteral(".tar.gz");
    QVERIFY2(QFileInfo(archive).isFile(), qPrintable(packed.output));

    // The installed folder, less the entry that only the script can write.
    const Finished listed = run(QStringLiteral("tar"), {QStringLiteral("-tzf"), archive});
    QVERIFY2(listed.ran && listed.exitCode == 0, qPrintable(listed.output));
    QStringList names = listed.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    const QString folder = kArchiveFolder + QLatin1Char('/');
    QCOMPARE(names, (QStringList{folder + QStringLiteral("LICENSE"),
                                 folder + QStringLiteral("install-desktop-entry.sh"),
                                 folder + QStringLiteral("irconsole"),
                                 folder + QStringLiteral("irconsole.svg")}));

    // Unpacked somewhere of the operator's choosing, the script puts the entry
    // beside the program and into the user's menu.
    const QString unpacked = m_root.filePath(QStringLiteral("unpacked here"));
    QVERIFY(QDir().mkpath(unpacked));
    const Finished extracted = run(
        QStringLiteral("tar"), {QStringLiteral("-xzf"), archive, QStringLiteral("-C"), unpacked});
    QVERIFY2(extracted.ran && extracted.exitCode == 0, qPrintable(extracted.output));
    // The script names its folder without symbolic links.
    const QString programFolder =
        QFileInfo(unpacked + QLatin1Char('/') + kArchiveFolder).canonicalFilePath();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString dataHome = m_root.filePath(QStringLiteral("data home"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    const Finished scripted =
        run(programFolder + QStringLiteral("/install-desktop-entry.sh"), {}, environment);
    QVERIFY2(scripted.ran && scripted.exitCode == 0, qPrintable(scripted.output));

    for (const QString& entry : {programFolder + QStringLiteral("/irconsole.desktop"),
                                 dataHome + QStringLiteral("/applications/irconsole.desktop")}) {
        QVERIFY2(QFileInfo(entry).isFile(), qPrintable(entry));
        checkValidates(entry);
        checkPointsAt(entry, programFolder);
    }
}

// A fresh build folder installs into ~/irconsole; a prefix given to CMake stays.
void TestInstall::prefixDefaultsToAFolderInTheHomeUnlessGiven() {
    const QString build = m_root.filePath(QStringLiteral("fresh build"));
    const QString home = m_root.filePath(QStringLiteral("home"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    auto configure = [&](const QStringList& extra) {
        return run(QStringLiteral(IRCONSOLE_CMAKE_COMMAND),
                   QStringList{QStringLiteral("-S"), QStringLiteral(IRCONSOLE_SOURCE_DIR),
                               QStringLiteral("-B"), build, QStringLiteral("-G"),
                               QStringLiteral(IRCONSOLE_CMAKE_GENERATOR),
                               QStringLiteral("-Wno-dev")} +
                       extra,
                   environment);
    };
    auto cachedPrefix = [&] {
        const Finished asked = run(QStringLiteral(IRCONSOLE_CMAKE_COMMAND),
                                   {QStringLiteral("-N"), QStringLiteral("-L"), build});
        const QRegularExpression line(QStringLiteral("^CMAKE_INSTALL_PREFIX:PATH=(.*)$"),
                                      QRegularExpression::MultilineOption);
        return line.match(asked.output).captured(1);
    };

    const Finished fresh = configure({});
    QVERIFY2(fresh.ran && fresh.exitCode == 0, qPrintable(fresh.output));
    QCOMPARE(cachedPrefix(), home + QStringLiteral("/irconsole"));

    const QString given = m_root.filePath(QStringLiteral("given"));
    const Finished again = configure({QStringLiteral("-DCMAKE_INSTALL_PREFIX=") + given});
    QVERIFY2(again.ran && again.exitCode == 0, qPrintable(again.output));
    QCOMPARE(cachedPrefix(), given);
    const Finished onceMore = configure({});
    QVERIFY2(onceMore.ran && onceMore.exitCode == 0, qPrintable(onceMore.output));
    QCOMPARE(cachedPrefix(), given);
}

// README's runtime package list is complete: every library the installed program
// and its display plugin load, and the Russian texts of the toolkit, come from a
// listed package or one that a listed package depends on.
void TestInstall::readmeRuntimePackagesHoldEverythingTheProgramLoads() {
#ifdef IRCONSOLE_SANITIZED
    QSKIP("a sanitizer build loads the sanitizers' runtimes, which an operator never installs");
#endif
    if (!testsupport::isDebianSystem())
        QSKIP("not a Debian system");
    QFile readme(QStringLiteral(IRCONSOLE_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpression listLine(QStringLiteral("`sudo apt install ([a-z0-9.+ -]+)`"));
    const QRegularExpressionMatch listed = listLine.match(QString::fromUtf8(readme.readAll()));
    QVERIFY2(listed.hasMatch(), "README gives no `sudo apt install ...` line");
    const QStringList packages = listed.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QVERIFY(packages.contains(QStringLiteral("qt6-translations-l10n")));
    const QSet<QString> closure = testsupport::dependencyClosure(packages);
    for (const QString& package : packages)
        QVERIFY2(closure.contains(package), qPrintable(package + " is not a known package"));

    const QString plugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqxcb.so");
    QStringList needed = testsupport::loadedLibraries(m_prefix + QStringLiteral("/irconsole"));
    QVERIFY(!needed.isEmpty());
    needed << plugin << testsupport::loadedLibraries(plugin)
           << QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ru.qm");
    const QStringList uncovered = testsupport::uncoveredFiles(needed, closure);
    QVERIFY2(uncovered.isEmpty(), qPrintable(uncovered.join(QStringLiteral("; ")) +
                                             ", which README's list does not bring"));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
