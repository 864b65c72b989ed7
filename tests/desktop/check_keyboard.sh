#!/usr/bin/env bash
# The program from the keyboard alone, under a real X server: key events and nothing
# else, no pointer event at all. Alt+F opens the File menu, whose Rename All renames the
# folder; the question at its end is answered with Enter, and the "Changes Not Made" list
# it opens closes with Escape; the Help menu's About opens the about box and Escape
# closes it; Alt alone and F10 open the menu bar; Ctrl+Q ends the program.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT
xvfb_start
private_home

# "a.txt" becomes "A.txt" in Proper Case, a name that is taken: one rename is refused,
# and the run ends with the question that offers the list.
mkdir -p "$work/start"
printf a > "$work/start/a.txt"
printf A > "$work/start/A.txt"
printf b > "$work/start/b ONE.TXT"
cd "$work/start"

"$app" >"$work/app.log" 2>&1 &
pid=$!; pids=$pid
wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
main=$(windows_titled "Orvel File Rename" | head -n1)
# Where keys go: the window that has the focus (no window manager gives it).
xdotool windowfocus --sync "$main" 2>/dev/null

# The program's visible windows, its menus among them.
shown() { xdotool search --onlyvisible --classname orvel-file-rename 2>/dev/null | wc -l; }
key() { xdotool key --delay 50 "$@"; }

key alt+f
wait_for '[ "$(shown)" = 2 ]' 10 || fail "Alt+F did not open the File menu"
key a
wait_for '[ -f "$work/start/B One.txt" ]' 10 || fail "the File menu's Rename All did not rename the folder"
wait_for '[ -n "$(windows_titled "File not renamed")" ]' 10 || fail "no question about the file not renamed"
echo "Alt+F, A: Rename All from the File menu; the question about the refused rename"
key Return
wait_for '[ -n "$(windows_titled "Changes Not Made")" ]' 10 || fail "Enter did not open Changes Not Made"
key Escape
wait_for '[ -z "$(windows_titled "Changes Not Made")" ]' 10 || fail "Escape did not close Changes Not Made"
echo "Enter: Changes Not Made opened; Escape: closed"

xdotool windowfocus --sync "$main" 2>/dev/null
key alt+h
wait_for '[ -n "$(windows_titled "Quick Help")" ]' 10 || fail "Alt+H did not open the Help menu and the quick help"
key a
wait_for '[ -n "$(windows_titled "About This Software ...")" ]' 10 || fail "the Help menu's About did not open the about box"
key Escape
wait_for '[ -z "$(windows_titled "About This Software ...")" ]' 10 || fail "Escape did not close the about box"
echo "Alt+H, A: the about box opened (the quick help with the menu); Escape: closed"

xdotool windowfocus --sync "$main" 2>/dev/null
before=$(shown)
key alt
key Down
wait_for '[ "$(shown)" -gt "$before" ]' 10 || fail "Alt, then Down, did not open the File menu"
key Escape Escape
wait_for '[ "$(shown)" = "$before" ]' 10 || fail "Escape did not close the menu"
key F10
wait_for '[ "$(shown)" -gt "$before" ]' 10 || fail "F10 did not open the File menu"
key Escape
wait_for '[ "$(shown)" = "$before" ]' 10 || fail "Escape did not close the menu"
echo "Alt and F10 open the menu bar"

key ctrl+q
wait_for '! kill -0 $pid 2>/dev/null' 10 || fail "Ctrl+Q did not end the program"
echo "Ctrl+Q ended the program"
echo "PASS"
