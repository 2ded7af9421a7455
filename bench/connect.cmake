# SPDX-License-Identifier: GPL-3.0-or-later
# The connect press at a listed speed, and the port's open alone.
#   cmake --build build --target bench_connect
add_executable(connect_bench ${CMAKE_CURRENT_SOURCE_DIR}/connect_bench.cpp)
target_link_libraries(connect_bench PRIVATE irconsole_console irconsole_sim Qt6::Widgets)
irconsole_use_pch(connect_bench widgets)

add_custom_target(bench_connect
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:connect_bench>
    DEPENDS connect_bench
    USES_TERMINAL
    COMMENT "Timing the connect press and the port's open")
add_dependencies(bench bench_connect)
