#!/usr/bin/env bash
# Makes test signals, encodes them with lame, ffmpeg (libmp3lame, libshine,
# its MP2 encoder) and twolame, re-encodes lower-bitrate MP3s at higher
# bitrates, and runs bandwidth_probe on every file; then decodes a handful and
# measures where their spectrum ends. Writes WORKDIR/estimates.tsv,
# WORKDIR/spectrum.tsv, WORKDIR/samples.tsv (the shared samples' MP3 files)
# and the Markdown tables WORKDIR/table.md (the body of bench/bandwidth/TABLE.md).
#
#   bench/bandwidth/measure.sh WORKDIR [PROBE]
#
# PROBE is the bandwidth_probe binary (default: build/bench/bench/bandwidth_probe).
# Needs sox, lame, twolame, ffmpeg (with libmp3lame and libshine) and python3.
# sox -R makes the same noise on every run, so the files come out the same.
# About 1.5 minutes on two cores; encodes that exist are kept.
set -euo pipefail

work=${1:?usage: measure.sh WORKDIR [PROBE]}
here=$(cd "$(dirname "$0")" && pwd)
probe=${2:-$here/../../build/bench/bench/bandwidth_probe}
samples=$here/../../../shared/samples
for tool in sox lame twolame ffmpeg python3 "$probe"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
probe=$(realpath "$probe")

mkdir -p "$work"/{signal,tmp,mp3}
cd "$work"
sx() { sox -R -V1 "$@"; }
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# --- signals: 20 seconds, 44.1 kHz, stereo, 16 bits ---
rate=44100
seconds=20
if [ ! -f signal/done ]; then
    # Plucked notes (harmonics far up, decaying), four a second over a
    # sequence of scale steps.
    steps=(0 4 7 12 7 4 0 -5 -3 0 4 9 7 4 2 -1)
    notes=()
    for i in $(seq 0 79); do
        n=${steps[$((i % 16))]}
        sx -n -r $rate -c 2 -b 16 tmp/note$i.wav synth 0.25 pluck %$((n - 12)) pluck %$n
        notes+=(tmp/note$i.wav)
    done
    sx "${notes[@]}" tmp/plucks.wav
    # A sustained sawtooth chord: harmonics falling 6 dB an octave up to 22 kHz.
    sx -n -r $rate -c 2 -b 16 tmp/pads.wav synth $seconds sawtooth %-21 sawtooth %-14 \
        sawtooth %-9 tremolo 0.5 40
    # Hi-hat: short bursts of white noise above 6 kHz, eight a second.
    sx -n -r $rate -c 2 -b 16 tmp/hat.wav synth 0.04 whitenoise highpass 6000 \
        fade 0 0.04 0.035 pad 0 0.085
    sx tmp/hat.wav tmp/hats.wav repeat $((seconds * 8 - 1))
    # Clicks: 10 ms bursts of white noise, ten a second (short blocks all along).
    sx -n -r $rate -c 2 -b 16 tmp/click.wav synth 0.01 whitenoise fade 0 0.01 0.009 pad 0 0.09
    sx tmp/click.wav tmp/clicks.wav repeat $((seconds * 10 - 1))
    sx -n -r $rate -c 2 -b 16 tmp/pink.wav synth $seconds pinknoise
    sx -n -r $rate -c 2 -b 16 tmp/white.wav synth $seconds whitenoise

    # music: plucks, pads, hi-hat and a little noise, peaking at -1 dBFS.
    sx -m -v 0.5 tmp/plucks.wav -v 0.25 tmp/pads.wav -v 0.35 tmp/hats.wav -v 0.05 tmp/pink.wav \
        signal/music.wav gain -n -1
    # quiet: the same peaking at -30 dBFS, a quiet recording.
    sx signal/music.wav signal/quiet.wav gain -n -30
    # plucks: plucks and pads alone, little above 15 kHz.
    sx -m -v 0.6 tmp/plucks.wav -v 0.3 tmp/pads.wav signal/plucks.wav gain -n -1
    # pink: pink noise, the two channels independent.
    sx tmp/pink.wav signal/pink.wav gain -n -3
    # dense: music under loud noise, compressed: a loud master.
    sx -m -v 0.6 signal/music.wav -v 0.15 tmp/white.wav -v 0.5 signal/pink.wav signal/dense.wav \
        compand 0.01,0.1 -60,-20,-10,-6,0,-3 gain -n -0.3
    # transients: music with clicks.
    sx -m -v 0.7 signal/music.wav -v 0.8 tmp/clicks.wav signal/transients.wav gain -n -0.5
    # darkN: the music with everything above 10 kHz N dB lower: a top octave
    # from about 28 dB (dark5) to 63 dB (dark40) under the loudest band, where
    # real recordings lie.
    sx signal/music.wav tmp/low.wav sinc -10k
    sx signal/music.wav tmp/high.wav sinc 10k
    for n in 5 10 15 20 25 30 40; do
        sx -m tmp/low.wav -v "$(python3 -c "print(10 ** (-$n / 20))")" tmp/high.wav \
            signal/dark$n.wav gain -n -1
    done
    # music48: the music at 48 kHz.
    sx signal/music.wav -r 48000 signal/music48.wav
    # recording: a real recording when the shared samples are around (7.6 s,
    # 48 kHz, 24 bits); its level falls gently to -75 dB at 16 kHz.
    if [ -f "$samples/music-metadata/issue-161.wav" ]; then
        sx "$samples/music-metadata/issue-161.wav" -b 16 -r $rate signal/recording.wav
    fi
    touch signal/done
fi

# --- encodes ---
# SIGNAL.ENCODER_SETTING.mp3 for an encode of the signal,
# SIGNAL.SOURCE-to-ENCODER_SETTING.mp3 for a re-encode of a decoded lame encode.
lame_setting() {  # SETTING IN OUT: b320 is -b 320, V0 -V 0, abr256 --abr 256
    local setting=$1 in=$2 out=$3
    case $setting in
        b*) lame --quiet -b "${setting#b}" "$in" "$out" ;;
        V*) lame --quiet -V "${setting#V}" "$in" "$out" ;;
        abr*) lame --quiet --abr "${setting#abr}" "$in" "$out" ;;
    esac
}

encode_all() {
    local s=$1 set=$2
    local in=signal/$s.wav
    local originals=(b128 b192 b224 b256 b320 V0 V2)
    local sources=(b128 b192)
    local transcodes=(b128:b224 b128:b256 b128:b320 b128:V0 b192:b320)
    if [ "$set" = full ]; then
        originals=(b96 b112 b128 b160 b192 b224 b256 b320 V0 V0.5 V1 V2 V3 V4 V5 V6
            abr192 abr256 abr320)
        sources=(b96 b128 b128dither b128shaped b160 b192 V2 V5)
        transcodes=(b128:b192 b128:b224 b128:b256 b128:b320 b128:V0 b128dither:b320
            b128dither:V0 b128shaped:b320 b96:b320 b160:b256 b160:b320 b192:b320 b192:V0
            V2:b320 V5:b320 V5:V0)
    fi
    for o in "${originals[@]}"; do
        [ -f "mp3/$s.lame_$o.mp3" ] || lame_setting "$o" "$in" "mp3/$s.lame_$o.mp3"
    done
    if [ "$set" = full ] && [ ! -f "mp3/$s.ffmpeg_mp2_b256.mp2" ]; then
        lame --quiet --vbr-old -V 0 "$in" "mp3/$s.lame_vbrold_V0.mp3"
        lame --quiet -q 0 -b 320 "$in" "mp3/$s.lame_q0_b320.mp3"
        lame --quiet -m s -b 320 "$in" "mp3/$s.lame_stereo_b320.mp3"
        for b in 128 192 320; do
            ff -i "$in" -c:a libmp3lame -b:a ${b}k "mp3/$s.ffmpeg_lame_b$b.mp3"
            ff -i "$in" -c:a libshine -b:a ${b}k "mp3/$s.ffmpeg_shine_b$b.mp3"
        done
        ff -i "$in" -c:a libmp3lame -q:a 0 "mp3/$s.ffmpeg_lame_V0.mp3"
        ff -i "$in" -c:a libmp3lame -q:a 2 "mp3/$s.ffmpeg_lame_V2.mp3"
        twolame --quiet -b 192 "$in" "mp3/$s.twolame_b192.mp2"
        twolame --quiet -b 384 "$in" "mp3/$s.twolame_b384.mp2"
        ff -i "$in" -c:a mp2 -b:a 256k "mp3/$s.ffmpeg_mp2_b256.mp2"
    fi

    # Sources, decoded to WAVE at 44.1 kHz (lame resamples 96 kbit/s to 32
    # kHz unless told not to). b128dither and b128shaped are the 128 kbit/s
    # decode brought to 16 bits again by sox with its plain and its
    # noise-shaped dither, as a decoder or editor that dithers leaves it.
    for src in "${sources[@]}"; do
        [ -f "tmp/$s.$src.wav" ] && continue
        case $src in
            b96) lame --quiet -b 96 --resample 44.1 "$in" "tmp/$s.$src.mp3" ;;
            b128dither) sx "tmp/$s.b128.wav" "tmp/$s.$src.wav" vol 0.999 dither; continue ;;
            b128shaped) sx "tmp/$s.b128.wav" "tmp/$s.$src.wav" vol 0.999 dither -s; continue ;;
            *) lame_setting "$src" "$in" "tmp/$s.$src.mp3" ;;
        esac
        lame --quiet --decode "tmp/$s.$src.mp3" "tmp/$s.$src.wav"
    done
    for t in "${transcodes[@]}"; do
        local src=${t%%:*} target=${t#*:}
        local out=mp3/$s.$src-to-lame_$target.mp3
        [ -f "$out" ] || lame_setting "$target" "tmp/$s.$src.wav" "$out"
    done
    if [ "$set" = full ] && [ ! -f "mp3/$s.b128-to-ffmpeg_shine_b320.mp3" ]; then
        # The same source decoded by ffmpeg and encoded by ffmpeg's encoders.
        ff -i "tmp/$s.b128.mp3" "tmp/$s.b128.ff.wav"
        ff -i "tmp/$s.b128.ff.wav" -c:a libmp3lame -b:a 320k "mp3/$s.b128-to-ffmpeg_lame_b320.mp3"
        ff -i "tmp/$s.b128.ff.wav" -c:a libmp3lame -q:a 0 "mp3/$s.b128-to-ffmpeg_lame_V0.mp3"
        ff -i "tmp/$s.b128.ff.wav" -c:a libshine -b:a 320k "mp3/$s.b128-to-ffmpeg_shine_b320.mp3"
    fi
}

for s in music pink; do encode_all $s full; done
for s in dense transients plucks quiet dark5 dark10 dark15 dark20 dark25 dark30 dark40 music48; do
    encode_all $s some
done
if [ -f signal/recording.wav ]; then encode_all recording some; fi

"$probe" mp3/*.mp3 mp3/*.mp2 >estimates.tsv
# The real-world MP3 files of the shared samples, read where they are.
if [ -d "$samples" ]; then
    find "$samples" -iname '*.mp3' -print0 | sort -z | xargs -0 "$probe" >samples.tsv
else
    : >samples.tsv
fi

# --- the spectrum of decoded files, next to the estimate ---
checked=(music.lame_b128 music.lame_b192 music.lame_b256 music.lame_b320 music.lame_V0
    music.lame_V2 music.ffmpeg_shine_b320 music.b128-to-lame_b320 music.b128-to-lame_V0
    music.b192-to-lame_b320 pink.lame_b320 pink.b128-to-lame_b320 transients.lame_b256
    plucks.lame_b320 quiet.lame_b320 dark20.lame_b320 dark30.lame_b320 dark30.b128-to-lame_b320
    dark40.lame_b320)
if [ -f signal/recording.wav ]; then checked+=(recording.lame_b320 recording.b128-to-lame_b320); fi
for c in "${checked[@]}"; do
    [ -f "tmp/$c.dec.wav" ] || lame --quiet --decode "mp3/$c.mp3" "tmp/$c.dec.wav"
done
"$probe" --spectrum $(for c in "${checked[@]}"; do echo "tmp/$c.dec.wav"; done) signal/*.wav \
    >spectrum.tsv

python3 "$here/make_table.py" estimates.tsv spectrum.tsv samples.tsv >table.md
echo "wrote $work/table.md"
