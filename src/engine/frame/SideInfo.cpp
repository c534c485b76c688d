#include "engine/frame/SideInfo.h"

#include <cstring>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// Reads the side information's fields in order, most significant bit first,
// from a copy padded with zero bytes: every field (at most 12 bits) comes out
// of one 64-bit load, and nothing past the copy is touched.
class SideInfoBits {
public:
    explicit SideInfoBits(std::span<const uint8_t> bytes) {
        std::memcpy(bytes_.data(), bytes.data(), bytes.size());
    }
    int Read(int n) {
        const uint64_t window = LoadBe64(std::span<const uint8_t>(bytes_).subspan(at_ / 8, 8));
        const auto value = static_cast<int>((window << (at_ % 8)) >> (64 - n));
        at_ += static_cast<size_t>(n);
        return value;
    }
    bool ReadFlag() { return Read(1) != 0; }

private:
    static constexpr size_t kLongest = 32;  // MPEG-1 stereo
    std::array<uint8_t, kLongest + 8> bytes_{};
    size_t at_ = 0;
};

GranuleSideInfo ReadGranule(SideInfoBits& bits, bool mpeg1) {
    GranuleSideInfo g;
    g.part2_3_length = bits.Read(12);
    g.big_values = bits.Read(9);
    g.global_gain = bits.Read(8);
    g.scalefac_compress = bits.Read(mpeg1 ? 4 : 9);
    g.window_switching = bits.ReadFlag();
    if (g.window_switching) {
        g.block_type = bits.Read(2);
        g.mixed = bits.ReadFlag();
        g.table_select[0] = bits.Read(5);
        g.table_select[1] = bits.Read(5);
        for (int& gain : g.subblock_gain) {
            gain = bits.Read(3);
        }
    } else {
        for (int& table : g.table_select) {
            table = bits.Read(5);
        }
        g.region0_count = bits.Read(4);
        g.region1_count = bits.Read(3);
    }
    if (mpeg1) {
        g.preflag = bits.ReadFlag();
    }
    g.scalefac_scale = bits.ReadFlag();
    g.count1table_select = bits.Read(1);
    return g;
}

}  // namespace

std::optional<FrameSideInfo> ReadSideInfo(std::span<const uint8_t> bytes, int is_mpeg1,
                                          int channels) {
    if (channels != 1 && channels != 2) {
        return std::nullopt;
    }
    const auto size = static_cast<size_t>(SideInfoSize(is_mpeg1, channels));
    if (bytes.size() < size) {
        return std::nullopt;
    }
    const bool mpeg1 = is_mpeg1 != 0;
    SideInfoBits bits(bytes.first(size));
    FrameSideInfo side;
    side.granules = mpeg1 ? 2 : 1;
    side.channels = channels;
    side.main_data_begin = bits.Read(mpeg1 ? 9 : 8);
    side.private_bits = bits.Read(mpeg1 ? (channels == 1 ? 5 : 3) : (channels == 1 ? 1 : 2));
    if (mpeg1) {
        for (int ch = 0; ch < channels; ++ch) {
            for (int& group : side.scfsi[static_cast<size_t>(ch)]) {
                group = bits.Read(1);
            }
        }
    }
    for (int gr = 0; gr < side.granules; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            side.granule[static_cast<size_t>(gr)][static_cast<size_t>(ch)] =
                ReadGranule(bits, mpeg1);
        }
    }
    return side;
}

}  // namespace vandrel
