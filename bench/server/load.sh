#!/usr/bin/env bash
# Load benchmark of strelvik-leaderboard on loopback with wrk: GET and POST requests per second
# and latency percentiles, over plain HTTP (the reverse-proxy set-up) and HTTPS with keep-alive.
# Bounded: each wrk run lasts DURATION seconds (default 10) and is killed after DURATION+20.
#
#   bench/server/load.sh [path/to/strelvik-leaderboard]
# Environment: DURATION (s), CONNECTIONS (default 32), WRK_THREADS (default 2), DATABASE (default
# a fresh SQLite file; a postgresql:// URL also works).
# Prints figures only; it never fails on them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
server=${1:-$here/../../build/release/bin/strelvik-leaderboard}
duration=${DURATION:-10}
connections=${CONNECTIONS:-32}
wrk_threads=${WRK_THREADS:-2}
command -v wrk >/dev/null || { echo "wrk is not installed (scripts/install-deps.sh)" >&2; exit 1; }
[[ -x $server ]] || { echo "build the server first: $server not found" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=localhost \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

start_server() {  # $@: extra flags; sets pid and port
  "$server" --listen 127.0.0.1:0 --database "${DATABASE:-$work/bench.sqlite}" --rate-limit 0 \
    --threads $((connections + 8)) "$@" >"$work/access.log" 2>"$work/server.err" &
  pid=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$work/access.log" 2>/dev/null | head -1 || true)
    [[ -n $port ]] && return
    sleep 0.05
  done
  echo "server did not start: $(cat "$work/server.err")" >&2; exit 1
}
stop_server() { kill -TERM "$pid"; wait "$pid" || true; pid=; }

run() {  # $1: label, rest: wrk arguments
  local label=$1; shift
  local out
  out=$(timeout $((duration + 20)) wrk -t "$wrk_threads" -c "$connections" -d "${duration}s" --latency "$@")
  local rps p50 p90 p99 errors
  rps=$(awk '/^Requests\/sec/ {print $2}' <<<"$out")
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p90=$(awk '$1 == "90%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(grep -E 'Non-2xx|Socket errors' <<<"$out" | tr '\n' ' ' || true)
  printf '%-34s %10s req/s   p50 %-9s p90 %-9s p99 %-9s %s\n' "$label" "$rps" "$p50" "$p90" "$p99" "$errors"
}

echo "strelvik-leaderboard on loopback, $(nproc) cores, wrk -t$wrk_threads -c$connections -d${duration}s, access log to a file"
start_server
run "plain HTTP  POST /api.php" -s "$here/post.lua" "http://127.0.0.1:$port"
run "plain HTTP  GET  ?type=single" "http://127.0.0.1:$port/api.php?type=single"
run "plain HTTP  GET  ?type=multi" "http://127.0.0.1:$port/api.php?type=multi"
stop_server
start_server --cert "$work/cert.pem" --key "$work/key.pem"
run "HTTPS keep-alive  POST /api.php" -s "$here/post.lua" "https://127.0.0.1:$port"
run "HTTPS keep-alive  GET  ?type=single" "https://127.0.0.1:$port/api.php?type=single"
stop_server
echo "rows per reply: 100 (default --max-rows); runs stored: $(grep -c ' POST /api.php 200 ' "$work/access.log" || true) in the last server's log"
