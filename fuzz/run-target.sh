#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a fuzz target's command with its directory of found inputs emptied first:
#   run-target.sh FOUND_DIR COMMAND...
set -eu
found=$1
shift
rm -rf "$found"
mkdir -p "$found"
exec "$@"
