# The shell twin of listening_server.h, for bench/server/load.sh and the scripts that start a
# local server (run.sh, the screenshots). Source it, then
#   start_listening_server OUT ERR PROGRAM [ARGS...] || exit 1
# starts PROGRAM in the background with stdout to OUT and stderr appended to ERR, and waits up to
# LISTEN_WAIT seconds (default 30) for its whole "... listening on SCHEME://HOST:PORT" line. Sets
# server_pid, server_port and server_url (SCHEME://HOST:PORT). When the program ends first or
# does not listen in time, it is ended, the error log is printed and the function returns 1.
start_listening_server() {
  local out=$1 err=$2
  shift 2
  : >"$out"  # emptied before the program starts, so that no earlier line is read
  "$@" >"$out" 2>>"$err" &
  server_pid=$!
  local pattern=$' listening on ([a-z]+://[^\n]*):([0-9]+)\r?\n' text tries=$((${LISTEN_WAIT:-30} * 20))
  while ((tries-- > 0)); do
    # The x keeps the line's newline through the command substitution: only a whole line counts.
    text=$(cat "$out" 2>/dev/null; printf x)
    if [[ $text =~ $pattern ]]; then
      server_url="${BASH_REMATCH[1]}:${BASH_REMATCH[2]}"
      server_port=${BASH_REMATCH[2]}
      return 0
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -KILL "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  echo "$1 did not start listening: $(cat "$err")" >&2
  return 1
}
