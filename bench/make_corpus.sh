#!/usr/bin/env bash
# Makes the benchmark corpus: about 500 MB of MP3 files of 3 to 8 minutes,
# encoded by lame from signals that sox generates (plucked melodies over a
# sweeping chord and pink noise), so that the frames carry real side
# information: VBR bitrate changes, short blocks on the note onsets, joint
# stereo mode extensions.
#
#   bench/make_corpus.sh FOLDER [FILES]
#
# The same FILES (default 56) give the same bytes on every run with the same
# Debian packages: sox runs in its repeatable mode and ffmpeg writes no
# version texts. Files already in FOLDER are kept, so an interrupted run can
# be resumed. Settings cycle through CBR 128, 192 and 320 kbit/s and VBR -V0
# and -V2, joint and plain stereo, and four tag kinds: none, ID3v1, ID3v1 and
# ID3v2 (both by lame), and ID3v2.4 alone (rewritten by ffmpeg, which also
# replaces lame's Info frame with its own).
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 FOLDER [FILES]" >&2
    exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/ensure-packages.sh" lame sox ffmpeg

folder=$1
count=${2:-56}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

settings=("-b 128" "-b 192" "-b 320" "-V 0" "-V 2")
setting_names=(c128 c192 c320 v0 v2)
tag_names=(notag id3v1 id3v12 id3v24)
notes=(C3 D3 E3 G3 A3 C4 D4 E4 G4 A4 C5 D5)

# The name of file i says how it was made.
name_of() {
    local i=$1
    printf '%03d_%s_%s_%s.mp3' "$i" "${setting_names[i % 5]}" \
        "$([ $((i / 5 % 2)) -eq 0 ] && echo joint || echo stereo)" "${tag_names[i % 4]}"
}

# Writes the signal of file i, `seconds` long, as 16-bit stereo WAVE to $3.
make_signal() {
    local i=$1 seconds=$2 out=$3 dir=$4
    # A beat of 0.15 to 0.35 s; a phrase of eight plucked notes (two voices).
    local beat
    beat=$(printf '0.%02d' $((15 + i % 5 * 5)))
    local parts=()
    for k in 0 1 2 3 4 5 6 7; do
        local low=${notes[(i * 7 + k * 3 + k * k) % 12]}
        local high=${notes[(i * 5 + k * 7 + 4) % 12]}
        sox -R -n -r 44100 -c 2 -b 16 "$dir/note$k.wav" synth "$beat" pluck "$low" pluck "$high"
        parts+=("$dir/note$k.wav")
    done
    sox -R "${parts[@]}" "$dir/phrase.wav"
    sox -R "$dir/phrase.wav" "$dir/melody.wav" repeat $((seconds * 100 / (8 * 10#${beat#0.}) + 1)) \
        trim 0 "$seconds"
    # A sweeping two-voice chord and pink noise with a tremolo, made for one
    # minute and repeated (generating them is slower than encoding).
    local f1=$((110 + i * 13 % 200)) f2=$((220 + i * 29 % 400))
    sox -R -n -r 44100 -c 2 -b 16 "$dir/pad.wav" synth 60 \
        sine "$f1-$((f1 * 3))" sine "$f2-$((f2 / 2))" tremolo 0.$((1 + i % 9)) 60 \
        repeat $((seconds / 60)) trim 0 "$seconds"
    sox -R -n -r 44100 -c 2 -b 16 "$dir/noise.wav" synth 60 pinknoise tremolo $((1 + i % 4)) 90 \
        repeat $((seconds / 60)) trim 0 "$seconds"
    sox -R -m -v 0.55 "$dir/melody.wav" -v 0.3 "$dir/pad.wav" -v 0.12 "$dir/noise.wav" "$out"
}

make_file() {
    local i=$1
    local name
    name=$(name_of "$i")
    [ -s "$folder/$name" ] && return 0
    local dir="$work/$i"
    mkdir -p "$dir"
    local seconds=$((180 + i * 97 % 301))
    make_signal "$i" "$seconds" "$dir/signal.wav" "$dir"

    local mode
    mode=$([ $((i / 5 % 2)) -eq 0 ] && echo j || echo s)
    # shellcheck disable=SC2206
    local encode=(lame --quiet -m "$mode" ${settings[i % 5]})
    local tags=(--tt "Corpus piece $i" --ta "Vandrel bench" --tl "Generated signals" --ty 2024
        --tn $((i % 20 + 1)) --tg Electronic)
    case $((i % 4)) in
    0) "${encode[@]}" "$dir/signal.wav" "$dir/out.mp3" ;;
    1) "${encode[@]}" "${tags[@]}" --id3v1-only "$dir/signal.wav" "$dir/out.mp3" ;;
    2) "${encode[@]}" "${tags[@]}" --add-id3v2 "$dir/signal.wav" "$dir/out.mp3" ;;
    3)
        "${encode[@]}" "$dir/signal.wav" "$dir/plain.mp3"
        ffmpeg -v error -nostdin -i "$dir/plain.mp3" -map_metadata -1 -c:a copy -fflags +bitexact \
            -id3v2_version 4 -write_id3v1 0 -metadata title="Corpus piece $i" \
            -metadata artist="Vandrel bench" -metadata album="Generated signals" \
            "$dir/out.mp3"
        ;;
    esac
    mv "$dir/out.mp3" "$folder/$name"
    rm -rf "$dir"
}

# One file per processor at a time.
jobs=$(nproc)
running=0
failed=0
for ((i = 0; i < count; i++)); do
    make_file "$i" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
[ "$failed" -eq 0 ] || { echo "$0: a file could not be made" >&2; exit 1; }
echo "$count files, $(du -sh "$folder" | cut -f1) in $folder"
