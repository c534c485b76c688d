#include "FrameParser.h"

#include <algorithm>

#include "ByteOrder.h"
#include "FrameHeader.h"

namespace vandrel {

namespace {

// Reads a frame's header and side information from bytes in memory, most
// significant bit first.
struct BufferFrameReader {
    const uint8_t* bytes;
    size_t bit = 0;

    uint32_t HeaderWord() {
        bit = 32;
        return LoadBe32({bytes, 4});
    }
    uint32_t Bits(int n) {
        const uint64_t window = LoadBe64({bytes + bit / 8, 8});
        const auto value = static_cast<uint32_t>((window << (bit % 8)) >> (64 - n));
        bit += static_cast<size_t>(n);
        return value;
    }
};

}  // namespace

int ParseFrame(std::span<const uint8_t, kFrameParseBytes> bytes, ScanRecord& record,
               FrameSeries* series) {
    BufferFrameReader reader{bytes.data()};
    FrameHeader h;
    const int length = DecodeFrameHeader(reader.HeaderWord(), h);
    if (length == 0) {
        return 0;
    }
    FrameReference reference{record.layer, record.channels, record.sample_rate};
    const bool agrees = CheckFrameAgainstReference(reference, h).empty();
    record.channels = reference.channels;
    record.sample_rate = reference.sample_rate;
    if (!agrees) {
        return 0;
    }

    // Layer III side information, read from the byte after the header (or
    // after its 16-bit CRC).
    auto bits = [&](int n) { return reader.Bits(n); };
    const bool mpeg1 = h.is_mpeg1 != 0;
    const bool mono = h.channels == 1;
    if (h.protection == 0) {
        bits(16);
    }
    if (h.padding != 0) {
        record.padding_used = 1;
    }
    const uint32_t main_data_begin = bits(mpeg1 ? 9 : 8);
    record.max_reservoir = std::max(record.max_reservoir, static_cast<int32_t>(main_data_begin));
    record.reservoir_sum += main_data_begin;
    if (record.frames >= 0) {
        record.average_reservoir =
            static_cast<int32_t>(record.reservoir_sum / (int64_t{record.frames} + 1));
    }
    bits(mpeg1 ? (mono ? 5 : 3) : (mono ? 1 : 2));  // private bits
    if (mpeg1) {
        for (int ch = 0; ch < h.channels; ++ch) {
            if (bits(4) != 0) {  // scfsi bands
                record.scfsi_used = 1;
            }
        }
    }

    uint32_t block_kind = 0;  // of the last granule-channel that switched windows
    uint32_t scalefac_scale = 0;
    uint32_t last_big_values = 0;
    const int granules = mpeg1 ? 2 : 1;
    for (int gr = 0; gr < granules; ++gr) {
        for (int ch = 0; ch < h.channels; ++ch) {
            bits(12);  // part2_3_length
            last_big_values = bits(9);
            bits(8);              // global_gain
            bits(mpeg1 ? 4 : 9);  // scalefac_compress
            if (bits(1) != 0) {   // window_switching_flag
                const uint32_t block_type = bits(2);
                const uint32_t mixed = bits(1);
                bits(5);  // table_select[0]
                bits(5);  // table_select[1]
                bits(3);  // subblock_gain[0..2]
                bits(3);
                bits(3);
                if (block_type != 2) {
                    ++record.long_blocks;
                    block_kind = 0;
                } else if (mixed != 0) {
                    ++record.mixed_blocks;
                    block_kind = 2;
                } else {
                    ++record.short_blocks;
                    block_kind = 1;
                }
            } else {
                bits(5);  // table_select[0..2]
                bits(5);
                bits(5);
                bits(4);  // region0_count
                bits(3);  // region1_count
                ++record.long_blocks;
            }
            if (mpeg1) {
                bits(1);  // preflag
            }
            if (bits(1) != 0) {
                ++record.scalefac_scale_count;
                scalefac_scale = 1;
            }
            bits(1);  // count1table_select
        }
    }

    ++record.bitrate_index_counts[h.bitrate_index];
    ++record.stereo_type_counts[h.mode == kModeJointStereo ? h.mode_extension : 0];

    if (series != nullptr) {
        auto& s = *series;
        s[FrameSeries::kScalefacScale].push_back(scalefac_scale);
        s[FrameSeries::kShortBlockSize].push_back(block_kind == 1 ? last_big_values : 0);
        s[FrameSeries::kBitrateIndex].push_back(static_cast<uint32_t>(h.bitrate_index));
        s[FrameSeries::kModeExtension].push_back(static_cast<uint32_t>(h.mode_extension));
        s[FrameSeries::kBlockKind].push_back(block_kind);
        s[FrameSeries::kMainDataBegin].push_back(main_data_begin);
    }
    return length;
}

}  // namespace vandrel
