#!/usr/bin/python3
"""Tests of the transcode bench's score (bench/transcode/score.py): a small
manifest, a stand-in for vandrel-scan that answers each file's verdict, and
the figures of the tables it prints."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

SCORE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench",
                     "transcode", "score.py")

HEADER = ("file\tsignal\tchain\tkind\tsource\tsource_cutoff_hz\tsignal_cutoff_hz\ttarget\t"
          "sample_rate\n")
DETAIL = "The audio stops at 16.7 kHz, far below what 320 kbit/s keeps."

# file, kind, source, source cutoff, signal cutoff, target; the answer of the
# scan (None: the scan leaves the file out).
FILES = [
    ("a/m128_to_l320", "reencode", "m128", 16683, 22050, "l320", "probably"),
    ("b/m128_to_l320", "reencode", "m128", 16683, 22050, "l320", ""),
    ("dark/m128_to_l320", "reencode", "m128", 7305, 7305, "l320", "no"),
    ("a/v128_to_l320", "reencode", "v128", 18900, 22050, "l320", "--"),
    ("a/opus_to_l320", "reencode", "opus", 20200, 22050, "l320", "no"),
    ("a/lossless_to_l320", "original", "lossless", 22050, 22050, "l320", "probably"),
    ("b/lossless_to_l320", "original", "lossless", 22050, 22050, "l320", "no"),
    ("c/lossless_to_l320", "original", "lossless", 22050, 22050, "l320", None),
]

# Prints what vandrel-scan --format json would of the files under the folder
# it is given, each with the verdict of ANSWERS.
FAKE_SCAN = """#!/usr/bin/python3
import json, os, sys
answers = json.loads(os.environ["ANSWERS"])
folder = sys.argv[-1]
out = []
for rel, value in answers.items():
    findings = []
    if value == "probably":
        findings.append({"severity": "warning", "text": "probably upscaled", "detail": DETAIL})
    out.append({"path": os.path.join(folder, rel), "name": os.path.basename(rel), "error": None,
                "attributes": {"Upscaled?": value}, "findings": findings})
print(json.dumps(out))
"""


class ScoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        folder = cls.dir.name
        with open(os.path.join(folder, "manifest.tsv"), "w") as f:
            f.write(HEADER)
            for name, kind, source, cut, own, target, _ in FILES:
                f.write(f"set/{name}.mp3\t{name.split('/')[0]}\t{source} > {target}\t{kind}\t"
                        f"{source}\t{cut}\t{own}\t{target}\t44100\n")
        scan = os.path.join(folder, "scan")
        with open(scan, "w") as f:
            f.write(FAKE_SCAN.replace("DETAIL", repr(DETAIL)))
        os.chmod(scan, 0o755)
        answers = {f"{name}.mp3": value for name, *_, value in FILES if value is not None}
        run = subprocess.run([sys.executable, SCORE, folder, scan], capture_output=True,
                             text=True, env=dict(os.environ, ANSWERS=json.dumps(answers)),
                             check=False)
        cls.status, cls.out, cls.err = run.returncode, run.stdout, run.stderr

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def row(self, first_cell):
        """The cells of the table row that starts with `first_cell`."""
        for line in self.out.splitlines():
            cells = [c.strip() for c in line.strip("|").split("|")]
            if cells and cells[0].startswith(first_cell):
                return cells
        self.fail(f"no row starting with {first_cell!r} in:\n{self.out}")

    def test_runs(self):
        self.assertEqual(self.status, 0, f"exit status; standard error: {self.err}")

    def test_detection_counts_only_re_encodes_whose_source_leaves_an_edge(self):
        # 16683 twice and 18900: under 19 kHz and under the signal's own edge.
        self.assertEqual(self.row("detection")[1], "1/3 (33 %)", "detectable re-encodes found")
        self.assertEqual(self.row("the same")[1], "0/3 (0 %)", 'detectable re-encodes "no"')
        self.assertEqual(self.row("every re-encode")[1], "1/4 (25 %)",
                         "every re-encode under 19 kHz, the dark one too")
        self.assertEqual(self.row("re-encodes whose material")[1], "0/1 (0 %)",
                         "the dark re-encode, whose material ends first")
        self.assertEqual(self.row("re-encodes of full-band")[1], "1/1 (100 %)",
                         'the Opus re-encode answered "no"')

    def test_empty_dashes_and_unscanned_files_count_as_unknown(self):
        self.assertEqual(self.row('"unknown"')[1], "3/8 (38 %)", "unknown of all files")
        self.assertIn("1 files of the manifest were not scanned", self.err,
                      "the file the scan left out is reported")

    def test_false_flags_are_counted_and_listed_with_the_finding(self):
        self.assertEqual(self.row("false flags")[1], "1/3 (33 %)", "originals flagged")
        self.assertEqual(self.row("l320")[-1], "1", "false flags of the l320 originals")
        self.assertEqual(self.row("set/a/lossless_to_l320.mp3")[1], DETAIL,
                         "the false flag's finding")

    def test_each_chain_gets_its_shares(self):
        cells = self.row("m128 > l320")
        self.assertEqual(cells[1], "3", "files of the chain")
        self.assertEqual(cells[2:5], ["1/3 (33 %)", "1/3 (33 %)", "1/3 (33 %)"],
                         'shares of "probably", "no" and "unknown" of the chain')
        self.assertEqual(cells[5], "16683", "median source cutoff of the chain")


if __name__ == "__main__":
    unittest.main()
