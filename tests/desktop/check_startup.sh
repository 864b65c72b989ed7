#!/usr/bin/env bash
# The program under a real X server: one window "Orvel File Rename" whose client
# area is 523 x 327 below the menu bar; a second start shows the single-instance
# message and ends after OK while the first runs on.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT
xvfb_start
private_home
cd "$work"

"$app" >"$work/first.log" 2>&1 &
first=$!; pids="$first"
wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
main=$(windows_titled "Orvel File Rename" | head -n1)
w=$(window_width "$main"); h=$(window_height "$main")
[ "$w" = 523 ] || fail "window width $w, expected 523"
[ "$h" -gt 327 ] && [ "$h" -lt 380 ] || fail "window height $h: expected 327 plus a menu bar"
echo "main window: ${w}x${h}"

"$app" >"$work/second.log" 2>&1 &
second=$!; pids="$first $second"
wait_for '[ "$(windows_titled "Orvel File Rename" | wc -l)" -ge 2 ]' 15 || fail "the second start showed no message"
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
