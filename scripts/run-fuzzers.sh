#!/usr/bin/env bash
# Runs every fuzz_* program in the given folder, sharing STRELVIK_FUZZ_SECONDS (default 60) between
# them. A seed corpus lives in tests/fuzz/<name>/; new inputs go to a scratch copy, never the tree.
set -euo pipefail
bin=${1:?usage: run-fuzzers.sh BIN_DIR}
total=${STRELVIK_FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
mapfile -t fuzzers < <(find "$bin" -maxdepth 1 -name 'fuzz_*' -type f -perm -u+x | sort)
if [[ ${#fuzzers[@]} -eq 0 ]]; then
  echo "no fuzz targets"; exit 0
fi
each=$(( total / ${#fuzzers[@]} ))
(( each >= 5 )) || each=5
failed=0
for f in "${fuzzers[@]}"; do
  name=$(basename "$f"); name=${name#fuzz_}
  corpus=$(mktemp -d)
  [[ -d "$root/tests/fuzz/$name" ]] && cp -r "$root/tests/fuzz/$name/." "$corpus/"
  echo "fuzzing $name for ${each}s" >&2
  if "$f" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
       -artifact_prefix="$bin/crash-$name-" "$corpus" 2> "$bin/fuzz-$name.log"; then
    echo "fuzz $name: passed"
  else
    echo "fuzz $name: FAILED (see $bin/fuzz-$name.log)"; tail -40 "$bin/fuzz-$name.log"; failed=1
  fi
  rm -rf "$corpus"
done
exit $failed
