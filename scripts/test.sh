#!/usr/bin/env bash
# Builds Vandrel with warnings as errors and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" "${test_packages[@]}" "${run_packages[@]}"

build="$top/build/test"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_WERROR=ON
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
