#!/usr/bin/env bash
# Configures and builds irconsole into build/ (GCC) and its fuzz targets into
# build/fuzz (clang with libFuzzer, AddressSanitizer and UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
build_type=${IRCONSOLE_BUILD_TYPE:-RelWithDebInfo}

cmake -S . -B build/fuzz -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DIRCONSOLE_FUZZ=ON >/dev/null
cmake --build build/fuzz -j"$jobs"

cmake -S . -B build -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DIRCONSOLE_FUZZ_BIN_DIR="$PWD/build/fuzz/fuzz" >/dev/null
cmake --build build -j"$jobs"
