#!/usr/bin/env bash
# Builds and runs the whole test suite, as CI does:
#   the style check (formatting and layers, scripts/check-style.sh) first;
#   release build: every test; asan and tsan builds: the unit and API suites;
#   fuzz build (clang): every libFuzzer target for a bounded time;
#   windows build (mingw-w64 cross build, scripts/test-windows-stage.sh): its tests under wine,
#   against the release build's Linux programs (so it comes after release), the engine's
#   imports checked, the zip made.
# STRELVIK_TEST_STAGES (default "release asan tsan fuzz windows") picks a subset.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

start=$SECONDS
echo "=== style ===" >&2
scripts/check-style.sh
echo "=== style took $((SECONDS - start)) s ===" >&2

jobs=$(nproc)
stages=${STRELVIK_TEST_STAGES:-release asan tsan fuzz windows}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for stage in $stages; do
  start=$SECONDS
  echo "=== $stage ===" >&2
  if [[ $stage == windows ]]; then
    scripts/test-windows-stage.sh "$log"
  elif [[ $stage == fuzz ]]; then
    cmake --preset fuzz >/dev/null
    # Only the fuzz targets: the rest of the tree has been built and tested by the other stages.
    mapfile -t targets < <(cmake --build --preset fuzz --target help | sed -n -E 's/^\.\.\. (fuzz_[A-Za-z0-9_]+).*/\1/p')
    [[ ${#targets[@]} -eq 0 ]] || cmake --build --preset fuzz -j "$jobs" --target "${targets[@]}"
    scripts/run-fuzzers.sh build/fuzz/bin
  else
    cmake --preset "$stage" >/dev/null
    # The sanitizer stages build only the test programs their filter runs and what those
    # start: the window program and the end-to-end suites are release's.
    targets=()
    [[ $stage == release ]] || targets=(--target unit_and_api_tests)
    cmake --build --preset "$stage" -j "$jobs" "${targets[@]}"
    ctest --preset "$stage" -j "$jobs" | tee -a "$log"
    # The same image on 64-bit ARM: the engine cross-built and run under user-mode emulation.
    [[ $stage != release ]] || scripts/check-arm-image.sh
  fi
  echo "=== $stage took $((SECONDS - start)) s ===" >&2
done

# One closing line over every stage's CTest summary.
passed=0; failed=0
while read -r f total; do
  failed=$(( failed + f )); passed=$(( passed + total - f ))
done < <(sed -n -E 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+)$/\1 \2/p' "$log")
echo "all stages: $passed passed, $failed failed"
