#include "engine/io/Crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vandrel {
namespace {

// The CRC from its definition, one bit at a time.
uint16_t BitwiseCrc(std::span<const uint8_t> bytes, uint16_t crc) {
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u)
                                  : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

TEST(Crc16, EveryRouteGivesTheCrcOfTheDefinition) {
    std::mt19937 random(2024);
    std::vector<uint8_t> bytes(1'000'003);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    // Every length up to a few folding steps, and long runs ending anywhere within the steps
    // of 8 and 64 bytes; each from a random starting CRC and offset.
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 600; ++n) {
        lengths.push_back(n);
    }
    lengths.insert(lengths.end(), {65'535, 65'536, 65'537, 999'999, 1'000'000});
    for (size_t n : lengths) {
        const size_t offset = random() % 3;
        const std::span<const uint8_t> part(bytes.data() + offset, n);
        const auto start = static_cast<uint16_t>(random());
        const uint16_t expected = BitwiseCrc(part, start);
        ASSERT_EQ(Crc16(part, start), expected) << n;
        ASSERT_EQ(Crc16Sliced(part, start), expected) << n;
        ASSERT_EQ(Crc16Bytewise(part, start), expected) << n;
    }
    // A CRC taken in pieces is the CRC of the whole.
    const std::span<const uint8_t> all(bytes);
    EXPECT_EQ(Crc16(all.subspan(333'333), Crc16(all.first(333'333))), BitwiseCrc(all, 0));
}

}  // namespace
}  // namespace vandrel
