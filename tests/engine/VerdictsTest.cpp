#include <gtest/gtest.h>

#include <cstring>

#include "engine/tags/EncoderSignature.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/EncoderId.h"
#include "engine/verdicts/Quality.h"
#include "engine/verdicts/TextReports.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

ScanRecord Mpeg1(int mode = 1) {
    ScanRecord r = ZeroRecord();
    r.kind = 1;
    r.is_mpeg1 = 1;
    r.not_mpeg25 = 1;
    r.layer = 3;
    r.mode = mode;
    r.channels = mode == 3 ? 1 : 2;
    r.sample_rate = 44100;
    r.frames = 1000;
    r.whole_file_scanned = 1;
    r.last_frame_complete = 1;
    r.average_bitrate = 128;
    r.id3v1.image[127] = 255;
    return r;
}

AttributeTexts Build(const ScanRecord& r, bool mono = false) {
    AttributeTexts texts;
    BuildAttributeTexts(texts, r, mono);
    return texts;
}

std::string Report(const ScanRecord& r, const std::string& name = "/music/a.mp3") {
    AttributeTexts texts = Build(r);
    texts[kSlotName] = name;
    return BuildInfoReport(texts, r);
}

// The lines of the "Bitrates:" block between its two rulers.
std::vector<std::string> BitrateRows(const std::string& report) {
    const std::string ruler = std::string(60, '-') + "\r\n";
    const size_t first = report.find(ruler) + ruler.size();
    const size_t second = report.find(ruler, first);
    std::vector<std::string> rows;
    for (size_t at = first; at < second;) {
        const size_t end = report.find("\r\n", at);
        rows.push_back(report.substr(at, end - at));
        at = end + 2;
    }
    return rows;
}

TEST(AttributeTexts, FormatsSizesAndLengths) {
    EXPECT_EQ(FormatFileSize(999), "999");
    EXPECT_EQ(FormatFileSize(1000), "1,000");
    EXPECT_EQ(FormatFileSize(1'000'000'000), "1,000,000,000");  // a comma per three digits

    // Tenths only under ten seconds, cut, not rounded.
    EXPECT_EQ(FormatLength(3725.9f), "01:02:05");
    EXPECT_EQ(FormatLength(9.95f), "00:00:09.9");
    EXPECT_EQ(FormatLength(10.0f), "00:00:10");
    EXPECT_EQ(FormatLength(-3.0f), "00:00:00.0");  // a damaged record
}

TEST(AttributeTexts, NamesTypesModesAndEmphasis) {
    // The everyday MPEG-1 Layer III texts are those of the report in tests/data/reports.
    ScanRecord r = Mpeg1();
    r.mode = 7;  // a damaged record
    EXPECT_EQ(Build(r)[kSlotStereoMode], "");
    r.kind = 2;  // no kind of file has it
    EXPECT_EQ(Build(r)[kSlotGeneralType], "Unknown");

    // An mp3PRO encoder marks the type.
    r = Mpeg1();
    std::strcpy(r.encoder_text, "Thomson mp3PRO Encoder");
    EXPECT_EQ(Build(r)[kSlotType], "mpeg 1 layer III (mp3pro)");
}

TEST(AttributeTexts, ShowsTheId3v1TagOnlyWhereThereIsOne) {
    ScanRecord r = Mpeg1();
    std::memcpy(r.id3v1.image, "TAGSong", 7);
    std::memset(r.id3v1.image + 7, ' ', 26);
    // No tag: the texts of the image, but the genre and track keep what they had.
    AttributeTexts t = Build(r);
    EXPECT_EQ(t[kSlotTitle], "Song");
    EXPECT_EQ(t[kSlotGenre], "");
    EXPECT_EQ(t[kSlotTrack], "");

    r.id3v1_present = 1;
    r.id3v1.track = 12;
    r.id3v1.image[127] = 0;
    t = Build(r);
    EXPECT_EQ(t[kSlotGenre], "Blues");
    EXPECT_EQ(t[kSlotTrack], "12");
}

// The replay gain slots follow the LAME slots: first, middle and last show none is shifted.
TEST(AttributeTexts, CarriesTheReplayGainTextsAfterTheLameTexts) {
    ScanRecord r = Mpeg1();
    r.has_xing = 1;
    r.xing.has_lame_tag = 1;
    r.xing.radio_gain_adjustment = -53;
    const AttributeTexts t = Build(r);
    EXPECT_EQ(t[kSlotLameTag], "yes");
    EXPECT_EQ(t[kSlotPeak], "not set");
    EXPECT_EQ(t[kSlotRadioAdjustment], "-5.3");
    EXPECT_EQ(t[kSlotAudiophileAdjustment], "0");
}

// The mode counts by its text as shown, so the first cases go through the texts.
TEST(Quality, WeighsTheModeShownMonoVbrAndTheEncoderClass) {
    ScanRecord r = Mpeg1();
    std::strcpy(r.encoder_text, "Lame 3.90");  // the class of FhG: good above 128
    AttributeTexts t;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityOk);
    r.average_bitrate = 140;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityGood);
    r.mode = 0;  // plain stereo counts for less: 140 x 0.9 is not above 128
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityOk);
    r.mode = 3;
    r.average_bitrate = 80;
    EXPECT_EQ(BuildAttributeTexts(t, r, false), kQualityBad);
    EXPECT_EQ(BuildAttributeTexts(t, r, true), kQualityGood);  // mono counts double
    // VBR counts more: 128 x 1.2 = 153.6.
    r = Mpeg1();
    r.is_vbr = 1;
    EXPECT_EQ(EstimateQuality("Lame 3.90", "joint stereo", r, false), kQualityGood);
    // Lame 3.100 and later, and Lame in ffmpeg, go with FhG as 3.9x does;
    // 3.12 is no 3.100.
    EXPECT_EQ(EncoderClass("Lame 3.12"), 0);
    EXPECT_EQ(EncoderClass("Lame 3.100"), 1);
    EXPECT_EQ(EncoderClass("Lame 3.100 (alpha)"), 1);
    EXPECT_EQ(EncoderClass("Lame (Lavc58.18)"), 1);
    // A record without version or layer cannot be judged.
    r.layer = 0;
    r.average_bitrate = 500;
    EXPECT_EQ(EstimateQuality("Unknown", "", r, false), kQualityBad);
}

// A LAME VBR file as lame 3.100 tags it, with `preset` in its tag.
ScanRecord LameVbr(int preset, int average_bitrate) {
    ScanRecord r = Mpeg1();
    r.is_vbr = 1;
    r.average_bitrate = average_bitrate;
    r.has_xing = 1;
    r.xing.has_lame_tag = 1;
    CopyTextField(r.xing.lame_version, "LAME3.100");
    CopyTextField(r.encoder_text, "Lame 3.100");
    r.xing.vbr_method = 4;
    r.xing.mp3_gain[1] = static_cast<uint8_t>(preset >> 8);
    r.xing.mp3_gain[2] = static_cast<uint8_t>(preset);
    return r;
}

std::string QualityOf(const ScanRecord& r) {
    return Build(r)[kSlotQuality];
}

TEST(Quality, ALameVbrFileIsJudgedByTheSettingItsTagNames) {
    // Quiet music: -V 2 at 61 and -V 4 at 74 kbit/s are below the ok threshold (96 / 1.2).
    EXPECT_EQ(QualityOf(LameVbr(480, 61)), "good") << "quality of -V 2 at 61 kbit/s";
    EXPECT_EQ(QualityOf(LameVbr(460, 74)), "ok") << "quality of -V 4 at 74 kbit/s";
    EXPECT_EQ(QualityOf(LameVbr(450, 74)), "bad") << "quality of -V 5 at 74 kbit/s";
    EXPECT_EQ(QualityOf(LameVbr(460, 160)), "good") << "quality of -V 4 at 160: never lowered";
    // The named presets of lame 3.94 to 3.97.
    EXPECT_EQ(QualityOf(LameVbr(1001, 61)), "good") << "quality of --preset standard";
    EXPECT_EQ(QualityOf(LameVbr(1006, 61)), "ok") << "quality of --preset medium";
    // Only lame's own tag, and a -V setting only with a VBR method.
    ScanRecord other = LameVbr(480, 61);
    CopyTextField(other.xing.lame_version, "Lavc59.37");
    EXPECT_EQ(QualityOf(other), "bad") << "quality of preset bits in another program's tag";
    other = LameVbr(480, 61);
    other.xing.vbr_method = 2;
    EXPECT_EQ(QualityOf(other), "bad") << "quality of -V 2 bits in an ABR tag";

    // Where lame puts the setting: under the surround bits after the MP3 gain.
    const ScanRecord v2 = test::ScanMemory(test::ReadFile(test::FixturePath("lame_vbr_v2.mp3")));
    EXPECT_EQ(LamePreset(v2), 480) << "preset of a file made with lame -V 2";
}

TEST(InfoReport, DrawsOneBarPerBitrateUsed) {
    // No frames: no rows.
    ScanRecord r = Mpeg1();
    EXPECT_TRUE(BitrateRows(Report(r)).empty());
    r.bitrate_index_counts[9] = 600;
    r.bitrate_index_counts[1] = 150;
    r.bitrate_index_counts[14] = 250;
    const std::vector<std::string> rows = BitrateRows(Report(r));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], " 32     " + std::string(10, '|') + std::string(35, ' ') + "  15.0%");
    EXPECT_EQ(rows[1], "128     " + std::string(40, '|') + std::string(5, ' ') + "  60.0%");
    EXPECT_EQ(rows[2], "320     " + std::string(16, '|') + std::string(29, ' ') + "  25.0%");
}

TEST(InfoReport, BeginsWithTheFileNameAndEndsWithTheLameSection) {
    const std::string report = Report(Mpeg1(), "/music/Süß.mp3");
    EXPECT_EQ(report.substr(0, report.find("\r\n\r\n") + 4),
              "Süß.mp3\r\n-------\r\n\r\n");  // as many dashes as characters
    // Without a LAME tag: one line, then the empty line that ends the report.
    const std::string ending = "Lame Header         : No\r\n\r\n";
    EXPECT_EQ(report.substr(report.size() - ending.size()), ending);
}

// The statistics the decision table looks at, with names as short as its own.
struct Stats {
    uint32_t S = 0;  // short blocks
    int F = 0;       // scfsi used
    int K = 0;       // scalefac_scale count
    int P = 0;       // padding used
    int O = 0;       // original bit
    int R = 0;       // copyright bit
    int V = 0;       // VBR
    int A = 0;       // average reservoir
    int M = 1;       // mode: 0 stereo, 1 joint, 2 dual, 3 mono
    uint32_t LR = 0, IS = 0, ISMS = 0;
    int T = 0;  // tail sum: 0, 160 or 2550 make it exact, others give 7
};

ScanRecord Make(const Stats& s) {
    ScanRecord r = ZeroRecord();
    r.short_blocks = s.S;
    r.scfsi_used = s.F;
    r.scalefac_scale_count = s.K;
    r.padding_used = s.P;
    r.original = s.O;
    r.copyright = s.R;
    r.is_vbr = s.V;
    r.average_reservoir = s.A;
    r.mode = s.M;
    r.layer = 3;
    r.stereo_type_counts[0] = s.LR;
    r.stereo_type_counts[1] = s.IS;
    r.stereo_type_counts[3] = s.ISMS;
    if (s.T == 2550 || s.T == 160) {
        std::fill(std::begin(r.tail_bytes), std::end(r.tail_bytes), s.T / 10);
    } else {
        r.tail_bytes[0] = static_cast<uint8_t>(s.T);
    }
    return r;
}

struct RowCase {
    int row;
    Stats reach;
    Stats miss;  // one condition off
    int miss_row;
};

// Each row reached, and missed by changing one condition, which lands on the next row that matches.
const RowCase kRows[] = {
    {1, {.M = 2}, {.K = 1, .M = 2}, 2},
    {2, {.F = 1, .M = 2}, {.F = 1, .M = 0}, 4},
    {3, {.IS = 5}, {}, 11},
    {4, {.F = 1}, {}, 11},
    {5, {.M = 0}, {.O = 1, .M = 0}, 6},
    {6, {.M = 3}, {.M = 1}, 11},
    {7, {.LR = 5}, {.P = 1, .O = 1, .LR = 5}, 8},
    {8, {.P = 1, .O = 1, .LR = 5}, {.P = 1, .LR = 5}, 9},
    {9, {.P = 1, .LR = 5}, {.P = 1}, 10},
    {10, {.P = 1}, {.P = 1, .R = 1}, 11},
    {11, {}, {.LR = 5}, 7},
    {12, {.S = 5, .F = 1}, {.S = 5, .F = 1, .K = 1}, 13},
    {13, {.S = 5, .F = 1, .K = 3}, {.S = 5, .K = 3}, 15},
    {14, {.S = 5, .K = 3, .V = 1}, {.S = 5, .K = 3}, 15},
    {15, {.S = 5, .K = 3}, {.S = 5, .K = 3, .P = 1, .O = 1}, 16},
    {16, {.S = 5, .K = 3, .P = 1, .O = 1}, {.S = 5, .K = 3, .P = 1, .O = 1, .T = 2550}, 17},
    {17, {.S = 5, .K = 3, .P = 1, .O = 1, .T = 2550}, {.S = 5, .K = 3, .P = 1, .O = 1, .T = 7}, 19},
    {18, {.S = 5, .K = 3, .P = 1, .O = 1, .T = 160}, {.S = 5, .K = 3, .P = 1, .O = 1, .T = 9}, 19},
    {19, {.S = 5, .K = 3, .P = 1, .O = 1, .T = 7}, {.S = 5, .K = 3, .P = 1, .T = 7}, 21},
    {20, {.S = 5, .K = 3, .P = 1, .IS = 1}, {.S = 5, .K = 3, .P = 1}, 21},
    {21, {.S = 5, .K = 3, .P = 1, .M = 0}, {.S = 5, .P = 1, .M = 0}, 25},
    {22, {.S = 5, .P = 1}, {.S = 5, .P = 1, .R = 1}, 25},
    {23, {.S = 5, .V = 1, .M = 0}, {.S = 5, .M = 0}, 26},
    {24, {.S = 5, .A = 40, .M = 0}, {.S = 5, .A = 39, .M = 0}, 26},
    {25, {.S = 5, .P = 1, .A = 39, .M = 0}, {.S = 5, .A = 39, .M = 0}, 26},
    {26, {.S = 5}, {.S = 5, .A = 40}, 24},
};

TEST(EncoderDecision, EveryRowIsReachedAndJustMissed) {
    for (const RowCase& c : kRows) {
        EXPECT_EQ(EncoderDecisionRow(Make(c.reach)), c.row) << "reaching row " << c.row;
        EXPECT_EQ(EncoderDecisionRow(Make(c.miss)), c.miss_row) << "missing row " << c.row;
    }
}

TEST(EncoderDecision, NamesTheExamples) {
    // Joint stereo, short blocks, padding, neither original nor copyright: QDesign, even VBR.
    Stats qdesign{.S = 4, .P = 1, .V = 1};
    EXPECT_EQ(IdentifyEncoder(Make(qdesign)), "QDesign");
    qdesign.O = 1;
    EXPECT_EQ(IdentifyEncoder(Make(qdesign)), "Lame (old)");
    // Dual channel: the reservoir rule does not apply.
    EXPECT_EQ(IdentifyEncoder(Make({.S = 4, .A = 100, .M = 2})), "dist10 encoder or other encoder");
    // A count above 2^31 reads as negative, as the stored 32 bits do.
    EXPECT_EQ(EncoderDecisionRow(Make({.S = 5, .F = 1, .K = -3})), 12);
    // Text found in the file wins over the statistics.
    ScanRecord named = Make({.S = 4});
    CopyTextField(named.encoder_text, "Lame 3.90 (alpha)");
    EXPECT_EQ(IdentifyEncoder(named), "Lame 3.90 (alpha)");
    // Layer I and II have no statistics to go by: only the text names them.
    named.layer = 2;
    EXPECT_EQ(IdentifyEncoder(named), "Lame 3.90 (alpha)");
}

TEST(EncoderDecision, SaysWhetherTheRecordNamesAnEncoder) {
    // The two rows of statistics that fit no encoder, and Layer II without a
    // text: a walk of more frames may name one.
    EXPECT_FALSE(NameEncoder(Make({})).named) << "named by row 11";
    EXPECT_FALSE(NameEncoder(Make({.F = 1, .M = 2})).named) << "named by row 2";
    ScanRecord layer2 = Make({.S = 4});
    layer2.layer = 2;
    EXPECT_FALSE(NameEncoder(layer2).named) << "named without Layer III statistics";
    EXPECT_FALSE(JudgeRecord(Make({}), false).encoder_named) << "verdict's encoder_named";
    // A row that names one, and a text found in the file.
    EXPECT_TRUE(NameEncoder(Make({.M = 2})).named) << "named by row 1";
    CopyTextField(layer2.encoder_text, "Lame 3.90");
    EXPECT_TRUE(NameEncoder(layer2).named) << "named by the file's text";
}

// A file with ffmpeg's LAME-style tag, walked over 115 frames without short
// blocks or reservoir use.
ScanRecord FfmpegTagged() {
    ScanRecord r = Mpeg1(0);
    r.frames = 115;
    r.long_blocks = 115 * 4;
    r.has_xing = 1;
    r.xing.has_lame_tag = 1;
    CopyTextField(r.xing.lame_version, "Lavc59.37");
    CopyTextField(r.encoder_text, "Lame (Lavc59.37)");
    return r;
}

TEST(EncoderText, NamesTheEncoderBehindAnotherProgramsLameStyleTagFromItsFrames) {
    EXPECT_EQ(IdentifyEncoder(FfmpegTagged()), "Shine (Lavc59.37)")
        << "name of frames without short blocks or reservoir use";
    // lame's habits, or too few frames to tell.
    ScanRecord r = FfmpegTagged();
    r.short_blocks = 2;
    EXPECT_EQ(IdentifyEncoder(r), "Lame (Lavc59.37)") << "name with short blocks";
    r = FfmpegTagged();
    r.max_reservoir = 130;
    EXPECT_EQ(IdentifyEncoder(r), "Lame (Lavc59.37)") << "name with reservoir use";
    r = FfmpegTagged();
    r.frames = 9;
    EXPECT_EQ(IdentifyEncoder(r), "Lame (Lavc59.37)") << "name after nine frames";
    // A name from lame's own tag is kept.
    CopyTextField(r.xing.lame_version, "LAME3.100");
    CopyTextField(r.encoder_text, "Lame 3.100");
    r.frames = 115;
    EXPECT_EQ(IdentifyEncoder(r), "Lame 3.100") << "name from lame's own tag";

    // ffmpeg's libshine and libmp3lame.
    const auto encoder = [](const char* fixture) {
        AttributeTexts texts;
        BuildAttributeTexts(texts, test::ScanMemory(test::ReadFile(test::FixturePath(fixture))),
                            false);
        return texts[kSlotEncoder];
    };
    EXPECT_EQ(encoder("ffmpeg_shine_64.mp3"), "Shine (Lavc59.37)") << "encoder of libshine";
    EXPECT_EQ(encoder("ffmpeg_lame_cbr112_id3.mp3"), "Lame (Lavc59.37)") << "encoder of libmp3lame";
}

std::string Sign(std::string_view block) {
    return SignatureFromBlock({reinterpret_cast<const uint8_t*>(block.data()), block.size()});
}

TEST(EncoderText, FindsSignaturesAndTheirVersionsInTheBlockOnly) {
    EXPECT_EQ(Sign("LAME3.100..."), "LAME3.100 ");
    // "LAME" counts only with a version after it: lame pads frames with its
    // name, cut anywhere.
    EXPECT_EQ(Sign(std::string_view("LAME3\0xy ", 9)), "");
    EXPECT_EQ(Sign("LAMEUUULAME\xAA\xAA..LAME3.98r"), "LAME3.98 ");
    EXPECT_EQ(Sign("xx RCA mp3PRO Encoder1.0.1zz"), "RCA 1.0.1");
    EXPECT_EQ(Sign("THOMSON mp3PRO Encoder 2.1.0 x"), "Thomson 2.1.0 ");
    EXPECT_EQ(Sign("GOGO..VBRI"), "VBRI");  // VBRI is tested first
    EXPECT_EQ(Sign("MPGE GOGO"), "MPGE");
    EXPECT_EQ(Sign(std::string_view("\0\0LAME3.1", 9)), "LAME3.1 ");  // zero bytes are bytes

    // The block cut at every length around "LAME3.90 (alpha)": the suffix from 13 bytes on.
    const std::string_view full = "xxLAME3.90 (alpha)";
    const char* const kCut[13] = {"", "", "",         "",          "",          "",         "",
                                  "", "", "LAME3.9 ", "LAME3.90 ", "LAME3.90 ", "LAME3.90 "};
    for (size_t n = 0; n <= full.size(); ++n) {
        EXPECT_EQ(Sign(full.substr(0, n)), n < 13 ? kCut[n] : "LAME3.90a") << "cut at " << n;
    }
}

TEST(EncoderText, NamesTheEncoder) {
    EXPECT_EQ(NameFromText("LAME3.90a"), "Lame 3.90 (alpha)");
    EXPECT_EQ(NameFromText("LAME3.90"), "Lame 3.90");  // exactly 8: no suffix
    EXPECT_EQ(NameFromText("LAME3.9"), "Lame");
    EXPECT_EQ(NameFromText("LAME3.100"), "Lame 3.100");
    EXPECT_EQ(NameFromText("LAME3.90 (b)"), "Lame 3.90 (beta)");
    EXPECT_EQ(NameFromText("xxLAME3.90"), "Lame ME3.");  // positions 4..7 whatever
    EXPECT_EQ(NameFromText("VBRI"), "FhG (fastenc)");
    EXPECT_EQ(NameFromText("RCA 1.0.1"), "RCA 1.0.1");
    EXPECT_EQ(NameFromText("Lavc"), "");
}

// lame 3.100 goes with 3.9x: joint-stereo CBR 64 at 22.05 kHz (63 kbit/s
// measured) is above the ok threshold of MPEG-2 for it, and not for an
// unknown encoder.
TEST(Quality, JudgesARealLame3100FileAsItsPredecessors) {
    const ScanRecord r =
        test::ScanMemory(test::ReadFile(test::FixturePath("lame_mpeg2_22k_cbr64.mp3")));
    AttributeTexts texts;
    EXPECT_EQ(BuildAttributeTexts(texts, r, false), kQualityOk);
    EXPECT_EQ(texts[kSlotEncoder], "Lame 3.100");
}

}  // namespace
}  // namespace vandrel
