#!/usr/bin/env bash
# What the window costs while nobody touches it: the strelvik process's CPU time over
# IDLE_SECONDS (default 30) on a virtual screen of its own (Xvfb with Mesa's software OpenGL),
# after SETTLE_SECONDS (default 5) for start-up and the first leaderboard fetches. Prints the
# share of one core and the program's own frame report. Nothing of the user's is read or
# changed: the history is a temporary file, the leaderboard address a closed loopback port.
# BUILD picks the build folder (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${BUILD:-build/release}/bin/strelvik"
[[ -x "$bin" ]] || { echo "build $bin first (cmake --build ${BUILD:-build/release} --target strelvik)" >&2; exit 1; }
seconds=${IDLE_SECONDS:-30}
settle=${SETTLE_SECONDS:-5}
work=$(mktemp -d)
fifo="$work/display"
mkfifo "$fifo"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
pids+=($!)
read -r display <"$fifo"

# The process's user and system time in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1 STRELVIK_HISTORY="$work/history.json" \
  STRELVIK_LEADERBOARD_URL="https://127.0.0.1:9" STRELVIK_REPORT_FRAMES=1 \
  "$bin" >"$work/out.log" 2>"$work/err.log" &
app=$!
pids+=("$app")
sleep "$settle"
kill -0 "$app" 2>/dev/null || { echo "strelvik ended early:" >&2; cat "$work/err.log" >&2; exit 1; }
before=$(cpu_ticks "$app")
sleep "$seconds"
after=$(cpu_ticks "$app")
kill -TERM "$app"
wait "$app" || true
ticks_per_second=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$ticks_per_second" -v s="$seconds" \
  'BEGIN { printf "idle window: %.2f s of CPU in %d s = %.1f %% of one core (target < 5 %%)\n", t / hz, s, 100 * t / hz / s }'
grep -h "frames in" "$work/err.log" || true
