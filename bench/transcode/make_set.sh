#!/usr/bin/env bash
# Builds the transcode test set: MP3 files at 256 and 320 kbit/s and -V 0
# made from smaller lossy files (re-encodes), and encodes of the lossless
# signals themselves (originals), with a manifest of what each file is.
#
#   bench/transcode/make_set.sh FOLDER [SEED]
#
# FOLDER/set/SIGNAL/*.mp3   the files to scan (SOURCE_to_TARGET.mp3)
# FOLDER/manifest.tsv       file, signal, chain, kind, source, source_cutoff_hz,
#                           signal_cutoff_hz, target, sample_rate
# FOLDER/work/              the signals, the source files and their cutoffs
#
# SEED (default 1) picks the notes, the timing and the noise of every signal
# (bench/transcode/signals.sh). TRANSCODE_SECONDS sets the length (30 s),
# TRANSCODE_JOBS the parallel jobs (2). Files already there are kept, so a
# second run only makes what is missing; a folder is for one seed. The
# decoded sources are removed at the end unless TRANSCODE_KEEP_DECODES=1.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
python=/usr/bin/python3  # Debian's, which sees python3-numpy

# The source chains: name, encoder command (IN OUT), file extension.
source_names=(mp3-lame-64 mp3-lame-96 mp3-lame-128 mp3-lame-160 mp3-lame-192 mp3-lame-V5
    aac-128 vorbis-128 opus-96 mp2-192 mp3-shine-128)
# What the sources are re-encoded to, and the one chain that ffmpeg's
# libmp3lame re-encodes too.
reencode_targets=(lame-256 lame-320 lame-V0)
ffmpeg_sources=(mp3-lame-128 aac-128)
# The encodes of the lossless signals; the last two only of full-band ones.
original_targets=(lame-128 lame-160 lame-192 lame-224 lame-256 lame-320 lame-V0 lame-V2 lame-V4
    ffmpeg-320 shine-320)
fullband_targets=(lame-320-nolowpass lame-V0-nolowpass)
# A signal whose own cutoff reaches this far counts as full band.
fullband_hz=20000

ffmpeg_encode() {  # IN OUT CODEC BITRATE
    ffmpeg -nostdin -v error -y -i "$1" -map_metadata -1 -c:a "$3" -b:a "$4" "$2"
}

source_extension() {  # SOURCE
    case "$1" in
    mp3-*) echo mp3 ;;
    aac-*) echo m4a ;;
    vorbis-*) echo ogg ;;
    opus-*) echo opus ;;
    mp2-*) echo mp2 ;;
    esac
}

encode_source() {  # SOURCE IN OUT
    local name=$1 in=$2 out=$3
    case "$name" in
    mp3-lame-V*) lame --quiet -V "${name#mp3-lame-V}" "$in" "$out" ;;
    mp3-lame-*) lame --quiet -b "${name#mp3-lame-}" "$in" "$out" ;;
    aac-*) ffmpeg_encode "$in" "$out" aac "${name#aac-}k" ;;
    vorbis-*) ffmpeg_encode "$in" "$out" libvorbis "${name#vorbis-}k" ;;
    opus-*) ffmpeg_encode "$in" "$out" libopus "${name#opus-}k" ;;
    mp2-*) twolame --quiet -b "${name#mp2-}" "$in" "$out" ;;
    mp3-shine-*) ffmpeg_encode "$in" "$out" libshine "${name#mp3-shine-}k" ;;
    *) return 2 ;;
    esac
}

encode_target() {  # TARGET IN OUT
    local name=$1 in=$2 out=$3
    case "$name" in
    lame-V*-nolowpass) lame --quiet -V "$(echo "$name" | cut -d- -f2 | tr -d V)" --lowpass -1 \
        "$in" "$out" ;;
    lame-*-nolowpass) lame --quiet -b "$(echo "$name" | cut -d- -f2)" --lowpass -1 "$in" "$out" ;;
    lame-V*) lame --quiet -V "${name#lame-V}" "$in" "$out" ;;
    lame-*) lame --quiet -b "${name#lame-}" "$in" "$out" ;;
    ffmpeg-*) ffmpeg_encode "$in" "$out" libmp3lame "${name#ffmpeg-}k" ;;
    shine-*) ffmpeg_encode "$in" "$out" libshine "${name#shine-}k" ;;
    *) return 2 ;;
    esac
}

signal_rate() {  # SIGNAL
    if [ "$1" = bright48 ]; then echo 48000; else echo 44100; fi
}

# The steps that xargs runs in parallel: `make_set.sh --step NAME ARGS...`.
step_signal() {  # FOLDER SEED SECONDS SIGNAL
    local out="$1/work/signals/$4.wav"
    [ -s "$out" ] && return
    bash "$here/signals.sh" "$4" "$2" "$3" "$out.part.wav"
    mv "$out.part.wav" "$out"
}

# Encodes a source and decodes it to 16-bit WAVE at the signal's rate (a
# 64 kbit/s MP3 that lame made at 24 kHz is brought back to 44.1 kHz, as a
# transcoding program would), through the SoX resampler: ffmpeg's own leaves
# images of the top octave above the source's band, 30 dB down, that would
# blur the edge the set is about.
step_source() {  # FOLDER SIGNAL SOURCE
    local dir="$1/work/sources/$2" ext
    ext=$(source_extension "$3")
    mkdir -p "$dir"
    if [ ! -s "$dir/$3.$ext" ]; then
        encode_source "$3" "$1/work/signals/$2.wav" "$dir/$3.part.$ext"
        mv "$dir/$3.part.$ext" "$dir/$3.$ext"
    fi
    if [ ! -s "$dir/$3.wav" ]; then
        ffmpeg -nostdin -v error -y -i "$dir/$3.$ext" -map_metadata -1 -fflags +bitexact \
            -af aresample=resampler=soxr -ar "$(signal_rate "$2")" -ac 2 -c:a pcm_s16le \
            "$dir/$3.part.wav"
        mv "$dir/$3.part.wav" "$dir/$3.wav"
    fi
}

step_encode() {  # FOLDER SIGNAL SOURCE TARGET: SOURCE "lossless" is the signal itself
    local in="$1/work/sources/$2/$3.wav"
    [ "$3" = lossless ] && in="$1/work/signals/$2.wav"
    local out="$1/set/$2/$3_to_$4.mp3"
    [ -s "$out" ] && return
    mkdir -p "$1/set/$2"
    encode_target "$4" "$in" "$out.part.mp3"
    mv "$out.part.mp3" "$out"
}

if [ "${1:-}" = --step ]; then
    step=$2
    shift 2
    "step_$step" "$@"
    exit
fi

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 FOLDER [SEED]" >&2
    exit 2
fi
# shellcheck source=../../scripts/packages.sh
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${bench_packages[@]}"
# shellcheck source=signals.sh
source "$here/signals.sh"

folder=$(mkdir -p "$1" && cd "$1" && pwd)
seed=${2:-1}
seconds=${TRANSCODE_SECONDS:-30}
jobs=${TRANSCODE_JOBS:-2}
mkdir -p "$folder/work/signals" "$folder/set"
if [ -f "$folder/work/seed" ] && [ "$(cat "$folder/work/seed")" != "$seed $seconds" ]; then
    echo "$folder was made with seed and length $(cat "$folder/work/seed"); use another folder" >&2
    exit 2
fi
echo "$seed $seconds" >"$folder/work/seed"

run_steps() {  # reads "STEP ARGS..." lines
    xargs -P "$jobs" -L 1 bash "$0" --step
}
start=$(date +%s)

echo "signals (seed $seed, $seconds s)" >&2
for signal in "${signal_names[@]}"; do
    echo signal "$folder" "$seed" "$seconds" "$signal"
done | run_steps

echo "sources: encoded and decoded" >&2
for signal in "${signal_names[@]}"; do
    for source in "${source_names[@]}"; do
        echo source "$folder" "$signal" "$source"
    done
done | run_steps

echo "cutoffs of the signals and the decoded sources" >&2
cutoffs="$folder/work/cutoffs.tsv"
(cd "$folder/work" && find signals sources -name "*.wav" ! -name "*.part.wav" | sort |
    xargs -P "$jobs" -n 20 "$python" "$here/spectrum.py") | sort >"$cutoffs"
cutoff_of() {  # RELATIVE_WAV
    awk -F'\t' -v f="$1" '$1 == f { print $2 }' "$cutoffs"
}

echo "re-encodes and originals" >&2
for signal in "${signal_names[@]}"; do
    for source in "${source_names[@]}"; do
        for target in "${reencode_targets[@]}"; do
            echo encode "$folder" "$signal" "$source" "$target"
        done
    done
    for source in "${ffmpeg_sources[@]}"; do
        echo encode "$folder" "$signal" "$source" ffmpeg-320
    done
    targets=("${original_targets[@]}")
    if [ "$(cutoff_of "signals/$signal.wav")" -ge "$fullband_hz" ]; then
        targets+=("${fullband_targets[@]}")
    fi
    for target in "${targets[@]}"; do
        echo encode "$folder" "$signal" lossless "$target"
    done
done | run_steps

echo "manifest" >&2
{
    printf 'file\tsignal\tchain\tkind\tsource\tsource_cutoff_hz\tsignal_cutoff_hz\ttarget\t'
    printf 'sample_rate\n'
    for signal in "${signal_names[@]}"; do
        own=$(cutoff_of "signals/$signal.wav")
        for file in "$folder/set/$signal"/*_to_*.mp3; do
            base=$(basename "$file" .mp3)
            source=${base%%_to_*}
            target=${base#*_to_}
            if [ "$source" = lossless ]; then
                kind=original
                cutoff=$own
            else
                kind=reencode
                cutoff=$(cutoff_of "sources/$signal/$source.wav")
            fi
            printf '%s\t%s\t%s > %s\t%s\t%s\t%s\t%s\t%s\t%s\n' "set/$signal/$base.mp3" \
                "$signal" "$source" "$target" "$kind" "$source" "$cutoff" "$own" "$target" \
                "$(signal_rate "$signal")"
        done
    done
} >"$folder/manifest.tsv"

if [ "${TRANSCODE_KEEP_DECODES:-0}" != 1 ]; then
    find "$folder/work/sources" -name "*.wav" -delete
fi
echo "$(($(wc -l <"$folder/manifest.tsv") - 1)) files, $(du -sh "$folder" | cut -f1)," \
    "$(($(date +%s) - start)) s" >&2
