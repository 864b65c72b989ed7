#!/usr/bin/env bash
# Takes the screenshot that the package ships: the real program under a private X
# server, opened on a small sample folder, its window grabbed with xwd and turned
# into a PNG with netpbm (Debian packages x11-apps and netpbm).
# Usage: capture-screenshot.sh <program> <out.png>
set -u
app=$(realpath "${1:?usage: capture-screenshot.sh <program> <out.png>}")
out=$(realpath -m "${2:?usage: capture-screenshot.sh <program> <out.png>}")
for tool in xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install x11-apps netpbm)"; exit 1; }
done
. "$(dirname "$0")/../tests/desktop/lib.sh"
# The window shows the folder's path, so the sample lives under a short, plain one.
root=/tmp/Pictures
mkdir "$root" || { echo "$root is in the way"; exit 1; }
trap 'cleanup; rm -rf "$root"' EXIT
xvfb_start
private_home

sample="$root/Holiday PHOTOS"
mkdir -p "$sample/BEACH day" "$sample/old CAMERA"
for f in "IMG_0412.JPG" "IMG_0413.JPG" "family DINNER.jpg" "Sunset OVER the bay.JPG" "notes FROM the trip.TXT"; do
  : > "$sample/$f"
done
cd "$sample"
"$app" >"$work/app.log" 2>&1 &
pids=$!
wait_for '[ -n "$(windows_titled "Orvel File Rename")" ]' 30 || fail "the main window did not appear"
main=$(windows_titled "Orvel File Rename" | head -n1)
# Let the window finish painting: wait until two grabs in a row are the same.
previous=""
wait_for 'shot=$(xwd -silent -id "$main" | md5sum); [ "$shot" = "$previous" ] || { previous=$shot; false; }' 10
xwd -silent -id "$main" | xwdtopnm 2>/dev/null | pnmtopng -compression 9 >"$out" || fail "the window could not be grabbed"
echo "wrote $out"
