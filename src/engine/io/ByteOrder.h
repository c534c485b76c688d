#pragma once

#include <cstdint>
#include <span>

namespace vandrel {

// MPEG, Xing, LAME, VBRI and ID3 integers are big-endian; the ScanRecord image,
// RIFF/WAVE and MPEG Plus words are little-endian. Every multi-byte value read
// from or written to a byte image goes through these helpers, never a pointer cast.

inline uint16_t LoadBe16(std::span<const uint8_t> b) {
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

inline uint32_t LoadBe24(std::span<const uint8_t> b) {
    return (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | uint32_t{b[2]};
}

inline uint32_t LoadBe32(std::span<const uint8_t> b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

inline uint64_t LoadBe64(std::span<const uint8_t> b) {
    return (uint64_t{LoadBe32(b)} << 32) | uint64_t{LoadBe32(b.subspan(4))};
}

// ID3v2 sizes: four bytes of seven bits each, most significant first.
inline uint32_t LoadSyncsafe28(std::span<const uint8_t> b) {
    return ((uint32_t{b[0]} & 0x7F) << 21) | ((uint32_t{b[1]} & 0x7F) << 14) |
           ((uint32_t{b[2]} & 0x7F) << 7) | (uint32_t{b[3]} & 0x7F);
}

inline uint16_t LoadLe16(std::span<const uint8_t> b) {
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

inline uint32_t LoadLe32(std::span<const uint8_t> b) {
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

inline uint64_t LoadLe64(std::span<const uint8_t> b) {
    return uint64_t{LoadLe32(b)} | (uint64_t{LoadLe32(b.subspan(4))} << 32);
}

inline void StoreBe16(std::span<uint8_t> b, uint16_t v) {
    b[0] = static_cast<uint8_t>(v >> 8);
    b[1] = static_cast<uint8_t>(v);
}

inline void StoreBe32(std::span<uint8_t> b, uint32_t v) {
    b[0] = static_cast<uint8_t>(v >> 24);
    b[1] = static_cast<uint8_t>(v >> 16);
    b[2] = static_cast<uint8_t>(v >> 8);
    b[3] = static_cast<uint8_t>(v);
}

inline void StoreLe16(std::span<uint8_t> b, uint16_t v) {
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreLe32(std::span<uint8_t> b, uint32_t v) {
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v >> 16);
    b[3] = static_cast<uint8_t>(v >> 24);
}

inline void StoreLe64(std::span<uint8_t> b, uint64_t v) {
    StoreLe32(b, static_cast<uint32_t>(v));
    StoreLe32(b.subspan(4), static_cast<uint32_t>(v >> 32));
}

}  // namespace vandrel
