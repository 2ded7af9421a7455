// SPDX-License-Identifier: GPL-3.0-or-later
// The real build/irconsole on an X server: its window, its size and place, and a screenshot.
#include "tests/support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every band shown: the proprietary firmware and the profile strip.
const QByteArray kSettings = R"([Connect]
Comport=Com3
BaudRate=115200
[Global]
EditP2=80
EditpGain=120
EditiGain=3
EditdGain=40
EditTpid=20
EditpBH=70
EditkBH=5
EditP1=90
Correct1=-5
Correct2=7
Hex=1
VisibleProfil=1
AutoStart=0
[Profil0]
T0=180
TB=150
T1=160
S1=60
T3=235
S3=30
Name=Бессвинцовый BGA
)";

QString run(const QString& program, const QStringList& arguments, int timeoutMs = 30000) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

int infoValue(const QString& info, const QString& key) {
    const QRegularExpression re(QRegularExpression::escape(key) + QStringLiteral(":\\s+(-?\\d+)"));
    const QRegularExpressionMatch match = re.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

bool looksBlue(QRgb pixel) {
    return qBlue(pixel) > 180 && qRed(pixel) < 100 && qGreen(pixel) < 100;
}

} // namespace

class TestMainWindowX11 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowOpensCentredAtLeastMinimumAndPainted();

private:
    QTemporaryDir m_dir;
    QProcess m_console;
};

void TestMainWindowX11::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (the suite runs this test under xvfb-run)");
    for (const char* tool : {"xdotool", "xwininfo", "import"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    }
    // A copy of the binary, so that its settings file is this test's own.
    const QString binary = m_dir.filePath(QStringLiteral("irconsole"));
    QVERIFY(QFile::copy(QStringLiteral(IRCONSOLE_BINARY_DIR "/irconsole"), binary));
    QFile settings(m_dir.filePath(QStringLiteral("Iniprofil.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(kSettings);
    settings.close();

    m_console.setProgram(binary);
    m_console.setWorkingDirectory(QDir::rootPath());
    m_console.start();
    QVERIFY(m_console.waitForStarted());
}

void TestMainWindowX11::cleanupTestCase() {
    if (m_console.state() != QProcess::NotRunning) {
        m_console.terminate();
        if (!m_console.waitForFinished(5000)) {
            m_console.kill();
            m_console.waitForFinished();
        }
    }
}

void TestMainWindowX11::windowOpensCentredAtLeastMinimumAndPainted() {
    const QString pid = QString::number(m_console.processId());
    const QString window = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--sync"),
                                QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), pid})
                               .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                               .value(0);
    QVERIFY2(!window.isEmpty(), "the console never showed a window");

    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window}).trimmed(),
             QStringLiteral("Программа управления инфракрасной паяльной станцией"));

    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    const QString root = run(QStringLiteral("xwininfo"), {QStringLiteral("-root")});
    const int width = infoValue(info, QStringLiteral("Width"));
    const int height = infoValue(info, QStringLiteral("Height"));
    QVERIFY2(width >= 1024 && height >= 768, qPrintable(info));
    const int x = infoValue(info, QStringLiteral("Absolute upper-left X"));
    const int y = infoValue(info, QStringLiteral("Absolute upper-left Y"));
    QVERIFY2(qAbs(x - (infoValue(root, QStringLiteral("Width")) - width) / 2) <= 1,
             qPrintable(info));
    QVERIFY2(qAbs(y - (infoValue(root, QStringLiteral("Height")) - height) / 2) <= 1,
             qPrintable(info));

    // Painted and initialised: the link state is written in blue in the bottom band.
    const QString shot =
        QDir(testsupport::artifactsDir()).filePath(QStringLiteral("main-window.png"));
    QImage image;
    const QRect linkState(770, height - 35 + 4, 91, 25);
    const bool painted = QTest::qWaitFor(
        [&] {
            QFile::remove(shot);
            run(QStringLiteral("import"), {QStringLiteral("-window"), window, shot});
            if (!image.load(shot) || image.size() != QSize(width, height))
                return false;
            for (int py = linkState.top(); py <= linkState.bottom(); ++py)
                for (int px = linkState.left(); px <= linkState.right(); ++px)
                    if (looksBlue(image.pixel(px, py)))
                        return true;
            return false;
        },
        30000);
    QVERIFY2(painted, qPrintable(shot));
    qInfo("screenshot: %s", qPrintable(shot));
}

QTEST_GUILESS_MAIN(TestMainWindowX11)
#include "tst_mainwindow_x11.moc"
