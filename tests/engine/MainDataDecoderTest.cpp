// The Layer III main-data decoder on frames built bit by bit: the lines and
// band levels it finds, the bit reservoir, the MPEG-2 scale factors, and the
// errors it counts instead of reading past a frame.
#include "engine/frame/MainDataDecoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/io/ByteOrder.h"
#include "support/MpegBuilder.h"

namespace vandrel {

// Counts as a failed comparison shows them.
void PrintTo(const MainDataCounts& c, std::ostream* out) {
    *out << "{decoded " << c.decoded << ", not decodable " << c.not_decodable << ", huffman "
         << c.huffman_errors << ", reservoir " << c.reservoir_errors << ", part2_3 "
         << c.part2_3_overruns << "}";
}

namespace {

using test::BitWriter;
using test::GranuleFields;
using test::HeaderFields;
using test::SideInfoFields;

// MPEG-1 mono, 128 kbit/s at 44.1 kHz: 417 bytes, 396 of them main data.
const HeaderFields kMono = {.mode = 3};
constexpr size_t kMonoMainData = 396;

void Decode(MainDataDecoder& decoder, const std::vector<uint8_t>& frame) {
    FrameHeader header{};
    ASSERT_GT(DecodeFrameHeader(LoadBe32(frame), header), 0) << "the built header decodes";
    decoder.Decode(frame, header);
}

// A granule whose main data is `bits`, with everything else as `fields` says.
GranuleFields Coded(GranuleFields fields, const BitWriter& bits) {
    fields.part2_3_length = static_cast<uint32_t>(bits.bit_count());
    return fields;
}

std::vector<int16_t> Lines(const GranuleSpectrum& s, size_t count) {
    return {s.lines.begin(), s.lines.begin() + static_cast<std::ptrdiff_t>(count)};
}

TEST(MainDataDecoder, DecodesTheLinesAndBandLevelsOfABuiltGranule) {
    // Granule 0: big values 3 -2 0 5 (table 7, region 0 = long band 0) and
    // 1 0 -1 2 (table 5, band 1), then quads 1 0 0 -1, 0 0 0 0, 0 1 0 0 of
    // table A. Global gain 218: 8 quarter steps above 1.0.
    BitWriter bits;
    bits.PutPair(7, 3, -2);
    bits.PutPair(7, 0, 5);
    bits.PutPair(5, 1, 0);
    bits.PutPair(5, -1, 2);
    bits.PutQuad(0, 1, 0, 0, -1);
    bits.PutQuad(0, 0, 0, 0, 0);
    bits.PutQuad(0, 0, 1, 0, 0);
    SideInfoFields side;
    side.granules[0][0] = Coded(
        {.big_values = 4, .global_gain = 218, .table_select = {7, 5, 0}, .region0_count = 0}, bits);
    side.main_data = bits.bytes();
    MainDataDecoder decoder;
    Decode(decoder, test::MakeFrame(kMono, side));

    const GranuleSpectrum& g = decoder.spectrum(0, 0);
    EXPECT_EQ(g.state, GranuleState::kDecoded) << "state of granule 0";
    EXPECT_EQ(Lines(g, 21), (std::vector<int16_t>{3,  -2, 0, 5, 1, 0, -1, 2, 1, 0, 0,
                                                  -1, 0,  0, 0, 0, 0, 1,  0, 0, 0}))
        << "lines of granule 0";
    EXPECT_EQ(g.highest_line, 17) << "highest line of granule 0";
    EXPECT_EQ(g.band_count, kLongBands) << "levels of a long block";
    // 5^(4/3) is 18.64 dB, 2^(4/3) 8.03 dB, 1 is 0 dB; 8 quarter steps 12.04 dB.
    EXPECT_NEAR(g.band_db[0], 30.68, 0.01) << "level of band 0";
    EXPECT_NEAR(g.band_db[1], 20.07, 0.01) << "level of band 1";
    EXPECT_NEAR(g.band_db[2], 12.04, 0.01) << "level of band 2 (quads)";
    EXPECT_EQ(g.band_db[5], kSilentBandDb) << "level of band 5, all zero";
    EXPECT_NEAR(g.loudest_db, 30.68, 0.01) << "loudest band";

    const GranuleSpectrum& empty = decoder.spectrum(1, 0);
    EXPECT_EQ(empty.state, GranuleState::kDecoded) << "state of granule 1, no bits";
    EXPECT_EQ(empty.highest_line, -1) << "highest line of granule 1";
    EXPECT_EQ(decoder.counts(), (MainDataCounts{.decoded = 2})) << "counts";
}

TEST(MainDataDecoder, ScaleFactorsPreflagAndSubblockGainLowerTheirBands) {
    struct Case {
        const char* what;
        bool scalefac_scale;
        bool preflag;
        size_t band;
        double level;
    };
    // A line of 1 in long band 0 (scale factor 1) and one in band 11 (scale
    // factor 0, pretab 1), at global gain 210.
    for (const Case& c : {Case{"band 0, scalefac_scale 0", false, false, 0, -3.01},
                          Case{"band 0, scalefac_scale 1", true, false, 0, -6.02},
                          Case{"band 11 without preflag", false, false, 11, 0.0},
                          Case{"band 11 with preflag", false, true, 11, -3.01}}) {
        // scalefac_compress 5: one bit for each of the 21 scale factors.
        BitWriter bits;
        bits.Put(1, 1);
        bits.Put(0, 20);
        // Region 0 up to band 11 (line 62) in table 1, region 1 band 11.
        bits.PutPair(1, 1, 0);
        for (int pair = 1; pair < 31; ++pair) {
            bits.PutPair(1, 0, 0);
        }
        bits.PutPair(1, 1, 0);
        for (int pair = 32; pair < 37; ++pair) {
            bits.PutPair(1, 0, 0);
        }
        SideInfoFields side;
        side.granules[0][0] = Coded({.big_values = 37,
                                     .scalefac_scale = c.scalefac_scale,
                                     .global_gain = 210,
                                     .scalefac_compress = 5,
                                     .table_select = {1, 1, 0},
                                     .region0_count = 10,
                                     .preflag = c.preflag},
                                    bits);
        side.main_data = bits.bytes();
        MainDataDecoder decoder;
        Decode(decoder, test::MakeFrame(kMono, side));
        const GranuleSpectrum& g = decoder.spectrum(0, 0);
        ASSERT_EQ(g.state, GranuleState::kDecoded) << c.what;
        EXPECT_EQ(g.highest_line, 62) << "highest line, " << c.what;
        EXPECT_NEAR(g.band_db[c.band], c.level, 0.01) << c.what;
    }

    // Short blocks: band 0 of window 1 has a subblock gain of 1 (8 quarter steps).
    BitWriter bits;
    bits.PutPair(1, 1, 0);  // window 0, line 0
    bits.PutPair(1, 0, 0);
    bits.PutPair(1, 1, 0);  // window 1, line 0
    SideInfoFields side;
    side.granules[0][0] = Coded({.big_values = 3,
                                 .window_switching = true,
                                 .block_type = 2,
                                 .global_gain = 210,
                                 .table_select = {1, 0, 0},
                                 .subblock_gain = {0, 1, 0}},
                                bits);
    side.main_data = bits.bytes();
    MainDataDecoder decoder;
    Decode(decoder, test::MakeFrame(kMono, side));
    const GranuleSpectrum& g = decoder.spectrum(0, 0);
    EXPECT_EQ(g.band_count, 3 * kShortBands) << "levels of a short block";
    EXPECT_NEAR(g.band_db[0], 0.0, 0.01) << "band 0, window 0";
    EXPECT_NEAR(g.band_db[1], -12.04, 0.01) << "band 0, window 1 (subblock gain 1)";
    EXPECT_EQ(g.band_db[2], kSilentBandDb) << "band 0, window 2";
}

TEST(MainDataDecoder, LargeValuesTakeTheirLinbitsAndTheirLevel) {
    // 1000 and -300 in table 23 (13 linbits): 80 dB and 66.05 dB at global gain 210.
    BitWriter bits;
    bits.PutPair(23, 1000, -300);
    SideInfoFields side;
    side.granules[0][0] =
        Coded({.big_values = 1, .global_gain = 210, .table_select = {23, 0, 0}}, bits);
    side.main_data = bits.bytes();
    MainDataDecoder decoder;
    Decode(decoder, test::MakeFrame(kMono, side));
    const GranuleSpectrum& g = decoder.spectrum(0, 0);
    EXPECT_EQ(Lines(g, 2), (std::vector<int16_t>{1000, -300})) << "lines";
    EXPECT_NEAR(g.band_db[0], 80.0, 0.05) << "level of 1000";
}

TEST(MainDataDecoder, TheReservoirCarriesMainDataIntoTheNextFrame) {
    // Frame B's granule 0 starts 100 bytes before the end of frame A's main data.
    BitWriter b_bits;
    b_bits.PutPair(1, 1, -1);
    b_bits.PutQuad(1, 0, 0, 1, 0);
    std::vector<uint8_t> a_main(kMonoMainData - 100, 0);
    a_main.insert(a_main.end(), b_bits.bytes().begin(), b_bits.bytes().end());
    SideInfoFields a_side;
    a_side.main_data = a_main;
    SideInfoFields b_side;
    b_side.main_data_begin = 100;
    b_side.granules[0][0] =
        Coded({.big_values = 1, .table_select = {1, 0, 0}, .count1table_select = 1}, b_bits);
    const std::vector<uint8_t> a = test::MakeFrame(kMono, a_side);
    const std::vector<uint8_t> b = test::MakeFrame(kMono, b_side);

    MainDataDecoder decoder;
    Decode(decoder, a);
    Decode(decoder, b);
    EXPECT_EQ(decoder.spectrum(0, 0).state, GranuleState::kDecoded) << "B, granule 0";
    EXPECT_EQ(Lines(decoder.spectrum(0, 0), 6), (std::vector<int16_t>{1, -1, 0, 0, 1, 0}))
        << "B's lines from A's bytes";

    // Without A before it, B reaches back into bytes the reservoir lacks:
    // normal at a start, counted apart from the errors.
    decoder.Reset();
    Decode(decoder, b);
    EXPECT_EQ(decoder.spectrum(0, 0).state, GranuleState::kNotDecodable) << "B after a reset";
    EXPECT_EQ(decoder.counts(), (MainDataCounts{.decoded = 4, .not_decodable = 2}))
        << "counts after A, B, reset, B";
    // A frame cut short decodes nothing and empties the reservoir.
    Decode(decoder, a);
    decoder.Decode(std::span(a).first(200), FrameHeader{});
    FrameHeader header{};
    DecodeFrameHeader(LoadBe32(a), header);
    decoder.Decode(std::span(a).first(200), header);
    Decode(decoder, b);
    EXPECT_EQ(decoder.spectrum(0, 0).state, GranuleState::kNotDecodable) << "B after a cut frame";
}

TEST(MainDataDecoder, CountsErrorsInsteadOfReadingPastItsBits) {
    struct Case {
        const char* what;
        GranuleFields granule;
        MainDataCounts counts;
    };
    BitWriter pair;
    pair.PutPair(1, 1, 1);  // 5 bits
    // Granule 1 takes no bits and decodes, unless it starts past the frame too.
    const std::vector<Case> cases = {
        {"more than 288 big values",
         {.big_values = 289, .part2_3_length = 5},
         {.decoded = 1, .huffman_errors = 1}},
        {"table 4",
         {.big_values = 1, .part2_3_length = 5, .table_select = {4, 0, 0}},
         {.decoded = 1, .huffman_errors = 1}},
        {"regions past line 576",
         {.big_values = 1,
          .part2_3_length = 5,
          .table_select = {1, 1, 1},
          .region0_count = 15,
          .region1_count = 7},
         {.decoded = 1, .huffman_errors = 1}},
        {"main data past the frame's end, both granules",
         {.big_values = 1, .part2_3_length = 4000},
         {.reservoir_errors = 2}},
        {"scale factors past part2_3_length",
         {.part2_3_length = 10, .scalefac_compress = 15},
         {.decoded = 1, .part2_3_overruns = 1}},
        {"big values past part2_3_length",
         {.big_values = 1, .part2_3_length = 3, .table_select = {1, 0, 0}},
         {.decoded = 1, .part2_3_overruns = 1}},
    };
    for (const Case& c : cases) {
        SideInfoFields side;
        side.granules[0][0] = c.granule;
        side.main_data = pair.bytes();
        MainDataDecoder decoder;
        Decode(decoder, test::MakeFrame(kMono, side));
        EXPECT_EQ(decoder.counts(), c.counts) << c.what;
        EXPECT_EQ(decoder.spectrum(0, 0).state, GranuleState::kDamaged) << c.what;
    }
}

TEST(MainDataDecoder, AQuadThatCrossesTheGranulesEndIsLeftOut) {
    BitWriter bits;
    bits.PutQuad(0, 1, 0, 0, 0);
    bits.PutQuad(0, 0, 0, 1, -1);
    SideInfoFields side;
    side.granules[0][0] = Coded({}, bits);
    side.granules[0][0].part2_3_length -= 1;
    side.main_data = bits.bytes();
    MainDataDecoder decoder;
    Decode(decoder, test::MakeFrame(kMono, side));
    EXPECT_EQ(decoder.spectrum(0, 0).state, GranuleState::kDecoded) << "state";
    EXPECT_EQ(Lines(decoder.spectrum(0, 0), 8), (std::vector<int16_t>{1, 0, 0, 0, 0, 0, 0, 0}))
        << "lines, the second quad left out";
    EXPECT_EQ(decoder.spectrum(0, 0).highest_line, 0) << "highest line";
}

TEST(MainDataDecoder, ReadsMpeg2ScaleFactorsOfEachScheme) {
    // MPEG-2 joint stereo, 64 kbit/s at 22.05 kHz. Each case codes scale
    // factors of as many bits as scalefac_compress gives (all ones), then the
    // pair (1, 1): read with another count of bits, the pair comes out wrong.
    struct Case {
        const char* what;
        uint32_t compress;
        bool intensity;  // the right channel with intensity stereo on
        bool short_blocks;
        int bits;
    };
    const Case cases[] = {
        {"compress 0: no bits", 0, false, false, 0},
        {"compress 399: 4 4 3 3 bits for 6 5 5 5", 399, false, false, 74},
        {"compress 499: 4 4 3 bits for 6 5 7", 499, false, false, 65},
        {"compress 511: 3 2 bits for 11 10, preflag", 511, false, false, 53},
        {"short, compress 399: 4 4 3 3 bits for 9 9 9 9", 399, false, true, 126},
        {"intensity, half 179: 4 5 5 bits for 7 7 7", 358, true, false, 98},
        {"intensity, half 243: 3 3 3 bits for 6 6 6", 486, true, false, 54},
        {"intensity, half 255: 3 2 bits for 8 8", 510, true, false, 40},
    };
    for (const Case& c : cases) {
        BitWriter bits;
        for (int i = 0; i < c.bits; ++i) {
            bits.Put(1, 1);
        }
        bits.PutPair(1, 1, 1);
        GranuleFields granule = Coded({.big_values = 1,
                                       .window_switching = c.short_blocks,
                                       .block_type = c.short_blocks ? 2 : 0,
                                       .scalefac_compress = c.compress,
                                       .table_select = {1, 0, 0}},
                                      bits);
        SideInfoFields side;
        side.granules[0][c.intensity ? 1 : 0] = granule;
        side.main_data = bits.bytes();
        const HeaderFields header = {.version = test::Version::kMpeg2,
                                     .bitrate_index = 8,
                                     .mode_extension = c.intensity ? 1 : 0};
        MainDataDecoder decoder;
        Decode(decoder, test::MakeFrame(header, side));
        const GranuleSpectrum& g = decoder.spectrum(0, c.intensity ? 1 : 0);
        ASSERT_EQ(g.state, GranuleState::kDecoded) << c.what;
        EXPECT_EQ(Lines(g, 3), (std::vector<int16_t>{1, 1, 0})) << c.what;
    }
}

TEST(MainDataDecoder, MapsTheHighestLineToHzBandByBandInShortBlocks) {
    const ScaleFactorBands& bands = *BandsOf(44100);
    GranuleSpectrum s;
    // Short band 5 (window lines 22 to 29) starts at line 66: line 70 is
    // window 0's line 26, line 75 window 1's line 23.
    s.lines[70] = 1;
    s.lines[75] = -1;
    s.highest_line = 75;
    s.block_type = 0;
    EXPECT_NEAR(HighestLineHz(s, bands, 44100, true), 75.5 * 44100 / 1152, 0.01)
        << "long block: line 75";
    s.block_type = 2;
    EXPECT_NEAR(HighestLineHz(s, bands, 44100, true), 26.5 * 44100 / 384, 0.01)
        << "short block: window line 26 of band 5";
    // Mixed: lines below 36 are long-block lines.
    GranuleSpectrum mixed;
    mixed.block_type = 2;
    mixed.mixed = true;
    mixed.lines[30] = 2;
    mixed.highest_line = 30;
    EXPECT_NEAR(HighestLineHz(mixed, bands, 44100, true), 30.5 * 44100 / 1152, 0.01)
        << "mixed block, long part";
    mixed.lines[40] = 1;  // short band 3, window 1's first line (12)
    mixed.highest_line = 40;
    EXPECT_NEAR(HighestLineHz(mixed, bands, 44100, true), 12.5 * 44100 / 384, 0.01)
        << "mixed block, short part";
    EXPECT_EQ(HighestLineHz(GranuleSpectrum{}, bands, 44100, true), 0.0) << "no line";
}

}  // namespace
}  // namespace vandrel
