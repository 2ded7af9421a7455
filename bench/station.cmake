# SPDX-License-Identifier: GPL-3.0-or-later
# The simulated station's answer to a status frame over its pseudo-terminal, timed:
# at once (--instant) and on the line's time, at 1200 and 19200 baud.
#   cmake --build build --target bench_station
add_executable(station_bench ${CMAKE_CURRENT_SOURCE_DIR}/station_bench.cpp)
target_link_libraries(station_bench PRIVATE irconsole_sim Qt6::Test)

add_custom_target(bench_station
    COMMAND $<TARGET_FILE:station_bench>
    DEPENDS station_bench
    USES_TERMINAL
    COMMENT "Timing the simulated station's answer, at once and on the line's time")
add_dependencies(bench bench_station)
