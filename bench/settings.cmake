# SPDX-License-Identifier: GPL-3.0-or-later
# One save of the profile editor (70 keys) and of the general settings (15) into a real file, timed.
#   cmake --build build --target bench_settings
add_executable(settings_bench ${CMAKE_CURRENT_SOURCE_DIR}/settings_bench.cpp)
target_link_libraries(settings_bench PRIVATE irconsole_config)
target_compile_definitions(settings_bench PRIVATE IRCONSOLE_BUILD_TYPE="${CMAKE_BUILD_TYPE}")

add_custom_target(bench_settings
    COMMAND $<TARGET_FILE:settings_bench>
    DEPENDS settings_bench
    USES_TERMINAL
    COMMENT "Timing one profile-editor save and one general-settings save")
add_dependencies(bench bench_settings)
