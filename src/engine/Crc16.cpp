#include "Crc16.h"

#include <array>

namespace vandrel {

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        }
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t crc) {
    uint32_t c = crc;
    for (uint8_t b : bytes) {
        c = (c >> 8) ^ kTable[(c ^ b) & 0xFFu];
    }
    return static_cast<uint16_t>(c);
}

}  // namespace vandrel
