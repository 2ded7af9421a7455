# SPDX-License-Identifier: GPL-3.0-or-later
# The window's wait on the run journal per tick, over 600 ticks, on this machine's disk and
# on one that takes 800 ms for every sync (the writer works on its own thread).
#   cmake --build build --target bench_journal
add_executable(journal_bench ${CMAKE_CURRENT_SOURCE_DIR}/journal_bench.cpp)
target_link_libraries(journal_bench PRIVATE irconsole_record Qt6::Core)
irconsole_use_pch(journal_bench core)

add_custom_target(bench_journal
    COMMAND $<TARGET_FILE:journal_bench> 800 100 600
    DEPENDS journal_bench
    USES_TERMINAL
    COMMENT "The window's wait on the run journal per tick, with a slow disk")
add_dependencies(bench bench_journal)
