#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "engine/io/ByteOrder.h"

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

}  // namespace vandrel::test
