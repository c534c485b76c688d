#!/usr/bin/env bash
# Cross-checks vandrel-scan against tools that know nothing of it: ffprobe
# (stream kind, rate, channels, length, frames), mediainfo (encoder, LAME tag,
# VBR, encoder settings) and mutagen (Xing/LAME header fields, ID3v1 tag).
# Prints, for each field, how many files agree, how many disagree for a reason
# listed in bench/crosscheck.py (a rule the program keeps on purpose, or a
# known way of the other tool) and how many disagree unexplained, with example
# files and both values; then the files vandrel-scan refuses, with its message.
#
#   bench/crosscheck.sh [VANDREL_SCAN] [FOLDER...] [--examples N] [--answers FILE]
#
# VANDREL_SCAN: default the newer of build/bench's and build/test's.
# FOLDERs (searched recursively, every file given to vandrel-scan by name):
# default ../shared/samples and tests/data/audio. Options are handed to
# bench/crosscheck.py (see its --help). Exit status: 0 when every disagreement
# is explained, 1 when some are not, 2 for a usage error.
#
# Installs ffmpeg, mediainfo and python3-mutagen when they are missing (Debian
# packages, through apt-get); it downloads nothing else.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)

scan=
folders=()
options=()
while [ $# -gt 0 ]; do
    case $1 in
    -h | --help)
        sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    --*)
        # An option of the Python helper, with its value.
        if [ $# -lt 2 ]; then
            echo "$0: $1 needs a value" >&2
            exit 2
        fi
        options+=("$1" "$2")
        shift 2
        continue
        ;;
    esac
    if [ -z "$scan" ] && [ ${#folders[@]} -eq 0 ] && [ -f "$1" ] && [ -x "$1" ]; then
        scan=$(realpath "$1")
    elif [ -d "$1" ]; then
        folders+=("$1")
    else
        echo "$0: $1 is neither a vandrel-scan nor a folder" >&2
        exit 2
    fi
    shift
done

if [ -z "$scan" ]; then
    # The newer of the benchmark and the test build's.
    for build in bench test; do
        candidate=$top/build/$build/src/cli/vandrel-scan
        if [ -x "$candidate" ] && { [ -z "$scan" ] || [ "$candidate" -nt "$scan" ]; }; then
            scan=$candidate
        fi
    done
fi
if [ -z "$scan" ]; then
    echo "$0: no vandrel-scan in build/bench or build/test; build one" \
        "(cmake --build build/test --target vandrel-scan) or name it" >&2
    exit 2
fi

if [ -n "$(find "$top/src" -newer "$scan" -type f -print -quit)" ]; then
    echo "(note: $scan is older than some of src/: rebuild it to check today's code)" >&2
fi

if [ ${#folders[@]} -eq 0 ]; then
    # The shared samples are not there on every machine; our fixtures are.
    for folder in "$top/../shared/samples" "$top/tests/data/audio"; do
        if [ -d "$folder" ]; then
            folders+=("$folder")
        else
            echo "($folder is not there: left out)" >&2
        fi
    done
fi

# mutagen is Debian's, for Debian's Python: the helper runs under /usr/bin/python3.
"$top/scripts/ensure-packages.sh" ffmpeg mediainfo python3-mutagen

echo "vandrel-scan: $scan"
echo "folders: ${folders[*]}"
echo "tools: $(ffprobe -version | head -n 1 | cut -d' ' -f1-3)," \
    "$(mediainfo --Version | tail -n 1)," \
    "mutagen $(/usr/bin/python3 -c 'import mutagen; print(mutagen.version_string)')"
echo
exec /usr/bin/python3 "$top/bench/crosscheck.py" --scan "$scan" "${options[@]}" "${folders[@]}"
