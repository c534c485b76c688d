#!/usr/bin/env bash
# Times the spectrogram of a five-minute 320 kbit/s MP3 on one core: makes the
# file (pink noise under plucked notes, lame -b 320; sox -R keeps it the same
# every time) unless FILE is given, then runs bench/spectrogram_bench on it
# and times the whole of vandrel-scan --spectrogram (its frame walk included).
# The goal is 2 s.
#
#   bench/spectrogram.sh BUILD_DIR [FILE]
#
# BUILD_DIR is a build folder configured with -DVANDREL_BUILD_BENCH=ON; the
# targets spectrogram_bench and vandrel-scan are built there first.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [FILE]" >&2
    exit 2
fi
build=$(realpath "$1")
cmake --build "$build" --target spectrogram_bench vandrel-scan >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=${2:-}
if [ -z "$file" ]; then
    for tool in sox lame; do
        command -v "$tool" >/dev/null || { echo "spectrogram.sh: $tool is missing" >&2; exit 1; }
    done
    # sox warns of a clipped sample or two: no matter for a timing.
    sox -R -n -r 44100 -c 2 -b 16 "$work/pink.wav" synth 300 pinknoise gain -n -3 2>/dev/null
    sox -R -n -r 44100 -c 2 -b 16 "$work/pluck.wav" synth 300 pluck 220 pluck 331 \
        tremolo 3 40 gain -4 2>/dev/null
    sox -R -m "$work/pink.wav" "$work/pluck.wav" "$work/five.wav" gain -n -1 2>/dev/null
    lame --quiet -b 320 "$work/five.wav" "$work/five_320.mp3"
    file=$work/five_320.mp3
fi
echo "$file: $(stat -c %s "$file") bytes"
# One core: the work is one thread, and the machine's other core is left alone.
taskset -c 0 "$build/bench/spectrogram_bench" "$file" 5
cat "$file" >/dev/null  # in the page cache for the timed runs
best=
for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    taskset -c 0 "$build/src/cli/vandrel-scan" -q --spectrogram "$file" -o "$work/out.png"
    end=$(date +%s.%N)
    run=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$run < $best" | bc)" = 1 ]; then
        best=$run
    fi
done
printf 'vandrel-scan --spectrogram, whole run: best %.3f s of 5 (goal: 2 s)\n' "$best"
