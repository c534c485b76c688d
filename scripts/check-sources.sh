#!/usr/bin/env bash
# The cheap checks of the sources that CI runs first: every C++ file formatted
# as clang-format formats it, includes in the order of the layers (and of the
# engine's folders), and no function over 100 lines.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${check_packages[@]}"
python3 "$top/scripts/check_sources.py" "$@"
