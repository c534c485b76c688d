#pragma once

#include <array>
#include <cstdint>

#include "engine/frame/BitReader.h"
#include "engine/frame/SideInfo.h"

namespace vandrel {

// The scale factor bands of Layer III and the scale factors coded for them at
// the start of each granule-channel's main data.

// Lines of one granule-channel (long blocks), and of one of the three
// windows of short blocks.
inline constexpr int kGranuleLines = 576;
inline constexpr int kShortWindowLines = 192;
inline constexpr int kLongBands = 22;   // 21 with a scale factor, and the top band
inline constexpr int kShortBands = 13;  // 12 with scale factors, and the top band

// Where each band starts at one sampling rate: the 576 lines of long blocks,
// the 192 of each short window; each table ends with the line count.
struct ScaleFactorBands {
    std::array<uint16_t, kLongBands + 1> long_edges;
    std::array<uint16_t, kShortBands + 1> short_edges;
};

// The bands of one of the nine sampling rates; nullptr for any other rate.
const ScaleFactorBands* BandsOf(int sample_rate);

// What the long bands add to their scale factor when preflag is set.
inline constexpr std::array<uint8_t, kLongBands> kPretab = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                            1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// One granule-channel's scale factors. Long blocks use long_bands; short
// blocks short_bands; mixed blocks the long bands below line 36 and the short
// bands above. The top band of either kind has none and stays 0.
struct ScaleFactors {
    std::array<uint8_t, kLongBands> long_bands{};
    std::array<std::array<uint8_t, 3>, kShortBands> short_bands{};  // [band][window]
};

// Reads an MPEG-1 granule-channel's scale factors. In granule 1 a band group
// whose scfsi bit is set keeps the factors of granule 0 (`factors` holds them)
// and takes no bits; short blocks take no such reuse.
void ReadMpeg1ScaleFactors(BitReader& bits, const GranuleSideInfo& granule,
                           const std::array<int, 4>& scfsi, int granule_index,
                           ScaleFactors& factors);

// Reads an MPEG-2 or 2.5 granule-channel's scale factors. `intensity_right`:
// the right channel of intensity stereo, whose factors are coded another way
// (they carry the intensity positions). Returns the preflag that this scheme
// derives from scalefac_compress.
bool ReadLsfScaleFactors(BitReader& bits, const GranuleSideInfo& granule, bool intensity_right,
                         ScaleFactors& factors);

// The long bands of a mixed block: 8 in MPEG-1, 6 in MPEG-2 and 2.5. They
// end where short band 3 starts (3 * short_edges[3] lines), from which on the
// block is coded as short blocks.
constexpr int MixedLongBands(bool mpeg1) {
    return mpeg1 ? 8 : 6;
}
inline constexpr int kMixedFirstShortBand = 3;

}  // namespace vandrel
