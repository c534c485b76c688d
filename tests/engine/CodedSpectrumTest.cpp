// The coded-spectrum observer: which frames of a walk it samples, what its
// summary keeps, and where the spectrum of lame encodes under a lowpass ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "engine/checks/CodedSpectrumObserver.h"
#include "engine/checks/IntegrityChecks.h"
#include "engine/media/Mp3File.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using Summary = CodedSpectrumSummary;

CodedSpectrumSummary Walk(std::vector<uint8_t> bytes, CodedSpectrumObserver::SamplePlan plan = {},
                          ScanOptions options = {}) {
    CodedSpectrumObserver observer(plan);
    FileChecks results;
    ScanChecks checks{&results, &observer};
    options.checks = &checks;
    options.cache = CacheLookup::kSkip;
    CMp3File file;
    file.OpenMemory("walked.mp3", std::move(bytes));
    ScanRecord record = ZeroRecord();
    file.Scan(record, options);
    return observer.summary();
}

TEST(CodedSpectrumObserver, SamplesABoundedSetOfRunsSpreadOverTheWalk) {
    // 20,000 silent frames of MPEG-1 joint stereo (part2_3_length 0: every
    // granule decodes, to zeros). 4 granule-channels a frame: runs of 6
    // frames, the first filling the reservoir. The spare runs after the first
    // and the second run are decoded too: 12 granules a run, and the sample
    // holds fewer than 40 granules of its loudest classes until then.
    const std::vector<uint8_t> long_file = test::MakeFrames({}, 20'000);
    const Summary full = Walk(long_file);
    EXPECT_EQ(full.runs, 32u) << "runs of a whole walk";
    EXPECT_EQ(full.frames_decoded, 32u * 6) << "frames decoded";
    EXPECT_EQ(full.counts, (MainDataCounts{.decoded = 32 * 6 * 4})) << "granule-channels";
    EXPECT_EQ(full.long_granules, 32u * 6 * 2) << "long-block granules";
    EXPECT_EQ(full.long_highest[0][0], 32u * 6 * 2) << "silent granules, in class 0 and bin 0";
    EXPECT_EQ(full.sample_rate, 44100) << "sampling rate";

    // A partial walk samples what it walks: 1,001 frames, one in 2 at most,
    // in runs of 6 frames: 30 runs and the 2 spares, end to end, and one more
    // in the frames past the estimate.
    const Summary part = Walk(long_file, {}, {.frame_limit = 1000});
    EXPECT_EQ(part.runs, 33u) << "runs of a walk of 1,001 frames";
    // A walk far longer than its estimate (a Xing count of 4,000 frames)
    // samples on with ever wider steps, to twice the runs at most.
    std::vector<uint8_t> longer = test::MakeXingFrame({}, {.frames = 4'000});
    test::Append(longer, long_file);
    const Summary past = Walk(longer);
    EXPECT_GT(past.runs, 30u) << "runs past the estimate";
    EXPECT_LE(past.runs, 62u) << "runs at most";
    // A file of Layer II frames has nothing to sample.
    const Summary layer2 = Walk(test::MakeFrames({.layer = 2, .bitrate_index = 10}, 2'000));
    EXPECT_EQ(layer2.frames_decoded, 0u) << "Layer II frames decoded";
}

TEST(CodedSpectrumSummary, ClassesBinsPercentilesAndBandLevels) {
    EXPECT_EQ(Summary::LoudnessClass(kSilentBandDb), 0) << "class of silence";
    EXPECT_EQ(Summary::LoudnessClass(-70.5), 0) << "class below -70 dB";
    EXPECT_EQ(Summary::LoudnessClass(-70.0), 1) << "class at -70 dB";
    EXPECT_EQ(Summary::LoudnessClass(-10.0), 7) << "class at -10 dB";
    EXPECT_EQ(Summary::LoudnessClass(6.0), 7) << "class above 0 dB";
    EXPECT_EQ(Summary::BinOf(16'050), 160) << "bin of 16,050 Hz";
    EXPECT_EQ(Summary::BinOf(90'000), Summary::kBins - 1) << "bin above 24 kHz";

    Summary s;
    s.sample_rate = 44100;
    s.long_highest[7][160] = 90;  // loud granules up to 16.0-16.1 kHz
    s.long_highest[7][199] = 10;  // and a few up to 19.9-20 kHz
    s.long_highest[2][50] = 500;  // quiet ones up to 5 kHz
    EXPECT_EQ(s.HighestLinePercentile(0.9, 5), 16'100.0) << "90 % of the loud granules";
    EXPECT_EQ(s.HighestLinePercentile(0.95, 5), 20'000.0) << "95 % of the loud granules";
    EXPECT_EQ(s.HighestLinePercentile(0.5, 0), 5'100.0) << "half of all granules";
    EXPECT_FALSE(Summary{}.HighestLinePercentile(0.5, 0)) << "percentile of no granules";

    s.profile[7].granules = 4;
    s.profile[7].coded[21] = 2;
    s.profile[7].level_db_sum[21] = -90;
    s.profile[7].below_loudest_db_sum[21] = 70;
    const std::optional<Summary::BandLevel> top = s.LongBandLevel(21, 5);
    ASSERT_TRUE(top) << "level of band 21";
    EXPECT_DOUBLE_EQ(top->level_db, -45) << "average level of band 21";
    EXPECT_DOUBLE_EQ(top->below_loudest_db, 35) << "average distance below the loudest band";
    EXPECT_DOUBLE_EQ(top->coded_share, 0.5) << "share of granules coding band 21";
    EXPECT_FALSE(s.LongBandLevel(20, 0)) << "level of a band never coded";
    EXPECT_NEAR(s.LongBandStartHz(21), 418 * 44100.0 / 1152, 0.01) << "start of band 21";
    EXPECT_EQ(Summary{}.LongBandStartHz(21), 0.0) << "start of a band before any frame";
}

TEST(CodedSpectrumObserver, ASpectrumEndsFirmlyWhereALineUnderItsTopIsTwoOrMore) {
    const ScaleFactorBands& bands = *BandsOf(44100);
    GranuleSpectrum s;
    s.highest_line = 300;
    s.lines[300] = 1;
    s.lines[295] = -1;
    EXPECT_FALSE(EndsFirmly(s, bands, 44100)) << "a spectrum ending in lines of 1";
    s.lines[288] = -2;  // 13 lines, 500 Hz, under the highest
    EXPECT_TRUE(EndsFirmly(s, bands, 44100)) << "a line of -2 within 500 Hz";
    s.lines[288] = 0;
    s.lines[287] = 5;
    EXPECT_FALSE(EndsFirmly(s, bands, 44100)) << "a large line more than 500 Hz under the top";
    // At 22.05 kHz a line is half as wide: 26 lines make the 500 Hz.
    EXPECT_TRUE(EndsFirmly(s, *BandsOf(22050), 22050)) << "the same line at 22.05 kHz";

    GranuleSpectrum top_band;
    top_band.highest_line = bands.long_edges[kLongBands - 1] - 1;
    top_band.lines[static_cast<size_t>(top_band.highest_line)] = 9;
    EXPECT_FALSE(EndsFirmly(top_band, bands, 44100)) << "a spectrum closing the band under the top";
    EXPECT_FALSE(EndsFirmly(GranuleSpectrum{}, bands, 44100)) << "a spectrum with no line";
}

// Where lame's lowpass sits among the long bands at 44.1 kHz, and where the
// loud granules' highest lines end: at most one band apart.
int LongBandOf(double hz) {
    const ScaleFactorBands& bands = *BandsOf(44100);
    const double line = hz * 1152 / 44100;
    int band = 0;
    while (band + 1 < kLongBands && bands.long_edges[static_cast<size_t>(band + 1)] <= line) {
        ++band;
    }
    return band;
}

TEST(CodedSpectrumObserver, TheHighestLinesOfLameEncodesSitAtTheirLowpass) {
    struct Case {
        const char* file;
        double lowpass_hz;
    };
    for (const Case& c : {Case{"lame_cbr320_sine1k_lowpass5k.mp3", 5'000},
                          Case{"lame_cbr192_pink_lowpass11k.mp3", 11'000}}) {
        SCOPED_TRACE(c.file);
        // Every frame decoded.
        const Summary all =
            Walk(test::ReadFile(test::FixturePath(c.file)), {.runs = 1000, .one_frame_in = 1});
        EXPECT_EQ(all.counts.huffman_errors + all.counts.reservoir_errors +
                      all.counts.part2_3_overruns,
                  0u)
            << "errors";
        EXPECT_GE(all.long_granules, 100u) << "long-block granules";
        // Loud granules: their loudest band at -30 dB and above.
        const std::optional<double> top = all.HighestLinePercentile(0.95, 5);
        ASSERT_TRUE(top) << "loud granules";
        EXPECT_LE(std::abs(LongBandOf(*top) - LongBandOf(c.lowpass_hz)), 1)
            << "band of the highest line, " << *top << " Hz";
        EXPECT_GT(*top, c.lowpass_hz * 0.9) << "highest line against the lowpass";
        // Above the lowpass's band and the next no band is coded.
        const int above = LongBandOf(c.lowpass_hz) + 2;
        EXPECT_FALSE(all.LongBandLevel(above, 0)) << "level of band " << above;
    }

    // A normal scan with the checks samples it too.
    FileChecks out;
    IntegrityChecks checks(out);
    CMp3File file;
    ASSERT_TRUE(file.Open(test::FixturePath("lame_cbr192_pink_lowpass11k.mp3"), "rb"));
    ScanRecord record = ZeroRecord();
    file.Scan(record, {.checks = &checks, .cache = CacheLookup::kSkip});
    EXPECT_GT(checks.coded_spectrum().counts.decoded, 0u) << "granule-channels of a scan";
    // 79 frames: 6 runs, and the spares between them while the sample holds
    // fewer than 40 loud granules.
    EXPECT_EQ(checks.coded_spectrum().runs, 8u) << "runs of 79 frames";
}

}  // namespace
}  // namespace vandrel
