#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "engine/io/ByteOrder.h"
#include "support/MpegBuilder.h"

namespace vandrel::test {

// An MPEG Plus stream version 7 file: "MP+", the version byte, the frame
// count and the second header word, then zeros up to `size`.
inline std::vector<uint8_t> Sv7File(uint8_t version_byte, uint32_t frames, uint32_t w2,
                                    size_t size = 4000) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), "MP+", 3);
    bytes[3] = version_byte;
    StoreLe32(std::span(bytes).subspan(4), frames);
    StoreLe32(std::span(bytes).subspan(8), w2);
    return bytes;
}

// A stream version 8 number: seven bits a byte, most significant first, the
// top bit set on every byte but the last.
inline std::vector<uint8_t> Sv8VarLen(uint64_t value) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(value & 0x7F)};
    for (value >>= 7; value != 0; value >>= 7) {
        bytes.insert(bytes.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
    }
    return bytes;
}

// A packet: the two-letter key, the whole size (key and size field
// included), the payload.
inline std::vector<uint8_t> Sv8Packet(std::string_view key, const std::vector<uint8_t>& payload) {
    size_t size = 2 + 1 + payload.size();
    while (2 + Sv8VarLen(size).size() + payload.size() != size) {
        size = 2 + Sv8VarLen(size).size() + payload.size();
    }
    std::vector<uint8_t> bytes{static_cast<uint8_t>(key[0]), static_cast<uint8_t>(key[1])};
    Append(bytes, Sv8VarLen(size));
    Append(bytes, payload);
    return bytes;
}

// The fields of a stream header ("SH") as the packet holds them.
struct Sv8Header {
    uint64_t samples = 44100;
    uint8_t rate_index = 0;  // 44100, 48000, 37800, 32000
    uint8_t version = 8;
};

// The payload of a stream header: a CRC (never checked, so any four bytes),
// the version, the sample count, no beginning silence, then  RRRBBBBB CCCCMAAA:
// 28 bands, two channels in mid/side, 64 frames an audio packet.
inline std::vector<uint8_t> Sv8HeaderPayload(const Sv8Header& h) {
    std::vector<uint8_t> bytes{0x12, 0x34, 0x56, 0x78, h.version};
    Append(bytes, Sv8VarLen(h.samples));
    bytes.push_back(0);
    bytes.push_back(static_cast<uint8_t>((h.rate_index << 5) | (28 - 1)));
    bytes.push_back(((2 - 1) << 4) | 0x08 | 3);
    return bytes;
}

// "MPCK" and the given bytes (packets, or anything else a test wants there).
inline std::vector<uint8_t> Sv8File(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes{'M', 'P', 'C', 'K'};
    for (const std::vector<uint8_t>& part : parts) {
        Append(bytes, part);
    }
    return bytes;
}

}  // namespace vandrel::test
