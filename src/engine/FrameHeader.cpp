#include "FrameHeader.h"

namespace vandrel {

const std::array<int32_t, 9> kSampleRates = {44100, 48000, 32000, 22050, 24000,
                                             16000, 11025, 12000, 8000};

const std::array<std::array<int32_t, 16>, 6> kBitrates = {{
    // ISO/IEC 11172-3, MPEG-1
    {128, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {128, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {128, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
    // ISO/IEC 13818-3, MPEG-2 low sampling frequencies (and MPEG-2.5)
    {128, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {128, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer II
    {128, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer III
}};

int32_t BitrateKbps(int is_mpeg1, int layer, int bitrate_index) {
    int row = BitrateRow(is_mpeg1 != 0 ? 1 : 0, layer);
    if (row < 0 || row >= static_cast<int>(kBitrates.size()) || bitrate_index < 0 ||
        bitrate_index > 15) {
        return 0;
    }
    return kBitrates[static_cast<size_t>(row)][static_cast<size_t>(bitrate_index)];
}

int32_t SamplesPerFrame(int is_mpeg1, int layer) {
    if (layer == 1) {
        return 384;
    }
    if (layer == 2 || is_mpeg1 != 0) {
        return 1152;
    }
    return 576;
}

int DecodeFrameHeader(uint32_t word, FrameHeader& out) {
    if ((word & kSyncMask) != kSyncMask) {
        return 0;
    }
    const int layer_bits = static_cast<int>((word & kLayerMask) >> 17);
    if (layer_bits == 0) {
        return 0;
    }
    const int bitrate_index = static_cast<int>((word & kBitrateMask) >> 12);
    if (bitrate_index == 15) {
        return 0;
    }
    const int rate_index = static_cast<int>((word & kSampleRateMask) >> 10);
    if (rate_index == 3) {
        return 0;
    }

    FrameHeader h;
    h.is_mpeg1 = (word & kVersionMask) != 0 ? 1 : 0;
    h.not_mpeg25 = (word & kNotMpeg25Mask) != 0 ? 1 : 0;
    h.bitrate_index = bitrate_index;
    h.mode = static_cast<int32_t>((word & kModeMask) >> 6);
    h.mode_extension = static_cast<int32_t>((word & kModeExtensionMask) >> 4);
    h.padding = (word & kPaddingMask) != 0 ? 1 : 0;
    // MPEG-2.5 whenever bit 20 is clear, even with the ID bit set (a reserved
    // combination that then keeps MPEG-1 bitrates and frame lengths).
    const int rate_group = h.not_mpeg25 == 0 ? 6 : (h.is_mpeg1 != 0 ? 0 : 3);
    h.sample_rate = kSampleRates[static_cast<size_t>(rate_index + rate_group)];
    h.channels = h.mode == kModeMono ? 1 : 2;
    h.layer = 4 - layer_bits;
    h.protection = (word & kProtectionMask) != 0 ? 1 : 0;
    h.copyright = (word & kCopyrightMask) != 0 ? 1 : 0;
    h.emphasis = static_cast<int32_t>(word & kEmphasisMask);
    h.original = (word & kOriginalMask) != 0 ? 1 : 0;

    const int64_t kbps = BitrateKbps(h.is_mpeg1, h.layer, bitrate_index);
    int64_t length = 0;
    switch (h.layer) {
    case 1:  // slots of 4 bytes
        length = 4 * (12000 * kbps / h.sample_rate + h.padding);
        break;
    case 2:
        length = 144000 * kbps / h.sample_rate + h.padding;
        break;
    default:  // Layer III frames of MPEG-2/2.5 hold half the samples
        length = 144000 * kbps / (int64_t{h.sample_rate} * (h.is_mpeg1 != 0 ? 1 : 2)) + h.padding;
        break;
    }
    out = h;
    return static_cast<int>(length);
}

std::string_view CheckFrameAgainstReference(FrameReference& reference, const FrameHeader& header) {
    if (header.layer != reference.layer) {
        return "Layer error";
    }
    if (header.channels != reference.channels) {
        reference.channels = header.channels;
        return "Channel mode error";
    }
    if (header.sample_rate != reference.sample_rate) {
        reference.sample_rate = header.sample_rate;
        return "Frequency error";
    }
    if (header.bitrate_index == 0) {
        return "Freeformat frame";
    }
    return {};
}

std::string_view ChannelModeName(int mode) {
    switch (mode) {
    case 0:
        return "stereo";
    case 1:
        return "joint stereo";
    case 2:
        return "dual channel";
    case 3:
        return "mono";
    default:
        return {};
    }
}

}  // namespace vandrel
