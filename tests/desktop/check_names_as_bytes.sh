#!/usr/bin/env bash
# Names are bytes, as a user meets them: Rename All with "Include subfolders",
# "Rename folder" and UPPER CASE over a tree holding a folder whose name is not UTF-8,
# a Latin-1 file name and a folder named U+FEFF + "..". Everything inside the tree is
# re-cased with its other bytes kept; nothing beside the tree is touched.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT
xvfb_start
private_home

tree="$work/Tree top"
bad=$(printf 'Bad\377DIR') resume=$(printf 'R\351SUM\351.doc') bom=$(printf '\357\273\277..')
mkdir -p "$tree/$bad" "$tree/$bom"
printf 'inner' > "$tree/$bad/inner file.txt"
printf 'resume' > "$tree/$resume"
printf 'x' > "$tree/$bom/x.txt"
printf 'beside' > "$work/beside FILE.txt"
cd "$tree"

"$app" >"$work/app.log" 2>&1 &
pids=$!
wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
main=$(windows_titled "Orvel File Rename" | head -n1)
xdotool windowfocus --sync "$main" 2>/dev/null
eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/{print "wx="$4} /Absolute upper-left Y/{print "wy="$4} /Height:/{print "wh="$2}')"
click() { xdotool mousemove --sync $((wx + $1)) $((wy + wh - 327 + $2)) click 1; }
click 400 48    # UPPER CASE
click 400 104   # Rename folder
click 392 144   # Include subfolders
xdotool key --window "$main" alt+a

top="$work/TREE TOP"
expected=$(printf '%s\n' "$top" "$top/BAD$(printf '\377')DIR" "$top/BAD$(printf '\377')DIR/INNER FILE.TXT" \
  "$top/R$(printf '\351')SUM$(printf '\351').DOC" "$top/$bom" "$top/$bom/X.TXT" | LC_ALL=C sort)
wait_for '[ "$(find "$top" 2>/dev/null | LC_ALL=C sort)" = "$expected" ]' 15 || {
  find "$work" -path "$work/run" -prune -o -print | od -c | head -40; fail "the tree was not re-cased byte for byte"; }
[ "$(cat "$top/R$(printf '\351')SUM$(printf '\351').DOC")" = resume ] || fail "a file lost its contents"
[ -f "$work/beside FILE.txt" ] || fail "a file beside the tree was renamed"
[ "$(cat "$work/beside FILE.txt")" = beside ] || fail "a file beside the tree changed"
echo "the tree was re-cased with every other byte kept; nothing beside it changed"
echo "PASS"
