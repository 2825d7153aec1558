#!/usr/bin/env bash
# The house style and the layers, checked before any build: every C++ file formatted to
# .clang-format, and no folder including a folder above it in the layers
#   engine -> verify -> system, history, leaderboard -> state -> ui -> app   (cli beside state).
set -euo pipefail
cd "$(dirname "$0")/.."

git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# For each folder, the folders it must never include.
declare -A forbidden=(
  [engine]="verify system history leaderboard server state cli ui app"
  [verify]="system history leaderboard server state cli ui app"
  [system]="history leaderboard server state cli ui app"
  [history]="system leaderboard server state cli ui app"
  [leaderboard]="system history server state cli ui app"
  [server]="system history state cli ui app"
  [state]="server cli ui app"
  [cli]="state server ui app"
  [ui]="server cli app"
)
status=0
for dir in "${!forbidden[@]}"; do
  for above in ${forbidden[$dir]}; do
    if git grep -n "#include \"$above/" -- "$dir/" ; then
      echo "layers: $dir/ includes $above/" >&2
      status=1
    fi
  done
done
exit $status
