// SPDX-License-Identifier: GPL-3.0-or-later
// The console's command line: what each start is asked to do, and the one line
// that refuses a wrong one.
#include "app/CommandLine.h"
#include "dialogs/Unit3.h"

#include <QLabel>
#include <QProcess>
#include <QTest>

using app::CommandLine;

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void eachStartIsReadOnce_data();
    void eachStartIsReadOnce();
    void helpNamesEveryOption();
    void programAnswersWithoutAWindow_data();
    void programAnswersWithoutAWindow();
    void versionIsTheAboutBoxs();
};

namespace {

struct Answer {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs build/irconsole with no display at all: an answer that needed one fails.
Answer runConsole(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(IRCONSOLE_BINARY_DIR "/irconsole"), arguments);
    Answer answer;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return answer;
    }
    answer.exitCode = process.exitCode();
    answer.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    answer.err = QString::fromLocal8Bit(process.readAllStandardError());
    return answer;
}

} // namespace

void TestCommandLine::eachStartIsReadOnce_data() {
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QString>("settingsFile");
    QTest::addColumn<QString>("message");

    using Action = CommandLine::Action;
    const QString none;
    QTest::newRow("nothing: the window") << QStringList{} << Action::Run << none << none;
    QTest::newRow("--settings FILE")
        << QStringList{"--settings", "/srv/st 2/a.ini"} << Action::Run << "/srv/st 2/a.ini" << none;
    QTest::newRow("--settings=FILE")
        << QStringList{"--settings=b.ini"} << Action::Run << "b.ini" << none;
    // The toolkit's own options pass through to it, with their values.
    QTest::newRow("toolkit options")
        << QStringList{"-platform", "offscreen", "-style=fusion", "--settings", "c.ini", "-reverse"}
        << Action::Run << "c.ini" << none;
    QTest::newRow("--version") << QStringList{"--version"} << Action::ShowVersion << none
                               << "irconsole 1.2.3.4\n";
    QTest::newRow("-v beside --settings") << QStringList{"--settings", "a.ini", "-v"}
                                          << Action::ShowVersion << none << "irconsole 1.2.3.4\n";
    QTest::newRow("--help beats an unknown option")
        << QStringList{"--bogus", "--help"} << Action::ShowHelp << none << none;
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << Action::Refuse << none
        << "irconsole: неизвестный параметр --bogus (справка: irconsole --help)";
    QTest::newRow("unknown option with a value, as typed")
        << QStringList{"--settings", "a.ini", "-x=1"} << Action::Refuse << none
        << "irconsole: неизвестный параметр -x=1 (справка: irconsole --help)";
    QTest::newRow("a file without --settings")
        << QStringList{"Iniprofil.ini"} << Action::Refuse << none
        << "irconsole: лишний аргумент «Iniprofil.ini» (справка: irconsole --help)";
    QTest::newRow("--settings without a file")
        << QStringList{"--settings"} << Action::Refuse << none
        << "irconsole: после --settings нужен файл (справка: irconsole --help)";
    QTest::newRow("--settings with an empty file")
        << QStringList{"--settings="} << Action::Refuse << none
        << "irconsole: после --settings нужен файл (справка: irconsole --help)";
    QTest::newRow("--settings twice")
        << QStringList{"--settings", "a.ini", "--settings", "b.ini"} << Action::Refuse << none
        << "irconsole: --settings дан больше одного раза (справка: irconsole --help)";
}

void TestCommandLine::eachStartIsReadOnce() {
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QString, settingsFile);
    QFETCH(QString, message);
    const CommandLine line = app::parseCommandLine(
        QStringList{QStringLiteral("/usr/bin/irconsole")} + arguments, QStringLiteral("1.2.3.4"));
    QCOMPARE(line.action, action);
    QCOMPARE(line.settingsFile, settingsFile);
    if (action != CommandLine::Action::ShowHelp)
        QCOMPARE(line.message, message);
    // A refusal is one line; the version and help end with a line break.
    if (action == CommandLine::Action::Refuse)
        QVERIFY(!line.message.contains(u'\n'));
}

void TestCommandLine::helpNamesEveryOption() {
    const CommandLine line =
        app::parseCommandLine({QStringLiteral("irconsole"), QStringLiteral("-h")}, {});
    QCOMPARE(line.action, CommandLine::Action::ShowHelp);
    for (const char* option : {"--settings ФАЙЛ", "--version", "--help"})
        QVERIFY2(line.message.contains(QString::fromUtf8(option)), option);
    // The toolkit's options stay out of the operator's help.
    QVERIFY(!line.message.contains(QStringLiteral("platform")));
    QVERIFY(line.message.endsWith(u'\n'));
}

void TestCommandLine::programAnswersWithoutAWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("startOfOut");
    QTest::addColumn<QString>("err");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "irconsole 1." << QString();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Использование: irconsole"
                            << QString();
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << 2 << QString()
        << "irconsole: неизвестный параметр --bogus (справка: irconsole --help)\n";
    QTest::newRow("positional") << QStringList{"a.ini"} << 2 << QString()
                                << "irconsole: лишний аргумент «a.ini» (справка: irconsole "
                                   "--help)\n";
}

void TestCommandLine::programAnswersWithoutAWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, startOfOut);
    QFETCH(QString, err);
    const Answer answer = runConsole(arguments);
    QCOMPARE(answer.exitCode, exitCode);
    QCOMPARE(answer.err, err);
    if (startOfOut.isEmpty())
        QCOMPARE(answer.out, QString());
    else
        QVERIFY2(answer.out.startsWith(startOfOut), qPrintable(answer.out));
}

// "irconsole 1.0.0.2" on the command line, "Версия программы: v1.0.0.2" in the box.
void TestCommandLine::versionIsTheAboutBoxs() {
    const Answer answer = runConsole({QStringLiteral("--version")});
    QCOMPARE(answer.exitCode, 0);
    QVERIFY2(answer.out.startsWith(QStringLiteral("irconsole ")) && answer.out.endsWith(u'\n'),
             qPrintable(answer.out));
    const QString printed = answer.out.mid(10).trimmed();
    QVERIFY(!printed.isEmpty());
    TForm3 about;
    const auto* line = about.findChild<QLabel*>(QStringLiteral("Label2"));
    QVERIFY(line);
    QCOMPARE(line->text(), QStringLiteral("Версия программы: v") + printed);
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
