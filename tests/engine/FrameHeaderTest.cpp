#include "FrameHeader.h"

#include <gtest/gtest.h>

#include "BitReader.h"
#include "MpegBuilder.h"

namespace vandrel {
namespace {

using test::HeaderSpec;
using test::HeaderWord;
using test::Version;

TEST(FrameHeader, DecodesEveryFieldOfAnMpeg1LayerIIIHeader) {
    FrameHeader h{};
    ASSERT_EQ(DecodeFrameHeader(0xFFFB9064, h), 417);
    EXPECT_EQ(h.is_mpeg1, 1);
    EXPECT_EQ(h.not_mpeg25, 1);
    EXPECT_EQ(h.bitrate_index, 9);
    EXPECT_EQ(h.layer, 3);
    EXPECT_EQ(h.protection, 1);
    EXPECT_EQ(h.mode, 1);
    EXPECT_EQ(h.mode_extension, 2);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.original, 1);
    EXPECT_EQ(h.copyright, 0);
    EXPECT_EQ(h.padding, 0);
    EXPECT_EQ(h.sample_rate, 44100);
    EXPECT_EQ(h.emphasis, 0);

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

TEST(FrameHeader, UsesTheStandardLengthsOfEveryLayerAndVersion) {
    struct Case {
        HeaderSpec header;
        int length;
        int samples;
    };
    const Case cases[] = {
        // Layer I: slots of 4 bytes, 384 samples.
        {{Version::kMpeg1, 1, 4, 0}, 4 * (12000 * 128 / 44100), 384},
        {{Version::kMpeg1, 1, 4, 0, true}, 4 * (12000 * 128 / 44100 + 1), 384},
        {{Version::kMpeg2, 1, 1, 1}, 4 * (12000 * 32 / 24000), 384},
        // Layer II: 144000 x bitrate / rate at every sampling frequency.
        {{Version::kMpeg1, 2, 10, 1}, 144000 * 192 / 48000, 1152},
        {{Version::kMpeg2, 2, 8, 1}, 144000 * 64 / 24000, 1152},
        // Layer III: half the bytes per kbit/s below 32 kHz.
        {{Version::kMpeg1, 3, 14, 2}, 144000 * 320 / 32000, 1152},
        {{Version::kMpeg25, 3, 1, 1}, 144000 * 8 / (12000 * 2), 576},
        {{Version::kMpeg2, 3, 14, 0}, 144000 * 160 / (22050 * 2), 576},
    };
    for (const Case& c : cases) {
        FrameHeader h{};
        EXPECT_EQ(DecodeFrameHeader(HeaderWord(c.header), h), c.length)
            << "layer " << c.header.layer << " index " << c.header.bitrate_index;
        EXPECT_EQ(SamplesPerFrame(h.is_mpeg1, h.layer), c.samples);
    }
}

TEST(FrameHeader, ReadsTheReservedVersionAsMpeg25RateWithMpeg1Bitrates) {
    // Bit 20 clear and the ID bit set: a combination the standards reserve.
    FrameHeader h{};
    const int length = DecodeFrameHeader(0xFFEB9064, h);
    EXPECT_EQ(h.sample_rate, 11025);
    EXPECT_EQ(h.is_mpeg1, 1);
    EXPECT_EQ(h.not_mpeg25, 0);
    EXPECT_EQ(length, 144000 * 128 / 11025);
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

TEST(FrameHeader, GivesTheStandardLengthOfEveryHeaderWord) {
    // All 2^21 words after the sync bits: a reserved layer, bitrate or
    // frequency gives 0; any other word the standards' length, with padding.
    for (uint32_t low = 0; low < (1u << 21); ++low) {
        const uint32_t word = 0xFFE00000u | low;
        const int layer = 4 - static_cast<int>((word >> 17) & 3);
        const int bitrate_index = static_cast<int>((word >> 12) & 15);
        const int rate_index = static_cast<int>((word >> 10) & 3);
        FrameHeader h{};
        const int length = DecodeFrameHeader(word, h);
        if (layer == 4 || bitrate_index == 15 || rate_index == 3) {
            ASSERT_EQ(length, 0) << std::hex << word;
            continue;
        }
        const int64_t kbps = BitrateKbps(h.is_mpeg1, layer, bitrate_index);
        const int64_t rate = h.sample_rate;
        const int padding = (word >> 9) & 1;
        const int64_t expected = layer == 1 ? 4 * (12000 * kbps / rate + padding)
                                 : layer == 2
                                     ? 144000 * kbps / rate + padding
                                     : 144000 * kbps / (rate * (h.is_mpeg1 != 0 ? 1 : 2)) + padding;
        ASSERT_EQ(length, expected) << std::hex << word;
        ASSERT_EQ(h.layer, layer);
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
