#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "engine/io/ByteOrder.h"

namespace vandrel::test {

// The canonical 44-byte header of a PCM WAVE file.
inline std::vector<uint8_t> WaveHeader(uint16_t channels, uint32_t rate, uint32_t byte_rate,
                                       uint32_t data_size) {
    std::vector<uint8_t> h(44, 0);
    std::memcpy(h.data(), "RIFF", 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    StoreLe16(std::span(h).subspan(22), channels);
    StoreLe32(std::span(h).subspan(24), rate);
    StoreLe32(std::span(h).subspan(28), byte_rate);
    std::memcpy(h.data() + 36, "data", 4);
    StoreLe32(std::span(h).subspan(40), data_size);
    return h;
}

}  // namespace vandrel::test
