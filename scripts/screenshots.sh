#!/usr/bin/env bash
# Takes the screenshots of docs/ that the README and the user guide show,
# under Xvfb, from a fresh home and settings file each time, so that the
# windows have their default look:
#
#   done.png                     a first start: no music folder, so the
#                                examples open
#   problems.png, problems_only.png
#                                the Checks columns, and "Problem files only"
#   context_menu.png             a file's menu in the list
#   details_*.png                the Details dialog on every tab, for a VBR
#                                joint-stereo file and a CBR stereo file, the
#                                text page of a damaged file and the Spectrum
#                                page of the upscaled example
#   spectrogram_upscaled.png     vandrel-scan --spectrogram of that example
#   settings_*.png               every page of the settings sheet
#   lame_header.png, id3v1_editor.png, id3v1_too_long.png, id3v1_multiple.png,
#   append.png, sync_errors.png, export_dialog.png, export_report.png,
#   repair_dialog.png            the tools' dialogs and an exported report
#   scanning.png                 a folder of 9,000 files while it fills
#
#   scripts/screenshots.sh [OUT_FOLDER]    (default: docs)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs}
"$top/scripts/ensure-packages.sh" xvfb xdotool imagemagick chromium
build="$top/build/test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target vandrel vandrel-scan
program="$build/src/app/vandrel"
fixtures="$top/tests/data/audio"
mkdir -p "$out"
# The paths the windows show read better from a fixed folder than from a
# random one; another run at the same time gets a random one.
work=/tmp/vandrel-docs
mkdir "$work" 2>/dev/null || work=$(mktemp -d)
app=
xvfb=
cleanup() {
    if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1400x900x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=:$(cat "$work/display")

# No music folder in this home: a first start opens the examples. They are
# installed for this user alone (VANDREL_DATA_DIR), so that the tree shows
# them inside the home folder.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config VANDREL_HOME=$HOME VANDREL_DATA_DIR=$HOME/.local/share/vandrel
mkdir -p "$VANDREL_DATA_DIR"
cp -r "$top/data/examples" "$VANDREL_DATA_DIR/"
examples=$VANDREL_DATA_DIR/examples
# What the program opens with the desktop (an exported report) is noted, not
# shown: there is no browser on this display.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >>"$work/opened"
SCRIPT
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

# settings [ID:WIDTH...]: a fresh settings file and cache; the window at
# 1180 x 700; the list's columns as given (the default set without any) and
# the list's other entries as $list_entries holds them ("key<TAB>value"
# lines); then the sections on standard input. A section counts only where
# its name first appears, so the list's entries all go here.
list_entries=
settings() {
    rm -f "$HOME/vandrel.ini" "$HOME/cache.dat" "$HOME/cache.dat.checks"
    {
        printf 'mainframe\nleft\t0\ntop\t0\nright\t1180\nbottom\t700\nmaximize\t0\n\n'
        printf 'view_settings\nsplitter_pos\t230\n\n'
        printf 'list_settings\n%s' "$list_entries"
        if [ $# -gt 0 ]; then
            printf 'num_columns22_\t%d\n' $#
            local i=0 column
            for column in "$@"; do
                printf 'colid2_%d\t%s\ncolwidth2_%d\t%s\n' "$i" "${column%:*}" "$i" "${column#*:}"
                i=$((i + 1))
            done
        fi
        printf '\n'
        cat
    } >"$HOME/vandrel.ini"
}

# window TITLE_PATTERN: the id of the visible window whose title matches,
# waited for up to 20 seconds.
window() {
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1) || true
    if [ -z "$id" ]; then
        echo "screenshots: no window '$1'" >&2
        exit 1
    fi
    echo "$id"
}

# launch [ARGUMENT...]: starts the program, waits for its window ($main) and
# gives the list time to fill.
launch() {
    "$program" "$@" >/dev/null 2>&1 &
    app=$!
    main=$(window '^Vandrel$')
    sleep 3
}

quit() {
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    app=
}

shot() { # WINDOW NAME
    import -window "$1" "$out/$2.png"
}

# click_row ROW [BUTTON]: a click on a row of the list (0 = the first, just
# below the header).
click_row() {
    xdotool mousemove --window "$main" 260 $((105 + 20 * $1)) click "${2:-1}"
}

# menu_entry N: the Nth enabled entry of the open menu (1 = the first).
menu_entry() {
    sleep 0.5
    local i
    for ((i = 0; i < $1; ++i)); do
        xdotool key Down
    done
    xdotool key Return
}

# --- the main window ----------------------------------------------------------

# A first start: no start folder in the settings and no music folder, so the
# examples open.
settings </dev/null
launch
shot "$main" done
quit

# The Checks columns beside the usual ones, then "Problem files only".
checks_columns=(0:175 300:250 1:125 2:50 4:80 7:50 301:70 302:70 303:70)
settings "${checks_columns[@]}" </dev/null
launch "$examples"
shot "$main" problems
quit
list_entries=$'problemsonly\t1\n'
settings "${checks_columns[@]}" </dev/null
list_entries=
launch "$examples"
shot "$main" problems_only
quit

# A file's menu, on the first of the examples.
settings </dev/null
launch "$examples"
click_row 0 3
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "760x330+${X}+${Y}" +repage "$out/context_menu.png"
xdotool key Escape
quit

# --- the Details dialog ------------------------------------------------------

# details NAME FILE [TABS]: the file alone in the list, its Details opened by
# a double click on its row, then each tab in turn (those of TABS shot).
details() {
    local name=$1 file=$2 tabs=${3:-bits other text}
    settings </dev/null
    launch "$file"
    xdotool mousemove --window "$main" 260 105 click --repeat 2 --delay 80 1
    local dialog
    dialog=$(window "$(basename "$file")")
    xdotool windowsize "$dialog" 720 520
    sleep 1
    local tab
    for tab in bits other text spectrum; do
        if [[ " $tabs " == *" $tab "* ]]; then
            shot "$dialog" "details_${name}_${tab}"
        fi
        xdotool windowfocus --sync "$dialog" key ctrl+Tab
        sleep 0.5
    done
    quit
}
details vbr_joint "$examples/lame_vbr_v2.mp3"
details cbr_stereo "$fixtures/lame_cbr320_stereo.mp3"
details damaged "$examples/sync_errors.mp3" text
details upscaled "$examples/upscaled_128_to_256.mp3" spectrum
"$build/src/cli/vandrel-scan" -q --spectrogram "$examples/upscaled_128_to_256.mp3" \
    --size 960x440 -o "$out/spectrogram_upscaled.png"

# --- the settings sheet ------------------------------------------------------

settings </dev/null
launch "$examples"
xdotool windowfocus --sync "$main" key ctrl+p
sheet=$(window '^Settings')
sleep 0.5
for page in general quality columns filetypes startup cache; do
    shot "$sheet" "settings_$page"
    xdotool windowfocus --sync "$sheet" key ctrl+Tab
    sleep 0.5
done
quit

# --- the tools ---------------------------------------------------------------

# The LAME header viewer (Ctrl+Enter), once the music CRC is checked.
settings </dev/null
launch "$examples/lame_vbr_v2.mp3"
click_row 0
xdotool key ctrl+Return
viewer=$(window '^Tags - ')
xdotool windowsize "$viewer" 520 460
sleep 2
shot "$viewer" lame_header
quit

# The ID3v1 editor from a file's menu: Details, Lame Header, Complete Scan,
# Rename, Sync Error Details, Append mp3, Edit ID3v1 Tag.
settings </dev/null
launch "$examples/lame_cbr128.mp3"
click_row 0 3
menu_entry 7
editor=$(window 'lame_cbr128.mp3$')
sleep 0.5
shot "$editor" id3v1_editor
# A title longer than the tag's 30 bytes is marked while it is typed.
xdotool windowfocus --sync "$editor" key End
xdotool type --delay 5 " (encoded by the example script)"
sleep 0.3
shot "$editor" id3v1_too_long
quit

# Three files: "Edit Tag Multiple", the entry after "Edit Tag Sequentially"
# (Rename is greyed out for more than one file).
settings </dev/null
launch "$examples/lame_cbr128.mp3" "$examples/lame_vbr_v2.mp3" "$examples/genuine_256.mp3"
click_row 0
xdotool key ctrl+a
click_row 0 3
menu_entry 7
editor=$(window '^3 files$')
sleep 0.5
shot "$editor" id3v1_multiple
quit

# Append mp3, with the second file and the output filled in.
settings </dev/null
launch "$examples/lame_cbr128.mp3"
click_row 0 3
menu_entry 6
join=$(window '^MP3 Concatenation')
sleep 0.5
xdotool windowfocus --sync "$join" key alt+2
xdotool type --delay 5 "$examples/lame_vbr_v2.mp3"
xdotool key alt+o
xdotool type --delay 5 "$HOME/joined.mp3"
sleep 0.5
shot "$join" append
quit

# Sync Error Details of the damaged example, its first error selected.
settings </dev/null
launch "$examples/sync_errors.mp3"
click_row 0 3
menu_entry 5
errors=$(window '^Sync Errors$')
sleep 0.5
xdotool mousemove --window "$errors" 60 37 click 1
sleep 0.3
shot "$errors" sync_errors
quit

# Repair... on all the examples (the menu's P), once the plans are in;
# Cancel then, so that the examples stay as they are.
settings </dev/null
launch "$examples"
click_row 0
xdotool key ctrl+a
click_row 0 3
sleep 0.5
xdotool key p
repair=$(window '^Repair Files$')
sleep 2
shot "$repair" repair_dialog
xdotool key Escape
quit

# Export (File, Export...) of the examples with a few columns ticked, and the
# report it writes, as a browser shows it.
settings <<'SECTIONS'
export
recurse	1
selnum	7
selected_gp0	General
selected_nm0	Name
selected_gp1	General
selected_nm1	Encoder
selected_gp2	General
selected_nm2	Bitrate
selected_gp3	General
selected_nm3	Length
selected_gp4	General
selected_nm4	Quality
selected_gp5	Checks
selected_nm5	Problems
selected_gp6	ID3v1
selected_nm6	Title

SECTIONS
launch "$examples"
xdotool windowfocus --sync "$main" key alt+f
sleep 0.3
xdotool key e
exporter=$(window '^Export$')
sleep 0.5
shot "$exporter" export_dialog
xdotool windowfocus --sync "$exporter" key alt+g
for _ in $(seq 100); do
    [ -s "$work/opened" ] && break
    sleep 0.1
done
quit
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1400,760 \
    --user-data-dir="$work/chromium" --screenshot="$out/export_report.png" \
    "$(head -1 "$work/opened")" >/dev/null 2>&1

# Last, as the music folder it makes would open instead of the examples: a
# folder of 9,000 files (links to the examples) while it fills.
many=$HOME/Music/Many
mkdir -p "$many"
for ((disc = 1; disc <= 600; ++disc)); do
    for file in "$examples"/*; do
        ln "$file" "$many/$(printf 'disc%03d' "$disc")-${file##*/}"
    done
done
settings </dev/null
"$program" "$many" >/dev/null 2>&1 &
app=$!
main=$(window '^Vandrel$')
# How long the reading takes depends on the machine: shots every 0.15 s, and
# one when it is surely done. The Pause button is greyed out once the list is
# done, so the last shot whose Pause button still differs from the done one
# is the furthest mid-scan.
for ((i = 0; i < 30; ++i)); do
    import -window "$main" "$work/fill$i.png"
    sleep 0.15
done
sleep 10
import -window "$main" "$work/filled.png"
pause_button() { convert "$1" -crop 40x40+385+25 +repage "$2"; }
pause_button "$work/filled.png" "$work/pause_done.png"
chosen=$work/fill0.png
for ((i = 29; i >= 0; --i)); do
    pause_button "$work/fill$i.png" "$work/pause.png"
    if ! compare -metric AE "$work/pause.png" "$work/pause_done.png" null: 2>/dev/null; then
        chosen=$work/fill$i.png
        break
    fi
done
cp "$chosen" "$out/scanning.png"
quit

ls -l "$out"/*.png
