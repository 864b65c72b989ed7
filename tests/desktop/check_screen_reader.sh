#!/usr/bin/env bash
# The program as a screen reader meets it, over the desktop's real accessibility bus
# (AT-SPI) on a private session bus: every control of the main window has a name and
# the window says it is one; the preview's table has a name and its rows read; half way
# through a Rename All of 200 000 files the progress bar's value, the status line and the
# current file can be read, the program answers at once, the bar tells its value as it
# moves, and the status bar tells the run's end.
set -u
app=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
trap cleanup EXIT
# Debian's own Python, where python3-pyatspi installs, whatever python3 comes first.
python=/usr/bin/python3
command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session missing (dbus-daemon)"; exit 0; }
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "SKIP: the accessibility bus is missing (at-spi2-core)"; exit 0; }
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi missing"; exit 0; }
xvfb_start
private_home

# One file in the folder itself (a run in a folder without files of its own ends with a
# blank status line), the rest in sub-folders: the lists and the tree stay short while
# 200 000 files are renamed (several workers rename them: fewer would at times be over
# before a screen reader, whose every question waits for the busy window, could look
# twice).
tree="$work/tree"
"$python" - "$tree" <<'PY'
import os, sys
def touch(folder, names):
    os.makedirs(folder, exist_ok=True)
    for name in names:
        open(os.path.join(folder, name), "w").close()
touch(sys.argv[1], ["FILE NUMBER 0.TXT"])
for d in range(1, 41):
    touch(os.path.join(sys.argv[1], "SUB %d" % d), ["FILE NUMBER %d.TXT" % f for f in range(1, 5001 - (d == 40))])
PY
cd "$tree"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 APP="$app" HERE="$here" PYTHON="$python" WORK="$work"
dbus-run-session -- bash -c '
  "$APP" >"$WORK/app.log" 2>&1 &
  pid=$!
  trap "kill $pid 2>/dev/null" EXIT
  "$PYTHON" "$HERE/screen_reader.py" tree || exit 1
  xid=$(xdotool search --onlyvisible --name "^Orvel File Rename\$" | head -n1)
  "$PYTHON" "$HERE/screen_reader.py" preview "$xid" || exit 1
  "$PYTHON" "$HERE/screen_reader.py" run "$xid" || exit 1
' 2>"$work/bus.log"
rc=$?
[ "$rc" = 0 ] || fail "the accessibility checks failed (bus log: $(grep -v 'fd limit' "$work/bus.log" | tail -n 3))"
renamed=$(find "$tree" -type f -name 'File Number *.txt' | wc -l)
[ "$renamed" = 200000 ] || fail "$renamed of 200000 files renamed"
echo "PASS"
