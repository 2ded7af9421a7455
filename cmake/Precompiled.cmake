# SPDX-License-Identifier: GPL-3.0-or-later
# Precompiled Qt headers: every translation unit of the console parses the same
# Qt headers, which take about half of its compile time. Two headers are
# precompiled once each and shared: the QtCore one by the libraries that use
# QtCore alone (config, link, sim), the widgets one by everything with windows,
# the tests and the benchmarks. Only macros that no header looks at differ
# between the targets that share one (QT_*_LIB, QT_TESTCASE_*), so GCC accepts
# it everywhere; -Winvalid-pch says so should that ever change. The fuzz build
# (clang, a handful of files) goes without.
option(IRCONSOLE_PCH "Precompile the Qt headers every library includes" ON)

if(IRCONSOLE_PCH AND NOT IRCONSOLE_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(irconsole_pch_source ${CMAKE_BINARY_DIR}/irconsole_pch.cpp)
    file(CONFIGURE OUTPUT ${irconsole_pch_source} CONTENT "// Carries the precompiled Qt headers.\n")
    add_compile_options(-Winvalid-pch)

    add_library(irconsole_pch_core OBJECT ${irconsole_pch_source})
    target_link_libraries(irconsole_pch_core PRIVATE Qt6::Core)
    target_precompile_headers(irconsole_pch_core PRIVATE
        <QByteArray> <QDir> <QFile> <QList> <QObject> <QString> <QStringList> <QTimer>)

    add_library(irconsole_pch_widgets OBJECT ${irconsole_pch_source})
    target_link_libraries(irconsole_pch_widgets PRIVATE
        Qt6::Core Qt6::SerialPort Qt6::Gui Qt6::Widgets Qt6::Charts)
    target_precompile_headers(irconsole_pch_widgets PRIVATE
        <QByteArray> <QDir> <QFile> <QList> <QObject> <QString> <QStringList> <QTimer>
        <QAction> <QApplication> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QMainWindow>
        <QPushButton> <QChart> <QChartView> <QLineSeries> <QValueAxis>)
    set_target_properties(irconsole_pch_core irconsole_pch_widgets PROPERTIES AUTOMOC OFF)
endif()

# irconsole_use_pch(TARGET core|widgets)
function(irconsole_use_pch target kind)
    if(TARGET irconsole_pch_${kind})
        target_precompile_headers(${target} REUSE_FROM irconsole_pch_${kind})
    endif()
endfunction()
