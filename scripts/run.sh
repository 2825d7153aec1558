#!/usr/bin/env bash
# Builds whatever is missing (packages, release build) and starts the benchmark: the window when
# a display is available, else the headless runner. Arguments go to the runner (without any and
# without a display it runs single-core, then multi-core).
#
# Unless STRELVIK_LEADERBOARD_URL is set, a local leaderboard server is started first on
# 127.0.0.1 at a free port, with its SQLite database and a self-signed certificate kept under
# build/release/local-leaderboard/, and stopped again when the program exits.
#
# Each stage says what it does on stderr (stdout is the program's, for --json); the build shows
# its own progress when stdout is a terminal, and otherwise keeps it in build/release/build.log.
# With the packages installed, nothing here needs the network.
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "run.sh: $*" >&2; }

say "checking the Debian packages"
scripts/install-deps.sh
say "configuring the release build (build/release)"
cmake --preset release >/dev/null
targets=(strelvik-cli)
window=0
if [[ $# -eq 0 && -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  window=1
  targets+=(strelvik)
fi
[[ -n "${STRELVIK_LEADERBOARD_URL:-}" ]] || targets+=(strelvik-leaderboard)
say "building ${targets[*]} (the first build takes many minutes on a small machine)"
build=(cmake --build --preset release -j "$(nproc)" --target "${targets[@]}")
if [[ -t 1 ]]; then
  "${build[@]}"
elif ! "${build[@]}" >build/release/build.log 2>&1; then
  tail -n 30 build/release/build.log >&2
  say "the build failed (all of its output: build/release/build.log)"
  exit 1
fi
bin=build/release/bin

server=""
stop_server() {
  if [[ -n "$server" ]]; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
}
trap stop_server EXIT

if [[ -z "${STRELVIK_LEADERBOARD_URL:-}" ]]; then
  data=build/release/local-leaderboard
  say "starting the local leaderboard (its files: $data)"
  mkdir -p "$data"
  if [[ ! -s "$data/cert.pem" || ! -s "$data/key.pem" ]]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
      -keyout "$data/key.pem" -out "$data/cert.pem" -subj /CN=localhost \
      -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null
  fi
  source tests/support/listening_server.sh
  LISTEN_WAIT=10 start_listening_server "$data/server.log" "$data/server.err" "$bin/strelvik-leaderboard" \
    --listen 127.0.0.1:0 --cert "$data/cert.pem" --key "$data/key.pem" --submissions-per-hour 0 \
    --database "$data/leaderboard.sqlite" || { echo "run.sh: the local leaderboard did not start" >&2; exit 1; }
  server=$server_pid
  export STRELVIK_LEADERBOARD_URL="$server_url" STRELVIK_LEADERBOARD_CA="$PWD/$data/cert.pem"
fi

if [[ $window -eq 1 ]]; then
  program=("$bin/strelvik")
else
  [[ $# -gt 0 ]] || set -- both
  program=("$bin/strelvik-cli" "$@")
fi
say "starting ${program[*]}"
# The program handles Ctrl-C itself (the terminal sends it to the whole group); a SIGTERM sent to
# this script is passed on, so the program always shuts down in order before the server stops.
trap '' INT
trap 'kill -TERM "$child" 2>/dev/null || true' TERM
"${program[@]}" &
child=$!
status=0
while true; do
  wait "$child" && status=0 || status=$?
  kill -0 "$child" 2>/dev/null || break
done
exit "$status"
