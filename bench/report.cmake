# SPDX-License-Identifier: GPL-3.0-or-later
# A run's summary and verdict, and its one-page PDF report, at 900 and 86,400 seconds, timed.
#   cmake --build build --target bench_report
add_executable(report_bench ${CMAKE_CURRENT_SOURCE_DIR}/report_bench.cpp)
target_link_libraries(report_bench PRIVATE irconsole_console Qt6::Widgets)
irconsole_use_pch(report_bench widgets)
target_compile_definitions(report_bench PRIVATE IRCONSOLE_BUILD_TYPE="${CMAKE_BUILD_TYPE}")

add_custom_target(bench_report
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:report_bench>
    DEPENDS report_bench
    USES_TERMINAL
    COMMENT "Timing a run's summary and its PDF report at 900 and 86,400 seconds")
add_dependencies(bench bench_report)
