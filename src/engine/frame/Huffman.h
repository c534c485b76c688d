#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/frame/BitReader.h"

namespace vandrel {

// The Huffman codes of Layer III's quantised spectral lines. The lines below
// big_values * 2 come in pairs, each pair one code of the table its region
// selects (table_select 0 to 31), then for each value of 15 in tables 16 to
// 31 its linbits (the amount above 15), then a sign bit for each value that
// is not zero. The lines after them, up to the end of the granule-channel's
// bits, come in quads of values -1 to 1: a code of table A (count1table_select
// 0) or four inverted bits (table B), then the signs.

// Extra bits after a value of 15 (0 for tables 0 to 15).
int LinbitsOf(int table_select);

// Decodes pairs into `lines` (an even number of them) with big-value table
// `table_select`, refilling `bits` as it goes. Table 0 codes nothing: its
// lines are zero and no bit is taken. False, with the lines after the fault
// untouched, for table 4 or 14 (which hold no codes), a select outside 0 to
// 31, and bits that start no code of the table.
bool DecodePairs(BitReader& bits, int table_select, std::span<int16_t> lines);

// Decodes quads into `lines` (room for a multiple of 4) with count1 table
// `count1_table` (0: A, 1: B) while `bits` stands before `end_bit`. A quad
// whose bits run past `end_bit` was never meant: it is left out, and the
// decode stops (the reader then stands past end_bit). Returns the lines
// written.
size_t DecodeQuads(BitReader& bits, int count1_table, size_t end_bit, std::span<int16_t> lines);

// A code as it is written: `length` bits, the last of them the lowest of `bits`.
struct HuffmanCode {
    uint32_t bits = 0;
    int length = 0;
};

// The code of pair (x, y) in big-value table `table_select`, without linbits
// and signs (x and y up to 15 in tables 16 to 31); table 0 codes (0, 0) with
// no bits. Nothing for a pair or a table without a code. For the tests and
// tools that build main data.
std::optional<HuffmanCode> PairCodeOf(int table_select, int x, int y);
// The code of the quad vwxy (0 to 15) in count1 table `count1_table`.
std::optional<HuffmanCode> QuadCodeOf(int count1_table, int quad);

}  // namespace vandrel
