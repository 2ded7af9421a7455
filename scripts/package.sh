#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build/packages/irconsole_<version>_<arch>.deb in the
# same build/ folder that ./run and ./test use (only the package's own programs
# and files are added to it), then prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh package
scripts/build.sh package_deb_contents
rm -f build/packages/irconsole_*.deb
(cd build && cpack -G DEB -B "$PWD/packages" >/dev/null)
ls build/packages/irconsole_*.deb
