#include "engine/frame/FrameHeader.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/frame/BitReader.h"

namespace vandrel {
namespace {

// The fields in declaration order.
std::vector<int> Fields(const FrameHeader& h) {
    return {h.is_mpeg1,  h.not_mpeg25,  h.bitrate_index, h.mode,  h.mode_extension,
            h.padding,   h.sample_rate, h.channels,      h.layer, h.protection,
            h.copyright, h.emphasis,    h.original};
}

TEST(FrameHeader, DecodesEveryFieldOfAnMpeg1LayerIIIHeader) {
    FrameHeader h{};
    ASSERT_EQ(DecodeFrameHeader(0xFFFB9064, h), 417);
    EXPECT_EQ(Fields(h), (std::vector<int>{1, 1, 9, 1, 2, 0, 44100, 2, 3, 1, 0, 0, 1}));

    // The same frame with padding is one byte longer.
    EXPECT_EQ(DecodeFrameHeader(0xFFFB9264, h), 418);
    // Free format is measured as a 128 kbit/s frame.
    ASSERT_EQ(DecodeFrameHeader(0xFFFB0064, h), 417);
    EXPECT_EQ(h.bitrate_index, 0);
    // Reserved emphasis and any mode extension are taken as they are.
    EXPECT_EQ(DecodeFrameHeader(0xFFFB9076, h), 417);
    EXPECT_EQ(h.emphasis, 2);
    EXPECT_EQ(h.mode_extension, 3);
}

TEST(FrameHeader, RejectsReservedFieldsAndLeavesTheOutputAlone) {
    FrameHeader h{};
    h.layer = 42;
    EXPECT_EQ(DecodeFrameHeader(0xFFFBF064, h), 0);  // bitrate index 15
    EXPECT_EQ(DecodeFrameHeader(0xFFFB9C64, h), 0);  // sampling frequency index 3
    EXPECT_EQ(DecodeFrameHeader(0xFFF99064, h), 0);  // layer bits 00
    EXPECT_EQ(DecodeFrameHeader(0xFFDB9064, h), 0);  // one sync bit missing
    EXPECT_EQ(DecodeFrameHeader(0xFFFFFFFF, h), 0);  // what reads past the end give
    EXPECT_EQ(h.layer, 42);
}

TEST(FrameHeader, KnowsTheSamplesPerFrameOfEveryLayer) {
    EXPECT_EQ((std::vector{SamplesPerFrame(1, 1), SamplesPerFrame(1, 2), SamplesPerFrame(1, 3),
                           SamplesPerFrame(0, 1), SamplesPerFrame(0, 2), SamplesPerFrame(0, 3)}),
              (std::vector{384, 1152, 1152, 384, 1152, 576}));
}

TEST(FrameReference, ReportsTheFirstDisagreementAndFollowsChanges) {
    FrameReference reference{3, 2, 44100};
    FrameHeader h{};
    ASSERT_GT(DecodeFrameHeader(0xFFFB9064, h), 0);
    EXPECT_EQ(CheckFrameAgainstReference(reference, h), "");

    // A Layer II frame: the reference keeps Layer III.
    FrameHeader layer2 = h;
    layer2.layer = 2;
    EXPECT_EQ(CheckFrameAgainstReference(reference, layer2), "Layer error");
    EXPECT_EQ(reference.layer, 3);

    // Mono at another rate: the channel count is reported first and taken over.
    FrameHeader mono48 = h;
    mono48.channels = 1;
    mono48.sample_rate = 48000;
    EXPECT_EQ(CheckFrameAgainstReference(reference, mono48), "Channel mode error");
    EXPECT_EQ(reference.channels, 1);
    EXPECT_EQ(reference.sample_rate, 44100);

    // The next mono frame at the old rate agrees.
    FrameHeader mono44 = h;
    mono44.channels = 1;
    EXPECT_EQ(CheckFrameAgainstReference(reference, mono44), "");

    EXPECT_EQ(CheckFrameAgainstReference(reference, mono48), "Frequency error");
    EXPECT_EQ(reference.sample_rate, 48000);

    FrameHeader free_format = mono48;
    free_format.bitrate_index = 0;
    EXPECT_EQ(CheckFrameAgainstReference(reference, free_format), "Freeformat frame");
}

// The standards' tables, written out here to hold the decoder's own against;
// index 0, free format, is measured as 128 kbit/s everywhere.
constexpr int kMpeg1Kbps[3][15] = {
    {128, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {128, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {128, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
constexpr int kMpeg2Kbps[2][15] = {
    {128, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {128, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
// By the two version bits: MPEG-2.5, reserved (MPEG-2.5 rates), MPEG-2, MPEG-1.
constexpr int kRates[4][3] = {
    {11025, 12000, 8000}, {11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};

TEST(FrameHeader, GivesTheStandardLengthOfEveryHeaderWord) {
    // All 2^21 words after the sync bits: a reserved layer, bitrate or
    // frequency gives 0; any other word the standards' length, with padding.
    // The reserved version (bit 20 clear, the ID bit set) reads as an MPEG-2.5
    // rate with MPEG-1 bitrates and lengths.
    for (uint32_t low = 0; low < (1u << 21); ++low) {
        const uint32_t word = 0xFFE00000u | low;
        const int version = static_cast<int>((word >> 19) & 3);
        const int is_mpeg1 = version & 1;
        const int layer = 4 - static_cast<int>((word >> 17) & 3);
        const int bitrate_index = static_cast<int>((word >> 12) & 15);
        const int rate_index = static_cast<int>((word >> 10) & 3);
        FrameHeader h{};
        const int length = DecodeFrameHeader(word, h);
        if (layer == 4 || bitrate_index == 15 || rate_index == 3) {
            ASSERT_EQ(length, 0) << std::hex << word;
            continue;
        }
        const int64_t kbps = is_mpeg1 != 0 ? kMpeg1Kbps[layer - 1][bitrate_index]
                                           : kMpeg2Kbps[layer == 1 ? 0 : 1][bitrate_index];
        const int64_t rate = kRates[version][rate_index];
        const int padding = (word >> 9) & 1;
        const int64_t expected = layer == 1   ? 4 * (12000 * kbps / rate + padding)
                                 : layer == 2 ? 144000 * kbps / rate + padding
                                              : 144000 * kbps / (rate * (2 - is_mpeg1)) + padding;
        ASSERT_EQ(length, expected) << std::hex << word;
        ASSERT_EQ(h.sample_rate, rate) << std::hex << word;
        ASSERT_EQ((std::vector{h.is_mpeg1, h.not_mpeg25, h.layer}),
                  (std::vector{is_mpeg1, version >> 1, layer}))
            << std::hex << word;
    }
}

struct ByteSource {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
    int GetByte() { return pos < bytes.size() ? bytes[pos++] : -1; }
};

TEST(BitReader, ReadsMostSignificantBitFirstAndRestartsAtTheNextByte) {
    ByteSource source{{0xA5, 0x0F, 0xF0}};
    BitReader bits;
    EXPECT_EQ(bits.ReadBits(source, 1), 1u);
    EXPECT_EQ(bits.ReadBits(source, 3), 0b010u);
    EXPECT_EQ(bits.ReadBits(source, 8), 0x50u);
    EXPECT_EQ(bits.ReadBits(source, 12), 0xFF0u);
    // Past the end the reader delivers zero bits.
    EXPECT_EQ(bits.ReadBits(source, 16), 0u);

    // Bits already buffered are dropped by a reset.
    source = {{0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x00}};
    bits.ReadBits(source, 3);  // buffers all four 0xFF bytes
    source.pos = 4;
    bits.ResetBits();
    EXPECT_EQ(bits.ReadBits(source, 8), 0x81u);
}

}  // namespace
}  // namespace vandrel
