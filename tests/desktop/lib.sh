# Helpers for the end-to-end checks that run the real program under a private X server.
# Sourced by the check scripts; each script sets `app` first.

xvfb_start() {
  command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "SKIP: Xvfb or xdotool missing"; exit 0; }
  # Xvfb picks a free display itself and writes its number once it accepts clients.
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local n=""
  read -r -t 20 n <"$fifo"
  rm -f "$fifo"
  [ -n "$n" ] || fail "no X server could be started"
  export DISPLAY=":$n"
}

# A private runtime and configuration folder: the instance lock and the settings of
# a check never meet those of a user or of another check.
private_home() {
  work=$(mktemp -d)
  export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
  chmod 700 "$XDG_RUNTIME_DIR"
}

cleanup() {
  [ -n "${pids:-}" ] && kill $pids 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "${work:-}" ] && [ -z "${KEEP_WORK:-}" ] && rm -rf "$work"
  return 0
}

# Waits up to $2 seconds (default 10) for a command to succeed.
wait_for() {
  local cmd=$1 limit=${2:-10} i
  for i in $(seq 1 $((limit * 20))); do eval "$cmd" && return 0; sleep 0.05; done
  return 1
}

# Ids of the program's visible windows titled exactly $1, largest first.
windows_titled() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null
}

window_width() { xwininfo -id "$1" | awk '/Width:/{print $2}'; }
window_height() { xwininfo -id "$1" | awk '/Height:/{print $2}'; }

fail() {
  echo "FAIL: $*"
  for log in "${work:-/nonexistent}"/*.log; do [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }; done
  exit 1
}
