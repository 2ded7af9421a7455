#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it: its contents and dependencies, lintian,
# the desktop entry, the AppStream metainfo and the manual page, and the console
# it installs, unpacked and run on an X server with a home of its own. Slower
# than the rest of the suite, so ./test leaves it out and CI runs it after.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/package.sh
scripts/build.sh tst_package
ctest --test-dir build --output-on-failure --timeout 900 -L '^package$'
