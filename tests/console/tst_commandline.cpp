// SPDX-License-Identifier: GPL-3.0-or-later
// The console's command line: what each start is asked to do, and the one line
// that refuses a wrong one.
#include "app/CommandLine.h"

#include <QTest>

using app::CommandLine;

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void eachStartIsReadOnce_data();
    void eachStartIsReadOnce();
    void helpNamesEveryOption();
};

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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
