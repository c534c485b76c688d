#!/usr/bin/env bash
# Builds and runs every test under the address and undefined-behaviour
# sanitizers, and the threaded ones (the workers, the cache, the CLI's jobs and
# the user interface with its list worker) under the thread sanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" "${test_packages[@]}"
jobs=$(nproc)

asan="$top/build/asan"
(cd "$top" && cmake --preset asan >/dev/null)
cmake --build "$asan"
# Libraries Qt Multimedia loads keep some memory to the end (see the file).
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS="suppressions=$top/tests/ui/lsan.supp" \
    ctest --test-dir "$asan" --output-on-failure -j "$jobs"

tsan="$top/build/tsan"
(cd "$top" && cmake --preset tsan >/dev/null)
cmake --build "$tsan" --target work_tests store_tests cli_tests ui_tests
# The threaded tests, several times over: races show up only now and then.
# Qt's own threads need the suppressions (see the file).
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/tests/ui/tsan.supp" \
    ctest --test-dir "$tsan" --output-on-failure -j "$jobs" --repeat until-fail:3 \
    -R '^(ListWorker|DetailsWorker|DataCache|ScanCommand)\.|^ui_tests$'
