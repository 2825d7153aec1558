#!/usr/bin/env bash
# Load benchmark of strelvik-leaderboard on loopback with wrk: GET and POST requests per second
# and latency percentiles, over plain HTTP (the reverse-proxy set-up) and HTTPS with keep-alive.
# Bounded: each wrk run lasts DURATION seconds (default 10) and is killed after DURATION+20.
#
#   bench/server/load.sh [path/to/strelvik-leaderboard]
# Environment: DURATION (s), CONNECTIONS (default 32), WRK_THREADS (default 2), DATABASE (default
# a fresh SQLite file; a postgresql:// URL also works), RUNS (default 3: the plain-HTTP GET of
# single is run that often and its median printed), BASELINE (another server program, measured
# the same way in the same run, and the ratio of the medians printed: the machine may be noisy).
# Target on a quiet machine: plain-HTTP GET ?type=single at or above 10,000 req/s, p99 under 10 ms.
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
  local limits=()
  if "$server" --help | grep -q -- --submissions-per-hour; then
    # The load spreads over 500 names from one address: no per-address limits apply to it.
    # Workers answer requests, not connections: the default count serves any number of them.
    limits=(--submissions-per-hour 0 --runs-counted-per-address 0 --max-connections-per-address 0)
  else
    # A server whose workers each hold one connection needs one per connection.
    limits=(--threads $((connections + 8)))
  fi
  "$server" "${limits[@]}" --listen 127.0.0.1:0 --database "${DATABASE:-$work/bench-$measured.sqlite}" \
    --rate-limit 0 "$@" >"$work/access.log" 2>"$work/server.err" &
  pid=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$work/access.log" 2>/dev/null | head -1 || true)
    [[ -n $port ]] && return
    sleep 0.05
  done
  echo "server did not start: $(cat "$work/server.err")" >&2; exit 1
}
stop_server() { kill -TERM "$pid"; wait "$pid" || true; pid=; }

run() {  # $1: label, rest: wrk arguments; sets rps and p99
  local label=$1; shift
  local out
  out=$(timeout $((duration + 20)) wrk -t "$wrk_threads" -c "$connections" -d "${duration}s" --latency "$@")
  local p50 p90 errors
  rps=$(awk '/^Requests\/sec/ {print $2}' <<<"$out")
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p90=$(awk '$1 == "90%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(grep -E 'Non-2xx|Socket errors' <<<"$out" | tr '\n' ' ' || true)
  printf '%-34s %10s req/s   p50 %-9s p90 %-9s p99 %-9s %s\n' "$label" "$rps" "$p50" "$p90" "$p99" "$errors"
}

median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

measured=0
measure() {  # sets get_rps, get_p99: medians of the plain-HTTP GET ?type=single runs
  measured=$((measured + 1))
  echo "$server on loopback, $(nproc) cores, wrk -t$wrk_threads -c$connections -d${duration}s, access log to a file"
  start_server
  run "plain HTTP  POST /api.php" -s "$here/post.lua" "http://127.0.0.1:$port"
  local rates=() p99s=()
  for i in $(seq "${RUNS:-3}"); do
    run "plain HTTP  GET  ?type=single ($i)" "http://127.0.0.1:$port/api.php?type=single"
    rates+=("$rps"); p99s+=("$(sed 's/ms$//; s/\([0-9.]*\)us$/\1 0.001/; s/\([0-9.]*\)s$/\1 1000/' <<<"$p99" | awk '{print $1 * ($2 == "" ? 1 : $2)}')")
  done
  get_rps=$(printf '%s\n' "${rates[@]}" | median)
  get_p99=$(printf '%s\n' "${p99s[@]}" | median)
  echo "plain HTTP  GET  ?type=single: median $get_rps req/s, median p99 $get_p99 ms (target >= 10000 req/s, p99 < 10 ms)"
  run "plain HTTP  GET  ?type=multi" "http://127.0.0.1:$port/api.php?type=multi"
  stop_server
  start_server --cert "$work/cert.pem" --key "$work/key.pem"
  run "HTTPS keep-alive  POST /api.php" -s "$here/post.lua" "https://127.0.0.1:$port"
  run "HTTPS keep-alive  GET  ?type=single" "https://127.0.0.1:$port/api.php?type=single"
  stop_server
  echo "rows per reply: 100 (default --max-rows); runs stored: $(grep -c ' POST /api.php 200 ' "$work/access.log" || true) in the last server's log"
}

measure
if [[ -n ${BASELINE:-} ]]; then
  rps_now=$get_rps p99_now=$get_p99
  server=$BASELINE
  echo
  measure
  awk -v a="$rps_now" -v b="$get_rps" -v c="$p99_now" -v d="$get_p99" \
    'BEGIN {printf "ratio to the baseline: GET ?type=single %.2fx the requests per second, %.2fx the p99\n", a / b, c / d}'
fi
