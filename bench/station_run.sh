#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A run of the real console against the simulated station whose every answer
# differs from the one before (--count-up), with the journal on; then counts, in
# each journal file, the seconds recorded, the gaps, the repeated readings and the
# answers skipped between two recorded seconds.
#
#   bench/station_run.sh BUILD_DIR SECONDS [RUNS [AT:FOR...]]
#
# RUNS runs of SECONDS each are started and stopped from the station (its 46 and
# 14, AutoStart=1), 3 s apart; with BUTTONS=1 in the environment, by the console's
# own "Старт" and "Стоп" instead (AutoStart=0), so that no end of the station's own
# run stops them. In the first, the station stops reading AT seconds into the run
# for FOR seconds, once per AT:FOR (answers late or lost); AT in increasing order.
# With REFERENCE=FILE in the environment, the console starts with that run file
# kept as its reference run (key Reference). Needs xvfb-run and xdotool.
set -euo pipefail

build=$(cd "${1:?build dir}" && pwd)
seconds=${2:?seconds}
runs=${3:-1}
shift $(( $# < 3 ? $# : 3 ))
silences=("$@")

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/irconsole" "$work/"
cat >"$work/Iniprofil.ini" <<INI
[Connect]
Comport=Com1
BaudRate=19200
[Global]
Hex=0
AutoStart=$([ -n "${BUTTONS:-}" ] && echo 0 || echo 1)
[Record]
AutoSave=1
INI
if [ -n "${REFERENCE:-}" ]; then echo "Reference=$(realpath "$REFERENCE")" >>"$work/Iniprofil.ini"; fi

mkfifo "$work/station.in"
"$build/station-sim" --count-up --link "$work/com1" <"$work/station.in" >"$work/station.out" 2>&1 &
exec 3>"$work/station.in"
for _ in $(seq 50); do [ -e "$work/com1" ] && break; sleep 0.1; done

say() { echo "$1" >&3; sleep 0.2; }
# "Старт" and "Стоп" of the console, or the station's start and stop.
press() { (. "$work/display" && xdotool mousemove $((LEFT + $1)) "$BAND" click 1); sleep 0.2; }
startRun() { if [ -n "${BUTTONS:-}" ]; then press 389; else say start; fi; }
stopRun() { if [ -n "${BUTTONS:-}" ]; then press 498; else say stop; fi; }

cat >"$work/inside.sh" <<'INSIDE'
#!/usr/bin/env bash
set -euo pipefail
work=$1
cd "$work"
./irconsole >"$work/console.log" 2>&1 &
for _ in $(seq 100); do
    id=$(xdotool search --name "Программа управления" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.1
done
sleep 2
eval "$(xdotool getwindowgeometry --shell "$id")"
# The bottom band is 35 px high; its buttons' centres lie 16 px into it.
echo "export DISPLAY=$DISPLAY XAUTHORITY=${XAUTHORITY:-} BAND=$((Y + HEIGHT - 35 + 16)) LEFT=$X" \
    >"$work/display"
# "Подключение", the first button.
xdotool mousemove $((X + 62)) $((Y + HEIGHT - 35 + 16)) click 1
touch "$work/connected"
while [ ! -e "$work/done" ]; do sleep 0.2; done
kill %1 2>/dev/null || true
INSIDE
chmod +x "$work/inside.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/inside.sh" "$work" &
for _ in $(seq 300); do [ -e "$work/connected" ] && break; sleep 0.1; done
sleep 2

for run in $(seq "$runs"); do
    startRun
    elapsed=0
    if [ "$run" = 1 ]; then
        for silence in "${silences[@]}"; do
            at=${silence%%:*}
            for=${silence##*:}
            sleep "$(echo "$at - $elapsed" | bc)"
            say deaf
            sleep "$for"
            say listen
            elapsed=$(echo "$at + $for + 0.4" | bc)
        done
    fi
    sleep "$(echo "$seconds - $elapsed" | bc)"
    stopRun
    sleep 3
done
touch "$work/done"
sleep 1

echo "journal files: $(ls "$work"/runs/*.csv 2>/dev/null | wc -l), reports: $(ls "$work"/runs/*.pdf 2>/dev/null | wc -l)"
for file in "$work"/runs/*.csv; do
    [ -e "$file" ] || continue
    awk -F, -v name="$(basename "$file")" '
        /^#/ || /^time_s/ { next }
        { rows++ }
        $2 == "" { gaps++; next }
        {
            if (last != "" && $2 == last) { repeats++; if (shown++ < 5) printf "  repeat: %s after %s\n", $0, prev }
            if (last != "") { step = ($2 - last + 256) % 256; if (step > 1) skipped += step - 1 }
            if (first == "") first = $1
            last = $2; prev = $0; answers++
        }
        END { printf "%s: %d seconds, %d answers recorded, %d gaps, %d repeats, %d answers skipped\n", name, rows, answers, gaps, repeats, skipped }
    ' "$file"
done
if [ -n "${KEEP:-}" ]; then mkdir -p "$KEEP" && cp -r "$work/runs" "$KEEP/" ; fi
