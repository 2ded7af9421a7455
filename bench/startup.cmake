# Start-up time of build/irconsole to its first painted main window, against a
# bare Qt main window, both on a fresh Xvfb with a black root window.
#   cmake --build build --target bench_startup
find_package(X11 QUIET)
find_program(XVFB_RUN xvfb-run)
if(NOT X11_FOUND OR NOT XVFB_RUN)
    message(STATUS "bench_startup: needs Xlib headers and xvfb-run; skipped")
    return()
endif()

qt_add_executable(startup_bare ${CMAKE_CURRENT_SOURCE_DIR}/startup_bare.cpp)
target_link_libraries(startup_bare PRIVATE Qt6::Widgets)

add_executable(startup_driver ${CMAKE_CURRENT_SOURCE_DIR}/startup_driver.cpp)
target_link_libraries(startup_driver PRIVATE X11::X11)

set(IRCONSOLE_STARTUP_RUNS 15 CACHE STRING "Starts of each program the start-up benchmark times")
add_custom_target(bench_startup
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24 -br"
            $<TARGET_FILE:startup_driver> ${IRCONSOLE_STARTUP_RUNS} efefef
            $<TARGET_FILE:irconsole> $<TARGET_FILE:startup_bare>
    DEPENDS startup_driver startup_bare irconsole
    USES_TERMINAL
    COMMENT "Timing the console's start-up against a bare Qt main window")
add_dependencies(bench bench_startup)
