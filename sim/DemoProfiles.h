// SPDX-License-Identifier: GPL-3.0-or-later
// The ten profiles the simulated station knows from the start, and the demo settings file built
// from them.
#pragma once

#include "link/StationFrame.h"

#include <QString>

#include <array>

namespace sim {

struct NamedProfile {
    const char* name; // UTF-8
    station::ProfileValues values;
};

// Slot N of the station's memory until the console transfers profile N; the
// demo settings file holds the same values, so what the console shows is what
// the station runs.
const std::array<NamedProfile, 10>& demoProfiles();

// Writes the demo settings file (connection Com1 at 19200, automatic start on,
// the ten profiles). Returns false and the reason when the file cannot be written.
bool writeDemoSettings(const QString& path, QString* error);

} // namespace sim
