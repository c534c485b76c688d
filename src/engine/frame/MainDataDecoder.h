#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "engine/frame/FrameHeader.h"
#include "engine/frame/ScaleFactors.h"
#include "engine/frame/SideInfo.h"

namespace vandrel {

// The Layer III main data of frames as far as the quantised spectrum: the
// bit reservoir, the scale factors and the Huffman-coded lines of every
// granule-channel, and from them the level of each scale factor band. Nothing
// is requantised to samples: a band's level is the one its loudest line would
// have, worked out from the exponents alone.

// What became of one granule-channel of the frame last decoded.
enum class GranuleState : uint8_t {
    kDecoded,
    // Its main data starts before the bytes the reservoir holds: the first
    // frames after a start or a gap, as in any decoder. Not an error.
    kNotDecodable,
    // A counted error (MainDataCounts) stopped its decode.
    kDamaged,
};

// A band none of whose lines is coded other than zero.
inline constexpr float kSilentBandDb = -std::numeric_limits<float>::infinity();
// The most band levels of a granule-channel: 13 short bands of three windows.
inline constexpr int kMaxBandLevels = kShortBands * 3;

// One granule-channel as decoded.
struct GranuleSpectrum {
    GranuleState state = GranuleState::kNotDecodable;
    int block_type = 0;  // 0 normal, 1 start, 2 short, 3 stop
    bool mixed = false;
    // The quantised value of every line in the order of the bitstream: short
    // blocks band by band, each band's three windows one after the other.
    std::array<int16_t, kGranuleLines> lines{};
    int highest_line = -1;  // of `lines`, the last that is not zero; -1 when none is
    // The level in dB of each band's loudest line (kSilentBandDb when all its
    // lines are zero), where a requantised value of 1.0 is 0 dB. In order:
    // long blocks the 22 long bands; short blocks the 13 short bands, three
    // windows each ([band * 3 + window]); mixed blocks the long bands below
    // the short ones (MixedLongBands), then short bands from band 3, three
    // windows each.
    std::array<float, kMaxBandLevels> band_db{};
    int band_count = 0;
    float loudest_db = kSilentBandDb;  // the highest of band_db
};

// What the decoder met, counted in granule-channels.
struct MainDataCounts {
    uint32_t decoded = 0;
    uint32_t not_decodable = 0;
    // A code no table holds, a table that holds none (4, 14), more than 288
    // big values, a region that ends past line 576.
    uint32_t huffman_errors = 0;
    // Main data that runs past the end of its frame.
    uint32_t reservoir_errors = 0;
    // Scale factors or big values that run past part2_3_length.
    uint32_t part2_3_overruns = 0;

    bool operator==(const MainDataCounts&) const = default;
};

class MainDataDecoder {
public:
    // main_data_begin has 9 bits in MPEG-1 (8 in MPEG-2 and 2.5): no frame
    // reaches further back into the main data before it.
    static constexpr size_t kReservoirBytes = 511;
    // The longest frame a header can give: 320 kbit/s at 8 kHz in the
    // reserved MPEG-2.5 form that keeps MPEG-1 lengths, with padding.
    static constexpr size_t kLongestFrame = 5761;

    // Forgets the reservoir: the next frame does not follow the last one.
    void Reset() { held_ = 0; }
    // Decodes one frame, `frame` its bytes from the header on and `header`
    // that header decoded. A frame of another layer, or cut short (fewer
    // bytes than its header gives), decodes nothing and empties the
    // reservoir. Its main data is kept for the frames after it.
    void Decode(std::span<const uint8_t> frame, const FrameHeader& header);

    // The frame last decoded: its granules (2 in MPEG-1, else 1) and channels.
    int granules() const { return granules_; }
    int channels() const { return channels_; }
    const GranuleSpectrum& spectrum(int granule, int channel) const {
        return spectra_[static_cast<size_t>(granule)][static_cast<size_t>(channel)];
    }
    // Its side information (valid when one of its granules was decoded).
    const FrameSideInfo& side_info() const { return side_; }
    // Every frame since the decoder was made, or since ClearCounts.
    const MainDataCounts& counts() const { return counts_; }
    void ClearCounts() { counts_ = {}; }

private:
    void DecodeGranules(std::span<const uint8_t> data, const FrameHeader& header);
    void DecodeGranule(BitReader& bits, int granule, int channel, size_t start, size_t end,
                       bool intensity_right);
    bool DecodeLines(BitReader& bits, const GranuleSideInfo& g, size_t end, GranuleSpectrum& s);
    void MeasureBands(GranuleSpectrum& s, const GranuleSideInfo& g, bool preflag,
                      const ScaleFactors& factors) const;
    void NotDecodable();

    // The reservoir's bytes (held_ of them), then the frame's main data.
    std::array<uint8_t, kReservoirBytes + kLongestFrame> buffer_{};
    size_t held_ = 0;
    int granules_ = 0;
    int channels_ = 0;
    bool mpeg1_ = true;
    const ScaleFactorBands* bands_ = nullptr;
    FrameSideInfo side_;
    std::array<ScaleFactors, 2> factors_{};  // by channel; granule 1 may reuse granule 0's
    std::array<std::array<GranuleSpectrum, 2>, 2> spectra_{};
    MainDataCounts counts_;
};

// The frequency in Hz of a decoded granule-channel's highest line that is
// not zero; 0 when none is. Long blocks split 0 to half the sampling rate into
// 576 lines, line i at (i + 0.5) * rate / 1152; each short window into 192,
// and short blocks are mapped band by band (the highest band's widest line of
// any window). `mpeg1` picks the long part of mixed blocks.
double HighestLineHz(const GranuleSpectrum& spectrum, const ScaleFactorBands& bands,
                     int sample_rate, bool mpeg1);

}  // namespace vandrel
