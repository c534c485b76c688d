#!/usr/bin/env bash
# Proves that two builds of vandrel-scan give the same bytes: runs both over
# the same folders with every kind of work (full scan, frame limit, headers
# only, music CRC, two jobs, answers from a cache) and compares the JSON with
# record images, the CSV of every column and the messages, byte for byte.
# Attributes and JSON keys that only the newer build has are left out of the
# comparison: the CSV asks both for BEFORE's columns by name, and the JSON of
# both is reduced to BEFORE's keys and printed alike (bench/project_known.py).
#
#   bench/same_results.sh BEFORE_SCAN AFTER_SCAN FOLDER...
#
# The access time is part of each record; a first read can move it, so every
# folder is read once before the runs that are compared.
set -euo pipefail

if [ $# -lt 3 ]; then
    echo "usage: $0 BEFORE_SCAN AFTER_SCAN FOLDER..." >&2
    exit 2
fi
before=$(realpath "$1")
after=$(realpath "$2")
shift 2
folders=()
for folder in "$@"; do
    folders+=("$(realpath "$folder")")
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$before" -q -r --format tsv "${folders[@]}" >/dev/null 2>&1 || true

kinds=("" "--frames 1000" "--frames 3" "--headers-only" "--music-crc" "-j 2" "--mono-quality")
# The columns the older build knows, in its order.
here=$(cd "$(dirname "$0")" && pwd)
all_columns=$("$before" -q --format csv --all-columns "$here/../tests/data/audio/lame_cbr128_joint.mp3" |
    head -1 | tr -d "\r")
failed=0
run() {  # name scan options...
    local name=$1 scan=$2
    shift 2
    "$scan" -q -r "$@" "${folders[@]}" >"$work/$name.out" 2>"$work/$name.err" || true
}
# The JSON of both runs, reduced to the older build's keys.
reduce_json() {
    python3 "$here/project_known.py" "$work/before.out" - >"$work/before.json"
    python3 "$here/project_known.py" "$work/before.out" "$work/after.out" >"$work/after.json"
    mv "$work/before.json" "$work/before.out"
    mv "$work/after.json" "$work/after.out"
}
compare() {  # label
    local label=$1 what
    for what in out err; do
        if ! cmp -s "$work/before.$what" "$work/after.$what"; then
            echo "DIFFERENT: $label ($what)"
            failed=1
            return
        fi
    done
    echo "same: $label ($(wc -c <"$work/after.out") bytes)"
}

for kind in "${kinds[@]}"; do
    # shellcheck disable=SC2206
    options=($kind)
    run before "$before" -j 1 "${options[@]}" --format csv --columns "$all_columns"
    run after "$after" -j 1 "${options[@]}" --format csv --columns "$all_columns"
    compare "${kind:-full scan} csv of every column"
    run before "$before" -j 1 "${options[@]}" --format json --record-hex
    run after "$after" -j 1 "${options[@]}" --format json --record-hex
    reduce_json
    compare "${kind:-full scan} json"
done

# Answers from a cache that each build filled itself, and the cache files
# (one job, so that the records are stored in the same order).
for scan in before after; do
    binary=$before
    [ "$scan" = after ] && binary=$after
    "$binary" -q -r -j 1 --cache "$work/$scan.dat" --cache-max-kb 100000 --format tsv \
        "${folders[@]}" >/dev/null 2>&1 || true
    run "$scan" "$binary" -j 1 --cache "$work/$scan.dat" --cache-max-kb 100000 --format json \
        --record-hex
done
reduce_json
compare "answered from the cache"
if cmp -s "$work/before.dat" "$work/after.dat"; then
    echo "same: cache file ($(wc -c <"$work/after.dat") bytes)"
else
    echo "DIFFERENT: cache file"
    failed=1
fi
exit "$failed"
