#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over every source file of
# src/, on the compile commands of the test build (made first when missing).
#   scripts/tidy.sh [FILE_REGEX]     (default: every .cpp under src/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" clang-tidy
build="$top/build/test"
[ -f "$build/compile_commands.json" ] || (cd "$top" && cmake --preset test >/dev/null)
# The Qt targets' generated sources must exist for their files to parse.
cmake --build "$build" --target vandrel_ui_autogen >/dev/null
regex=${1:-"^$top/src/.*\\.cpp\$"}
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$regex"
