#!/usr/bin/python3
"""Tests of the transcode bench's cutoff measure (bench/transcode/spectrum.py)
on noise shaped in the frequency domain, written as WAVE files.

Exits 77 (skipped) when numpy is not there.
"""

import os
import sys
import tempfile
import unittest
import wave

try:
    import numpy as np
except ImportError:
    print("numpy is not installed: skipped")
    sys.exit(77)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "bench", "transcode"))
import spectrum  # noqa: E402

RATE = 44100


def shaped_noise(seconds, gain_db_at, seed=1):
    """White noise whose spectrum follows gain_db_at(frequencies) (in dB)."""
    n = int(seconds * RATE)
    rng = np.random.default_rng(seed)
    bins = np.fft.rfft(rng.standard_normal(n))
    freqs = np.fft.rfftfreq(n, 1.0 / RATE)
    return np.fft.irfft(bins * 10 ** (gain_db_at(freqs) / 20.0), n)


def brick(edge_hz):
    return lambda f: np.where(f <= edge_hz, 0.0, -200.0)


def write_wave(path, channels, width=2):
    """Writes float channels (peak scaled to 0.5 of full scale) as PCM."""
    data = np.stack(channels, axis=1)
    data = data / np.abs(data).max() * 0.5
    full = float(1 << (8 * width - 1))
    ints = np.round(data * (full - 1)).astype(np.int64)
    if width == 2:
        raw = ints.astype("<i2").tobytes()
    else:  # 24 bits, little-endian
        u = (ints & 0xFFFFFF).astype(np.uint32)
        raw = np.stack([u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF], axis=-1).astype(
            np.uint8).tobytes()
    with wave.open(path, "wb") as w:
        w.setnchannels(len(channels))
        w.setsampwidth(width)
        w.setframerate(RATE)
        w.writeframes(raw)


class CutoffTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def cutoff(self, channels, width=2):
        path = os.path.join(self.dir.name, "x.wav")
        write_wave(path, channels, width)
        samples, rate = spectrum.read_wave(path)
        self.assertEqual(rate, RATE, "rate read back")
        return spectrum.cutoff_hz(samples, rate)

    def test_a_hard_edge_is_found_within_the_smoothing(self):
        for edge in (11000, 16000, 19500):
            got = self.cutoff([shaped_noise(4, brick(edge))] * 2)
            self.assertLess(abs(got - edge), 100, f"cutoff of noise that stops at {edge} Hz")

    def test_full_band_noise_reaches_half_the_rate(self):
        got = self.cutoff([shaped_noise(4, lambda f: 0.0 * f)])
        self.assertGreater(got, 0.99 * RATE / 2, "cutoff of white noise")

    def test_a_slope_ends_where_it_is_the_margin_under_the_midrange(self):
        # Flat to 10 kHz, then 10 dB a kHz down: 30 dB under at 13 kHz.
        slope = lambda f: np.where(f <= 10000, 0.0, -(f - 10000) / 100.0)  # noqa: E731
        got = self.cutoff([shaped_noise(4, slope)])
        self.assertLess(abs(got - 13000), 150, "cutoff of a 10 dB/kHz slope from 10 kHz")

    def test_quiet_parts_do_not_decide(self):
        # Loud music-like noise that stops at 12 kHz, then a quieter stretch
        # of full-band hiss 23 dB down (a fade, a pause with noise in it):
        # averaged in, the hiss would reach past the margin.
        rms = lambda x: np.sqrt(np.mean(x * x))  # noqa: E731
        loud = shaped_noise(3, brick(12000))
        loud /= rms(loud)
        hiss = shaped_noise(3, lambda f: 0.0 * f, seed=2)
        hiss *= 10 ** (-23 / 20) / rms(hiss)
        got = self.cutoff([np.concatenate([loud, hiss])])
        self.assertLess(abs(got - 12000), 100, "cutoff with a quiet full-band stretch")

    def test_digital_silence_is_left_out_and_all_silence_gives_zero(self):
        sound = shaped_noise(2, brick(14000))
        got = self.cutoff([np.concatenate([np.zeros(3 * RATE), sound, np.zeros(3 * RATE)])])
        self.assertLess(abs(got - 14000), 100, "cutoff of sound between long silences")
        path = os.path.join(self.dir.name, "silence.wav")
        with wave.open(path, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(b"\0\0" * RATE)
        samples, rate = spectrum.read_wave(path)
        self.assertEqual(spectrum.cutoff_hz(samples, rate), 0.0, "cutoff of silence")

    def test_the_widest_channel_decides(self):
        left = shaped_noise(3, brick(18000))
        right = shaped_noise(3, brick(9000), seed=3)
        got = self.cutoff([left, right])
        self.assertLess(abs(got - 18000), 100, "cutoff of a stereo pair, 18 and 9 kHz")

    def test_24_bit_samples_read_as_16_bit_ones(self):
        noise = shaped_noise(1, brick(15000))
        path16 = os.path.join(self.dir.name, "a16.wav")
        path24 = os.path.join(self.dir.name, "a24.wav")
        write_wave(path16, [noise, -noise], 2)
        write_wave(path24, [noise, -noise], 3)
        s16, _ = spectrum.read_wave(path16)
        s24, _ = spectrum.read_wave(path24)
        self.assertEqual(s24.shape, s16.shape, "frames and channels of 24-bit samples")
        self.assertLess(np.abs(s24 - s16).max(), 2.0 / 32768, "24-bit samples, signs and all")
        self.assertLess(s24[:, 1].min(), -0.4, "negative 24-bit samples stay negative")


if __name__ == "__main__":
    unittest.main()
