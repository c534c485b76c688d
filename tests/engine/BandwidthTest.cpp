#include "engine/checks/Bandwidth.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

// The side information of a frame that MakeFrame built.
std::optional<FrameSideInfo> SideOf(const std::vector<uint8_t>& frame) {
    FrameHeader h{};
    EXPECT_GT(DecodeFrameHeader(LoadBe32(frame), h), 0) << "the built header decodes";
    return ReadSideInfo(std::span<const uint8_t>(frame).subspan(h.protection == 0 ? 6 : 4),
                        h.is_mpeg1, h.channels);
}

TEST(Bandwidth, ReadsEveryLongBlockFieldOfHandMadeSideInformation) {
    // MPEG-2 mono, 9 bytes: main_data_begin 0xA5, private bit 1,
    // part2_3_length 1475, big_values 209, global_gain 150,
    // scalefac_compress 301, long blocks with tables 17, 9, 31, region
    // counts 13 and 5, scalefac_scale 1, count1table_select 1.
    //   10100101 1 010111000011 011010001 10010110 100101101 0 10001 01001 11111
    //   1101 101 1 1
    const std::vector<uint8_t> mpeg2 = {0xA5, 0xAE, 0x1B, 0x46, 0x5A, 0x5A, 0x8A, 0x7F, 0xB7};
    const std::optional<FrameSideInfo> side = ReadSideInfo(mpeg2, 0, 1);
    ASSERT_TRUE(side) << "9 bytes hold MPEG-2 mono side information";
    const GranuleSideInfo& g = side->granule[0][0];
    EXPECT_EQ(side->main_data_begin, 0xA5) << "main_data_begin";
    EXPECT_EQ(g.part2_3_length, 1475) << "part2_3_length";
    EXPECT_EQ(g.big_values, 209) << "big_values";
    EXPECT_FALSE(g.window_switching) << "window switching";

    // Too few bytes, or a channel count that no header gives.
    const std::vector<uint8_t> bytes17(17);
    EXPECT_TRUE(ReadSideInfo(bytes17, 1, 1)) << "17 bytes of MPEG-1 mono";
    EXPECT_FALSE(ReadSideInfo(std::span(bytes17).first(16), 1, 1)) << "16 bytes of 17";
    EXPECT_FALSE(ReadSideInfo(bytes17, 1, 2)) << "17 bytes of MPEG-1 stereo's 32";
    EXPECT_FALSE(ReadSideInfo(bytes17, 1, 0)) << "no channels";
}

TEST(Bandwidth, ReadsTheGranulesOfBuiltFrames) {
    // MPEG-1 joint stereo with a CRC: two granules of two channels, in order.
    test::SideInfoFields fields;
    fields.main_data_begin = 511;
    fields.scfsi = 0b0110;
    fields.granules[0][0].big_values = 288;
    fields.granules[0][1].big_values = 17;
    fields.granules[1][0] = {
        .big_values = 150, .window_switching = true, .block_type = 2, .mixed = true};
    fields.granules[1][1] = {.big_values = 3, .scalefac_scale = true};
    const std::vector<uint8_t> frame = test::MakeFrame({.crc = true}, fields);
    const std::optional<FrameSideInfo> side = SideOf(frame);
    ASSERT_TRUE(side) << "side information after the CRC";
    EXPECT_EQ(side->main_data_begin, 511) << "main_data_begin";
    EXPECT_EQ(side->scfsi[1], (std::array<int, 4>{0, 1, 1, 0})) << "scfsi of the right channel";
    EXPECT_EQ(side->granule[0][0].big_values, 288) << "granule 0, left";
    EXPECT_EQ(side->granule[0][1].big_values, 17) << "granule 0, right";
    EXPECT_TRUE(side->granule[1][0].block_type == 2 && side->granule[1][0].mixed)
        << "granule 1, left: mixed short blocks";
    EXPECT_EQ(side->granule[1][1].big_values, 3) << "granule 1, right";
    EXPECT_TRUE(side->granule[1][1].scalefac_scale) << "granule 1, right: scalefac_scale";
    // The fast path takes big_values of the long-block channels only, and
    // nothing from fewer bytes than the side information.
    // (A buffer of just the side information: a sanitizer build sees any read past it.)
    const std::vector<uint8_t> exact(frame.begin() + 6, frame.begin() + 6 + 32);
    BandwidthHistogram fast;
    EXPECT_TRUE(fast.AddSideInfo(exact, 1, 2, 44100)) << "32 bytes";
    EXPECT_EQ(fast.count(), 2) << "both granules";
    EXPECT_EQ(fast.Percentile(0.5), 250) << "granule 1: 3 pairs of the right channel, 230 Hz";
    EXPECT_EQ(fast.Percentile(1.0), 22'100) << "granule 0: all 576 lines, 22,050 Hz";
    EXPECT_FALSE(fast.AddSideInfo(std::span(exact).first(31), 1, 2, 44100)) << "31 bytes";
    EXPECT_EQ(fast.count(), 2) << "nothing added from 31 bytes";

    // MPEG-2 mono: one granule.
    test::SideInfoFields mono;
    mono.granules[0][0] = {.big_values = 99, .window_switching = true, .block_type = 3};
    const std::optional<FrameSideInfo> lsf = SideOf(
        test::MakeFrame({.version = test::Version::kMpeg2, .bitrate_index = 8, .mode = 3}, mono));
    ASSERT_TRUE(lsf) << "MPEG-2 mono side information";
    EXPECT_EQ(lsf->granules, 1) << "one granule";
    EXPECT_EQ(lsf->granule[0][0].big_values, 99) << "big_values";
    EXPECT_EQ(lsf->granule[0][0].block_type, 3) << "stop block";
}

TEST(Bandwidth, MapsBigValuesToFrequency) {
    GranuleSideInfo g;
    g.big_values = 300;  // more than the 288 pairs a granule holds
    EXPECT_DOUBLE_EQ(HighestCodedFrequency(g, 48000), 24000) << "capped at half the rate";

    // The widest long-block channel counts; a short-block channel does not.
    FrameSideInfo side;
    side.granules = 1;
    side.channels = 2;
    side.granule[0][0].big_values = 100;
    side.granule[0][1].big_values = 250;
    side.granule[0][1].block_type = 2;
    EXPECT_DOUBLE_EQ(GranuleBandwidth(side, 0, 44100).value_or(-1), 200 * 44100.0 / 1152)
        << "the long-block channel";
    side.granule[0][0].block_type = 2;
    EXPECT_FALSE(GranuleBandwidth(side, 0, 44100)) << "short blocks only";
    side.granule[0][0] = side.granule[0][1] = {};
    EXPECT_FALSE(GranuleBandwidth(side, 0, 44100)) << "no big values";
}

// A histogram of `count` granules at each frequency.
BandwidthHistogram Granules(std::initializer_list<std::pair<double, int>> spread) {
    BandwidthHistogram h;
    for (const auto& [hz, count] : spread) {
        for (int i = 0; i < count; ++i) {
            h.Add(hz);
        }
    }
    return h;
}

TEST(Bandwidth, HistogramPercentiles) {
    EXPECT_EQ(BandwidthHistogram().Percentile(0.95), 0) << "empty";
    BandwidthHistogram h = Granules({{16'720, 95}, {20'010, 5}});
    EXPECT_EQ(h.count(), 100) << "values counted";
    EXPECT_EQ(h.Percentile(0.95), 16'750) << "95 % under the top of 16,700 to 16,750";
    EXPECT_EQ(h.Percentile(0.96), 20'050) << "96 % reaches the 20 kHz bin";
    h.Add(1e9);
    EXPECT_EQ(h.Percentile(1.0), 24'050) << "anything above 24 kHz in the last bin";
}

TEST(Bandwidth, VerdictsOfTableRows) {
    const StreamFacts cbr320{.bitrate_kbps = 320, .sample_rate = 44100};
    const StreamFacts cbr256{.bitrate_kbps = 255, .sample_rate = 48000};  // as a scan averages
    const StreamFacts cbr224{.bitrate_kbps = 224, .sample_rate = 44100};
    const StreamFacts rate32k{.bitrate_kbps = 320, .sample_rate = 32000};
    const StreamFacts v0{.bitrate_kbps = 242,
                         .sample_rate = 44100,
                         .rate_control = RateControl::kVariable,
                         .lame_vbr_scale = 100};
    StreamFacts v2 = v0;
    v2.lame_vbr_scale = 80;
    StreamFacts untagged = v0;  // ffmpeg's VBR
    untagged.lame_vbr_scale = -1;

    // lame -b 320 of the music; -b 320, -b 256 and -V 0 of its decoded -b 128
    const BandwidthHistogram full = Granules({{20'080, 1000}});
    const BandwidthHistogram edge = Granules({{16'650, 950}, {16'780, 50}});
    // music with a weak top octave, or a re-encode of a dull 128: a pair or two into the top band
    const BandwidthHistogram top_band = Granules({{16'010, 900}, {16'190, 100}});
    // a re-encode of a 160: an edge at 17.4 kHz, past a 128 kbit/s source's
    const BandwidthHistogram edge160 = Granules({{17'380, 1000}});
    // a weaker top band: quiet granules stop inside it, loud ones reach 19 kHz
    const BandwidthHistogram weak = Granules({{16'010, 900}, {16'790, 60}, {18'940, 40}});
    const BandwidthHistogram short_file = Granules({{16'650, kMinimumJudgedGranules - 1}});
    const struct {
        const char* what;
        const BandwidthHistogram& granules;
        StreamFacts facts;
        UpscaleKind kind;
    } rows[] = {
        {"320", full, cbr320, UpscaleKind::kFullBandwidth},
        {"128 to 320", edge, cbr320, UpscaleKind::kProbablyUpscaled},
        {"128 to 256 at 48 kHz", edge, cbr256, UpscaleKind::kProbablyUpscaled},
        {"128 to V0", edge, v0, UpscaleKind::kProbablyUpscaled},
        {"top band at 16 kHz", top_band, cbr320, UpscaleKind::kNotJudged},
        {"160 to 320", edge160, cbr320, UpscaleKind::kNotJudged},
        {"weak top band", weak, cbr256, UpscaleKind::kNotJudged},
        {"224", edge, cbr224, UpscaleKind::kNotJudged},
        {"V2", edge, v2, UpscaleKind::kNotJudged},
        {"VBR without a LAME tag", edge, untagged, UpscaleKind::kNotJudged},
        {"32 kHz", edge, rate32k, UpscaleKind::kNotJudged},
        {"too short", short_file, cbr320, UpscaleKind::kNotJudged},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(JudgeBandwidth(row.granules, row.facts).kind, row.kind) << row.what;
    }
    const UpscaleVerdict upscaled = JudgeBandwidth(edge, cbr320);
    EXPECT_EQ(upscaled.bandwidth_hz, 16'700) << "bandwidth of the 128 to 320 row";
    EXPECT_EQ(upscaled.reach_hz, 16'800) << "reach of the 128 to 320 row";
}

// The bandwidth of a committed fixture, by a plain walk over its frames, and
// the same by the walk's fast path, which must agree granule for granule.
BandwidthHistogram FixtureBandwidth(const char* name) {
    const std::vector<uint8_t> bytes = test::ReadFile(test::FixturePath(name));
    BandwidthHistogram histogram;
    BandwidthHistogram fast;
    FrameHeader h{};
    for (size_t at = 0; at + 4 <= bytes.size();) {
        const int length = DecodeFrameHeader(LoadBe32(std::span(bytes).subspan(at)), h);
        if (length == 0 || at + static_cast<size_t>(length) > bytes.size()) {
            break;
        }
        const auto side = std::span(bytes).subspan(at + (h.protection == 0 ? 6 : 4));
        if (const auto read = ReadSideInfo(side, h.is_mpeg1, h.channels)) {
            histogram.AddFrame(*read, h.sample_rate);
        }
        fast.AddSideInfo(side, h.is_mpeg1, h.channels, h.sample_rate);
        at += static_cast<size_t>(length);
    }
    EXPECT_EQ(fast.count(), histogram.count()) << name << ": granules by the fast path";
    for (double p : {0.1, 0.5, 0.9, 0.95, 0.99, 1.0}) {
        EXPECT_EQ(fast.Percentile(p), histogram.Percentile(p)) << name << ": fast path at " << p;
    }
    return histogram;
}

TEST(Bandwidth, RealFixtures) {
    // lame -b 320 keeps about 20 kHz; -b 64 mono cuts far lower.
    const BandwidthHistogram cbr320 = FixtureBandwidth("lame_cbr320_stereo.mp3");
    EXPECT_GT(cbr320.count(), 100) << "long-block granules of the 320 kbit/s fixture";
    EXPECT_GE(cbr320.Percentile(kBandwidthPercentile), 19'000) << "320 kbit/s bandwidth";
    EXPECT_LE(cbr320.Percentile(kBandwidthPercentile), 21'000) << "320 kbit/s bandwidth";
    const BandwidthHistogram cbr64 = FixtureBandwidth("lame_cbr64_mono.mp3");
    EXPECT_GT(cbr64.count(), 200) << "long-block granules of the 64 kbit/s fixture";
    EXPECT_GE(cbr64.Percentile(kBandwidthPercentile), 6'000) << "64 kbit/s bandwidth";
    EXPECT_LE(cbr64.Percentile(kBandwidthPercentile), 12'000) << "64 kbit/s bandwidth";
    // MPEG-2, joint stereo with short blocks; MPEG-1 with a CRC.
    FixtureBandwidth("lame_mpeg2_22k_cbr64.mp3");
    FixtureBandwidth("lame_crc_cbr128.mp3");
}

}  // namespace
}  // namespace vandrel
