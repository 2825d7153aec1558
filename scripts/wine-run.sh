#!/usr/bin/env bash
# Runs a Windows program of the windows preset under wine (CMake's emulator for CTest):
# quiet (WINEDEBUG=-all), in a prefix of the build tree whose crash debugger is switched off, so
# that a crash ends the program instead of waiting in a dialog, and bounded by `timeout`.
#   scripts/wine-run.sh PROGRAM.exe ARGS...   run it
#   scripts/wine-run.sh --init                only make the prefix
#   STRELVIK_WINE_FONTS=1 ...                 with stand-ins for the Windows fonts
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [[ ! -x $wine ]]; then
  echo "wine-run.sh: $wine not found: run scripts/install-deps.sh" >&2
  exit 127
fi

# Tests start in parallel: one of them makes the prefix, the others wait for it.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [[ ! -f $WINEPREFIX/.strelvik-ready ]]; then
  timeout 300 "$wine" wineboot --init >/dev/null 2>&1 || true
  # An empty debugger command: an unhandled exception ends the process.
  timeout 60 "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1
  timeout 60 "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
  timeout 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  touch "$WINEPREFIX/.strelvik-ready"
fi
# Wine ships neither Segoe UI nor Consolas. Tests that lay text out ask for stand-ins under their
# file names: the faces the Linux build falls back to (scripts/deps/window.txt).
if [[ -n ${STRELVIK_WINE_FONTS:-} ]]; then
  fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p "$fonts"
  cp -n /usr/share/fonts/opentype/inter/Inter-Regular.otf "$fonts/segoeui.ttf"
  cp -n /usr/share/fonts/truetype/jetbrains-mono/JetBrainsMono-Regular.ttf "$fonts/consola.ttf"
fi
exec 9>&-
[[ ${1:-} == --init ]] && exit 0

exec timeout --kill-after=10 "${STRELVIK_WINE_TIMEOUT:-900}" "$wine" "$@"
