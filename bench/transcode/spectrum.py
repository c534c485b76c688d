#!/usr/bin/python3
"""Where a decoded file's spectrum ends: the cutoff of the transcode bench.

    spectrum.py FILE.wav...            one line per file: path, cutoff in Hz
    spectrum.py --bands FILE.wav...    also the level of each 1 kHz band, in dB
                                       under the 2 to 8 kHz reference

The cutoff is the frequency above which the long-term spectrum of the loud
parts of the file stays kMarginDb or more under its mean level from 2 to 8 kHz:

1. The channels are read from a PCM WAVE file (8, 16, 24 or 32 bits).
2. Each channel is cut into blocks of kBlock samples (Hann window, half
   overlap); a block's power spectrum is the sum over the channels.
3. The loud blocks are those whose level lies within kLoudRangeDb of the
   kLoudPercentile-th percentile of all blocks that are not digital silence:
   pauses, fades and silent gaps do not drag the long-term spectrum down.
4. Their spectra are averaged, then smoothed with a running mean over
   kSmoothHz, so that single lines of a noisy spectrum do not decide.
5. The reference is the mean power from 2 to 8 kHz, in dB; the cutoff is the
   upper edge of the highest smoothed bin that reaches reference - kMarginDb.

An encoder's lowpass leaves nothing above it, so on material that reaches
high enough the cutoff lands at the lowpass (within about kSmoothHz / 2); a
gentle analog-like slope lands where it has fallen kMarginDb under the
midrange. Material darker than that reports its own edge: the cutoff of a
file is never higher than that of the signal it was made from, give or take
an encoder's quantisation noise.
"""

import sys
import wave

import numpy as np

kBlock = 4096
kLoudPercentile = 90
kLoudRangeDb = 20.0
kSilenceDb = -90.0  # a block this far under full scale counts as silence
kSmoothHz = 100.0
kReferenceHz = (2000.0, 8000.0)
kMarginDb = 30.0


def read_wave(path):
    """The samples as floats of full scale 1, shape (frames, channels), and the rate."""
    with wave.open(path, "rb") as w:
        width = w.getsampwidth()
        channels = w.getnchannels()
        rate = w.getframerate()
        raw = w.readframes(w.getnframes())
    if width == 1:
        data = (np.frombuffer(raw, dtype=np.uint8).astype(np.float64) - 128.0) / 128.0
    elif width == 2:
        data = np.frombuffer(raw, dtype="<i2").astype(np.float64) / 32768.0
    elif width == 3:
        b = np.frombuffer(raw, dtype=np.uint8).reshape(-1, 3).astype(np.int32)
        v = b[:, 0] | (b[:, 1] << 8) | (b[:, 2] << 16)
        v = np.where(v >= 1 << 23, v - (1 << 24), v)
        data = v.astype(np.float64) / float(1 << 23)
    elif width == 4:
        data = np.frombuffer(raw, dtype="<i4").astype(np.float64) / float(1 << 31)
    else:
        raise ValueError(f"{path}: {8 * width}-bit samples are not read")
    return data.reshape(-1, channels), rate


def block_spectra(samples):
    """Power spectra of the Hann-windowed half-overlapping blocks, channels summed."""
    frames = samples.shape[0]
    if frames < kBlock:
        samples = np.vstack([samples, np.zeros((kBlock - frames, samples.shape[1]))])
        frames = kBlock
    hop = kBlock // 2
    starts = np.arange(0, frames - kBlock + 1, hop)
    window = np.hanning(kBlock)
    total = np.zeros((len(starts), kBlock // 2 + 1))
    for channel in range(samples.shape[1]):
        x = samples[:, channel]
        blocks = np.stack([x[s:s + kBlock] for s in starts]) * window
        total += np.abs(np.fft.rfft(blocks, axis=1)) ** 2
    return total


def loud_blocks(spectra):
    """The rows of `spectra` that belong to the loud parts (see the module text)."""
    level = 10 * np.log10(spectra.sum(axis=1) / (kBlock * kBlock) + 1e-30)
    sounding = level > kSilenceDb
    if not sounding.any():
        return spectra[:0]
    top = np.percentile(level[sounding], kLoudPercentile)
    return spectra[sounding & (level >= top - kLoudRangeDb)]


def long_term_spectrum(samples, rate):
    """The smoothed mean power spectrum of the loud blocks, and the bin frequencies."""
    loud = loud_blocks(block_spectra(samples))
    freqs = np.arange(kBlock // 2 + 1) * rate / kBlock
    if len(loud) == 0:
        return np.zeros_like(freqs), freqs
    mean = loud.mean(axis=0)
    width = max(1, int(round(kSmoothHz * kBlock / rate)))
    smooth = np.convolve(mean, np.ones(width) / width, mode="same")
    return smooth, freqs


def reference_db(power, freqs):
    band = (freqs >= kReferenceHz[0]) & (freqs <= kReferenceHz[1])
    return 10 * np.log10(power[band].mean() + 1e-30)


def cutoff_hz(samples, rate):
    """The cutoff of the module text; 0 for silence."""
    power, freqs = long_term_spectrum(samples, rate)
    if not power.any():
        return 0.0
    db = 10 * np.log10(power + 1e-30)
    above = np.nonzero(db >= reference_db(power, freqs) - kMarginDb)[0]
    if len(above) == 0:
        return 0.0
    return float(min(freqs[above[-1]] + rate / kBlock / 2, rate / 2))


def band_levels(samples, rate):
    """The level of each 1 kHz band up to half the rate, in dB against the reference."""
    power, freqs = long_term_spectrum(samples, rate)
    ref = reference_db(power, freqs)
    levels = []
    for low in range(0, int(rate / 2), 1000):
        band = (freqs >= low) & (freqs < low + 1000)
        levels.append(10 * np.log10(power[band].mean() + 1e-30) - ref if band.any() else None)
    return levels


def main(argv):
    bands = "--bands" in argv
    paths = [a for a in argv if a != "--bands"]
    if not paths:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    for path in paths:
        samples, rate = read_wave(path)
        fields = [path, f"{cutoff_hz(samples, rate):.0f}"]
        if bands:
            fields += ["" if v is None else f"{v:.1f}" for v in band_levels(samples, rate)]
        # One write a line: runs in parallel share the output without
        # breaking each other's lines.
        sys.stdout.write("\t".join(fields) + "\n")
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
