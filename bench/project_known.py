#!/usr/bin/env python3
"""Reduces a newer build's JSON output to what an older build's holds.

    bench/project_known.py BEFORE AFTER

Prints AFTER with only the object keys (at every depth) that BEFORE has, and
BEFORE itself when AFTER is "-", both printed the same way, so that keys added
since then do not hide a change in the ones that were there. Every value and
its type are kept exactly (1 and 1.0 stay apart).
"""
import json
import sys


def project(before, after):
    if isinstance(before, dict) and isinstance(after, dict):
        return {k: project(before[k], v) for k, v in after.items() if k in before}
    if isinstance(before, list) and isinstance(after, list) and len(before) == len(after):
        return [project(b, a) for b, a in zip(before, after)]
    return after


def load(path):
    text = open(path, encoding="utf-8").read()
    return json.loads(text) if text.strip() else None


def main():
    before = load(sys.argv[1])
    after = before if sys.argv[2] == "-" else load(sys.argv[2])
    if before is not None and after is not None:
        after = project(before, after)
    print(json.dumps(after, indent=2, ensure_ascii=False))


if __name__ == "__main__":
    main()
