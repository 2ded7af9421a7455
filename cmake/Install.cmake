# SPDX-License-Identifier: GPL-3.0-or-later
# Installing like a desktop program: `cmake --install build` puts the program in
# a folder of its own, with its icon, a desktop entry and the script that adds
# the entry to the operator's menu; `cpack -G TGZ` (run in build/) packs the same
# folder as a portable archive. Qt comes from the distribution's packages.

# The settings file lives beside the executable, so the folder must be one the
# operator can write: ~/irconsole unless a prefix is given.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    if(DEFINED ENV{HOME})
        set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/irconsole" CACHE PATH "Install folder" FORCE)
    elseif(DEFINED ENV{USERPROFILE})
        file(TO_CMAKE_PATH "$ENV{USERPROFILE}/irconsole" irconsole_home_prefix)
        set(CMAKE_INSTALL_PREFIX "${irconsole_home_prefix}" CACHE PATH "Install folder" FORCE)
    endif()
endif()

# The station simulator stays a developer's tool in the build folder: an
# operator has a real station on the serial line.
install(TARGETS irconsole RUNTIME DESTINATION . COMPONENT portable)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/irconsole.svg DESTINATION . COMPONENT portable)
# The console is free software under the GPL, version 3 or later; its text travels
# with the program.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT portable)

if(UNIX AND NOT APPLE)
    install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/install-desktop-entry.sh DESTINATION .
        COMPONENT portable)
    # The entry names the program by its absolute path, known only now; the
    # script that writes it is the same one the operator runs after moving the
    # folder or unpacking the archive.
    install(CODE [[
        set(irconsole_folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
        message(STATUS "Installing: ${irconsole_folder}/irconsole.desktop")
        execute_process(
            COMMAND sh "${irconsole_folder}/install-desktop-entry.sh" --entry-only "${CMAKE_INSTALL_PREFIX}"
            RESULT_VARIABLE irconsole_entry_result)
        if(NOT irconsole_entry_result EQUAL 0)
            message(FATAL_ERROR "could not write ${irconsole_folder}/irconsole.desktop")
        endif()
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_PREFIX}/irconsole.desktop")
    ]] COMPONENT portable)
endif()

set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME irconsole)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
# Unpacked anywhere, the folder's own entry would point at CPack's staging
# folder: the archive leaves it out, and install-desktop-entry.sh writes it.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/PortableArchive.cmake)
set(CPACK_SOURCE_GENERATOR TGZ)
include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
# Each generator packs its own component: the archive the portable folder, the
# Debian package the /usr layout.
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake.in
    ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/")
include(CPack)
