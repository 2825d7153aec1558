#!/usr/bin/env bash
# Takes the README's picture of the CPU graph's sensor lines, docs/strelvik-sensors.png: the
# window on a virtual X screen reads its sensors from a copy of the captured Intel desktop tree
# (tests/system/machines/intel-desktop, through STRELVIK_MACHINE_ROOT) whose clock, temperature
# and energy files this script changes twice a second, as a machine under load would. A
# multi-core run is shown some seconds in (default 45; RUNNING_SECONDS=N), then cancelled.
# Nothing of the user's is read or changed: a temporary history, no leaderboard.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${STRELVIK_BUILD_DIR:-build/release}
running_seconds=${RUNNING_SECONDS:-45}
cmake --build "$build" --target strelvik >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_until() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    ((SECONDS < deadline)) || { echo "take-sensor-screenshot: timed out waiting for: $1" >&2; return 1; }
    sleep 0.2
  done
}

# The machine: the clock settles from 4.8 towards 4.4 GHz as the package warms from 45 to about
# 82 °C, drawing about 125 W.
tree=$work/machine
cp -r tests/system/machines/intel-desktop "$tree"
# One process, without a fork per step, so that the busy benchmark does not hold it up: each
# file is replaced whole (written aside, then renamed), so the window never reads half a number,
# and the energy follows the clock, so every interval the window reads has its share.
drive_machine() {
  exec python3 - "$tree" <<'PY'
import glob, math, os, sys, time
tree = sys.argv[1]
def put(path, value):
    with open(path + ".new", "w") as f:
        f.write("%d\n" % value)
    os.replace(path + ".new", path)
clocks = glob.glob(tree + "/sys/devices/system/cpu/cpu*/cpufreq/scaling_cur_freq")
start = time.monotonic()
while True:
    s = time.monotonic() - start
    for path in clocks:
        put(path, 4400000 + 400000 * math.exp(-s / 20) + 30000 * math.sin(s * 1.5))
    put(tree + "/sys/class/hwmon/hwmon2/temp1_input", 1000 * (82 - 37 * math.exp(-s / 12)) + 700 * math.sin(s))
    put(tree + "/sys/class/powercap/intel-rapl:0/energy_uj", 123456789 + 1e6 * (125 * s + 8 * math.sin(s / 2)))
    time.sleep(0.05)
PY
}
drive_machine &
pids+=($!)

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_until '[[ -s $work/display ]]' 20
export DISPLAY=:$(head -n1 "$work/display")
unset WAYLAND_DISPLAY

STRELVIK_MACHINE_ROOT=$tree STRELVIK_HISTORY=$work/history.json STRELVIK_NO_SUBMIT=1 \
  STRELVIK_LEADERBOARD_URL=https://127.0.0.1:9 STRELVIK_ITEM_RECTS=$work/rects.txt STRELVIK_MAX_FPS=10 \
  "$build/bin/strelvik" >"$work/out.log" 2>&1 &
pids+=($!)
wait_until 'grep -q "^Multi-Core	" "$work/rects.txt" 2>/dev/null' 90
window=$(xdotool search --onlyvisible --name '^Strelvik ' | head -n1)

centre=$(awk -F'\t' '$1 == "Multi-Core" { split($2, r, " "); print int((r[1] + r[3]) / 2), int((r[2] + r[4]) / 2) }' \
  "$work/rects.txt")
# shellcheck disable=SC2086  # two numbers
xdotool mousemove --window "$window" $centre sleep 0.2 mousedown 1 sleep 0.15 mouseup 1
wait_until 'grep -q "^Cancel	" "$work/rects.txt"' 20
sleep "$running_seconds"

xdotool mousemove 0 0
sleep 0.3
out=docs/strelvik-sensors.png
import -window "$window" "$work/shot.png"
convert "$work/shot.png" -strip "$out"
if (($(stat -c %s "$out") > 400000)); then convert "$work/shot.png" -strip -dither None -colors 256 "PNG8:$out"; fi
echo "$out: $(stat -c %s "$out") bytes"
