#!/usr/bin/env bash
# The house style and the layers, checked before any build: every C++ file formatted to
# .clang-format, and no folder including a folder above it in the layers
#   engine -> verify -> system, history, leaderboard_client -> state -> ui -> app   (cli beside state),
# the leaderboard server beside them, on engine/ and the client's UTF-8 decoder; inside the server
#   rules -> stores -> api, and front -> api.
set -euo pipefail
cd "$(dirname "$0")/.."

git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# For each folder, the folders it must never include.
declare -A forbidden=(
  [engine]="verify system history leaderboard_client leaderboard_server state cli ui app"
  [verify]="system history leaderboard_client leaderboard_server state cli ui app"
  [system]="history leaderboard_client leaderboard_server state cli ui app"
  [history]="system leaderboard_client leaderboard_server state cli ui app"
  [leaderboard_client]="system history leaderboard_server state cli ui app"
  [leaderboard_server]="system history state cli ui app"
  [state]="leaderboard_server cli ui app"
  [cli]="state leaderboard_server ui app"
  [ui]="leaderboard_server cli app"
  # The server's rooms: the rules know no HTTP and no database, the stores no HTTP, and the front
  # no route, rule or store.
  [leaderboard_server/rules]="leaderboard_server/stores leaderboard_server/front leaderboard_server/api"
  [leaderboard_server/stores]="leaderboard_server/front leaderboard_server/api"
  [leaderboard_server/front]="leaderboard_server/rules leaderboard_server/stores leaderboard_server/api"
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
