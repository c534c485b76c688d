#include "engine/checks/EncoderLowpass.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "engine/tags/VbrHeaders.h"

namespace vandrel {

namespace {

// The sampling rates measured, in the order of the cutoff columns below.
constexpr std::array<int, 3> kRates = {32000, 44100, 48000};

int RateColumn(int sample_rate) {
    for (size_t i = 0; i < kRates.size(); ++i) {
        if (kRates[i] == sample_rate) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// One setting: a CBR bitrate or a -V, the lowpass lame chooses for it (what
// its tag says, before it is held to half the rate; kWholeBand when lame
// keeps the whole band; 0 when lame writes no tag at that bitrate), and the
// cutoff measured at each rate of kRates.
struct Setting {
    int setting;
    int lame_lowpass_hz;
    std::array<int, 3> cutoff_hz;
};
constexpr int kWholeBand = 100'000;

// lame 3.100 CBR (-b N --resample RATE); ffmpeg's libmp3lame at its default
// settings gave the same cutoffs. At 32 kHz lame leaves out the top of the
// band from 128 kbit/s on, whatever its tag says (16,000 Hz, half the rate).
constexpr std::array<Setting, 14> kLameCbr = {{
    {32, 0, {5621, 5636, 6158}},
    {40, 0, {7121, 7036, 7646}},
    {48, 7500, {7629, 7757, 7658}},
    {56, 10000, {10137, 10460, 9908}},
    {64, 11000, {11105, 11170, 11420}},
    {80, 13500, {13605, 13259, 13600}},
    {96, 15100, {15121, 15251, 15146}},
    {112, 15600, {15324, 15272, 15861}},
    {128, 17000, {15324, 16683, 16635}},
    {160, 17500, {15316, 17383, 17408}},
    {192, 18600, {15316, 18761, 18920}},
    {224, 19400, {15316, 19461, 19682}},
    {256, 19700, {15316, 19471, 19693}},
    {320, 20500, {15324, 20171, 20455}},
}};

// lame 3.100 VBR, -V 0 to -V 9 (--resample RATE); ffmpeg's -q:a N the same.
constexpr std::array<Setting, 10> kLameVbr = {{
    {0, kWholeBand, {15348, 22050, 24000}},
    {1, 19500, {15348, 19471, 19682}},
    {2, 18500, {15348, 18772, 18182}},
    {3, 18000, {15348, 18083, 18182}},
    {4, 17500, {15348, 17393, 17420}},
    {5, 17000, {15348, 16694, 16658}},
    {6, 16500, {15348, 16683, 16635}},
    {7, 15600, {15348, 15305, 15908}},
    {8, 15200, {15129, 15305, 15170}},
    {9, 7200, {7629, 7768, 7682}},
}};

// Shine has no lowpass: only at its two lowest bitrates does it leave the
// top of the band out. From 48 kbit/s on it keeps half the rate.
constexpr std::array<Setting, 2> kShineLow = {{
    {32, 0, {15848, 20225, 19213}},
    {40, 0, {15863, 22023, 23889}},
}};

// How far a CBR file's average bitrate may lie from its row: the average
// of a whole file is a hair under the bitrate of its frames.
constexpr double kBitrateTolerance = 0.03;
// A tag's lowpass this far from what lame chooses for the setting was set by
// hand (or by a lame that chooses otherwise): the tag is right, not the row.
constexpr int kOwnChoiceHz = 100;

template <size_t N> const Setting* CbrRow(const std::array<Setting, N>& rows, int kbps) {
    for (const Setting& row : rows) {
        if (std::abs(kbps - row.setting) <= std::max(2.0, row.setting * kBitrateTolerance)) {
            return &row;
        }
    }
    return nullptr;
}

const Setting* VbrRow(int quality) {
    if (quality < 0 || quality >= static_cast<int>(kLameVbr.size())) {
        return nullptr;
    }
    return &kLameVbr[static_cast<size_t>(quality)];
}

// What lame writes into its tag for a row at this rate: its choice, held to
// half the rate rounded up to the tag's 100 Hz.
int TagOfRow(const Setting& row, int sample_rate) {
    const int half_rate = (sample_rate / 2 + 99) / 100 * 100;
    return std::min(row.lame_lowpass_hz, half_rate);
}

// A tag's lowpass as a cutoff: never above half the rate.
double TagCutoff(int tag_hz, int sample_rate) {
    return std::min(static_cast<double>(tag_hz), sample_rate / 2.0);
}

// lame's and libmp3lame's files: the row of the setting, unless the tag
// says another lowpass was used.
std::optional<double> LameLowpass(const LowpassQuery& q, int column) {
    const Setting* row = q.rate_control == RateControl::kConstant ? CbrRow(kLameCbr, q.bitrate_kbps)
                                                                  : VbrRow(q.vbr_quality);
    const bool tagged = q.tag_lowpass_hz > 0;
    if (row == nullptr) {
        return tagged ? std::optional<double>(TagCutoff(q.tag_lowpass_hz, q.sample_rate))
                      : std::nullopt;
    }
    if (tagged && row->lame_lowpass_hz != 0 &&
        std::abs(q.tag_lowpass_hz - TagOfRow(*row, q.sample_rate)) > kOwnChoiceHz) {
        return TagCutoff(q.tag_lowpass_hz, q.sample_rate);
    }
    return row->cutoff_hz[static_cast<size_t>(column)];
}

std::optional<double> ShineLowpass(const LowpassQuery& q, int column) {
    if (q.rate_control != RateControl::kConstant) {
        return std::nullopt;  // Shine makes CBR only
    }
    if (const Setting* row = CbrRow(kShineLow, q.bitrate_kbps)) {
        return row->cutoff_hz[static_cast<size_t>(column)];
    }
    return q.sample_rate / 2.0;
}

// -V of the preset that a LAME tag names; -1 for CBR, ABR and none.
int VbrQualityOfPreset(int preset) {
    if (preset >= kLamePresetV0 - 90 && preset <= kLamePresetV0 && preset % 10 == 0) {
        return (kLamePresetV0 - preset) / 10;
    }
    switch (preset) {
    case kLamePresetExtreme:
    case kLamePresetExtremeFast:
        return 0;
    case kLamePresetStandard:
    case kLamePresetStandardFast:
        return 2;
    case kLamePresetMedium:
    case kLamePresetMediumFast:
        return 4;
    default:
        return -1;
    }
}

// The first encodes that leave an edge of their own, by the cutoff they
// leave at 44.1 and 48 kHz (both rates and the test set's signals, with a
// margin of 100 to 300 Hz). Between the bands nothing is typical.
struct SourceBand {
    double low_hz;
    double high_hz;  // not included
    std::string_view text;
};
constexpr std::array<SourceBand, 9> kSourceBands = {{
    {5'000, 8'200, "typical of an MP3 of 48 kbit/s or less"},
    {9'700, 11'700, "typical of a 64 kbit/s MP3"},
    {12'900, 13'900, "typical of an 80 kbit/s MP3"},
    {14'800, 16'100, "typical of a 96 or 112 kbit/s MP3"},
    {16'300, 16'950, "typical of a 128 kbit/s MP3"},
    {17'100, 17'650, "typical of a 160 kbit/s MP3 or of AAC at 128 kbit/s"},
    {17'900, 18'400, "typical of an MP3 at -V 2 or -V 3, or of AAC at 128 kbit/s"},
    {18'500, 19'150, "typical of a 192 kbit/s MP3"},
    {19'300, 19'800, "typical of Vorbis at 128 kbit/s or of a 224 or 256 kbit/s MP3"},
}};
// A cutoff this close to the top of the file's own band is the file's.
constexpr double kOwnBandShare = 0.9;

}  // namespace

EncoderFamily EncoderFamilyOf(std::string_view name) {
    if (name.starts_with("Shine")) {
        return EncoderFamily::kShine;
    }
    if (name.starts_with("Lame (Lav")) {
        return EncoderFamily::kFfmpegLame;
    }
    if (name == "Lame 3.100") {
        return EncoderFamily::kLame;
    }
    // "Lame 3.99", "Lame 3.97 (beta)", "Lame"; not "Lame (old)", which the
    // frame statistics guessed without a tag.
    if (name == "Lame" ||
        (name.starts_with("Lame ") && name.size() > 5 && name[5] >= '0' && name[5] <= '9')) {
        return EncoderFamily::kOtherLame;
    }
    return EncoderFamily::kUnknown;
}

LowpassQuery LowpassQueryOf(const ScanRecord& record, std::string_view encoder_name) {
    LowpassQuery q;
    q.family = EncoderFamilyOf(encoder_name);
    const bool lame_tag =
        (q.family == EncoderFamily::kLame || q.family == EncoderFamily::kOtherLame) &&
        record.xing.has_lame_tag != 0;
    q.tag_lowpass_hz = lame_tag ? record.xing.lowpass : 0;
    q.sample_rate = record.sample_rate;
    q.bitrate_kbps = record.average_bitrate;
    q.rate_control = record.is_vbr != 0 ? RateControl::kVariable : RateControl::kConstant;
    q.vbr_quality =
        q.rate_control == RateControl::kVariable ? VbrQualityOfPreset(LamePreset(record)) : -1;
    return q;
}

std::optional<double> ExpectedLowpassHz(const LowpassQuery& query) {
    const int column = RateColumn(query.sample_rate);
    if (column < 0) {
        return std::nullopt;
    }
    switch (query.family) {
    case EncoderFamily::kLame:
    case EncoderFamily::kFfmpegLame:
        return LameLowpass(query, column);
    case EncoderFamily::kOtherLame:
        if (query.tag_lowpass_hz > 0) {
            return TagCutoff(query.tag_lowpass_hz, query.sample_rate);
        }
        return std::nullopt;
    case EncoderFamily::kShine:
        return ShineLowpass(query, column);
    case EncoderFamily::kUnknown:
        break;
    }
    return std::nullopt;
}

std::string_view LikelySource(double cutoff_hz, int sample_rate) {
    if (RateColumn(sample_rate) < 0 || cutoff_hz > kOwnBandShare * sample_rate / 2.0) {
        return {};
    }
    for (const SourceBand& band : kSourceBands) {
        if (cutoff_hz >= band.low_hz && cutoff_hz < band.high_hz) {
            return band.text;
        }
    }
    return {};
}

}  // namespace vandrel
