# SPDX-License-Identifier: GPL-3.0-or-later
# Any bytes as the settings file, in any encoding, and a save of up to eight keys made in
# memory: the keys read back, every other key and every untouched line stays. No disk involved.
irconsole_fuzz_target(settings_text ${CMAKE_CURRENT_SOURCE_DIR}/settings_text.cpp
    RUNS 50000 LIBS irconsole_config)
