# SPDX-License-Identifier: GPL-3.0-or-later
# Any bytes as the settings file on disk, in any encoding: reads never fail; each of several
# saves, some on a disk that refuses mid-write, changes its keys whole or nothing.
# Each input makes up to four locked, synced saves: 400 inputs fit the suite's time.
irconsole_fuzz_target(settings_file ${CMAKE_CURRENT_SOURCE_DIR}/settings_file.cpp
    RUNS 400 LIBS irconsole_config)
