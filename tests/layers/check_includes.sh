#!/usr/bin/env bash
# The layers as includes see them. A library's include paths already keep out the
# headers of folders it may not use, but Qt's module folders (<QtWidgets/...>,
# <QtGui/...>) and a climbing "../" reach past them; this catches those.
#   check_includes.sh SOURCE_DIR
set -euo pipefail
cd "$1"
found=0
check() { # description, extended regex, folders...
    local what=$1 pattern=$2
    shift 2
    local hits
    hits=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" "$@" 2>/dev/null || true)
    if [[ -n $hits ]]; then
        printf '%s:\n%s\n' "$what" "$hits"
        found=1
    fi
}
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]'
check "Qt Widgets below the windows" "${include}QtWidgets(/|>)" engine platform
check "Qt Gui in the engine" "${include}QtGui(/|>)" engine
check "an include that climbs out of its folder" "${include}\.\./" \
    platform engine progress_bar main_window about app tests bench tools
if ((found)); then
    exit 1
fi
echo "layers: no include crosses them"
