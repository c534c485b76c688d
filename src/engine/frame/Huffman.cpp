// The Layer III Huffman tables and the decode of pairs and quads.
//
// Each table is given here as the format defines it, a code and its length
// for every pair (x, y), and turned at compile time into lookup tables that
// decode a code with one or a few lookups instead of a bit at a time: a first
// level indexed by the next 8 bits (fewer for the small tables) whose entries
// are either a pair with the bits its code takes, or the place of a further
// level indexed by the next few bits.
#include "engine/frame/Huffman.h"

#include <algorithm>
#include <array>

namespace vandrel {

namespace {

// One table: for pair (x, y) the code's bits and how many there are, row x.
template <size_t N> struct PairCodes {
    std::array<std::array<uint16_t, N>, N> codes;
    std::array<std::array<uint8_t, N>, N> lengths;
};

constexpr PairCodes<2> kTable1{
    .codes = {{{1, 1}, {1, 0}}},
    .lengths = {{{1, 3}, {2, 3}}},
};

constexpr PairCodes<3> kTable2{
    .codes = {{{1, 2, 1}, {3, 1, 1}, {3, 2, 0}}},
    .lengths = {{{1, 3, 6}, {3, 3, 5}, {5, 5, 6}}},
};

constexpr PairCodes<3> kTable3{
    .codes = {{{3, 2, 1}, {1, 1, 1}, {3, 2, 0}}},
    .lengths = {{{2, 2, 6}, {3, 2, 5}, {5, 5, 6}}},
};

constexpr PairCodes<4> kTable5{
    .codes = {{{1, 2, 6, 5}, {3, 1, 4, 4}, {7, 5, 7, 1}, {6, 1, 1, 0}}},
    .lengths = {{{1, 3, 6, 7}, {3, 3, 6, 7}, {6, 6, 7, 8}, {7, 6, 7, 8}}},
};

constexpr PairCodes<4> kTable6{
    .codes = {{{7, 3, 5, 1}, {6, 2, 3, 2}, {5, 4, 4, 1}, {3, 3, 2, 0}}},
    .lengths = {{{3, 3, 5, 7}, {3, 2, 4, 5}, {4, 4, 5, 6}, {6, 5, 6, 7}}},
};

constexpr PairCodes<6> kTable7{
    .codes = {{{1, 2, 10, 19, 16, 10},
               {3, 3, 7, 10, 5, 3},
               {11, 4, 13, 17, 8, 4},
               {12, 11, 18, 15, 11, 2},
               {7, 6, 9, 14, 3, 1},
               {6, 4, 5, 3, 2, 0}}},
    .lengths = {{{1, 3, 6, 8, 8, 9},
                 {3, 4, 6, 7, 7, 8},
                 {6, 5, 7, 8, 8, 9},
                 {7, 7, 8, 9, 9, 9},
                 {7, 7, 8, 9, 9, 10},
                 {8, 8, 9, 10, 10, 10}}},
};

constexpr PairCodes<6> kTable8{
    .codes = {{{3, 4, 6, 18, 12, 5},
               {5, 1, 2, 16, 9, 3},
               {7, 3, 5, 14, 7, 3},
               {19, 17, 15, 13, 10, 4},
               {13, 5, 8, 11, 5, 1},
               {12, 4, 4, 1, 1, 0}}},
    .lengths = {{{2, 3, 6, 8, 8, 9},
                 {3, 2, 4, 8, 8, 8},
                 {6, 4, 6, 8, 8, 9},
                 {8, 8, 8, 9, 9, 10},
                 {8, 7, 8, 9, 10, 10},
                 {9, 8, 9, 9, 11, 11}}},
};

constexpr PairCodes<6> kTable9{
    .codes = {{{7, 5, 9, 14, 15, 7},
               {6, 4, 5, 5, 6, 7},
               {7, 6, 8, 8, 8, 5},
               {15, 6, 9, 10, 5, 1},
               {11, 7, 9, 6, 4, 1},
               {14, 4, 6, 2, 6, 0}}},
    .lengths = {{{3, 3, 5, 6, 8, 9},
                 {3, 3, 4, 5, 6, 8},
                 {4, 4, 5, 6, 7, 8},
                 {6, 5, 6, 7, 7, 8},
                 {7, 6, 7, 7, 8, 9},
                 {8, 7, 8, 8, 9, 9}}},
};

constexpr PairCodes<8> kTable10{
    .codes = {{{1, 2, 10, 23, 35, 30, 12, 17},
               {3, 3, 8, 12, 18, 21, 12, 7},
               {11, 9, 15, 21, 32, 40, 19, 6},
               {14, 13, 22, 34, 46, 23, 18, 7},
               {20, 19, 33, 47, 27, 22, 9, 3},
               {31, 22, 41, 26, 21, 20, 5, 3},
               {14, 13, 10, 11, 16, 6, 5, 1},
               {9, 8, 7, 8, 4, 4, 2, 0}}},
    .lengths = {{{1, 3, 6, 8, 9, 9, 9, 10},
                 {3, 4, 6, 7, 8, 9, 8, 8},
                 {6, 6, 7, 8, 9, 10, 9, 9},
                 {7, 7, 8, 9, 10, 10, 9, 10},
                 {8, 8, 9, 10, 10, 10, 10, 10},
                 {9, 9, 10, 10, 11, 11, 10, 11},
                 {8, 8, 9, 10, 10, 10, 11, 11},
                 {9, 8, 9, 10, 10, 11, 11, 11}}},
};

constexpr PairCodes<8> kTable11{
    .codes = {{{3, 4, 10, 24, 34, 33, 21, 15},
               {5, 3, 4, 10, 32, 17, 11, 10},
               {11, 7, 13, 18, 30, 31, 20, 5},
               {25, 11, 19, 59, 27, 18, 12, 5},
               {35, 33, 31, 58, 30, 16, 7, 5},
               {28, 26, 32, 19, 17, 15, 8, 14},
               {14, 12, 9, 13, 14, 9, 4, 1},
               {11, 4, 6, 6, 6, 3, 2, 0}}},
    .lengths = {{{2, 3, 5, 7, 8, 9, 8, 9},
                 {3, 3, 4, 6, 8, 8, 7, 8},
                 {5, 5, 6, 7, 8, 9, 8, 8},
                 {7, 6, 7, 9, 8, 10, 8, 9},
                 {8, 8, 8, 9, 9, 10, 9, 10},
                 {8, 8, 9, 10, 10, 11, 10, 11},
                 {8, 7, 7, 8, 9, 10, 10, 10},
                 {8, 7, 8, 9, 10, 10, 10, 10}}},
};

constexpr PairCodes<8> kTable12{
    .codes = {{{9, 6, 16, 33, 41, 39, 38, 26},
               {7, 5, 6, 9, 23, 16, 26, 11},
               {17, 7, 11, 14, 21, 30, 10, 7},
               {17, 10, 15, 12, 18, 28, 14, 5},
               {32, 13, 22, 19, 18, 16, 9, 5},
               {40, 17, 31, 29, 17, 13, 4, 2},
               {27, 12, 11, 15, 10, 7, 4, 1},
               {27, 12, 8, 12, 6, 3, 1, 0}}},
    .lengths = {{{4, 3, 5, 7, 8, 9, 9, 9},
                 {3, 3, 4, 5, 7, 7, 8, 8},
                 {5, 4, 5, 6, 7, 8, 7, 8},
                 {6, 5, 6, 6, 7, 8, 8, 8},
                 {7, 6, 7, 7, 8, 8, 8, 9},
                 {8, 7, 8, 8, 8, 9, 8, 9},
                 {8, 7, 7, 8, 8, 9, 9, 10},
                 {9, 8, 8, 9, 9, 9, 9, 10}}},
};

constexpr PairCodes<16> kTable13{
    .codes = {{{1, 5, 14, 21, 34, 51, 46, 71, 42, 52, 68, 52, 67, 44, 43, 19},
               {3, 4, 12, 19, 31, 26, 44, 33, 31, 24, 32, 24, 31, 35, 22, 14},
               {15, 13, 23, 36, 59, 49, 77, 65, 29, 40, 30, 40, 27, 33, 42, 16},
               {22, 20, 37, 61, 56, 79, 73, 64, 43, 76, 56, 37, 26, 31, 25, 14},
               {35, 16, 60, 57, 97, 75, 114, 91, 54, 73, 55, 41, 48, 53, 23, 24},
               {58, 27, 50, 96, 76, 70, 93, 84, 77, 58, 79, 29, 74, 49, 41, 17},
               {47, 45, 78, 74, 115, 94, 90, 79, 69, 83, 71, 50, 59, 38, 36, 15},
               {72, 34, 56, 95, 92, 85, 91, 90, 86, 73, 77, 65, 51, 44, 43, 42},
               {43, 20, 30, 44, 55, 78, 72, 87, 78, 61, 46, 54, 37, 30, 20, 16},
               {53, 25, 41, 37, 44, 59, 54, 81, 66, 76, 57, 54, 37, 18, 39, 11},
               {35, 33, 31, 57, 42, 82, 72, 80, 47, 58, 55, 21, 22, 26, 38, 22},
               {53, 25, 23, 38, 70, 60, 51, 36, 55, 26, 34, 23, 27, 14, 9, 7},
               {34, 32, 28, 39, 49, 75, 30, 52, 48, 40, 52, 28, 18, 17, 9, 5},
               {45, 21, 34, 64, 56, 50, 49, 45, 31, 19, 12, 15, 10, 7, 6, 3},
               {48, 23, 20, 39, 36, 35, 53, 21, 16, 23, 13, 10, 6, 1, 4, 2},
               {16, 15, 17, 27, 25, 20, 29, 11, 17, 12, 16, 8, 1, 1, 0, 1}}},
    .lengths = {{{1, 4, 6, 7, 8, 9, 9, 10, 9, 10, 11, 11, 12, 12, 13, 13},
                 {3, 4, 6, 7, 8, 8, 9, 9, 9, 9, 10, 10, 11, 12, 12, 12},
                 {6, 6, 7, 8, 9, 9, 10, 10, 9, 10, 10, 11, 11, 12, 13, 13},
                 {7, 7, 8, 9, 9, 10, 10, 10, 10, 11, 11, 11, 11, 12, 13, 13},
                 {8, 7, 9, 9, 10, 10, 11, 11, 10, 11, 11, 12, 12, 13, 13, 14},
                 {9, 8, 9, 10, 10, 10, 11, 11, 11, 11, 12, 11, 13, 13, 14, 14},
                 {9, 9, 10, 10, 11, 11, 11, 11, 11, 12, 12, 12, 13, 13, 14, 14},
                 {10, 9, 10, 11, 11, 11, 12, 12, 12, 12, 13, 13, 13, 14, 16, 16},
                 {9, 8, 9, 10, 10, 11, 11, 12, 12, 12, 12, 13, 13, 14, 15, 15},
                 {10, 9, 10, 10, 11, 11, 11, 13, 12, 13, 13, 14, 14, 14, 16, 15},
                 {10, 10, 10, 11, 11, 12, 12, 13, 12, 13, 14, 13, 14, 15, 16, 17},
                 {11, 10, 10, 11, 12, 12, 12, 12, 13, 13, 13, 14, 15, 15, 15, 16},
                 {11, 11, 11, 12, 12, 13, 12, 13, 14, 14, 15, 15, 15, 16, 16, 16},
                 {12, 11, 12, 13, 13, 13, 14, 14, 14, 14, 14, 15, 16, 15, 16, 16},
                 {13, 12, 12, 13, 13, 13, 15, 14, 14, 17, 15, 15, 15, 17, 16, 16},
                 {12, 12, 13, 14, 14, 14, 15, 14, 15, 15, 16, 16, 19, 18, 19, 16}}},
};

constexpr PairCodes<16> kTable15{
    .codes = {{{7, 12, 18, 53, 47, 76, 124, 108, 89, 123, 108, 119, 107, 81, 122, 63},
               {13, 5, 16, 27, 46, 36, 61, 51, 42, 70, 52, 83, 65, 41, 59, 36},
               {19, 17, 15, 24, 41, 34, 59, 48, 40, 64, 50, 78, 62, 80, 56, 33},
               {29, 28, 25, 43, 39, 63, 55, 93, 76, 59, 93, 72, 54, 75, 50, 29},
               {52, 22, 42, 40, 67, 57, 95, 79, 72, 57, 89, 69, 49, 66, 46, 27},
               {77, 37, 35, 66, 58, 52, 91, 74, 62, 48, 79, 63, 90, 62, 40, 38},
               {125, 32, 60, 56, 50, 92, 78, 65, 55, 87, 71, 51, 73, 51, 70, 30},
               {109, 53, 49, 94, 88, 75, 66, 122, 91, 73, 56, 42, 64, 44, 21, 25},
               {90, 43, 41, 77, 73, 63, 56, 92, 77, 66, 47, 67, 48, 53, 36, 20},
               {71, 34, 67, 60, 58, 49, 88, 76, 67, 106, 71, 54, 38, 39, 23, 15},
               {109, 53, 51, 47, 90, 82, 58, 57, 48, 72, 57, 41, 23, 27, 62, 9},
               {86, 42, 40, 37, 70, 64, 52, 43, 70, 55, 42, 25, 29, 18, 11, 11},
               {118, 68, 30, 55, 50, 46, 74, 65, 49, 39, 24, 16, 22, 13, 14, 7},
               {91, 44, 39, 38, 34, 63, 52, 45, 31, 52, 28, 19, 14, 8, 9, 3},
               {123, 60, 58, 53, 47, 43, 32, 22, 37, 24, 17, 12, 15, 10, 2, 1},
               {71, 37, 34, 30, 28, 20, 17, 26, 21, 16, 10, 6, 8, 6, 2, 0}}},
    .lengths = {{{3, 4, 5, 7, 7, 8, 9, 9, 9, 10, 10, 11, 11, 11, 12, 13},
                 {4, 3, 5, 6, 7, 7, 8, 8, 8, 9, 9, 10, 10, 10, 11, 11},
                 {5, 5, 5, 6, 7, 7, 8, 8, 8, 9, 9, 10, 10, 11, 11, 11},
                 {6, 6, 6, 7, 7, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11},
                 {7, 6, 7, 7, 8, 8, 9, 9, 9, 9, 10, 10, 10, 11, 11, 11},
                 {8, 7, 7, 8, 8, 8, 9, 9, 9, 9, 10, 10, 11, 11, 11, 12},
                 {9, 7, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 11, 11, 12, 12},
                 {9, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 10, 11, 11, 11, 12},
                 {9, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 11, 11, 12, 12, 12},
                 {9, 8, 9, 9, 9, 9, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12},
                 {10, 9, 9, 9, 10, 10, 10, 10, 10, 11, 11, 11, 11, 12, 13, 12},
                 {10, 9, 9, 9, 10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 13},
                 {11, 10, 9, 10, 10, 10, 11, 11, 11, 11, 11, 11, 12, 12, 13, 13},
                 {11, 10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12, 12, 13, 13},
                 {12, 11, 11, 11, 11, 11, 11, 11, 12, 12, 12, 12, 13, 13, 12, 13},
                 {12, 11, 11, 11, 11, 11, 11, 12, 12, 12, 12, 12, 13, 13, 13, 13}}},
};

constexpr PairCodes<16> kTable16{
    .codes = {{{1, 5, 14, 44, 74, 63, 110, 93, 172, 149, 138, 242, 225, 195, 376, 17},
               {3, 4, 12, 20, 35, 62, 53, 47, 83, 75, 68, 119, 201, 107, 207, 9},
               {15, 13, 23, 38, 67, 58, 103, 90, 161, 72, 127, 117, 110, 209, 206, 16},
               {45, 21, 39, 69, 64, 114, 99, 87, 158, 140, 252, 212, 199, 387, 365, 26},
               {75, 36, 68, 65, 115, 101, 179, 164, 155, 264, 246, 226, 395, 382, 362, 9},
               {66, 30, 59, 56, 102, 185, 173, 265, 142, 253, 232, 400, 388, 378, 445, 16},
               {111, 54, 52, 100, 184, 178, 160, 133, 257, 244, 228, 217, 385, 366, 715, 10},
               {98, 48, 91, 88, 165, 157, 148, 261, 248, 407, 397, 372, 380, 889, 884, 8},
               {85, 84, 81, 159, 156, 143, 260, 249, 427, 401, 392, 383, 727, 713, 708, 7},
               {154, 76, 73, 141, 131, 256, 245, 426, 406, 394, 384, 735, 359, 710, 352, 11},
               {139, 129, 67, 125, 247, 233, 229, 219, 393, 743, 737, 720, 885, 882, 439, 4},
               {243, 120, 118, 115, 227, 223, 396, 746, 742, 736, 721, 712, 706, 223, 436, 6},
               {202, 224, 222, 218, 216, 389, 386, 381, 364, 888, 443, 707, 440, 437, 1728, 4},
               {747, 211, 210, 208, 370, 379, 734, 723, 714, 1735, 883, 877, 876, 3459, 865, 2},
               {377, 369, 102, 187, 726, 722, 358, 711, 709, 866, 1734, 871, 3458, 870, 434, 0},
               {12, 10, 7, 11, 10, 17, 11, 9, 13, 12, 10, 7, 5, 3, 1, 3}}},
    .lengths = {{{1, 4, 6, 8, 9, 9, 10, 10, 11, 11, 11, 12, 12, 12, 13, 9},
                 {3, 4, 6, 7, 8, 9, 9, 9, 10, 10, 10, 11, 12, 11, 12, 8},
                 {6, 6, 7, 8, 9, 9, 10, 10, 11, 10, 11, 11, 11, 12, 12, 9},
                 {8, 7, 8, 9, 9, 10, 10, 10, 11, 11, 12, 12, 12, 13, 13, 10},
                 {9, 8, 9, 9, 10, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 9},
                 {9, 8, 9, 9, 10, 11, 11, 12, 11, 12, 12, 13, 13, 13, 14, 10},
                 {10, 9, 9, 10, 11, 11, 11, 11, 12, 12, 12, 12, 13, 13, 14, 10},
                 {10, 9, 10, 10, 11, 11, 11, 12, 12, 13, 13, 13, 13, 15, 15, 10},
                 {10, 10, 10, 11, 11, 11, 12, 12, 13, 13, 13, 13, 14, 14, 14, 10},
                 {11, 10, 10, 11, 11, 12, 12, 13, 13, 13, 13, 14, 13, 14, 13, 11},
                 {11, 11, 10, 11, 12, 12, 12, 12, 13, 14, 14, 14, 15, 15, 14, 10},
                 {12, 11, 11, 11, 12, 12, 13, 14, 14, 14, 14, 14, 14, 13, 14, 11},
                 {12, 12, 12, 12, 12, 13, 13, 13, 13, 15, 14, 14, 14, 14, 16, 11},
                 {14, 12, 12, 12, 13, 13, 14, 14, 14, 16, 15, 15, 15, 17, 15, 11},
                 {13, 13, 11, 12, 14, 14, 13, 14, 14, 15, 16, 15, 17, 15, 14, 11},
                 {9, 8, 8, 9, 9, 10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 8}}},
};

constexpr PairCodes<16> kTable24{
    .codes = {{{15, 13, 46, 80, 146, 262, 248, 434, 426, 669, 653, 649, 621, 517, 1032, 88},
               {14, 12, 21, 38, 71, 130, 122, 216, 209, 198, 327, 345, 319, 297, 279, 42},
               {47, 22, 41, 74, 68, 128, 120, 221, 207, 194, 182, 340, 315, 295, 541, 18},
               {81, 39, 75, 70, 134, 125, 116, 220, 204, 190, 178, 325, 311, 293, 271, 16},
               {147, 72, 69, 135, 127, 118, 112, 210, 200, 188, 352, 323, 306, 285, 540, 14},
               {263, 66, 129, 126, 119, 114, 214, 202, 192, 180, 341, 317, 301, 281, 262, 12},
               {249, 123, 121, 117, 113, 215, 206, 195, 185, 347, 330, 308, 291, 272, 520, 10},
               {435, 115, 111, 109, 211, 203, 196, 187, 353, 332, 313, 298, 283, 531, 381, 17},
               {427, 212, 208, 205, 201, 193, 186, 177, 169, 320, 303, 286, 268, 514, 377, 16},
               {335, 199, 197, 191, 189, 181, 174, 333, 321, 305, 289, 275, 521, 379, 371, 11},
               {668, 184, 183, 179, 175, 344, 331, 314, 304, 290, 277, 530, 383, 373, 366, 10},
               {652, 346, 171, 168, 164, 318, 309, 299, 287, 276, 263, 513, 375, 368, 362, 6},
               {648, 322, 316, 312, 307, 302, 292, 284, 269, 261, 512, 376, 370, 364, 359, 4},
               {620, 300, 296, 294, 288, 282, 273, 266, 515, 380, 374, 369, 365, 361, 357, 2},
               {1033, 280, 278, 274, 267, 264, 259, 382, 378, 372, 367, 363, 360, 358, 356, 0},
               {43, 20, 19, 17, 15, 13, 11, 9, 7, 6, 4, 7, 5, 3, 1, 3}}},
    .lengths = {{{4, 4, 6, 7, 8, 9, 9, 10, 10, 11, 11, 11, 11, 11, 12, 9},
                 {4, 4, 5, 6, 7, 8, 8, 9, 9, 9, 10, 10, 10, 10, 10, 8},
                 {6, 5, 6, 7, 7, 8, 8, 9, 9, 9, 9, 10, 10, 10, 11, 7},
                 {7, 6, 7, 7, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 7},
                 {8, 7, 7, 8, 8, 8, 8, 9, 9, 9, 10, 10, 10, 10, 11, 7},
                 {9, 7, 8, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 10, 7},
                 {9, 8, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 10, 11, 7},
                 {10, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 10, 11, 11, 8},
                 {10, 9, 9, 9, 9, 9, 9, 9, 9, 10, 10, 10, 10, 11, 11, 8},
                 {10, 9, 9, 9, 9, 9, 9, 10, 10, 10, 10, 10, 11, 11, 11, 8},
                 {11, 9, 9, 9, 9, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 8},
                 {11, 10, 9, 9, 9, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 8},
                 {11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 11, 8},
                 {11, 10, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 8},
                 {12, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 11, 8},
                 {8, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 4}}},
};

// Count1 table A, by the quad's four values v w x y as the bits vwxy (table B
// is the four bits inverted).
constexpr std::array<uint8_t, 16> kQuadCodes = {1, 5, 4, 5, 6, 5, 4, 4, 7, 3, 6, 0, 7, 2, 3, 1};
constexpr std::array<uint8_t, 16> kQuadLengths = {1, 4, 4, 5, 4, 6, 5, 6, 4, 5, 5, 6, 5, 6, 6, 6};
constexpr int kQuadCodeBits = 6;  // the longest code of table A

// An entry of the lookup tables, 16 bits:
//   0LLLXXXX YYYY.... a pair: L the bits its code takes at this level (1 to
//                      8), X and Y its values (0 to 15)
//   1WWWOOOO OOOOOOOO a further level of W bits (1 to 4) at offset O from the
//                      table's first entry; W = 0: these bits start no code
// (drawn with the top bit on the left; the pair's fields sit as below).
constexpr uint16_t kLevelFlag = 0x8000;
constexpr uint16_t kNoCode = kLevelFlag;
constexpr int kRootBits = 8;
constexpr int kLevelBits = 4;

constexpr uint16_t PairEntry(int bits, int x, int y) {
    return static_cast<uint16_t>(bits << 8 | x << 4 | y);
}
constexpr uint16_t LevelEntry(int bits, size_t offset) {
    return static_cast<uint16_t>(kLevelFlag | bits << 12 | static_cast<int>(offset));
}

// Room for the lookup tables of all 15 code tables (4,348 entries).
constexpr size_t kEntryRoom = 4400;

struct Lookup {
    std::array<uint16_t, kEntryRoom> entries{};
    size_t used = 0;
};

// One code of a table, for the builder.
struct Code {
    uint32_t bits;
    int length;
    int x;
    int y;
};

// Fills the level for the codes that start with `prefix` (`prefix_length`
// bits), `width` bits wide, at the end of `lookup`, and the levels after it;
// returns where it starts relative to `table_start`.
template <size_t N>
constexpr size_t AddLevel(Lookup& lookup, const std::array<Code, N>& codes, size_t table_start,
                          uint32_t prefix, int prefix_length, int width) {
    const size_t level = lookup.used;
    const uint32_t entries = 1u << width;
    lookup.used += entries;
    const int total = prefix_length + width;
    // For each entry, the longest code that goes on past this level.
    std::array<int, 1 << kRootBits> longest{};
    for (uint32_t i = 0; i < entries; ++i) {
        lookup.entries[level + i] = kNoCode;
    }
    for (const Code& c : codes) {
        if (c.length <= prefix_length || c.bits >> (c.length - prefix_length) != prefix) {
            continue;
        }
        if (c.length <= total) {
            // Every entry whose bits start with the code's rest.
            const int spare = total - c.length;
            const uint32_t first = (c.bits << spare) & (entries - 1);
            for (uint32_t k = 0; k < (1u << spare); ++k) {
                lookup.entries[level + first + k] = PairEntry(c.length - prefix_length, c.x, c.y);
            }
        } else {
            const uint32_t at = (c.bits >> (c.length - total)) & (entries - 1);
            longest[at] = std::max(longest[at], c.length);
        }
    }
    for (uint32_t i = 0; i < entries; ++i) {
        if (longest[i] > 0) {
            const int next = std::min(longest[i] - total, kLevelBits);
            lookup.entries[level + i] = LevelEntry(
                next, AddLevel(lookup, codes, table_start, prefix << width | i, total, next));
        }
    }
    return level - table_start;
}

template <size_t N> constexpr std::array<Code, N * N> CodesOf(const PairCodes<N>& table) {
    std::array<Code, N * N> codes{};
    for (size_t x = 0; x < N; ++x) {
        for (size_t y = 0; y < N; ++y) {
            codes[x * N + y] = {table.codes[x][y], table.lengths[x][y], static_cast<int>(x),
                                static_cast<int>(y)};
        }
    }
    return codes;
}

// Where a code table's lookup starts and how many bits its first level takes.
struct TableStart {
    uint16_t first = 0;
    uint8_t root_bits = 0;  // 0: no codes (tables 0, 4 and 14)
};

template <size_t N> constexpr TableStart AddTable(Lookup& lookup, const PairCodes<N>& table) {
    const std::array<Code, N* N> codes = CodesOf(table);
    int longest = 0;
    for (const Code& c : codes) {
        longest = std::max(longest, c.length);
    }
    const size_t first = lookup.used;
    const int root = std::min(longest, kRootBits);
    AddLevel(lookup, codes, first, 0, 0, root);
    return {static_cast<uint16_t>(first), static_cast<uint8_t>(root)};
}

// The lookup of every big-value table, by table_select.
struct PairLookup {
    std::array<uint16_t, kEntryRoom> entries{};
    std::array<TableStart, 32> by_select{};
};

constexpr PairLookup BuildPairLookup() {
    Lookup lookup;
    std::array<TableStart, 32> s{};
    s[1] = AddTable(lookup, kTable1);
    s[2] = AddTable(lookup, kTable2);
    s[3] = AddTable(lookup, kTable3);
    s[5] = AddTable(lookup, kTable5);
    s[6] = AddTable(lookup, kTable6);
    s[7] = AddTable(lookup, kTable7);
    s[8] = AddTable(lookup, kTable8);
    s[9] = AddTable(lookup, kTable9);
    s[10] = AddTable(lookup, kTable10);
    s[11] = AddTable(lookup, kTable11);
    s[12] = AddTable(lookup, kTable12);
    s[13] = AddTable(lookup, kTable13);
    s[15] = AddTable(lookup, kTable15);
    // Tables 16 to 23 share one code and differ in their linbits; so do 24 to 31.
    s[16] = AddTable(lookup, kTable16);
    s[24] = AddTable(lookup, kTable24);
    for (size_t i = 1; i < 8; ++i) {
        s[16 + i] = s[16];
        s[24 + i] = s[24];
    }
    return {lookup.entries, s};
}

constexpr PairLookup kPairs = BuildPairLookup();

// The usual pair in one lookup: for each code table, by the next 10 bits,
// the pair whose code and sign bits fill them, as its bits and its values:
//   00LLLLXX XXXYYYYY  L the bits taken, signs included (1 to 10), X and Y the
//                      signed values in five-bit two's complement
//   10LLLLXX XXXYYYYY  a pair with a value of 15 in a table with linbits: L
//                      the code's bits, X and Y the values before their
//                      linbits and signs
//   0                  the pair takes the lookup tables above
constexpr int kFastBits = 10;
constexpr uint16_t kFastEscape = 0x8000;
constexpr int kFastTables = 15;  // 13 tables without linbits, 16 and 24

struct FastLookup {
    std::array<std::array<uint16_t, 1 << kFastBits>, kFastTables> tables{};
    std::array<int8_t, 32> by_select{};  // -1: no such table
};

template <size_t N>
constexpr void AddFast(std::array<uint16_t, 1 << kFastBits>& fast, const PairCodes<N>& table,
                       bool linbits) {
    for (size_t x = 0; x < N; ++x) {
        for (size_t y = 0; y < N; ++y) {
            if (linbits && (x == 15 || y == 15)) {
                const int length = table.lengths[x][y];
                if (length <= kFastBits) {
                    const int spare = kFastBits - length;
                    for (uint32_t rest = 0; rest < (1u << spare); ++rest) {
                        fast[uint32_t{table.codes[x][y]} << spare | rest] =
                            static_cast<uint16_t>(kFastEscape | length << 10 |
                                                  static_cast<int>(x) << 5 | static_cast<int>(y));
                    }
                }
                continue;
            }
            const int signs = (x != 0 ? 1 : 0) + (y != 0 ? 1 : 0);
            const int total = table.lengths[x][y] + signs;
            if (total > kFastBits) {
                continue;
            }
            // The first sign bit is x's when x has one.
            for (uint32_t sign_bits = 0; sign_bits < (1u << signs); ++sign_bits) {
                int vx = static_cast<int>(x);
                int vy = static_cast<int>(y);
                if (x != 0 && ((sign_bits >> (signs - 1)) & 1) != 0) {
                    vx = -vx;
                }
                if (y != 0 && (sign_bits & 1) != 0) {
                    vy = -vy;
                }
                const uint32_t prefix = uint32_t{table.codes[x][y]} << signs | sign_bits;
                const int spare = kFastBits - total;
                for (uint32_t rest = 0; rest < (1u << spare); ++rest) {
                    fast[prefix << spare | rest] =
                        static_cast<uint16_t>(total << 10 | (vx & 31) << 5 | (vy & 31));
                }
            }
        }
    }
}

constexpr FastLookup BuildFastLookup() {
    FastLookup f;
    f.by_select.fill(-1);
    int next = 0;
    const auto add = [&](int select, const auto& table, bool linbits) {
        AddFast(f.tables[static_cast<size_t>(next)], table, linbits);
        f.by_select[static_cast<size_t>(select)] = static_cast<int8_t>(next++);
    };
    add(1, kTable1, false);
    add(2, kTable2, false);
    add(3, kTable3, false);
    add(5, kTable5, false);
    add(6, kTable6, false);
    add(7, kTable7, false);
    add(8, kTable8, false);
    add(9, kTable9, false);
    add(10, kTable10, false);
    add(11, kTable11, false);
    add(12, kTable12, false);
    add(13, kTable13, false);
    add(15, kTable15, false);
    add(16, kTable16, true);
    add(24, kTable24, true);
    for (size_t i = 1; i < 8; ++i) {
        f.by_select[16 + i] = f.by_select[16];
        f.by_select[24 + i] = f.by_select[24];
    }
    return f;
}

constexpr FastLookup kFast = BuildFastLookup();

// A value of the fast lookup, five bits in two's complement.
constexpr int16_t FastValue(uint32_t bits) {
    return static_cast<int16_t>(static_cast<int>((bits & 31) ^ 16) - 16);
}

// Table A's codes by their first six bits: the code's length, then vwxy.
constexpr std::array<uint8_t, 1 << kQuadCodeBits> kQuadLookup = [] {
    std::array<uint8_t, 1 << kQuadCodeBits> lookup{};
    for (uint32_t quad = 0; quad < 16; ++quad) {
        const int spare = kQuadCodeBits - kQuadLengths[quad];
        for (uint32_t rest = 0; rest < (1u << spare); ++rest) {
            lookup[uint32_t{kQuadCodes[quad]} << spare | rest] =
                static_cast<uint8_t>(kQuadLengths[quad] << 4 | quad);
        }
    }
    return lookup;
}();

constexpr std::array<uint8_t, 32> kLinbits = {0, 0, 0, 0, 0, 0, 0,  0,  0, 0, 0, 0, 0, 0, 0,  0,
                                              1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};

// A value that is not zero is followed by its sign bit (1: negative); taken
// without a branch, as signs are a toss-up.
inline int Signed(BitReader& bits, int value) {
    const int coded = value != 0 ? 1 : 0;
    const int negative = static_cast<int>(bits.Peek(1)) & coded;
    bits.Skip(coded);
    return (value ^ -negative) + negative;
}

// The code at the reader through the lookup levels: its pair, or false for
// bits that start no code.
inline bool LookupPair(BitReader& bits, const uint16_t* table, int root_bits, int& x, int& y) {
    int width = root_bits;
    uint16_t entry = table[bits.Peek(width)];
    while ((entry & kLevelFlag) != 0) {
        const int next = entry >> 12 & 7;
        if (next == 0) {
            return false;
        }
        bits.Skip(width);
        width = next;
        entry = table[(entry & 0xFFFu) + bits.Peek(width)];
    }
    bits.Skip(entry >> 8);
    x = entry >> 4 & 15;
    y = entry & 15;
    return true;
}

// What follows a pair's code: linbits for each value of 15 (tables 16 to 31),
// then a sign bit for each value that is not zero.
inline void TakeLinbitsAndSigns(BitReader& bits, int linbits, int& x, int& y) {
    if (linbits == 0) {
        // Both sign bits from one look: y's follows x's when x has one.
        const uint64_t window = bits.Window();
        const int x_coded = x != 0 ? 1 : 0;
        const int y_coded = y != 0 ? 1 : 0;
        const int x_negative = static_cast<int>(window >> 63) & x_coded;
        const int y_negative = static_cast<int>(window << x_coded >> 63) & y_coded;
        bits.Skip(x_coded + y_coded);
        x = (x ^ -x_negative) + x_negative;
        y = (y ^ -y_negative) + y_negative;
        return;
    }
    if (x == 15) {
        x += static_cast<int>(bits.Take(linbits));
    }
    x = Signed(bits, x);
    if (y == 15) {
        y += static_cast<int>(bits.Take(linbits));
    }
    y = Signed(bits, y);
}

template <size_t N> std::optional<HuffmanCode> CodeIn(const PairCodes<N>& table, int x, int y) {
    if (x < 0 || y < 0 || x >= static_cast<int>(N) || y >= static_cast<int>(N)) {
        return std::nullopt;
    }
    const auto row = static_cast<size_t>(x);
    const auto column = static_cast<size_t>(y);
    return HuffmanCode{table.codes[row][column], table.lengths[row][column]};
}

}  // namespace

std::optional<HuffmanCode> PairCodeOf(int table_select, int x, int y) {
    switch (table_select >= 24 ? 24 : (table_select >= 16 ? 16 : table_select)) {
    case 0:
        return x == 0 && y == 0 ? std::optional<HuffmanCode>(HuffmanCode{}) : std::nullopt;
    case 1:
        return CodeIn(kTable1, x, y);
    case 2:
        return CodeIn(kTable2, x, y);
    case 3:
        return CodeIn(kTable3, x, y);
    case 5:
        return CodeIn(kTable5, x, y);
    case 6:
        return CodeIn(kTable6, x, y);
    case 7:
        return CodeIn(kTable7, x, y);
    case 8:
        return CodeIn(kTable8, x, y);
    case 9:
        return CodeIn(kTable9, x, y);
    case 10:
        return CodeIn(kTable10, x, y);
    case 11:
        return CodeIn(kTable11, x, y);
    case 12:
        return CodeIn(kTable12, x, y);
    case 13:
        return CodeIn(kTable13, x, y);
    case 15:
        return CodeIn(kTable15, x, y);
    case 16:
        return table_select < 32 ? CodeIn(kTable16, x, y) : std::nullopt;
    case 24:
        return table_select < 32 ? CodeIn(kTable24, x, y) : std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<HuffmanCode> QuadCodeOf(int count1_table, int quad) {
    if (quad < 0 || quad > 15 || count1_table < 0 || count1_table > 1) {
        return std::nullopt;
    }
    if (count1_table == 1) {
        return HuffmanCode{static_cast<uint32_t>(15 - quad), 4};
    }
    const auto q = static_cast<size_t>(quad);
    return HuffmanCode{kQuadCodes[q], kQuadLengths[q]};
}

int LinbitsOf(int table_select) {
    return table_select >= 0 && table_select < 32 ? kLinbits[static_cast<size_t>(table_select)] : 0;
}

bool DecodePairs(BitReader& reader, int table_select, std::span<int16_t> lines) {
    if (table_select == 0) {
        std::fill(lines.begin(), lines.end(), int16_t{0});
        return true;
    }
    if (table_select < 0 || table_select >= 32) {
        return false;
    }
    const TableStart start = kPairs.by_select[static_cast<size_t>(table_select)];
    if (start.root_bits == 0) {
        return false;
    }
    const uint16_t* table = kPairs.entries.data() + start.first;
    const int linbits = kLinbits[static_cast<size_t>(table_select)];
    const uint16_t* fast =
        kFast.tables[static_cast<size_t>(kFast.by_select[static_cast<size_t>(table_select)])]
            .data();
    // The most bits a pair takes: a 19-bit code (17 in tables 16 to 31),
    // two values with their linbits, two signs.
    const int longest_pair = linbits == 0 ? 19 + 2 : 17 + 2 * linbits + 2;
    // A copy the compiler can keep in registers while the lines are written.
    BitReader bits = reader;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        if (bits.Cached() < longest_pair) {
            bits.Refill();
        }
        const uint16_t hit = fast[bits.Peek(kFastBits)];
        if (hit != 0 && (hit & kFastEscape) == 0) [[likely]] {
            bits.Skip(hit >> 10);
            lines[i] = FastValue(hit >> 5);
            lines[i + 1] = FastValue(hit);
            continue;
        }
        int x = 0;
        int y = 0;
        if (hit != 0) {
            bits.Skip(hit >> 10 & 15);
            x = hit >> 5 & 31;
            y = hit & 31;
        } else if (!LookupPair(bits, table, start.root_bits, x, y)) {
            reader = bits;
            return false;
        }
        TakeLinbitsAndSigns(bits, linbits, x, y);
        lines[i] = static_cast<int16_t>(x);
        lines[i + 1] = static_cast<int16_t>(y);
    }
    reader = bits;
    return true;
}

size_t DecodeQuads(BitReader& reader, int count1_table, size_t end_bit, std::span<int16_t> lines) {
    BitReader bits = reader;
    size_t done = 0;
    while (done + 4 <= lines.size() && bits.Position() < end_bit) {
        bits.Refill();
        int quad;
        if (count1_table == 0) {
            const uint8_t entry = kQuadLookup[bits.Peek(kQuadCodeBits)];
            bits.Skip(entry >> 4);
            quad = entry & 15;
        } else {
            quad = 15 - static_cast<int>(bits.Take(4));
        }
        std::array<int16_t, 4> values{};
        for (size_t k = 0; k < 4; ++k) {
            values[k] = static_cast<int16_t>(Signed(bits, quad >> (3 - k) & 1));
        }
        if (bits.Position() > end_bit) {
            break;
        }
        std::copy(values.begin(), values.end(), lines.begin() + static_cast<ptrdiff_t>(done));
        done += 4;
    }
    reader = bits;
    return done;
}

}  // namespace vandrel
