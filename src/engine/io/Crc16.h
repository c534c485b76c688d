#pragma once

#include <cstdint>
#include <span>

namespace vandrel {

// CRC-16/ARC: polynomial x^16 + x^15 + x^2 + 1 processed least significant bit
// first (reflected 0xA001), initial value 0, no final inversion. "abc" gives
// 0x9738. LAME uses it for its tag CRC and its music CRC. `crc` continues a
// CRC of the bytes before these.
uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t crc = 0);

// The same CRC by other routes, for the tests and benchmarks: one table
// look-up per byte, and eight bytes per step with eight tables. Crc16 takes
// the fastest route the processor offers (carry-less multiplication on x86
// processors that have it, else the eight tables).
uint16_t Crc16Bytewise(std::span<const uint8_t> bytes, uint16_t crc = 0);
uint16_t Crc16Sliced(std::span<const uint8_t> bytes, uint16_t crc = 0);

}  // namespace vandrel
