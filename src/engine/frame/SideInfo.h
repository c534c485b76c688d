#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace vandrel {

// The Layer III side information: what follows the header (and its CRC
// word) and tells where each granule-channel's main data starts, how long
// it is and how it is coded.

// One granule-channel of Layer III side information, every field as it is
// coded (MPEG-1: 59 bits, MPEG-2 and 2.5: 63).
struct GranuleSideInfo {
    int part2_3_length = 0;     // bits of scale factors and Huffman data
    int big_values = 0;         // line pairs coded with the big-value tables
    int global_gain = 0;        // quantizer step
    int scalefac_compress = 0;  // 4 bits in MPEG-1, 9 in MPEG-2 and 2.5
    bool window_switching = false;
    int block_type = 0;                 // 0 normal, 1 start, 2 short (three windows), 3 stop
    bool mixed = false;                 // long blocks for the lowest 36 lines, short above
    std::array<int, 3> table_select{};  // the third is 0 when windows switch
    std::array<int, 3> subblock_gain{};
    int region0_count = 0;  // 0 when windows switch (the regions are then implied)
    int region1_count = 0;
    bool preflag = false;  // MPEG-1 only
    bool scalefac_scale = false;
    int count1table_select = 0;
};

// The side information of one Layer III frame.
struct FrameSideInfo {
    int main_data_begin = 0;  // bytes back into earlier frames where the main data starts
    int private_bits = 0;
    int granules = 0;  // 2 in MPEG-1, 1 in MPEG-2 and 2.5
    int channels = 0;
    std::array<std::array<int, 4>, 2> scfsi{};                // [channel][band group], MPEG-1 only
    std::array<std::array<GranuleSideInfo, 2>, 2> granule{};  // [granule][channel]
};

// Bytes of side information after the header (and after its CRC when the
// protection bit is 0): MPEG-1 17 mono, 32 otherwise; MPEG-2 and 2.5 9 and 17.
constexpr int SideInfoSize(int is_mpeg1, int channels) {
    if (is_mpeg1 != 0) {
        return channels == 1 ? 17 : 32;
    }
    return channels == 1 ? 9 : 17;
}

// Reads the side information from its first byte. Nothing when `bytes` holds
// fewer than SideInfoSize bytes or `channels` is not 1 or 2; no byte past
// that size is read.
std::optional<FrameSideInfo> ReadSideInfo(std::span<const uint8_t> bytes, int is_mpeg1,
                                          int channels);

}  // namespace vandrel
