# SPDX-License-Identifier: GPL-3.0-or-later
# Conversions of typed and stored integer text.
irconsole_fuzz_target(integer_text ${CMAKE_CURRENT_SOURCE_DIR}/integer_text.cpp
    RUNS 800000 LIBS irconsole_config)
