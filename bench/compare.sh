#!/usr/bin/env bash
# Times vandrel-scan next to `cat` and to other MPEG audio tools, in one run,
# on the same files in the page cache, and prints a Markdown table: wall time,
# MB/s and the ratio of each to `cat`. Then the figures of the goals: -j 2
# against -j 1, 1000 files answered from a warm cache, and the peak resident
# memory of a 10,000-file run.
#
#   bench/compare.sh CORPUS [RUNS]
#
# CORPUS: a folder of MP3 files (bench/make_corpus.sh makes one). RUNS: timed
# runs per command (default 10, after one warm-up run). VANDREL_SCAN names the
# vandrel-scan to time; by default a Release build is made in build/compare.
# BASELINE_SCAN, when set, names an older vandrel-scan whose full scan is timed
# in the same run, and the throughput of the two is compared.
# The folders of the cache and memory runs are made next to CORPUS (hard links
# where the file system allows) and removed at the end.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 CORPUS [RUNS]" >&2
    exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
corpus=$(cd "$1" && pwd)
runs=${2:-10}

source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" hyperfine time mp3val mp3check mp3guessenc mediainfo
if [ -z "${VANDREL_SCAN:-}" ]; then
    "$top/scripts/ensure-packages.sh" "${build_packages[@]}"
    cmake -S "$top" -B "$top/build/compare" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANDREL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$top/build/compare" --target vandrel-scan >/dev/null
    VANDREL_SCAN=$top/build/compare/src/cli/vandrel-scan
fi
scan=$(realpath "$VANDREL_SCAN")

work=$(mktemp -d "$(dirname "$corpus")/vandrel-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
find "$corpus" -maxdepth 1 -type f -iname '*.mp3' | LC_ALL=C sort >"$work/files"
file_count=$(wc -l <"$work/files")
if [ "$file_count" -eq 0 ]; then
    echo "$0: no MP3 files in $corpus" >&2
    exit 1
fi
bytes=$(xargs -d '\n' -a "$work/files" stat -c %s | awk '{ s += $1 } END { print s }')
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')

# A folder of `count` links to the first 300,000 bytes of the corpus files
# (cut short, as real libraries have some): many files that are quick to read.
make_folder() {  # folder count
    local folder=$1 count=$2 i=0 source
    mkdir -p "$folder" "$work/short"
    while read -r source; do
        head -c 300000 "$source" >"$work/short/$i.mp3"
        i=$((i + 1))
        [ "$i" -ge 20 ] && break
    done <"$work/files"
    local shorts=$i
    for ((i = 0; i < count; i++)); do
        local name
        name=$(printf '%s/%05d.mp3' "$folder" "$i")
        ln "$work/short/$((i % shorts)).mp3" "$name" 2>/dev/null ||
            cp "$work/short/$((i % shorts)).mp3" "$name"
    done
}
make_folder "$work/files1000" 1000
make_folder "$work/files10000" 10000

# Warm the page cache, and fill the caches the timed runs are answered from.
for _ in 1 2; do
    xargs -d '\n' -a "$work/files" cat >/dev/null
    cat "$work/short/"* >/dev/null
done
"$scan" -q -j 1 --cache "$work/corpus.dat" --cache-max-kb 4000 "$corpus" >/dev/null
"$scan" -q -j 1 --cache "$work/1000.dat" --cache-max-kb 4000 "$work/files1000" >/dev/null

# label|command, run without a shell; output goes to /dev/null.
commands=(
    "cat|xargs -d '\\n' -a '$work/files' cat"
    "vandrel-scan -j 1 (full scan)|'$scan' -q -j 1 '$corpus'"
    ${BASELINE_SCAN:+"baseline vandrel-scan -j 1 (full scan)|'$(realpath "$BASELINE_SCAN")' -q -j 1 '$corpus'"}
    "vandrel-scan -j 2 (full scan)|'$scan' -q -j 2 '$corpus'"
    "vandrel-scan -j 1 --frames 1000|'$scan' -q -j 1 --frames 1000 '$corpus'"
    "vandrel-scan -j 2 --frames 1000|'$scan' -q -j 2 --frames 1000 '$corpus'"
    "vandrel-scan -j 1 --music-crc (scan + CRC)|'$scan' -q -j 1 --music-crc '$corpus'"
    "vandrel-scan -j 1 answered from a warm cache|'$scan' -q -j 1 --cache '$work/corpus.dat' --cache-max-kb 4000 '$corpus'"
    "mp3val|xargs -d '\\n' -a '$work/files' mp3val"
    "mp3check -e|xargs -d '\\n' -a '$work/files' mp3check -e"
    "mp3guessenc (one process per file)|xargs -d '\\n' -a '$work/files' -n 1 mp3guessenc"
    "mp3guessenc -r (music CRC)|xargs -d '\\n' -a '$work/files' -n 1 mp3guessenc -r"
    "mediainfo --ParseSpeed=1|xargs -d '\\n' -a '$work/files' mediainfo --ParseSpeed=1"
)
hyperfine_args=()
for entry in "${commands[@]}"; do
    hyperfine_args+=(-n "${entry%%|*}" "${entry#*|}")
done
# Nonzero exits are allowed: the checkers report damaged files that way.
hyperfine -N -i --style none --warmup 1 --runs "$runs" --export-csv "$work/times.csv" \
    "${hyperfine_args[@]}" >"$work/hyperfine.log" 2>&1 || {
    cat "$work/hyperfine.log" >&2
    exit 1
}

# Warm cache over 1000 files: all records answered, cache saved.
hyperfine -N --style none --warmup 1 --runs "$runs" --export-csv "$work/cache.csv" \
    -n "1000 files" "'$scan' -q -j 1 --cache '$work/1000.dat' --cache-max-kb 4000 '$work/files1000'" \
    >/dev/null 2>&1

# Peak resident memory of 10,000 files in one run.
peak_kb() {  # options...
    /usr/bin/time -f %M "$scan" -q "$@" "$work/files10000" 2>&1 >/dev/null | tail -1 || true
}
rss_table=$(peak_kb -j 1)
rss_table2=$(peak_kb -j 2)
rss_json=$(peak_kb -j 2 --format json)

echo "Corpus: $file_count files, $mb MB ($corpus); $runs runs per command, warm page cache."
echo "Machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs);" \
    "$(uname -sr); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "| command | wall s (mean ± σ) | min s | MB/s | × cat |"
echo "|---|---:|---:|---:|---:|"
# CSV columns: command,mean,stddev,median,user,system,min,max
awk -F, -v mb="$mb" 'NR == 1 { next }
    { name[NR] = $1; mean[NR] = $2; sd[NR] = $3; min[NR] = $7; if ($1 == "cat") cat = $2 }
    END {
        for (i = 2; i <= NR; i++)
            printf "| %s | %.3f ± %.3f | %.3f | %.0f | %.2f |\n",
                name[i], mean[i], sd[i], min[i], mb / mean[i], mean[i] / cat
    }' "$work/times.csv"
echo
awk -F, '$1 == "vandrel-scan -j 1 (full scan)" { one = $2 }
    $1 == "vandrel-scan -j 2 (full scan)" { two = $2 }
    END { printf "Full scan -j 2 against -j 1: %.2f times the throughput.\n", one / two }' \
    "$work/times.csv"
if [ -n "${BASELINE_SCAN:-}" ]; then
    awk -F, '$1 == "vandrel-scan -j 1 (full scan)" { now = $2 }
        $1 == "baseline vandrel-scan -j 1 (full scan)" { then = $2 }
        END { printf "Full scan -j 1 against the baseline build: %.1f %% of its throughput.\n",
              100 * then / now }' "$work/times.csv"
fi
awk -F, 'NR == 2 { printf "1000 files answered from a warm cache: %.3f s ± %.3f (min %.3f).\n", $2, $3, $7 }' \
    "$work/cache.csv"
echo "Peak resident memory, 10,000 files (table output): $((rss_table / 1024)) MB with -j 1," \
    "$((rss_table2 / 1024)) MB with -j 2; JSON output, -j 2: $((rss_json / 1024)) MB."
