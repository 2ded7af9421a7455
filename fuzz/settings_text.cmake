# SPDX-License-Identifier: GPL-3.0-or-later
# Any bytes as the settings file, in any encoding, and a save of up to eight keys made in
# memory: the keys read back, every other key and every untouched line stays. No disk involved.
irconsole_fuzz_target(settings_text ${CMAKE_CURRENT_SOURCE_DIR}/settings_text.cpp
    RUNS 50000 LIBS irconsole_config)
if(IRCONSOLE_FUZZ)
    # The checks need no coverage of their own: only what they check guides the fuzzer.
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/settings_text.cpp PROPERTIES
        COMPILE_OPTIONS -fno-sanitize=fuzzer-no-link)
endif()
