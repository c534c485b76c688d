#include "engine/frame/FrameHeader.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(FrameHeader, DecodesEveryFieldOfAnMpeg1LayerIIIHeader) {
    // 128 kbit/s, 44100 Hz, padded, joint stereo with mode extension 2,
    // copyright, not original, emphasis 50/15 ms, no CRC.
    FrameHeader h{};
    ASSERT_EQ(DecodeFrameHeader(0xFFFB9269, h), 418);
    EXPECT_EQ(h.is_mpeg1, 1);
    EXPECT_EQ(h.not_mpeg25, 1);
    EXPECT_EQ(h.bitrate_index, 9);
    EXPECT_EQ(h.mode, 1);
    EXPECT_EQ(h.mode_extension, 2);
    EXPECT_EQ(h.padding, 1);
    EXPECT_EQ(h.sample_rate, 44100);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.layer, 3);
    EXPECT_EQ(h.protection, 1);
    EXPECT_EQ(h.copyright, 1);
    EXPECT_EQ(h.emphasis, 1);
    EXPECT_EQ(h.original, 0);

    // Free format is measured as a 128 kbit/s frame.
    ASSERT_EQ(DecodeFrameHeader(0xFFFB0064, h), 417);
    EXPECT_EQ(h.bitrate_index, 0);
    // Reserved emphasis and any mode extension are taken as they are.
    EXPECT_EQ(DecodeFrameHeader(0xFFFB9076, h), 417);
    EXPECT_EQ(h.emphasis, 2);
    EXPECT_EQ(h.mode_extension, 3);
    EXPECT_EQ(h.original, 1);
}

TEST(FrameHeader, RejectsReservedFieldsAndLeavesTheOutputAlone) {
    FrameHeader h{};
    h.layer = 42;
    EXPECT_EQ(DecodeFrameHeader(0xFFFBF064, h), 0);  // bitrate index 15
    EXPECT_EQ(DecodeFrameHeader(0xFFFB9C64, h), 0);  // sampling frequency index 3
    EXPECT_EQ(DecodeFrameHeader(0xFFF99064, h), 0);  // layer bits 00
    EXPECT_EQ(DecodeFrameHeader(0xFFDB9064, h), 0);  // one sync bit missing
    EXPECT_EQ(DecodeFrameHeader(0xFFFFFFFF, h), 0);  // what reads past the end give
    EXPECT_EQ(DecodeFrameHeader(0xFFE31C00, h), 0);  // MPEG-2.5, sampling frequency index 3
    EXPECT_EQ(DecodeFrameHeader(0xFFF3F000, h), 0);  // MPEG-2, bitrate index 15
    EXPECT_EQ(h.layer, 42);
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

// One word of every version and layer, with its length and rate worked out by
// hand from the bitrate and sampling frequency tables.
TEST(FrameHeader, GivesTheLengthAndRateOfEveryVersionAndLayer) {
    struct Row {
        const char* name;
        uint32_t word;
        int length;
        int sample_rate;
    };
    const Row kRows[] = {
        {"MPEG-1 Layer I, 448 kbit/s, 32 kHz", 0xFFFFE800, 672, 32000},
        {"MPEG-1 Layer I, padded: one slot of four bytes more", 0xFFFFEA00, 676, 32000},
        {"MPEG-1 Layer II, 384 kbit/s, 48 kHz", 0xFFFDE400, 1152, 48000},
        {"MPEG-2 Layer I, 256 kbit/s, 16 kHz", 0xFFF7E800, 768, 16000},
        {"MPEG-2 Layer II, 8 kbit/s, 24 kHz", 0xFFF51400, 48, 24000},
        {"MPEG-2 Layer III, 160 kbit/s, 22050 Hz: half the samples", 0xFFF3E000, 522, 22050},
        {"MPEG-2.5 Layer III, 8 kbit/s, 8 kHz", 0xFFE31800, 72, 8000},
        // Bit 20 clear with the ID bit set: MPEG-2.5 rates, MPEG-1 bitrates and lengths.
        {"reserved version, 128 kbit/s, 11025 Hz", 0xFFEB9000, 1671, 11025},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        FrameHeader h{};
        EXPECT_EQ(DecodeFrameHeader(row.word, h), row.length);
        EXPECT_EQ(h.sample_rate, row.sample_rate);
    }
}

}  // namespace
}  // namespace vandrel
