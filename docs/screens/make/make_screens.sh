#!/bin/sh
# Remakes the pictures of docs/screens from the current program: runs the
# scenario screens.json in virtual time on the built-in handset (800 x 480)
# and on the same handset with a 640 x 480 screen, and stores each of the
# scenario's screenshots as docs/screens/<name>_<handset's size>.png.
# Usage: docs/screens/make/make_screens.sh [path of the kestrava program]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
program=${1:-$top/build/kestrava}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shoot() {
    profile=$1
    size=$2
    if ! "$program" --root "$work/$size" --profile "$profile" --scenario "$here/screens.json" --clock virtual \
        --screenshot-folder "$work/$size-shots" >"$work/$size.log" 2>&1; then
        cat "$work/$size.log" >&2
        echo "make_screens.sh: the run at $size failed" >&2
        exit 1
    fi
    for picture in "$work/$size-shots"/*.png; do
        cp "$picture" "$here/../$(basename "$picture" .png)_$size.png"
    done
}

shoot "$top/sim/profiles/default.json" 800x480
shoot "$here/profile_640x480.json" 640x480
