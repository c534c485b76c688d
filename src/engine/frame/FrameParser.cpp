#include "engine/frame/FrameParser.h"

#include <algorithm>

#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// Where the fields that the scan counts lie in one granule-channel of the
// Layer III side information, in bits from its start. Before them:
// part2_3_length (12), big_values (9), global_gain (8), scalefac_compress (4
// in MPEG-1, 9 otherwise); after the window switching flag 22 bits either way
// (block_type 2, mixed_block_flag 1, two table_select 5, three subblock_gain
// 3; or three table_select 5, region0_count 4, region1_count 3); then
// preflag (MPEG-1 only), scalefac_scale and count1table_select.
struct GranuleLayout {
    size_t window_switching;  // followed by block_type and mixed_block_flag
    size_t scalefac_scale;
    size_t size;
};
constexpr size_t kBigValues = 12;
constexpr GranuleLayout kMpeg1Granule{33, 57, 59};
constexpr GranuleLayout kMpeg2Granule{38, 61, 63};

// Side-information fields straight from the frame's bytes: n bits (at most
// 57) starting `bit` bits after the frame's first byte, most significant first.
class FrameBits {
public:
    explicit FrameBits(const uint8_t* bytes) : bytes_(bytes) {}
    uint32_t At(size_t bit, int n) const {
        const uint64_t window = LoadBe64({bytes_ + bit / 8, 8});
        return static_cast<uint32_t>((window << (bit % 8)) >> (64 - n));
    }

private:
    const uint8_t* bytes_;
};

// What one frame's side information adds to the per-frame series.
struct SideInfoValues {
    uint32_t scalefac_scale = 0;
    uint32_t short_block_size = 0;
    uint32_t block_kind = 0;
    uint32_t main_data_begin = 0;
};

void AddToSeries(FrameSeries* series, const FrameHeader& h, const SideInfoValues& side) {
    if (series == nullptr) {
        return;
    }
    auto& s = *series;
    s[FrameSeries::kScalefacScale].push_back(side.scalefac_scale);
    s[FrameSeries::kShortBlockSize].push_back(side.short_block_size);
    s[FrameSeries::kBitrateIndex].push_back(static_cast<uint32_t>(h.bitrate_index));
    s[FrameSeries::kModeExtension].push_back(static_cast<uint32_t>(h.mode_extension));
    s[FrameSeries::kBlockKind].push_back(side.block_kind);
    s[FrameSeries::kMainDataBegin].push_back(side.main_data_begin);
}

}  // namespace

int ParseFrame(std::span<const uint8_t, kFrameParseBytes> bytes, ScanRecord& record,
               FrameSeries* series, FrameHeader& h) {
    const int length = DecodeFrameHeader(LoadBe32(bytes.first<4>()), h);
    if (length == 0) {
        return 0;
    }
    FrameReference reference{record.layer, record.channels, record.sample_rate};
    const bool agrees = CheckFrameAgainstReference(reference, h).empty();
    record.channels = reference.channels;
    record.sample_rate = reference.sample_rate;
    if (!agrees) {
        return -length;
    }

    if (h.padding != 0) {
        record.padding_used = 1;
    }
    ++record.bitrate_index_counts[h.bitrate_index];
    if (h.layer != 3) {
        // Layer I and II frames carry no side information (and their mode
        // extension is a subband bound, not a stereo coding): nothing of the
        // Layer III statistics is counted for them.
        AddToSeries(series, h, {});
        return length;
    }

    // Layer III side information, from the byte after the header (or after
    // its 16-bit CRC).
    const FrameBits bits(bytes.data());
    const bool mpeg1 = h.is_mpeg1 != 0;
    const bool mono = h.channels == 1;
    size_t at = h.protection == 0 ? 48 : 32;
    const uint32_t main_data_begin = bits.At(at, mpeg1 ? 9 : 8);
    at += mpeg1 ? 9 : 8;
    record.max_reservoir = std::max(record.max_reservoir, static_cast<int32_t>(main_data_begin));
    record.reservoir_sum += main_data_begin;
    at += mpeg1 ? (mono ? 5 : 3) : (mono ? 1 : 2);  // private bits
    if (mpeg1) {
        // Four scfsi bits per channel.
        const int scfsi_bits = 4 * h.channels;
        if (bits.At(at, scfsi_bits) != 0) {
            record.scfsi_used = 1;
        }
        at += static_cast<size_t>(scfsi_bits);
    }

    const GranuleLayout& layout = mpeg1 ? kMpeg1Granule : kMpeg2Granule;
    uint32_t block_kind = 0;  // of the last granule-channel that switched windows
    uint32_t scalefac_scale = 0;
    uint32_t last_big_values = 0;
    const int granule_channels = (mpeg1 ? 2 : 1) * h.channels;
    for (int i = 0; i < granule_channels; ++i, at += layout.size) {
        last_big_values = bits.At(at + kBigValues, 9);
        // window_switching_flag, block_type (2 bits), mixed_block_flag
        const uint32_t switching = bits.At(at + layout.window_switching, 4);
        if ((switching & 0b1000) == 0) {
            ++record.long_blocks;
        } else if ((switching & 0b0110) != 0b0100) {  // block type other than 2
            ++record.long_blocks;
            block_kind = 0;
        } else if ((switching & 0b0001) != 0) {
            ++record.mixed_blocks;
            block_kind = 2;
        } else {
            ++record.short_blocks;
            block_kind = 1;
        }
        if (bits.At(at + layout.scalefac_scale, 1) != 0) {
            ++record.scalefac_scale_count;
            scalefac_scale = 1;
        }
    }

    ++record.stereo_type_counts[h.mode == kModeJointStereo ? h.mode_extension : 0];

    AddToSeries(
        series, h,
        {scalefac_scale, block_kind == 1 ? last_big_values : 0, block_kind, main_data_begin});
    return length;
}

}  // namespace vandrel
