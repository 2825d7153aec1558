#!/usr/bin/env bash
# The test script's Windows stage: the mingw-w64 cross build, its tests under wine against the
# release build's Linux programs (the runner and the leaderboard server, built here in case the
# release stage did not run), the engine's imports checked (a test), the zip made. One wine
# server serves the whole stage and is ended when the stage ends, however it ends.
#
#   scripts/test-windows-stage.sh [LOG]   CTest's output is appended to LOG as well
set -euo pipefail
cd "$(dirname "$0")/.."
log=${1:-/dev/null}
jobs=$(nproc)

# Configuring the preset fetches Dear ImGui's source the first time (cmake/StrelvikDependencies.cmake).
cmake --preset windows >/dev/null
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
trap '$wineserver -k || true' EXIT
ctest --preset windows -j "$jobs" | tee -a "$log"
(cd build/windows && cpack -G ZIP >/dev/null)
