#!/usr/bin/env bash
# Measures the lowpass each encoder keeps, per sampling rate (32, 44.1 and
# 48 kHz) and bitrate or setting, on the bright signal of the transcode bench
# (full band to the top of each rate), and writes lowpass.tsv and RESULTS.md
# beside this script.
#
#   bench/transcode/lowpass/measure.sh WORKDIR [VANDREL_SCAN]
#
# For each encode: lame's own "lowpass filter" line (its verbose output),
# the LAME tag's lowpass field (as vandrel-scan reads it; default
# build/test/src/cli/vandrel-scan) and the cutoff of the decoded file
# (bench/transcode/spectrum.py). Encoders: lame CBR 32 to 320 kbit/s and
# -V 0 to -V 9, every one forced to the signal's rate (--resample) so that
# each rate gets its own figures, and what rate lame picks by itself;
# ffmpeg's libmp3lame and libshine at each bitrate; twolame (Layer II) at
# each bitrate; and the source chains of the test set: ffmpeg's AAC,
# libvorbis and libopus. About a minute with 2 jobs; existing files are kept.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
python=/usr/bin/python3
seconds=20
seed=1
rates=(32000 44100 48000)
mp3_rates=(32 40 48 56 64 80 96 112 128 160 192 224 256 320)
mp2_rates=(32 48 56 64 80 96 112 128 160 192 224 256 320 384)

# One encode: ENCODER SETTING RATE. Writes WORK/rows/ENCODER_SETTING_RATE.tsv:
# encoder, setting, rate, the file's rate, lame's filter line, cutoff.
step() {
    local work=$1 encoder=$2 setting=$3 rate=$4
    local name="${encoder}_${setting}_${rate}"
    local in="$work/signals/bright_$rate.wav" out="$work/files/$name" row="$work/rows/$name.tsv"
    [ -s "$row" ] && return
    local ff=(ffmpeg -nostdin -v error -y -i "$in" -map_metadata -1)
    local filter="" ext=mp3 log="$work/files/$name.log"
    case "$encoder" in
    lame-cbr) lame --verbose --resample "$(khz "$rate")" -b "$setting" "$in" "$out.mp3" >"$log" 2>&1 ;;
    lame-vbr) lame --verbose --resample "$(khz "$rate")" -V "$setting" "$in" "$out.mp3" >"$log" 2>&1 ;;
    ffmpeg-lame) "${ff[@]}" -c:a libmp3lame -b:a "${setting}k" "$out.mp3" ;;
    ffmpeg-lame-vbr) "${ff[@]}" -c:a libmp3lame -q:a "$setting" "$out.mp3" ;;
    shine) "${ff[@]}" -c:a libshine -b:a "${setting}k" "$out.mp3" ;;
    twolame) ext=mp2 && twolame --quiet -b "$setting" "$in" "$out.mp2" ;;
    aac) ext=m4a && "${ff[@]}" -c:a aac -b:a "${setting}k" "$out.m4a" ;;
    vorbis) ext=ogg && "${ff[@]}" -c:a libvorbis -b:a "${setting}k" "$out.ogg" ;;
    opus) ext=opus && "${ff[@]}" -c:a libopus -b:a "${setting}k" "$out.opus" ;;
    esac 2>/dev/null || { printf '%s\t%s\t%s\t\t\trefused\n' "$encoder" "$setting" "$rate" >"$row"; return; }
    if [ -f "$log" ]; then
        filter=$(sed -n 's/.*transition band: *\([0-9]*\) Hz - *\([0-9]*\) Hz.*/\1-\2/p;
            s/.*polyphase lowpass filter disabled.*/off/p' "$log" | head -1)
    fi
    ffmpeg -nostdin -v error -y -i "$out.$ext" -c:a pcm_s16le "$out.wav"
    local file_rate cutoff
    file_rate=$("$python" -c "import wave, sys; print(wave.open(sys.argv[1]).getframerate())" "$out.wav")
    cutoff=$("$python" "$top/bench/transcode/spectrum.py" "$out.wav" | cut -f2)
    rm -f "$out.wav"
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$encoder" "$setting" "$rate" "$file_rate" "$filter" \
        "$cutoff" >"$row"
}

khz() {  # HZ: lame's --resample takes kHz
    awk -v r="$1" 'BEGIN { print r / 1000 }'
}

if [ "${1:-}" = --step ]; then
    shift
    step "$@"
    exit
fi
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 WORKDIR [VANDREL_SCAN]" >&2
    exit 2
fi
# shellcheck source=../../../scripts/packages.sh
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${bench_packages[@]}"
work=$(mkdir -p "$1" && cd "$1" && pwd)
scan=$(realpath "${2:-$top/build/test/src/cli/vandrel-scan}")
mkdir -p "$work/signals" "$work/files" "$work/rows"

# The bright signal, made at each rate (full band to half the rate).
for rate in "${rates[@]}"; do
    [ -s "$work/signals/bright_$rate.wav" ] || bash "$top/bench/transcode/signals.sh" bright \
        "$seed" "$seconds" "$work/signals/bright_$rate.wav" "$rate"
done

{
    for rate in "${rates[@]}"; do
        for kbps in "${mp3_rates[@]}"; do
            echo lame-cbr "$kbps" "$rate"
            echo ffmpeg-lame "$kbps" "$rate"
            echo shine "$kbps" "$rate"
        done
        for v in 0 1 2 3 4 5 6 7 8 9; do
            echo lame-vbr "$v" "$rate"
        done
        for v in 0 2 4 6; do
            echo ffmpeg-lame-vbr "$v" "$rate"
        done
        for kbps in "${mp2_rates[@]}"; do
            echo twolame "$kbps" "$rate"
        done
        for kbps in 96 128 160 192 256; do
            echo aac "$kbps" "$rate"
            echo vorbis "$kbps" "$rate"
        done
        for kbps in 64 96 128 160; do
            echo opus "$kbps" "$rate"
        done
    done
} | sed "s|^|$work |" | xargs -P "${TRANSCODE_JOBS:-2}" -L 1 bash "$0" --step

# The rate lame picks by itself for each CBR bitrate and VBR setting, from
# one second of the signal.
picked="$work/lame_picked.tsv"
if [ ! -s "$picked" ]; then
    for rate in "${rates[@]}"; do
        sox -V1 "$work/signals/bright_$rate.wav" "$work/one_$rate.wav" trim 0 1
        for kbps in "${mp3_rates[@]}"; do
            printf 'lame-cbr\t%s\t%s\t%s\n' "$kbps" "$rate" "$(lame --quiet -b "$kbps" \
                "$work/one_$rate.wav" - | ffprobe -v error -show_entries stream=sample_rate -of csv=p=0 -)"
        done
        for v in 0 1 2 3 4 5 6 7 8 9; do
            printf 'lame-vbr\t%s\t%s\t%s\n' "$v" "$rate" "$(lame --quiet -V "$v" \
                "$work/one_$rate.wav" - | ffprobe -v error -show_entries stream=sample_rate -of csv=p=0 -)"
        done
    done >"$picked"
fi

"$scan" -q -j 2 --format json "$work/files" >"$work/scan.json" || true
cat "$work/rows"/*.tsv | sort >"$work/rows.tsv"
"$python" "$here/table.py" "$work/rows.tsv" "$work/scan.json" "$picked" "$here/lowpass.tsv" \
    "$here/RESULTS.md"
echo "wrote $here/lowpass.tsv and $here/RESULTS.md" >&2
