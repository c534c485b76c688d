#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while over a copy of
# its committed seeds:  scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Findings (crash-*, leak-*, timeout-* files) are left in build/fuzz/findings.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" clang-14 libclang-rt-14-dev

build="$top/build/fuzz"
(cd "$top" && cmake --preset fuzz >/dev/null)
cmake --build "$build"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=($(ls "$top/fuzz/corpus"))
fi
findings="$build/findings"
mkdir -p "$findings"
status=0
for target in "${targets[@]}"; do
    work=$(mktemp -d)
    cp -r "$top/fuzz/corpus/$target/." "$work/"
    echo "== $target: ${seconds}s"
    if ! (cd "$findings" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 "$work" 2>"$findings/$target.log"); then
        echo "!! $target found a problem; see $findings/$target.log"
        status=1
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov:' "$findings/$target.log" |
        tail -3
    rm -rf "$work"
done
exit $status
