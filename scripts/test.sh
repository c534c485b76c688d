#!/usr/bin/env bash
# Builds Vandrel with warnings as errors and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/packages.sh"
"$top/scripts/ensure-packages.sh" "${build_packages[@]}" "${test_packages[@]}" "${run_packages[@]}"

build="$top/build/test"
(cd "$top" && cmake --preset test)
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# What an installation holds: install into a scratch prefix, check the files
# the desktop and the package need are there and valid, and start both
# programs from it.
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
for file in bin/vandrel bin/vandrel-scan share/vandrel/template.html \
    share/applications/org.vandrel.Vandrel.desktop \
    share/icons/hicolor/scalable/apps/org.vandrel.Vandrel.svg \
    share/metainfo/org.vandrel.Vandrel.metainfo.xml \
    share/man/man1/vandrel.1.gz share/man/man1/vandrel-scan.1.gz \
    share/bash-completion/completions/vandrel-scan share/doc/vandrel/user-guide.html; do
    [ -f "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
[ -n "$(ls "$share/vandrel/examples")" ] || { echo "no example files installed" >&2; exit 1; }
desktop-file-validate "$share/applications/org.vandrel.Vandrel.desktop"
catalog=$(appstreamcli validate --no-net --no-color "$share/metainfo/org.vandrel.Vandrel.metainfo.xml") ||
    { echo "$catalog" >&2; exit 1; }
# A manual page is clean when groff has nothing to say about it.
for page in "$top/data/man/vandrel.1" "$top/data/man/vandrel-scan.1"; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page:" >&2; echo "$warnings" >&2; exit 1; }
done
echo "installed: $("$prefix/bin/vandrel-scan" --version), $("$prefix/bin/vandrel" --version)"
