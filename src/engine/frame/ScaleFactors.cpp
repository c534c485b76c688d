#include "engine/frame/ScaleFactors.h"

#include <cstddef>

namespace vandrel {

namespace {

// By sampling rate, in the order of kSampleRates: 44.1, 48 and 32 kHz
// (MPEG-1), 22.05, 24 and 16 kHz (MPEG-2), 11.025, 12 and 8 kHz (MPEG-2.5).
constexpr std::array<ScaleFactorBands, 9> kBands = {{
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  44,  52, 62,
      74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
     {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192}},
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  42,  50, 60,
      72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
     {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192}},
    {{0,  4,   8,   12,  16,  20,  24,  30,  36,  44,  54, 66,
      82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
     {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0,   12,  24,  36,  48,  60,  72,  88,  108, 132, 160, 192,
      232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
     {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192}},
}};
constexpr std::array<int, 9> kBandRates = {44100, 48000, 32000, 22050, 24000,
                                           16000, 11025, 12000, 8000};

// MPEG-1: the bits of each scale factor of bands 0 to 10 (slen1) and 11 to 20
// (slen2), by scalefac_compress.
constexpr std::array<uint8_t, 16> kSlen1 = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr std::array<uint8_t, 16> kSlen2 = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

// MPEG-1's scfsi groups of long bands: 0-5, 6-10, 11-15, 16-20.
constexpr std::array<int, 5> kScfsiGroups = {0, 6, 11, 16, 21};

void ReadShortBands(BitReader& bits, ScaleFactors& factors, int first, int end, int slen) {
    for (int band = first; band < end; ++band) {
        for (uint8_t& factor : factors.short_bands[static_cast<size_t>(band)]) {
            factor = static_cast<uint8_t>(bits.Read(slen));
        }
    }
}

// MPEG-2 and 2.5: how many scale factors each of the four groups holds (a
// short band counts three, one per window), by the scheme scalefac_compress
// picks and by long, short or mixed blocks.
constexpr int kLsfSchemes = 6;
constexpr std::array<std::array<std::array<uint8_t, 4>, 3>, kLsfSchemes> kLsfCounts = {{
    {{{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}}},
    {{{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}}},
    {{{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}},
    {{{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}}},
    {{{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}}},
    {{{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}}},
}};

// The scheme and the bits of each group's factors that scalefac_compress
// gives; schemes 3 to 5 are the intensity-stereo right channel's, which
// codes half of scalefac_compress.
struct LsfCoding {
    int scheme = 0;
    std::array<int, 4> slen{};
    bool preflag = false;
};

LsfCoding LsfCodingOf(int scalefac_compress, bool intensity_right) {
    LsfCoding c;
    if (intensity_right) {
        const int half = scalefac_compress >> 1;
        if (half < 180) {
            c = {3, {half / 36, half % 36 / 6, half % 6, 0}};
        } else if (half < 244) {
            const int v = half - 180;
            c = {4, {v % 64 >> 4, v % 16 >> 2, v % 4, 0}};
        } else {
            const int v = half - 244;
            c = {5, {v / 3, v % 3, 0, 0}};
        }
        return c;
    }
    if (scalefac_compress < 400) {
        c = {0,
             {(scalefac_compress >> 4) / 5, (scalefac_compress >> 4) % 5,
              scalefac_compress % 16 >> 2, scalefac_compress % 4}};
    } else if (scalefac_compress < 500) {
        const int v = scalefac_compress - 400;
        c = {1, {(v >> 2) / 5, (v >> 2) % 5, v % 4, 0}};
    } else {
        const int v = scalefac_compress - 500;
        c = {2, {v / 3, v % 3, 0, 0}, true};
    }
    return c;
}

}  // namespace

const ScaleFactorBands* BandsOf(int sample_rate) {
    for (size_t i = 0; i < kBandRates.size(); ++i) {
        if (kBandRates[i] == sample_rate) {
            return &kBands[i];
        }
    }
    return nullptr;
}

void ReadMpeg1ScaleFactors(BitReader& bits, const GranuleSideInfo& granule,
                           const std::array<int, 4>& scfsi, int granule_index,
                           ScaleFactors& factors) {
    const auto compress = static_cast<size_t>(granule.scalefac_compress & 15);
    const int slen1 = kSlen1[compress];
    const int slen2 = kSlen2[compress];
    if (granule.window_switching && granule.block_type == 2) {
        int first_short = 0;
        if (granule.mixed) {
            for (int band = 0; band < MixedLongBands(true); ++band) {
                factors.long_bands[static_cast<size_t>(band)] =
                    static_cast<uint8_t>(bits.Read(slen1));
            }
            first_short = kMixedFirstShortBand;
        }
        ReadShortBands(bits, factors, first_short, 6, slen1);
        ReadShortBands(bits, factors, 6, kShortBands - 1, slen2);
        return;
    }
    for (size_t group = 0; group < 4; ++group) {
        if (granule_index == 1 && scfsi[group] != 0) {
            continue;  // as in granule 0
        }
        const int slen = group < 2 ? slen1 : slen2;
        for (int band = kScfsiGroups[group]; band < kScfsiGroups[group + 1]; ++band) {
            factors.long_bands[static_cast<size_t>(band)] = static_cast<uint8_t>(bits.Read(slen));
        }
    }
}

bool ReadLsfScaleFactors(BitReader& bits, const GranuleSideInfo& granule, bool intensity_right,
                         ScaleFactors& factors) {
    const LsfCoding coding = LsfCodingOf(granule.scalefac_compress, intensity_right);
    const bool short_blocks = granule.window_switching && granule.block_type == 2;
    const size_t kind = short_blocks ? (granule.mixed ? 2 : 1) : 0;
    const std::array<uint8_t, 4>& counts = kLsfCounts[static_cast<size_t>(coding.scheme)][kind];
    // The factors in the order they are coded: long bands from 0, or (short
    // blocks) three windows per band from band 0, or (mixed blocks) six long
    // bands, then three windows per band from band 3.
    int at = 0;
    for (size_t group = 0; group < 4; ++group) {
        for (int i = 0; i < counts[group]; ++i, ++at) {
            const auto value = static_cast<uint8_t>(bits.Read(coding.slen[group]));
            const int long_count =
                kind == 0 ? kLongBands - 1 : (kind == 2 ? MixedLongBands(false) : 0);
            if (at < long_count) {
                factors.long_bands[static_cast<size_t>(at)] = value;
                continue;
            }
            const int short_at = at - long_count + (kind == 2 ? 3 * kMixedFirstShortBand : 0);
            factors
                .short_bands[static_cast<size_t>(short_at / 3)][static_cast<size_t>(short_at % 3)] =
                value;
        }
    }
    return coding.preflag;
}

}  // namespace vandrel
