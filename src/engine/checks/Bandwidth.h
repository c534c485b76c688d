#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/frame/SideInfo.h"

namespace vandrel {

// The audio bandwidth of a Layer III stream as its side information shows it,
// without decoding: an encoder's lowpass leaves every spectral line above it
// zero, and the side information says how far up the lines coded with the
// big-value tables (magnitudes of 2 and more, and the smaller ones between
// them) reach. A file re-encoded from a lower-bitrate MP3 keeps the lowpass of
// that first encode, far below the one an encoder uses at the file's own
// bitrate. What side information cannot show, the verdict leaves open (see
// kTopBandStartHz).

// The frequency in Hz up to which a granule-channel's lines are coded with
// the big-value tables: big_values line pairs of the 576 lines that split the
// band from 0 to half the sampling rate, so line i lies at
// i * sample_rate / 1152. A lower bound of the highest coded line: the count1
// region of values -1 to 1 after the big values may reach further, and how far
// only the Huffman data says. Short blocks (block_type 2) order their lines
// band by band with the three windows side by side, so the same mapping is
// right only to within a scale factor band, and the top band spans 6 kHz and
// more; GranuleBandwidth leaves them out. 0 when big_values is 0.
double HighestCodedFrequency(const GranuleSideInfo& granule, int sample_rate);

// The frequency a whole granule reaches: the highest of its long-block
// channels (in mid/side stereo the side channel is narrow, in intensity stereo
// the right channel stops at the intensity bound). Nothing when no channel
// uses long blocks with big values: short blocks (see above), silence, the
// Xing or Info frame.
std::optional<double> GranuleBandwidth(const FrameSideInfo& side, int granule, int sample_rate);

// How many granules reach each frequency, in fixed bins of kBinHz from 0 to
// 24 kHz (the highest half sampling rate), so that a file of any length takes
// the same memory.
class BandwidthHistogram {
public:
    static constexpr double kBinHz = 50.0;
    static constexpr int kBins = 481;  // 0 to 24,000 Hz and a last bin for anything above

    void Add(double hz);
    // Adds the granules of one frame's side information (GranuleBandwidth of each).
    void AddFrame(const FrameSideInfo& side, int sample_rate);
    // The same straight from the side information's bytes (as ReadSideInfo
    // takes them), reading only big_values and block_type: the frame walk's
    // way, a few nanoseconds a frame. False, and nothing added, when `bytes`
    // is shorter than SideInfoSize or `channels` is not 1 or 2.
    bool AddSideInfo(std::span<const uint8_t> bytes, int is_mpeg1, int channels, int sample_rate);
    // The upper edge of the bin under which a share `p` (0 to 1) of the values
    // lie: the frequency that share of the granules stays under. 0 when empty.
    double Percentile(double p) const;
    int count() const { return count_; }

private:
    // A granule whose big values reach `lines` of 576.
    void AddLines(int lines, int sample_rate);
    void AddToBin(int bin) {
        ++bins_[static_cast<size_t>(bin)];
        ++count_;
    }

    std::array<uint32_t, kBins> bins_{};
    int count_ = 0;
};

// What a file's verdict reads of its histogram: the bandwidth that 95 % of
// the long-block granules stay under, and how far the widest 1 % reach.
constexpr double kBandwidthPercentile = 0.95;
constexpr double kReachPercentile = 0.99;

// Fewer long-block granules than this (about 5 seconds) give no verdict: the
// widest 1 % would be a handful of granules.
constexpr int kMinimumJudgedGranules = 400;

// The verdict's frequencies, from the measurements in bench/bandwidth/TABLE.md.
//
// The top scale factor band (lines 418 to 575 at 44.1 kHz, 384 to 575 at
// 48 kHz) starts at 16 kHz at both rates. It has no scale factor of its own,
// and when the music holds little there encoders code it with values of -1 to
// 1 only, so the big values end at its start: a real 320 kbit/s encode of
// music whose top octave lies 50 dB under its loudest band looks like that, and
// so does a re-encode of a 128 kbit/s MP3. Side information cannot tell them
// apart; nothing is judged there.
constexpr double kTopBandStartHz = 16'000;
// Bandwidths up to here count as ending at the top band's start: a big
// value or two into the band, and the 50 Hz bins.
constexpr double kTopBandFloorHz = kTopBandStartHz + 200;
// Big values that reach this far show a bandwidth no source of 160 kbit/s or
// less leaves (lame's lowpass: 17 kHz at 128, 17.5 kHz at 160; 19.7 kHz and
// up at 256 and 320 and for -V 0).
constexpr double kFullBandwidthHz = 18'000;
// Flagged: a hard edge between kTopBandFloorHz and this, in nearly all
// granules (kBandwidthPercentile) and in the widest (kReachPercentile) alike,
// as the lowpass of a source of 128 kbit/s or less leaves it (lame's 17 kHz
// at 128 leaves big values up to 16.8 kHz). A recording whose top band is
// weak ends inside the band only in its quieter granules; its loudest reach
// on towards the encoder's lowpass, 18 kHz and beyond.
constexpr double kSourceEdgeHz = 17'200;

// Encodes judged, at 44.1 and 48 kHz only: constant bitrates from 256 kbit/s
// (the scan's average of a CBR 256 file is a hair under) and LAME -V 0.
// Lower bitrates and the other VBR settings have their own lowpass below
// 18.6 kHz, a hard edge of their own inside the top band.
constexpr int kLowestJudgedKbps = 250;
// LAME writes 100 - 10 * V - q as the Xing VBR scale: 91 and above is -V 0
// (up to -V 0.99).
constexpr int kLameV0VbrScale = 91;

enum class RateControl { kConstant, kVariable };

// What the verdict needs of the stream besides its histogram.
struct StreamFacts {
    int bitrate_kbps = 0;  // average over the audio frames
    int sample_rate = 0;
    RateControl rate_control = RateControl::kConstant;
    int lame_vbr_scale = -1;  // the Xing VBR scale when a LAME tag follows, else -1
};

enum class UpscaleKind {
    kNotJudged,         // see the verdict's reason
    kFullBandwidth,     // big values up to kFullBandwidthHz and beyond
    kProbablyUpscaled,  // a hard edge inside the top band, below kSourceEdgeHz
};

struct UpscaleVerdict {
    UpscaleKind kind = UpscaleKind::kNotJudged;
    double bandwidth_hz = 0;  // kBandwidthPercentile of the histogram; 0 when empty
    double reach_hz = 0;      // kReachPercentile of the histogram
    std::string_view reason;  // why there is no verdict, or what the verdict says
};

// Judges a file from the histogram of its long-block granules.
UpscaleVerdict JudgeBandwidth(const BandwidthHistogram& histogram, const StreamFacts& facts);

}  // namespace vandrel
