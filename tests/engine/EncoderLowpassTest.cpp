#include "engine/checks/EncoderLowpass.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/media/MediaFileRegistry.h"
#include "engine/verdicts/EncoderId.h"
#include "engine/verdicts/FileAnalysis.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

LowpassQuery Cbr(EncoderFamily family, int kbps, int sample_rate = 44100, int tag_hz = 0) {
    return {.family = family,
            .tag_lowpass_hz = tag_hz,
            .sample_rate = sample_rate,
            .bitrate_kbps = kbps,
            .rate_control = RateControl::kConstant};
}

LowpassQuery Vbr(EncoderFamily family, int quality, int sample_rate = 44100, int tag_hz = 0) {
    return {.family = family,
            .tag_lowpass_hz = tag_hz,
            .sample_rate = sample_rate,
            .bitrate_kbps = 190,
            .rate_control = RateControl::kVariable,
            .vbr_quality = quality};
}

TEST(EncoderLowpass, NamesTheFamilyOfEachEncoderTheGuessNames) {
    EXPECT_EQ(EncoderFamilyOf("Lame 3.99"), EncoderFamily::kOtherLame) << "an older lame";
    EXPECT_EQ(EncoderFamilyOf("Lame 3.97 (beta)"), EncoderFamily::kOtherLame) << "a beta";
    EXPECT_EQ(EncoderFamilyOf("Lame"), EncoderFamily::kOtherLame) << "lame without a version";
    EXPECT_EQ(EncoderFamilyOf("Shine"), EncoderFamily::kShine) << "Shine by the frames";
    // Guesses of the frame statistics that name no version the table knows.
    EXPECT_EQ(EncoderFamilyOf("Lame (old)"), EncoderFamily::kUnknown) << "old lame, guessed";
    EXPECT_EQ(EncoderFamilyOf("Lame (old) or m3e"), EncoderFamily::kUnknown) << "lame or m3e";
    EXPECT_EQ(EncoderFamilyOf("FhG (l3enc)"), EncoderFamily::kUnknown) << "another encoder";
    EXPECT_EQ(EncoderFamilyOf(""), EncoderFamily::kUnknown) << "no name";
}

TEST(EncoderLowpass, LameCbrKeepsTheCutoffMeasuredAtItsBitrateAndRate) {
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 320, 48000)), 20455) << "320 at 48";
    // At 32 kHz lame leaves the top of the band out from 128 kbit/s on.
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 256, 32000)), 15316) << "256 at 32";
    // A whole file's average lies a hair under its frames' bitrate.
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 254)), 19471) << "256 averaging 254";
}

TEST(EncoderLowpass, NothingForRatesBitratesAndEncodersOutsideTheTable) {
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 64, 22050)), std::nullopt)
        << "22.05 kHz was not measured";
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 290)), std::nullopt)
        << "an average of 290 kbit/s is no CBR row";
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kUnknown, 320)), std::nullopt)
        << "an unknown encoder";
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kOtherLame, 320)), std::nullopt)
        << "another lame without a tag's lowpass";
}

TEST(EncoderLowpass, TheTagsLowpassWinsWhenItIsNotLamesOwnChoice) {
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 320, 44100, 16000)), 16000)
        << "320 with --lowpass 16";
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 128, 44100, 24000)), 22050)
        << "a lowpass above the band ends at half the rate";
    // lame's own choice in the tag: the measured cutoff, not the tag's figure.
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 256, 44100, 19700)), 19471)
        << "256 with lame's 19,700 Hz";
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kLame, 128, 32000, 16000)), 15324)
        << "lame's choice held to half of 32 kHz";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, 0, 44100, 22100)), 22050)
        << "-V 0: the whole band, the tag rounded up to 100 Hz";
    // Another lame version: its tag is all the table has.
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kOtherLame, 320, 44100, 20500)), 20500)
        << "lame 3.99 at 320";
}

TEST(EncoderLowpass, LameVbrKeepsTheCutoffOfItsQuality) {
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, 2, 48000)), 18182) << "-V 2 at 48";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, 0, 48000)), 24000) << "-V 0 at 48";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, 9)), 7768) << "-V 9";
    // ABR, or a VBR file whose -V is unknown: the tag's lowpass, else nothing.
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, -1, 32000, 15100)), 15100)
        << "ABR 96 at 32 kHz";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, -1)), std::nullopt)
        << "VBR without -V or tag";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kFfmpegLame, -1)), std::nullopt)
        << "ffmpeg's VBR: its tag names no setting";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kLame, 10)), std::nullopt) << "no -V 10";
}

TEST(EncoderLowpass, ShineKeepsTheWholeBandButAtItsLowestBitrates) {
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kShine, 320, 48000)), 24000) << "320 at 48";
    EXPECT_EQ(ExpectedLowpassHz(Cbr(EncoderFamily::kShine, 32)), 20225) << "32 at 44.1 kHz";
    EXPECT_EQ(ExpectedLowpassHz(Vbr(EncoderFamily::kShine, 0)), std::nullopt)
        << "Shine makes no VBR";
}

TEST(EncoderLowpass, NamesTheSourceAnEdgeIsTypicalOf) {
    // Cutoffs of first encodes in the test set (bright, sparse and speech signals).
    EXPECT_EQ(LikelySource(10955, 44100), "typical of a 64 kbit/s MP3") << "lame 64";
    EXPECT_EQ(LikelySource(15079, 44100), "typical of a 96 or 112 kbit/s MP3") << "lame 96";
    EXPECT_EQ(LikelySource(16564, 44100), "typical of a 128 kbit/s MP3") << "lame 128, speech";
    EXPECT_EQ(LikelySource(16704, 48000), "typical of a 128 kbit/s MP3") << "lame -V 5";
    EXPECT_EQ(LikelySource(17297, 44100), "typical of a 160 kbit/s MP3 or of AAC at 128 kbit/s")
        << "AAC 128";
    EXPECT_EQ(LikelySource(18920, 48000), "typical of a 192 kbit/s MP3") << "lame 192 at 48";
    EXPECT_EQ(LikelySource(19418, 44100),
              "typical of Vorbis at 128 kbit/s or of a 224 or 256 kbit/s MP3")
        << "Vorbis 128";
}

TEST(EncoderLowpass, NamesNoSourceOutsideTheBandsOrAtTheTopOfTheFilesBand) {
    EXPECT_EQ(LikelySource(17800, 44100), "") << "between 160 and -V 3";
    EXPECT_EQ(LikelySource(20171, 44100), "") << "the edge of a 320 kbit/s MP3";
    EXPECT_EQ(LikelySource(20197, 48000), "") << "the edge of Opus";
    EXPECT_EQ(LikelySource(3000, 44100), "") << "under every source";
    EXPECT_EQ(LikelySource(15121, 32000), "") << "a 32 kHz file's own top";
    EXPECT_EQ(LikelySource(11105, 32000), "typical of a 64 kbit/s MP3") << "64 at 32 kHz";
    EXPECT_EQ(LikelySource(10955, 22050), "") << "an unmeasured rate";
}

TEST(EncoderLowpass, EachLameBitrateCutoffIsTypicalOfThatBitrate) {
    // The two tables agree: the cutoff lame keeps at a bitrate names that bitrate.
    for (const int kbps : {64, 80, 96, 112, 128, 160, 192}) {
        for (const int rate : {44100, 48000}) {
            const std::optional<double> cutoff =
                ExpectedLowpassHz(Cbr(EncoderFamily::kLame, kbps, rate));
            ASSERT_TRUE(cutoff) << kbps << " kbit/s at " << rate << " Hz is in the table";
            EXPECT_NE(LikelySource(*cutoff, rate).find(std::to_string(kbps) + " "),
                      std::string_view::npos)
                << "source named by the cutoff of " << kbps << " kbit/s at " << rate << " Hz";
        }
    }
}

// The query that a fixture's record and encoder name give.
LowpassQuery QueryOfFixture(std::string_view name) {
    const MediaFileTypesScope media_types;
    const FileAnalysis analysis = Analyse(test::FixturePath(name), {});
    EXPECT_EQ(analysis.outcome, AnalysisOutcome::kAnalysed) << name << " is analysed";
    return LowpassQueryOf(analysis.record, NameEncoder(analysis.record).name);
}

TEST(EncoderLowpass, ReadsTheQueryOfRealFiles) {
    const LowpassQuery v2 = QueryOfFixture("lame_vbr_v2.mp3");
    EXPECT_EQ(v2.family, EncoderFamily::kLame) << "lame -V 2: family";
    EXPECT_EQ(v2.rate_control, RateControl::kVariable) << "lame -V 2: rate control";
    EXPECT_EQ(v2.vbr_quality, 2) << "lame -V 2: -V from the tag's preset";
    EXPECT_EQ(v2.tag_lowpass_hz, 18500) << "lame -V 2: the tag's lowpass";
    EXPECT_EQ(ExpectedLowpassHz(v2), 18772) << "lame -V 2: expected cutoff";

    const LowpassQuery abr = QueryOfFixture("lame_abr96_32k.mp3");
    EXPECT_EQ(abr.vbr_quality, -1) << "ABR: no -V";
    EXPECT_EQ(abr.sample_rate, 32000) << "ABR: rate";
    EXPECT_EQ(ExpectedLowpassHz(abr), 15100) << "ABR: the tag's lowpass";

    const LowpassQuery ffmpeg = QueryOfFixture("ffmpeg_lame_cbr112_id3.mp3");
    EXPECT_EQ(ffmpeg.family, EncoderFamily::kFfmpegLame) << "ffmpeg's libmp3lame: family";
    EXPECT_EQ(ffmpeg.tag_lowpass_hz, 0) << "ffmpeg's libmp3lame: no lowpass in its tag";
    EXPECT_EQ(ExpectedLowpassHz(ffmpeg), 15272) << "ffmpeg's libmp3lame 112: expected cutoff";

    const LowpassQuery shine = QueryOfFixture("ffmpeg_shine_64.mp3");
    EXPECT_EQ(shine.family, EncoderFamily::kShine) << "Shine: family";
    EXPECT_EQ(ExpectedLowpassHz(shine), 22050) << "Shine 64: the whole band";

    // lame's text in the first frame without a LAME tag: the table by bitrate.
    const LowpassQuery untagged = QueryOfFixture("lame_notag_cbr128.mp3");
    EXPECT_EQ(untagged.tag_lowpass_hz, 0) << "no tag: no tag's lowpass";
    EXPECT_EQ(ExpectedLowpassHz(untagged), 16683) << "no tag: the row of 128 kbit/s";
}

}  // namespace
}  // namespace vandrel
