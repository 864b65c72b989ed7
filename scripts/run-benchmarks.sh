#!/usr/bin/env bash
# Runs every benchmark program that the build produced, one after another.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
found=0
for b in "$build"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=offscreen "$b"
done
[ $found -eq 1 ] || echo "no benchmarks built"
