# SPDX-License-Identifier: GPL-3.0-or-later
# Exporting a 24-hour run (86,400 samples per series) to CSV and to PNG, timed.
#   cmake --build build --target bench_export
add_executable(export_bench ${CMAKE_CURRENT_SOURCE_DIR}/export_bench.cpp)
target_link_libraries(export_bench PRIVATE irconsole_console Qt6::Widgets)
irconsole_use_pch(export_bench widgets)
target_compile_definitions(export_bench PRIVATE IRCONSOLE_BUILD_TYPE="${CMAKE_BUILD_TYPE}")

add_custom_target(bench_export
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:export_bench>
    DEPENDS export_bench
    USES_TERMINAL
    COMMENT "Timing the export of a 24-hour run to CSV and PNG")
add_dependencies(bench bench_export)
