#!/usr/bin/env bash
# Takes the screenshots of docs/ under Xvfb: the Details dialog on every tab,
# for a VBR joint-stereo file and a CBR stereo file, and the settings sheet's
# Columns page, from a fresh settings folder so the windows have their
# default size.
#
#   scripts/screenshots.sh [OUT_FOLDER]    (default: docs)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs}
"$top/scripts/ensure-packages.sh" xvfb xdotool imagemagick
build="$top/build/test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target vandrel
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display HOME=$work/home XDG_CONFIG_HOME=$work/home/.config VANDREL_HOME=$work/home
mkdir -p "$HOME"

# shoot NAME FIXTURE: the fixture alone in the list, its Details opened by a
# double click on the first row, then each tab in turn.
shoot() {
    local name=$1 fixture=$2
    cp "$top/tests/data/audio/$fixture" "$work/"
    "$build/src/app/vandrel" "$work/$fixture" >/dev/null 2>&1 &
    local app=$!
    sleep 3
    local main
    main=$(xdotool search --onlyvisible --name '^Vandrel$' | head -1)
    # The first row of the list, below its header.
    xdotool mousemove --window "$main" 260 105 click --repeat 2 --delay 80 1
    sleep 2
    local dialog
    dialog=$(xdotool search --onlyvisible --name "$fixture" | head -1)
    xdotool windowsize "$dialog" 720 520
    sleep 0.5
    local tab
    for tab in bits other text; do
        import -window "$dialog" "$out/details_${name}_${tab}.png"
        xdotool windowfocus --sync "$dialog" key ctrl+Tab
        sleep 0.5
    done
    kill "$app"
    wait "$app" 2>/dev/null || true
}

shoot vbr_joint lame_vbr_v2.mp3
shoot cbr_stereo lame_cbr320_stereo.mp3

# The settings sheet on its Columns page (Ctrl+P, then two tabs on).
"$build/src/app/vandrel" "$work/lame_vbr_v2.mp3" >/dev/null 2>&1 &
app=$!
sleep 3
main=$(xdotool search --onlyvisible --name '^Vandrel$' | head -1)
xdotool windowfocus --sync "$main" key ctrl+p
sleep 1
sheet=$(xdotool search --onlyvisible --name '^Settings' | head -1)
xdotool windowfocus --sync "$sheet" key ctrl+Tab ctrl+Tab
sleep 0.5
import -window "$sheet" "$out/settings_columns.png"
kill "$app"
wait "$app" 2>/dev/null || true
ls "$out"
