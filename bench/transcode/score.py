#!/usr/bin/python3
"""Scores the upscale verdict on a transcode test set (make_set.sh) and prints
Markdown tables.

    score.py SETFOLDER [VANDREL_SCAN]

Runs VANDREL_SCAN (default: build/test/src/cli/vandrel-scan of this tree)
with --format json over SETFOLDER/set, reads each file's "Upscaled?"
attribute ("probably", "no"; anything else, such as "" or "--", counts as
unknown) and its upscale finding, and joins them with SETFOLDER/manifest.tsv.

A re-encode counts as detectable when its source leaves an edge of its own:
the source's cutoff is at most kDetectableHz and lies kEdgeMarginHz or more
under the cutoff of the signal it was made from. Where the material ends
first (a dark signal, a master lowpassed under the source's lowpass) no
edge of the source is left, and nothing tells the re-encode from an original.
"""

import csv
import json
import os
import statistics
import subprocess
import sys

kDetectableHz = 19000
kEdgeMarginHz = 500
kValues = ("probably", "no", "unknown")


def read_manifest(folder):
    with open(os.path.join(folder, "manifest.tsv"), newline="") as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    for row in rows:
        row["source_cutoff_hz"] = int(row["source_cutoff_hz"] or 0)
        row["signal_cutoff_hz"] = int(row["signal_cutoff_hz"] or 0)
    return rows


def scan(folder, program):
    """Relative path -> (verdict value, upscale finding's detail or "")."""
    out = subprocess.run([program, "-q", "-r", "-j", "2", "--format", "json",
                          os.path.join(folder, "set")],
                         check=False, capture_output=True, text=True).stdout
    results = {}
    for entry in json.loads(out):
        value = (entry.get("attributes") or {}).get("Upscaled?", "")
        details = [f.get("detail", "") for f in entry.get("findings") or []
                   if "upscal" in f.get("text", "").lower()]
        rel = os.path.relpath(os.path.realpath(entry["path"]), os.path.realpath(folder))
        results[rel] = (value if value in ("probably", "no") else "unknown",
                        details[0] if details else "")
    return results


def detectable(row):
    cutoff = row["source_cutoff_hz"]
    return cutoff <= kDetectableHz and cutoff <= row["signal_cutoff_hz"] - kEdgeMarginHz


def share(part, whole):
    return f"{part}/{whole} ({100.0 * part / whole:.0f} %)" if whole else "0/0"


def counts(rows):
    c = {v: 0 for v in kValues}
    for row in rows:
        c[row["value"]] += 1
    return c


def group_table(title, key_name, groups, extra=None):
    """A table of the shares of each value per group; `extra` adds a column."""
    head = [key_name, "files"] + [f'"{v}"' for v in kValues]
    if extra:
        head.append(extra[0])
    lines = ["", f"## {title}", "", "| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for key, rows in groups:
        c = counts(rows)
        line = [key, str(len(rows))] + [share(c[v], len(rows)) for v in kValues]
        if extra:
            line.append(extra[1](rows))
        lines.append("| " + " | ".join(line) + " |")
    return lines


def grouped(rows, key):
    groups = {}
    for row in rows:
        groups.setdefault(key(row), []).append(row)
    return sorted(groups.items())


def overall(rows):
    reencodes = [r for r in rows if r["kind"] == "reencode"]
    originals = [r for r in rows if r["kind"] == "original"]
    found = [r for r in reencodes if detectable(r)]
    hidden = [r for r in reencodes if not detectable(r) and r["source_cutoff_hz"] <= kDetectableHz]
    fullband = [r for r in reencodes if r["source_cutoff_hz"] > kDetectableHz]
    c_found, c_hidden, c_full = counts(found), counts(hidden), counts(fullband)
    c_orig, c_all = counts(originals), counts(rows)
    c_below = counts(found + hidden)
    return [
        "| measure | files | goal |",
        "|---|---|---|",
        f'| detection: re-encodes whose source leaves an edge at or below {kDetectableHz} Hz, '
        f'"probably" | {share(c_found["probably"], len(found))} | 95 % or more |',
        f'| the same, "no" | {share(c_found["no"], len(found))} | |',
        f'| every re-encode whose source ends at or below {kDetectableHz} Hz, "probably" | '
        f'{share(c_below["probably"], len(found) + len(hidden))} | |',
        f'| false flags: originals "probably" | {share(c_orig["probably"], len(originals))} | none |',
        f'| re-encodes of full-band sources (over {kDetectableHz} Hz), "no" | '
        f'{share(c_full["no"], len(fullband))} | none ("unknown" is right) |',
        f'| re-encodes whose material ends before the source\'s edge, "probably" | '
        f'{share(c_hidden["probably"], len(hidden))} | |',
        f'| "unknown", all files | {share(c_all["unknown"], len(rows))} | |',
    ]


def report(folder, program, rows):
    reencodes = [r for r in rows if r["kind"] == "reencode"]
    originals = [r for r in rows if r["kind"] == "original"]
    made = ""
    try:
        with open(os.path.join(folder, "work", "seed")) as f:
            seed, seconds = f.read().split()
        made = f" (seed {seed}, {seconds} s a file)"
    except (OSError, ValueError):
        pass
    lines = ["# Upscale verdict on the transcode set", "",
             f"{len(rows)} files ({len(reencodes)} re-encodes, {len(originals)} originals) "
             f"of a set made by make_set.sh{made}, scanned by `{program}`.",
             "", "## Overall", ""] + overall(rows)
    median = ("source cutoff (median Hz)",
              lambda rs: str(int(statistics.median(r["source_cutoff_hz"] for r in rs))))
    lines += group_table("Re-encodes per chain", "chain",
                         grouped(reencodes, lambda r: r["chain"]), median)
    lines += group_table("Detectable re-encodes per signal", "signal",
                         grouped([r for r in reencodes if detectable(r)], lambda r: r["signal"]))
    lines += group_table("Originals per setting", "setting",
                         grouped(originals, lambda r: r["target"]),
                         ("false flags", lambda rs: str(counts(rs)["probably"])))
    flagged = [r for r in originals if r["value"] == "probably"]
    if flagged:
        lines += ["", "## False flags", "", "| file | finding |", "|---|---|"]
        lines += [f'| {r["file"]} | {r["detail"]} |' for r in flagged]
    return lines


def main(argv):
    if not 1 <= len(argv) <= 2:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    folder = argv[0]
    here = os.path.dirname(os.path.abspath(__file__))
    program = argv[1] if len(argv) == 2 else os.path.join(
        here, "..", "..", "build", "test", "src", "cli", "vandrel-scan")
    program = os.path.abspath(program)
    rows = read_manifest(folder)
    results = scan(folder, program)
    missing = [r["file"] for r in rows if r["file"] not in results]
    if missing:
        print(f"{len(missing)} files of the manifest were not scanned (counted unknown), "
              f"such as {missing[0]}", file=sys.stderr)
    for row in rows:
        row["value"], row["detail"] = results.get(row["file"], ("unknown", ""))
    shown = os.path.relpath(program) if program.startswith(os.getcwd()) else program
    print("\n".join(report(folder, shown, rows)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
