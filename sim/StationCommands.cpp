// SPDX-License-Identifier: GPL-3.0-or-later
// The text commands that steer a running station.
#include "sim/StationCommands.h"

#include "sim/Station.h"

#include <QStringList>

namespace sim {

namespace {

CommandOutcome failure(const QString& reason) {
    return {false, false, reason};
}

CommandOutcome temperatureCommand(Station& station, const QStringList& words) {
    if (words.size() == 2 && words[1] == QLatin1String("off")) {
        station.releaseReadings();
        return {true, false, QStringLiteral("temp model")};
    }
    bool topOk = false;
    bool bottomOk = false;
    const int top = words.value(1).toInt(&topOk);
    const int bottom = words.value(2).toInt(&bottomOk);
    if (words.size() != 3 || !topOk || !bottomOk || top < 0 || top > 255 || bottom < 0 ||
        bottom > 255)
        return failure(QStringLiteral("usage: temp TOP BOTTOM (0..255) or temp off"));
    station.forceReadings(top, bottom);
    return {true, false, QStringLiteral("temp %1 %2").arg(top).arg(bottom)};
}

// The most stray bytes one command puts on the line.
constexpr int kMaxNoise = 1024 * 1024;

CommandOutcome noiseCommand(Station& station, const QStringList& words) {
    bool ok = false;
    const int count = words.value(1).toInt(&ok);
    if (words.size() != 2 || !ok || count < 1 || count > kMaxNoise)
        return failure(QStringLiteral("usage: noise COUNT (1..%1)").arg(kMaxNoise));
    station.sendNoise(count);
    return {true, false, QStringLiteral("noise %1").arg(count)};
}

} // namespace

QString commandHelp() {
    return QStringLiteral("commands: start | stop | temp TOP BOTTOM | temp off | noise COUNT | "
                          "deaf | listen | hangup | status | help | quit");
}

CommandOutcome runCommand(Station& station, const QString& line) {
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {true, false, {}};
    const QString& verb = words.first();
    if (verb == QLatin1String("start")) {
        if (!station.startRun())
            return failure(QStringLiteral("a run is going on"));
        return {true, false, QStringLiteral("started profile %1").arg(station.selectedProfile())};
    }
    if (verb == QLatin1String("stop")) {
        if (!station.stopRun())
            return failure(QStringLiteral("no run is going on"));
        return {true, false, QStringLiteral("stopped")};
    }
    if (verb == QLatin1String("temp"))
        return temperatureCommand(station, words);
    if (verb == QLatin1String("noise"))
        return noiseCommand(station, words);
    if (verb == QLatin1String("deaf")) {
        station.stopListening();
        return {true, false, QStringLiteral("deaf")};
    }
    if (verb == QLatin1String("listen")) {
        station.listen();
        return {true, false, QStringLiteral("listening")};
    }
    if (verb == QLatin1String("hangup")) {
        station.hangUp();
        return {true, false, QStringLiteral("hung up")};
    }
    if (verb == QLatin1String("status"))
        return {true, false, station.describe()};
    if (verb == QLatin1String("help"))
        return {true, false, commandHelp()};
    if (verb == QLatin1String("quit"))
        return {true, true, QStringLiteral("bye")};
    return failure(QStringLiteral("unknown command: %1; %2").arg(verb, commandHelp()));
}

} // namespace sim
