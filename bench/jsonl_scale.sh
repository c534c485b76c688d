#!/usr/bin/env bash
# How `vandrel-scan -r --format jsonl` scales with the number of files: the
# time until its first line reaches the reader, the whole run and the peak
# resident memory, for a tree of 10,000 and one of 100,000 small files. A
# streaming run prints its first line at once and needs the same memory for
# both; one that lists every file (or keeps every result) before it writes
# shows it here.
#
#   bench/jsonl_scale.sh [FILES_PER_FOLDER]    (default 1000)
#
# The trees are folders of FILES_PER_FOLDER hard links to copies of eight
# small fixtures, in a temporary folder (TMPDIR) removed at the end.
# VANDREL_SCAN names the vandrel-scan to run; by default a Release build is
# made in build/compare.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
per_folder=${1:-1000}

"$top/scripts/ensure-packages.sh" time python3
if [ -z "${VANDREL_SCAN:-}" ]; then
    cmake -S "$top" -B "$top/build/compare" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANDREL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$top/build/compare" --target vandrel-scan >/dev/null
    VANDREL_SCAN=$top/build/compare/src/cli/vandrel-scan
fi
scan=$(realpath "$VANDREL_SCAN")

work=$(mktemp -d "${TMPDIR:-/tmp}/vandrel-jsonl.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Copies first: the links then count against the copies' inodes, never the
# fixtures' (a file system allows only so many links to one inode).
mkdir "$work/fixtures" "$work/folder"
fixtures=(lame_vbr_v6_mono lame_mpeg2_16k_vbr_mono lame_crc_cbr64_mono_48k lame_mpeg2_22k_cbr64
    lame_mpeg25_8k_vbr_mono mutagen_trailing_tags lame_crc_mpeg2_16k_cbr32_mono
    lame_mpeg2_22k_cbr32_padding)
for name in "${fixtures[@]}"; do
    cp "$top/tests/data/audio/$name.mp3" "$work/fixtures/"
done
for ((i = 0; i < per_folder; i++)); do
    ln "$work/fixtures/${fixtures[$((i % ${#fixtures[@]}))]}.mp3" \
        "$(printf '%s/folder/%06d.mp3' "$work" "$i")"
done

# A tree of `count` files: whole folders, each a linked copy of the first.
make_tree() {
    local tree=$1 count=$2
    mkdir "$tree"
    for ((f = 0; f < count / per_folder; f++)); do
        cp -al "$work/folder" "$(printf '%s/%04d' "$tree" "$f")"
    done
}

# Runs the scan over a tree under /usr/bin/time and reads its output as a
# pipe reader would: prints the seconds to the first line, the seconds of the
# whole run, the lines read and the peak resident KB.
measure() {
    local tree=$1
    find "$tree" >/dev/null # the folders' entries in memory, as the files' bytes are
    python3 - "$scan" "$tree" "$work/time.txt" <<'EOF'
import re
import subprocess
import sys
import time

scan, tree, time_file = sys.argv[1:4]
start = time.monotonic()
run = subprocess.Popen(["/usr/bin/time", "-v", "-o", time_file, scan, "-q", "-r",
                        "--format", "jsonl", tree], stdout=subprocess.PIPE)
first = None
lines = 0
while chunk := run.stdout.read1(1 << 20):
    if first is None and b"\n" in chunk:
        first = time.monotonic() - start
    lines += chunk.count(b"\n")
status = run.wait()
whole = time.monotonic() - start
rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", open(time_file).read())
print(f"{first if first is not None else float('nan'):.3f} {whole:.1f} {lines} "
      f"{rss.group(1) if rss else 0} {status}")
EOF
}

cat "$work"/fixtures/* >/dev/null
echo "| files | first line | whole run | lines | peak resident |"
echo "|---:|---:|---:|---:|---:|"
for count in 10000 100000; do
    make_tree "$work/tree$count" "$count"
    read -r first whole lines kb status < <(measure "$work/tree$count")
    if [ "$lines" -ne "$count" ] || [ "$status" -ne 0 ]; then
        echo "$count files: $lines lines, exit status $status" >&2
        exit 1
    fi
    echo "| $count | $first s | $whole s | $lines | $(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }') MB |"
    rm -rf "$work/tree$count"
done
