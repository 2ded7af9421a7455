# SPDX-License-Identifier: GPL-3.0-or-later
# Precompiled Qt headers: every translation unit of the console parses the same
# Qt headers, which take about half of its compile time. A few headers are
# precompiled once each and shared: the QtCore one by the libraries that use
# QtCore alone (config, link, sim), the widgets one by everything with windows
# and the benchmarks, and the tests' one (the widgets headers again, built with
# the tests' own compile options) by the tests. Only macros that no
# header looks at differ between the targets that share one (QT_*_LIB,
# QT_TESTCASE_*), so GCC accepts it everywhere; -Winvalid-pch says so should
# that ever change. The fuzz build (clang, a handful of files) goes without.
option(IRCONSOLE_PCH "Precompile the Qt headers every library includes" ON)

set(irconsole_pch_core_headers
    <QByteArray> <QDir> <QFile> <QList> <QObject> <QString> <QStringList> <QTimer>)
set(irconsole_pch_widgets_headers ${irconsole_pch_core_headers}
    <QAction> <QApplication> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QMainWindow>
    <QPushButton> <QChart> <QChartView> <QLineSeries> <QValueAxis>)
# Qt Test's too: they look at QT_TESTCASE_BUILDDIR and QT_TESTCASE_SOURCEDIR,
# each test's own folders, which the tests leave undefined (no test finds its
# data through them), so that one precompiled header serves every test.
set(irconsole_pch_tests_headers ${irconsole_pch_widgets_headers} <QSignalSpy> <QTest>)

if(IRCONSOLE_PCH AND NOT IRCONSOLE_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(irconsole_pch_source ${CMAKE_BINARY_DIR}/irconsole_pch.cpp)
    file(CONFIGURE OUTPUT ${irconsole_pch_source} CONTENT "// Carries the precompiled Qt headers.\n")
    add_compile_options(-Winvalid-pch)
    set(IRCONSOLE_PCH_ON ON)
endif()

# irconsole_add_pch(core|widgets|tests LIBS...)
# Makes the precompiled header irconsole_pch_KIND, with the compile options of
# the directory it is made in.
function(irconsole_add_pch kind)
    if(NOT IRCONSOLE_PCH_ON)
        return()
    endif()
    add_library(irconsole_pch_${kind} OBJECT ${irconsole_pch_source})
    target_link_libraries(irconsole_pch_${kind} PRIVATE ${ARGN})
    target_precompile_headers(irconsole_pch_${kind} PRIVATE ${irconsole_pch_${kind}_headers})
    set_target_properties(irconsole_pch_${kind} PROPERTIES AUTOMOC OFF)
endfunction()

irconsole_add_pch(core Qt6::Core)
irconsole_add_pch(widgets Qt6::Core Qt6::SerialPort Qt6::Gui Qt6::Widgets Qt6::Charts)

# irconsole_use_pch(TARGET core|widgets|tests)
function(irconsole_use_pch target kind)
    if(TARGET irconsole_pch_${kind})
        target_precompile_headers(${target} REUSE_FROM irconsole_pch_${kind})
        # A program includes its own moc output (a test its "tst_x.moc").
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            irconsole_moc_file_without_pch(${target})
        endif()
    endif()
endfunction()

# irconsole_moc_file_without_pch(TARGET)
# For a target whose sources include their own moc output, or have none: the
# file AUTOMOC compiles beside them is then all but empty, and loading the
# precompiled headers (about a second of CPU) would be all of its cost.
function(irconsole_moc_file_without_pch target)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/mocs_compilation.cpp
        TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()
