#!/usr/bin/env python3
"""Turns bandwidth_probe's rows into the Markdown tables of TABLE.md.

    make_table.py estimates.tsv spectrum.tsv samples.tsv > table.md

File names say what a file is (see measure.sh): SIGNAL.ENCODER_SETTING.mp3 is
an encode of a signal, SIGNAL.SOURCE-to-ENCODER_SETTING.mp3 a re-encode of a
decoded lame encode at setting SOURCE. Each cell gives the bandwidth (95 % of
the long-block granules stay under it) and the reach (99 %) in kHz, and the
verdict: F flagged as made from a lower-bitrate source, ok full bandwidth,
- not judged.
"""

import os
import sys

SIGNALS = ["music", "transients", "dense", "plucks", "quiet", "dark5", "dark10", "dark15",
           "dark20", "dark25", "dark30", "dark40", "pink", "music48", "recording"]
MARK = {"UPSCALED": "F", "full": "ok", "-": "-"}


def read_rows(path):
    """bandwidth_probe's columns: file, layer, rate, CBR/VBR, kbit/s, frames,
    long-block granules, short-block granules, VBR scale, LAME lowpass,
    bandwidth at 50, 90, 95 and 99 %, verdict, reason."""
    rows = []
    with open(path) as f:
        for line in f:
            c = line.rstrip("\n").split("\t")
            name = os.path.basename(c[0])
            signal, _, rest = name.partition(".")
            setting = rest.rsplit(".", 1)[0]
            source = None
            if "-to-" in setting:
                source, setting = setting.split("-to-")
            rows.append({
                "path": c[0], "name": name, "signal": signal, "setting": setting,
                "source": source, "layer": c[1], "rate": c[2], "control": c[3],
                "kbps": int(c[4]), "granules": c[6], "vbr_scale": c[8], "lowpass": c[9],
                "p95": c[12], "p99": c[13], "verdict": c[14], "reason": c[15],
            })
    return rows


def khz(hz):
    return "%.1f" % (int(hz) / 1000)


def cell(row):
    if row["p95"] == "-":
        return "no estimate"
    text = "%s/%s %s" % (khz(row["p95"]), khz(row["p99"]), MARK[row["verdict"]])
    if row["control"] == "VBR":
        text += " (%d)" % row["kbps"]
    if row["rate"] not in ("44100", "48000"):
        text += " @%d kHz" % (int(row["rate"]) // 1000)
    return text


def matrix(rows, key, title):
    signals = [s for s in SIGNALS if any(r["signal"] == s for r in rows)]
    keys = []
    for r in rows:
        if key(r) not in keys:
            keys.append(key(r))
    print("| %s | %s |" % (title, " | ".join(signals)))
    print("|---|" + "---|" * len(signals))
    for k in keys:
        cells = []
        for s in signals:
            found = [r for r in rows if key(r) == k and r["signal"] == s]
            cells.append(cell(found[0]) if found else "")
        print("| %s | %s |" % (k, " | ".join(cells)))
    print()


def order(setting):
    """lame settings first (CBR by bitrate, then VBR, ABR), then the others."""
    encoder, _, value = setting.rpartition("_")
    groups = ["lame", "lame_q0", "lame_stereo", "lame_vbrold", "ffmpeg_lame", "ffmpeg_shine",
              "twolame", "ffmpeg_mp2"]
    group = groups.index(encoder) if encoder in groups else len(groups)
    kind = {"b": 0, "V": 1, "a": 2}.get(value[:1], 3)
    number = float(value.lstrip("abrV").replace("dither", ".1").replace("shaped", ".2") or 0)
    return (group, kind, number)


def main():
    rows = read_rows(sys.argv[1])
    samples = read_rows(sys.argv[3]) if len(sys.argv) > 3 else []
    originals = sorted([r for r in rows if r["source"] is None], key=lambda r: order(r["setting"]))
    transcodes = sorted([r for r in rows if r["source"] is not None],
                        key=lambda r: (order(r["source"]), order(r["setting"])))

    print("## Encodes of the signals\n")
    matrix(originals, lambda r: r["setting"].replace("_", " "), "encoder and setting")
    print("## Re-encodes of a decoded lame encode\n")
    matrix(transcodes, lambda r: "%s → %s" % (r["source"], r["setting"].replace("_", " ")),
           "source → encoder and setting")

    # What each group of files got.
    print("## Verdicts by group\n")
    print("| files | count | flagged | full | not judged |")
    print("|---|---|---|---|---|")

    def line(label, group):
        if group:
            count = {v: sum(1 for r in group if r["verdict"] == v) for v in MARK}
            print("| %s | %d | %d | %d | %d |" % (
                label, len(group), count["UPSCALED"], count["full"], count["-"]))

    encodes = [r for r in rows if r["source"] is None and r["layer"] == "L3"]
    line("encodes of the synthetic signals", [r for r in encodes if r["signal"] != "recording"])
    line("encodes of the recording", [r for r in encodes if r["signal"] == "recording"])
    for source in sorted({r["source"] for r in rows if r["source"]}, key=order):
        line("re-encodes from %s" % source, [r for r in rows if r["source"] == source])
    print()

    # The files whose histogram decided (not their bitrate, VBR setting,
    # sampling rate or length) and that are not full bandwidth: the encodes
    # must all be kept from a flag, by the floor or by their reach.
    decided = [r for r in rows if r["p95"] != "-" and int(r["p95"]) < 18000 and (
        r["verdict"] == "UPSCALED" or "16 kHz" in r["reason"] or "widest" in r["reason"])]
    print("## Encodes judged but not full bandwidth, and what kept them from a flag\n")
    print("| file | bandwidth | reach | verdict |")
    print("|---|---|---|---|")
    for r in sorted([r for r in decided if r["source"] is None],
                    key=lambda r: (int(r["p99"]), int(r["p95"]))):
        print("| %s | %s | %s | %s |" % (r["name"], r["p95"], r["p99"], r["reason"]))
    print()
    caught = [r for r in decided if r["verdict"] == "UPSCALED"]
    if caught:
        print("Re-encodes flagged: bandwidth %s to %s Hz, reach %s to %s Hz.\n" % (
            min(int(r["p95"]) for r in caught), max(int(r["p95"]) for r in caught),
            min(int(r["p99"]) for r in caught), max(int(r["p99"]) for r in caught)))

    print_samples(samples)

    print("## The estimate next to the spectrum of the decoded audio\n")
    estimate = {r["name"].rsplit(".", 1)[0]: r for r in rows}
    print("| file | estimate (95 % of granules) | spectrum edge, average | "
          "spectrum edge, 95 % of blocks |")
    print("|---|---|---|---|")
    with open(sys.argv[2]) as f:
        for line_text in f:
            c = line_text.rstrip("\n").split("\t")
            name = os.path.basename(c[0])
            stem = name[: -len(".dec.wav")] if name.endswith(".dec.wav") else None
            shown = estimate[stem]["p95"] if stem in estimate else "(source)"
            print("| %s | %s | %s | %s |" % (stem or name, shown, c[2], c[3]))
    print()


def print_samples(samples):
    """The shared samples' MP3 files that reach a verdict or could: 44.1 or
    48 kHz Layer III with enough long-block granules."""
    shown = [r for r in samples if r["layer"] == "L3" and r["rate"] in ("44100", "48000")
             and int(r["granules"]) >= 400]
    if not shown:
        return
    print("## Real-world files (the shared samples)\n")
    print("| file | rate | kbit/s | LAME lowpass | bandwidth/reach | verdict |")
    print("|---|---|---|---|---|---|")
    for r in shown:
        print("| %s | %s | %s %d | %s | %s/%s | %s |" % (
            r["path"].split("samples/", 1)[-1], r["rate"], r["control"], r["kbps"],
            r["lowpass"], khz(r["p95"]), khz(r["p99"]), r["reason"]))
    print()


if __name__ == "__main__":
    main()
