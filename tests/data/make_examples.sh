#!/usr/bin/env bash
# Makes the example files of data/examples, the folder a first start opens: a
# few seconds each of generated signals through several encoders, and a few
# files damaged on purpose, one for each kind of trouble the program finds.
# The output is committed; run this only to change the examples:
#
#   tests/data/make_examples.sh [OUTPUT_FOLDER]    (default: data/examples)
#
# Needs Debian's lame, twolame, ffmpeg (with libshine), sox and mpcenc. The
# signals come from sox -R and no encoder writes a date, so the same tools
# give the same bytes on every run.
set -euo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$top/data/examples}
for tool in lame twolame ffmpeg sox mpcenc od; do
    command -v "$tool" >/dev/null || {
        echo "make_examples: $tool is missing (apt-get install $tool)" >&2
        exit 1
    }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Plucked chords over a click track, so that encoders switch to short blocks
# and use joint stereo as they do on music.
signal() { # name seconds channels
    local name=$1 seconds=$2 channels=$3
    sox -R -n -r 44100 -c 2 -b 16 "$work/pluck.wav" synth "$seconds" pluck 220 pluck 331 \
        tremolo 3 40 gain -4
    sox -R -n -r 44100 -c 2 -b 16 "$work/click.wav" synth "$seconds" square 2 vol 0.2 \
        highpass 3000
    sox -R -m "$work/pluck.wav" "$work/click.wav" -c "$channels" "$work/$name.wav"
}
signal three 3 2
signal two 2 2
signal mono 3 1

# lame with an ID3v1 and ID3v2 tag: the tag columns then have something to
# show. TITLE TRACK, then lame's own options.
tagged() {
    local title=$1 track=$2
    shift 2
    lame --quiet --noreplaygain --tt "$title" --ta "Vandrel" --tl "Examples" --ty 2025 \
        --tn "$track" --tg "Other" "$@"
}
plain() { lame --quiet --noreplaygain "$@"; }

# Encoders and their settings, as the Encoder, Bitrate, Vbr and Quality
# columns tell them apart.
tagged "LAME CBR 128 kbit/s" 1 -b 128 "$work/three.wav" "$out/lame_cbr128.mp3"
tagged "LAME VBR -V 2" 2 -V 2 "$work/three.wav" "$out/lame_vbr_v2.mp3"
tagged "LAME CBR 64 kbit/s mono" 3 -b 64 -m m "$work/mono.wav" "$out/lame_cbr64_mono.mp3"
# ffmpeg's libmp3lame names itself in the LAME tag ("Lavc" and its version).
ffmpeg -v error -y -i "$work/three.wav" -c:a libmp3lame -b:a 160k \
    -metadata title="ffmpeg CBR 160 kbit/s" -metadata artist="Vandrel" -metadata album="Examples" \
    -metadata track=4 -write_id3v1 1 "$out/ffmpeg_cbr160.mp3"
# Shine without a Xing header: no name in the file, so the encoder is guessed
# from how the frames are coded.
ffmpeg -v error -y -i "$work/three.wav" -fflags +bitexact -c:a libshine -b:a 128k -write_xing 0 \
    "$out/shine_no_header.mp3"
# Layer II from twolame and MPEG Plus (Musepack SV8) from mpcenc.
twolame --quiet -b 192 "$work/three.wav" "$out/twolame_layer2.mp2"
mpcenc --silent --overwrite --quality 5 "$work/three.wav" "$out/musepack_sv8.mpc"

# A VBR file without its Xing header: players guess its length from the first
# frame's bitrate and show a wrong one.
plain -V 4 -t "$work/three.wav" "$out/vbr_no_header.mp3"

# Cut short: the end of a CBR file gone in the middle of its last frame (an
# interrupted download). The frames are 417 or 418 bytes long.
plain -b 128 "$work/three.wav" "$work/whole.mp3"
size=$(stat -c %s "$work/whole.mp3")
head -c $((size - 200)) "$work/whole.mp3" >"$out/cut_short.mp3"

# Sync errors: 1,500 bytes overwritten with zeros at a third and at two thirds
# of a file, as a bad sector or a broken copy leaves it.
tagged "Sync errors" 5 -b 128 "$work/three.wav" "$out/sync_errors.mp3"
size=$(stat -c %s "$out/sync_errors.mp3")
for at in $((size / 3)) $((size * 2 / 3)); do
    dd if=/dev/zero of="$out/sync_errors.mp3" bs=1 seek="$at" count=1500 conv=notrunc status=none
done

# A CRC error: a CBR file with frame CRCs (-p) whose 40th frame has one byte
# of its side information changed, which the CRC covers. Every frame is at
# 128 kbit/s, so a frame is 417 bytes and one more when its padding bit (bit
# 1 of its third byte) is set.
plain -b 128 -p "$work/three.wav" "$out/crc_error.mp3"
offset=0
for ((frame = 0; frame < 40; ++frame)); do
    third=$(od -An -tu1 -j $((offset + 2)) -N1 "$out/crc_error.mp3")
    offset=$((offset + 417 + ((third >> 1) & 1)))
done
# Header (4 bytes), CRC (2), then the side information: its third byte.
printf '\xa5' | dd of="$out/crc_error.mp3" bs=1 seek=$((offset + 8)) conv=notrunc status=none

# Two VBR files joined with cat: the first one's Xing header still counts its
# own frames only, so players show half the length.
plain -V 5 "$work/two.wav" "$work/first.mp3"
plain -V 5 "$work/two.wav" "$work/second.mp3"
cat "$work/first.mp3" "$work/second.mp3" >"$out/joined_with_cat.mp3"

# Bytes before the first frame that are neither audio nor a tag (a notice).
{
    for ((i = 0; i < 25; ++i)); do printf 'not audio, not a tag... '; done
    cat "$work/whole.mp3"
} >"$out/junk_before_audio.mp3"

# The upscale verdict: a bright signal (pink noise under the plucks) at 256
# kbit/s keeps its top octave; the same encoded at 128 kbit/s, decoded and
# encoded again at 256 stops at the 128 kbit/s lowpass. Six seconds, the
# least the verdict judges.
sox -R -n -r 44100 -c 2 -b 16 "$work/pink6.wav" synth 6 pinknoise gain -n -3
sox -R -n -r 44100 -c 2 -b 16 "$work/pluck6.wav" synth 6 pluck 220 pluck 331 tremolo 3 40 gain -4
sox -R -m "$work/pink6.wav" "$work/pluck6.wav" "$work/bright6.wav" gain -n -1
tagged "Genuine 256 kbit/s" 6 -b 256 "$work/bright6.wav" "$out/genuine_256.mp3"
plain -b 128 "$work/bright6.wav" "$work/bright128.mp3"
lame --quiet --decode "$work/bright128.mp3" "$work/bright128.wav"
tagged "Upscaled from 128 kbit/s" 7 -b 256 "$work/bright128.wav" "$out/upscaled_128_to_256.mp3"

ls -l "$out"
du -sh "$out"
