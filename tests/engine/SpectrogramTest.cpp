#include "engine/audio/Spectrogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace vandrel {
namespace {

constexpr int kRate = 44100;

// `count` samples of a sine of `amplitude` at `hz`.
std::vector<float> Sine(double hz, double amplitude, size_t count) {
    std::vector<float> samples(count);
    for (size_t n = 0; n < samples.size(); ++n) {
        samples[n] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / kRate));
    }
    return samples;
}

constexpr size_t kTwoSeconds = 2 * kRate;

// The frequency of a bin's centre with the default 2048-point frames.
double BinCentre(int bin) {
    return bin * double(kRate) / 2048;
}

// The loudest bin of a column (or of the long-term spectrum for -1).
int LoudestBin(const Spectrogram& s, int column) {
    int loudest = 0;
    for (int k = 1; k < s.bins; ++k) {
        const float level =
            column < 0 ? s.long_term_db[static_cast<size_t>(k)] : s.Level(column, k);
        const float best =
            column < 0 ? s.long_term_db[static_cast<size_t>(loudest)] : s.Level(column, loudest);
        if (level > best) {
            loudest = k;
        }
    }
    return loudest;
}

Spectrogram Build(const std::vector<float>& samples, SpectrogramShape shape = {}) {
    SpectrogramBuilder builder(kRate, shape);
    builder.Add(samples);
    return builder.Finish();
}

TEST(Spectrogram, PutsASineInItsBinAtItsLevelAgainstFullScale) {
    // On a bin's centre: a full-scale sine is 0 dB, one of a tenth -20 dB.
    const Spectrogram full = Build(Sine(BinCentre(93), 1.0, kTwoSeconds));
    EXPECT_EQ(full.bins, 1025) << "bins of 2048-point frames";
    EXPECT_EQ(LoudestBin(full, 0), 93) << "loudest bin of the first column";
    EXPECT_EQ(LoudestBin(full, full.columns - 1), 93) << "loudest bin of the last column";
    EXPECT_NEAR(full.Level(full.columns / 2, 93), 0.0, 0.05) << "full-scale sine's level";
    EXPECT_EQ(LoudestBin(full, -1), 93) << "loudest bin of the long-term spectrum";
    EXPECT_NEAR(full.long_term_db[93], 0.0, 0.05) << "long-term level of the sine";
    const Spectrogram tenth = Build(Sine(BinCentre(93), 0.1, kTwoSeconds));
    EXPECT_NEAR(tenth.Level(tenth.columns / 2, 93), -20.0, 0.05) << "a tenth of full scale";
    // Between two bins the nearer one takes it, a little lower.
    const Spectrogram between = Build(Sine(1000.0, 1.0, kTwoSeconds));
    EXPECT_EQ(LoudestBin(between, between.columns / 2), 46) << "1 kHz: 46.44 bins";
    EXPECT_NEAR(between.Level(between.columns / 2, 46), -1.10, 0.05) << "Hann window's loss";
    // Far from the sine the window leaves nothing to speak of.
    EXPECT_LT(full.long_term_db[400], -100.0) << "level 300 bins away from the sine";
}

TEST(Spectrogram, MergesColumnsInPairsInTheirTimeOrder) {
    // 64-point frames every 32 samples: 3264 samples make 101 frames. With 8
    // columns at most, 16 frames a column: 6 full ones and one of 5 frames.
    const SpectrogramShape shape{.fft_size = 64, .max_columns = 8};
    std::vector<float> samples = Sine(BinCentre(4) * 32, 1.0, 1600);
    const std::vector<float> later = Sine(BinCentre(20) * 32, 1.0, 1664);
    samples.insert(samples.end(), later.begin(), later.end());
    ASSERT_EQ(samples.size(), 3264u);
    const Spectrogram s = Build(samples, shape);
    EXPECT_EQ(s.columns, 7) << "columns after merging twice";
    EXPECT_DOUBLE_EQ(s.column_seconds, 16.0 * 32 / kRate) << "a column's time";
    EXPECT_DOUBLE_EQ(s.seconds, 3264.0 / kRate) << "the audio's length";
    EXPECT_EQ(LoudestBin(s, 0), 4) << "first column: the first tone";
    EXPECT_EQ(LoudestBin(s, 2), 4) << "third column: still the first tone";
    EXPECT_EQ(LoudestBin(s, 4), 20) << "fifth column: the second tone";
    EXPECT_EQ(LoudestBin(s, 6), 20) << "last, short column: the second tone";

    // Handed over a sample at a time, the same samples give the same levels.
    SpectrogramBuilder piecewise(kRate, shape);
    for (const float sample : samples) {
        piecewise.Add(std::span(&sample, 1));
    }
    const Spectrogram pieces = piecewise.Finish();
    ASSERT_EQ(pieces.columns, s.columns) << "columns of the piecewise build";
    EXPECT_EQ(pieces.levels_db, s.levels_db) << "levels of the piecewise build";
}

TEST(Spectrogram, KeepsAtMostItsColumnsHoweverLongTheAudio) {
    const SpectrogramShape shape{.fft_size = 64, .max_columns = 10};
    SpectrogramBuilder builder(kRate, shape);
    const std::vector<float> second = Sine(BinCentre(8) * 32, 0.5, kRate);
    for (int i = 0; i < 30; ++i) {
        builder.Add(second);
    }
    const Spectrogram s = builder.Finish();
    // 1,323,000 samples: 41,343 frames, 8192 a column.
    EXPECT_EQ(s.columns, 6) << "columns of 30 s";
    EXPECT_DOUBLE_EQ(s.column_seconds, 8192.0 * 32 / kRate) << "a column's time";
    EXPECT_EQ(s.levels_db.size(), 6u * 33u) << "levels kept";
    // An odd maximum would merge out of step: it is taken one lower.
    SpectrogramBuilder odd(kRate, {.fft_size = 64, .max_columns = 5});
    odd.Add(Sine(500, 0.5, 3200));
    EXPECT_EQ(odd.Finish().columns, 4) << "99 frames in at most 4 columns";
}

TEST(Spectrogram, MakesOnePaddedFrameOfAShortInputAndNoColumnsOfNone) {
    const Spectrogram short_input = Build(Sine(BinCentre(93), 1.0, 1000));
    EXPECT_EQ(short_input.columns, 1) << "1000 samples, fewer than a frame";
    EXPECT_EQ(LoudestBin(short_input, 0), 93) << "the sine in the padded frame";
    const Spectrogram none = Build({});
    EXPECT_EQ(none.columns, 0) << "columns without samples";
    EXPECT_TRUE(none.levels_db.empty()) << "levels without samples";
    EXPECT_EQ(none.long_term_db.size(), 1025u) << "the long-term spectrum has its bins";
    EXPECT_EQ(none.long_term_db[0], kSilenceDb) << "and they are silent";
}

TEST(Spectrogram, LeavesTheQuietColumnsOutOfTheLongTermSpectrum) {
    // Two seconds of a loud tone, then two of a tone 40 dB under it.
    std::vector<float> samples = Sine(BinCentre(93), 1.0, kTwoSeconds);
    const std::vector<float> quiet = Sine(BinCentre(300), 0.01, kTwoSeconds);
    samples.insert(samples.end(), quiet.begin(), quiet.end());
    const Spectrogram s = Build(samples);
    EXPECT_NEAR(s.long_term_db[93], 0.0, 0.1) << "the loud tone, not halved by the quiet part";
    // Counted, the quiet half would give it -43 dB; the column across the
    // change counts with the loud ones and brings a trace of it.
    EXPECT_LT(s.long_term_db[300], -60.0) << "the quiet tone is left out";
    EXPECT_NEAR(s.Level(s.columns - 1, 300), -40.0, 0.1) << "but the columns show it";
    // Silence throughout: nothing is loud, nothing is left out.
    const Spectrogram silence = Build(std::vector<float>(20000, 0.0f));
    EXPECT_EQ(silence.long_term_db[93], kSilenceDb) << "long-term level of silence";
}

}  // namespace
}  // namespace vandrel
