#!/usr/bin/env bash
# The Windows window program under wine on a virtual X screen of its own: its title and icon, the
# theme's colours in a screenshot, a Single-Core run started by a click that finishes (the history
# file gets it) and fills the preview, and exit code 0 when the window is closed; then the real
# program, closed in the middle of its standard run, exits 0 without recording it.
#   window_under_wine.sh QUICK.exe PROGRAM.exe
#   (QUICK: a build with a small workload, strelvik-quick-window.exe; PROGRAM: strelvik.exe)
# Every wait polls for what it waits for; the time limits only stop a hang.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
quick=$(realpath "$1")
program=$(realpath "$2")
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

title='Strelvik v1.4 - CPU Benchmark'
item() { sed -n "s/^$1\t//p" "$work/rects.txt" 2>/dev/null; }
listed() { [[ -n $(item "$1") ]]; }
find_window() { window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n1) && [[ -n $window ]]; }

# start EXE: runs it with a history of its own until its Single-Core button is listed. A refused
# loopback port: the leaderboard requests fail at once, and nothing leaves the machine.
start() {
  rm -f "$work/rects.txt" "$work/history.json"
  (cd "$work" && STRELVIK_ITEM_RECTS="$work/rects.txt" STRELVIK_HISTORY="$work/history.json" \
    STRELVIK_LEADERBOARD_URL=https://127.0.0.1:9 STRELVIK_MAX_FPS=20 STRELVIK_WINE_TIMEOUT=180 \
    exec "$root/scripts/wine-run.sh" "$1") >"$work/out.log" 2>"$work/err.log" &
  program_pid=$!
  wait_for 90 find_window || fail "no window titled \"$title\""
  xprop -id "$window" WM_NAME | grep -qF "\"$title\"" || fail "the title is $(xprop -id "$window" WM_NAME)"
  wait_for 60 listed Single-Core || fail "no Single-Core button listed"
}

# GUI library 1.86 drops a press and release that fall into one frame: the button is held.
click() {
  local x0 y0 x1 y1
  read -r x0 y0 x1 y1 <<<"$(item "$1")"
  xdotool mousemove --window "$window" $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) sleep 0.2 mousedown 1 sleep 0.15 mouseup 1
}

# The close button's message: Alt+F4 is turned into it by the window's default handling.
close_window() {
  xdotool key --window "$window" alt+F4
  local code=0
  wait "$program_pid" || code=$?
  program_pid=""
  ((code == 0)) || fail "exit code $code after the window was closed: $(cat "$work/err.log")"
  timeout 60 /usr/lib/wine/wineserver -w || true
}

start "$quick"
# The class icon from the program's resources, as wine hands it to X: the drawing's orange core
# at the centre, a transparent corner.
icon=$(xprop -id "$window" -notype -f _NET_WM_ICON 32c _NET_WM_ICON | tr -d ' ' | cut -d= -f2 | tr ',' '\n')
icon_size=$(sed -n 1p <<<"$icon")
((icon_size > 0)) || fail "the window has no icon"
centre=$(sed -n "$((3 + icon_size * icon_size / 2 + icon_size / 2))p" <<<"$icon")
[[ $(printf '%x' "$centre") == ffff6b35 && $(sed -n 3p <<<"$icon") == 0 ]] ||
  fail "the icon is not the program's (centre $(printf '%x' "$centre"))"

# The theme: the window's background (WindowBg 0.051) and a panel's (ChildBg 0.078), in the
# window's own coordinates (the X window is the client area).
pixel() { convert "$1[1x1+$2+$3]" -depth 8 txt:- | sed -n 's/.*#\([0-9A-F]\{6\}\).*/\1/p'; }
import -window "$window" "$work/idle.png"
read -r x0 y0 x1 y1 <<<"$(item Single-Core)"
[[ $(pixel "$work/idle.png" 4 4) == 0D0D0D ]] || fail "window background $(pixel "$work/idle.png" 4 4), not 0D0D0D"
[[ $(pixel "$work/idle.png" $((x0 - 6)) $((y0 - 40))) == 141414 ]] ||
  fail "panel background $(pixel "$work/idle.png" $((x0 - 6)) $((y0 - 40))), not 141414"

click Single-Core
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

close_window

# The real program, closed while its standard run is in progress: the run is cancelled, the
# program still exits 0, and nothing is recorded.
start "$program"
click Single-Core
wait_for 30 listed Cancel || fail "no Cancel button after Single-Core"
close_window
! grep -qs '"type"' "$work/history.json" || fail "a run closed midway was recorded: $(cat "$work/history.json")"
echo "window under wine: title, icon, theme, a Single-Core run, a clean close and a close mid-run"
