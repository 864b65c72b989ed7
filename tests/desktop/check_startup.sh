#!/usr/bin/env bash
# The program under a real X server: --help and --version answer without a display;
# `orvel-file-rename FOLDER` opens one window "Orvel File Rename" at that folder, whose
# client area is 523 x 327 below the menu bar; a second start that names a folder ("Open
# With" in a file manager) has the first window open it and come forward, and ends
# without a message; a second start without one shows the single-instance message,
# brings the first window above the window that covered it, and ends after OK while
# the first runs on.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT

version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app" --version 2>&1) || fail "--version failed: $version"
[[ "$version" =~ ^"Orvel File Rename "[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version answered: $version"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app" --help 2>&1) || fail "--help failed: $help"
[[ "$help" == "Usage: orvel-file-rename [options] [path...]"* && "$help" != *"--help-all"* ]] || fail "--help answered: $help"
echo "--version and --help answer without a display"

xvfb_start
private_home
mkdir -p "$work/open me" "$work/open with"
printf x > "$work/open me/FILE ONE.TXT"
printf x > "$work/open with/FILE TWO.TXT"
printf x > "$work/STAY HERE.TXT"
cd "$work"

"$app" "open me" >"$work/first.log" 2>&1 &
first=$!; pids="$first"
wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
main=$(windows_titled "Orvel File Rename" | head -n1)
w=$(window_width "$main"); h=$(window_height "$main")
[ "$w" = 523 ] || fail "window width $w, expected 523"
[ "$h" -gt 327 ] && [ "$h" -lt 380 ] || fail "window height $h: expected 327 plus a menu bar"
echo "main window: ${w}x${h}"

# Alt+A renames the files of the folder that the command line named, and only those.
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key --window "$main" alt+a
wait_for '[ -f "$work/open me/File One.txt" ]' 10 || { ls -R "$work"; fail "Alt+A did not rename the files of the folder given"; }
[ -f "$work/STAY HERE.TXT" ] || fail "Alt+A renamed a file of the working folder"
echo "opened the folder given: Alt+A renamed its files and nothing else"

# Another window covers the first; the stacking order lists the top window first.
xev -geometry 1280x800+0+0 >/dev/null 2>&1 &
pids="$pids $!"
wait_for '[ -n "$(xdotool search --onlyvisible --name "^Event Tester$")" ]' 10 || fail "no covering window"
cover=$(xdotool search --onlyvisible --name "^Event Tester$" | head -n1)
above() { # true when window $1 lies above window $2
  xwininfo -root -children | awk -v a="$(printf '0x%x' "$1")" -v b="$(printf '0x%x' "$2")" \
    '$1 == a && !pa { pa = NR } $1 == b && !pb { pb = NR } END { exit !(pa && pb && pa < pb) }'
}
wait_for 'above "$cover" "$main"' 10 || fail "the covering window did not come above the main window"

"$app" "open with" >"$work/open-with.log" 2>&1 &
openwith=$!; pids="$pids $openwith"
wait_for '! kill -0 $openwith 2>/dev/null' 15 || fail "the start that named a folder did not end"
wait "$openwith"; rc=$?
[ "$rc" = 0 ] || fail "the start that named a folder ended with $rc"
[ "$(windows_titled "Orvel File Rename" | wc -l)" -eq 1 ] || fail "the start that named a folder showed a window"
wait_for 'above "$main" "$cover"' 10 || fail "the folder handed over did not bring the first window forward"
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key --window "$main" alt+a
wait_for '[ -f "$work/open with/File Two.txt" ]' 10 || { ls -R "$work"; fail "the first window did not open the folder handed over"; }
echo "a second start that named a folder: the first window opened it and came forward, no message"
xdotool windowraise "$cover"
wait_for 'above "$cover" "$main"' 10 || fail "the covering window did not come above the main window again"

"$app" /nowhere/at/all >"$work/second.log" 2>&1 &
second=$!; pids="$pids $second"
wait_for '[ "$(windows_titled "Orvel File Rename" | wc -l)" -ge 2 ]' 15 || fail "the second start showed no message"
wait_for 'above "$main" "$cover"' 10 || fail "the second start did not bring the first window forward"
echo "second start brought the first window forward"
[ "$(grep -c 'not a folder' "$work/second.log")" = 1 ] || fail "no one-line note that /nowhere/at/all is not a folder"
box=""
for id in $(windows_titled "Orvel File Rename"); do [ "$id" != "$main" ] && box=$id; done
[ -n "$box" ] || fail "no message window"
xdotool windowfocus --sync "$box" 2>/dev/null
xdotool key --window "$box" Return
wait_for '! kill -0 $second 2>/dev/null' 10 || fail "the second instance did not end after OK"
wait "$second"; rc=$?
[ "$rc" = 0 ] || fail "the second instance ended with $rc"
kill -0 "$first" 2>/dev/null || fail "the first instance ended too"
[ "$(windows_titled "Orvel File Rename" | wc -l)" -eq 1 ] || fail "more than the main window is left"
echo "second start refused; first instance still running"
echo "PASS"
