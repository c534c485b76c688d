#!/usr/bin/env bash
# Builds Vandrel and runs it on a folder: the one given, else your music
# folder, else the bundled sample files.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}"

build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build"

folder=${1:-}
if [ -z "$folder" ]; then
    music=$(command -v xdg-user-dir >/dev/null && xdg-user-dir MUSIC || echo "$HOME/Music")
    if [ -d "$music" ] && [ "$music" != "$HOME" ]; then
        folder=$music
    else
        folder="$top/tests/data/audio"
    fi
fi
exec "$build/src/cli/vandrel-scan" -r "$folder"
