# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged folder before packing it: drops the desktop entry
# that names the staging folder (install-desktop-entry.sh writes the real one).
file(REMOVE "${CPACK_TEMPORARY_DIRECTORY}/irconsole.desktop")
