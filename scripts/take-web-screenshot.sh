#!/usr/bin/env bash
# Takes the README's pictures of the leaderboard's web page with headless chromium, from a
# loopback server filled with made-up runs (a temporary database; nothing else is read):
#   docs/strelvik-web.png      the multi-core leaderboard
#   docs/strelvik-web-cpu.png  one processor's page
set -euo pipefail
cd "$(dirname "$0")/.."
build=${STRELVIK_BUILD_DIR:-build/release}
cmake --build "$build" --target strelvik-leaderboard >/dev/null
command -v chromium >/dev/null || { echo "chromium is not installed (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

source tests/support/listening_server.sh
# Every run counts in its row's average: they all come from this one address, and the page would
# otherwise dim every row as resting on few runs.
start_listening_server "$work/server.out" "$work/server.err" "$build/bin/strelvik-leaderboard" \
  --listen 127.0.0.1:0 --database "$work/leaderboard.sqlite" --rate-limit 0 \
  --submissions-per-hour 0 --runs-counted-per-address 0 || exit 1
pid=$server_pid url=$server_url

# name, multi-core score, threads, runs: each run within a few percent, with now and then a slow one.
RANDOM=16
while IFS='|' read -r name score threads runs; do
  for ((i = 0; i < runs; i++)); do
    s=$((score * (970 + RANDOM % 60) / 1000))
    ((RANDOM % 9 == 0)) && s=$((s * 80 / 100))
    curl -s -o /dev/null -H 'Content-Type: application/json' \
      -d "{\"cpu_name\":\"$name\",\"score\":$s,\"threads\":$threads,\"type\":\"multi\"}" "$url/api.php"
    single=$((score / threads * 3 * (970 + RANDOM % 60) / 1000))
    curl -s -o /dev/null -H 'Content-Type: application/json' \
      -d "{\"cpu_name\":\"$name\",\"score\":$single,\"threads\":1,\"type\":\"single\"}" "$url/api.php"
  done
done <<'RUNS'
AMD Ryzen 9 7950X 16-Core Processor|9800|32|14
AMD Ryzen 9 5950X 16-Core Processor|7400|32|9
13th Gen Intel(R) Core(TM) i9-13900K|9500|32|11
12th Gen Intel(R) Core(TM) i7-12700K|6100|20|7
AMD Ryzen 7 5800X3D 8-Core Processor|4300|16|12
Intel(R) Core(TM) i5-10400 CPU @ 2.90GHz|2200|12|5
AMD Ryzen 5 3600 6-Core Processor|2500|12|8
Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz|2600|12|4
AMD EPYC 7763 64-Core Processor|21000|128|3
Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz|3900|28|2
RUNS
# One more run of the same Ryzen on fewer threads, so its page shows two thread counts.
curl -s -o /dev/null -H 'Content-Type: application/json' \
  -d '{"cpu_name":"AMD Ryzen 9 7950X 16-Core Processor","score":6100,"threads":16,"type":"multi"}' "$url/api.php"

shot() {  # $1: path on the server, $2: picture
  rm -rf "$work/profile"
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
    --hide-scrollbars --virtual-time-budget=10000 --window-size=1280,900 --screenshot="$2" "$url$1" \
    2>"$work/chromium.err"
  echo "$2: $(stat -c %s "$2") bytes"
}
shot "/?kind=multi" docs/strelvik-web.png
shot "/cpu?name=AMD+Ryzen+9+7950X+16-Core+Processor&kind=multi" docs/strelvik-web-cpu.png
