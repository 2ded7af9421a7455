#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the console against the simulated station: writes a demo settings file when
# there is none, starts build/station-sim in demo mode linked as build/com1 (the
# port "Com1"), then the console; the simulator stops when the console exits.
# IRCONSOLE_BUILD_DIR names another build folder (the tests use it).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${IRCONSOLE_BUILD_DIR:-build}
settings=$build/Iniprofil.ini
link=$build/com1
log=$build/station-sim.log

fail() {
    echo "demo: $*" >&2
    exit 1
}

for program in irconsole station-sim; do
    [[ -x $build/$program ]] || fail "$build/$program is missing: build it with ./run or scripts/build.sh"
done
# A window needs a desktop session; say so before anything starts.
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
    fail "no display (DISPLAY is not set): run it from a desktop session, or as xvfb-run ./run"
fi

# One demo per build folder: a second one would take over the first one's link.
exec 9>"$build/demo.lock"
if ! flock -n 9; then
    fail "the demo is already running from $build (close its window first)"
fi

if [[ ! -e $settings ]]; then
    "$build/station-sim" --write-demo-settings "$settings" ||
        fail "the station simulator could not write $settings"
    echo "demo: wrote $settings (Com1 at 19200, automatic start on, ten profiles)"
fi

ready=$(mktemp)
sim_pid=
stop_simulator() {
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -f "$ready"
}
trap stop_simulator EXIT
trap 'exit 130' INT TERM

# The lock stays with this script: the simulator and the console do not inherit it.
"$build/station-sim" --demo --link "$link" --log "$log" >"$ready" </dev/null 9>&- &
sim_pid=$!

# The simulator prints its terminal's path once the link is in place.
for _ in $(seq 100); do
    [[ -s $ready ]] && break
    kill -0 "$sim_pid" 2>/dev/null || fail "the station simulator did not start (its messages are above)"
    sleep 0.1
done
[[ -s $ready ]] || fail "the station simulator did not make $link within 10 s"
echo "demo: simulated station on $(head -n 1 "$ready") as $link, frames logged to $log"
echo "demo: press \"Подключение\"; the station starts a run about 10 s later"

# Not exec: the simulator is stopped when the console exits, however it exits.
status=0
"$build/irconsole" 9>&- || status=$?
exit "$status"
