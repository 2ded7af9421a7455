#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what irconsole needs on a fresh Debian machine; quiet and quick when
# everything is already there.
#
#   scripts/setup.sh run    # building and running the console and the simulator
#   scripts/setup.sh test   # that, and what the test suite and the fuzz targets need
#   scripts/setup.sh package  # that, and what building and checking the Debian package needs
set -euo pipefail

# Building and running: the compiler, Qt with its Russian texts, the INI parser,
# and the Tahoma clone the windows are drawn with.
run_packages=(
    cmake ninja-build g++
    qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-translations-l10n
    libsimpleini-dev libgl-dev fonts-wine
)
# Testing: clang and its sanitizer runtime for the fuzz targets, an X server and
# its tools for the display tests, what the install test checks with, the PDF
# reader tools the run report is read back with, and strace for what a settings
# save asks of the system.
test_packages=(
    clang libclang-rt-dev
    xvfb xauth xdotool x11-utils imagemagick desktop-file-utils poppler-utils strace
)

# Packaging: CPack's dependency scan, the icons drawn from the SVG, and the
# checks of the package (lintian, the AppStream validator, the manual page).
package_packages=(
    dpkg-dev file librsvg2-bin lintian appstream man-db
)

case "${1:-test}" in
run) packages=("${run_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
package) packages=("${run_packages[@]}" "${test_packages[@]}" "${package_packages[@]}") ;;
*)
    echo "usage: scripts/setup.sh run|test|package" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
