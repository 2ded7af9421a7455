# SPDX-License-Identifier: GPL-3.0-or-later
# Any byte stream decoded as station telemetry and fed to the receive queue in fuzzed
# pieces; outgoing frames built from fuzzed values.
irconsole_fuzz_target(telemetry ${CMAKE_CURRENT_SOURCE_DIR}/telemetry.cpp
    RUNS 400000 LIBS irconsole_link)
