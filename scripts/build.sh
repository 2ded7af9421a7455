#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures build/ and builds irconsole there.
#
#   scripts/build.sh                        # everything: the fuzz targets (build/fuzz,
#                                           # clang with libFuzzer and sanitizers) first,
#                                           # then the console, simulator and tests
#   scripts/build.sh bench_programs         # the benchmark programs
#   scripts/build.sh irconsole station-sim  # only these targets and what they link
#
# build/ is always configured the same way, so building a few targets and later
# everything (or the reverse) never rebuilds what is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

if [ $# -eq 0 ]; then
    cmake -S . -B build/fuzz -G Ninja -Wno-dev \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DIRCONSOLE_FUZZ=ON >/dev/null
    cmake --build build/fuzz -j"$jobs"
fi

cmake -S . -B build -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DIRCONSOLE_FUZZ_BIN_DIR="$PWD/build/fuzz/fuzz" >/dev/null
if [ $# -eq 0 ]; then
    cmake --build build -j"$jobs"
else
    cmake --build build -j"$jobs" --target "$@"
fi
