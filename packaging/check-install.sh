#!/usr/bin/env bash
# Installs the build in $1 into a scratch prefix and checks what lands there; $2 is
# the project's version.
set -euo pipefail
build=${1:?usage: check-install.sh <build dir> <version>}
version=${2:?usage: check-install.sh <build dir> <version>}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

app_id=com.example.orvel_file_rename
doc=share/doc/orvel-file-rename
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect_file() {
  if [ -f "$prefix/$1" ]; then echo "ok: $1"; else fail "missing $1"; fi
}

# A PNG's width and height are the big-endian words at bytes 16 and 20.
png_size() {
  local w h
  w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  echo "${w}x${h}"
}

expect_file bin/orvel-file-rename
[ -x "$prefix/bin/orvel-file-rename" ] || fail "bin/orvel-file-rename is not executable"
expect_file share/applications/$app_id.desktop
expect_file share/metainfo/$app_id.metainfo.xml
expect_file share/icons/hicolor/scalable/apps/orvel-file-rename.svg
expect_file share/man/man1/orvel-file-rename.1.gz
expect_file share/bash-completion/completions/orvel-file-rename
expect_file share/zsh/vendor-completions/_orvel-file-rename
# The completion offers the options of a run, each once under either of its names, no
# second case style once one is given, nothing after --undo that it would refuse, the
# short forms, and only paths after "--".
completion=$prefix/share/bash-completion/completions/orvel-file-rename
expect_completion() {
  local expected=$1
  shift
  offered=$(bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _orvel_file_rename
                     printf "%s" "${COMPREPLY[*]}"' _ "$completion" orvel-file-rename "$@")
  [ "$offered" = "$expected" ] || fail "completion of $*: '$offered', not '$expected'"
}
if [ -f "$completion" ]; then
  expect_completion --dry-run --lower --d
  expect_completion "" --upper --lo
  expect_completion "" --undo --f
  expect_completion "" --lower --dry-run -n
  expect_completion "" --lower -y --ye
  expect_completion "--json" --undo --j
  expect_completion "-h" -h
  expect_completion "-v" -v
  expect_completion "" --lower -- --d
fi
for f in changelog.gz copyright screenshot.png; do expect_file "$doc/$f"; done
for size in 16 22 24 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/orvel-file-rename.png
  expect_file "$icon"
  if [ -f "$prefix/$icon" ]; then
    actual=$(png_size "$prefix/$icon")
    [ "$actual" = "${size}x${size}" ] || fail "$icon is $actual"
  fi
done

desktop=$prefix/share/applications/$app_id.desktop
if [ -f "$desktop" ]; then
  grep -qx 'Name=Orvel File Rename' "$desktop" || fail "desktop entry: wrong Name"
  grep -qx 'Exec=orvel-file-rename %f' "$desktop" || fail "desktop entry: Exec must pass one path"
  grep -qx 'Icon=orvel-file-rename' "$desktop" || fail "desktop entry: Icon does not name the installed icon"
fi
# Dolphin's and Nemo's context menus for a folder hand the program the folder's path
# (the desktop entry claims no folders: check-folder-opener.sh).
for menu in "share/kio/servicemenus/$app_id.desktop:Exec=orvel-file-rename %f" \
            "share/nemo/actions/orvel-file-rename.nemo_action:Exec=orvel-file-rename %F"; do
  file=${menu%%:*} exec=${menu#*:}
  expect_file "$file"
  if [ -f "$prefix/$file" ] && ! grep -qx "$exec" "$prefix/$file"; then fail "$file: no $exec"; fi
done
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
if [ -f "$metainfo" ]; then
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "metainfo: launchable does not name the desktop entry"
  grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "metainfo: no release entry for the project version"
fi

# The changelog's latest entry must be the version being installed.
if [ -f "$prefix/$doc/changelog.gz" ]; then
  logged=$(zcat "$prefix/$doc/changelog.gz" | head -n1 | sed -n 's/^orvel-file-rename (\([^)]*\)).*/\1/p')
  [ "$logged" = "$version" ] || fail "changelog: latest entry is '$logged', not $version"
fi
man=$prefix/share/man/man1/orvel-file-rename.1.gz
if [ -f "$man" ] && command -v man >/dev/null; then
  out=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$man" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "manual page: $out"
fi

# Relocations made read-only after start-up (full RELRO), as Debian's checks expect.
if command -v readelf >/dev/null; then
  readelf -lW "$prefix/bin/orvel-file-rename" | grep -q GNU_RELRO || fail "executable: no RELRO segment"
  readelf -dW "$prefix/bin/orvel-file-rename" | grep -qE 'BIND_NOW|FLAGS.*[[:space:]]NOW' ||
    fail "executable: not linked with -z now"
fi

# Nothing else: a stray file would end up in the package too.
unexpected=$(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -vE \
  "^(bin/orvel-file-rename|share/applications/$app_id\.desktop|share/metainfo/$app_id\.metainfo\.xml|share/icons/hicolor/(scalable/apps/orvel-file-rename\.svg|[0-9]+x[0-9]+/apps/orvel-file-rename\.png)|share/man/man1/orvel-file-rename\.1\.gz|share/bash-completion/completions/orvel-file-rename|share/zsh/vendor-completions/_orvel-file-rename|share/kio/servicemenus/$app_id\.desktop|share/nemo/actions/orvel-file-rename\.nemo_action|$doc/(changelog\.gz|copyright|screenshot\.png))$" || true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || echo "desktop-file-validate says: $out"
  echo "ok: desktop-file-validate"
else
  echo "skipped: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
  out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
  echo "ok: appstreamcli validate"
else
  echo "skipped: appstreamcli is not installed"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all install checks passed"
