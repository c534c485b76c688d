#!/usr/bin/python3
"""Compares what vandrel-scan says about each file with what ffprobe, mediainfo
and mutagen say, and prints the disagreements grouped by field.

    bench/crosscheck.py --scan VANDREL_SCAN [--jobs N] [--examples N]
                        [--answers FILE] FOLDER...

bench/crosscheck.sh runs this after installing the tools. Every file below the
folders is given to vandrel-scan by name (so it decides what it reads); the
files it refuses are listed apart, with its message and what ffprobe found in
them. For the others each check below compares one of our values with one
tool's value. A disagreement that one of the EXPLANATIONS covers is a rule the
program keeps on purpose (or a known way of the other tool); the rest are
printed as unexplained, and the exit status is 1 when there are any.

--answers FILE keeps the other tools' answers in FILE and reads them from there
on the next run (vandrel-scan itself always runs): handy while working on the
rules, wrong once the files change.
"""

import argparse
import collections
import concurrent.futures
import io
import json
import os
import pickle
import re
import struct
import subprocess
import sys
from dataclasses import dataclass, field
from typing import Any, Callable, Optional

import mutagen.id3
import mutagen.mp3
from mutagen.mp3._util import LAMEError, XingHeader, XingHeaderError

# Files per vandrel-scan or mediainfo run: well within any command-line limit.
CHUNK = 200

# Lengths agree within this many seconds (a Xing frame longer than that is
# one of the explanations below).
LENGTH_TOLERANCE = 0.05


# ---------------------------------------------------------------------------
# Running the tools
# ---------------------------------------------------------------------------

def list_files(folders):
    """Every regular file below the folders, in name order; each with the
    name it is shown by (the folder's own name, then the path inside it)."""
    files = []
    for folder in folders:
        top = os.path.abspath(folder)
        base = os.path.dirname(top)
        for directory, subdirs, names in os.walk(top):
            subdirs.sort()
            for name in sorted(names):
                path = os.path.join(directory, name)
                if os.path.isfile(path) and not os.path.islink(path):
                    files.append((path, os.path.relpath(path, base)))
    return files


def chunks(items, size):
    for start in range(0, len(items), size):
        yield items[start:start + size]


def run_scan(scan, paths, jobs):
    """vandrel-scan's JSON entry of each file, by path."""
    entries = {}
    for part in chunks(paths, CHUNK):
        # Exit status 1 only says that some file was refused; 2 is our mistake.
        result = subprocess.run([scan, "-q", "-j", str(jobs), "--format", "json", "--music-crc",
                                 *part], capture_output=True, text=True, errors="replace")
        if result.returncode not in (0, 1):
            sys.exit(f"vandrel-scan failed ({result.returncode}): {result.stderr.strip()}")
        for entry in json.loads(result.stdout):
            entries[os.path.abspath(entry["path"])] = entry
    return entries


def run_ffprobe(path):
    """The first audio stream as ffprobe sees it, the position and size of
    each of its packets, and whether ffprobe said it estimated the duration
    from the bitrate (it says so at the "info" level only)."""
    result = subprocess.run(
        ["ffprobe", "-hide_banner", "-v", "info", "-of", "json", "-select_streams", "a:0",
         "-show_entries", "stream=codec_type,codec_name,codec_tag,sample_rate,channels,"
         "duration,start_time:format=format_name,duration:packet=pos,size", path],
        capture_output=True, text=True, errors="replace")
    try:
        answer = json.loads(result.stdout or "{}")
    except json.JSONDecodeError:
        answer = {}
    audio = [s for s in answer.get("streams", []) if s.get("codec_type") == "audio"]
    # A packet without a position (ffprobe's "N/A") is kept as -1.
    packets = [(as_int(p.get("pos")) if "pos" in p else -1, as_int(p.get("size")) or 0)
               for p in answer.get("packets", [])]
    return {
        "stream": audio[0] if audio else None,
        "format": answer.get("format", {}),
        "estimated": "Estimating duration from bitrate" in result.stderr,
        "packets": packets,
    }


def run_mediainfo(paths):
    """mediainfo's first Audio track of each file, by path (its General track
    gives the ID3v2 tag's encoder text, which is no encoder)."""
    answers = {}
    for part in chunks(paths, CHUNK):
        result = subprocess.run(["mediainfo", "--Full", "--Output=JSON", *part],
                                capture_output=True, text=True, errors="replace")
        parsed = json.loads(result.stdout or "[]")
        for item in parsed if isinstance(parsed, list) else [parsed]:
            media = item.get("media") or {}
            audio = [t for t in media.get("track", []) if t.get("@type") == "Audio"]
            answers[os.path.abspath(media.get("@ref", ""))] = {
                "audio": audio[0] if audio else None}
    return answers


def crc16_table():
    table = []
    for byte in range(256):
        crc = byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        table.append(crc)
    return table


CRC16_TABLE = crc16_table()


def crc16(data, crc=0):
    """The CRC-16 of LAME tags (polynomial 0x8005, bits reflected, start 0)."""
    table = CRC16_TABLE
    for byte in data:
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF]
    return crc


def read_mutagen(path):
    """What mutagen reads: the ID3v1 tag (its parser, over the file's last 128
    bytes) and, for MPEG audio, the stream info and the Xing/LAME header of the
    frame it settles on. Also the LAME tag's CRC, checked here, since mutagen
    does not check it."""
    out = {"id3v1": None, "info": None, "xing": None, "lame": None, "tag_crc_ok": None}
    with open(path, "rb") as f:
        data = f.read()
    if len(data) >= 128 and data[-128:-125] == b"TAG":
        # As ID3v2.3 frames, so that the year stays the text it is (TYER).
        frames = mutagen.id3.ParseID3v1(data[-128:], v2_version=3) or {}
        out["id3v1"] = {key: str(frame) for key, frame in frames.items()}
    try:
        info = mutagen.mp3.MPEGInfo(io.BytesIO(data))
    except Exception:  # mutagen's own "not MPEG audio" errors, and worse
        return out
    out["info"] = {
        "encoder_info": info.encoder_info,
        "bitrate_mode": str(info.bitrate_mode).rsplit(".", 1)[-1],
        "track_gain": info.track_gain,
        "length": info.length,
        "layer": info.layer,
        "frame_offset": info.frame_offset,
    }
    if info.layer != 3:
        return out
    frame = info.frame_offset
    at = frame + XingHeader.get_offset(info)
    try:
        xing = XingHeader(io.BytesIO(data[at:at + 400]))
    except (XingHeaderError, LAMEError):
        return out
    out["xing"] = {"frames": xing.frames, "bytes": xing.bytes,
                   "lame_version": xing.lame_version_desc}
    lame = xing.lame_header
    if lame is not None:
        out["lame"] = {
            "vbr_method": lame.vbr_method, "lowpass": lame.lowpass_filter,
            "delay": lame.encoder_delay_start, "padding": lame.encoder_padding_end,
            "music_length": lame.music_length, "track_gain": lame.track_gain_adjustment,
        }
        # The music CRC as the LAME tag defines it: the bytes after the tag's
        # frame up to the music length (from the frame's start).
        head = frame_at(data, frame)
        end = frame + lame.music_length
        if head is not None and frame + head.length < end <= len(data):
            out["music_crc_ok"] = crc16(data[frame + head.length:end]) == lame.music_crc
    # The LAME tag sits after the Xing fields that the flags announce; its
    # CRC covers the frame up to the CRC itself (the tag's last two bytes).
    flags = struct.unpack(">I", data[at + 4:at + 8])[0]
    tag = at + 8 + 4 * bool(flags & 1) + 4 * bool(flags & 2) + 100 * bool(flags & 4) \
        + 4 * bool(flags & 8)
    if tag + 36 <= len(data):
        stored = struct.unpack(">H", data[tag + 34:tag + 36])[0]
        out["tag_crc_ok"] = crc16(data[frame:tag + 34]) == stored
        out["tag_version"] = data[tag:tag + 9].split(b"\0")[0].decode("latin-1")
    return out


def gather(files, scan, jobs, answers_file):
    paths = [path for path, _ in files]
    ours = run_scan(scan, paths, jobs)
    if answers_file and os.path.exists(answers_file):
        with open(answers_file, "rb") as f:
            theirs = pickle.load(f)
    else:
        with concurrent.futures.ThreadPoolExecutor(max(1, jobs)) as pool:
            probes = dict(zip(paths, pool.map(run_ffprobe, paths)))
        theirs = {"ffprobe": probes, "mediainfo": run_mediainfo(paths),
                  "mutagen": {path: read_mutagen(path) for path in paths}}
        if answers_file:
            with open(answers_file, "wb") as f:
                pickle.dump(theirs, f)
    return [Case(path, shown, ours.get(path), theirs["ffprobe"].get(path) or {},
                 theirs["mediainfo"].get(path) or {}, theirs["mutagen"].get(path) or {})
            for path, shown in files]


# ---------------------------------------------------------------------------
# What the bytes themselves say: MPEG frame headers and WAVE chunks, read here
# only to tell ffprobe's frame packets from its other packets and to test the
# explanations below, never to stand in for a tool
# ---------------------------------------------------------------------------

# kbit/s by (MPEG-1?, layer), bitrate index 1..14.
BITRATES = {
    (True, 1): [32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (True, 2): [32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (True, 3): [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    (False, 1): [32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (False, 2): [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
    (False, 3): [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
# Sample rates by the header's version bits (3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5).
RATES = {3: (44100, 48000, 32000), 2: (22050, 24000, 16000), 0: (11025, 12000, 8000)}


@dataclass
class FrameHead:
    bitrate: int       # kbit/s
    sample_rate: int
    length: int        # bytes
    samples: int       # per frame


def frame_at(data, at):
    """The MPEG audio frame header at `at`, or None. Free format (bitrate
    index 0) and the reserved values do not count."""
    if at < 0 or at + 4 > len(data) or data[at] != 0xFF or data[at + 1] & 0xE0 != 0xE0:
        return None
    version, layer = (data[at + 1] >> 3) & 3, 4 - ((data[at + 1] >> 1) & 3)
    index, rate_index, padding = data[at + 2] >> 4, (data[at + 2] >> 2) & 3, (data[at + 2] >> 1) & 1
    if version == 1 or layer == 4 or index in (0, 15) or rate_index == 3:
        return None
    mpeg1 = version == 3
    kbps, rate = BITRATES[(mpeg1, layer)][index - 1], RATES[version][rate_index]
    if layer == 1:
        length = (12000 * kbps // rate + padding) * 4
    else:
        length = (144000 if layer == 2 or mpeg1 else 72000) * kbps // rate + padding
    samples = 384 if layer == 1 else 1152 if layer == 2 or mpeg1 else 576
    return FrameHead(kbps, rate, length, samples)


def walk_chain(data, at):
    """The frames chained from `at` up to the first place without a whole
    frame: how many, their bytes and their duration (each frame its own)."""
    frames = size = rates = 0
    seconds = 0.0
    cut_rate = None  # the bitrate of a last frame cut short
    while True:
        head = frame_at(data, at)
        if head is not None and at + head.length > len(data):
            cut_rate = head.bitrate
        if head is None or at + head.length > len(data):
            break
        frames += 1
        size += head.length
        rates += head.bitrate
        seconds += head.samples / head.sample_rate
        at += head.length
    # The mean of the frames' bitrates, the first frame left out, with and
    # without a last frame cut short.
    first = frame_at(data, at - size).bitrate if frames else 0
    means = []
    if frames > 1:
        means.append((rates - first) / (frames - 1))
    if cut_rate is not None and frames > 0:
        means.append((rates - first + cut_rate) / frames)
    return {"frames": frames, "bytes": size, "seconds": seconds, "end": at,
            "kbps": size * 8 / seconds / 1000 if seconds > 0 else None, "means": means}


def chain_length(data, at, limit):
    """How many frames follow one another from `at` (at most `limit`)."""
    count = 0
    while count < limit and (head := frame_at(data, at)) is not None:
        count, at = count + 1, at + head.length
    return count


def frames_between(data, start, stop):
    """How many chained frames lead from `start` exactly to `stop`; None when
    the chain does not arrive there."""
    count = 0
    while start < stop and (head := frame_at(data, start)) is not None:
        count, start = count + 1, start + head.length
    return count if start == stop else None


def wave_fields(data):
    """The byte rate of a WAVE file's "fmt " chunk and the size of its "data"
    chunk (as written, and as far as the file holds it)."""
    fields = {"byte_rate": None, "data_bytes": None, "data_held": None}
    at = 12
    while at + 8 <= len(data):
        chunk, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if chunk == b"fmt " and size >= 16 and fields["byte_rate"] is None:
            fields["byte_rate"] = struct.unpack("<I", data[at + 16:at + 20])[0]
        elif chunk == b"data" and fields["data_bytes"] is None:
            fields["data_bytes"] = size
            fields["data_held"] = min(size, len(data) - at - 8)
        at += 8 + size + (size & 1)
    return fields


# ---------------------------------------------------------------------------
# One file as each tool sees it
# ---------------------------------------------------------------------------

KIND_MPEG, KIND_WAVE, KIND_MPC = 1, 3, 4


@dataclass
class Case:
    path: str
    shown: str
    entry: Optional[dict]
    ff: dict
    mi: dict
    mu: dict
    _facts: Optional[dict] = None

    @property
    def record(self):
        return (self.entry or {}).get("record") or {}

    @property
    def xing(self):
        return self.record.get("xing") or {}

    @property
    def text(self):
        return (self.entry or {}).get("attributes") or {}

    @property
    def analysed(self):
        return self.entry is not None and not self.entry.get("error")

    @property
    def kind(self):
        return self.record.get("kind")

    @property
    def stream(self):
        return self.ff.get("stream")

    @property
    def samples_per_frame(self):
        """Samples per frame for MPEG audio and Musepack, 0 for WAVE."""
        r = self.record
        if self.kind == KIND_MPEG:
            return {1: 384, 2: 1152}.get(r.get("layer"), 1152 if r.get("is_mpeg1") else 576)
        return 1152 if self.kind == KIND_MPC else 0

    @property
    def frame_seconds(self):
        rate = self.record.get("sample_rate") or 0
        return self.samples_per_frame / rate if rate > 0 else 0.0

    @property
    def walked_length(self):
        """frames x samples per frame / rate: the length of a fully walked file."""
        return self.record.get("frames", 0) * self.frame_seconds

    @property
    def has_vbr_header(self):
        return bool(self.record.get("has_xing") or self.record.get("has_vbri"))

    @property
    def lame_delay_padding(self):
        """(delay, padding) in samples from our record's LAME tag."""
        value = int(self.xing.get("delay_padding") or "0", 16)
        return value >> 12, value & 0xFFF

    @property
    def facts(self):
        """What the file's bytes say about ffprobe's packets and the frames."""
        if self._facts is None:
            with open(self.path, "rb") as f:
                data = f.read()
            packets = self.ff.get("packets") or []
            heads = [(pos, frame_at(data, pos)) for pos, _ in packets]
            frames = [(pos, head) for pos, head in heads if head is not None]
            first = self.record.get("first_frame_offset", 0)
            mu_offset = (self.mu.get("info") or {}).get("frame_offset")
            last = packets[-1][0] if packets else -1
            self._facts = {
                "frame_packets": len(frames),
                # Packets among the frames that do not start with a header.
                "off_frame_packets": sum(1 for pos, head in heads
                                         if head is None and first < pos < last),
                "frame_bitrates": {head.bitrate for _, head in frames},
                # Frames of ours in front of ffprobe's first frame packet.
                "ahead": frames_between(data, first, frames[0][0]) if frames else None,
                "mutagen_chain": None if mu_offset is None else chain_length(data, mu_offset, 5),
                "wave": wave_fields(data) if self.kind == KIND_WAVE else {},
                "walk": walk_chain(data, first) if self.kind == KIND_MPEG else {},
            }
        return self._facts


# ---------------------------------------------------------------------------
# The checks: one value of ours against one value of another tool's
# ---------------------------------------------------------------------------

def number(text):
    """A display text's number ("44,100" -> 44100), or the text itself."""
    try:
        return int(str(text).replace(",", ""))
    except ValueError:
        return text


def as_int(value):
    try:
        return int(value)
    except (TypeError, ValueError):
        return None


def as_float(value):
    try:
        return float(value)
    except (TypeError, ValueError):
        return None


# Our "Type" and the ffprobe codecs that mean the same. For WAVE files the
# format tag is compared instead (ffprobe gives the tag of an extensible
# header's sub-format, and its codec names depend on its own choices, such as
# "pcm_f24le" for 24-bit samples in 4 bytes); "wave format 0xNNNN" is the tag.
CODECS = {
    "mpeg 1 layer I": {"mp1"}, "mpeg 2 layer I": {"mp1"}, "mpeg 2.5 layer I": {"mp1"},
    "mpeg 1 layer II": {"mp2"}, "mpeg 2 layer II": {"mp2"}, "mpeg 2.5 layer II": {"mp2"},
    "mpeg 1 layer III": {"mp3"}, "mpeg 2 layer III": {"mp3"}, "mpeg 2.5 layer III": {"mp3"},
    "mpeg 2 layer III (mp3pro)": {"mp3"},
    "mpeg plus SV7": {"musepack7"}, "mpeg plus SV8": {"musepack8"},
}
WAVE_TAGS = {
    "wave PCM": {"0x0001"}, "wave ADPCM": {"0x0002", "0x0011"}, "wave IEEE float": {"0x0003"},
    "wave A-law": {"0x0006"}, "wave mu-law": {"0x0007"},
}


def our_type(c):
    t = c.text.get("Type", "")
    if c.kind == KIND_MPC:
        t += f" SV{c.record.get('mpc_stream_version')}"
    return t


def their_type(c):
    if c.kind == KIND_WAVE:
        return f"{c.stream.get('codec_name')} (tag {c.stream.get('codec_tag')})"
    return c.stream.get("codec_name")


def same_type(ours, theirs, c):
    if c.kind == KIND_WAVE:
        tag = (c.stream.get("codec_tag") or "").lower()
        if ours.startswith("wave format 0x"):
            return tag == ours[len("wave format "):].lower()
        return tag in WAVE_TAGS.get(ours, set())
    return theirs in CODECS.get(ours, set())


def channels_from_stereo_mode(c):
    mode = c.text.get("Stereo Mode", "")
    if mode == "mono":
        return 1
    if mode.endswith(" channels"):
        return as_int(mode.split()[0])
    return 2 if mode in ("stereo", "joint stereo", "dual channel") else mode


def ffprobe_duration(c):
    duration = as_float(c.stream.get("duration"))
    return duration if duration is not None else as_float(c.ff.get("format", {}).get("duration"))


def close(a, b, tolerance=LENGTH_TOLERANCE):
    return a is not None and b is not None and abs(a - b) <= tolerance


def ffprobe_frames(c):
    """ffprobe's frames: for MPEG audio its packets that begin with a frame
    header (ffprobe also passes bytes it cannot place, such as junk and tags
    it does not know, on as packets), for Musepack SV7 all its packets (one
    frame each). SV8 packets hold many frames, and the program counts none."""
    if c.kind == KIND_MPEG:
        return c.facts["frame_packets"]
    if c.kind == KIND_MPC and c.record.get("mpc_stream_version") == 7:
        return len(c.ff.get("packets") or [])
    return None


def lame_version_number(text):
    """"LAME3.100", "LAME 3.99.1+", "LAME3.98 (beta)" -> "3.100", "3.99", "3.98";
    None when no version follows LAME."""
    found = re.match(r"LAME ?(\d\.\d+)", text or "")
    return found.group(1) if found else None


def mediainfo_library(c):
    """The encoder mediainfo names in the audio track."""
    return (c.mi.get("audio") or {}).get("Encoded_Library")


def mediainfo_has_lame_tag(c):
    # mediainfo shows the encoder settings only from a LAME tag it has read.
    audio = c.mi.get("audio")
    return None if audio is None else int("Encoded_Library_Settings" in audio)


def mediainfo_settings(c):
    return (c.mi.get("audio") or {}).get("Encoded_Library_Settings")


def mediainfo_lowpass(c):
    """mediainfo's "-lowpass 18.5" (kHz) in Hz."""
    found = re.search(r"-lowpass ([\d.]+)", mediainfo_settings(c) or "")
    return round(float(found.group(1)) * 1000) if found else None


def mediainfo_vbr_scale(c):
    """The Xing quality that mediainfo's "-V 4 -q 3" comes from: 100 - 10 V - q."""
    found = re.search(r"-V (\d+) -q (\d+)", mediainfo_settings(c) or "")
    return 100 - 10 * int(found.group(1)) - int(found.group(2)) if found else None


def mediainfo_vbr_method(c):
    """The LAME tag's VBR method as mediainfo's settings spell it."""
    settings = mediainfo_settings(c)
    if settings is None:
        return None
    for option, method in (("--vbr-old", 3), ("--vbr-new", 4), ("--vbr-mt", 5), ("--abr", 2)):
        if option in settings:
            return method
    if "-V " in settings:
        return None  # a quality without a method: an unknown method (0) shows so too
    return 1  # "-b N" or no option at all: constant bitrate


# mutagen's bitrate modes as our VBR flag (it says UNKNOWN where it cannot tell).
MUTAGEN_VBR = {"CBR": 0, "VBR": 1, "ABR": 1}


def same_encoder(ours, theirs, c):
    """"LAME3.100" (mediainfo) or "LAME 3.100.0+" (mutagen) agrees with our
    "Lame 3.100 ..."; a version read on past its end ("LAME3.99.5UUUU") still
    starts with ours, and "LAME" without a version agrees with any Lame;
    mutagen's "FhG" (a VBRI header) with any of our FhG names."""
    if theirs == "FhG":
        return ours.startswith("FhG")
    if not theirs.startswith("LAME"):
        return theirs == ours
    found = re.match(r"Lame (\d\.\d+)", ours)
    if not found:
        return False
    version = lame_version_number(theirs)
    return version is None or version.startswith(found.group(1))


def same_lame_version(ours, theirs, c):
    return lame_version_number(ours) == lame_version_number(theirs)


def equal(ours, theirs, c):
    return ours == theirs


def trimmed(ours, theirs, c):
    """ID3v1 texts without the blanks around them (mutagen strips them)."""
    return str(ours).strip() == str(theirs).strip()


@dataclass
class Check:
    field: str             # what is compared, as the summary names it
    tool: str
    applies: Callable      # case -> whether this check looks at the file
    ours: Callable         # case -> our value
    theirs: Callable       # case -> the tool's value; None: the tool has none
    same: Callable = equal  # (ours, theirs, case) -> whether they agree


def is_mpeg(c):
    return c.kind == KIND_MPEG


def has_stream(c):
    return c.stream is not None


def has_lame_tag(c):
    return is_mpeg(c) and c.xing.get("has_lame_tag") == 1


def mutagen_mpeg(c):
    return is_mpeg(c) and c.mu.get("info") is not None


def lame_tag_in_both(c):
    return has_lame_tag(c) and c.mu.get("lame") is not None


def id3v1_in_both(c):
    return c.record.get("id3v1_present") == 1 and c.mu.get("id3v1") is not None


CHECKS = [
    # ffprobe: stream kind, rate, channels, length and frames.
    Check("Type", "ffprobe", has_stream, our_type, their_type, same_type),
    Check("Freq. (Hz)", "ffprobe", has_stream, lambda c: number(c.text.get("Freq. (Hz)")),
          lambda c: as_int(c.stream.get("sample_rate"))),
    Check("channels", "ffprobe", has_stream, lambda c: c.record.get("channels"),
          lambda c: c.stream.get("channels")),
    Check("Stereo Mode", "ffprobe", has_stream, channels_from_stereo_mode,
          lambda c: c.stream.get("channels")),
    Check("length_seconds", "ffprobe", has_stream, lambda c: c.record.get("length_seconds"),
          ffprobe_duration, lambda ours, theirs, c: close(ours, theirs)),
    Check("frames", "ffprobe", lambda c: has_stream(c) and c.kind in (KIND_MPEG, KIND_MPC),
          lambda c: c.record.get("frames"), ffprobe_frames),

    # The average bitrate of the audio alone: the bytes of the frames chained
    # from our first frame over their duration, as this script reads them
    # (our value is truncated to whole kbit/s). And the music CRC as computed
    # here from mutagen's reading of the LAME tag.
    Check("average_bitrate", "walk",
          lambda c: is_mpeg(c) and c.facts["walk"].get("kbps") is not None,
          lambda c: c.record.get("average_bitrate"), lambda c: round(c.facts["walk"]["kbps"], 3),
          lambda ours, theirs, c: int(theirs) == ours or abs(ours - theirs) < 0.01),
    Check("music_crc_ok", "mutagen",
          lambda c: lame_tag_in_both(c) and "music_crc_ok" in c.mu,
          lambda c: c.xing.get("music_crc_ok"), lambda c: int(c.mu["music_crc_ok"])),

    # mediainfo: the encoder, the LAME tag and VBR.
    Check("Encoder", "mediainfo", is_mpeg, lambda c: c.text.get("Encoder"), mediainfo_library,
          same_encoder),
    Check("has_lame_tag", "mediainfo", is_mpeg, lambda c: c.xing.get("has_lame_tag"),
          mediainfo_has_lame_tag),
    Check("lame_version", "mediainfo", lambda c: is_mpeg(c) and mediainfo_has_lame_tag(c) == 1,
          lambda c: c.xing.get("lame_version"), mediainfo_library, same_lame_version),
    Check("is_vbr", "mediainfo", is_mpeg, lambda c: c.record.get("is_vbr"),
          lambda c: {"VBR": 1, "CBR": 0}.get((c.mi.get("audio") or {}).get("BitRate_Mode"))),
    Check("lowpass", "mediainfo", has_lame_tag, lambda c: c.xing.get("lowpass"),
          mediainfo_lowpass),
    Check("vbr_scale", "mediainfo", has_lame_tag, lambda c: c.xing.get("vbr_scale"),
          mediainfo_vbr_scale),
    # LAME writes 8 for a two-pass CBR encoding; mediainfo shows it as "-b".
    Check("vbr_method", "mediainfo", has_lame_tag, lambda c: c.xing.get("vbr_method"),
          mediainfo_vbr_method,
          lambda ours, theirs, c: ours == theirs or (theirs == 1 and ours == 8)),

    # mutagen: the Xing/LAME header and the ID3v1 tag.
    Check("Encoder", "mutagen", mutagen_mpeg, lambda c: c.text.get("Encoder"),
          lambda c: c.mu["info"]["encoder_info"] or None, same_encoder),
    Check("has_lame_tag", "mutagen", mutagen_mpeg, lambda c: c.xing.get("has_lame_tag"),
          lambda c: int(c.mu.get("lame") is not None)),
    Check("lame_version", "mutagen", lame_tag_in_both, lambda c: c.xing.get("lame_version"),
          lambda c: "LAME" + c.mu["xing"]["lame_version"], same_lame_version),
    Check("is_vbr", "mutagen", mutagen_mpeg, lambda c: c.record.get("is_vbr"),
          lambda c: MUTAGEN_VBR.get(c.mu["info"]["bitrate_mode"])),
    Check("xing.frames", "mutagen",
          lambda c: is_mpeg(c) and c.record.get("has_xing") and c.mu.get("xing")
          and c.xing.get("flags", 0) & 1,
          lambda c: c.xing["frames"], lambda c: c.mu["xing"]["frames"]),
    Check("xing.bytes", "mutagen",
          lambda c: is_mpeg(c) and c.record.get("has_xing") and c.mu.get("xing")
          and c.xing.get("flags", 0) & 2,
          lambda c: c.xing["bytes"], lambda c: c.mu["xing"]["bytes"]),
    Check("lowpass", "mutagen", lame_tag_in_both, lambda c: c.xing.get("lowpass"),
          lambda c: c.mu["lame"]["lowpass"]),
    Check("vbr_method", "mutagen", lame_tag_in_both, lambda c: c.xing.get("vbr_method"),
          lambda c: c.mu["lame"]["vbr_method"]),
    Check("delay/padding", "mutagen", lame_tag_in_both, lambda c: c.lame_delay_padding,
          lambda c: (c.mu["lame"]["delay"], c.mu["lame"]["padding"])),
    Check("music_length", "mutagen", lame_tag_in_both, lambda c: c.xing.get("music_length"),
          lambda c: c.mu["lame"]["music_length"]),
    # The radio ("track") gain, in dB; mutagen gives none unless its name is 1.
    Check("track gain", "mutagen", lame_tag_in_both,
          lambda c: (round(c.xing["radio_gain_adjustment"] * 0.1, 1)
                     if c.xing.get("radio_gain_name") == 1 else None),
          lambda c: c.mu["lame"]["track_gain"],
          lambda ours, theirs, c: close(ours, theirs, 0.05)),
    Check("id3v1_present", "mutagen", lambda c: True, lambda c: c.record.get("id3v1_present"),
          lambda c: int(c.mu.get("id3v1") is not None)),
]
for _key, _frame in (("title", "TIT2"), ("artist", "TPE1"), ("album", "TALB"),
                     ("year", "TYER"), ("comment", "COMM")):
    CHECKS.append(Check(f"id3v1.{_key}", "mutagen", id3v1_in_both,
                        lambda c, k=_key: c.record["id3v1"][k],
                        lambda c, f=_frame: c.mu["id3v1"].get(f, ""), trimmed))
# mutagen reads no track where the comment's 29th and 30th bytes are blanks.
CHECKS.append(Check("id3v1.track", "mutagen", id3v1_in_both,
                    lambda c: c.record["id3v1"]["track"],
                    lambda c: int(c.mu["id3v1"].get("TRCK", 0))))
CHECKS.append(Check("id3v1.genre", "mutagen", id3v1_in_both,
                    lambda c: c.record["id3v1"]["genre"],
                    lambda c: int(c.mu["id3v1"].get("TCON", 255))))


# ---------------------------------------------------------------------------
# The explanations: rules the program keeps on purpose (and, marked so, known
# ways of the other tools), each holding only for the disagreements it
# accounts for. The first that holds explains a disagreement.
# ---------------------------------------------------------------------------

@dataclass
class Explanation:
    name: str
    side: str            # PROGRAM: a rule it keeps on purpose; TOOL: the other tool's way
    field: str           # the Check.field it applies to
    tools: tuple         # the Check.tool values it applies to
    holds: Callable      # (case, ours, theirs) -> whether it accounts for the disagreement
    reason: str


def ahead(c):
    """Frames of ours in front of ffprobe's first frame packet (None: unknown)."""
    return c.facts["ahead"]


def header_frame_skipped(c, ours, theirs):
    return c.has_vbr_header and ahead(c) == 1 and ours - theirs == 1


def leading_frames_skipped(c, ours, theirs):
    return not c.has_vbr_header and ahead(c) and ours - theirs == ahead(c)


def lost_to_sync_errors(c, ours, theirs):
    """Each sync error hides at most two of ffprobe's frames here (the frame
    rejected and one passed over in finding the next pair)."""
    errors = c.record.get("sync_errors", 0)
    counted = ours - (ahead(c) or 0)
    return errors > 0 and 0 < theirs - counted <= 2 * errors


def out_of_step(c, ours, theirs):
    """After damage ffprobe's packets start where no frame header is: each of
    those may hide one of the frames the program finds again."""
    off_frame = c.facts["off_frame_packets"]
    return c.record.get("sync_errors", 0) > 0 and 0 < ours - theirs <= off_frame


def junk_before_tag_frame(c, ours, theirs):
    """Junk (no tag) in front of the first frame, which holds the LAME tag
    that mutagen, starting at the same frame, reads too."""
    first = c.record.get("first_frame_offset", 0)
    return (ours == 1 and theirs == 0 and first > c.record.get("id3v2_size", 0)
            and (c.mu.get("info") or {}).get("frame_offset") == first
            and c.mu.get("lame") is not None)


def walked(c, ours):
    """Our length is the walk's: frames x samples per frame / rate, or the sum
    of each frame's duration when they differ (a change of rate)."""
    return c.record.get("whole_file_scanned") == 1 and (
        close(ours, c.walked_length, 0.001)
        or close(ours, c.facts["walk"].get("seconds", -1), 0.001))


def header_frame_count(c):
    """The frame count of the Xing or VBRI header (ours, or mutagen's when we
    read none), without the header frame."""
    if c.record.get("has_xing") and c.xing.get("flags", 0) & 1:
        return c.xing["frames"]
    if c.record.get("has_vbri"):
        return c.record["vbri"]["frames"]
    return (c.mu.get("xing") or {}).get("frames")


def cut_short(c, ours, theirs):
    count = header_frame_count(c)
    return (walked(c, ours) and count is not None and count + 1 > c.record.get("frames", 0)
            and close(theirs, count * c.frame_seconds))


def header_frame_length(c, ours, theirs):
    return (c.has_vbr_header and walked(c, ours)
            and close(ours - theirs, c.frame_seconds, 0.001))


def wave_length(c, ours, theirs):
    """ours = data size / byte rate, or 0 for a byte rate of 0."""
    w = c.facts["wave"]
    if c.kind != KIND_WAVE or w.get("byte_rate") is None:
        return False
    if w["byte_rate"] == 0:
        return ours == 0
    return any(close(ours, (size or 0) / w["byte_rate"], 0.001)
               for size in (w["data_bytes"], w["data_held"]))


def mediainfo_agrees_on_sv8_length(c, ours, theirs):
    duration = as_float((c.mi.get("audio") or {}).get("Duration"))  # seconds in its JSON
    return c.stream.get("codec_name") == "musepack8" and close(ours, duration)


def sv7(c):
    return c.record.get("mpc_stream_version", 0) not in (0, 8)


def xing_count_used(c):
    """The finishing step takes the bitrate from the Xing frame count."""
    count = c.xing.get("frames", 0) + 1
    return bool(c.record.get("has_xing")) and c.record.get("frames") == count


def mean_of_frame_bitrates(c, ours, theirs):
    return not xing_count_used(c) and any(int(m) == ours for m in c.facts["walk"]["means"])


def frames_of_one_bitrate(c, ours, theirs):
    used = sum(1 for count in c.record.get("bitrate_index_counts", [])[1:] if count)
    return used == 1 and any(m == ours for m in c.facts["walk"]["means"])


def id3v1_bytes(c):
    with open(c.path, "rb") as f:
        f.seek(-128, os.SEEK_END)
        return f.read(128)


def id3v10_track_byte(c, ours, theirs):
    """Byte 125 of the tag is not zero: the comment runs to byte 126, which
    mutagen takes as a track all the same."""
    tag = id3v1_bytes(c)
    return tag[125] != 0 and ours == 0 and theirs == tag[126]


def id3v10_comment(c, ours, theirs):
    tag = id3v1_bytes(c)
    return tag[125] != 0 and tag[126] != 0 and isinstance(ours, str) and theirs == ours[:29]


def tag_by_other_program(c):
    """The LAME tag names a program using lame ("Lavc58.18"), and its CRC,
    checked here, is right."""
    version = c.mu.get("tag_version") or ""
    return bool(version) and not version.startswith("LAME") and c.mu.get("tag_crc_ok") is True


def named_after_host(c, ours, theirs):
    return (tag_by_other_program(c) and ours == f"Lame ({c.xing.get('lame_version')})"
            and theirs.startswith("LAME"))


def header_frame_off_chain(c, ours, theirs):
    offset = (c.mu.get("info") or {}).get("frame_offset")
    return (ours == 0 and theirs == 1 and offset is not None
            and offset < c.record.get("first_frame_offset", 0) and c.facts["mutagen_chain"] < 5)


def one_bitrate(c, ours, theirs):
    used = sum(1 for count in c.record.get("bitrate_index_counts", [])[1:] if count)
    return ours == 0 and theirs == 1 and used == 1


def two_bitrates(c, ours, theirs):
    used = sum(1 for count in c.record.get("bitrate_index_counts", [])[1:] if count)
    return ours == 1 and theirs == 0 and used >= 2 and len(c.facts["frame_bitrates"]) >= 2


PROGRAM, TOOL = "program", "tool"

EXPLANATIONS = [
    # Rules the program keeps on purpose.
    Explanation(
        "header frame counted", PROGRAM, "frames", ("ffprobe",), header_frame_skipped,
        "The first frame, which holds the Xing/Info (or VBRI) header, is a frame to the "
        "program; ffprobe starts its packets after it."),
    Explanation(
        "frames lost to sync errors", PROGRAM, "frames", ("ffprobe",), lost_to_sync_errors,
        "A frame lost to a sync error is not counted (the frame found when the walk picks up "
        "again takes its place); ffprobe counts the frames there that have a header."),
    Explanation(
        "header frame counted", PROGRAM, "length_seconds", ("ffprobe",), header_frame_length,
        "The program's length includes the Xing/Info frame and ffprobe's does not; at this "
        "rate one frame lasts longer than the tolerance."),
    Explanation(
        "length of the frames walked", PROGRAM, "length_seconds", ("ffprobe",),
        lambda c, ours, theirs: c.ff.get("estimated") and walked(c, ours),
        "The program's length is frames x samples per frame / rate over every frame; ffprobe "
        "said it estimated the duration from the first bitrate and the file size."),
    Explanation(
        "file cut short", PROGRAM, "length_seconds", ("ffprobe",), cut_short,
        "The file holds fewer frames than its Xing/VBRI header counts (a cut-off copy); the "
        "program's length is that of the frames it walked, ffprobe's that of the header."),
    Explanation(
        "WAVE length from the byte rate", PROGRAM, "length_seconds", ("ffprobe",), wave_length,
        "The program's WAVE length is the data chunk's size over the header's byte rate (none "
        "for a byte rate of 0); ffprobe counts samples (fact chunk, codec blocks)."),
    Explanation(
        "Musepack SV7 length in whole seconds", PROGRAM, "length_seconds", ("ffprobe",),
        lambda c, ours, theirs: sv7(c) and ours == int(theirs + 0.001),
        "The length of a Musepack stream before version 8 is its frame count's duration "
        "cut to whole seconds, as the program has always shown it."),
    Explanation(
        "Musepack SV7 without a channel count", PROGRAM, "channels", ("ffprobe",),
        lambda c, ours, theirs: sv7(c) and ours == 0,
        "Records of Musepack streams before version 8 keep no channel count (those streams "
        "are always stereo; the mode column says stereo or mid/side)."),
    Explanation(
        "mean of the frames' bitrates", PROGRAM, "average_bitrate", ("walk",),
        mean_of_frame_bitrates,
        "Without a Xing frame count that matches the frames walked, the average bitrate is the "
        "mean of the bitrates in the frame headers (the first frame left out), not bytes over "
        "time, which padding and a last frame cut short move a little."),
    Explanation(
        "frames of one bitrate", PROGRAM, "average_bitrate", ("walk",), frames_of_one_bitrate,
        "Frames that all have one bitrate (the first frame, often an Info frame of a bitrate of "
        "its own, left out) have that bitrate as their average; bytes over time, which the "
        "header frame and padding move a little, fall just under it."),
    Explanation(
        "ID3v1.0 comments of 30 characters", PROGRAM, "id3v1.track", ("mutagen",),
        id3v10_track_byte,
        "A track number exists only after a zero byte at 125 (ID3v1.1); without it bytes 125 "
        "and 126 are the end of a 30-character comment, which mutagen reads as a track."),
    Explanation(
        "ID3v1.0 comments of 30 characters", PROGRAM, "id3v1.comment", ("mutagen",),
        id3v10_comment,
        "The comment keeps all 30 characters when byte 125 is not zero; mutagen cuts it to 29 "
        "and takes the last as a track."),
    Explanation(
        "LAME inside another program", PROGRAM, "Encoder", ("mediainfo",), named_after_host,
        "A LAME tag that names the program using lame (ffmpeg's \"Lavc58.18\") and has a "
        "right CRC makes the encoder \"Lame (Lavc58.18)\"; mediainfo names the lame version "
        "found in the frames' padding."),
    Explanation(
        "LAME inside another program", PROGRAM, "has_lame_tag", ("mediainfo", "mutagen"),
        lambda c, ours, theirs: ours == 1 and theirs == 0 and tag_by_other_program(c),
        "A LAME tag that names the program using lame (ffmpeg) counts when its CRC is right; "
        "mediainfo and mutagen read only tags that name LAME."),
    Explanation(
        "header frame off the chain", PROGRAM, "has_lame_tag", ("mutagen",),
        header_frame_off_chain,
        "The program reads the Xing/LAME header only in the first frame of a chain of five; "
        "this file's tag frame is followed by a cut, and mutagen reads it alone."),
    Explanation(
        "one bitrate is not VBR", PROGRAM, "is_vbr", ("mediainfo", "mutagen"), one_bitrate,
        "Vbr means that the frames use two or more bitrates; a VBR encoding whose frames all "
        "have one bitrate (silence at the lowest) is not called VBR."),
    Explanation(
        "two bitrates are VBR", PROGRAM, "is_vbr", ("mediainfo",), two_bitrates,
        "Vbr means that the frames use two or more bitrates, as these do (ffprobe's packets "
        "show both); mediainfo calls the stream constant."),

    # Ways of the other tools, each checked against the file or a third tool.
    Explanation(
        "ffprobe skips leading frames", TOOL, "frames", ("ffprobe",), leading_frames_skipped,
        "ffprobe's first packet starts a frame or two into these raw streams, which chain "
        "from the program's first frame; the program counts those frames."),
    Explanation(
        "ffprobe out of step after damage", TOOL, "frames", ("ffprobe",), out_of_step,
        "After a damaged frame ffprobe's packets start where no frame header is, so fewer of "
        "them are frames; the program picks the frames up again."),
    Explanation(
        "ffprobe's SV8 duration", TOOL, "length_seconds", ("ffprobe",),
        mediainfo_agrees_on_sv8_length,
        "ffprobe's duration of this Musepack SV8 stream is not the stream header's sample "
        "count, which mediainfo and the program read alike."),
    Explanation(
        "mediainfo syncs in junk", TOOL, "has_lame_tag", ("mediainfo",), junk_before_tag_frame,
        "Junk (no tag) lies in front of the first frame; mediainfo misses the LAME tag in "
        "that frame, which mutagen reads as the program does."),
]


# ---------------------------------------------------------------------------
# Comparing and reporting
# ---------------------------------------------------------------------------

@dataclass
class Disagreement:
    case: Case
    ours: Any
    theirs: Any
    rule: Optional[Explanation] = None


@dataclass
class Tally:
    compared: int = 0
    explained: list = field(default_factory=list)
    unexplained: list = field(default_factory=list)


def compare(cases):
    tallies = collections.OrderedDict(((check.field, check.tool), Tally()) for check in CHECKS)
    for c in cases:
        if not c.analysed:
            continue
        for check in CHECKS:
            if not check.applies(c):
                continue
            ours, theirs = check.ours(c), check.theirs(c)
            if theirs is None:
                continue
            tally = tallies[(check.field, check.tool)]
            tally.compared += 1
            if ours is not None and check.same(ours, theirs, c):
                continue
            d = Disagreement(c, ours, theirs)
            for rule in EXPLANATIONS:
                if rule.field == check.field and check.tool in rule.tools and \
                        rule.holds(c, ours, theirs):
                    d.rule = rule
                    break
            (tally.explained if d.rule else tally.unexplained).append(d)
    return tallies


def file_count(count):
    return f"{count} file" if count == 1 else f"{count} files"


def show(value):
    if isinstance(value, float):
        return f"{value:.4f}".rstrip("0").rstrip(".")
    return repr(value) if isinstance(value, str) else str(value)


def report(cases, tallies, examples):
    analysed = [c for c in cases if c.analysed]
    print(f"{len(cases)} files: {len(analysed)} analysed, {len(cases) - len(analysed)} "
          "refused by vandrel-scan\n")
    print("Disagreements by field: explained by a rule the program keeps, by a way of the "
          "other tool,\nor not at all.\n")
    print(f"{'field':<16} {'tool':<10} {'compared':>8} {'agree':>6} {'rule':>5} "
          f"{'tool':>5} {'unexplained':>12}")
    for (name, tool), t in tallies.items():
        by_side = collections.Counter(d.rule.side for d in t.explained)
        agree = t.compared - len(t.explained) - len(t.unexplained)
        print(f"{name:<16} {tool:<10} {t.compared:>8} {agree:>6} {by_side[PROGRAM]:>5} "
              f"{by_side[TOOL]:>5} {len(t.unexplained):>12}")

    print("\nUnexplained disagreements")
    if not any(t.unexplained for t in tallies.values()):
        print("  none")
    for (name, tool), t in tallies.items():
        if t.unexplained:
            print(f"  {name} ({tool}): {file_count(len(t.unexplained))}")
            for d in t.unexplained[:examples]:
                print(f"    {d.case.shown}: ours {show(d.ours)}, {tool} {show(d.theirs)}")

    for side, title in ((PROGRAM, "Explained by rules the program keeps on purpose"),
                        (TOOL, "Explained by ways of the other tools")):
        print(f"\n{title}")
        for (name, tool), t in tallies.items():
            by_rule = collections.OrderedDict()
            for d in t.explained:
                if d.rule.side == side:
                    by_rule.setdefault(d.rule.name, []).append(d)
            for rule_name, found in by_rule.items():
                print(f"  {name} ({tool}), {rule_name}: {file_count(len(found))}. "
                      f"{found[0].rule.reason}")
                for d in found[:min(examples, 2)]:
                    print(f"    {d.case.shown}: ours {show(d.ours)}, {tool} {show(d.theirs)}")

    print("\nRefused by vandrel-scan (not compared)")
    refused = collections.OrderedDict()
    for c in cases:
        if not c.analysed:
            message = (c.entry or {}).get("error") or "no answer from vandrel-scan"
            refused.setdefault(" ".join(message.split()), []).append(c)
    for message, found in sorted(refused.items(), key=lambda item: -len(item[1])):
        readable = [c for c in found if c.stream]
        print(f"  \"{message}\": {file_count(len(found))}, {len(readable)} with an audio stream "
              "for ffprobe")
        readable.sort(key=lambda c: -len(c.ff.get("packets") or []))
        for c in readable[:examples]:
            print(f"    {c.shown}: ffprobe {c.stream.get('codec_name')}, "
                  f"{len(c.ff.get('packets') or [])} packets")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--scan", required=True, help="the vandrel-scan to check")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--examples", type=int, default=3, help="example files per group")
    parser.add_argument("--answers", help="keep the other tools' answers in this file")
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()

    files = list_files(args.folders)
    if not files:
        sys.exit("no files in " + " ".join(args.folders))
    cases = gather(files, args.scan, args.jobs, args.answers)
    tallies = compare(cases)
    report(cases, tallies, args.examples)
    return 1 if any(t.unexplained for t in tallies.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
