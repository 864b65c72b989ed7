#!/usr/bin/env bash
# A close request while Rename All renames a large tree (100 000 files in 20 folders,
# renamed by several workers at once), as a user would make it: the run ends between
# two renames and the program exits; every file holds either its old or its new name,
# none is lost, and nothing answers to a temporary name. Started again, the program
# takes the run back: every name is the old one again.
set -u
app=$1
. "$(dirname "$0")/lib.sh"
trap cleanup EXIT
command -v python3 >/dev/null || { echo "SKIP: python3 missing"; exit 0; }
xvfb_start
private_home

# What a window manager sends when its close button is clicked; Xvfb runs none.
close_window() {
  python3 - "$1" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
x.XFlush.argtypes = [ctypes.c_void_p]
display = x.XOpenDisplay(None)
event = Event()
event.xclient.type = 33  # ClientMessage
event.xclient.window = int(sys.argv[1])
event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(display, int(sys.argv[1]), 0, 0, ctypes.byref(event))
x.XFlush(display)
PY
}

# 5 000 files in the folder itself, which the run renames first, and 95 000 below.
tree="$work/BIG tree"
mkdir -p "$tree"
(cd "$tree" && seq -f "FILE NUMBER %g.TXT" 1 5000 | xargs -d '\n' touch)
for d in $(seq 1 19); do
  mkdir "$tree/SUB $d"
  (cd "$tree/SUB $d" && seq -f "FILE NUMBER %g.TXT" 1 5000 | xargs -d '\n' touch)
done
total=$(find "$tree" -type f | wc -l)
cd "$tree"

"$app" >"$work/app.log" 2>&1 &
pid=$!; pids=$pid
main_window_up
xdotool mousemove --sync $((wx + 392)) $((top + 144)) click 1   # "Include subfolders"
xdotool key --window "$main" alt+a
wait_for '[ -e "$tree/File Number 1.txt" ]' 30 || fail "the run did not start"
close_window "$main"
wait_for '! kill -0 $pid 2>/dev/null' 20 || fail "the program did not end after the close request"

after=$(find "$tree" -type f | wc -l)
[ "$after" = "$total" ] || fail "$total files before the run, $after after it"
odd=$(find "$tree" -type f ! -name 'FILE NUMBER *.TXT' ! -name 'File Number *.txt' | head -n 3)
[ -z "$odd" ] || fail "files under other names: $odd"
renamed=$(find "$tree" -type f -name 'File Number *.txt' | wc -l)
[ "$renamed" -gt 0 ] && [ "$renamed" -lt "$total" ] || fail "$renamed of $total renamed: the close did not end the run mid-way"
echo "closed after $renamed of $total files; every file under its old or its new name"

cd "$work"
undo_last_run
wait_for '[ -z "$(find "$tree" -type f -name "File Number *" -print -quit)" ]' 60 \
  || fail "the undo did not put every name back: $(find "$tree" -type f -name "File Number *" | wc -l) left"
after=$(find "$tree" -type f -name 'FILE NUMBER *.TXT' | wc -l)
[ "$after" = "$total" ] || fail "$after of $total files under their old names after the undo"
hidden=$(find "$work" -path "$work/home" -prune -o -name '.orvel~*' -print | head -n 3)
[ -z "$hidden" ] || fail "names under a temporary name: $hidden"
echo "undone: every file under its old name"
echo "PASS"
