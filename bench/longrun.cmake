# SPDX-License-Identifier: GPL-3.0-or-later
# Resident memory of the console after runs of 60, 3,600 and 86,400 run-clock ticks,
# each in a process of its own (the cost of a tick at these sizes: bench_chart).
#   cmake --build build --target bench_longrun
add_executable(longrun_bench ${CMAKE_CURRENT_SOURCE_DIR}/longrun_bench.cpp)
target_link_libraries(longrun_bench PRIVATE irconsole_console Qt6::Widgets Qt6::Charts)
irconsole_use_pch(longrun_bench widgets)

add_custom_target(bench_longrun
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:longrun_bench> 60
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:longrun_bench> 3600
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:longrun_bench> 86400
    DEPENDS longrun_bench
    USES_TERMINAL
    COMMENT "Resident memory after 60, 3,600 and 86,400 run-clock ticks")
add_dependencies(bench bench_longrun)
