#!/usr/bin/env bash
# The test signals of the transcode bench, made with SoX in repeatable mode
# (sox -R), so that the same tools give the same bytes. The seed picks the
# notes, their timing and the stretch of each noise that is used, so the
# same kinds of material from other signals are one argument away.
#
#   bench/transcode/signals.sh NAME SEED SECONDS OUT.wav [RATE]
#
# NAME is one of the names in `signal_names` (see make_signal below). Every
# signal is 16-bit stereo at RATE (44.1 kHz; bright48 always at 48 kHz),
# normalised to -1 dBFS.
set -euo pipefail

signal_names=(bright dark sparse speech lp11 lp13 lp15 lp16 old bright48)

# Every step repeatable (the dither of 16-bit output is seeded too), and
# quiet: SoX's warnings of a few clipped samples in the intermediate steps
# say nothing here, the mix is normalised at the end.
sox() {
    command sox -R -V1 "$@"
}

# The seed's numbers come from awk (mawk on Debian), one line per event.
random_lines() {  # SEED COUNT PROGRAM: PROGRAM prints one line, r() gives 0 to 1
    awk -v seed="$1" -v count="$2" "BEGIN { srand(seed); for (i = 0; i < count; ++i) { $3 } }
        function r() { return rand() }"
}

# A stretch of a long noise, picked by the seed: sox -R always makes the same
# noise, so the offset is what varies.
noise() {  # KIND SEED SECONDS RATE OUT [EFFECTS...]
    local kind=$1 seed=$2 seconds=$3 rate=$4 out=$5
    shift 5
    local offset=$((seed % 97))
    sox -r "$rate" -c 2 -n -b 16 "$out" synth "$((seconds + offset + 1))" "$kind" \
        trim "$offset" "$seconds" "$@"
}

# Plucked two-note chords, one per beat, in a pentatonic scale over three
# octaves; a beat lasts 0.25 to 0.5 s (fixed per seed). With REST, a chord is
# followed by 0.5 to 3 s of digital silence.
notes() {  # SEED SECONDS RATE OUT [rest]
    local seed=$1 seconds=$2 rate=$3 out=$4 rest=${5:-}
    local dir
    dir=$(mktemp -d)
    local beat
    beat=$(awk -v seed="$seed" 'BEGIN { srand(seed); printf "%.3f", 0.25 + 0.25 * rand() }')
    local program='
        split("0 3 5 7 10", scale, " ");
        a = 110 * 2 ^ ((scale[int(r() * 5) + 1] + 12 * int(r() * 3)) / 12);
        b = a * 2 ^ (scale[int(r() * 5) + 1] / 12 + 1);
        printf "%.2f %.2f %.2f\n", a, b, (rest != "" ? 0.5 + 2.5 * r() : 0)'
    local i=0 total=0 a b gap parts=()
    while read -r a b gap; do
        local len=$beat
        [ -n "$rest" ] && len=0.8
        sox -r "$rate" -c 2 -n -b 16 "$dir/$i.wav" synth "$len" pluck "$a" pluck "$b" \
            remix 1v0.7,2v0.3 1v0.3,2v0.7 fade q 0.005 "$len" "$(awk -v l="$len" 'BEGIN { print l * 0.6 }')" \
            pad 0 "$gap"
        parts+=("$dir/$i.wav")
        i=$((i + 1))
        total=$(awk -v t="$total" -v l="$len" -v g="$gap" 'BEGIN { print t + l + g }')
        if awk -v t="$total" -v s="$seconds" 'BEGIN { exit !(t >= s + 1) }'; then
            break
        fi
    done < <(random_lines "$seed" 100000 "rest = \"$rest\"; $program")
    sox "${parts[@]}" "$out" trim 0 "$seconds"
    rm -rf "$dir"
}

# Cymbal-like bursts: white noise above 5 kHz that dies away in 0.1 to 0.3 s,
# on a random half of the half-second beats.
bursts() {  # SEED SECONDS RATE OUT
    local seed=$1 seconds=$2 rate=$3 out=$4
    local dir
    dir=$(mktemp -d)
    local i=0 on len parts=()
    while read -r on len; do
        if [ "$on" = 1 ]; then
            noise whitenoise "$((seed + i))" 1 "$rate" "$dir/$i.wav" highpass 5000 \
                trim 0 "$len" fade q 0.002 "$len" "$len" pad 0 "$(awk -v l="$len" 'BEGIN { print 0.5 - l }')"
        else
            sox -r "$rate" -c 2 -n -b 16 "$dir/$i.wav" trim 0 0.5
        fi
        parts+=("$dir/$i.wav")
        i=$((i + 1))
    done < <(random_lines "$((seed + 1))" "$((seconds * 2 + 1))" \
        'printf "%d %.3f\n", r() < 0.5, 0.1 + 0.2 * r()')
    sox "${parts[@]}" "$out" trim 0 "$seconds"
    rm -rf "$dir"
}

# Speech-like words: syllables of a buzz (two slightly detuned sawtooths at a
# pitch of 100 to 220 Hz) through three formant peaks, some of them led by a
# hiss (a fricative, white noise above 3.5 kHz), 2 to 4 syllables a word and
# pauses of 0.2 to 0.9 s.
speech() {  # SEED SECONDS RATE OUT
    local seed=$1 seconds=$2 rate=$3 out=$4
    local dir
    dir=$(mktemp -d)
    local i=0 total=0 pitch len f1 f2 f3 hiss pause parts=()
    while read -r pitch len f1 f2 f3 hiss pause; do
        if [ "$hiss" = 1 ]; then
            noise whitenoise "$((seed + i))" 1 "$rate" "$dir/h$i.wav" highpass 3500 \
                equalizer 6500 1q +6 trim 0 0.09 fade q 0.01 0.09 0.03 gain -18
            parts+=("$dir/h$i.wav")
        fi
        sox -r "$rate" -c 2 -n -b 16 "$dir/$i.wav" synth "$len" sawtooth "$pitch" \
            sawtooth "$(awk -v p="$pitch" 'BEGIN { print p * 1.004 }')" gain -24 \
            lowpass 5000 equalizer "$f1" 0.6q +14 equalizer "$f2" 0.8q +12 equalizer "$f3" 1q +9 \
            fade q 0.02 "$len" 0.05 pad 0 "$pause"
        parts+=("$dir/$i.wav")
        i=$((i + 1))
        total=$(awk -v t="$total" -v l="$len" -v g="$pause" -v h="$hiss" \
            'BEGIN { print t + l + g + 0.09 * h }')
        if awk -v t="$total" -v s="$seconds" 'BEGIN { exit !(t >= s + 1) }'; then
            break
        fi
    done < <(random_lines "$((seed + 2))" 100000 '
        if (i % 3 == 0) { pitch = 100 + 120 * r() }
        printf "%.1f %.3f %d %d %d %d %.3f\n", pitch * (0.9 + 0.2 * r()), 0.12 + 0.18 * r(),
            300 + 500 * r(), 900 + 1400 * r(), 2300 + 900 * r(), r() < 0.3,
            (r() < 0.35 ? 0.2 + 0.7 * r() : 0.01)')
    sox "${parts[@]}" "$out" trim 0 "$seconds"
    rm -rf "$dir"
}

# Mixes the parts at the given volumes and normalises to -1 dBFS.
mix() {  # OUT VOLUME PART [VOLUME PART...] -- [EFFECTS...]
    local out=$1
    shift
    local inputs=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        inputs+=(-v "$1" "$2")
        shift 2
    done
    [ $# -gt 0 ] && shift
    local combine=(-m)
    [ ${#inputs[@]} -eq 3 ] && combine=()
    sox "${combine[@]}" "${inputs[@]}" -b 16 "$out" "$@" norm -1
}

# A gentle lowpass: the same two-pole filter three times (36 dB an octave).
gentle_lowpass() {  # HZ
    echo lowpass "$1" lowpass "$1" lowpass "$1"
}

make_signal() {  # NAME SEED SECONDS OUT [RATE]
    local name=$1 seed=$2 seconds=$3 out=$4
    local rate=${5:-44100}
    [ "$name" = bright48 ] && rate=48000
    if [ "$rate" -lt 44100 ]; then
        # SoX plucks at 44.1 and 48 kHz only: made at 48 kHz, then resampled
        # keeping 99 % of the band.
        make_signal "$name" "$seed" "$seconds" "$out.48k.wav" 48000
        sox "$out.48k.wav" "$out" rate -v -b 99 "$rate"
        rm -f "$out.48k.wav"
        return
    fi
    local dir
    dir=$(mktemp -d)
    case "$name" in
    bright | bright48 | lp11 | lp13 | lp15 | lp16)
        # Full band to 22 kHz: a pink noise bed, plucked chords, bursts.
        notes "$seed" "$seconds" "$rate" "$dir/notes.wav"
        bursts "$seed" "$seconds" "$rate" "$dir/bursts.wav"
        noise pinknoise "$seed" "$seconds" "$rate" "$dir/bed.wav"
        local effects=()
        case "$name" in
        lp*)
            # shellcheck disable=SC2207
            effects=($(gentle_lowpass "${name#lp}000"))
            ;;
        esac
        mix "$out" 1 "$dir/notes.wav" 0.5 "$dir/bursts.wav" 0.15 "$dir/bed.wav" -- "${effects[@]}"
        ;;
    dark)
        # Little above 8 kHz: the chords and a brown noise bed, lowpassed.
        notes "$seed" "$seconds" "$rate" "$dir/notes.wav"
        noise brownnoise "$seed" "$seconds" "$rate" "$dir/bed.wav"
        mix "$out" 1 "$dir/notes.wav" 0.2 "$dir/bed.wav" -- $(gentle_lowpass 5000)
        ;;
    sparse)
        # Single chords with up to 3 s of silence between them.
        notes "$seed" "$seconds" "$rate" "$dir/notes.wav" rest
        mix "$out" 1 "$dir/notes.wav"
        ;;
    speech)
        speech "$seed" "$seconds" "$rate" "$dir/speech.wav"
        mix "$out" 1 "$dir/speech.wav"
        ;;
    old)
        # An old recording: the music rolls off from 6 to 8 kHz, a hiss
        # covers the whole band.
        notes "$seed" "$seconds" "$rate" "$dir/notes.wav"
        noise pinknoise "$seed" "$seconds" "$rate" "$dir/bed.wav"
        mix "$dir/music.wav" 1 "$dir/notes.wav" 0.15 "$dir/bed.wav" -- lowpass 7000 lowpass 7000 \
            remix 1v0.6,2v0.4 1v0.4,2v0.6
        noise whitenoise "$((seed + 3))" "$seconds" "$rate" "$dir/hiss.wav"
        mix "$out" 1 "$dir/music.wav" 0.015 "$dir/hiss.wav"
        ;;
    *)
        echo "unknown signal: $name (known: ${signal_names[*]})" >&2
        rm -rf "$dir"
        return 2
        ;;
    esac
    rm -rf "$dir"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ $# -lt 4 ] || [ $# -gt 5 ]; then
        echo "usage: $0 NAME SEED SECONDS OUT.wav [RATE] (NAME: ${signal_names[*]})" >&2
        exit 2
    fi
    make_signal "$@"
fi
