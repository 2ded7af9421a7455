#!/usr/bin/env bash
# Runs the console against the simulated station: writes a demo settings file when
# there is none, starts build/station-sim in demo mode linked as build/com1 (the
# port "Com1"), then the console; the simulator stops when the console exits.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
settings=$build/Iniprofil.ini
link=$build/com1
log=$build/station-sim.log

if [[ ! -e $settings ]]; then
    "$build/station-sim" --write-demo-settings "$settings"
    echo "demo: wrote $settings (Com1 at 19200, automatic start on, ten profiles)"
fi

ready=$(mktemp)
"$build/station-sim" --demo --link "$link" --log "$log" >"$ready" </dev/null &
sim_pid=$!

stop_simulator() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    rm -f "$ready"
}
trap stop_simulator EXIT
trap 'exit 130' INT TERM

# The simulator prints its terminal's path once the link is in place.
for _ in $(seq 100); do
    [[ -s $ready ]] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "demo: the station simulator did not start" >&2
        exit 1
    fi
    sleep 0.1
done
echo "demo: simulated station on $(head -n 1 "$ready") as $link, frames logged to $log"
echo "demo: press \"Подключение\"; the station starts a run about 10 s later"

"$build/irconsole"
