// The length texts of real encoder output (Delay, Padding, Exact Length,
// Shown Length) and the detail of the "wrong length shown" finding.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/media/MediaFileRegistry.h"
#include "engine/verdicts/FileAnalysis.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::FixturePath;

class LengthTest : public ::testing::Test {
protected:
    const MediaFileTypesScope media_types_;
    test::TempDir dir_;
};

std::string WrongLengthDetail(const FileAnalysis& analysis) {
    const auto it = std::find_if(analysis.findings.begin(), analysis.findings.end(),
                                 [](const Finding& f) { return f.brief == "wrong length shown"; });
    return it == analysis.findings.end() ? std::string() : it->detail;
}

// lame writes a delay of 576 samples and pads the last frame; less both, the
// frames hold exactly the seconds of the signal encoded.
TEST_F(LengthTest, LameTagsGiveTheExactLengthOfTheSignal) {
    struct Case {
        const char* file;
        const char* padding;
        const char* exact;
        const char* shown;  // whole frames, the Info frame left out
    };
    const Case cases[] = {
        {"lame_cbr128_joint.mp3", "756", "00:00:03.000", "00:00:03.030"},
        {"lame_vbr_v6_mono.mp3", "1584", "00:00:04.000", "00:00:04.049"},
        // MPEG-2: 576 samples a frame.
        {"lame_mpeg2_22k_cbr64.mp3", "666", "00:00:03.000", "00:00:03.056"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const FileAnalysis a = Analyse(FixturePath(c.file), {});
        EXPECT_EQ(a.texts[kSlotDelay], "576") << "Delay";
        EXPECT_EQ(a.texts[kSlotPadding], c.padding) << "Padding";
        EXPECT_EQ(a.texts[kSlotExactLength], c.exact) << "Exact Length";
        EXPECT_EQ(a.texts[kSlotShownLength], c.shown) << "Shown Length";
        EXPECT_EQ(WrongLengthDetail(a), "") << "no wrong length shown";
    }
}

// No header: players guess the length from the first frame; the frames count
// whole, 308 of 1152 samples at 44.1 kHz.
TEST_F(LengthTest, VbrFileWithoutHeaderIsGuessedFromItsFirstFrame) {
    const FileAnalysis vbr = Analyse(FixturePath("lame_notag_vbr_long.mp3"), {});
    EXPECT_EQ(vbr.texts[kSlotDelay], "") << "Delay without a LAME tag";
    EXPECT_EQ(vbr.texts[kSlotPadding], "") << "Padding without a LAME tag";
    EXPECT_EQ(vbr.texts[kSlotExactLength], "00:00:08.046") << "Exact Length";
    EXPECT_EQ(vbr.texts[kSlotShownLength], "00:00:02.272") << "Shown Length";
    EXPECT_EQ(WrongLengthDetail(vbr),
              "Players show 00:00:02.2 before reading the file, 5.8 s less than the audio's "
              "00:00:08.0: the VBR file has no Xing or VBRI header, so its length is guessed from "
              "the first frame's bitrate.")
        << "wrong length shown";
    EXPECT_EQ(vbr.texts[kSlotProblems], "wrong length shown") << "the brief stays";
    // Layer II from twolame: 1152 samples a frame, and no header either.
    const FileAnalysis mp2 = Analyse(FixturePath("twolame_crc_48_mono.mp2"), {});
    EXPECT_EQ(mp2.texts[kSlotExactLength], "00:00:04.023") << "Exact Length of an MP2";
}

TEST_F(LengthTest, ExactLengthNeedsAWalkOfTheWholeFile) {
    const FileAnalysis part = Analyse(FixturePath("lame_cbr128_joint.mp3"), {.frames = 20});
    EXPECT_EQ(part.texts[kSlotExactLength], "") << "Exact Length after 20 frames";
    EXPECT_EQ(part.texts[kSlotDelay], "576") << "Delay after 20 frames";
    EXPECT_EQ(part.texts[kSlotShownLength], "00:00:03.030") << "Shown Length after 20 frames";

    const FileAnalysis headers =
        Analyse(FixturePath("lame_cbr128_joint.mp3"), {.depth = ReadDepth::kHeaders});
    EXPECT_EQ(headers.texts[kSlotExactLength], "") << "Exact Length of the headers alone";
}

TEST_F(LengthTest, OtherKindsAndFailuresHaveNoLengthTexts) {
    for (const char* name :
         {"mpcenc_q5_stereo.mpc", "sox_pcm_22k_mono.wav", "lame_freeformat_400.mp3"}) {
        SCOPED_TRACE(name);
        const FileAnalysis a = Analyse(FixturePath(name), {});
        EXPECT_EQ(a.texts[kSlotDelay], "") << "Delay";
        EXPECT_EQ(a.texts[kSlotExactLength], "") << "Exact Length";
        EXPECT_EQ(a.texts[kSlotShownLength], "") << "Shown Length";
    }
}

TEST_F(LengthTest, JoinedFileShowsTheLengthItsFirstHeaderCounts) {
    std::vector<uint8_t> bytes = test::ReadFile(FixturePath("lame_cbr128_joint.mp3"));
    const std::vector<uint8_t> second = test::ReadFile(FixturePath("lame_vbr_v2.mp3"));
    bytes.insert(bytes.end(), second.begin(), second.end());
    const std::string path = dir_.File("joined.mp3");
    test::WriteFile(path, bytes);

    const FileAnalysis a = Analyse(path, {});
    EXPECT_EQ(a.texts[kSlotShownLength], "00:00:03.030") << "Shown Length: the first header's";
    EXPECT_EQ(WrongLengthDetail(a),
              "Players show 00:00:03.0 before reading the file, 3.1 s less than the audio's "
              "00:00:06.1: its Xing header counts 117 frames, the audio holds 234.")
        << "wrong length shown";
}

TEST(FormatExactLength, RoundsToTheMillisecondAndCarries) {
    EXPECT_EQ(FormatExactLength(205.317), "00:03:25.317") << "minutes and milliseconds";
    EXPECT_EQ(FormatExactLength(59.9996), "00:01:00.000") << "carry into the minute";
    EXPECT_EQ(FormatExactLength(-1.0), "00:00:00.000") << "a damaged length";
}

}  // namespace
}  // namespace vandrel
