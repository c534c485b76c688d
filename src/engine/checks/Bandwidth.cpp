#include "engine/checks/Bandwidth.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// Lines of one granule-channel: 576 for the band from 0 to half the sampling
// rate, two per big value.
constexpr int kLinesPerGranule = 576;
constexpr int kShortBlocks = 2;  // block_type of three short windows

// Where the fields the estimate reads lie, in bits: the first granule-channel
// after main_data_begin, the private bits and (MPEG-1) four scfsi bits per
// channel; in each granule-channel, big_values after part2_3_length, and the
// window switching flag after global_gain and scalefac_compress (4 bits in
// MPEG-1, 9 in MPEG-2 and 2.5).
struct GranuleLayout {
    int granules;
    std::array<size_t, 2> first_granule;  // mono, stereo
    size_t granule_bits;
    size_t window_switching;
};
constexpr size_t kBigValuesAt = 12;
constexpr GranuleLayout kMpeg1Layout{2, {9 + 5 + 4, 9 + 3 + 8}, 59, 33};
constexpr GranuleLayout kMpeg2Layout{1, {8 + 1, 8 + 2}, 63, 38};

}  // namespace

double HighestCodedFrequency(const GranuleSideInfo& granule, int sample_rate) {
    const int lines = std::min(2 * granule.big_values, kLinesPerGranule);
    return static_cast<double>(lines) * sample_rate / (2.0 * kLinesPerGranule);
}

std::optional<double> GranuleBandwidth(const FrameSideInfo& side, int granule, int sample_rate) {
    int big_values = 0;
    for (int ch = 0; ch < side.channels; ++ch) {
        const GranuleSideInfo& g =
            side.granule[static_cast<size_t>(granule)][static_cast<size_t>(ch)];
        if (g.block_type != kShortBlocks) {
            big_values = std::max(big_values, g.big_values);
        }
    }
    if (big_values == 0) {
        return std::nullopt;
    }
    GranuleSideInfo widest;
    widest.big_values = big_values;
    return HighestCodedFrequency(widest, sample_rate);
}

void BandwidthHistogram::Add(double hz) {
    const double bin = std::floor(std::max(hz, 0.0) / kBinHz);
    AddToBin(static_cast<int>(std::min(bin, static_cast<double>(kBins - 1))));
}

void BandwidthHistogram::AddLines(int lines, int sample_rate) {
    // lines * sample_rate / 1152 Hz over 50 Hz a bin, in integers: the same
    // bin as Add, since a quotient that is no whole number lies at least
    // 1/57600 from one, far more than a double's error.
    constexpr int kLinesTimesBinHz = 2 * kLinesPerGranule * static_cast<int>(kBinHz);
    AddToBin(std::min(lines * sample_rate / kLinesTimesBinHz, kBins - 1));
}

void BandwidthHistogram::AddFrame(const FrameSideInfo& side, int sample_rate) {
    for (int gr = 0; gr < side.granules; ++gr) {
        int widest = 0;
        for (int ch = 0; ch < side.channels; ++ch) {
            const GranuleSideInfo& g =
                side.granule[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
            if (g.block_type != kShortBlocks) {
                widest = std::max(widest, g.big_values);
            }
        }
        if (widest > 0) {
            AddLines(std::min(2 * widest, kLinesPerGranule), sample_rate);
        }
    }
}

bool BandwidthHistogram::AddSideInfo(std::span<const uint8_t> bytes, int is_mpeg1, int channels,
                                     int sample_rate) {
    if (channels != 1 && channels != 2) {
        return false;
    }
    const auto size = static_cast<size_t>(SideInfoSize(is_mpeg1, channels));
    if (bytes.size() < size) {
        return false;
    }
    // Every field comes out of a 64-bit load from the byte it starts in, up
    // to 7 bytes past the side information: straight from `bytes` when they
    // are there (in a frame they always are), else from a padded copy.
    std::array<uint8_t, 32 + 8> padded{};
    const uint8_t* data = bytes.data();
    if (bytes.size() < size + 8) {
        std::memcpy(padded.data(), bytes.data(), size);
        data = padded.data();
    }
    const auto field = [data](size_t bit, int n) {
        const uint64_t window = LoadBe64({data + bit / 8, 8});
        return static_cast<int>((window << (bit % 8)) >> (64 - n));
    };
    const GranuleLayout& layout = is_mpeg1 != 0 ? kMpeg1Layout : kMpeg2Layout;
    size_t at = layout.first_granule[static_cast<size_t>(channels - 1)];
    for (int gr = 0; gr < layout.granules; ++gr) {
        int widest = 0;
        for (int ch = 0; ch < channels; ++ch, at += layout.granule_bits) {
            // window_switching_flag and block_type: 1 10 for short blocks
            if (field(at + layout.window_switching, 3) != 0b110) {
                widest = std::max(widest, field(at + kBigValuesAt, 9));
            }
        }
        if (widest > 0) {
            AddLines(std::min(2 * widest, kLinesPerGranule), sample_rate);
        }
    }
    return true;
}

double BandwidthHistogram::Percentile(double p) const {
    if (count_ == 0) {
        return 0;
    }
    // The values counted so far must reach p * count (at least one value).
    const double wanted = std::max(1.0, std::ceil(std::clamp(p, 0.0, 1.0) * count_));
    uint64_t seen = 0;
    for (size_t i = 0; i < bins_.size(); ++i) {
        seen += bins_[i];
        if (static_cast<double>(seen) >= wanted) {
            return static_cast<double>(i + 1) * kBinHz;
        }
    }
    return kBins * kBinHz;
}

UpscaleVerdict JudgeBandwidth(const BandwidthHistogram& histogram, const StreamFacts& facts) {
    UpscaleVerdict verdict;
    verdict.bandwidth_hz = histogram.Percentile(kBandwidthPercentile);
    verdict.reach_hz = histogram.Percentile(kReachPercentile);
    if (facts.sample_rate != 44100 && facts.sample_rate != 48000) {
        verdict.reason = "not judged at this sampling rate (44.1 and 48 kHz only)";
    } else if (histogram.count() < kMinimumJudgedGranules) {
        verdict.reason = "not judged: too few long-block granules";
    } else if (facts.rate_control == RateControl::kVariable &&
               facts.lame_vbr_scale < kLameV0VbrScale) {
        verdict.reason = "not judged: VBR other than LAME -V 0 has a lowpass of its own";
    } else if (facts.rate_control == RateControl::kConstant &&
               facts.bitrate_kbps < kLowestJudgedKbps) {
        verdict.reason = "not judged below 256 kbit/s: the encoder's own lowpass is that low";
    } else if (verdict.bandwidth_hz >= kFullBandwidthHz) {
        verdict.kind = UpscaleKind::kFullBandwidth;
        verdict.reason = "full bandwidth";
    } else if (verdict.bandwidth_hz <= kTopBandFloorHz) {
        verdict.reason = "not judged: the top band above 16 kHz holds values of -1 to 1 only";
    } else if (verdict.reach_hz >= kSourceEdgeHz) {
        verdict.reason = "not judged: the widest granules reach past a 128 kbit/s source's "
                         "lowpass";
    } else {
        verdict.kind = UpscaleKind::kProbablyUpscaled;
        verdict.reason = "probably made from a source of 128 kbit/s or less";
    }
    return verdict;
}

}  // namespace vandrel
