# SPDX-License-Identifier: GPL-3.0-or-later
# Read by ctest, not by CMake: registers one test per test function of a Qt Test
# program (irconsole_add_test's SPLIT), so that ctest spreads a long program's
# functions over the cores like separate programs. The functions are asked of the
# program itself (-functions) and remembered until it is rebuilt.
#
# In: IRCONSOLE_TEST_NAME, IRCONSOLE_TEST_PROGRAM, IRCONSOLE_TEST_LIST (where the
# functions are remembered), IRCONSOLE_TEST_DISPLAY (the first X server number to
# try for the first function, ten further on for each next one; empty for the
# offscreen platform), IRCONSOLE_TEST_ENVIRONMENT, IRCONSOLE_TEST_TIMEOUT,
# IRCONSOLE_TEST_SERIAL, IRCONSOLE_TEST_PROCESSORS, IRCONSOLE_TEST_COST,
# IRCONSOLE_CMAKE_COMMAND.

set(name "${IRCONSOLE_TEST_NAME}")
set(program "${IRCONSOLE_TEST_PROGRAM}")

# irconsole_register(TEST INDEX ARGUMENTS...): the program with these arguments,
# on an X server of its own when it needs a display.
function(irconsole_register test index)
    if(IRCONSOLE_TEST_DISPLAY STREQUAL "")
        add_test("${test}" "${program}" ${ARGN})
    else()
        # Functions that start together must not race for one server number.
        math(EXPR server "${IRCONSOLE_TEST_DISPLAY} + ${index} * 10")
        add_test("${test}" xvfb-run -a -n ${server} -s "-screen 0 1280x1024x24"
            "${program}" ${ARGN})
    endif()
    set_tests_properties("${test}" PROPERTIES ENVIRONMENT "${IRCONSOLE_TEST_ENVIRONMENT}")
    foreach(property TIMEOUT PROCESSORS COST)
        if(NOT IRCONSOLE_TEST_${property} STREQUAL "")
            set_tests_properties("${test}" PROPERTIES ${property} "${IRCONSOLE_TEST_${property}}")
        endif()
    endforeach()
    if(IRCONSOLE_TEST_SERIAL)
        set_tests_properties("${test}" PROPERTIES RUN_SERIAL TRUE)
    endif()
endfunction()

# Not built yet: one test that fails and says so, as ctest does for a missing program.
if(NOT EXISTS "${program}")
    add_test("${name}" "${program}")
    return()
endif()

if(NOT EXISTS "${IRCONSOLE_TEST_LIST}" OR "${program}" IS_NEWER_THAN "${IRCONSOLE_TEST_LIST}")
    # Listing creates no windows, but a widget test's application needs a platform.
    execute_process(
        COMMAND "${IRCONSOLE_CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen
            ASAN_OPTIONS=detect_leaks=0 "${program}" -functions
        OUTPUT_VARIABLE listed
        ERROR_VARIABLE errors
        RESULT_VARIABLE result
        TIMEOUT 60)
    set(functions)
    if(result EQUAL 0)
        string(REPLACE "\n" ";" lines "${listed}")
        foreach(line IN LISTS lines)
            if(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)\\(\\)$")
                list(APPEND functions "${CMAKE_MATCH_1}")
            endif()
        endforeach()
    endif()
    if(NOT functions)
        # The whole program as one test then, which shows why it could not list.
        irconsole_register("${name}" 0)
        return()
    endif()
    string(REPLACE ";" "\n" text "${functions}")
    file(WRITE "${IRCONSOLE_TEST_LIST}" "${text}\n")
endif()

file(STRINGS "${IRCONSOLE_TEST_LIST}" functions)
set(index 0)
foreach(function IN LISTS functions)
    irconsole_register("${name}.${function}" ${index} "${function}")
    math(EXPR index "${index} + 1")
endforeach()
