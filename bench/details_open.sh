#!/usr/bin/env bash
# Makes a 1 GB constant-bitrate MP3 (one fixture's frames over and over) and
# times the Details dialog on it with bench/details_open.cpp.
#
#   bench/details_open.sh [FOLDER]    (default: a temporary folder)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$(mktemp -d)}
file="$folder/one_gigabyte.mp3"
if [ ! -f "$file" ]; then
    python3 - "$top/tests/data/audio/lame_notag_cbr128.mp3" "$file" <<'PY'
import sys
frames = open(sys.argv[1], 'rb').read()
with open(sys.argv[2], 'wb') as out:
    written = 0
    while written < 1 << 30:
        out.write(frames)
        written += len(frames)
PY
fi
build="$top/build/bench"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target details_open
cat "$file" >/dev/null  # in the page cache, as a file just listed is
"$build/bench/details_open" "$file"
