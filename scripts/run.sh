#!/usr/bin/env bash
# Builds whatever is missing (packages, release build) and starts the benchmark.
# Arguments go to the runner; without any it runs single-core, then multi-core.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
[[ -f build/release/CMakeCache.txt ]] || cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target strelvik-cli >/dev/null
if [[ $# -eq 0 ]]; then
  set -- both
fi
exec build/release/bin/strelvik-cli "$@"
