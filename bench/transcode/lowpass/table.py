#!/usr/bin/python3
"""Joins the rows of measure.sh with what vandrel-scan read of the files and
writes lowpass.tsv (one row per encode) and RESULTS.md (one table per encoder).

    table.py ROWS.tsv SCAN.json LAME_PICKED.tsv OUT.tsv OUT.md
"""

import json
import os
import sys

RATES = ["32000", "44100", "48000"]
HEADER = ["encoder", "setting", "rate", "file_rate", "kbps", "lame_filter_hz",
          "tag_lowpass_hz", "cutoff_hz", "lame_picks_rate"]

TITLES = {
    "lame-cbr": ("lame 3.100, CBR (`-b N --resample RATE`)", "kbit/s"),
    "lame-vbr": ("lame 3.100, VBR (`-V N --resample RATE`)", "-V"),
    "ffmpeg-lame": ("ffmpeg, libmp3lame CBR (`-b:a Nk`, defaults otherwise)", "kbit/s"),
    "ffmpeg-lame-vbr": ("ffmpeg, libmp3lame VBR (`-q:a N`)", "-q:a"),
    "shine": ("ffmpeg, libshine (`-b:a Nk`)", "kbit/s"),
    "twolame": ("twolame, Layer II (`-b N`)", "kbit/s"),
    "aac": ("ffmpeg, native AAC (`-c:a aac -b:a Nk`)", "kbit/s"),
    "vorbis": ("ffmpeg, libvorbis (`-b:a Nk`)", "kbit/s"),
    "opus": ("ffmpeg, libopus (`-b:a Nk`; decoded at 48 kHz)", "kbit/s"),
}


def read_rows(path):
    rows = []
    with open(path) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            fields += [""] * (6 - len(fields))
            rows.append(dict(zip(["encoder", "setting", "rate", "file_rate", "lame_filter_hz",
                                  "cutoff_hz"], fields)))
    return rows


def read_scan(path):
    """File name without extension -> (average kbit/s, LAME tag lowpass in Hz)."""
    try:
        with open(path) as f:
            files = json.load(f)
    except (OSError, ValueError):
        return {}
    out = {}
    for entry in files:
        record = entry.get("record") or {}
        xing = record.get("xing") or {}
        name = os.path.splitext(entry["name"])[0]
        out[name] = (str(record.get("average_bitrate", "")), str(xing.get("lowpass", "")))
    return out


def read_picked(path):
    picked = {}
    with open(path) as f:
        for line in f:
            encoder, setting, rate, chosen = (line.rstrip("\n").split("\t") + [""] * 4)[:4]
            picked[(encoder, setting, rate)] = chosen
    return picked


def setting_key(value):
    try:
        return (0, float(value))
    except ValueError:
        return (1, value)


def cell(row):
    """What a table cell shows: the cutoff, and lame's filter and tag where known."""
    if row["cutoff_hz"] == "refused" or row["file_rate"] == "":
        return "refused"
    parts = []
    if row["lame_filter_hz"]:
        parts.append("filter " + row["lame_filter_hz"].replace("-", "–"))
    if row["tag_lowpass_hz"] not in ("", "0"):
        parts.append("tag " + row["tag_lowpass_hz"])
    parts.append("**" + row["cutoff_hz"] + "**")
    if row["file_rate"] != row["rate"]:
        parts.append(f"(at {int(row['file_rate']) / 1000:g} kHz)")
    return " ".join(parts)


def write_markdown(rows, path):
    by_encoder = {}
    for row in rows:
        by_encoder.setdefault(row["encoder"], {})[(row["setting"], row["rate"])] = row
    lines = []
    for encoder, (title, unit) in TITLES.items():
        cells = by_encoder.get(encoder)
        if not cells:
            continue
        lines += ["", f"### {title}", ""]
        picks = encoder in ("lame-cbr", "lame-vbr")
        head = [unit] + [f"{int(r) / 1000:g} kHz" for r in RATES]
        if picks:
            head.append("lame's own rate from 32 / 44.1 / 48 kHz")
        lines.append("| " + " | ".join(head) + " |")
        lines.append("|" + "---|" * len(head))
        for setting in sorted({s for s, _ in cells}, key=setting_key):
            line = [setting] + [cell(cells[(setting, r)]) if (setting, r) in cells else ""
                                for r in RATES]
            if picks:
                line.append(" / ".join(f"{int(cells[(setting, r)]['lame_picks_rate']) / 1000:g}"
                                       if cells.get((setting, r), {}).get("lame_picks_rate")
                                       else "?" for r in RATES))
            lines.append("| " + " | ".join(line) + " |")
    text = ""
    if os.path.exists(path):
        with open(path) as f:
            text = f.read()
    marker = "<!-- measure.sh writes the tables below -->"
    head = text.split(marker)[0] if marker in text else text + "\n"
    with open(path, "w") as f:
        f.write(head + marker + "\n" + "\n".join(lines) + "\n")


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    rows = read_rows(argv[0])
    scan = read_scan(argv[1])
    picked = read_picked(argv[2])
    for row in rows:
        name = f"{row['encoder']}_{row['setting']}_{row['rate']}"
        row["kbps"], row["tag_lowpass_hz"] = scan.get(name, ("", ""))
        row["lame_picks_rate"] = picked.get((row["encoder"], row["setting"], row["rate"]), "")
    rows.sort(key=lambda r: (r["encoder"], int(r["rate"]), setting_key(r["setting"])))
    with open(argv[3], "w") as f:
        f.write("\t".join(HEADER) + "\n")
        for row in rows:
            f.write("\t".join(row.get(k, "") for k in HEADER) + "\n")
    write_markdown(rows, argv[4])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
