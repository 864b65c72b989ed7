# Helpers for the end-to-end checks that run the real program under a private X server.
# Sourced by the check scripts; each script sets `app` first.

# Starts a private X server and points DISPLAY at it and at nothing else. The
# number is chosen here, not left to Xvfb (which takes the lowest free one, where a
# server that comes and goes meets us): a random number from 90 up, where people's
# own servers and ssh forwarding rarely go, that no socket or lock file claims.
# Another server can still win that number before Xvfb locks it, so when Xvfb dies
# or does not answer in time, a new number is tried. -noreset: by default the server
# resets when its last client leaves (our probe, or an xdotool between two polls), and
# a program that connects during that reset is turned away ("could not connect").
xvfb_start() {
  local tool
  for tool in Xvfb xdotool xdpyinfo; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 0; }
  done
  unset DISPLAY
  xvfb_log=$(mktemp)
  local try n
  for try in 1 2 3 4 5 6 7 8; do
    n=$((90 + RANDOM % 900))
    display_taken "$n" && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >"$xvfb_log" 2>&1 &
    xvfb_pid=$!
    if xvfb_answers "$n" 20; then
      export DISPLAY=":$n"
      echo "X server :$n (try $try)"
      return 0
    fi
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  done
  fail "no X server could be started; Xvfb said: $(tail -n 3 "$xvfb_log")"
}

# Whether anything claims display $1: its socket, its lock file, or the abstract
# socket of a server whose /tmp we do not see (clients try that one first).
display_taken() {
  [ -e "/tmp/.X11-unix/X$1" ] || [ -e "/tmp/.X$1-lock" ] ||
    awk -v s="@/tmp/.X11-unix/X$1" '$NF == s { found = 1 } END { exit !found }' /proc/net/unix 2>/dev/null
}

# Waits up to $2 seconds for our Xvfb to own display $1 (its lock file names it)
# and accept a client there; gives up at once when it has ended.
xvfb_answers() {
  local deadline=$((SECONDS + $2))
  while [ "$SECONDS" -le "$deadline" ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$1-lock")" = "$xvfb_pid" ] &&
       xdpyinfo -display ":$1" >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.05
  done
  return 1
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
  [ -n "${xvfb_log:-}" ] && rm -f "$xvfb_log"
  [ -n "${work:-}" ] && [ -z "${KEEP_WORK:-}" ] && rm -rf "$work"
  return 0
}

# Waits up to $2 seconds (default 10) for a command to succeed. The deadline is on
# the clock, not a count of tries: on a loaded machine each try takes longer.
wait_for() {
  local cmd=$1 deadline=$((SECONDS + ${2:-10}))
  while [ "$SECONDS" -le "$deadline" ]; do eval "$cmd" && return 0; sleep 0.05; done
  return 1
}

# Ids of the program's visible windows titled exactly $1, largest first.
windows_titled() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null
}

# Waits for the main window and gives it the focus; sets main (its id), wx and wy (its
# place) and top (the top of its client area, below the menu bar).
main_window_up() {
  wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
  main=$(windows_titled "Orvel File Rename" | head -n1)
  xdotool windowfocus --sync "$main" 2>/dev/null
  eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/{print "wx="$4} /Absolute upper-left Y/{print "wy="$4} /Height:/{print "wh="$2}')"
  top=$((wy + wh - 327))
}

window_width() { xwininfo -id "$1" | awk '/Width:/{print $2}'; }
window_height() { xwininfo -id "$1" | awk '/Height:/{print $2}'; }

# Starts "$app" again without a folder and takes the last run back as a user does:
# Ctrl+Z (File > Undo Last Rename), then Yes. Sets pid and main.
undo_last_run() {
  "$app" >"$work/undo.log" 2>&1 &
  pid=$!; pids=$pid
  wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not come back"
  main=$(windows_titled "Orvel File Rename" | head -n1)
  # Keys as a keyboard gives them (XTEST): a modifier sent to a window alone can stay
  # down for the server, and the box's Alt+Y then arrives as Ctrl+Alt+Y.
  xdotool windowfocus --sync "$main" 2>/dev/null
  xdotool key ctrl+z
  wait_for '[ "$(windows_titled "Orvel File Rename" | wc -l)" -ge 2 ]' 20 || fail "Ctrl+Z asked nothing"
  question=$(windows_titled "Orvel File Rename" | grep -v "^$main\$" | head -n1)
  answer_yes() {
    xdotool windowfocus --sync "$question" 2>/dev/null
    xdotool key alt+y 2>/dev/null
    sleep 0.2
    ! windows_titled "Orvel File Rename" | grep -q "^$question\$"
  }
  wait_for answer_yes 20 || fail "the question did not take Yes"
}

fail() {
  echo "FAIL: $*"
  for log in "${work:-/nonexistent}"/*.log; do [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }; done
  exit 1
}
