#!/bin/sh
# Remakes the pictures of docs/screens from the current program: runs the
# scenarios here in virtual time on the built-in handset (800 x 480) and on
# the same handset with a 640 x 480 screen (panel.json only at 800 x 480:
# the information panel belongs to that layout), and stores each of their
# screenshots as docs/screens/<name>_<handset's size>.png.
# Usage: docs/screens/make/make_screens.sh [path of the kestrava program]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
program=${1:-$top/build/kestrava}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pictures show the device's clock (times, file names): every run starts
# it at the same moment, so that remaking them changes only what the program
# draws differently.
dated() {
    sed '1a\
  "startTime": "2026-06-01T08:59:30",' "$1" >"$work/$(basename "$1")"
    echo "$work/$(basename "$1")"
}

shoot() {
    profile=$(dated "$1")
    size=$2
    scenario=$3
    run=$work/$size-$(basename "$scenario" .json)
    if ! "$program" --root "$run" --profile "$profile" --scenario "$here/$scenario" --clock virtual \
        --screenshot-folder "$run-shots" >"$run.log" 2>&1; then
        cat "$run.log" >&2
        echo "make_screens.sh: $scenario at $size failed" >&2
        exit 1
    fi
    for picture in "$run-shots"/*.png; do
        cp "$picture" "$here/../$(basename "$picture" .png)_$size.png"
    done
}

for scenario in screens.json panel.json sms.json; do
    shoot "$top/sim/profiles/default.json" 800x480 "$scenario"
done
for scenario in screens.json sms.json; do
    shoot "$here/profile_640x480.json" 640x480 "$scenario"
done
