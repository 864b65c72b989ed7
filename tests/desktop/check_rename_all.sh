#!/usr/bin/env bash
# Rename All as a user drives it, under a real X server: Alt+A renames the files of
# the open folder; with "Include subfolders" and "Rename folder" ticked by mouse,
# the whole tree is renamed and no file is lost.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT
xvfb_start
private_home

tree="$work/My PHOTOS"
mkdir -p "$tree/SUB one/deeper LEVEL" "$tree/sub TWO"
for f in "holiday PICTURE.JPG" "(copy) of NOTES.txt" "SUB one/in SUB.TXT" "SUB one/deeper LEVEL/DEEP file.txt" "sub TWO/LAST one.TXT"; do
  printf '%s' "$f" > "$tree/$f"
done
cd "$tree"

"$app" >"$work/app.log" 2>&1 &
pids=$!
wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
main=$(windows_titled "Orvel File Rename" | head -n1)
xdotool windowfocus --sync "$main" 2>/dev/null

# Alt+A: the files of this folder only.
xdotool key --window "$main" alt+a
wait_for '[ -f "$tree/Holiday Picture.jpg" ] && [ -f "$tree/(Copy) Of Notes.txt" ]' 10 || { ls -R "$tree"; fail "Alt+A did not rename the folder's files"; }
[ -f "$tree/SUB one/in SUB.TXT" ] || fail "Alt+A went into a sub-folder"
echo "Alt+A renamed the files of the open folder"

# Tick "Rename folder" and "Include subfolders" where they sit in the window.
eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/{print "wx="$4} /Absolute upper-left Y/{print "wy="$4} /Height:/{print "wh="$2}')"
menu=$((wh - 327))
click() { xdotool mousemove --sync $((wx + $1)) $((wy + menu + $2)) click 1; }
click 400 104   # chkRenameFolder, in the "Case" frame
click 392 144   # Check1, "Include subfolders"
xdotool key --window "$main" alt+a
expected="$work/My Photos/(Copy) Of Notes.txt
$work/My Photos/Holiday Picture.jpg
$work/My Photos/Sub One/Deeper Level/Deep File.txt
$work/My Photos/Sub One/In Sub.txt
$work/My Photos/Sub Two/Last One.txt"
wait_for '[ "$(find "$work/My Photos" -type f 2>/dev/null | LC_ALL=C sort)" = "$expected" ]' 15 || {
  find "$work" -path "$work/run" -prune -o -print; fail "the tree was not renamed as expected"; }
[ "$(cat "$work/My Photos/Sub One/Deeper Level/Deep File.txt")" = "SUB one/deeper LEVEL/DEEP file.txt" ] || fail "a file lost its contents"
echo "the whole tree was renamed, every file kept"
echo "PASS"
