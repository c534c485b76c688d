#!/usr/bin/env bash
# Makes a 100 MB LAME-encoded MP3 and times the tag viewer's music CRC check on
# it with bench/tag_crc.cpp.
#
#   bench/tag_crc.sh [FOLDER]    (default: a temporary folder)
#
# With lame and sox installed the file is 42 minutes of a plucked chord at
# 320 kbit/s, encoded in one go: its LAME tag is right about the whole file,
# so the check covers 100 MB and ends "OK". Without them it is a fixture's
# frames over and over behind the fixture's first frame; that tag's music
# length and CRC are those of the small file, so the check is told to ignore
# the music length (it then covers the rest of the file) and ends "corrupt".
# Either way the timing is that of a 100 MB check. It runs twice: with the
# file in the page cache, then with it dropped before each measurement.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$(mktemp -d)}
seconds=2500  # 320 kbit/s: 40 KB a second
flags=()
if command -v lame >/dev/null && command -v sox >/dev/null; then
    file="$folder/lame_100mb.mp3"
    if [ ! -f "$file" ]; then
        echo "encoding $seconds s with lame ..."
        sox -R -n -r 44100 -c 2 -b 16 -t wav - synth "$seconds" pluck 220 pluck 331 \
            tremolo 3 40 gain -4 2>/dev/null | lame --quiet -b 320 - "$file"
    fi
    echo "file: encoded by lame in one go (its music CRC should check OK)"
else
    file="$folder/repeated_100mb.mp3"
    if [ ! -f "$file" ]; then
        python3 - "$top/tests/data/audio/lame_cbr128_joint.mp3" "$file" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
# The first frame holds the LAME tag: 128 kbit/s at 44100 Hz without padding
# is 417 bytes. The rest, whole frames only, is repeated behind it.
first = 417
assert data[first] == 0xFF, 'the second frame does not start where expected'
with open(sys.argv[2], 'wb') as out:
    out.write(data[:first])
    written = first
    while written < 100_000_000:
        out.write(data[first:])
        written += len(data) - first
PY
    fi
    flags=(--ignore-music-length)
    echo "file: a fixture's frames repeated (lame not installed; the verdict will be corrupt)"
fi
build=${VANDREL_BENCH_BUILD:-$top/build/bench}  # another build folder, if wanted
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target tag_crc
cat "$file" >/dev/null  # in the page cache, as a file just listed is
"$build/bench/tag_crc" ${flags[@]+"${flags[@]}"} "$file"
echo
"$build/bench/tag_crc" --cold ${flags[@]+"${flags[@]}"} "$file"  # read from the disk
