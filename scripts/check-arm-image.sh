#!/usr/bin/env bash
# The image on 64-bit ARM: builds the engine and a small renderer twice, for this machine and
# statically for aarch64 (Debian's g++-aarch64-linux-gnu, the release flags), renders a few small
# configurations with both (the ARM one under qemu-aarch64) and compares the images' SHA-256.
# Exits 0 when every pair matches, 1 on a mismatch or a failed build or run.
#
#   scripts/check-arm-image.sh [build folder, default build/arm-check]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/arm-check}
mkdir -p "$out"

for tool in g++ aarch64-linux-gnu-g++ qemu-aarch64 sha256sum; do
  command -v "$tool" >/dev/null || { echo "check-arm-image: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# The release build's flags: no contraction into fused multiply-adds, no fast math.
flags=(-std=c++20 -O3 -DNDEBUG -ffp-contract=off -fno-fast-math -Wall -Wextra -Wpedantic -Werror -pthread -I"$root")
# The engine as the Linux build compiles it: its Windows file left out.
sources=("$root"/tests/arm/render_image.cpp)
for file in "$root"/engine/*.cpp; do
  [[ $file == *_windows.cpp ]] || sources+=("$file")
done

g++ "${flags[@]}" "${sources[@]}" -o "$out/render_image-x86_64" &
native=$!
aarch64-linux-gnu-g++ "${flags[@]}" -static "${sources[@]}" -o "$out/render_image-aarch64"
wait "$native"

# samples depth tile threads width height: tiles of 32 and 16, a partial last row and
# column, one and several workers.
configs=(
  "4 50 32 1 64 36"
  "8 50 16 2 136 84"
  "8 50 32 4 100 70"
)
status=0
for config in "${configs[@]}"; do
  # shellcheck disable=SC2086  # the configuration is six separate arguments
  x86=$("$out/render_image-x86_64" $config | sha256sum | cut -d' ' -f1)
  # shellcheck disable=SC2086
  arm=$(qemu-aarch64 "$out/render_image-aarch64" $config | sha256sum | cut -d' ' -f1)
  if [[ "$x86" == "$arm" ]]; then
    echo "same image on aarch64: $config -> $x86"
  else
    echo "DIFFERENT image on aarch64: $config: x86_64 $x86, aarch64 $arm" >&2
    status=1
  fi
done
exit "$status"
