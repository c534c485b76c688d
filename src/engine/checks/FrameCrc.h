#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/frame/FrameHeader.h"

namespace vandrel {

// The error check of MPEG audio frames. A frame whose header has the
// protection bit at 0 carries a 16-bit CRC right after the header. It covers
// the header's last two bytes, then the bits after the CRC word that a decoder
// cannot do without:
//   Layer I    the bit allocation;
//   Layer II   the bit allocation and the scale factor selection information;
//   Layer III  the whole side information.
// The CRC word itself and the header's first two bytes (sync, version, layer,
// protection bit) are not covered: a decoder has taken them already to find
// the frame.
//
//   byte 0    1    2    3    4    5    6 ...
//        hhhh hhhh HHHH HHHH CCCC CCCC PPPP ...
//   h header bytes outside the CRC, H header bytes in it, C the CRC word
//   (big-endian), P the protected bits

constexpr size_t kFrameCrcOffset = 4;       // the CRC word
constexpr size_t kProtectedBitsOffset = 6;  // the first protected bit, after the CRC word
constexpr size_t kCoveredHeaderOffset = 2;  // the header bytes in the CRC
constexpr size_t kCoveredHeaderBytes = 2;

// The most bytes a check reads from the frame start: header, CRC word and the
// longest protected part, Layer II stereo with the 30-subband table and every
// subband allocated (188 bits of allocation and 120 of scale factor
// selection, 308 bits in 39 bytes). Layer I and MPEG-1 Layer III stereo need
// 32 bytes.
inline constexpr size_t kFrameCrcBytes = 45;

enum class FrameCrcResult {
    kUnprotected,  // protection bit 1: no CRC in the frame
    kOk,
    kMismatch,
    // What the CRC covers is not known (Layer II free format, or a bitrate and
    // channel mode no Layer II allocation table is made for, or the reserved
    // version), or it reaches past the bytes given or past the frame's end.
    kNotCheckable,
};

// The CRC of the frame check over the first `bit_count` bits of `bytes`, most
// significant bit of each byte first: polynomial x^16 + x^15 + x^2 + 1
// (0x8005), initial value 0xFFFF, no final inversion. "123456789" gives
// 0xAEE7. `crc` continues a CRC of the bits before these. Bits past the end of
// `bytes` are not read: `bit_count` is cut to what `bytes` holds.
uint16_t MpegCrc16(std::span<const uint8_t> bytes, size_t bit_count, uint16_t crc = 0xFFFF);

// How many bits after the CRC word the CRC covers; for Layer II this reads the
// bit allocation out of `frame` (from the header on). Nothing when the header
// gives no layout (see kNotCheckable) or `frame` ends inside the allocation.
// Does not look at the protection bit.
std::optional<size_t> CrcProtectedBits(std::span<const uint8_t> frame, const FrameHeader& header);

// Checks the CRC of one frame. `frame` starts at the header (whose decoded
// word is `header`) and holds at least kFrameCrcBytes or the whole frame;
// bytes after the frame's end are never taken as protected bits.
FrameCrcResult CheckFrameCrc(std::span<const uint8_t> frame, const FrameHeader& header);

}  // namespace vandrel
