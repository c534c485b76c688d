// The bounded bit reader and the Huffman decode of big-value pairs and
// count1 quads, against codes written with the tables' own code words.
#include "engine/frame/Huffman.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/frame/BitReader.h"
#include "support/MpegBuilder.h"

namespace vandrel {
namespace {

using test::BitWriter;

TEST(BitReader, ReadsBitsInOrderAndZerosPastItsBytes) {
    const std::vector<uint8_t> bytes = {0b1011'0011, 0b0101'1100, 0xFF};
    BitReader bits(bytes);
    EXPECT_EQ(bits.Read(3), 0b101u) << "first three bits";
    EXPECT_EQ(bits.Read(9), 0b1'0011'0101u) << "nine bits across a byte boundary";
    EXPECT_EQ(bits.Position(), 12u) << "position after 12 bits";
    EXPECT_FALSE(bits.Overrun()) << "overrun inside the bytes";
    EXPECT_EQ(bits.Read(12), 0b1100'1111'1111u) << "up to the last bit";
    EXPECT_FALSE(bits.Overrun()) << "overrun at the very end";
    EXPECT_EQ(bits.Read(20), 0u) << "bits past the end read as zero";
    EXPECT_TRUE(bits.Overrun()) << "overrun after reading past the end";

    // Seeking back clears the overrun; an empty span holds only zeros.
    bits.Seek(4);
    EXPECT_EQ(bits.Read(8), 0b0011'0101u) << "eight bits from bit 4";
    EXPECT_FALSE(bits.Overrun()) << "overrun after seeking back";
    BitReader empty(std::span<const uint8_t>{});
    EXPECT_EQ(empty.Read(1), 0u) << "a bit of no bytes";
    EXPECT_TRUE(empty.Overrun()) << "overrun of no bytes";
}

TEST(BitReader, RefillsFromLongBytesLikeFromShortOnes) {
    // The same 20 bytes read through 8-byte loads and, near the end, byte by byte.
    std::vector<uint8_t> bytes(20);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(37 * i + 11);
    }
    BitReader bits(bytes);
    for (size_t bit = 0; bit + 7 <= bytes.size() * 8; bit += 7) {
        uint32_t expected = 0;
        for (size_t k = bit; k < bit + 7; ++k) {
            expected = expected << 1 | ((bytes[k / 8] >> (7 - k % 8)) & 1u);
        }
        ASSERT_EQ(bits.Read(7), expected) << "seven bits from bit " << bit;
    }
}

// The pair written in `table` (sign bits and linbits included) decodes back.
struct PairCase {
    int table;
    int x;
    int y;
};

std::string Describe(const PairCase& c) {
    return "table " + std::to_string(c.table) + " pair (" + std::to_string(c.x) + ", " +
           std::to_string(c.y) + ")";
}

TEST(Huffman, EveryPairOfEveryTableDecodesBack) {
    std::vector<PairCase> cases;
    for (int table = 1; table < 32; ++table) {
        if (table == 4 || table == 14) {
            continue;
        }
        for (int x = 0; x < 16; ++x) {
            for (int y = 0; y < 16; ++y) {
                if (PairCodeOf(table, x, y)) {
                    // Alternate signs; values of 15 with the largest linbits.
                    const int big = 15 + (1 << LinbitsOf(table)) - 1;
                    const int vx = x == 15 && LinbitsOf(table) != 0 ? big : x;
                    const int vy = y == 15 && LinbitsOf(table) != 0 ? big - 1 : y;
                    cases.push_back({table, (x + y) % 2 == 0 ? vx : -vx, vy});
                }
            }
        }
    }
    EXPECT_EQ(cases.size(), 4u + 2 * 9 + 2 * 16 + 3 * 36 + 3 * 64 + 2 * 256 + 16 * 256)
        << "pairs with a code";
    for (const PairCase& c : cases) {
        BitWriter writer;
        writer.PutPair(c.table, c.x, c.y);
        writer.PutPair(c.table, c.y, c.x);
        BitReader bits(writer.bytes());
        std::array<int16_t, 4> lines{};
        ASSERT_TRUE(DecodePairs(bits, c.table, lines)) << Describe(c);
        EXPECT_EQ(lines,
                  (std::array<int16_t, 4>{static_cast<int16_t>(c.x), static_cast<int16_t>(c.y),
                                          static_cast<int16_t>(c.y), static_cast<int16_t>(c.x)}))
            << Describe(c) << " and its mirror";
        EXPECT_EQ(bits.Position(), writer.bit_count()) << "bits taken by " << Describe(c);
    }
}

TEST(Huffman, TablesWithoutCodesAndTableZero) {
    const std::vector<uint8_t> ones(8, 0xFF);
    std::array<int16_t, 4> lines = {7, 7, 7, 7};
    // Table 0 codes only zeros and takes no bits.
    BitReader zero(ones);
    EXPECT_TRUE(DecodePairs(zero, 0, lines)) << "table 0";
    EXPECT_EQ(lines, (std::array<int16_t, 4>{})) << "lines of table 0";
    EXPECT_EQ(zero.Position(), 0u) << "bits taken by table 0";
    // Tables 4 and 14 exist only as numbers; 32 and up not even so.
    for (const int table : {4, 14, 32, -1}) {
        BitReader bits(ones);
        EXPECT_FALSE(DecodePairs(bits, table, lines)) << "table " << table;
    }
    EXPECT_FALSE(PairCodeOf(14, 0, 0)) << "a code of table 14";
    EXPECT_FALSE(PairCodeOf(1, 2, 0)) << "a value past table 1's size";
    EXPECT_EQ(LinbitsOf(23), 13) << "linbits of table 23";
    EXPECT_EQ(LinbitsOf(24), 4) << "linbits of table 24";
}

TEST(Huffman, QuadsDecodeUntilTheirEndAndNoQuadPastIt) {
    for (const int table : {0, 1}) {
        // Every quad once, with signs; then bits that are no quad's.
        BitWriter writer;
        std::vector<int16_t> expected;
        for (int quad = 0; quad < 16; ++quad) {
            const std::array<int, 4> values = {quad >> 3 & 1, -(quad >> 2 & 1), quad >> 1 & 1,
                                               -(quad & 1)};
            writer.PutQuad(table, values[0], values[1], values[2], values[3]);
            expected.insert(expected.end(), values.begin(), values.end());
        }
        const size_t end = writer.bit_count();
        writer.Put(0, 16);
        BitReader bits(writer.bytes());
        std::vector<int16_t> lines(80);
        EXPECT_EQ(DecodeQuads(bits, table, end, lines), 64u) << "lines of table " << table;
        EXPECT_EQ(std::vector<int16_t>(lines.begin(), lines.begin() + 64), expected)
            << "quads of table " << table;
        EXPECT_EQ(bits.Position(), end) << "bits taken in table " << table;

        // An end inside the last quad: that quad is left out.
        BitReader cut(writer.bytes());
        std::vector<int16_t> few(80);
        EXPECT_EQ(DecodeQuads(cut, table, end - 1, few), 60u)
            << "lines of table " << table << " ending a bit early";
        EXPECT_EQ(few[60], 0) << "line of the quad left out, table " << table;
        EXPECT_GT(cut.Position(), end - 1) << "reader after the quad left out";
        // No more quads than the lines have room for.
        BitReader room(writer.bytes());
        std::vector<int16_t> eight(10);
        EXPECT_EQ(DecodeQuads(room, table, end, eight), 8u) << "lines with room for two quads";
    }
}

TEST(Huffman, PairsPastTheBytesReadZerosAndShowTheOverrun) {
    // Table 1 codes (0, 0) as a single 1 bit; zeros past the end are the
    // code of (1, 1), which takes signs: the reader runs past the end and says so.
    const std::vector<uint8_t> bytes = {0xFF};
    BitReader bits(bytes);
    std::array<int16_t, 20> lines{};
    EXPECT_TRUE(DecodePairs(bits, 1, lines)) << "pairs of table 1";
    EXPECT_EQ(lines[0], 0) << "first pair from the byte";
    EXPECT_EQ(lines[16], 1) << "a pair from the zeros past the end";
    EXPECT_TRUE(bits.Overrun()) << "overrun after the byte";
}

}  // namespace
}  // namespace vandrel
