// SPDX-License-Identifier: GPL-3.0-or-later
// The demo behind ./run: a missing display, a simulator that does not start and a
// second demo in the same build folder each end with one clear line and leave no
// simulator running.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const QString kDemoScript = QStringLiteral(IRCONSOLE_SOURCE_DIR "/scripts/demo.sh");
const QString kStationSim = QStringLiteral(IRCONSOLE_STATION_SIM);

// A console that stays open until its process is killed, and says which one it is.
const QByteArray kWaitingConsole = "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/console.pid\"\n"
                                   "exec sleep 600\n";

void writeProgram(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void withoutADisplayItSaysSoAndStartsNothing();
    void aSimulatorThatDoesNotStartIsReported();
    void aSecondDemoIsRefusedAndTheFirstKeepsItsLink();

private:
    QProcessEnvironment environment(bool withDisplay) const;
    QProcess* startDemo(bool withDisplay);
    QString path(const QString& name) const { return m_build->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_build;
    std::vector<std::unique_ptr<QProcess>> m_demos;
};

void TestDemo::init() {
    m_build = std::make_unique<QTemporaryDir>();
    QVERIFY(m_build->isValid());
    QVERIFY(QFile::link(kStationSim, path(QStringLiteral("station-sim"))));
    writeProgram(path(QStringLiteral("irconsole")), kWaitingConsole);
}

void TestDemo::cleanup() {
    QFile pidFile(path(QStringLiteral("console.pid")));
    if (pidFile.open(QIODevice::ReadOnly))
        QProcess::execute(QStringLiteral("kill"),
                          {QString::fromLatin1(pidFile.readAll().trimmed())});
    for (auto& demo : m_demos) {
        if (!demo->waitForFinished(15000))
            demo->kill();
    }
    m_demos.clear();
    m_build.reset();
}

QProcessEnvironment TestDemo::environment(bool withDisplay) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (withDisplay)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("IRCONSOLE_BUILD_DIR"), m_build->path());
    return environment;
}

QProcess* TestDemo::startDemo(bool withDisplay) {
    auto demo = std::make_unique<QProcess>();
    demo->setProcessEnvironment(environment(withDisplay));
    demo->start(QStringLiteral("bash"), {kDemoScript});
    m_demos.push_back(std::move(demo));
    return m_demos.back().get();
}

void TestDemo::withoutADisplayItSaysSoAndStartsNothing() {
    QProcess* demo = startDemo(false);
    QVERIFY(demo->waitForFinished(30000));
    QVERIFY(demo->exitCode() != 0);
    const QString said = QString::fromUtf8(demo->readAllStandardError());
    QCOMPARE(said.count(QLatin1Char('\n')), 1);
    QVERIFY2(said.contains(QStringLiteral("DISPLAY")) && said.contains(QStringLiteral("xvfb-run")),
             qPrintable(said));
    // Nothing was started or written.
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("Iniprofil.ini"))));
    QVERIFY(!QFileInfo(path(QStringLiteral("com1"))).isSymLink());
}

void TestDemo::aSimulatorThatDoesNotStartIsReported() {
    QVERIFY(QFile::remove(path(QStringLiteral("station-sim"))));
    writeProgram(path(QStringLiteral("station-sim")),
                 "#!/bin/sh\necho 'station-sim: cannot open a pseudo-terminal' >&2\nexit 3\n");
    writeProgram(path(QStringLiteral("Iniprofil.ini")), "[Connect]\r\nComport=Com1\r\n");
    QProcess* demo = startDemo(true);
    QVERIFY(demo->waitForFinished(30000));
    QCOMPARE(demo->exitCode(), 1);
    const QString said = QString::fromUtf8(demo->readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("demo: the station simulator did not start")),
             qPrintable(said));
    // The console was never started.
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("console.pid"))));
}

void TestDemo::aSecondDemoIsRefusedAndTheFirstKeepsItsLink() {
    const QString link = path(QStringLiteral("com1"));
    QProcess* first = startDemo(true);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path(QStringLiteral("console.pid"))), 30000);
    QVERIFY(QFileInfo(link).isSymLink());
    const QString terminal = QFileInfo(link).symLinkTarget();

    QProcess* second = startDemo(true);
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), 1);
    const QString said = QString::fromUtf8(second->readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("already running")), qPrintable(said));
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(QFileInfo(link).symLinkTarget(), terminal);

    // Closing the console stops the simulator, which takes its link away.
    QFile pidFile(path(QStringLiteral("console.pid")));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    QCOMPARE(QProcess::execute(QStringLiteral("kill"),
                               {QString::fromLatin1(pidFile.readAll().trimmed())}),
             0);
    QVERIFY(QFile::remove(path(QStringLiteral("console.pid"))));
    QVERIFY(first->waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo(link).isSymLink(), 10000);
}

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
