# SPDX-License-Identifier: GPL-3.0-or-later
# The run clock and chart at length: the cost of one tick with the chart repainted at
# 60, 3,600 and 86,400 samples per series, one pan step across a 24-hour run, resident
# memory after 86,400 ticks, each for a run of readings and for a run with a gap every
# tenth second; and a plain appended QLineSeries for comparison. With a reference run:
# its load time at 900 and 86,400 rows, the tick with a 24-hour reference under the
# chart against the tick without, and one pan step over it.
#   cmake --build build --target bench_chart
# The run clock against wall time over an hour (takes the hour):
#   cmake --build build --target bench_chart_drift
add_executable(chart_bench ${CMAKE_CURRENT_SOURCE_DIR}/chart_bench.cpp)
target_link_libraries(chart_bench PRIVATE irconsole_console Qt6::Widgets Qt6::Charts)
irconsole_use_pch(chart_bench widgets)
target_compile_definitions(chart_bench PRIVATE IRCONSOLE_BUILD_TYPE="${CMAKE_BUILD_TYPE}")

# Each memory figure comes from a process of its own, so one heap does not hide another.
add_custom_target(bench_chart
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> ticks
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> ticks gaps
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> pan
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> pan gaps
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> plain
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> memory
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> memory gaps
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> memory-plain
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> record
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> readout
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> reference
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> pan reference
    DEPENDS chart_bench
    USES_TERMINAL
    COMMENT "Timing the run clock and chart at 60, 3,600 and 86,400 samples")
add_dependencies(bench bench_chart)

add_custom_target(bench_chart_drift
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:chart_bench> drift 3600
    DEPENDS chart_bench
    USES_TERMINAL
    COMMENT "Running the run clock for an hour against wall time")
