# SPDX-License-Identifier: GPL-3.0-or-later
# Each save the operator makes, through the console's windows, on a normal and on a 50 MB
# settings file, timed, with how often each changed the file.
#   cmake --build build --target bench_dialogsaves
#   build/bench/dialogsaves_bench [FOLDER] [SAVES_ON_50MB]
add_executable(dialogsaves_bench ${CMAKE_CURRENT_SOURCE_DIR}/dialogsaves_bench.cpp)
target_link_libraries(dialogsaves_bench PRIVATE irconsole_app Qt6::Widgets)
target_compile_definitions(dialogsaves_bench PRIVATE IRCONSOLE_BUILD_TYPE="${CMAKE_BUILD_TYPE}")
irconsole_use_pch(dialogsaves_bench widgets)

add_custom_target(bench_dialogsaves
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:dialogsaves_bench>
    DEPENDS dialogsaves_bench
    USES_TERMINAL
    COMMENT "Timing each dialog's save on a normal and on a 50 MB settings file")
add_dependencies(bench bench_dialogsaves)
