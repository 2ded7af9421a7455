// SPDX-License-Identifier: GPL-3.0-or-later
// Where the console keeps its files: beside the executable, per user, or beside a
// settings file given on the command line.
#include "config/AppPaths.h"
#include "config/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using config::FileLayout;
using config::FilePlaces;
using config::PlaceInputs;

Q_DECLARE_METATYPE(PlaceInputs)
Q_DECLARE_METATYPE(FilePlaces)

namespace {

// Sets an environment variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_previous(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedVariable() {
        if (m_had)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_previous;
};

} // namespace

class TestAppPaths : public QObject {
    Q_OBJECT

private slots:
    void placesFollowTheLayoutTheOptionAndTheVariables_data();
    void placesFollowTheLayoutTheOptionAndTheVariables();
    void perUserChoiceCreatesOnlyTheSettingsFolderAndSavesThere();
    void settingsOptionKeepsFileRunsAndPortLinksTogether();
    void choiceEndsWithItsScope();
};

void TestAppPaths::placesFollowTheLayoutTheOptionAndTheVariables_data() {
    QTest::addColumn<PlaceInputs>("inputs");
    QTest::addColumn<FilePlaces>("places");

    const QString exe = QStringLiteral("/opt/station one");
    const QString home = QStringLiteral("/home/op");
    auto inputs = [&](FileLayout layout, const QString& option, const QString& configHome,
                      const QString& dataHome) {
        return PlaceInputs{layout, exe, option, home, configHome, dataHome};
    };
    const FileLayout beside = FileLayout::BesideExecutable;
    const FileLayout perUser = FileLayout::PerUser;

    QTest::newRow("beside the executable")
        << inputs(beside, {}, QStringLiteral("/x/config"), QStringLiteral("/x/data"))
        << FilePlaces{QStringLiteral("/opt/station one/Iniprofil.ini"),
                      QStringLiteral("/opt/station one/runs")};
    QTest::newRow("per user, XDG variables set")
        << inputs(perUser, {}, QStringLiteral("/x/config"), QStringLiteral("/x/data/"))
        << FilePlaces{QStringLiteral("/x/config/irconsole/Iniprofil.ini"),
                      QStringLiteral("/x/data/irconsole/runs")};
    QTest::newRow("per user, XDG variables empty")
        << inputs(perUser, {}, {}, {})
        << FilePlaces{QStringLiteral("/home/op/.config/irconsole/Iniprofil.ini"),
                      QStringLiteral("/home/op/.local/share/irconsole/runs")};
    // The XDG rules say a relative path is invalid and is to be ignored.
    QTest::newRow("per user, XDG variables relative")
        << inputs(perUser, {}, QStringLiteral("config"), QStringLiteral("./data"))
        << FilePlaces{QStringLiteral("/home/op/.config/irconsole/Iniprofil.ini"),
                      QStringLiteral("/home/op/.local/share/irconsole/runs")};
    QTest::newRow("--settings wins over per user")
        << inputs(perUser, QStringLiteral("/srv/station 2/st2.ini"), QStringLiteral("/x/config"),
                  QStringLiteral("/x/data"))
        << FilePlaces{QStringLiteral("/srv/station 2/st2.ini"),
                      QStringLiteral("/srv/station 2/runs")};
    QTest::newRow("--settings wins over beside the executable")
        << inputs(beside, QStringLiteral("/srv/a/b/../Iniprofil.ini"), {}, {})
        << FilePlaces{QStringLiteral("/srv/a/Iniprofil.ini"), QStringLiteral("/srv/a/runs")};
}

void TestAppPaths::placesFollowTheLayoutTheOptionAndTheVariables() {
    QFETCH(PlaceInputs, inputs);
    QFETCH(FilePlaces, places);
    const FilePlaces found = config::filePlaces(inputs);
    QCOMPARE(found.settingsFile, places.settingsFile);
    QCOMPARE(found.runsFolder, places.runsFolder);
}

// An installed console on a fresh account: the folder of the settings file is made
// at start, the file itself only by the first save, and nothing lands beside the
// executable.
void TestAppPaths::perUserChoiceCreatesOnlyTheSettingsFolderAndSavesThere() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString executable = root.filePath(QStringLiteral("usr/bin"));
    QVERIFY(QDir().mkpath(executable));
    const ScopedVariable home("HOME", root.filePath(QStringLiteral("home")).toUtf8());
    const ScopedVariable configHome("XDG_CONFIG_HOME", "");
    const ScopedVariable dataHome("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toUtf8());
    const config::ScopedAppDirectoryOverride programFolder(executable);
    const config::ScopedFileChoice choice(FileLayout::PerUser, {});

    const QString settings = root.filePath(QStringLiteral("home/.config/irconsole/Iniprofil.ini"));
    QCOMPARE(config::settingsFilePath(), settings);
    QCOMPARE(config::runsDirectory(), root.filePath(QStringLiteral("data/irconsole/runs")));
    QCOMPARE(config::portLinkDirectory(), QFileInfo(settings).absolutePath());

    QVERIFY(config::prepareSettingsFolder());
    QVERIFY(QFileInfo(QFileInfo(settings).absolutePath()).isDir());
    QVERIFY(!QFileInfo::exists(settings));

    config::SettingsFile file;
    QCOMPARE(file.path(), settings);
    file.WriteInteger(QStringLiteral("Profil0"), QStringLiteral("T1"), 150);
    file.commit();
    QVERIFY(QFileInfo(settings).isFile());
    QCOMPARE(QDir(executable).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// Two consoles for two stations: each file has its runs and its port links beside it.
void TestAppPaths::settingsOptionKeepsFileRunsAndPortLinksTogether() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString station2 = root.filePath(QStringLiteral("station 2"));
    const config::ScopedAppDirectoryOverride programFolder(root.filePath(QStringLiteral("bin")));
    const config::ScopedFileChoice choice(FileLayout::PerUser, station2 + QStringLiteral("/s.ini"));
    QCOMPARE(config::settingsFilePath(), station2 + QStringLiteral("/s.ini"));
    QCOMPARE(config::runsDirectory(), station2 + QStringLiteral("/runs"));
    QCOMPARE(config::portLinkDirectory(), station2);
    // The folder of a file the operator named is the operator's: it is not made.
    QVERIFY(config::prepareSettingsFolder());
    QVERIFY(!QFileInfo::exists(station2));
}

void TestAppPaths::choiceEndsWithItsScope() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const config::ScopedAppDirectoryOverride programFolder(root.path());
    const QString besideExecutable = root.filePath(QStringLiteral("Iniprofil.ini"));
    QCOMPARE(config::settingsFilePath(), besideExecutable);
    {
        const config::ScopedFileChoice outer(FileLayout::PerUser, {});
        QVERIFY(config::settingsFilePath() != besideExecutable);
        {
            const config::ScopedFileChoice inner(FileLayout::BesideExecutable,
                                                 root.filePath(QStringLiteral("other.ini")));
            QCOMPARE(config::settingsFilePath(), root.filePath(QStringLiteral("other.ini")));
        }
        QVERIFY(config::settingsFilePath().endsWith(QStringLiteral("/irconsole/Iniprofil.ini")));
    }
    QCOMPARE(config::settingsFilePath(), besideExecutable);
    QCOMPARE(config::portLinkDirectory(), root.path());
}

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
