#!/usr/bin/env bash
# Load benchmark of strelvik-leaderboard on loopback with wrk: GET and POST requests per second
# and latency percentiles, over plain HTTP (the reverse-proxy set-up) and HTTPS with keep-alive,
# for the API and for the web page (its HTML, script, style and rows).
# Bounded: each wrk run lasts DURATION seconds (default 10) and is killed after DURATION+20.
#
#   bench/server/load.sh [path/to/strelvik-leaderboard]
# Environment: DURATION (s), CONNECTIONS (default 32), WRK_THREADS (default 2), DATABASE (default
# a fresh SQLite file; a postgresql:// URL also works), REPEAT (default 1: wrk runs per line; the
# line shows the median requests/s and every run's figure), ONLY (a regular expression: run only
# the lines whose label matches, e.g. ONLY=page).
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

repeat=${REPEAT:-1}
only=${ONLY:-}

run() {  # $1: label, rest: wrk arguments; with REPEAT > 1 the latencies are the median run's
  local label=$1; shift
  # POST fills the database that the GET lines read, so it always runs.
  [[ -z $only || $label =~ $only || $label == *POST* ]] || return 0
  local out all=() outs=()
  for ((i = 0; i < repeat; i++)); do
    out=$(timeout $((duration + 20)) wrk -t "$wrk_threads" -c "$connections" -d "${duration}s" --latency "$@")
    outs+=("$out")
    all+=("$(awk '/^Requests\/sec/ {print $2}' <<<"$out")")
  done
  local median_index
  median_index=$(for i in "${!all[@]}"; do echo "$i ${all[$i]}"; done | sort -k2 -g | awk -v m=$((repeat / 2)) 'NR == m + 1 {print $1}')
  out=${outs[$median_index]}
  local rps p50 p90 p99 errors runs=
  rps=${all[$median_index]}
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p90=$(awk '$1 == "90%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(grep -E 'Non-2xx|Socket errors' <<<"$out" | tr '\n' ' ' || true)
  ((repeat > 1)) && runs="(runs: ${all[*]})"
  printf '%-34s %10s req/s   p50 %-9s p90 %-9s p99 %-9s %s%s\n' "$label" "$rps" "$p50" "$p90" "$p99" "$errors" "$runs"
}

echo "strelvik-leaderboard on loopback, $(nproc) cores, wrk -t$wrk_threads -c$connections -d${duration}s x$repeat, access log to a file"
start_server
run "plain HTTP  POST /api.php" -s "$here/post.lua" "http://127.0.0.1:$port"
run "plain HTTP  GET  ?type=single" "http://127.0.0.1:$port/api.php?type=single"
run "plain HTTP  GET  ?type=multi" "http://127.0.0.1:$port/api.php?type=multi"
run "plain HTTP  GET  page /" "http://127.0.0.1:$port/"
run "plain HTTP  GET  page /app.js" "http://127.0.0.1:$port/app.js"
run "plain HTTP  GET  page /style.css" "http://127.0.0.1:$port/style.css"
run "plain HTTP  GET  page rows" "http://127.0.0.1:$port/board.json?kind=multi"
run "plain HTTP  GET  page rows, search" "http://127.0.0.1:$port/board.json?kind=multi&q=cpu+4"
run "plain HTTP  GET  page of one cpu" "http://127.0.0.1:$port/cpu.json?kind=multi&name=Load+CPU+7"
stop_server
start_server --cert "$work/cert.pem" --key "$work/key.pem"
run "HTTPS keep-alive  POST /api.php" -s "$here/post.lua" "https://127.0.0.1:$port"
run "HTTPS keep-alive  GET  ?type=single" "https://127.0.0.1:$port/api.php?type=single"
run "HTTPS keep-alive  GET  page /" "https://127.0.0.1:$port/"
stop_server
echo "rows per reply: 100 (default --max-rows); runs stored: $(grep -c ' POST /api.php 200 ' "$work/access.log" || true) in the last server's log"
