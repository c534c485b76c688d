#include "engine/frame/MainDataDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/frame/BitReader.h"
#include "engine/frame/Huffman.h"
#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

// A value's magnitude requantises to q^(4/3) * 2^(e / 4), e in quarter steps:
// global_gain - 210, less 8 per step of a short window's subblock_gain, less 2
// (scalefac_scale 0) or 4 per step of the band's scale factor (with pretab
// when preflag is set). One quarter step is 20 * log10(2) / 4 dB.
constexpr double kDbPerQuarterStep = 1.5051499783199060;
constexpr int kGainOffset = 210;

constexpr int kMaxBigValues = kGranuleLines / 2;
constexpr int kShortBlocks = 2;

bool ShortBlocks(const GranuleSideInfo& g) {
    return g.window_switching && g.block_type == kShortBlocks;
}

// ln(x) at compile time: x = m * 2^e with m in [1, 2), ln(m) = 2 atanh(z)
// with z = (m - 1) / (m + 1), at most 1/3, whose series of odd powers is
// exact to a double's precision after 20 terms.
constexpr double Ln(double x) {
    constexpr double kLn2 = 0.69314718055994530942;
    int exponent = 0;
    while (x >= 2.0) {
        x /= 2.0;
        ++exponent;
    }
    const double z = (x - 1.0) / (x + 1.0);
    double power = z;
    double sum = 0.0;
    for (int k = 1; k < 40; k += 2) {
        sum += power / k;
        power *= z * z;
    }
    return exponent * kLn2 + 2.0 * sum;
}

// 20 * log10(q^(4/3)) dB for the magnitudes 0 to 255 (0 for 0).
constexpr std::array<float, 256> kLineDb = [] {
    constexpr double kLn10 = 2.30258509299404568402;
    std::array<float, 256> db{};
    for (size_t q = 1; q < db.size(); ++q) {
        db[q] = static_cast<float>(80.0 / 3.0 * Ln(static_cast<double>(q)) / kLn10);
    }
    return db;
}();

// The largest magnitude among lines [from, to) of `lines`.
int PeakOf(const std::array<int16_t, kGranuleLines>& lines, int from, int to) {
    int peak = 0;
    for (int i = from; i < to; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(lines[static_cast<size_t>(i)])));
    }
    return peak;
}

// The level in dB of a requantised magnitude, q^(4/3). Above the table, the
// magnitude is halved until it fits: each halving is 20 * log10(2^(4/3)) dB,
// and the bits shifted out change the level by under 0.03 dB.
float LineDb(int magnitude) {
    constexpr float kDbPerHalving = 8.0274666f;
    int halvings = 0;
    while (magnitude >= static_cast<int>(kLineDb.size())) {
        magnitude >>= 1;
        ++halvings;
    }
    return kLineDb[static_cast<size_t>(magnitude)] + static_cast<float>(halvings) * kDbPerHalving;
}

}  // namespace

void MainDataDecoder::NotDecodable() {
    for (int gr = 0; gr < granules_; ++gr) {
        for (int ch = 0; ch < channels_; ++ch) {
            spectra_[static_cast<size_t>(gr)][static_cast<size_t>(ch)].state =
                GranuleState::kNotDecodable;
            ++counts_.not_decodable;
        }
    }
}

void MainDataDecoder::Decode(std::span<const uint8_t> frame, const FrameHeader& header) {
    granules_ = header.is_mpeg1 != 0 ? 2 : 1;
    channels_ = header.channels == 1 ? 1 : 2;
    mpeg1_ = header.is_mpeg1 != 0;
    bands_ = BandsOf(header.sample_rate);
    FrameHeader check;
    const int length = frame.size() >= 4 ? DecodeFrameHeader(LoadBe32(frame), check) : 0;
    const size_t side_at = header.protection == 0 ? 6 : 4;
    const size_t main_at =
        side_at + static_cast<size_t>(SideInfoSize(header.is_mpeg1, header.channels));
    if (header.layer != 3 || bands_ == nullptr || length <= 0 ||
        frame.size() < static_cast<size_t>(length) || static_cast<size_t>(length) < main_at ||
        static_cast<size_t>(length) > kLongestFrame) {
        Reset();
        NotDecodable();
        return;
    }
    side_ = *ReadSideInfo(frame.subspan(side_at), header.is_mpeg1, header.channels);
    const std::span<const uint8_t> main =
        frame.subspan(main_at, static_cast<size_t>(length) - main_at);
    std::memcpy(buffer_.data() + held_, main.data(), main.size());
    const auto begin = static_cast<size_t>(side_.main_data_begin);
    if (begin <= held_) {
        DecodeGranules({buffer_.data() + held_ - begin, begin + main.size()}, header);
    } else {
        NotDecodable();
    }
    // The reservoir keeps the last bytes of main data for the frames after.
    const size_t total = held_ + main.size();
    const size_t keep = std::min(total, kReservoirBytes);
    std::memmove(buffer_.data(), buffer_.data() + (total - keep), keep);
    held_ = keep;
}

void MainDataDecoder::DecodeGranules(std::span<const uint8_t> data, const FrameHeader& header) {
    // Intensity stereo codes the right channel's MPEG-2 scale factors its own way.
    const bool intensity_right =
        !mpeg1_ && header.mode == kModeJointStereo && (header.mode_extension & 1) != 0;
    BitReader bits(data);
    const size_t available = data.size() * 8;
    size_t start = 0;
    for (int gr = 0; gr < granules_; ++gr) {
        for (int ch = 0; ch < channels_; ++ch) {
            const GranuleSideInfo& g =
                side_.granule[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
            const size_t end = start + static_cast<size_t>(g.part2_3_length);
            GranuleSpectrum& s = spectra_[static_cast<size_t>(gr)][static_cast<size_t>(ch)];
            if (end > available) {
                ++counts_.reservoir_errors;
                s.state = GranuleState::kDamaged;
            } else {
                DecodeGranule(bits, gr, ch, start, end, intensity_right && ch == 1);
            }
            start = end;
        }
    }
}

void MainDataDecoder::DecodeGranule(BitReader& bits, int granule, int channel, size_t start,
                                    size_t end, bool intensity_right) {
    const GranuleSideInfo& g =
        side_.granule[static_cast<size_t>(granule)][static_cast<size_t>(channel)];
    GranuleSpectrum& s = spectra_[static_cast<size_t>(granule)][static_cast<size_t>(channel)];
    ScaleFactors& factors = factors_[static_cast<size_t>(channel)];
    s.state = GranuleState::kDamaged;
    s.block_type = g.window_switching ? g.block_type : 0;
    s.mixed = g.window_switching && g.mixed;
    s.highest_line = -1;
    s.band_count = 0;
    s.loudest_db = kSilentBandDb;
    s.lines.fill(0);
    bits.Seek(start);
    bool preflag = g.preflag;
    if (mpeg1_) {
        ReadMpeg1ScaleFactors(bits, g, side_.scfsi[static_cast<size_t>(channel)], granule, factors);
    } else {
        preflag = ReadLsfScaleFactors(bits, g, intensity_right, factors);
    }
    if (bits.Position() > end) {
        ++counts_.part2_3_overruns;
        return;
    }
    if (!DecodeLines(bits, g, end, s)) {
        return;
    }
    s.state = GranuleState::kDecoded;
    ++counts_.decoded;
    MeasureBands(s, g, preflag, factors);
}

bool MainDataDecoder::DecodeLines(BitReader& bits, const GranuleSideInfo& g, size_t end,
                                  GranuleSpectrum& s) {
    if (g.big_values > kMaxBigValues) {
        ++counts_.huffman_errors;
        return false;
    }
    const int big = 2 * g.big_values;
    int region1;
    int region2;
    if (g.window_switching) {
        // Implied regions: the first ends after three short bands (pure short
        // blocks) or eight long ones; the second takes the rest.
        region1 = ShortBlocks(g) && !g.mixed ? 3 * bands_->short_edges[3] : bands_->long_edges[8];
        region2 = kGranuleLines;
    } else {
        const int first = g.region0_count + 1;
        const int second = g.region0_count + g.region1_count + 2;
        if (second > kLongBands) {
            ++counts_.huffman_errors;
            return false;
        }
        region1 = bands_->long_edges[static_cast<size_t>(first)];
        region2 = bands_->long_edges[static_cast<size_t>(second)];
    }
    region1 = std::min(region1, big);
    region2 = std::clamp(region2, region1, big);
    const std::span<int16_t> lines(s.lines);
    if (!DecodePairs(bits, g.table_select[0], lines.subspan(0, static_cast<size_t>(region1))) ||
        !DecodePairs(
            bits, g.table_select[1],
            lines.subspan(static_cast<size_t>(region1), static_cast<size_t>(region2 - region1))) ||
        !DecodePairs(
            bits, g.table_select[2],
            lines.subspan(static_cast<size_t>(region2), static_cast<size_t>(big - region2)))) {
        ++counts_.huffman_errors;
        return false;
    }
    if (bits.Position() > end) {
        ++counts_.part2_3_overruns;
        return false;
    }
    const size_t quads =
        DecodeQuads(bits, g.count1table_select, end, lines.subspan(static_cast<size_t>(big)));
    int last = big + static_cast<int>(quads) - 1;
    while (last >= 0 && s.lines[static_cast<size_t>(last)] == 0) {
        --last;
    }
    s.highest_line = last;
    return true;
}

void MainDataDecoder::MeasureBands(GranuleSpectrum& s, const GranuleSideInfo& g, bool preflag,
                                   const ScaleFactors& factors) const {
    const int step = g.scalefac_scale ? 4 : 2;
    const int gain = g.global_gain - kGainOffset;
    const auto level = [&](int from, int to, int quarters) {
        if (from > s.highest_line) {
            return kSilentBandDb;
        }
        const int peak = PeakOf(s.lines, from, to);
        if (peak == 0) {
            return kSilentBandDb;
        }
        return static_cast<float>(quarters * kDbPerQuarterStep) + LineDb(peak);
    };
    int count = 0;
    int long_bands = kLongBands;
    int first_short = kShortBands;
    if (ShortBlocks(g)) {
        long_bands = g.mixed ? MixedLongBands(mpeg1_) : 0;
        first_short = g.mixed ? kMixedFirstShortBand : 0;
    }
    for (int b = 0; b < long_bands; ++b) {
        const auto band = static_cast<size_t>(b);
        const int factor = factors.long_bands[band] + (preflag ? kPretab[band] : 0);
        s.band_db[static_cast<size_t>(count++)] =
            level(bands_->long_edges[band], bands_->long_edges[band + 1], gain - step * factor);
    }
    for (int b = first_short; b < kShortBands; ++b) {
        const auto band = static_cast<size_t>(b);
        const int width = bands_->short_edges[band + 1] - bands_->short_edges[band];
        for (size_t w = 0; w < 3; ++w) {
            const int from = 3 * bands_->short_edges[band] + static_cast<int>(w) * width;
            const int quarters =
                gain - 8 * g.subblock_gain[w] - step * factors.short_bands[band][w];
            s.band_db[static_cast<size_t>(count++)] = level(from, from + width, quarters);
        }
    }
    s.band_count = count;
    s.loudest_db = *std::max_element(s.band_db.begin(), s.band_db.begin() + count);
}

double HighestLineHz(const GranuleSpectrum& spectrum, const ScaleFactorBands& bands,
                     int sample_rate, bool mpeg1) {
    const int top = spectrum.highest_line;
    if (top < 0) {
        return 0;
    }
    const int long_lines =
        spectrum.block_type != kShortBlocks
            ? kGranuleLines
            : (spectrum.mixed ? bands.long_edges[static_cast<size_t>(MixedLongBands(mpeg1))] : 0);
    if (top < long_lines) {
        return (top + 0.5) * sample_rate / (2.0 * kGranuleLines);
    }
    // The short band that holds the line, and the widest line of its windows.
    size_t band = 0;
    while (band + 1 < bands.short_edges.size() && 3 * bands.short_edges[band + 1] <= top) {
        ++band;
    }
    const int from = 3 * bands.short_edges[band];
    const int width = bands.short_edges[band + 1] - bands.short_edges[band];
    int widest = 0;
    for (int i = from; i <= top; ++i) {
        if (spectrum.lines[static_cast<size_t>(i)] != 0) {
            widest = std::max(widest, (i - from) % width);
        }
    }
    return (bands.short_edges[band] + widest + 0.5) * sample_rate / (2.0 * kShortWindowLines);
}

}  // namespace vandrel
