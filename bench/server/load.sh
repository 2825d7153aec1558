#!/usr/bin/env bash
# Load benchmark of strelvik-leaderboard on loopback with wrk: GET and POST requests per second
# and latency percentiles, over plain HTTP (the reverse-proxy set-up) and HTTPS with keep-alive,
# for the API and for the web page (its HTML, script, style and rows).
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
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=localhost \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

source "$here/../../tests/support/listening_server.sh"
started=0
start_server() {  # $1: program, rest: extra flags; sets pid, port and log
  local program=$1; shift
  local limits=()
  if "$program" --help | grep -q -- --submissions-per-hour; then
    # The load spreads over 500 names from one address: no per-address limits apply to it.
    # Workers answer requests, not connections: the default count serves any number of them.
    limits=(--submissions-per-hour 0 --runs-counted-per-address 0 --max-connections-per-address 0)
  else
    # A server whose workers each hold one connection needs one per connection.
    limits=(--threads $((connections + 8)))
  fi
  started=$((started + 1))
  log=$work/access-$started.log
  LISTEN_WAIT=5 start_listening_server "$log" "$work/server-$started.err" "$program" "${limits[@]}" \
    --listen 127.0.0.1:0 --database "${DATABASE:-$work/bench-$started.sqlite}" --rate-limit 0 "$@" || exit 1
  pid=$server_pid port=$server_port
  pids+=("$pid")
}
stop_server() { kill -TERM "$1"; wait "$1" || true; }

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
p99_ms() { sed 's/ms$//; s/\([0-9.]*\)us$/\1 0.001/; s/\([0-9.]*\)s$/\1 1000/' <<<"$1" | awk '{print $1 * ($2 == "" ? 1 : $2)}'; }

echo "strelvik-leaderboard on loopback, $(nproc) cores, wrk -t$wrk_threads -c$connections -d${duration}s, access log to a file"
echo "this server: $server${BASELINE:+; baseline: $BASELINE}"
start_server "$server"; pid_now=$pid port_now=$port log_now=$log
run "plain HTTP  POST /api.php" -s "$here/post.lua" "http://127.0.0.1:$port_now"
if [[ -n ${BASELINE:-} ]]; then
  start_server "$BASELINE"; pid_base=$pid port_base=$port
  run "baseline plain HTTP  POST /api.php" -s "$here/post.lua" "http://127.0.0.1:$port_base"
fi
# The GET runs of the two servers alternate, so that the machine's noise falls on both alike.
rates_now=() p99_now=() rates_base=() p99_base=()
for i in $(seq "${RUNS:-3}"); do
  run "plain HTTP  GET  ?type=single ($i)" "http://127.0.0.1:$port_now/api.php?type=single"
  rates_now+=("$rps"); p99_now+=("$(p99_ms "$p99")")
  if [[ -n ${BASELINE:-} ]]; then
    run "baseline plain HTTP  GET  ?type=single ($i)" "http://127.0.0.1:$port_base/api.php?type=single"
    rates_base+=("$rps"); p99_base+=("$(p99_ms "$p99")")
  fi
done
rps_a=$(printf '%s\n' "${rates_now[@]}" | median) p99_a=$(printf '%s\n' "${p99_now[@]}" | median)
echo "plain HTTP  GET  ?type=single: median $rps_a req/s, median p99 $p99_a ms (target >= 10000 req/s, p99 < 10 ms)"
if [[ -n ${BASELINE:-} ]]; then
  rps_b=$(printf '%s\n' "${rates_base[@]}" | median) p99_b=$(printf '%s\n' "${p99_base[@]}" | median)
  echo "baseline    GET  ?type=single: median $rps_b req/s, median p99 $p99_b ms"
  awk -v a="$rps_a" -v b="$rps_b" -v c="$p99_a" -v d="$p99_b" \
    'BEGIN {printf "ratio to the baseline: %.2fx the requests per second, %.2fx the p99\n", a / b, c / d}'
  stop_server "$pid_base"
fi
run "plain HTTP  GET  ?type=multi" "http://127.0.0.1:$port_now/api.php?type=multi"
# The web page: its static files, then the replies its script asks for.
run "plain HTTP  GET  page /" "http://127.0.0.1:$port_now/"
run "plain HTTP  GET  page /app.js" "http://127.0.0.1:$port_now/app.js"
run "plain HTTP  GET  page /style.css" "http://127.0.0.1:$port_now/style.css"
run "plain HTTP  GET  page rows" "http://127.0.0.1:$port_now/board.json?kind=multi"
run "plain HTTP  GET  page rows, search" "http://127.0.0.1:$port_now/board.json?kind=multi&q=cpu+4"
run "plain HTTP  GET  page of one cpu" "http://127.0.0.1:$port_now/cpu.json?kind=multi&name=Load+CPU+7"
stop_server "$pid_now"
start_server "$server" --cert "$work/cert.pem" --key "$work/key.pem"
run "HTTPS keep-alive  POST /api.php" -s "$here/post.lua" "https://127.0.0.1:$port"
run "HTTPS keep-alive  GET  ?type=single" "https://127.0.0.1:$port/api.php?type=single"
run "HTTPS keep-alive  GET  page /" "https://127.0.0.1:$port/"
stop_server "$pid"
echo "rows per reply: 100 (default --max-rows); runs stored: $(grep -c ' POST /api.php 200 ' "$log_now" || true) in the plain server's log"
