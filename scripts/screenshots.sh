#!/usr/bin/env bash
# Pictures of the main window at 1x and 2x, on a light and on a dark palette:
#   scripts/screenshots.sh [folder]      (build/screenshots by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
cd "$root"
build=${BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || make configure
cmake --build "$build" --target screenshot_main_window
for scale in 1 2; do
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale QT_LOGGING_RULES='qt.qpa.*=false' \
    "$build/tools/screenshot_main_window" "$out"
done
