// SPDX-License-Identifier: GPL-3.0-or-later
// The console's command line.
#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace app {

namespace {

const QString kProgram = QStringLiteral("irconsole");

// The toolkit reads these from the same command line (QApplication and
// QGuiApplication on X11 and Wayland); they must not be taken for ours.
const char* const kToolkitOptionsWithValue[] = {"platform",
                                                "platformpluginpath",
                                                "platformtheme",
                                                "plugin",
                                                "qwindowgeometry",
                                                "qwindowicon",
                                                "qwindowtitle",
                                                "display",
                                                "geometry",
                                                "style",
                                                "stylesheet",
                                                "session",
                                                "name",
                                                "title",
                                                "visual",
                                                "qmljsdebugger",
                                                "fn",
                                                "font",
                                                "bg",
                                                "background",
                                                "fg",
                                                "foreground",
                                                "btn",
                                                "button",
                                                "ncols",
                                                "cmap",
                                                "im",
                                                "inputstyle"};
const char* const kToolkitFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

QString helpText() {
    return QStringLiteral("Использование: irconsole [--settings ФАЙЛ]\n"
                          "Программа управления инфракрасной паяльной станцией.\n"
                          "\n"
                          "  --settings ФАЙЛ  файл настроек для этого запуска вместо обычного;\n"
                          "                   прогоны пишутся в папку runs рядом с ним\n"
                          "  --version        версия программы\n"
                          "  --help           эта справка\n");
}

void addToolkitOptions(QCommandLineParser& parser) {
    for (const char* name : kToolkitOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kToolkitFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// The option as the operator typed it ("-x", "--bogus=1"), found by its name.
QString asTyped(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments.mid(1)) {
        QString bare = argument.section(u'=', 0, 0);
        while (bare.startsWith(u'-'))
            bare.remove(0, 1);
        if (argument.startsWith(u'-') && bare == name)
            return argument;
    }
    return QStringLiteral("--") + name;
}

CommandLine refused(const QString& why) {
    CommandLine line;
    line.action = CommandLine::Action::Refuse;
    line.message = QStringLiteral("%1: %2 (справка: irconsole --help)").arg(kProgram, why);
    return line;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QString& version) {
    QCommandLineParser parser;
    // "-platform offscreen" is the toolkit's single-dash long option, not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption showVersion({QStringLiteral("v"), QStringLiteral("version")},
                                         QString());
    const QCommandLineOption settings(QStringLiteral("settings"), QString(),
                                      QStringLiteral("file"));
    parser.addOptions({help, showVersion, settings});
    addToolkitOptions(parser);

    const bool parsed = parser.parse(arguments);
    // Help and version answer whatever else stands beside them.
    if (parser.isSet(help))
        return {CommandLine::Action::ShowHelp, {}, helpText()};
    if (parser.isSet(showVersion))
        return {CommandLine::Action::ShowVersion, {}, kProgram + u' ' + version + u'\n'};
    if (!parsed) {
        if (!parser.unknownOptionNames().isEmpty())
            return refused(QStringLiteral("неизвестный параметр %1")
                               .arg(asTyped(arguments, parser.unknownOptionNames().constFirst())));
        return refused(QStringLiteral("после --settings нужен файл"));
    }
    if (!parser.positionalArguments().isEmpty())
        return refused(
            QStringLiteral("лишний аргумент «%1»").arg(parser.positionalArguments().constFirst()));
    const QStringList files = parser.values(settings);
    if (files.size() > 1)
        return refused(QStringLiteral("--settings дан больше одного раза"));
    if (!files.isEmpty() && files.constFirst().isEmpty())
        return refused(QStringLiteral("после --settings нужен файл"));
    CommandLine line;
    line.settingsFile = files.value(0);
    return line;
}

} // namespace app
