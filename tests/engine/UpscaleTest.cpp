#include "engine/verdicts/Upscale.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/checks/IntegrityChecks.h"
#include "engine/checks/UpscaleFacts.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/Findings.h"
#include "engine/verdicts/SpectrogramMarks.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

struct Scanned {
    ScanRecord record = ZeroRecord();
    FileChecks checks;
};

Scanned Scan(const std::string& name) {
    RegisterStandardMediaFileTypes();
    Scanned s;
    CVandrelMediaFileWrapper file;
    EXPECT_TRUE(file.Attach(test::FixturePath(name))) << name;
    IntegrityChecks integrity(s.checks);
    EXPECT_EQ(file.Scan(s.record, {.checks = &integrity, .cache = CacheLookup::kSkip}), 1) << name;
    return s;
}

// The figures of a 320 kbit/s re-encode of a 128 kbit/s MP3: nine in ten
// loud granules end at 16.6 kHz, most of them within the edge's width, and
// a third of them end firmly there.
FileChecks Reencoded() {
    FileChecks c;
    c.walked = 1;
    c.bandwidth_hz = 16'600;
    c.reach_hz = 16'800;
    c.median_hz = 16'300;
    c.bandwidth_granules = 300;
    c.edge_share = 0.8f;
    c.edge_drop_db = 3;
    c.spectrum_granules = 400;
    c.firm_edge_hz = 16'600;
    c.firm_edge_share = 0.3f;
    return c;
}

TEST(Upscale, RealEncodesAreJudgedOnlyWhereTheVerdictHolds) {
    const Scanned bright = Scan("lame_cbr256_bright.mp3");
    EXPECT_EQ(JudgeUpscale(bright.record, bright.checks).answer, UpscaleAnswer::kNo)
        << "lame at 256 kbit/s of a full-band signal reaches its own lowpass";
    EXPECT_NEAR(JudgeUpscale(bright.record, bright.checks).expected_lowpass_hz, 19'471, 1)
        << "lame 3.100's measured cutoff at 256 kbit/s";

    for (const char* name : {"ffmpeg_mp2_160.mp2", "lame_mpeg2_22k_cbr64.mp3"}) {
        const Scanned other = Scan(name);
        EXPECT_EQ(JudgeUpscale(other.record, other.checks).answer, UpscaleAnswer::kNotJudged)
            << name << ": Layer II, or a rate other than 32, 44.1 and 48 kHz";
        AttributeTexts texts;
        FillCheckTexts(texts, other.record, other.checks);
        EXPECT_EQ(texts[kSlotUpscaled], "") << name << ": Upscaled? cell";
    }

    Scanned headers_only = bright;
    headers_only.checks.walked = 0;
    EXPECT_EQ(JudgeUpscale(headers_only.record, headers_only.checks).answer,
              UpscaleAnswer::kNotJudged)
        << "no frame walk, no answer";
}

TEST(Upscale, SaysProbablyOnlyForAHardEdgeWellUnderTheEncodersLowpass) {
    const ScanRecord lame320 = Scan("lame_cbr320_stereo.mp3").record;
    const auto answer = [&](const FileChecks& c) { return JudgeUpscale(lame320, c).answer; };

    EXPECT_EQ(answer(Reencoded()), UpscaleAnswer::kProbably) << "the re-encode's figures";

    FileChecks few = Reencoded();
    few.bandwidth_granules = kMinimumLoudGranules - 1;
    EXPECT_EQ(answer(few), UpscaleAnswer::kUnknown) << "too few loud granules";

    FileChecks full = Reencoded();
    full.bandwidth_hz = 20'000;
    full.median_hz = 19'800;
    full.reach_hz = 20'100;
    EXPECT_EQ(answer(full), UpscaleAnswer::kNo) << "content up to the lowpass of 20.2 kHz";

    FileChecks near = full;
    near.median_hz = 17'000;  // most granules end far under the lowpass
    EXPECT_EQ(answer(near), UpscaleAnswer::kUnknown) << "a cutoff near the lowpass, a low median";

    FileChecks top_band = Reencoded();
    top_band.bandwidth_hz = 16'000;
    top_band.median_hz = 15'900;
    top_band.reach_hz = 16'100;
    EXPECT_EQ(answer(top_band), UpscaleAnswer::kUnknown) << "an edge at the top band's start";

    FileChecks spread = Reencoded();
    spread.median_hz = 14'500;
    EXPECT_EQ(answer(spread), UpscaleAnswer::kUnknown) << "granules ending far apart";

    FileChecks wide = Reencoded();
    wide.reach_hz = 18'500;
    EXPECT_EQ(answer(wide), UpscaleAnswer::kUnknown) << "the widest granules reach on";

    FileChecks rolling = Reencoded();
    rolling.edge_drop_db = 12;
    EXPECT_EQ(answer(rolling), UpscaleAnswer::kUnknown) << "the level falls towards the edge";

    FileChecks sharp = rolling;  // every loud granule ends within 0.2 kHz
    sharp.median_hz = 16'500;
    sharp.reach_hz = 16'700;
    sharp.edge_drop_db = 11;
    EXPECT_EQ(answer(sharp), UpscaleAnswer::kProbably) << "a sharp edge after a falling level";
    sharp.edge_drop_db = 13;
    EXPECT_EQ(answer(sharp), UpscaleAnswer::kUnknown) << "a sharp edge after a steep fall";

    rolling.edge_drop_db = kNoEdgeDrop;
    EXPECT_EQ(answer(rolling), UpscaleAnswer::kUnknown) << "no level at the edge to compare";

    FileChecks fading = Reencoded();
    fading.firm_edge_share = 0.05f;
    EXPECT_EQ(answer(fading), UpscaleAnswer::kUnknown) << "a hard edge the music fades out at";
    EXPECT_NE(JudgeUpscale(lame320, fading).reason.find("fade out"), std::string::npos)
        << "reason of a fading edge";
}

TEST(Upscale, GranulesEndingFirmlyWellUnderTheLowpassAreAFirstEncodesEdge) {
    const ScanRecord lame320 = Scan("lame_cbr320_stereo.mp3").record;
    // A band-limited master re-encoded: its loud granules end from 14.5 to
    // 16.8 kHz, no hard edge in the highest lines, but half of them end
    // firmly at the first encode's 16.0 kHz.
    FileChecks checks = Reencoded();
    checks.median_hz = 14'500;
    checks.firm_edge_hz = 16'000;
    checks.firm_edge_share = 0.5f;
    const UpscaleJudgement firm = JudgeUpscale(lame320, checks);
    EXPECT_EQ(firm.answer, UpscaleAnswer::kProbably) << "a firm edge well under the lowpass";
    EXPECT_EQ(firm.cutoff_hz, 16'000) << "the firm edge is the cutoff";
    EXPECT_EQ(firm.reason,
              "coded spectrum ends at 16.0 kHz on 50% of loud granules, with the music's level "
              "right up to it; this encoder keeps 20.2 kHz at 320 kbit/s; typical of a 96 or "
              "112 kbit/s MP3")
        << "reason";

    checks.firm_edge_share = 0.35f;
    EXPECT_EQ(JudgeUpscale(lame320, checks).answer, UpscaleAnswer::kUnknown)
        << "too few granules ending firmly";
    checks.firm_edge_share = 0.5f;
    checks.firm_edge_hz = 19'500;  // an encoder's own lowpass ends them firmly too
    EXPECT_EQ(JudgeUpscale(lame320, checks).answer, UpscaleAnswer::kUnknown)
        << "a firm edge near the lowpass";
}

TEST(Upscale, ACliffInTheBandLevelsIsAFirstEncodesEdgeToo) {
    const ScanRecord lame320 = Scan("lame_cbr320_stereo.mp3").record;
    // A re-encode of a 64 kbit/s MP3: half the loud granules end at 11.3 kHz,
    // a tenth code the first decode's noise up to 13.1 kHz and more, and the
    // levels fall 47 dB from the band under 11 kHz to the one above.
    FileChecks checks = Reencoded();
    checks.bandwidth_hz = 13'100;
    checks.median_hz = 11'300;
    checks.reach_hz = 15'900;
    checks.edge_share = 0.3f;
    checks.edge_drop_db = 60;
    checks.cliff_hz = 11'025;
    checks.cliff_db = 47;
    const UpscaleJudgement cliff = JudgeUpscale(lame320, checks);
    EXPECT_EQ(cliff.answer, UpscaleAnswer::kProbably) << "a cliff well under the lowpass";
    EXPECT_EQ(cliff.cutoff_hz, 11'025) << "the cliff is the cutoff";
    EXPECT_EQ(cliff.reason,
              "coded spectrum ends at 11.0 kHz (the loud granules' level falls 47 dB there); "
              "this encoder keeps 20.2 kHz at 320 kbit/s; typical of a 64 kbit/s MP3")
        << "reason";

    checks.cliff_db = kNoEdgeDrop;
    EXPECT_NE(JudgeUpscale(lame320, checks).reason.find("nothing above it is coded"),
              std::string::npos)
        << "a band above that is not coded";

    checks.median_hz = 13'000;
    EXPECT_EQ(JudgeUpscale(lame320, checks).answer, UpscaleAnswer::kUnknown)
        << "most granules ending far above the cliff";
    checks.median_hz = 11'300;
    checks.cliff_hz = 0;
    EXPECT_EQ(JudgeUpscale(lame320, checks).answer, UpscaleAnswer::kUnknown) << "no cliff";
}

TEST(Upscale, TheFindingNamesTheFiguresAndTheLikelySource) {
    const ScanRecord lame320 = Scan("lame_cbr320_stereo.mp3").record;
    const FileChecks checks = Reencoded();
    const std::vector<Finding> findings = CollectFindings(lame320, checks);
    ASSERT_EQ(findings.size(), 1u) << "one finding";
    const Finding& f = findings[0];
    EXPECT_EQ(f.brief, "probably upscaled") << "brief";
    EXPECT_EQ(f.severity, Severity::kWarning) << "severity";
    EXPECT_EQ(f.detail,
              "Coded spectrum ends at 16.6 kHz on 80% of loud granules; this encoder keeps "
              "20.2 kHz at 320 kbit/s; typical of a 128 kbit/s MP3.")
        << "detail";
    ASSERT_EQ(f.figures.size(), 6u) << "figures";
    EXPECT_EQ(f.figures[0], (FindingFigure{"cutoff_hz", 16'600})) << "cutoff figure";
    EXPECT_EQ(f.figures[1].key, "expected_lowpass_hz") << "lowpass figure";
    EXPECT_EQ(f.figures[2], (FindingFigure{"edge_share_percent", 80})) << "share figure";
    EXPECT_EQ(f.figures[5], (FindingFigure{"firm_edge_percent", 30})) << "firm share figure";

    AttributeTexts texts;
    FillCheckTexts(texts, lame320, checks);
    EXPECT_EQ(texts[kSlotUpscaled], "probably") << "Upscaled? cell";
    EXPECT_EQ(texts[kSlotBandwidth], "16.6") << "Bandwidth cell";
}

TEST(Upscale, TheSpectrogramMarksTheCutoffAndTheEncodersLowpass) {
    const ScanRecord lame320 = Scan("lame_cbr320_stereo.mp3").record;
    const SpectrumMarks marks = SpectrogramMarks(lame320, Reencoded());
    EXPECT_EQ(marks.cutoff_hz, 16'600.0) << "cutoff line";
    ASSERT_TRUE(marks.lowpass_hz.has_value()) << "lowpass line";
    EXPECT_NEAR(*marks.lowpass_hz, 20'171, 1) << "lame 3.100's cutoff at 320 kbit/s";

    const Scanned layer2 = Scan("ffmpeg_mp2_160.mp2");
    const SpectrumMarks none = SpectrogramMarks(layer2.record, layer2.checks);
    EXPECT_FALSE(none.cutoff_hz.has_value()) << "no cutoff line where nothing is judged";
    EXPECT_FALSE(none.lowpass_hz.has_value()) << "no lowpass line where nothing is judged";
}

TEST(UpscaleFacts, ReduceTheSampleOfAFileToItsEdge) {
    CodedSpectrumSummary summary;
    summary.sample_rate = 44'100;
    summary.long_granules = 130;
    // Loud granules (classes 5 to 7): 90 ending at 16.5 kHz, 10 at 19 kHz;
    // 30 quiet ones (class 2) at 8 kHz that the edge leaves out.
    summary.long_highest[7][CodedSpectrumSummary::BinOf(16'550)] = 90;
    summary.long_highest[6][CodedSpectrumSummary::BinOf(19'050)] = 10;
    summary.long_highest[2][CodedSpectrumSummary::BinOf(8'050)] = 30;
    summary.counts.huffman_errors = 2;
    FileChecks out;
    FillUpscaleFacts(summary, out);
    EXPECT_EQ(out.bandwidth_granules, 100u) << "loud granules";
    EXPECT_EQ(out.bandwidth_hz, 16'600) << "cutoff: the bin nine in ten end in";
    EXPECT_EQ(out.reach_hz, 19'100) << "reach";
    EXPECT_FLOAT_EQ(out.edge_share, 0.9f) << "share within the edge's width";
    EXPECT_EQ(out.edge_drop_db, kNoEdgeDrop) << "no band levels in the summary";
    EXPECT_EQ(out.spectrum_granules, 130u) << "granules decoded";
    EXPECT_EQ(out.spectrum_errors, 2u) << "errors of the sample";

    EXPECT_EQ(out.cliff_hz, 0) << "no band levels, no cliff";
    EXPECT_EQ(out.firm_edge_share, 0) << "no granule ending firmly";

    // Of the loud granules, 40 end firmly from 16.3 to 16.6 kHz and 5 at
    // 19 kHz: the window of the 40; a quiet granule ending firmly is left out.
    summary.firm_highest[7][CodedSpectrumSummary::BinOf(16'350)] = 10;
    summary.firm_highest[7][CodedSpectrumSummary::BinOf(16'550)] = 30;
    summary.firm_highest[6][CodedSpectrumSummary::BinOf(19'050)] = 5;
    summary.firm_highest[2][CodedSpectrumSummary::BinOf(16'450)] = 30;
    FillUpscaleFacts(summary, out);
    EXPECT_EQ(out.firm_edge_hz, 16'600) << "firm edge: the bin of the window's middle granule";
    EXPECT_FLOAT_EQ(out.firm_edge_share, 0.4f) << "firm share of the loud granules";

    // Band levels of loud granules: flat up to the band that starts at
    // 9.1 kHz (about 31 dB under the loudest), 50 dB lower above it.
    auto& profile = summary.profile[7];
    profile.granules = 90;
    for (int band = 0; band < kLongBands; ++band) {
        const auto b = static_cast<size_t>(band);
        const bool over = summary.LongBandStartHz(band) >= 11'000;
        profile.coded[b] = 90;
        profile.below_loudest_db_sum[b] = 90 * (over ? 81.0f : 31.0f);
    }
    FillUpscaleFacts(summary, out);
    EXPECT_NEAR(out.cliff_hz, 11'025, 1) << "the cliff: the start of the band past it";
    EXPECT_NEAR(out.cliff_db, 50, 0.01) << "how far the levels fall";

    FillUpscaleFacts(CodedSpectrumSummary{}, out);
    EXPECT_EQ(out.bandwidth_granules, 0u) << "an empty sample: no loud granules";
    EXPECT_EQ(out.bandwidth_hz, 0) << "an empty sample: no cutoff";
}

}  // namespace
}  // namespace vandrel
