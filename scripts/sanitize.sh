#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds irconsole with AddressSanitizer and UndefinedBehaviorSanitizer into
# build/asan and runs the whole test suite there; any finding fails its test.
# The libFuzzer targets (build/fuzz, instrumented the same way) run within the
# suite, each its fixed sequence of inputs cut at IRCONSOLE_FUZZ_SECONDS (20 by
# default).
#
#   scripts/sanitize.sh              # everything
#   scripts/sanitize.sh -R fuzz_     # extra arguments go to ctest
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
build_dir=${IRCONSOLE_ASAN_DIR:-build/asan}
fuzz_seconds=${IRCONSOLE_FUZZ_SECONDS:-20}

scripts/setup.sh test

# The fuzz targets come from their own clang build; it is quick when ./test built it.
cmake -S . -B build/fuzz -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DIRCONSOLE_FUZZ=ON >/dev/null
cmake --build build/fuzz -j"$jobs"

cmake -S . -B "$build_dir" -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DIRCONSOLE_SANITIZE=ON \
    -DIRCONSOLE_FUZZ_SECONDS="$fuzz_seconds" \
    -DIRCONSOLE_FUZZ_ASAN_OPTIONS="halt_on_error=1:detect_leaks=1" \
    -DIRCONSOLE_FUZZ_BIN_DIR="$PWD/build/fuzz/fuzz" >/dev/null
cmake --build "$build_dir" -j"$jobs"

# Every finding ends the process with an error; the tests' own child processes
# (station-sim, copies of irconsole) inherit these settings. Stack use after
# return is checked. Allocations keep the fast unwinder's stacks: unwinding in
# full through Qt's frames (Qt has no frame pointers) made the widget tests eight
# times slower, and the pass twice as long. A leak report's stack then ends at
# the first Qt frame, so a test that fails is run once more with full stacks, for
# a report that shows where the memory came from; the pass stays failed. With the
# fast unwinder most tests wait more than they compute, so four run at a time per
# core (./test runs eight); a fuzz run takes two of these places.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
options="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"

status=0
ASAN_OPTIONS="$options" \
    ctest --test-dir "$build_dir" --output-on-failure --timeout 900 -j"$((4 * jobs))" -LE '^package$' "$@" ||
    status=$?

# How much each fuzz target ran, from the log of the run above.
log="$build_dir/Testing/Temporary/LastTest.log"
if [ -f "$log" ]; then
    awk '/^[0-9]+\/[0-9]+ Test: fuzz_/ { name = $3 }
         /stat::number_of_executed_units/ && name { print "sanitize: " name " ran " $2 " inputs"; name = "" }' "$log"
fi

if [ "$status" -ne 0 ]; then
    echo "sanitize: the failed tests again, stacks unwound in full"
    ASAN_OPTIONS="$options:fast_unwind_on_malloc=0" \
        ctest --test-dir "$build_dir" --output-on-failure --timeout 900 --rerun-failed || true
fi
exit "$status"
