#!/usr/bin/env bash
# The Windows window program under wine on a virtual X screen of its own: its title, the theme's
# colours in a screenshot, a Single-Core run started by a click that finishes (the history file
# gets it) and fills the preview, and exit code 0 when the window is closed.
#   window_under_wine.sh PROGRAM.exe   (a build with a small workload: strelvik-quick-window.exe)
# Every wait polls for what it waits for; the time limits only stop a hang.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
program=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  [[ -z $program_pid ]] || kill "$program_pid" 2>/dev/null || true
  [[ -z $xvfb_pid ]] || kill "$xvfb_pid" 2>/dev/null || true
  [[ -z ${WINEPREFIX:-} ]] || /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [[ ! -f $work/rects.txt ]] || { echo "items:" >&2; cat "$work/rects.txt" >&2; }
  exit 1
}
# wait_for SECONDS COMMAND...: polls the command every 0.2 s until it succeeds.
wait_for() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Xvfb picks a free display number itself and writes it to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 2>"$work/xvfb.log" &
xvfb_pid=$!
exec 3>&-
wait_for 30 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n1 "$work/display")

# A prefix of its own: a wine server that other tests' programs started without this display
# would open the window elsewhere.
export WINEPREFIX=$(dirname "$(dirname "$program")")/wine-prefix-window
"$root/scripts/wine-run.sh" --init

# A refused loopback port: the leaderboard requests fail at once, and nothing leaves the machine.
(cd "$work" && STRELVIK_ITEM_RECTS="$work/rects.txt" STRELVIK_HISTORY="$work/history.json" \
  STRELVIK_LEADERBOARD_URL=https://127.0.0.1:9 STRELVIK_MAX_FPS=20 STRELVIK_WINE_TIMEOUT=180 \
  exec "$root/scripts/wine-run.sh" "$program") >"$work/out.log" 2>"$work/err.log" &
program_pid=$!

title='Strelvik v1.4 - CPU Benchmark'
find_window() { window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n1) && [[ -n $window ]]; }
wait_for 90 find_window || fail "no window titled \"$title\""
xprop -id "$window" WM_NAME | grep -qF "\"$title\"" || fail "the title is $(xprop -id "$window" WM_NAME)"
item() { sed -n "s/^$1\t//p" "$work/rects.txt" 2>/dev/null; }
listed() { [[ -n $(item "$1") ]]; }
wait_for 60 listed Single-Core || fail "no Single-Core button listed"

# The theme: the window's background (WindowBg 0.051) and a panel's (ChildBg 0.078), in the
# window's own coordinates (the X window is the client area).
pixel() { convert "$1[1x1+$2+$3]" -depth 8 txt:- | sed -n 's/.*#\([0-9A-F]\{6\}\).*/\1/p'; }
import -window "$window" "$work/idle.png"
read -r x0 y0 x1 y1 <<<"$(item Single-Core)"
[[ $(pixel "$work/idle.png" 4 4) == 0D0D0D ]] || fail "window background $(pixel "$work/idle.png" 4 4), not 0D0D0D"
[[ $(pixel "$work/idle.png" $((x0 - 6)) $((y0 - 40))) == 141414 ]] ||
  fail "panel background $(pixel "$work/idle.png" $((x0 - 6)) $((y0 - 40))), not 141414"

# GUI library 1.86 drops a press and release that fall into one frame: the button is held.
xdotool mousemove --window "$window" $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) sleep 0.2 mousedown 1 sleep 0.15 mouseup 1
wait_for 150 grep -qs '"type": "single"' "$work/history.json" || fail "the Single-Core run did not finish"
wait_for 30 listed 'preview image' || fail "no preview image listed"
read -r px0 py0 px1 py1 <<<"$(item 'preview image')"
# A frame after the run puts the finished image on screen; the unrendered preview is one colour.
preview_colours() {
  import -window "$window" "$work/finished.png"
  colours=$(convert "$work/finished.png" -crop "$((px1 - px0))x$((py1 - py0))+$px0+$py0" -format %k info:)
  ((colours > 200))
}
wait_for 30 preview_colours || fail "the preview holds $colours colours, not the rendered image"

# The close button's message: Alt+F4 is turned into it by the window's default handling.
xdotool key --window "$window" alt+F4
code=0
wait "$program_pid" || code=$?
program_pid=""
((code == 0)) || fail "exit code $code after the window was closed: $(cat "$work/err.log")"
timeout 60 /usr/lib/wine/wineserver -w || true
echo "window under wine: title, theme, a Single-Core run and a clean close"
