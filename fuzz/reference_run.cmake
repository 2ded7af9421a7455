# SPDX-License-Identifier: GPL-3.0-or-later
# Any bytes read as a reference run's file: refused with a reason, or read into
# seconds that the record's own writer writes back to the same seconds.
irconsole_fuzz_target(reference_run ${CMAKE_CURRENT_SOURCE_DIR}/reference_run.cpp
    RUNS 200000 LIBS irconsole_record)
