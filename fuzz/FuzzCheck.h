// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzz targets' check: a broken invariant aborts, which libFuzzer records as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__);            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
