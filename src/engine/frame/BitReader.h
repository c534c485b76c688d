#pragma once

#include <cstdint>

namespace vandrel {

// Reads the Layer III side information most significant bit first. Before each
// read the buffer is topped up byte by byte while it holds fewer than 25 bits;
// a byte read at the end of the file contributes eight zero bits.
struct BitReader {
    int32_t count = 0;    // buffered bits
    uint32_t buffer = 0;  // the buffered bits sit in the low `count` bits

    // The next frame's side information starts at a byte boundary; whatever is
    // still buffered is shifted out as new bytes come in.
    void ResetBits() { count = 0; }

    // n is 1..16. `source` provides GetByte() returning 0..255, or -1 at the end.
    template <typename Source> uint32_t ReadBits(Source& source, int n) {
        while (count < 25) {
            const int byte = source.GetByte();
            buffer = (buffer << 8) | static_cast<uint32_t>(byte < 0 ? 0 : byte);
            count += 8;
        }
        count -= n;
        return (buffer >> count) & ((1u << n) - 1u);
    }

    template <typename Source> void SkipBits(Source& source, int n) {
        while (n > 16) {
            ReadBits(source, 16);
            n -= 16;
        }
        if (n > 0) {
            ReadBits(source, n);
        }
    }
};

}  // namespace vandrel
