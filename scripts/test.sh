#!/usr/bin/env bash
# Builds and runs the whole test suite, as CI does:
#   the style check (formatting and layers, scripts/check-style.sh) first;
#   release build: every test; asan and tsan builds: the unit and API suites;
#   fuzz build (clang): every libFuzzer target for a bounded time;
#   windows build (mingw-w64 cross build): its tests under wine, against the release build's
#   Linux programs (so it comes after release), the engine's imports checked, the zip made.
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
  cmake --preset "$stage" >/dev/null
  if [[ $stage == fuzz ]]; then
    # Only the fuzz targets: the rest of the tree has been built and tested by the other stages.
    mapfile -t targets < <(cmake --build --preset fuzz --target help | sed -n -E 's/^\.\.\. (fuzz_[A-Za-z0-9_]+).*/\1/p')
    [[ ${#targets[@]} -eq 0 ]] || cmake --build --preset fuzz -j "$jobs" --target "${targets[@]}"
    scripts/run-fuzzers.sh build/fuzz/bin
  elif [[ $stage == windows ]]; then
    # The Linux leaderboard server and runner the Windows tests start, when release did not run.
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$jobs" --target strelvik-cli strelvik-leaderboard
    cmake --build --preset windows -j "$jobs"
    scripts/wine-run.sh --init
    # One wine server for the whole run. Left to itself it ends a few seconds after its last
    # program, and a program that connects while it is ending fails before it starts. Its
    # services are started here too, away from CTest's pipes, which they would hold open.
    wineserver="env WINEPREFIX=$PWD/build/windows/wine-prefix timeout 60 /usr/lib/wine/wineserver"
    $wineserver -w || true
    # A server left running (by a run that was stopped) is ended first.
    $wineserver -p </dev/null >/dev/null 2>&1 ||
      { $wineserver -k || true; $wineserver -p </dev/null >/dev/null 2>&1; }
    WINEPREFIX=$PWD/build/windows/wine-prefix WINEDEBUG=-all timeout 120 /usr/lib/wine/wine64 \
      wineboot </dev/null >/dev/null 2>&1 || true
    trap '$wineserver -k || true; rm -f "$log"' EXIT
    ctest --preset windows -j "$jobs" | tee -a "$log"
    (cd build/windows && cpack -G ZIP >/dev/null)
    $wineserver -k || true
    trap 'rm -f "$log"' EXIT
  else
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
