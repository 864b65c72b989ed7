#!/usr/bin/env bash
# The program must never become the program that opens folders. Installed from the build
# in $1 into a scratch prefix, beside stand-in file managers that claim folders, with no
# mimeapps.list anywhere (a minimal desktop, a fresh account) and the caches that package
# installs build: the desktop's lookups (gio, xdg-mime) name a file manager as the
# default for a folder, never this program, whichever of the two folders comes first.
set -euo pipefail
build=${1:?usage: check-folder-opener.sh <build dir>}
command -v gio >/dev/null || { echo "SKIP: gio missing (libglib2.0-bin)"; exit 0; }
command -v update-desktop-database >/dev/null || { echo "SKIP: update-desktop-database missing (desktop-file-utils)"; exit 0; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

app_id=com.example.orvel_file_rename
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$scratch/managers/applications" "$scratch/home" "$scratch/config" "$scratch/data"
for manager in org.gnome.Nautilus org.kde.dolphin thunar nemo; do
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=true %%U\nMimeType=inode/directory;\n' \
    "$manager" >"$scratch/managers/applications/$manager.desktop"
done
update-desktop-database "$prefix/share/applications" "$scratch/managers/applications"

failures=0
for order in "$prefix/share:$scratch/managers" "$scratch/managers:$prefix/share"; do
  # Only the scratch folders: no mimeapps.list, no desktop-specific one, and the
  # program's own binary on the path, as lookups skip entries whose program is missing.
  lookup() {
    env -i PATH="$prefix/bin:/usr/bin:/bin" HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" \
      XDG_CONFIG_HOME="$scratch/config" XDG_CONFIG_DIRS="$scratch/config" XDG_DATA_DIRS="$order" "$@"
  }
  answer=$(lookup gio mime inode/directory 2>&1)
  default=$(printf '%s\n' "$answer" | sed -n 's/^Default application for .*: //p')
  echo "gio, $order: ${default:-no default}"
  case "$default" in
    "$app_id.desktop" | "") echo "FAIL: gio mime inode/directory answered: $answer"; failures=$((failures + 1)) ;;
  esac
  if command -v xdg-mime >/dev/null; then
    default=$(lookup xdg-mime query default inode/directory 2>&1)
    echo "xdg-mime, $order: ${default:-no default}"
    [ "$default" != "$app_id.desktop" ] || { echo "FAIL: xdg-mime names this program"; failures=$((failures + 1)); }
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "PASS"
