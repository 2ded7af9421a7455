# SPDX-License-Identifier: GPL-3.0-or-later
# Opening the connection dialog, which asks the system for its serial devices each time.
#   cmake --build build --target bench_portdialog
add_executable(portdialog_bench ${CMAKE_CURRENT_SOURCE_DIR}/portdialog_bench.cpp)
target_link_libraries(portdialog_bench PRIVATE irconsole_dialogs Qt6::Widgets)
irconsole_use_pch(portdialog_bench widgets)

add_custom_target(bench_portdialog
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:portdialog_bench>
    DEPENDS portdialog_bench
    USES_TERMINAL
    COMMENT "Timing the connection dialog's opening with the serial device list")
add_dependencies(bench bench_portdialog)
