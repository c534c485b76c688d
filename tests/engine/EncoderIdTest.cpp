#include "engine/verdicts/EncoderId.h"

#include <gtest/gtest.h>

#include "engine/media/VandrelMp3File.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

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

// For every row: statistics that reach it, and the same with one condition
// changed, which lands on the next row that matches.
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
    // Joint stereo with short blocks, padding, neither original nor copyright: QDesign,
    // even when VBR.
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
}

std::string Sign(std::string_view block) {
    return SignatureFromBlock({reinterpret_cast<const uint8_t*>(block.data()), block.size()});
}

TEST(EncoderText, FindsSignaturesAndTheirVersions) {
    EXPECT_EQ(Sign("..LAME3.90 (alpha).."), "LAME3.90a");
    EXPECT_EQ(Sign("LAME3.93 xx"), "LAME3.93 ");
    EXPECT_EQ(Sign("LAME3.100..."), "LAME3.100 ");
    EXPECT_EQ(Sign(std::string_view("LAME3\0xy ", 9)), "LAME3 ");
    EXPECT_EQ(Sign("xx RCA mp3PRO Encoder1.0.1zz"), "RCA 1.0.1");
    EXPECT_EQ(Sign("THOMSON mp3PRO Encoder 2.1.0 x"), "Thomson 2.1.0 ");
    EXPECT_EQ(Sign("GOGO..VBRI"), "VBRI");  // VBRI is tested first
    EXPECT_EQ(Sign("MPGE GOGO"), "MPGE");
    EXPECT_EQ(Sign("nothing here"), "");
    EXPECT_EQ(Sign(std::string_view("\0\0LAME", 6)), "LAME ");  // zero bytes are bytes
}

TEST(EncoderText, TakesOnlyTheBytesOfTheBlock) {
    // The block cut at every length around "LAME3.90 (alpha)"; from 13 bytes
    // on, the suffix is there.
    const std::string_view full = "xxLAME3.90 (alpha)";
    const char* const kCut[13] = {"",          "",          "",         "",        "",
                                  "",          "LAME ",     "LAME3 ",   "LAME3. ", "LAME3.9 ",
                                  "LAME3.90 ", "LAME3.90 ", "LAME3.90 "};
    for (size_t n = 0; n <= full.size(); ++n) {
        EXPECT_EQ(Sign(full.substr(0, n)), n < 13 ? kCut[n] : "LAME3.90a") << "cut at " << n;
    }
}

TEST(EncoderText, NamesTheEncoder) {
    EXPECT_EQ(NameFromText("LAME3.90a"), "Lame 3.90 (alpha)");
    EXPECT_EQ(NameFromText("LAME3.97 "), "Lame 3.97");
    EXPECT_EQ(NameFromText("LAME3.96b"), "Lame 3.96 (beta)");
    EXPECT_EQ(NameFromText("LAME3.90"), "Lame 3.90");  // exactly 8: no suffix
    EXPECT_EQ(NameFromText("LAME3.9"), "Lame");
    EXPECT_EQ(NameFromText("LAME3.100"), "Lame 3.100");
    EXPECT_EQ(NameFromText("LAME3.90 (b)"), "Lame 3.90 (beta)");
    EXPECT_EQ(NameFromText("xxLAME3.90"), "Lame ME3.");  // positions 4..7 whatever
    EXPECT_EQ(NameFromText("VBRI"), "FhG (fastenc)");
    EXPECT_EQ(NameFromText("MPGE"), "Gogo (before 3.0)");
    EXPECT_EQ(NameFromText("GOGO"), "Gogo (after 3.0)");
    EXPECT_EQ(NameFromText("RCA 1.0.1"), "RCA 1.0.1");
    EXPECT_EQ(NameFromText("Thomson 2.1"), "Thomson 2.1");
    EXPECT_EQ(NameFromText("Lavc"), "");
}

TEST(EncoderText, ComesFromTheLameTagOrTheFramesOfRealFiles) {
    const std::pair<const char*, const char*> cases[] = {
        {"lame_vbr_v2.mp3", "Lame 3.100"},        // the LAME tag
        {"lame_notag_cbr128.mp3", "Lame 3.100"},  // lame -t: text in its frames
        {"ffmpeg_lame_cbr112_id3.mp3", ""},       // "Lavc" in the tag's place
        {"twolame_mp2_192_48k.mp2", ""},
    };
    for (const auto& [file, text] : cases) {
        CVandrelMp3File mp3;
        ASSERT_TRUE(mp3.Open(test::FixturePath(file), "rb"));
        ScanRecord r = ZeroRecord();
        mp3.Scan(r, {.cache = CacheLookup::kSkip});
        EXPECT_EQ(EncoderText(r), text) << file;
    }
}

}  // namespace
}  // namespace vandrel
