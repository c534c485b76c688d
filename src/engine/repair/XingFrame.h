#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vandrel {

// The size of a LAME tag: from its version string to its own CRC.
inline constexpr size_t kLameTagBytes = 36;

// What a new Xing/Info frame says of the audio that follows it.
struct XingFrameFacts {
    // The header word of the first audio frame, whose version, layer, rate
    // and channel mode the new frame takes.
    uint32_t model_word = 0;
    // "Xing" when the frames' bitrates differ, "Info" when they are one.
    bool vbr = false;
    // The bitrate of each audio frame in kbit/s, in order (the table of
    // contents is made of them), and the bytes of all of them.
    std::vector<uint32_t> frame_kbps;
    uint64_t audio_bytes = 0;
    // The quality field, when the original header had one.
    std::optional<uint32_t> vbr_scale;
    // The original LAME tag, copied with its delay and padding; its music
    // length and CRCs are written anew.
    std::optional<std::array<uint8_t, kLameTagBytes>> lame_tag;
    // The CRC-16 of the audio frames (for the LAME tag's music CRC).
    uint16_t music_crc = 0;
};

// A Layer III frame without audio that carries the Xing or Info header (and
// the LAME tag) for the audio of `facts`: the first audio frame's header
// (its mode extension too) with no CRC, no padding, no private bit and the
// lowest bitrate from 128 kbit/s (64 for
// MPEG-2, 32 for MPEG-2.5) up whose frame holds the header; a CBR file's
// frame keeps its audio's bitrate when that holds it. The side information
// is zero. Empty for a model that is no Layer III header, or when no bitrate
// gives a frame long enough.
std::vector<uint8_t> BuildXingFrame(const XingFrameFacts& facts);

// Where the LAME tag of a Xing/Info frame starts (after the fields the
// flags name), or nothing when the frame holds no Xing/Info header.
std::optional<size_t> LameTagOffset(const std::vector<uint8_t>& frame);

}  // namespace vandrel
