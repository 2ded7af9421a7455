# SPDX-License-Identifier: GPL-3.0-or-later
# Any bytes as the settings file, in any encoding: reads never fail; each of several
# writes, some on a disk that refuses mid-write, changes its key alone or nothing.
# Each input makes up to five locked, synced writes: 400 inputs fit the suite's time.
irconsole_fuzz_target(settings_file ${CMAKE_CURRENT_SOURCE_DIR}/settings_file.cpp
    RUNS 400 LIBS irconsole_config)
