#!/usr/bin/env bash
# Runs bench_window_interference on a virtual screen of its own (Xvfb with Mesa's software
# OpenGL). Arguments go to the program; BUILD picks the build folder (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${BUILD:-build/release}/bin/bench_window_interference"
[[ -x "$bin" ]] || { echo "build $bin first (cmake --build ${BUILD:-build/release})" >&2; exit 1; }
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r display <"$fifo"
DISPLAY=":$display" STRELVIK_BENCH_X_SERVER_PID="$xvfb_pid" "$bin" "$@"
