#!/usr/bin/env bash
# Builds Vandrel and starts it. Without arguments it opens the start folder of
# its settings (the folder it showed last, with "Use most recent"), or your
# music folder; with neither, the program opens the example files of
# data/examples by itself. A folder or files given here are opened instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" "${run_packages[@]}"

build="$top/build/release"
(cd "$top" && cmake --preset release >/dev/null)
cmake --build "$build"
exec "$build/src/app/vandrel" "$@"
