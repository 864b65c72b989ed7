#!/usr/bin/env bash
# A run killed half way is undone after the next start, as a user would do it: a
# Rename All of 40 000 files with sub-folders and "Rename folder" is killed with
# SIGKILL, the program is started again, Ctrl+Z (File > Undo Last Rename) is answered
# Yes, and the tree is then exactly what it was: every path and every file's content,
# and nothing under a temporary name.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT
command -v python3 >/dev/null || { echo "SKIP: python3 missing"; exit 0; }
xvfb_start
private_home

tree="$work/BIG tree"
# Every path with its content, sorted, as one text.
manifest() {
  python3 - "$1" <<'PY'
import os, sys
root = sys.argv[1]
for folder, dirs, files in sorted(os.walk(root)):
    for name in sorted(dirs + files):
        path = os.path.join(folder, name)
        content = open(path, "rb").read().hex() if os.path.isfile(path) and not os.path.islink(path) else "-"
        print(os.path.relpath(path, os.path.dirname(root)), content)
PY
}
python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
for d in [""] + ["SUB %d" % i for i in range(1, 21)]:
    os.makedirs(os.path.join(root, d), exist_ok=True)
    for n in range(1, 1905 if d else 1901):
        name = "FILE NUMBER %d.TXT" % n
        with open(os.path.join(root, d, name), "w") as f:
            f.write(d + "/" + name)
PY
before=$(manifest "$tree")
total=$(find "$tree" -type f | wc -l)
cd "$work"

"$app" "$tree" >"$work/app.log" 2>&1 &
pid=$!; pids=$pid
main_window_up
xdotool mousemove --sync $((wx + 392)) $((top + 144)) click 1   # "Include subfolders"
xdotool mousemove --sync $((wx + 400)) $((top + 112)) click 1   # "Rename folder"
xdotool key --window "$main" alt+a
# Half way: the tenth sub-folder has its new name.
wait_for '[ -d "$work/Big Tree/Sub 10" ]' 60 || fail "the run did not get half way"
kill -9 "$pid"
wait "$pid" 2>/dev/null
renamed=$(find "$work" -path "$work/home" -prune -o -type f -name 'File Number *' -print | wc -l)
[ "$renamed" -gt 0 ] && [ "$renamed" -lt "$total" ] || fail "$renamed of $total renamed when the run was killed"
echo "killed after $renamed of $total files"

undo_last_run
wait_for '[ -d "$tree" ] && [ -z "$(find "$tree" -name "File Number *" -print -quit)" ]' 60 \
  || fail "the undo did not put the tree back: $(ls "$work")"
after=$(manifest "$tree")
[ "$after" = "$before" ] || fail "the tree differs from the one before the run: $(diff <(echo "$before") <(echo "$after") | head -n 5)"
hidden=$(find "$work" -path "$work/home" -prune -o -name '.orvel~*' -print | head -n 3)
[ -z "$hidden" ] || fail "names under a temporary name: $hidden"
echo "undone after the kill: every path and every content as before the run"
