#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and only
# those that are missing, so a second call costs a dpkg query and nothing more.
# `install-deps.sh lint` installs the style and static-check tools instead.
set -euo pipefail

if [ "${1:-}" = lint ]; then
  packages=(clang-format clang-tidy)
else
packages=(
  cmake ninja-build g++ pkg-config zlib1g-dev libxxhash-dev libicu-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-dejavu-core fonts-liberation2
  # Tests: a real X server for the end-to-end checks, and a FUSE exFAT driver
  # for renames on a file system that ignores letter case.
  xvfb xauth xdotool x11-utils python3 exfat-fuse exfatprogs fuse3
  # Benchmarks: the slow FUSE file system that the rename benchmark mounts.
  libfuse3-dev
  # What a screen reader sees: the accessibility bus on a private session bus, read
  # from Python.
  at-spi2-core dbus-daemon python3-pyatspi
  # Packaging checks, and the desktop's lookups of the program that opens a folder.
  desktop-file-utils appstream dpkg-dev libglib2.0-bin xdg-utils
)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
