#!/usr/bin/env bash
# The file list's memory and fill time for folders of growing size: folders
# of 2,500 to 20,000 names (hard links to the test fixtures) filled by
# bench/list_fill, which reports the resident memory with the rows shown.
#
#   bench/list_memory.sh [BUILD_FOLDER]     (default build/bench)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/bench}
if [ ! -x "$build/bench/list_fill" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANDREL_BUILD_BENCH=ON -DVANDREL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target list_fill
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t fixtures < <(ls "$top"/tests/data/audio/*.mp3)

echo "| files | fill | resident with the rows | more than the row before, a file |"
echo "|---:|---:|---:|---:|"
previous_count=0
previous_mb=0
for count in 2500 5000 10000 20000; do
    folder="$work/$count"
    mkdir "$folder"
    for ((i = 0; i < count; i++)); do
        ln "${fixtures[$((i % ${#fixtures[@]}))]}" "$(printf '%s/%05d.mp3' "$folder" "$i")"
    done
    cat "${fixtures[@]}" >/dev/null
    read -r fill mb < <("$build/bench/list_fill" "$folder" 2>/dev/null |
        awk '/^fill/ { fill = $2 } /^resident/ { mb = $8 } END { print fill, mb }')
    growth=$(awk -v a="$previous_mb" -v b="$mb" -v n=$((count - previous_count)) \
        'BEGIN { printf "%.2f KB", (b - a) * 1024 / n }')
    [ "$previous_count" -eq 0 ] && growth="-"
    echo "| $count | $fill s | $mb MB | $growth |"
    previous_count=$count
    previous_mb=$mb
done
