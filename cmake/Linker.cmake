# SPDX-License-Identifier: GPL-3.0-or-later
# The linker: gold, which comes with binutils (and so with the compiler), links
# the forty-odd test programs against Qt in about half of the default linker's
# time. Where it is missing the default one links as before. The sanitized builds
# (the fuzz targets, the sanitizer pass) keep the default linker: gold cannot
# export the sanitizer runtime's local symbols and says so for every program.
option(IRCONSOLE_GOLD "Link with gold where the toolchain has it" ON)

if(IRCONSOLE_GOLD AND NOT IRCONSOLE_FUZZ AND NOT IRCONSOLE_SANITIZE AND NOT WIN32 AND NOT APPLE)
    include(CheckLinkerFlag)
    check_linker_flag(CXX "-fuse-ld=gold" IRCONSOLE_HAS_GOLD)
    if(IRCONSOLE_HAS_GOLD)
        add_link_options(-fuse-ld=gold)
    endif()
endif()
