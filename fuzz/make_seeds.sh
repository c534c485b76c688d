#!/usr/bin/env bash
# Makes the fuzzers' seed inputs from the committed test fixtures (small cuts
# of them) and from a few hand-made headers. The output is committed; run this
# only to change the seeds:  fuzz/make_seeds.sh [vandrel-scan]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
audio="$top/tests/data/audio"
out="$top/fuzz/corpus"
scan=${1:-$top/build/dev/src/cli/vandrel-scan}
rm -rf "$out"
mkdir -p "$out"/{FuzzScanMp3,FuzzScanMpc,FuzzScanWave,FuzzId3v2,FuzzVbrHeaders,FuzzCacheLoad,FuzzIniLoad,FuzzId3v1Compose,FuzzCliAnalysis,FuzzMainData,FuzzRepair}

# MPEG audio: the start of files of several kinds (tags, VBR headers, some
# frames), and a start joined to an ID3v1 tag.
for f in lame_vbr_v2 lame_cbr64_mono lame_mpeg25_8k_vbr_mono lame_crc_cbr128 mid3v2_tags \
         ffmpeg_lame_cbr112_id3 twolame_mp2_64_16k_mono lame_notag_cbr128; do
    ext=mp3; [ -f "$audio/$f.mp3" ] || ext=mp2
    head -c 6000 "$audio/$f.$ext" > "$out/FuzzScanMp3/$f"
done
{ head -c 5000 "$audio/lame_tags_v1v2.mp3"; tail -c 128 "$audio/lame_tags_v1v2.mp3"; } \
    > "$out/FuzzScanMp3/with_id3v1"

# Layer III main data: the first frames of files without tags in front, of
# each version, with and without CRC, mono and stereo, short blocks among them.
for f in lame_cbr128_joint lame_crc_mpeg2_22k_cbr64 lame_mpeg25_8k_vbr_mono lame_vbr_v6_mono \
         lame_crc_cbr64_mono_48k lame_cbr320_sine1k_lowpass5k; do
    head -c 4000 "$audio/$f.mp3" > "$out/FuzzMainData/$f"
done

# Repairs: a VBR file cut short, junk before and after the frames, bytes
# breaking the chain, a header-less start, two starts joined.
head -c 6000 "$audio/lame_vbr_v2.mp3" > "$out/FuzzRepair/cut_vbr"
{ printf 'junk%.0s' 1 2 3 4 5; head -c 5000 "$audio/lame_notag_cbr128.mp3"; printf 'tail'; } \
    > "$out/FuzzRepair/junk_around"
{ head -c 3000 "$audio/lame_vbr_v2.mp3"; printf 'garbage!'; tail -c +3001 "$audio/lame_vbr_v2.mp3" |
    head -c 3000; } > "$out/FuzzRepair/sync_error"
{ head -c 4000 "$audio/lame_vbr_v2.mp3"; head -c 4000 "$audio/lame_vbr_v2.mp3"; } \
    > "$out/FuzzRepair/joined"
head -c 5000 "$audio/mid3v2_tags.mp3" > "$out/FuzzRepair/tagged"

# An iTunSMPB comment in a version 2.3 tag.
printf 'ID3\x03\x00\x00\x00\x00\x00\x43COMM\x00\x00\x00\x39\x00\x00\x00engiTunSMPB\x00 00000000 00000210 000003C4 0000000000020F58' \
    > "$out/FuzzId3v2/itunsmpb"

# MPEG Plus: stream headers of version 7 (with and without a profile) and older.
printf 'MP+\x07\xe8\x03\x00\x00\x00\x00\xa0\x40' > "$out/FuzzScanMpc/sv7_standard"
printf 'MP+\x17\x0a\x00\x00\x00\x00\x00\x20\x00' > "$out/FuzzScanMpc/sv23_unknown"
printf 'MP+\x05\x10\x00\x20\x00\x00\x00\x00\x00' > "$out/FuzzScanMpc/old_style"

# Version 8: its packets up to the first audio.
for f in mpcenc_q5_stereo mpcenc_q3_mono_48k; do
    head -c 600 "$audio/$f.mpc" > "$out/FuzzScanMpc/$f"
done

# WAVE: the canonical header, a LIST chunk before the audio, an extensible
# header, and ADPCM with a "fact" chunk.
head -c 4096 "$audio/sox_pcm_22k_mono.wav" > "$out/FuzzScanWave/pcm"
for f in ffmpeg_pcm_8k_mono_list ffmpeg_pcm24_8k_6ch_extensible sox_ima_adpcm_8k_mono; do
    head -c 1024 "$audio/$f.wav" > "$out/FuzzScanWave/$f"
done

for f in mid3v2_tags ffmpeg_lame_cbr112_id3 lame_tags_v1v2; do
    head -c 3000 "$audio/$f.mp3" > "$out/FuzzId3v2/$f"
done

# First frames with their Xing/Info/LAME headers.
for f in lame_vbr_v2 lame_cbr128_joint lame_vbr_v4_replaygain lame_mpeg2_16k_vbr_mono; do
    head -c 2000 "$audio/$f.mp3" > "$out/FuzzVbrHeaders/$f"
done

# A cache file of two records, written by the program itself.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$scan" -q --format tsv --cache "$tmp/cache.dat" "$audio/lame_cbr64_mono.mp3" \
    "$audio/twolame_mp2_64_16k_mono.mp2" > /dev/null
cp "$tmp/cache.dat" "$out/FuzzCacheLoad/two_records"
head -c 12 "$tmp/cache.dat" > "$out/FuzzCacheLoad/header_only"

printf 'list_settings\r\nframeres\t1000\r\ncolwidth2_3\t120\r\nfiletypes\t.mp3;.mp2;\r\n\r\n' \
    > "$out/FuzzIniLoad/list"
printf 'tree_settings\ninitdir\t/music\nnotab\n\nmainframe\nleft\t10\n' > "$out/FuzzIniLoad/lf_lines"

printf '\xcf\x07\x05\x11Title\x00Artist\x00Album\x00Comment' > "$out/FuzzId3v1Compose/fields"
printf '\xff\xff\x00\xffCaf\xc3\xa9\x00\xe2\x82\xac\x00\x00' > "$out/FuzzId3v1Compose/utf8"

du -sh "$out"

# The command-line analysis: a byte choosing the name (0 .mp3, 1 .mpc, 2 .wav,
# 3 .mp2) and the options (4 frame limit, 8 headers only, 16 music CRC,
# 32 mono quality, 64 record hex, 128 report), then the start of a file.
for entry in lame_vbr_v2.mp3:0 lame_tags_v1v2.mp3:0 mid3v2_tags.mp3:0 mutagen_trailing_tags.mp3:0 \
            twolame_mp2_64_16k_mono.mp2:3 mpcenc_q3_mono_48k.mpc:1 sox_pcm_22k_mono.wav:2; do
    f=${entry%:*}; kind=${entry#*:}
    for options in 0 20 136; do
        { printf "\\x$(printf %02x $((options + kind)))"; head -c 8000 "$audio/$f"; } \
            > "$out/FuzzCliAnalysis/${f%.*}_$options"
    done
done
