# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `scripts/package.sh` builds build/irconsole_<version>_<arch>.deb
# with CPack. It installs under /usr as a Linux program does: the console (built
# to keep its files per user), the station simulator as irconsole-station-sim,
# the desktop entry, the icons, AppStream metainfo, the manual pages and the
# copyright file. These install rules belong to the component "deb", which a
# plain `cmake --install` leaves out.

set(IRCONSOLE_MAINTAINER "irconsole developers <irconsole@example.org>" CACHE STRING
    "Maintainer named in the Debian package")
# AppStream names a program by its home's domain, reversed; the metainfo file is
# named after it. Set both to the shop's own when it publishes the package.
set(IRCONSOLE_APPSTREAM_ID "org.example.irconsole" CACHE STRING
    "AppStream component id of the packaged console (reverse domain name)")
# The release the version names; the package's changelog and metainfo date it.
set(IRCONSOLE_RELEASE_DATE "2026-12-10")
set(IRCONSOLE_RELEASE_DATE_RFC2822 "Thu, 10 Dec 2026 12:00:00 +0000")

set(irconsole_packaged ${CMAKE_BINARY_DIR}/packaged)
set(VERSION ${PROJECT_VERSION})
set(RELEASE_DATE ${IRCONSOLE_RELEASE_DATE})
set(RELEASE_DATE_RFC2822 ${IRCONSOLE_RELEASE_DATE_RFC2822})
set(MAINTAINER ${IRCONSOLE_MAINTAINER})
foreach(page irconsole.1 irconsole-station-sim.1)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${page} ${irconsole_packaged}/man/${page} @ONLY)
endforeach()
set(APPSTREAM_ID ${IRCONSOLE_APPSTREAM_ID})
configure_file(${PROJECT_SOURCE_DIR}/packaging/irconsole.metainfo.xml
    ${irconsole_packaged}/${IRCONSOLE_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${irconsole_packaged}/copyright @ONLY)
# A native package: its changelog is changelog.gz.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian ${irconsole_packaged}/changelog @ONLY)

# Files made at build time: compressed pages and changelog (without a time
# stamp, so the package is the same each time), the icon at three sizes, the
# desktop entry that names the program and icon by name.
find_program(IRCONSOLE_GZIP gzip)
find_program(IRCONSOLE_RSVG_CONVERT rsvg-convert)
set(irconsole_package_files)
foreach(name man/irconsole.1 man/irconsole-station-sim.1 changelog)
    add_custom_command(OUTPUT ${irconsole_packaged}/${name}.gz
        COMMAND ${IRCONSOLE_GZIP} -9 -n -c ${irconsole_packaged}/${name} > ${irconsole_packaged}/${name}.gz
        DEPENDS ${irconsole_packaged}/${name}
        VERBATIM)
    list(APPEND irconsole_package_files ${irconsole_packaged}/${name}.gz)
endforeach()
set(irconsole_icon_sizes 48 128 256)
foreach(size IN LISTS irconsole_icon_sizes)
    set(png ${irconsole_packaged}/icons/${size}x${size}/irconsole.png)
    if(IRCONSOLE_RSVG_CONVERT)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${irconsole_packaged}/icons/${size}x${size}
            COMMAND ${IRCONSOLE_RSVG_CONVERT} -w ${size} -h ${size}
                -o ${png} ${PROJECT_SOURCE_DIR}/packaging/irconsole.svg
            DEPENDS ${PROJECT_SOURCE_DIR}/packaging/irconsole.svg
            VERBATIM)
    else()
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E echo "rsvg-convert is missing: run scripts/setup.sh package"
            COMMAND ${CMAKE_COMMAND} -E false
            VERBATIM)
    endif()
    list(APPEND irconsole_package_files ${png})
endforeach()
add_custom_command(OUTPUT ${irconsole_packaged}/irconsole.desktop
    COMMAND sh ${PROJECT_SOURCE_DIR}/packaging/install-desktop-entry.sh
        --system ${irconsole_packaged}/irconsole.desktop
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/install-desktop-entry.sh
    VERBATIM)
list(APPEND irconsole_package_files ${irconsole_packaged}/irconsole.desktop)
add_custom_target(irconsole_package_files DEPENDS ${irconsole_package_files})
# Everything the package holds, for scripts/package.sh to build before CPack.
add_custom_target(package_deb_contents)
add_dependencies(package_deb_contents irconsole_packaged irconsole_station_sim_packaged
    irconsole_package_files)

install(TARGETS irconsole_packaged irconsole_station_sim_packaged
    RUNTIME DESTINATION bin COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${irconsole_packaged}/irconsole.desktop
    DESTINATION share/applications COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/irconsole.svg
    DESTINATION share/icons/hicolor/scalable/apps COMPONENT deb EXCLUDE_FROM_ALL)
foreach(size IN LISTS irconsole_icon_sizes)
    install(FILES ${irconsole_packaged}/icons/${size}x${size}/irconsole.png
        DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT deb EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${irconsole_packaged}/${IRCONSOLE_APPSTREAM_ID}.metainfo.xml
    DESTINATION share/metainfo COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${irconsole_packaged}/man/irconsole.1.gz ${irconsole_packaged}/man/irconsole-station-sim.1.gz
    DESTINATION share/man/man1 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${irconsole_packaged}/copyright ${irconsole_packaged}/changelog.gz
    DESTINATION share/doc/irconsole COMPONENT deb EXCLUDE_FROM_ALL)

# CPack's DEB generator: dependencies from dpkg-shlibdeps, plus the toolkit's
# Russian texts, which no library links; the Tahoma look is recommended.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${IRCONSOLE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop console for an infrared soldering (rework) station with a top and a\n"
    "bottom heater, connected over a serial line. It watches both temperatures,\n"
    "records each soldering run as a chart and a CSV file, transfers thermal\n"
    "profiles to the station, and edits the profiles and the station's settings.\n"
    "The interface is in Russian. A simulated station, irconsole-station-sim, is\n"
    "included for training and demonstrations.")
