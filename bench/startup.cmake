# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up time of build/irconsole to its first painted main window, against a
# bare Qt main window and against a window holding a label and an empty chart
# view (the floor for any console with a chart), all on a fresh Xvfb with a
# black root window. The driver prints each program's times and the console's
# paired ratio to each reference.
#   cmake --build build --target bench_startup
find_package(X11 QUIET)
find_program(XVFB_RUN xvfb-run)
if(NOT X11_FOUND OR NOT XVFB_RUN)
    message(STATUS "bench_startup: needs Xlib headers and xvfb-run; skipped")
    return()
endif()

qt_add_executable(startup_bare ${CMAKE_CURRENT_SOURCE_DIR}/startup_bare.cpp)
target_link_libraries(startup_bare PRIVATE Qt6::Widgets)

qt_add_executable(startup_chart ${CMAKE_CURRENT_SOURCE_DIR}/startup_chart.cpp)
target_link_libraries(startup_chart PRIVATE Qt6::Widgets Qt6::Charts)

# The phases of the console's own start-up, in one process:
#   xvfb-run -a build/bench/startup_phases
add_executable(startup_phases ${CMAKE_CURRENT_SOURCE_DIR}/startup_phases.cpp)
target_link_libraries(startup_phases PRIVATE irconsole_app)
target_compile_definitions(startup_phases PRIVATE IRCONSOLE_VERSION="${PROJECT_VERSION}")

add_executable(startup_driver ${CMAKE_CURRENT_SOURCE_DIR}/startup_driver.cpp)
target_link_libraries(startup_driver PRIVATE X11::X11)

set(IRCONSOLE_STARTUP_RUNS 15 CACHE STRING "Starts of each program the start-up benchmark times")
add_custom_target(bench_startup
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24 -br"
            $<TARGET_FILE:startup_driver> ${IRCONSOLE_STARTUP_RUNS} efefef
            $<TARGET_FILE:irconsole> $<TARGET_FILE:startup_bare> $<TARGET_FILE:startup_chart>
    DEPENDS startup_driver startup_bare startup_chart irconsole
    USES_TERMINAL
    COMMENT "Timing the console's start-up against a bare Qt window and a chart window")
add_dependencies(bench bench_startup)
