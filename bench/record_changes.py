#!/usr/bin/env python3
"""Lists the files whose analysis differs between two builds of vandrel-scan,
and which fields differ, grouped by the set of fields that changed.

    bench/record_changes.py BEFORE_SCAN AFTER_SCAN FOLDER...

Where bench/same_results.sh says that two builds differ, this says where:
every record field (flattened, "xing.lame_version") and every attribute text
that is not the same, for each file, with the values before and after.
"""

import collections
import json
import subprocess
import sys


def scan(binary, folders):
    result = subprocess.run([binary, "-q", "-r", "-j", "1", "--format", "json", "--music-crc",
                             *folders], capture_output=True, text=True, errors="replace")
    return {entry["path"]: entry for entry in json.loads(result.stdout)}


def flatten(value, prefix=""):
    if isinstance(value, dict):
        out = {}
        for key, inner in value.items():
            out.update(flatten(inner, f"{prefix}{key}." if prefix or key else key))
        return out
    return {prefix.rstrip("."): value}


def fields(entry):
    out = {f"record.{k}": v for k, v in flatten(entry.get("record") or {}).items()}
    out.update({f"text.{k}": v for k, v in (entry.get("attributes") or {}).items()})
    out["error"] = entry.get("error")
    return out


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    before, after = scan(sys.argv[1], sys.argv[3:]), scan(sys.argv[2], sys.argv[3:])
    groups = collections.defaultdict(list)
    for path in sorted(set(before) | set(after)):
        old, new = fields(before.get(path, {})), fields(after.get(path, {}))
        changed = {k: (old.get(k), new.get(k)) for k in sorted(set(old) | set(new))
                   if old.get(k) != new.get(k)}
        if changed:
            groups[tuple(changed)].append((path, changed))
    total = sum(len(files) for files in groups.values())
    print(f"{total} of {len(after)} files differ")
    for keys, files in sorted(groups.items(), key=lambda item: -len(item[1])):
        print(f"\n{len(files)} files: {', '.join(keys)}")
        for path, changed in files[:5]:
            print(f"  {path}")
            for key, (old, new) in changed.items():
                print(f"    {key}: {old!r} -> {new!r}")
        if len(files) > 5:
            print(f"  ... and {len(files) - 5} more: " +
                  ", ".join(path.rsplit("/", 1)[-1] for path, _ in files[5:20]))


if __name__ == "__main__":
    main()
