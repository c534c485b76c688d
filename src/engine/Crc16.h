#pragma once

#include <cstdint>
#include <span>

namespace vandrel {

// CRC-16/ARC: polynomial x^16 + x^15 + x^2 + 1 processed least significant bit
// first (reflected 0xA001), initial value 0, no final inversion. "abc" gives
// 0x9738. LAME uses it for its tag CRC and its music CRC.
uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t crc = 0);

}  // namespace vandrel
