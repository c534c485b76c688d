#!/usr/bin/env bash
# Times the HTML report of vandrel-scan (--html, the export's own code) next to
# its table output over the same files in the page cache, and prints a
# Markdown table, then the peak resident memory of a 10,000-file report.
#
#   bench/export_speed.sh CORPUS [RUNS]
#
# CORPUS: a folder of MP3 files (bench/make_corpus.sh makes one). RUNS: timed
# runs per command (default 10, after one warm-up run). VANDREL_SCAN names the
# vandrel-scan to time; by default a Release build is made in build/compare.
#
# The quick columns need only the first frames of a file, so the report reads
# 1000 frames per file, as the table does with --frames 1000; the default
# columns (Frames, Length, ...) need every frame, as a table without --frames
# reads. The report works one file at a time, so the table runs with -j 1
# beside it, and with -j 2 for what parallel jobs add. A folder of 10,000
# short files (links to the corpus files' first 300,000 bytes) shows the cost
# per file.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 CORPUS [RUNS]" >&2
    exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(cd "$1" && pwd)
runs=${2:-10}

source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" hyperfine time
if [ -z "${VANDREL_SCAN:-}" ]; then
    "$top/scripts/ensure-packages.sh" "${build_packages[@]}"
    cmake -S "$top" -B "$top/build/compare" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANDREL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$top/build/compare" --target vandrel-scan >/dev/null
    VANDREL_SCAN=$top/build/compare/src/cli/vandrel-scan
fi
scan=$(realpath "$VANDREL_SCAN")
template=$top/data/template.html

work=$(mktemp -d "$(dirname "$corpus")/vandrel-export.XXXXXX")
trap 'rm -rf "$work"' EXIT
find "$corpus" -maxdepth 1 -type f -iname '*.mp3' | LC_ALL=C sort >"$work/files"
file_count=$(wc -l <"$work/files")
if [ "$file_count" -eq 0 ]; then
    echo "$0: no MP3 files in $corpus" >&2
    exit 1
fi
bytes=$(xargs -d '\n' -a "$work/files" stat -c %s | awk '{ s += $1 } END { print s }')
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')

# 10,000 links to the first 300,000 bytes of 20 corpus files.
mkdir -p "$work/short" "$work/files10000"
i=0
while read -r source; do
    head -c 300000 "$source" >"$work/short/$i.mp3"
    i=$((i + 1))
    [ "$i" -ge 20 ] && break
done <"$work/files"
shorts=$i
for ((i = 0; i < 10000; i++)); do
    name=$(printf '%s/files10000/%05d.mp3' "$work" "$i")
    ln "$work/short/$((i % shorts)).mp3" "$name" 2>/dev/null ||
        cp "$work/short/$((i % shorts)).mp3" "$name"
done

for _ in 1 2; do
    xargs -d '\n' -a "$work/files" cat >/dev/null
    cat "$work/short/"* >/dev/null
done

quick='Name,Stereo Mode,Size,Freq. (Hz),Type,Title,Artist'
html="--html '$template' -o '$work/report.html'"
# label|command, run without a shell.
commands=(
    "table, quick columns, --frames 1000, -j 1|'$scan' -q -j 1 --frames 1000 --columns '$quick' '$corpus'"
    "table, quick columns, --frames 1000, -j 2|'$scan' -q -j 2 --frames 1000 --columns '$quick' '$corpus'"
    "html report, quick columns (1000 frames)|'$scan' -q $html --columns '$quick' '$corpus'"
    "table, default columns, full scan, -j 1|'$scan' -q -j 1 '$corpus'"
    "table, default columns, full scan, -j 2|'$scan' -q -j 2 '$corpus'"
    "html report, default columns (full scan)|'$scan' -q $html '$corpus'"
    "10,000 short files: table, quick columns, -j 1|'$scan' -q -j 1 --frames 1000 --columns '$quick' '$work/files10000'"
    "10,000 short files: html report, quick columns|'$scan' -q $html --columns '$quick' '$work/files10000'"
)
hyperfine_args=()
for entry in "${commands[@]}"; do
    hyperfine_args+=(-n "${entry%%|*}" "${entry#*|}")
done
hyperfine -N --style none --warmup 1 --runs "$runs" --export-csv "$work/times.csv" \
    "${hyperfine_args[@]}" >"$work/hyperfine.log" 2>&1 || {
    cat "$work/hyperfine.log" >&2
    exit 1
}

rss_html=$(/usr/bin/time -f %M "$scan" -q --html "$template" -o "$work/report.html" \
    --columns "$quick" "$work/files10000" 2>&1 >/dev/null | tail -1)
report_kb=$(($(stat -c %s "$work/report.html") / 1024))
rss_table=$(/usr/bin/time -f %M "$scan" -q -j 1 --frames 1000 --columns "$quick" \
    "$work/files10000" 2>&1 >/dev/null | tail -1)

echo "Corpus: $file_count files, $mb MB ($corpus); $runs runs per command, warm page cache."
echo "Machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs);" \
    "$(uname -sr); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "| command | wall s (mean ± σ) | min s | user s | system s |"
echo "|---|---:|---:|---:|---:|"
# CSV columns: command,mean,stddev,median,user,system,min,max (labels hold commas: quoted).
python3 - "$work/times.csv" <<'PY'
import csv, sys
for row in csv.DictReader(open(sys.argv[1])):
    print("| %s | %.3f ± %.3f | %.3f | %.3f | %.3f |" % (
        row["command"], float(row["mean"]), float(row["stddev"]), float(row["min"]),
        float(row["user"]), float(row["system"])))
PY
echo
echo "Peak resident memory, 10,000 files, quick columns: --html $((rss_html / 1024)) MB" \
    "(report $report_kb KB), table -j 1 $((rss_table / 1024)) MB."
