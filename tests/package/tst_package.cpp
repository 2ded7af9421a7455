// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package as an operator's machine gets it: what it holds and declares,
// what the distribution's checkers say of it, and the console it installs, unpacked
// into a temporary root and run on the X server with a fresh home, keeping its
// files per user.
#include "tests/e2e/ConsoleProcess.h"
#include "tests/e2e/StationProcess.h"
#include "tests/support/Packages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using e2e::ConsoleProcess;
using e2e::StationProcess;
using e2e::XWindow;
using testsupport::Finished;
using testsupport::run;

namespace {

const QString kPackages = QStringLiteral(IRCONSOLE_BINARY_DIR "/packages");
const QString kVersion = QStringLiteral(IRCONSOLE_PROJECT_VERSION);

// Controls of the main window's bottom band and of the connection dialog.
const QPoint kConnectButton(7 + 55, 4 + 12);
const QPoint kPortSetupButton(552 + 55, 4 + 12);
const QPoint kPortSave(29 + 50, 71 + 10);
constexpr int kWindowTimeoutMs = 15000;
constexpr int kRunTimeoutMs = 60000;

bool hasTool(const char* name) {
    return !QStandardPaths::findExecutable(QLatin1String(name)).isEmpty();
}

// The files under `root`, relative to it, sorted.
QStringList filesUnder(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The package names of a Depends line, without versions or alternatives.
QStringList packageNames(const QString& depends) {
    QStringList names;
    for (const QString& item : depends.split(QLatin1Char(','), Qt::SkipEmptyParts))
        names << item.section(QLatin1Char('|'), 0, 0).section(QLatin1Char('('), 0, 0).trimmed();
    return names;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void controlDeclaresThePackageAndItsDependencies();
    void packageHoldsTheProgramsAndTheirDesktopFiles();
    void checkersAcceptEntryMetainfoPageAndPackage();
    void everyLoadedLibraryComesFromADependency();
    void installedConsoleKeepsItsFilesPerUser();

private:
    QString field(const QString& name) const;
    QString installed(const QString& path) const { return m_root.filePath(path); }
    // The metainfo file is named after the component id it holds.
    QString metainfoName() const;

    QString m_deb;
    QTemporaryDir m_root;
};

void TestPackage::initTestCase() {
    const QStringList built = QDir(kPackages).entryList(
        {QStringLiteral("irconsole_") + kVersion + QStringLiteral("_*.deb")}, QDir::Files);
    if (built.isEmpty())
        QSKIP("no package: scripts/check-package.sh builds it and runs this test");
    QCOMPARE(built.size(), 1);
    m_deb = QDir(kPackages).filePath(built.constFirst());
    QVERIFY(m_root.isValid());
    const Finished extracted =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root.path()});
    QVERIFY2(extracted.ran && extracted.exitCode == 0, qPrintable(extracted.output));
}

QString TestPackage::field(const QString& name) const {
    const Finished shown = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, name});
    return shown.ran && shown.exitCode == 0 ? shown.output.trimmed() : QString();
}

QString TestPackage::metainfoName() const {
    const QStringList found = QDir(installed(QStringLiteral("usr/share/metainfo")))
                                  .entryList({QStringLiteral("*.metainfo.xml")}, QDir::Files);
    if (found.size() != 1)
        return {};
    QFile file(installed(QStringLiteral("usr/share/metainfo/") + found.constFirst()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString id = QRegularExpression(QStringLiteral("<id>([^<]+)</id>"))
                           .match(QString::fromUtf8(file.readAll()))
                           .captured(1);
    return id.isEmpty() ? QString() : id + QStringLiteral(".metainfo.xml");
}

void TestPackage::controlDeclaresThePackageAndItsDependencies() {
    QCOMPARE(field(QStringLiteral("Package")), QStringLiteral("irconsole"));
    QCOMPARE(field(QStringLiteral("Version")), kVersion);
    QCOMPARE(
        field(QStringLiteral("Architecture")),
        run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).output.trimmed());
    QVERIFY(QFileInfo(m_deb).fileName().startsWith(QStringLiteral("irconsole_") + kVersion +
                                                   QLatin1Char('_') +
                                                   field(QStringLiteral("Architecture"))));
    // The libraries the programs link, as dpkg-shlibdeps found them, and the
    // toolkit's Russian texts, which nothing links.
    const QStringList depends = packageNames(field(QStringLiteral("Depends")));
    for (const char* needed : {"qt6-translations-l10n", "libqt6core6", "libqt6gui6",
                               "libqt6widgets6", "libqt6charts6", "libqt6serialport6", "libc6"})
        QVERIFY2(depends.contains(QLatin1String(needed)), needed);
    QVERIFY(QRegularExpression(QStringLiteral("libqt6serialport6 \\(>= [0-9.]+\\)"))
                .match(field(QStringLiteral("Depends")))
                .hasMatch());
    QCOMPARE(field(QStringLiteral("Recommends")), QStringLiteral("fonts-wine"));
    QVERIFY(!field(QStringLiteral("Maintainer")).isEmpty());
    QVERIFY(field(QStringLiteral("Description")).contains(QStringLiteral("irconsole-station-sim")));
}

void TestPackage::packageHoldsTheProgramsAndTheirDesktopFiles() {
    const QStringList expected{
        QStringLiteral("usr/bin/irconsole"),
        QStringLiteral("usr/bin/irconsole-station-sim"),
        QStringLiteral("usr/share/applications/irconsole.desktop"),
        QStringLiteral("usr/share/doc/irconsole/changelog.gz"),
        QStringLiteral("usr/share/doc/irconsole/copyright"),
        QStringLiteral("usr/share/icons/hicolor/128x128/apps/irconsole.png"),
        QStringLiteral("usr/share/icons/hicolor/256x256/apps/irconsole.png"),
        QStringLiteral("usr/share/icons/hicolor/48x48/apps/irconsole.png"),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/irconsole.svg"),
        QStringLiteral("usr/share/man/man1/irconsole-station-sim.1.gz"),
        QStringLiteral("usr/share/man/man1/irconsole.1.gz"),
        QStringLiteral("usr/share/metainfo/") + metainfoName(),
    };
    QCOMPARE(filesUnder(m_root.path()), expected);
    for (const char* program : {"usr/bin/irconsole", "usr/bin/irconsole-station-sim"})
        QVERIFY2(QFileInfo(installed(QLatin1String(program))).isExecutable(), program);
    for (int size : {48, 128, 256}) {
        const QImage icon(installed(
            QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/irconsole.png").arg(size)));
        QCOMPARE(icon.size(), QSize(size, size));
    }
    // Machine-readable, with the licence the sources carry.
    QFile copyright(installed(QStringLiteral("usr/share/doc/irconsole/copyright")));
    QVERIFY(copyright.open(QIODevice::ReadOnly));
    const QByteArray text = copyright.readAll();
    QVERIFY(text.startsWith(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"));
    QVERIFY(text.contains("License: GPL-3.0-or-later"));
    // The packaged simulator answers as the one of the build does.
    const Finished help =
        run(installed(QStringLiteral("usr/bin/irconsole-station-sim")), {QStringLiteral("--help")});
    QVERIFY2(help.ran && help.exitCode == 0, qPrintable(help.output));
}

void TestPackage::checkersAcceptEntryMetainfoPageAndPackage() {
    for (const char* tool : {"desktop-file-validate", "appstreamcli", "man", "lintian"}) {
        if (!hasTool(tool))
            QSKIP(qPrintable(QStringLiteral("%1 is missing: scripts/setup.sh package installs it")
                                 .arg(QLatin1String(tool))));
    }
    const QString entry = installed(QStringLiteral("usr/share/applications/irconsole.desktop"));
    const Finished validated = run(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(validated.ran && validated.exitCode == 0 && validated.output.trimmed().isEmpty(),
             qPrintable(validated.output));
    QFile entryFile(entry);
    QVERIFY(entryFile.open(QIODevice::ReadOnly));
    const QByteArray entryText = entryFile.readAll();
    // Started by name from the menu, without options, with the installed icon.
    QVERIFY(entryText.contains("\nExec=irconsole\n"));
    QVERIFY(entryText.contains("\nIcon=irconsole\n"));

    const Finished metainfo =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
             installed(QStringLiteral("usr/share/metainfo/") + metainfoName())});
    QVERIFY2(metainfo.ran && metainfo.exitCode == 0, qPrintable(metainfo.output));

    QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
    plain.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    const Finished page =
        run(QStringLiteral("man"),
            {QStringLiteral("-l"), installed(QStringLiteral("usr/share/man/man1/irconsole.1.gz"))},
            plain);
    QVERIFY2(page.ran && page.exitCode == 0, qPrintable(page.output));
    for (const char* said :
         {"--settings", "$XDG_CONFIG_HOME/irconsole/Iniprofil.ini",
          "$XDG_DATA_HOME/irconsole/runs/", "irconsole " IRCONSOLE_PROJECT_VERSION})
        QVERIFY2(page.output.contains(QLatin1String(said)), said);
    QVERIFY2(!page.output.contains(QLatin1Char('@')), "a placeholder was left in the page");

    // Errors fail; warnings and notes are listed for the reader of the log.
    const Finished linted =
        run(QStringLiteral("lintian"), {QStringLiteral("--pedantic"), QStringLiteral("-I"), m_deb},
            QProcessEnvironment::systemEnvironment(), 600000);
    QVERIFY2(linted.ran, qPrintable(linted.output));
    qInfo("lintian:\n%s", qPrintable(linted.output));
    const QStringList errors =
        linted.output.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^E: ")));
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
}

// Every library the packaged programs and the display plugin load, and the
// toolkit's Russian texts, come from a package the Depends line brings.
void TestPackage::everyLoadedLibraryComesFromADependency() {
    if (!testsupport::isDebianSystem())
        QSKIP("not a Debian system");
    const QSet<QString> closure =
        testsupport::dependencyClosure(packageNames(field(QStringLiteral("Depends"))));
    const QString plugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqxcb.so");
    QStringList needed;
    for (const char* program : {"usr/bin/irconsole", "usr/bin/irconsole-station-sim"}) {
        const QStringList libraries =
            testsupport::loadedLibraries(installed(QLatin1String(program)));
        QVERIFY2(!libraries.isEmpty(), program);
        needed << libraries;
    }
    needed << plugin << testsupport::loadedLibraries(plugin)
           << QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ru.qm");
    const QStringList uncovered = testsupport::uncoveredFiles(needed, closure);
    QVERIFY2(uncovered.isEmpty(), qPrintable(uncovered.join(QStringLiteral("; ")) +
                                             ", which the Depends line does not bring"));
}

// A fresh account: the window comes up; the first save creates the settings file
// under $XDG_CONFIG_HOME, where the port link Com1 is looked for too; a run is
// journalled under $XDG_DATA_HOME; nothing is written beside the executable.
void TestPackage::installedConsoleKeepsItsFilesPerUser() {
    if (const std::optional<QString> missing = e2e::missingDesktopTools())
        QSKIP(qPrintable(*missing));
    QTemporaryDir user;
    QVERIFY(user.isValid());
    const QString configFolder = user.filePath(QStringLiteral("config/irconsole"));
    const QString runsFolder = user.filePath(QStringLiteral("data/irconsole/runs"));
    const QString settings = configFolder + QStringLiteral("/Iniprofil.ini");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), user.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), user.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), user.filePath(QStringLiteral("data")));
    const ConsoleProcess::Launch launch{
        installed(QStringLiteral("usr/bin/irconsole")), {}, settings, environment};
    const QStringList programsBefore = filesUnder(installed(QStringLiteral("usr/bin")));

    {
        ConsoleProcess console(launch);
        QVERIFY2(console.start(), qPrintable(console.errors()));
        QVERIFY(!QFileInfo::exists(settings));
        console.click(console.mainWindow(),
                      console.inBottomBand(kPortSetupButton.x(), kPortSetupButton.y()));
        const std::optional<XWindow> dialog =
            console.waitForWindow(QStringLiteral("Настройки соединения"), kWindowTimeoutMs);
        QVERIFY2(dialog, "the connection settings did not open");
        console.click(*dialog, kPortSave);
        QVERIFY(console.waitForWindowGone(*dialog, kWindowTimeoutMs));
        QVERIFY2(QFileInfo(settings).isFile(), "the save made no settings file");
        console.click(console.mainWindow(), console.menuItems().value(2)); // "Выход"
        QVERIFY2(console.waitForCleanExit(kWindowTimeoutMs), qPrintable(console.errors()));
    }

    // The station's link com1 beside the file, at the station's speed; runs follow
    // the station's start button; the journal on.
    QFile file(settings);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    text.replace(QRegularExpression(QStringLiteral("Comport=[^\\r\\n]*")),
                 QStringLiteral("Comport=Com1"));
    text.replace(QRegularExpression(QStringLiteral("BaudRate=[^\\r\\n]*")),
                 QStringLiteral("BaudRate=19200"));
    QVERIFY2(text.contains(QStringLiteral("Comport=Com1")) &&
                 text.contains(QStringLiteral("BaudRate=19200")),
             qPrintable(text));
    text += QStringLiteral("\n[Global]\nAutoStart=1\n\n[Record]\nAutoSave=1\n");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
    file.close();

    StationProcess station(configFolder);
    QVERIFY2(station.start(), qPrintable(station.errors()));
    ConsoleProcess console(launch);
    QVERIFY2(console.start(), qPrintable(console.errors()));
    console.click(console.mainWindow(),
                  console.inBottomBand(kConnectButton.x(), kConnectButton.y()));
    QVERIFY2(station.waitForLog([](const e2e::LogLine& line) { return line.kind == u"status"; },
                                kWindowTimeoutMs),
             qPrintable(QStringLiteral("no status frame through com1 beside the settings file: ") +
                        QDir(configFolder).entryList().join(u' ') + u'\n' + text));
    QCOMPARE(station.command(QStringLiteral("start")).section(u' ', 0, 0),
             QStringLiteral("started"));
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     return !QDir(runsFolder)
                                 .entryList({QStringLiteral("*.csv")}, QDir::Files)
                                 .isEmpty();
                 },
                 kRunTimeoutMs),
             "no journal under $XDG_DATA_HOME/irconsole/runs");
    QCOMPARE(station.command(QStringLiteral("stop")), QStringLiteral("stopped"));
    console.click(console.mainWindow(), console.menuItems().value(2));
    QVERIFY2(console.waitForCleanExit(kWindowTimeoutMs), qPrintable(console.errors()));
    QVERIFY2(station.quit(), qPrintable(station.errors()));

    QCOMPARE(filesUnder(installed(QStringLiteral("usr/bin"))), programsBefore);
    QVERIFY(!QFileInfo::exists(user.filePath(QStringLiteral("home/.config/irconsole"))));
}

// A GUI application, so that this process holds the X server for the whole run.
QTEST_MAIN(TestPackage)
#include "tst_package.moc"
