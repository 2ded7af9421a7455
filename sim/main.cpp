// SPDX-License-Identifier: GPL-3.0-or-later
// build/station-sim: the simulated station on a pseudo-terminal, steered by options and stdin.
#include "sim/DemoProfiles.h"
#include "sim/Station.h"
#include "sim/StationCommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT, SIGTERM and SIGHUP end the event loop, so the link is removed on the way out.
void quitOnSignals(QCoreApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.exit(0); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
    // A reader of stdout that went away must not kill us before the link is removed.
    std::signal(SIGPIPE, SIG_IGN);
}

void printLine(std::FILE* stream, const QString& line) {
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Reads command lines from stdin. End of input stops reading but not the
// station: a test or a script may close stdin and still want the station.
class CommandReader : public QObject {
public:
    CommandReader(sim::Station& station, QCoreApplication& app)
        : m_station(station), m_app(app), m_notifier(STDIN_FILENO, QSocketNotifier::Read) {
        connect(&m_notifier, &QSocketNotifier::activated, this, &CommandReader::onReadable);
    }

private:
    void onReadable() {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            if (n == 0 || errno != EINTR)
                m_notifier.setEnabled(false);
            return;
        }
        m_pending.append(buffer, n);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            run(line);
        }
    }

    void run(const QString& line) {
        const sim::CommandOutcome outcome = sim::runCommand(m_station, line);
        if (!outcome.reply.isEmpty())
            printLine(outcome.ok ? stdout : stderr, outcome.reply);
        if (outcome.quit)
            m_app.exit(0);
    }

    sim::Station& m_station;
    QCoreApplication& m_app;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

struct ParsedCommandLine {
    sim::StationOptions options;
    QString demoSettingsPath;
};

template <typename T> std::optional<T> parseNumber(const QString& text);

template <> std::optional<int> parseNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

template <> std::optional<double> parseNumber(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

template <> std::optional<std::uint32_t> parseNumber(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    return ok ? std::optional<std::uint32_t>(value) : std::nullopt;
}

// Exits with a message on a bad option, like QCommandLineParser::process does.
template <typename T>
T numberOption(QCommandLineParser& parser, const QString& name, bool (*valid)(T)) {
    const std::optional<T> value = parseNumber<T>(parser.value(name));
    if (!value || !valid(*value)) {
        printLine(
            stderr,
            QStringLiteral("station-sim: bad value for --%1: %2").arg(name, parser.value(name)));
        std::exit(2);
    }
    return *value;
}

ParsedCommandLine parseCommandLine(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated infrared soldering station on a pseudo-terminal. Prints the "
                       "terminal's path, then reads commands from stdin (type help)."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("Make a symbolic link PATH to the terminal."),
         QStringLiteral("PATH")},
        {QStringLiteral("log"), QStringLiteral("Write one line per frame to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("demo"), QStringLiteral("Start runs by itself.")},
        {QStringLiteral("speed"), QStringLiteral("Run the station's clock FACTOR times faster."),
         QStringLiteral("FACTOR"), QStringLiteral("1")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("garbage"), QStringLiteral("Answer with random bytes.")},
        {QStringLiteral("burst"), QStringLiteral("Answer with N frames at once."),
         QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("split"), QStringLiteral("Deliver answers in small pieces.")},
        {QStringLiteral("instant"),
         QStringLiteral("Answer at once, without the line's transmission time.")},
        {QStringLiteral("double"),
         QStringLiteral("Answer with two frames, the remote command in the first only.")},
        {QStringLiteral("count-up"),
         QStringLiteral("Report readings one degree higher in every answer: the n-th top "
                        "130 + n, bottom 20 + n (modulo 256).")},
        {QStringLiteral("hangup-after"),
         QStringLiteral("Close the terminal after SECONDS, as an unplugged adapter would."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("seed"), QStringLiteral("Seed for the random bytes and piece sizes."),
         QStringLiteral("N")},
        {QStringLiteral("write-demo-settings"),
         QStringLiteral("Write the demo settings file FILE and exit."), QStringLiteral("FILE")},
    });
    parser.process(app);

    ParsedCommandLine parsed;
    sim::StationOptions& o = parsed.options;
    o.linkPath = parser.value(QStringLiteral("link"));
    o.logPath = parser.value(QStringLiteral("log"));
    o.demo = parser.isSet(QStringLiteral("demo"));
    o.silent = parser.isSet(QStringLiteral("silent"));
    o.garbage = parser.isSet(QStringLiteral("garbage"));
    o.split = parser.isSet(QStringLiteral("split"));
    o.instant = parser.isSet(QStringLiteral("instant"));
    o.doubled = parser.isSet(QStringLiteral("double"));
    o.countUp = parser.isSet(QStringLiteral("count-up"));
    o.speed = numberOption<double>(parser, QStringLiteral("speed"), [](double v) { return v > 0; });
    o.burst = numberOption<int>(parser, QStringLiteral("burst"), [](int v) { return v >= 1; });
    if (parser.isSet(QStringLiteral("hangup-after")))
        o.hangupAfter = numberOption<double>(parser, QStringLiteral("hangup-after"),
                                             [](double v) { return v > 0; });
    if (parser.isSet(QStringLiteral("seed")))
        o.seed = numberOption<std::uint32_t>(parser, QStringLiteral("seed"),
                                             [](std::uint32_t) { return true; });
    parsed.demoSettingsPath = parser.value(QStringLiteral("write-demo-settings"));
    return parsed;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("station-sim"));
    const ParsedCommandLine parsed = parseCommandLine(app);

    if (!parsed.demoSettingsPath.isEmpty()) {
        QString error;
        if (!sim::writeDemoSettings(parsed.demoSettingsPath, &error)) {
            printLine(stderr, QStringLiteral("station-sim: %1").arg(error));
            return 1;
        }
        return 0;
    }

    sim::Station station(parsed.options);
    QString error;
    if (!station.open(&error)) {
        printLine(stderr, QStringLiteral("station-sim: %1").arg(error));
        return 1;
    }
    quitOnSignals(app);
    CommandReader commands(station, app);

    // The first line on stdout is the terminal's path: whoever started us waits for it.
    printLine(stdout, station.slavePath());
    QString note = QStringLiteral("station-sim: station on %1").arg(station.slavePath());
    if (!parsed.options.linkPath.isEmpty())
        note += QStringLiteral(", linked as %1").arg(parsed.options.linkPath);
    printLine(stderr,
              note + QStringLiteral(", seed %1; %2").arg(station.seed()).arg(sim::commandHelp()));
    return app.exec();
}
