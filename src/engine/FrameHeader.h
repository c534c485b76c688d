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
extern const std::array<int32_t, 9> kSampleRates;

// kbit/s; rows MPEG-1 Layer I, II, III, then MPEG-2/2.5 Layer I, II, III.
// Entry 0 (free format) reads 128 and entry 15 reads 0.
extern const std::array<std::array<int32_t, 16>, 6> kBitrates;

// The bitrate-table row of a version and layer.
constexpr int BitrateRow(int is_mpeg1, int layer) {
    return 2 + layer - 3 * is_mpeg1;
}

// Bitrate in kbit/s of an index for a version and layer; 0 for out-of-range input.
int32_t BitrateKbps(int is_mpeg1, int layer, int bitrate_index);

// Samples carried by one frame: 384 for Layer I, 1152 for Layer II and for
// MPEG-1 Layer III, 576 for MPEG-2/2.5 Layer III.
int32_t SamplesPerFrame(int is_mpeg1, int layer);

// Decodes a header word (the four header bytes read big-endian). Returns the
// frame length in bytes, or 0 when the word is no valid header; `out` is
// written only for a valid word.
int DecodeFrameHeader(uint32_t word, FrameHeader& out);

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
