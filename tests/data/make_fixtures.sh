#!/usr/bin/env bash
# Makes the small audio fixtures the tests read, from generated signals, with
# Debian's lame, twolame, ffmpeg, sox and mpcenc (and mid3v2/eyeD3 for tags).
# The output is committed, so the tests never need the encoders; run this only
# to change or add fixtures:  tests/data/make_fixtures.sh [OUTPUT_FOLDER]
#
# Every file is a few seconds long and under 100 KB, but for the two that the
# bandwidth verdict needs (six seconds at 256 kbit/s). The edge cases that need
# exact bytes (a corrupted frame, free format, a cut-short last frame, ...)
# are built byte by byte in the tests instead.
set -euo pipefail

out=${1:-$(cd "$(dirname "$0")" && pwd)/audio}
for tool in lame twolame ffmpeg sox mpcenc; do
    command -v "$tool" >/dev/null || { echo "make_fixtures: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Signals: plucked chords with a percussive click track, so that encoders use
# short blocks and joint stereo as on music. sox -R keeps them repeatable.
signal() { # name rate channels seconds
    local name=$1 rate=$2 channels=$3 seconds=$4
    sox -R -n -r "$rate" -c 2 -b 16 "$work/pluck.wav" synth "$seconds" pluck 220 pluck 331 \
        tremolo 3 40 gain -4
    sox -R -n -r "$rate" -c 2 -b 16 "$work/click.wav" synth "$seconds" square 2 \
        vol 0.2 highpass 3000
    sox -R -m "$work/pluck.wav" "$work/click.wav" -c "$channels" "$work/$name.wav"
}
signal s44 44100 2 3
signal s44long 44100 2 8
signal s44short 44100 2 2
signal m44 44100 1 4
signal s48 48000 2 3
signal s32 32000 2 3
signal s22 22050 2 3
signal m16 16000 1 4
signal m11 11025 1 4
signal m8 8000 1 4
signal m48 48000 1 3
signal s44one 44100 2 1
signal s44tiny 44100 2 0.04

l() { lame --quiet --noreplaygain "$@"; }

# MPEG-1 Layer III from lame: CBR with an Info header, VBR and ABR with Xing,
# the channel modes, CRC protection, and a file without any tag (-t).
l -b 128 "$work/s44.wav" "$out/lame_cbr128_joint.mp3"
l -b 320 -m s "$work/s44short.wav" "$out/lame_cbr320_stereo.mp3"
l -b 192 -m d "$work/s48.wav" "$out/lame_cbr192_dual_48k.mp3"
l -b 64 -m m "$work/m44.wav" "$out/lame_cbr64_mono.mp3"
l -V 2 "$work/s44.wav" "$out/lame_vbr_v2.mp3"
l -V 6 -m m "$work/m44.wav" "$out/lame_vbr_v6_mono.mp3"
l --abr 96 "$work/s32.wav" "$out/lame_abr96_32k.mp3"
l -b 128 -t "$work/s44.wav" "$out/lame_notag_cbr128.mp3"
l -V 4 -t "$work/s44long.wav" "$out/lame_notag_vbr_long.mp3"
l -b 128 -p "$work/s44.wav" "$out/lame_crc_cbr128.mp3"
# CRC protection over the other side information sizes: MPEG-1 mono, MPEG-2
# stereo and mono.
l -b 64 -m m -p "$work/m48.wav" "$out/lame_crc_cbr64_mono_48k.mp3"
l -b 64 -p "$work/s22.wav" "$out/lame_crc_mpeg2_22k_cbr64.mp3"
l -b 32 -m m -p "$work/m16.wav" "$out/lame_crc_mpeg2_16k_cbr32_mono.mp3"
# Replay gain and peak, as the decoding analysis of lame writes them.
lame --quiet --replaygain-accurate -V 4 "$work/s44.wav" "$out/lame_vbr_v4_replaygain.mp3"
# MPEG-2 and MPEG-2.5 sample rates.
l -b 64 "$work/s22.wav" "$out/lame_mpeg2_22k_cbr64.mp3"
l -V 5 -m m "$work/m16.wav" "$out/lame_mpeg2_16k_vbr_mono.mp3"
l -b 24 -m m "$work/m11.wav" "$out/lame_mpeg25_11k_cbr24_mono.mp3"
l -V 7 -m m "$work/m8.wav" "$out/lame_mpeg25_8k_vbr_mono.mp3"
# Files the frame search refuses, for the reason it gives: free format, and
# three frames (too few for the search, which looks for five from the middle).
l --freeformat -b 400 "$work/s44one.wav" "$out/lame_freeformat_400.mp3"
l -b 128 "$work/s44tiny.wav" "$out/lame_three_frames.mp3"
# Low-rate MPEG-2 without an Info header, whose frames lame pads with its name,
# cut anywhere ("LAME" then other bytes); its version stands later.
sox -R -n -r 22050 -c 1 -b 16 "$work/m22plain.wav" synth 3 pluck 220
l -b 32 "$work/m22plain.wav" "$out/lame_mpeg2_22k_cbr32_padding.mp3"
# An ID3v1.0 tag: a comment of 30 characters leaves no room for a track.
l -b 8 --id3v1-only --tt "ID3v1.0 title" --tc "A comment of thirty characters" "$work/m8.wav" \
    "$out/lame_id3v10_comment30.mp3"
# Tags written by lame itself: ID3v1 and ID3v2, and ID3v1 alone.
l -b 96 --tt "Plucked Strings" --ta "Vandrel Fixtures" --tl "Test Album" --ty 2024 \
    --tn 7 --tg Jazz --tc "made by make_fixtures" "$work/s44.wav" "$out/lame_tags_v1v2.mp3"
l -b 96 --id3v1-only --tt "Only Version One" --ta "Fixtures" --tn 3 --tg 147 \
    "$work/s44.wav" "$out/lame_tags_v1only.mp3"

# The bandwidth verdict: a bright signal (pink noise under the plucks) encoded
# at 256 kbit/s keeps its top octave; the same signal encoded at 128 kbit/s,
# decoded and encoded again at 256 keeps the 128 kbit/s lowpass. Six seconds,
# the least the verdict judges (about 200 KB each).
sox -R -n -r 44100 -c 2 -b 16 "$work/pink6.wav" synth 6 pinknoise gain -n -3
sox -R -n -r 44100 -c 2 -b 16 "$work/pluck6.wav" synth 6 pluck 220 pluck 331 tremolo 3 40 gain -4
sox -R -m "$work/pink6.wav" "$work/pluck6.wav" "$work/bright6.wav" gain -n -1
l -b 256 "$work/bright6.wav" "$out/lame_cbr256_bright.mp3"
l -b 128 "$work/bright6.wav" "$work/bright128.mp3"
lame --quiet --decode "$work/bright128.mp3" "$work/bright128.wav"
l -b 256 "$work/bright128.wav" "$out/lame_cbr256_from128.mp3"

# The coded spectrum: lame's lowpass leaves every line above it zero, the
# lines of -1 to 1 after the big values too. A 1 kHz sine at 320 kbit/s under
# a lowpass of 5 kHz (the noise floor of the 16-bit signal is coded up to it),
# and pink noise at 192 kbit/s under one of 11 kHz; two seconds each, kept at
# 44.1 kHz (lame would resample to a rate that suits the lowpass).
sox -R -n -r 44100 -c 2 -b 16 "$work/sine1k.wav" synth 2 sine 1000 gain -3
l -b 320 --resample 44.1 --lowpass 5000 "$work/sine1k.wav" "$out/lame_cbr320_sine1k_lowpass5k.mp3"
sox -R -n -r 44100 -c 2 -b 16 "$work/pink2.wav" synth 2 pinknoise gain -n -3
l -b 192 --resample 44.1 --lowpass 11000 "$work/pink2.wav" "$out/lame_cbr192_pink_lowpass11k.mp3"

# Layer II from twolame (MPEG-1 and MPEG-2 sample rates) and from ffmpeg.
twolame --quiet -b 192 "$work/s48.wav" "$out/twolame_mp2_192_48k.mp2"
twolame --quiet -b 64 -m m "$work/m16.wav" "$out/twolame_mp2_64_16k_mono.mp2"
ffmpeg -v error -y -i "$work/s44.wav" -c:a mp2 -b:a 160k "$out/ffmpeg_mp2_160.mp2"
# Layer II with CRC protection (-p) from twolame, one file per bit allocation
# table, which the sampling rate and the bitrate per channel choose: 96 kbit/s
# per channel at 44.1 kHz (B), 64 at 48 kHz (A), 48 at 44.1 kHz (C), 48 at
# 32 kHz (D), and MPEG-2's one table. The joint stereo files share the
# allocation of their upper subbands.
twolame --quiet -p -b 192 -m j "$work/s44short.wav" "$out/twolame_crc_192_joint.mp2"
twolame --quiet -p -b 64 -m m "$work/m48.wav" "$out/twolame_crc_64_48k_mono.mp2"
twolame --quiet -p -b 48 -m m "$work/m44.wav" "$out/twolame_crc_48_mono.mp2"
twolame --quiet -p -b 96 -m j "$work/s32.wav" "$out/twolame_crc_96_32k_joint.mp2"
twolame --quiet -p -b 64 "$work/s22.wav" "$out/twolame_crc_64_22k.mp2"

# ffmpeg's libmp3lame with ffmpeg's own ID3v2.4 tag and LAME-style header.
ffmpeg -v error -y -i "$work/s44.wav" -c:a libmp3lame -b:a 112k -metadata title="ffmpeg title" \
    -metadata artist="ffmpeg artist" -id3v2_version 4 -write_id3v1 1 "$out/ffmpeg_lame_cbr112_id3.mp3"
ffmpeg -v error -y -i "$work/m44.wav" -c:a libmp3lame -q:a 4 -id3v2_version 3 "$out/ffmpeg_lame_vbr_q4.mp3"
# ffmpeg's libshine: the same LAME-style header, naming ffmpeg, over frames
# without short blocks or the bit reservoir.
ffmpeg -v error -y -i "$work/s44.wav" -c:a libshine -b:a 64k "$out/ffmpeg_shine_64.mp3"

# Tags written by tag editors on a plain lame file.
if command -v mid3v2 >/dev/null; then
    l -b 128 "$work/s44.wav" "$out/mid3v2_tags.mp3"
    mid3v2 --artist "Mutagen Artist" --song "Mutagen Song" --album "Mutagen Album" \
        --track 12 --genre Blues "$out/mid3v2_tags.mp3" >/dev/null
    # A cover picture over three times the size of the second of audio (with
    # its Info header) behind it.
    sox "$work/s44one.wav" -n spectrogram -o "$work/cover.png" -x 200 -y 180
    l -b 128 "$work/s44one.wav" "$out/mid3v2_cover_art.mp3"
    mid3v2 --picture="$work/cover.png:Cover:3:image/png" "$out/mid3v2_cover_art.mp3" >/dev/null
fi
# Tags after the audio of a lame CBR file with its LAME tag, as taggers leave
# them: an ID3v2.4 tag with a footer, an APEv2 tag with a cover (written by
# mutagen), a Lyrics3v2 block and lame's ID3v1 tag, in that order.
if /usr/bin/python3 -c 'import mutagen.apev2' 2>/dev/null; then
    l -b 128 --id3v1-only --tt "Trailing tags" "$work/s44one.wav" "$out/mutagen_trailing_tags.mp3"
    /usr/bin/python3 - "$out/mutagen_trailing_tags.mp3" <<'PY'
import sys
from mutagen.apev2 import APEv2, APEValue, BINARY
path = sys.argv[1]
ape = APEv2()
ape["Title"] = "Trailing tags"
ape["Cover Art (Front)"] = APEValue(b"cover.png\x00" + bytes(range(256)) * 8, BINARY)
open(path + ".ape", "wb").close()
ape.save(path + ".ape")  # the tag alone, header and footer
ape_tag = open(path + ".ape", "rb").read()
data = open(path, "rb").read()
frame = b"TIT2" + (14).to_bytes(4, "big") + b"\x00\x00" + b"\x03Appended tag\x00"
size = bytes([(len(frame) >> 21) & 127, (len(frame) >> 14) & 127, (len(frame) >> 7) & 127,
              len(frame) & 127])
id3v24 = b"ID3\x04\x00\x10" + size + frame + b"3DI\x04\x00\x10" + size
lyrics = b"LYRICSBEGIN" + b"LYR00018Words to no music."
lyrics += b"%06dLYRICS200" % len(lyrics)
open(path, "wb").write(data[:-128] + id3v24 + ape_tag + lyrics + data[-128:])
PY
    rm "$out/mutagen_trailing_tags.mp3.ape"
fi
if command -v eyeD3 >/dev/null; then
    l -b 128 "$work/s44.wav" "$out/eyed3_v1_tags.mp3"
    eyeD3 --v1 -a "eyeD3 Artist" -t "eyeD3 Title" -n 5 -G Rock "$out/eyed3_v1_tags.mp3" >/dev/null
fi

# A plain PCM WAVE file.
sox -R -n -r 22050 -c 1 -b 16 "$out/sox_pcm_22k_mono.wav" synth 1 sine 440 gain -6
# WAVE: a LIST chunk before "data", IMA ADPCM with a "fact" chunk, the
# extensible header (six channels of 24 bits).
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=1.25" \
    -fflags +bitexact -flags +bitexact -metadata title="Vandrel fixture" -c:a pcm_s16le \
    "$out/ffmpeg_pcm_8k_mono_list.wav"
sox -R -n -r 8000 -c 1 -e ima-adpcm "$out/sox_ima_adpcm_8k_mono.wav" synth 0.1 sine 440 gain -6
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.25" \
    -fflags +bitexact -flags +bitexact \
    -filter_complex "[0:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[a]" -map "[a]" \
    -c:a pcm_s24le "$out/ffmpeg_pcm24_8k_6ch_extensible.wav"

# Musepack stream version 8 (today's mpcenc).
mpcenc --silent --overwrite --quality 5 "$work/s44.wav" "$out/mpcenc_q5_stereo.mpc"
mpcenc --silent --overwrite --quality 3 "$work/m48.wav" "$out/mpcenc_q3_mono_48k.mpc"

ls -l "$out"
