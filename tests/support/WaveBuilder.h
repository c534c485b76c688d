#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "engine/io/ByteOrder.h"

namespace vandrel::test {

// A chunk's id and declared body size, without the body.
inline std::vector<uint8_t> ChunkHeader(std::string_view id, uint32_t size) {
    std::vector<uint8_t> h(8, 0);
    std::memcpy(h.data(), id.data(), 4);
    StoreLe32(std::span(h).subspan(4), size);
    return h;
}

// A whole chunk of an even size: header and body.
inline std::vector<uint8_t> Chunk(std::string_view id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> c = ChunkHeader(id, static_cast<uint32_t>(body.size()));
    c.insert(c.end(), body.begin(), body.end());
    return c;
}

// The 16-byte body of a "fmt " chunk.
inline std::vector<uint8_t> FmtBody(uint16_t format_tag, uint16_t channels, uint32_t rate,
                                    uint32_t byte_rate, uint16_t bits = 16) {
    std::vector<uint8_t> b(16, 0);
    StoreLe16(std::span(b), format_tag);
    StoreLe16(std::span(b).subspan(2), channels);
    StoreLe32(std::span(b).subspan(4), rate);
    StoreLe32(std::span(b).subspan(8), byte_rate);
    StoreLe16(std::span(b).subspan(12), static_cast<uint16_t>(channels * bits / 8));
    StoreLe16(std::span(b).subspan(14), bits);
    return b;
}

// "RIFF", the size of what follows, "WAVE", then the given chunks as they are.
inline std::vector<uint8_t> RiffWave(std::initializer_list<std::vector<uint8_t>> chunks) {
    std::vector<uint8_t> f = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const std::vector<uint8_t>& c : chunks) {
        f.insert(f.end(), c.begin(), c.end());
    }
    StoreLe32(std::span(f).subspan(4), static_cast<uint32_t>(f.size() - 8));
    return f;
}

}  // namespace vandrel::test
