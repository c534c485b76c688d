#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vandrel {

// The decoded 32-bit MPEG audio frame header.
//
//   AAAAAAAA AAABBCCD EEEEFFGH IIJJKLMM
//   A sync, B version (ID bit 19, bit 20 clear for MPEG-2.5), C layer,
//   D protection, E bitrate index, F sampling frequency index, G padding,
//   H private, I mode, J mode extension, K copyright, L original, M emphasis
struct FrameHeader {
    int32_t is_mpeg1;
    int32_t not_mpeg25;
    int32_t bitrate_index;
    int32_t mode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int32_t mode_extension;
    int32_t padding;
    int32_t sample_rate;  // Hz
    int32_t channels;
    int32_t layer;       // 1, 2 or 3
    int32_t protection;  // raw bit: 1 means no CRC follows the header
    int32_t copyright;
    int32_t emphasis;
    int32_t original;
};

constexpr uint32_t kSyncMask = 0xFFE00000;           // AAAAAAAA AAA
constexpr uint32_t kNotMpeg25Mask = 0x00100000;      // B (bit 20)
constexpr uint32_t kVersionMask = 0x00080000;        // B (bit 19, the ID bit)
constexpr uint32_t kLayerMask = 0x00060000;          // CC
constexpr uint32_t kProtectionMask = 0x00010000;     // D
constexpr uint32_t kBitrateMask = 0x0000F000;        // EEEE
constexpr uint32_t kSampleRateMask = 0x00000C00;     // FF
constexpr uint32_t kPaddingMask = 0x00000200;        // G
constexpr uint32_t kModeMask = 0x000000C0;           // II
constexpr uint32_t kModeExtensionMask = 0x00000030;  // JJ
constexpr uint32_t kCopyrightMask = 0x00000008;      // K
constexpr uint32_t kOriginalMask = 0x00000004;       // L
constexpr uint32_t kEmphasisMask = 0x00000003;       // MM

constexpr int kModeJointStereo = 1;
constexpr int kModeDualChannel = 2;
constexpr int kModeMono = 3;

// 44100, 48000, 32000 (MPEG-1); 22050, 24000, 16000 (MPEG-2); 11025, 12000, 8000 (MPEG-2.5)
inline constexpr std::array<int32_t, 9> kSampleRates = {44100, 48000, 32000, 22050, 24000,
                                                        16000, 11025, 12000, 8000};

// kbit/s; rows MPEG-1 Layer I, II, III, then MPEG-2/2.5 Layer I, II, III.
// Entry 0 (free format) reads 128 and entry 15 reads 0.
inline constexpr std::array<std::array<int32_t, 16>, 6> kBitrates = {{
    // ISO/IEC 11172-3, MPEG-1
    {128, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {128, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {128, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
    // ISO/IEC 13818-3, MPEG-2 low sampling frequencies (and MPEG-2.5)
    {128, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {128, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer II
    {128, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer III
}};

// The bitrate-table row of a version and layer.
constexpr int BitrateRow(int is_mpeg1, int layer) {
    return 2 + layer - 3 * is_mpeg1;
}

// Bitrate in kbit/s of an index for a version and layer; 0 for out-of-range input.
constexpr int32_t BitrateKbps(int is_mpeg1, int layer, int bitrate_index) {
    const int row = BitrateRow(is_mpeg1 != 0 ? 1 : 0, layer);
    if (row < 0 || row >= static_cast<int>(kBitrates.size()) || bitrate_index < 0 ||
        bitrate_index > 15) {
        return 0;
    }
    return kBitrates[static_cast<size_t>(row)][static_cast<size_t>(bitrate_index)];
}

// The highest bitrate a version and layer can code (index 14), in kbit/s; 0
// for out-of-range input.
constexpr int32_t TopBitrateKbps(int is_mpeg1, int layer) {
    return BitrateKbps(is_mpeg1, layer, 14);
}

// Samples carried by one frame: 384 for Layer I, 1152 for Layer II and for
// MPEG-1 Layer III, 576 for MPEG-2/2.5 Layer III.
int32_t SamplesPerFrame(int is_mpeg1, int layer);

namespace frame_length {

// The header bits that decide a frame's length, padding aside: version and
// layer (bits 20 to 17), bitrate and sampling frequency indexes (15 to 10).
constexpr size_t TableIndex(uint32_t word) {
    return ((word >> 17) & 0xFu) << 6 | ((word >> 10) & 0x3Fu);
}

// The length of a frame without its padding, by the standards' formulas; 0
// for a reserved layer, bitrate index or sampling frequency.
constexpr int WithoutPadding(uint32_t word) {
    const int layer_bits = static_cast<int>((word & kLayerMask) >> 17);
    const int bitrate_index = static_cast<int>((word & kBitrateMask) >> 12);
    const int rate_index = static_cast<int>((word & kSampleRateMask) >> 10);
    if (layer_bits == 0 || bitrate_index == 15 || rate_index == 3) {
        return 0;
    }
    const int is_mpeg1 = (word & kVersionMask) != 0 ? 1 : 0;
    // MPEG-2.5 whenever bit 20 is clear, even with the ID bit set (a reserved
    // combination that then keeps MPEG-1 bitrates and frame lengths).
    const int rate_group = (word & kNotMpeg25Mask) == 0 ? 6 : (is_mpeg1 != 0 ? 0 : 3);
    const int64_t sample_rate = kSampleRates[static_cast<size_t>(rate_index + rate_group)];
    const int layer = 4 - layer_bits;
    const int64_t kbps = BitrateKbps(is_mpeg1, layer, bitrate_index);
    switch (layer) {
    case 1:  // slots of 4 bytes
        return static_cast<int>(4 * (12000 * kbps / sample_rate));
    case 2:
        return static_cast<int>(144000 * kbps / sample_rate);
    default:  // Layer III frames of MPEG-2/2.5 hold half the samples
        return static_cast<int>(144000 * kbps / (sample_rate * (is_mpeg1 != 0 ? 1 : 2)));
    }
}

// Every length, worked out once: the frame walk decodes a header per frame.
inline constexpr std::array<uint16_t, 1024> kTable = [] {
    std::array<uint16_t, 1024> table{};
    for (uint32_t i = 0; i < table.size(); ++i) {
        table[i] =
            static_cast<uint16_t>(WithoutPadding(kSyncMask | (i >> 6) << 17 | (i & 0x3Fu) << 10));
    }
    return table;
}();

}  // namespace frame_length

// Decodes a header word (the four header bytes read big-endian). Returns the
// frame length in bytes, or 0 when the word is no valid header; `out` is
// written only for a valid word.
inline int DecodeFrameHeader(uint32_t word, FrameHeader& out) {
    const int length = frame_length::kTable[frame_length::TableIndex(word)];
    if ((word & kSyncMask) != kSyncMask || length == 0) {
        return 0;
    }
    FrameHeader h;
    h.is_mpeg1 = (word & kVersionMask) != 0 ? 1 : 0;
    h.not_mpeg25 = (word & kNotMpeg25Mask) != 0 ? 1 : 0;
    h.bitrate_index = static_cast<int32_t>((word & kBitrateMask) >> 12);
    h.mode = static_cast<int32_t>((word & kModeMask) >> 6);
    h.mode_extension = static_cast<int32_t>((word & kModeExtensionMask) >> 4);
    h.padding = (word & kPaddingMask) != 0 ? 1 : 0;
    const int rate_group = h.not_mpeg25 == 0 ? 6 : (h.is_mpeg1 != 0 ? 0 : 3);
    h.sample_rate =
        kSampleRates[((word & kSampleRateMask) >> 10) + static_cast<size_t>(rate_group)];
    h.channels = h.mode == kModeMono ? 1 : 2;
    h.layer = 4 - static_cast<int32_t>((word & kLayerMask) >> 17);
    h.protection = (word & kProtectionMask) != 0 ? 1 : 0;
    h.copyright = (word & kCopyrightMask) != 0 ? 1 : 0;
    h.emphasis = static_cast<int32_t>(word & kEmphasisMask);
    h.original = (word & kOriginalMask) != 0 ? 1 : 0;
    out = h;
    // The padding slot is 4 bytes in Layer I, 1 byte otherwise.
    return length + h.padding * (h.layer == 1 ? 4 : 1);
}

// What the rest of a file must agree with, taken from its first frame.
struct FrameReference {
    int32_t layer;
    int32_t channels;
    int32_t sample_rate;
};

// Checks a frame against the file's reference. Returns the empty text when the
// frame agrees, else the reason. A channel-count or sample-rate change also
// moves the reference to the frame's value, so the file is followed at its new
// setting from the next frame on.
std::string_view CheckFrameAgainstReference(FrameReference& reference, const FrameHeader& header);

// "stereo", "joint stereo", "dual channel", "mono"; empty for other values.
std::string_view ChannelModeName(int mode);

}  // namespace vandrel
